// The four block routines and the byte streams over them.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/letters.h"
#include "fio/fio.h"

namespace {

void PutBe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

void PutLengthLetters(const CmpControlBlock& cb, std::uint8_t* p, std::uint32_t v) {
  p[0] = cb.alphabet[(v >> 8) & 15];
  p[1] = cb.alphabet[(v >> 4) & 15];
  p[2] = cb.alphabet[v & 15];
}

bool Written(std::int32_t rc) { return rc == kCmpOk || rc == kCmpPadded; }

}  // namespace

std::int32_t TagFileCode(std::int32_t rc, std::int32_t low) {
  if ((rc >= low && rc <= 39) || rc > 0x0F000000) return static_cast<std::int32_t>(rc | kCmpTag);
  return rc;
}

std::int32_t recout8(CmpControlBlock& cb) {
  std::uint8_t* p = cb.blockStart;
  if (cb.fixedBlock == 0) {
    cb.blockLength -= static_cast<std::uint32_t>(cb.roomLeft);
  } else if (cb.roomLeft > 0) {
    std::memset(cb.cursor, 0, static_cast<std::size_t>(cb.roomLeft));
  }
  const std::uint32_t n = cb.blockLength;
  PutBe16(p, n - 2);
  PutBe16(p + 2, cb.firstRecordWord);
  PutBe16(p + n - 2, BlockChecksum(p, n - 2));
  ++cb.blockCount;
  cb.byteSum += n;
  if (cb.memberStartMark != 0) {
    if (cb.method > 2 && cb.secinf != 3) p[4] = static_cast<std::uint8_t>(cb.memberStartMark);
    cb.memberStartMark = 0;
  }
  std::int32_t rc = 0;
  const auto length = static_cast<std::int32_t>(n);
  fioput(cb.fcb, rc, length, p);
  cb.cursor = cb.dataStart;
  cb.roomLeft = static_cast<std::int32_t>(cb.dataCapacity);
  cb.blockLength = cb.blockSize;
  cb.firstRecordWord = 0x8000;
  return TagFileCode(rc, 11);
}

std::int32_t recout7(CmpControlBlock& cb) {
  std::uint8_t* p = cb.blockStart;
  if (cb.fixedBlock == 0) {
    cb.blockLength -= static_cast<std::uint32_t>(cb.roomLeft);
  } else if (cb.roomLeft > 0) {
    std::memset(cb.cursor, cb.space, static_cast<std::size_t>(cb.roomLeft));
  }
  const std::uint32_t n = cb.blockLength;
  if (n != cb.firstRecordWord) {
    PutLengthLetters(cb, p, n - 4);
    p[n - 1] = p[2];
    cb.firstRecordWord = n;
  }
  ++cb.blockCount;
  cb.byteSum += n;
  std::int32_t rc = 0;
  const auto length = static_cast<std::int32_t>(n);
  fioput(cb.fcb, rc, length, p);
  cb.cursor = cb.dataStart;
  cb.roomLeft = static_cast<std::int32_t>(cb.dataCapacity);
  cb.blockLength = cb.blockSize;
  return TagFileCode(rc, 11);
}

namespace {

// Reads one block into the buffer; 0 or the mapped code.
std::int32_t ReadBlock(CmpControlBlock& cb, std::int32_t& length) {
  std::int32_t rc = 0;
  length = 0;
  const auto capacity = static_cast<std::int32_t>(cb.blockCapacity);
  fioget(cb.fcb, rc, length, cb.blockBuffer, capacity);
  if (rc == kFioNoDelimiter) rc = 0;  // a printable container's last line without its line end
  if (rc == 111) rc = kCmpBadFormat;
  if (rc == kCmpEndOfFile) cb.endOfFile = 1;
  if (rc != 0) return TagFileCode(rc, 12);
  cb.blockStart = cb.blockBuffer;
  return kCmpOk;
}

}  // namespace

std::int32_t recin8(CmpControlBlock& cb) {
  std::int32_t length = 0;
  cb.blockCoderKind = 0;
  if (std::int32_t rc = ReadBlock(cb, length); rc != 0) return rc;
  std::uint8_t* p = cb.blockStart;
  if (length < 4) return kCmpBadFormat;
  if (length > 4 && (p[4] == 1 || p[4] == 2) && (p[2] & 0x7F) == 0 && p[3] == 4) {
    cb.blockCoderKind = p[4];
    p[4] = 0;
  }
  const std::int32_t declared = (p[0] << 8) | p[1];
  if (declared + 1 < length) length = declared + 2;
  const bool summed = (p[2] & 0x80) != 0;
  if (length < (summed ? 6 : 4)) return kCmpBadFormat;
  ++cb.blockCount;
  cb.byteSum += length;
  cb.blockLength = static_cast<std::uint32_t>(length);
  if (summed) {
    const std::uint16_t stored = static_cast<std::uint16_t>(p[length - 2] << 8 | p[length - 1]);
    if (BlockChecksum(p, static_cast<std::size_t>(length - 2)) != stored) return kCmpBadChecksum;
    length -= 2;
  }
  cb.dataStart = p + 4;
  cb.cursor = p + 4;
  cb.roomLeft = length - 4;
  return kCmpOk;
}

