// Open and close of the container, the end of a member, and the small control operations.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "cmp/letters.h"
#include "cmp/matrix_frame.h"
#include "cmp/security_records.h"
#include "crypt/password_setup.h"
#include "crypt/trailer_macs.h"
#include "fio/fio.h"
#include "support/code_tables.h"
#include "support/environment.h"
#include "support/environment_defstruct.h"
#include "support/heap.h"
#include "support/sysinfo.h"

namespace {

bool Given(const std::uint8_t* exitName) { return exitName != nullptr && exitName[0] != 0; }

void FreeBlock(CmpControlBlock*& slot) {
  CmpControlBlock* cb = slot;
  if (cb == nullptr) return;
  if (cb->blockBuffer != nullptr && cb->blockBuffer != cb->inlineBlock) rmHeapFree(cb->blockBuffer);
  if (cb->headerBuffer != nullptr && cb->headerBuffer != cb->inlineHeader)
    rmHeapFree(cb->headerBuffer);
  CryptRelease(&cb->pwdState, &cb->aes);
  cb->self = nullptr;
  rmHeapFree(cb);
  slot = nullptr;
}

void Counters(const CmpControlBlock& cb, std::uint32_t& blocks, std::uint32_t& low,
              std::uint32_t& high) {
  const auto sum = static_cast<std::uint64_t>(cb.byteSum);
  blocks = cb.blockCount;
  high = static_cast<std::uint32_t>(sum / kTwoPartUnit);
  low = static_cast<std::uint32_t>(sum - static_cast<std::uint64_t>(high) * kTwoPartUnit);
}

// Matrix header bytes of the writer: B0 and B1, or the 15 letters of the 7-bit form.
void SetMatrixHeader(CmpControlBlock& cb, std::int32_t id) {
  if (Is7Bit(cb)) {
    std::uint8_t* h = cb.matrixHeader;
    h[3] = cb.alphabet[8];
    h[4] = cb.alphabet[cb.charCode == 1 ? 2 : 0];
    h[5] = cb.alphabet[(id >> 4) & 15];
    h[6] = cb.alphabet[id & 15];
    std::memset(h + 9, cb.space, 6);
    return;
  }
  std::uint8_t b0 = 0x88;
  if (cb.charCode == 1) b0 |= 0x02;
  if (cb.method == kMethodVr8) b0 |= 0x10;
  std::uint8_t b1 = static_cast<std::uint8_t>(id);
  if (cb.method == kMethodDc8 || cb.method == kMethodDc8Variant) b1 = static_cast<std::uint8_t>(0x40 | id);
  if (cb.method == kMethodAdc || cb.method == kMethodNdc) b1 = cb.cryptMode == 32 ? 0x60 : 0x20;
  cb.matrixHeader[0] = b0;
  cb.matrixHeader[1] = b1;
}

// Writes the member or file trailer into the block stream. Its block counts are those of the
// blocks as they are written: a variable block ends behind the trailer, and a trailer that
// does not fit fills its block and begins the next.
std::int32_t PutTrailer(CmpControlBlock& cb, bool file) {
  std::uint8_t* image = cb.trailerImage + kTrailerHead;
  image[0] = static_cast<std::uint8_t>((image[0] & 0xF0) | (file ? kTrailerKindFile : kTrailerKindMember));
  const std::uint64_t t = cb.trailerLength;
  const std::uint64_t room = static_cast<std::uint64_t>(std::max(cb.roomLeft, 0));
  const bool fixed = cb.fixedBlock != 0;
  std::uint64_t bytes = 0, blocks = 0;
  if (t <= room) {
    bytes = fixed ? cb.blockSize : cb.blockSize - (room - t);
    blocks = 1;
  } else {
    bytes = cb.blockSize + (fixed ? cb.blockSize : 6 + (t - room));
    blocks = 2;
  }
  const auto byteSum = static_cast<std::uint64_t>(cb.byteSum);
  cb.zkb = (file ? 0 : cb.zkb) + byteSum + bytes;
  cb.zks = (file ? 0 : cb.zks) + cb.blockCount + blocks;
  build_sectlr(cb);
  if (cb.cryptMode == 32) {
    int bits = 0;
    if (file) {
      faestf(&cb.aes, 1, &bits, image, kTrailerImageSize, image + kTrailerImageSize);
    } else {
      faestm(&cb.aes, 1, &bits, image, kTrailerImageSize, image + kTrailerImageSize);
    }
  }
  MarkRecordStart(cb);
  return PutBytes(cb, cb.trailerImage, cb.trailerLength);
}

bool KnownMethod(std::uint32_t m) { return m <= 4 || m == 8 || m == 9; }

std::int32_t OpenWrite(CmpControlBlock& cb, std::int32_t& formatLevel, std::int32_t& charCode,
                       std::int32_t& bufferSize, std::int32_t modeWord, std::int32_t security,
                       std::int32_t blockSize, const std::uint8_t* exitName1) {
  cb.method = static_cast<std::uint32_t>(modeWord) & 15;
  cb.cryptMode = static_cast<std::uint32_t>(modeWord) & 0xF0;
  const bool sevenBit = modeWord == 1;
  if (!KnownMethod(cb.method) || (cb.method == kMethodCx7 && !sevenBit)) return kCmpBadMode;
  // The block must hold its head, its checksum or check letter, and one content byte.
  if (blockSize < (sevenBit ? 5 : 7) || blockSize > kCmpMaxBlockSize) return kCmpBadRecordLength;
  if (sevenBit && blockSize > kCmpMaxBlockSize7) return kCmpBadRecordLength;
  // Trailers belong to the 8-bit form; the 7-bit form is written without them.
  if (security == 2 && !sevenBit) {
    if (TrailerRecordLength(cb.cryptMode) == 0) return kCmpBadMode;
    cb.secinf = 1;
    init_sec(cb);
  }
  cb.blockSize = static_cast<std::uint32_t>(blockSize);
  cb.blockCapacity = cb.blockSize + 3;
  if (blockSize > 4096) {
    cb.blockBuffer = static_cast<std::uint8_t*>(rmHeapAlloc(cb.blockCapacity));
    if (cb.blockBuffer == nullptr) return kCmpBad;
  }
  formatLevel = kCmpFormatLevel;
  cb.formatLevel = kCmpFormatLevel;
  cb.firstRecordWord = 0x8000;
  if (charCode != 0 && charCode != 1) charCode = 1;
  cb.charCode = static_cast<std::uint32_t>(charCode);
  cb.space = charCode == 1 ? 0x20 : 0x40;
  if (cb.method == kMethodAdc || cb.method == kMethodNdc) {
    cb.memberStartMark = 2;
    CmpFrameIds(cb.blockId, cb.machineId);
  } else if (cb.method == kMethodDc8) {
    cb.memberStartMark = 1;
  }
  const std::int32_t id = GetBufSizeId(bufferSize);
  bufferSize = GetBufSize(id);
  if (sevenBit) SetLetters(cb, cb.charCode);
  SetMatrixHeader(cb, id);
  if (Given(exitName1)) return kCmpExitAbend;
  cb.blockStart = cb.blockBuffer;
  if (sevenBit) {
    cb.dataStart = cb.blockStart + 3;
    cb.dataCapacity = cb.blockSize - 4;
    const std::uint32_t l = cb.dataCapacity;
    cb.blockStart[0] = cb.alphabet[(l >> 8) & 15];
    cb.blockStart[1] = cb.alphabet[(l >> 4) & 15];
    cb.blockStart[2] = cb.alphabet[l & 15];
    cb.blockStart[cb.blockSize - 1] = cb.blockStart[2];
    cb.firstRecordWord = cb.blockSize;
  } else {
    cb.dataStart = cb.blockStart + 4;
    cb.dataCapacity = cb.blockSize - 6;
  }
  cb.cursor = cb.dataStart;
  cb.roomLeft = static_cast<std::int32_t>(cb.dataCapacity);
  cb.blockLength = cb.blockSize;
  return cb.secinf != 0 ? kCmpSecurityOn : kCmpOk;
}

// The first block: which form, which family, or why it is no container this layer reads.
std::int32_t RecogniseForm(CmpControlBlock& cb, std::int32_t length, std::int32_t modeWord) {
  std::uint8_t* p = cb.blockBuffer;
  static constexpr std::uint8_t kSplit[] = {'S', 'P', 'L', 'I', 'T'};
  if (length >= 18 && p[7] == 'q' && std::memcmp(p + 13, kSplit, 5) == 0) {
    if (p[8] == 2) return kCmpParallelSplit;
    if (p[8] == 1) return kCmpSerialSplit;
    return kCmpNotTorqfile;
  }
  if (length < 4) return kCmpNotTorqfile;
  cb.blockStart = p;
  const std::int32_t n = ((p[0] << 8) | p[1]) + 2;
  const std::int32_t w = ((p[2] & 0x7F) << 8) | p[3];
  cb.cryptMode = static_cast<std::uint32_t>(modeWord) & 0xF0;
  if (w == 4 && length > 4 && p[4] <= 2) {
    static constexpr std::uint32_t kFamily[3] = {kMethodCx8, kMethodDc8Variant, kMethodAdc};
    cb.method = kFamily[p[4]];
    cb.blockCoderKind = p[4];
    p[4] = 0;
    std::int32_t len = std::min(n, length);
    const bool summed = (p[2] & 0x80) != 0;
    if (len < (summed ? 6 : 4)) return kCmpNotTorqfile;
    cb.byteSum = len;
    cb.blockLength = static_cast<std::uint32_t>(len);
    if (summed) {
      const auto stored = static_cast<std::uint16_t>(p[len - 2] << 8 | p[len - 1]);
      if (BlockChecksum(p, static_cast<std::size_t>(len - 2)) != stored) return kCmpBadChecksum;
      len -= 2;
    }
    cb.dataStart = p + 4;
    cb.cursor = p + 4;
    cb.roomLeft = len - 4;
    cb.lastMatrixHeaderWord = 0;
    std::memset(cb.matrixHeader, 0, 3);
    return kCmpOk;
  }
  const bool ascii = p[3] == 0x62 || p[3] == 0x66;
  const bool ebcdic = p[3] == 0x82 || p[3] == 0x86;
  if (ascii || ebcdic) {
    SetLetters(cb, ascii ? 1 : 0);
    const std::int32_t a = LetterValue(cb, p[0]), b = LetterValue(cb, p[1]), c = LetterValue(cb, p[2]);
    if (a < 0 || b < 0 || c < 0) return kCmpNotTorqfile;
    const std::int32_t l = a * 256 + b * 16 + c;
    if (l + 3 >= length || p[2] != p[l + 3]) return kCmpNotTorqfile;
    cb.method = kMethodCx7;
    cb.charCode = ascii ? 1 : 0;
    cb.formatLevel = kCmpFormatLevel;
    cb.dataStart = p + 3;
    cb.cursor = p + 3;
    cb.roomLeft = std::min(l, length - 4);
    cb.byteSum = cb.roomLeft + 4;
    cb.blockLength = static_cast<std::uint32_t>(cb.roomLeft + 4);
    std::memset(cb.lastMatrixLetters, cb.alphabet[0], 4);
    return kCmpOk;
  }
  if (p[0] == '0' && (p[3] == 0 || p[3] == 1) && length <= 1200) return kCmpVersion1;
  return kCmpNotTorqfile;
}

std::int32_t OpenRead(CmpControlBlock& cb, std::int32_t& formatLevel, std::int32_t& charCode,
                      std::int32_t& bufferSize, std::int32_t& modeWord, std::int32_t& security,
                      std::int32_t blockSize, const std::uint8_t* exitName2) {
  cb.method = kMethodRecognising;
  const std::int32_t size = std::clamp<std::int32_t>(blockSize, kCmpMaxBlockSize, 1 << 20);
  cb.blockSize = static_cast<std::uint32_t>(size);
  cb.blockCapacity = cb.blockSize + 3;
  cb.blockBuffer = static_cast<std::uint8_t*>(rmHeapAlloc(cb.blockCapacity));
  if (cb.blockBuffer == nullptr) return kCmpBad;
  if (Given(exitName2)) return kCmpExitAbend;
  std::int32_t rc = 0, length = 0;
  const auto capacity = static_cast<std::int32_t>(cb.blockCapacity);
  fioget(cb.fcb, rc, length, cb.blockBuffer, capacity);
  if (rc == kFioNoDelimiter) rc = 0;  // a printable container of one line without its line end
  if (rc > 0x0EFFFFFF) return static_cast<std::int32_t>(rc | kCmpTag);
  if (rc != 0) return kCmpNotTorqfile;
  cb.blockCount = 1;
  cb.byteSum = length;
  if (rc = RecogniseForm(cb, length, modeWord); rc != 0) return rc;
  std::int32_t encrypted = 0;
  cmp_gethdr(cb, rc, security, modeWord, charCode, formatLevel, bufferSize, encrypted);
  if (rc == kCmpNoPassword) rc = kCmpOk;
  return rc == kCmpOk && cb.secinf != 0 ? kCmpSecurityOn : rc;
}

}  // namespace

