#include "coders/dc8_block.h"

#include <cstring>

#include "coders/dc8_decoder.h"
#include "coders/dc8_phrase_search.h"
#include "support/code_tables.h"
#include "support/heap.h"

namespace {

constexpr char kMagic[] = "B0DTORQ";  // in ASCII; the EBCDIC context translates it
constexpr int kKindStored = 1;        // indexes into the magic
constexpr int kKindCoded = 2;
constexpr std::uint16_t kBlockVersion = 1;

void PutBe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}
std::uint32_t GetBe16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }

bool Owned(const Dc8Context* slot) { return slot && slot->self == slot; }

void FreeTables(Dc8Context& ctx) {
  rmHeapFree0(&ctx.nodes);
  rmHeapFree0(&ctx.index);
  rmHeapFree0(&ctx.phrases);
}

template <typename T>
bool Allocate(T*& table, std::uint32_t count) {
  table = static_cast<T*>(rmHeapAlloc(count * static_cast<std::uint32_t>(sizeof(T))));
  return table != nullptr;
}

// The stamp for the next block; the index is cleared once when the stamps come round.
std::uint16_t NextStamp(Dc8Context& ctx) {
  if (++ctx.indexStamp == 0) {
    std::memset(ctx.index, 0, kDc8IndexEntries * sizeof(Dc8IndexEntry));
    ctx.indexStamp = 1;
  }
  return ctx.indexStamp;
}

}  // namespace

std::int32_t nucopn_dc8(Dc8Context*& slot, std::int32_t direction, std::int32_t charCode) {
  auto* ctx = static_cast<Dc8Context*>(rmHeapAlloc(sizeof(Dc8Context)));
  if (!ctx) {
    slot = nullptr;
    return -1;
  }
  ctx->self = ctx;
  ctx->direction = direction != 0 ? 1 : 0;
  ctx->charCode = charCode == 1 ? 1 : 0;
  for (int i = 0; i < 7; ++i) {
    const auto letter = static_cast<std::uint8_t>(kMagic[i]);
    ctx->magic[i] = ctx->charCode == 1 ? letter : ca2e[letter];
  }
  const bool ok = ctx->direction == 1
                      ? Allocate(ctx->nodes, kDc8MaxPhrases) &&
                            Allocate(ctx->index, kDc8IndexEntries)
                      : Allocate(ctx->phrases, kDc8MaxPhrases);
  if (!ok) {
    FreeTables(*ctx);
    rmHeapFree(ctx);
    slot = nullptr;
    return -1;
  }
  slot = ctx;
  return 0;
}

std::int32_t nuccmp_dc8(Dc8Context*& slot, const std::uint8_t* input, std::int32_t inputLength,
                        std::uint8_t* output, std::int32_t& outputLength) {
  if (!Owned(slot) || slot->direction != 1) return -1;
  Dc8Context& ctx = *slot;
  const std::int64_t room = outputLength;
  if (inputLength < 0 || inputLength > kDc8MaxInput || (!input && inputLength > 0) || !output ||
      room < kDc8HeaderSize + static_cast<std::int64_t>(inputLength) + kDc8CoderSlack)
    return -1;
  const auto n = static_cast<std::uint32_t>(inputLength);
  const dc8::PhraseCode code =
      dc8::SearchPhrases(ctx.nodes, ctx.index, NextStamp(ctx), {input, n},
                         {output + kDc8HeaderSize, static_cast<std::size_t>(room - kDc8HeaderSize)});
  std::uint32_t payload = code.length;
  int kind = kKindCoded;
  if (code.stopped || 14 + payload > 0xFFFF) {
    // Coding did not pay (or its length would not fit the length word): store the input.
    if (14 + n > 0xFFFF) return -1;
    if (n > 0) std::memcpy(output + kDc8HeaderSize, input, n);
    payload = n;
    kind = kKindStored;
  }
  PutBe16(output, 14 + payload);
  output[2] = ctx.magic[0];
  output[3] = ctx.magic[kind];
  std::memcpy(output + 4, ctx.magic + 3, 4);
  PutBe16(output + 8, kBlockVersion);
  PutBe16(output + 10, 0);
  PutBe16(output + 12, n);
  PutBe16(output + 14, payload);
  outputLength = static_cast<std::int32_t>(kDc8HeaderSize + payload);
  return 0;
}

std::int32_t nucdcm_dc8(Dc8Context*& slot, const std::uint8_t* block, std::int32_t blockLength,
                        std::uint8_t* output, std::int32_t outputRoom, std::int32_t& outputLength) {
  if (!Owned(slot) || slot->direction != 0) return -1;
  const Dc8Context& ctx = *slot;
  outputLength = 0;
  if (!block || blockLength < kDc8HeaderSize - 2) return kDc8Corrupted;
  const std::uint8_t kind = block[3];
  if (kind != ctx.magic[kKindStored] && kind != ctx.magic[kKindCoded]) return kDc8Corrupted;
  const std::uint32_t inputLength = GetBe16(block + 12);
  const std::uint32_t payload = GetBe16(block + 14);
  // The length word counts the header after itself and the payload, which the caller's block
  // (blockLength bytes after the length word) must hold; the output room must take the input.
  if (GetBe16(block) != 14 + payload || 14 + static_cast<std::int64_t>(payload) > blockLength ||
      static_cast<std::int64_t>(inputLength) > outputRoom || (inputLength > 0 && !output))
    return kDc8Corrupted;
  const std::uint8_t* data = block + kDc8HeaderSize;
  if (kind == ctx.magic[kKindStored]) {
    if (payload != inputLength) return kDc8Corrupted;
    if (inputLength > 0) std::memcpy(output, data, inputLength);
  } else {
    const dc8::PhraseTables tables{ctx.phrases};
    if (dc8::DecodePhrases(tables, {data, payload}, {output, inputLength}) != 0)
      return kDc8Corrupted;
  }
  outputLength = static_cast<std::int32_t>(inputLength);
  return 0;
}

std::int32_t nuccls_dc8(Dc8Context*& slot) {
  if (!Owned(slot)) return -1;
  FreeTables(*slot);
  rmHeapFree(slot);
  slot = nullptr;
  return 0;
}