std::int32_t recin7(CmpControlBlock& cb) {
  std::int32_t length = 0;
  if (std::int32_t rc = ReadBlock(cb, length); rc != 0) return rc;
  std::uint8_t* p = cb.blockStart;
  if (length < 4) return kCmpBadFormat;
  const std::uint32_t base = BlockLetterBase(p[0]);
  if (base != cb.letterBase) SetLetters(cb, base == 0x41 ? 1 : 0);
  const std::int32_t a = LetterValue(cb, p[0]), b = LetterValue(cb, p[1]), c = LetterValue(cb, p[2]);
  if (a < 0 || b < 0 || c < 0) return kCmpBadFormat;
  const std::int32_t n = a * 256 + b * 16 + c;
  const std::int32_t data = std::min(n, length - 4);
  ++cb.blockCount;
  cb.byteSum += data + 4;
  cb.blockLength = static_cast<std::uint32_t>(data + 4);
  cb.dataStart = p + 3;
  cb.cursor = p + 3;
  cb.roomLeft = data;
  if (p[3 + data] != p[2]) return kCmpBadCheckLetter;
  return kCmpOk;
}

void MarkRecordStart(CmpControlBlock& cb) {
  if (cb.firstRecordWord == 0x8000)
    cb.firstRecordWord = 0x8000 + static_cast<std::uint32_t>(cb.cursor - cb.blockStart);
}

std::int32_t FlushBlock(CmpControlBlock& cb) {
  if (!BlockHoldsData(cb)) return kCmpOk;
  const std::int32_t rc = WriteBlock(cb);
  return Written(rc) ? kCmpOk : rc;
}

std::int32_t PutBytes(CmpControlBlock& cb, const std::uint8_t* data, std::size_t count) {
  while (count > 0) {
    const std::size_t n = std::min(count, static_cast<std::size_t>(std::max(cb.roomLeft, 0)));
    std::memcpy(cb.cursor, data, n);
    cb.cursor += n;
    cb.roomLeft -= static_cast<std::int32_t>(n);
    data += n;
    count -= n;
    if (cb.roomLeft <= 0) {
      if (std::int32_t rc = WriteBlock(cb); !Written(rc)) return rc;
    }
  }
  return kCmpOk;
}

std::int32_t PutByte(CmpControlBlock& cb, std::uint8_t b) { return PutBytes(cb, &b, 1); }

std::int32_t PutLetterPairs(CmpControlBlock& cb, const std::uint8_t* data, std::size_t count) {
  std::uint8_t pairs[512];
  while (count > 0) {
    const std::size_t n = std::min<std::size_t>(count, sizeof(pairs) / 2);
    for (std::size_t i = 0; i < n; ++i) {
      pairs[2 * i] = cb.alphabet[data[i] >> 4];
      pairs[2 * i + 1] = cb.alphabet[data[i] & 15];
    }
    if (std::int32_t rc = PutBytes(cb, pairs, 2 * n); rc != 0) return rc;
    data += n;
    count -= n;
  }
  return kCmpOk;
}

std::int32_t PutLength3(CmpControlBlock& cb, std::uint32_t value) {
  std::uint8_t l[3];
  PutLengthLetters(cb, l, value);
  cb.checkLetter = l[2];
  return PutBytes(cb, l, 3);
}

std::int32_t EnsureRoom(CmpControlBlock& cb) {
  while (cb.roomLeft <= 0) {
    const std::int32_t rc = Is7Bit(cb) ? recin7(cb) : recin8(cb);
    if (rc != 0) return rc;
  }
  return kCmpOk;
}

std::int32_t GetByte(CmpControlBlock& cb, std::uint8_t& b) {
  if (std::int32_t rc = EnsureRoom(cb); rc != 0) return rc;
  b = *cb.cursor++;
  --cb.roomLeft;
  return kCmpOk;
}

std::int32_t GetBytes(CmpControlBlock& cb, std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    if (std::int32_t rc = EnsureRoom(cb); rc != 0) return rc;
    const std::size_t n = std::min(count, static_cast<std::size_t>(cb.roomLeft));
    std::memcpy(out, cb.cursor, n);
    cb.cursor += n;
    cb.roomLeft -= static_cast<std::int32_t>(n);
    out += n;
    count -= n;
  }
  return kCmpOk;
}

std::int32_t SkipBytes(CmpControlBlock& cb, std::size_t count) {
  while (count > 0) {
    if (std::int32_t rc = EnsureRoom(cb); rc != 0) return rc;
    const std::size_t n = std::min(count, static_cast<std::size_t>(cb.roomLeft));
    cb.cursor += n;
    cb.roomLeft -= static_cast<std::int32_t>(n);
    count -= n;
  }
  return kCmpOk;
}

std::int32_t GetLength3(CmpControlBlock& cb, std::uint32_t& value, std::int32_t badLetter) {
  value = 0;
  for (int i = 0; i < 3; ++i) {
    std::uint8_t c = 0;
    if (std::int32_t rc = GetByte(cb, c); rc != 0) return rc;
    const std::int32_t v = LetterValue(cb, c);
    if (v < 0) return badLetter;
    value = value * 16 + static_cast<std::uint32_t>(v);
    if (i == 2) cb.checkLetter = c;
  }
  return kCmpOk;
}