void cmpopn(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& direction,
            std::int32_t& formatLevel, std::int32_t& charCode, std::int32_t& bufferSize,
            std::int32_t& modeWord, std::int32_t& security, const std::int32_t& fixedBlock,
            std::int32_t& blockSize, FileControlBlock*& fcb, const std::int32_t& optionWord,
            const void* /*unused13*/, const std::uint8_t* exitName1, const std::uint8_t* exitName2,
            const void* /*unused16*/) {
  slot = static_cast<CmpControlBlock*>(rmHeapAlloc(sizeof(CmpControlBlock)));
  if (slot == nullptr) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  cb.self = slot;
  cb.headerBuffer = cb.inlineHeader;
  cb.headerCapacity = kCmpInlineHeader;
  std::memcpy(cb.e2a, gDefstr ? gDefstr->ce2a : ce2a, 256);
  std::memcpy(cb.a2e, gDefstr ? gDefstr->ca2e : ca2e, 256);
  cb.optionWord = static_cast<std::uint32_t>(optionWord);
  cb.fcb = fcb;
  cb.direction = static_cast<std::uint32_t>(direction);
  cb.blockBuffer = cb.inlineBlock;
  if (blockSize == 0) blockSize = kCmpMaxBlockSize;
  cb.fixedBlock = fixedBlock != 0 ? 1 : 0;
  cb.space = charCode == 1 ? 0x20 : 0x40;
  if (direction == 1) {
    rc = OpenWrite(cb, formatLevel, charCode, bufferSize, modeWord, security, blockSize, exitName1);
  } else if (direction == 0) {
    rc = OpenRead(cb, formatLevel, charCode, bufferSize, modeWord, security, blockSize, exitName2);
  } else {
    rc = kCmpBadOpenMode;
  }
  if (rc != kCmpOk && rc != kCmpSecurityOn) FreeBlock(slot);
}

