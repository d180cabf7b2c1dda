// The kernel context: nucopn puts each method's routines and tables into it; the other entry
// points check the context and hand the matrix to the method's block routine.
#include "nuc/kernel.h"

#include <new>

#include "nuc/cx7.h"
#include "nuc/cx8.h"
#include "nuc/matrix.h"
#include "nuc/vr8.h"
#include "support/heap.h"

namespace {

using FillTablesFn = void (*)(std::uint8_t* tables, std::uint8_t charCode);

// What nucopn puts into a context of each compression mode (CX8, CX7, VR8): the decode part
// when the context decompresses, the encode part when it compresses. The decompress-record
// routine is chosen by the character code (EBCDIC, ASCII).
struct Method {
  DecompressBlockFn decompressBlock;
  DecompressRecordFn decompressRecord[2];
  FillTablesFn fillDecodeTables;  // null: the method has none
  bool runCharacters;             // space and zero characters for the decoder
  CompressBlockFn compressBlock;
  CompressRecordFn compressRecord;
  FillTablesFn fillEncodeTables;
};
const Method kMethods[3] = {
    {nudcx8, {rldcx8, rldcx8}, nullptr, true, nuccx8, rlccx8, Cx8FillRunCodeTable},
    {nudcx7, {rldcx7e, rldcx7a}, Cx7FillDecodeTables, true, nuccx7, rlccx7, Cx7FillEncodeTables},
    {nudcx8, {rldvr8, rldvr8}, Vr8FillDecodeTables, false, nuccx8, rlcvr8, Vr8FillEncodeTables},
};

// The self check of every entry point but nucopn: the slot's context, with rc 0, or null with
// rc -1. A null slot fails it without being read through.
NucContext* CheckedContext(NucContext* slot, std::int32_t& rc) {
  if (slot == nullptr || slot->self != slot) {
    rc = -1;
    return nullptr;
  }
  rc = 0;
  return slot;
}

}  // namespace

void nucopn(NucContext*& slot, std::int32_t& rc, const std::int32_t& direction,
            const std::int32_t& compressionMode, const std::int32_t& charCode,
            const std::int32_t& closeWord) {
  if (direction < 0 || direction > 3) {
    rc = 20;
    return;
  }
  if (compressionMode < 0 || compressionMode > 2) {
    rc = 22;
    return;
  }
  if (charCode != 0 && charCode != 1) {
    rc = 26;
    return;
  }
  void* block = rmHeapAlloc(sizeof(NucContext));
  if (!block) {
    slot = nullptr;
    rc = -1;
    return;
  }
  auto* ctx = new (block) NucContext{};
  slot = ctx;
  rc = 0;
  ctx->self = ctx;
  ctx->direction = static_cast<std::uint8_t>(direction);
  ctx->compressionMode = static_cast<std::uint8_t>(compressionMode);
  ctx->closeFlag = static_cast<std::uint8_t>(closeWord);
  ctx->charCode = static_cast<std::uint8_t>(charCode);
  const std::uint8_t code = ctx->charCode;
  const Method& method = kMethods[compressionMode];
  if (direction != 1) {
    ctx->decompressBlock = method.decompressBlock;
    ctx->decompressRecord = method.decompressRecord[code];
    if (method.fillDecodeTables) method.fillDecodeTables(ctx->decodeTables, code);
    if (method.runCharacters) {
      ctx->spaceChar = NucSpaceChar(code);
      ctx->zeroChar = NucZeroChar(code);
    }
  }
  if (direction != 0) {
    ctx->compressBlock = method.compressBlock;
    ctx->compressRecord = method.compressRecord;
    method.fillEncodeTables(ctx->encodeTables, code);
  }
}

void nuccmp(NucContext*& slot, std::int32_t& rc, std::int32_t& codedLength,
            std::uint8_t* codedBlock, std::int32_t& matrixKind, std::int32_t& recordCount,
            std::uint8_t* descriptors) {
  NucContext* const ctx = CheckedContext(slot, rc);
  if (!ctx) return;
  // A context that cannot compress, a count outside 1-255 or a record length outside 4-32769
  // (the decoder refuses longer ones) is a bad call.
  if (!ctx->compressBlock || !codedBlock || !descriptors || recordCount < 1 ||
      recordCount > kNucMaxRecords) {
    rc = -1;
    return;
  }
  auto* d = reinterpret_cast<RecordDescriptor*>(descriptors);
  if (matrixKind <= 0) {
    const std::int64_t length = -static_cast<std::int64_t>(matrixKind);
    if (length < 4 || length > kNucMaxLength) {
      rc = -1;
      return;
    }
    for (std::int32_t i = 0; i < recordCount; ++i) d[i].length = static_cast<std::uint16_t>(length);
  }
  for (std::int32_t i = 0; i < recordCount; ++i) {
    if (d[i].length < 4 || d[i].length > kNucMaxLength || !d[i].data) {
      rc = -1;
      return;
    }
  }
  ctx->compressBlock(*ctx, rc, codedLength, codedBlock, matrixKind, recordCount, descriptors);
}

void nucdcm(NucContext*& slot, std::int32_t& rc, std::int32_t& codedLength,
            std::uint8_t* codedBlock, std::int32_t& matrixKind, std::int32_t& recordCount,
            std::uint8_t* matrixBuffer) {
  NucContext* const ctx = CheckedContext(slot, rc);
  if (!ctx) return;
  if (!ctx->decompressBlock) {  // a compress-only context
    rc = -1;
    return;
  }
  ctx->decompressBlock(*ctx, rc, codedLength, codedBlock, matrixKind, recordCount, matrixBuffer);
}

void nuccls(NucContext*& slot, std::int32_t& rc, std::int32_t& closeWord) {
  NucContext* const ctx = CheckedContext(slot, rc);
  if (!ctx) return;
  if (ctx->closeFlag == 0) closeWord = 0;
  rmHeapFree0(&slot);
}