void cmpset(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& what,
            const std::int32_t& value) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
  } else if (what != 1) {
    rc = kCmpUnknownArg;
  } else if (value != 1) {
    rc = kCmpBadArgValue;
  } else {
    slot->positioning = 1;
    rc = kCmpOk;
  }
}

void cmppos(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& position,
            std::int32_t& recordKind, std::int32_t& method, std::int32_t& charCode,
            std::int32_t& formatLevel) {
  if (!CmpValid(slot) || position != kCmpPositionNext || slot->direction != 0) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  if (Is7Bit(cb)) {
    rc = getfh7(cb);
  } else {
    cb.positioning = 1;
    rc = getfh8(cb);
  }
  recordKind = static_cast<std::int32_t>(cb.recordKind);
  method = static_cast<std::int32_t>(cb.method);
  charCode = static_cast<std::int32_t>(cb.charCode);
  formatLevel = static_cast<std::int32_t>(cb.formatLevel);
}

void cmpinfo(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& code,
             std::int32_t& value) {
  if (!CmpValid(slot) || (code != 351 && code != 352)) {
    rc = kCmpBad;
    return;
  }
  value = static_cast<std::int32_t>(slot->mem_cnt);
  rc = kCmpOk;
}

void cmpget(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* data,
            std::int32_t& flag, std::int32_t& records, std::int32_t& bitmapLength,
            std::uint8_t* bitmap, const std::int32_t& capacity) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  length = 0;
  if (cb.positioning != 0) cb.positioning = 2;
  rc = Is7Bit(cb) ? getma7(cb, length, data, capacity, flag, records, bitmapLength, bitmap)
                  : getma8(cb, length, data, capacity, flag, records, bitmapLength, bitmap);
  // A secured container cut inside a matrix: its trailers are due, so the end is unexpected.
  if (rc == kCmpBadFormat && cb.endOfFile != 0 && (cb.secinf == 1 || cb.secinf == 2))
    rc = kCmpUnexpectedEnd;
}

void cmpflu(CmpControlBlock*& slot, std::int32_t& rc, std::uint32_t& blocks,
            std::uint32_t& bytesLow, std::uint32_t& bytesHigh) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  rc = kCmpOk;
  if (cb.direction == 1) {
    if (cb.secinf == 1) rc = PutTrailer(cb, false);
    if (rc == kCmpOk && BlockHoldsData(cb)) rc = FlushBlock(cb);
    // Every member end: the next member's first block carries the family, also when the
    // member's last matrix already ended its block.
    if (!Is7Bit(cb)) {
      if (cb.method == kMethodDc8) cb.memberStartMark = 1;
      if (cb.method == kMethodAdc || cb.method == kMethodNdc) cb.memberStartMark = 2;
      cb.zkb = static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(cb.byteSum);
      cb.zks = static_cast<std::uint64_t>(0) - cb.blockCount;
    }
  }
  Counters(cb, blocks, bytesLow, bytesHigh);
}

void cmpcls(CmpControlBlock*& slot, std::int32_t& rc, std::uint32_t& blocks,
            std::uint32_t& bytesLow, std::uint32_t& bytesHigh) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  rc = kCmpOk;
  if (cb.direction == 1) {
    if (cb.secinf == 1) {
      rc = PutTrailer(cb, true);
      cb.secinf = 3;
    }
    if (rc == kCmpOk) rc = FlushBlock(cb);
  }
  Counters(cb, blocks, bytesLow, bytesHigh);
  FreeBlock(slot);
}
