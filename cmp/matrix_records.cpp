// Matrix records: cmpput writes the coded output of one record matrix as a matrix record,
// getma8 and getma7 read its body back as segments with 2-byte lengths. The coded output of
// CX8, CX7 and VR8 is a list of segments, each a 2-byte big-endian length and its bytes.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "cmp/letters.h"

namespace {

// Longest segment of a 7-bit matrix the reader takes.
constexpr std::uint32_t kMaxSegment7 = 2520;

std::uint32_t Be16(const std::uint8_t* p) { return static_cast<std::uint32_t>(p[0] << 8 | p[1]); }

// The coded output must be a list of non-empty segments filling exactly `length` bytes; an
// empty one could not be stored (its length byte 0 would end the list).
bool SegmentsValid(const std::uint8_t* data, std::int32_t length, std::uint32_t longest) {
  if (length < 0 || (length > 0 && data == nullptr)) return false;
  std::size_t at = 0;
  const auto end = static_cast<std::size_t>(length);
  while (at < end) {
    if (end - at < 2) return false;
    const std::uint32_t n = Be16(data + at);
    if (n == 0 || n > longest || n > end - at - 2) return false;
    at += 2 + n;
  }
  return true;
}

std::int32_t PutMatrix8(CmpControlBlock& cb, const std::uint8_t* data, std::int32_t length,
                        std::int32_t flag, std::int32_t records, const std::uint8_t* bitmap,
                        std::uint32_t bitmapLength) {
  std::uint8_t head[8];
  std::uint32_t s = 0;
  const std::uint8_t b0 = cb.matrixHeader[0], b1 = cb.matrixHeader[1];
  if (records == 1) {
    head[3] = static_cast<std::uint8_t>(b0 | 0x04);
    head[4] = b1;
    s = 2;
  } else {
    head[3] = b0;
    head[4] = static_cast<std::uint8_t>(flag == 1 ? b1 | 0x80 : b1);
    head[5] = static_cast<std::uint8_t>(records);
    s = 3;
  }
  const std::uint32_t h = s + bitmapLength;
  // The record head (lead byte, header length, header bytes) begins in one block.
  const std::uint32_t headLength = 1 + (h > 127 ? 2 : 1) + s;
  if (cb.roomLeft > 0 && headLength - 1 >= static_cast<std::uint32_t>(cb.roomLeft)) {
    std::memset(cb.cursor, 0, static_cast<std::size_t>(cb.roomLeft));
    cb.cursor += cb.roomLeft;
    cb.roomLeft = 0;
    if (std::int32_t rc = recout8(cb); rc != 0 && rc != kCmpPadded) return rc;
  }
  MarkRecordStart(cb);
  std::uint8_t* p = head + 3;
  if (h > 127) {
    *--p = static_cast<std::uint8_t>(h);
    *--p = static_cast<std::uint8_t>(0x80 | h >> 8);
  } else {
    *--p = static_cast<std::uint8_t>(h);
  }
  *--p = 0;
  if (std::int32_t rc = PutBytes(cb, p, static_cast<std::size_t>(head + 3 + s - p)); rc != 0) return rc;
  if (std::int32_t rc = PutBytes(cb, bitmap, bitmapLength); rc != 0) return rc;
  for (std::size_t at = 0; at < static_cast<std::size_t>(length);) {
    const std::uint32_t n = Be16(data + at);
    std::uint8_t l[2] = {static_cast<std::uint8_t>(n), 0};
    std::size_t ll = 1;
    if (n > 126) {
      l[0] = static_cast<std::uint8_t>(0x80 | n >> 8);
      l[1] = static_cast<std::uint8_t>(n);
      ll = 2;
    }
    if (std::int32_t rc = PutBytes(cb, l, ll); rc != 0) return rc;
    if (std::int32_t rc = PutBytes(cb, data + at + 2, n); rc != 0) return rc;
    at += 2 + n;
  }
  return kCmpOk;
}

std::int32_t PutMatrix7(CmpControlBlock& cb, const std::uint8_t* data, std::int32_t length,
                        std::int32_t flag, std::int32_t records, const std::uint8_t* bitmap,
                        std::uint32_t bitmapLength) {
  std::uint8_t* h = cb.matrixHeader;
  const std::uint32_t n = (6 + bitmapLength) * 2;
  for (int i = 0; i < 3; ++i) h[i] = cb.alphabet[(n >> (8 - 4 * i)) & 15];
  cb.matrixHeaderLength = n;
  const std::int32_t v5 = LetterValue(cb, h[5]);
  h[5] = cb.alphabet[flag == 1 ? (v5 | 8) : (v5 & 7)];
  h[7] = cb.alphabet[(records >> 4) & 15];
  h[8] = cb.alphabet[records & 15];
  if (std::int32_t rc = PutByte(cb, cb.recordLetters[1]); rc != 0) return rc;
  if (std::int32_t rc = PutBytes(cb, h, 15); rc != 0) return rc;
  if (std::int32_t rc = PutLetterPairs(cb, bitmap, bitmapLength); rc != 0) return rc;
  if (std::int32_t rc = PutByte(cb, h[2]); rc != 0) return rc;
  for (std::size_t at = 0; at < static_cast<std::size_t>(length);) {
    const std::uint32_t s = Be16(data + at);
    if (std::int32_t rc = PutLength3(cb, s); rc != 0) return rc;
    if (std::int32_t rc = PutBytes(cb, data + at + 2, s); rc != 0) return rc;
    if (std::int32_t rc = PutByte(cb, cb.checkLetter); rc != 0) return rc;
    at += 2 + s;
  }
  return kCmpOk;
}

// Stores one segment of `count` bytes from the blocks behind its 2-byte length.
std::int32_t TakeSegment(CmpControlBlock& cb, std::uint32_t count, std::uint8_t* data,
                         std::int32_t capacity, std::int32_t& length) {
  if (static_cast<std::int64_t>(length) + 2 + count > capacity) return kCmpBadFormat;
  std::uint8_t* out = data + length;
  out[0] = static_cast<std::uint8_t>(count >> 8);
  out[1] = static_cast<std::uint8_t>(count);
  if (std::int32_t rc = GetBytes(cb, out + 2, count); rc != 0) return InsideRecord(rc);
  length += static_cast<std::int32_t>(2 + count);
  return kCmpOk;
}

std::int32_t CopyBitmap(const std::uint8_t* from, std::uint32_t count, std::int32_t& bitmapLength,
                        std::uint8_t* bitmap) {
  if (count == 0) {
    bitmapLength = 0;
    return kCmpOk;
  }
  if (bitmap == nullptr || static_cast<std::int64_t>(count) > bitmapLength) return kCmpBad;
  std::memcpy(bitmap, from, count);
  bitmapLength = static_cast<std::int32_t>(count);
  return kCmpOk;
}

}  // namespace

void cmpput(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* data,
            std::int32_t& flag, std::int32_t& records, std::int32_t& bitmapLength,
            std::uint8_t* bitmap) {
  if (!CmpValid(slot) || slot->direction != 1) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  // Frames of the block coders and DC8 matrices are not written by this layer yet.
  if (cb.method > kMethodVr8) {
    rc = kCmpBadMode;
    return;
  }
  const bool sevenBit = Is7Bit(cb);
  const std::uint32_t maxBitmap = sevenBit ? (kCmpMatrixHeaderSize - 12) / 2 : kCmpMatrixHeaderSize - 3;
  if (bitmapLength < 0 || static_cast<std::uint32_t>(bitmapLength) > maxBitmap ||
      (bitmapLength > 0 && bitmap == nullptr) || records < 0 || records > 255 ||
      !SegmentsValid(data, length, sevenBit ? kMaxSegment7 : kCmpMaxBlockSize)) {
    rc = kCmpBadCoded;
    return;
  }
  const auto bm = static_cast<std::uint32_t>(bitmapLength);
  rc = sevenBit ? PutMatrix7(cb, data, length, flag, records, bitmap, bm)
                : PutMatrix8(cb, data, length, flag, records, bitmap, bm);
  if (rc == kCmpOk && cb.fixedBlock == 0) rc = FlushBlock(cb);
}

std::int32_t getma8(CmpControlBlock& cb, std::int32_t& length, std::uint8_t* data,
                    std::int32_t capacity, std::int32_t& flag, std::int32_t& records,
                    std::int32_t& bitmapLength, std::uint8_t* bitmap) {
  length = 0;
  if (cb.matrixBodyPending == 0) return kCmpBadFormat;
  cb.matrixBodyPending = 0;
  const std::uint8_t* h = cb.matrixHeader;
  const std::uint32_t hl = cb.matrixHeaderLength;
  if ((cb.method & 15) > kMethodVr8) return kCmpBadMode;
  flag = (h[1] & 0x80) ? 1 : 0;
  std::uint32_t n = 1, from = 2;
  if (!(h[0] & 0x04)) {
    if (hl < 3) return kCmpBadFormat;
    n = h[2];
    from = 3;
  }
  if (std::int32_t rc = CopyBitmap(h + from, hl - from, bitmapLength, bitmap); rc != 0) return rc;
  records = static_cast<std::int32_t>(n);
  bool first = true;
  for (;;) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc == kCmpEndOfFile) return first && n != 0 ? kCmpBadFormat : kCmpOk;
      if (rc != 0) return rc;
    }
    if (*cb.cursor == 0) return kCmpOk;
    first = false;
    std::uint8_t b = 0, low = 0;
    GetByte(cb, b);
    std::uint32_t count = b;
    if (b & 0x80) {
      if (std::int32_t rc = GetByte(cb, low); rc != 0) return InsideRecord(rc);
      count = (b & 0x7Fu) << 8 | low;
    }
    if (std::int32_t rc = TakeSegment(cb, count, data, capacity, length); rc != 0) return rc;
  }
}

std::int32_t getma7(CmpControlBlock& cb, std::int32_t& length, std::uint8_t* data,
                    std::int32_t capacity, std::int32_t& flag, std::int32_t& records,
                    std::int32_t& bitmapLength, std::uint8_t* bitmap) {
  length = 0;
  if (cb.matrixBodyPending == 0) return kCmpBadFormat;
  cb.matrixBodyPending = 0;
  const std::uint8_t* h = cb.matrixHeader;
  const std::uint32_t hl = cb.matrixHeaderLength;
  if (hl != 0) {
    if (hl < 12) return kCmpBadFormat;
    const std::int32_t v4 = LetterValue(cb, h[1]), v5 = LetterValue(cb, h[2]);
    const std::int32_t hi = LetterValue(cb, h[4]), lo = LetterValue(cb, h[5]);
    if (v4 < 0 || v5 < 0 || hi < 0 || lo < 0) return kCmpBadFormat;
    for (int i = 6; i < 12; ++i)
      if (h[i] != cb.space) return kCmpBadFormat;
    flag = (v5 & 8) ? 1 : 0;
    records = (v4 & 4) ? 1 : hi * 16 + lo;
    std::uint8_t map[kCmpMatrixHeaderSize / 2];
    const std::uint32_t count = (hl - 12) / 2;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::int32_t a = LetterValue(cb, h[12 + 2 * i]), b = LetterValue(cb, h[13 + 2 * i]);
      if (a < 0 || b < 0) return kCmpBadFormat;
      map[i] = static_cast<std::uint8_t>(a * 16 + b);
    }
    if (std::int32_t rc = CopyBitmap(map, count, bitmapLength, bitmap); rc != 0) return rc;
  } else {
    bitmapLength = 0;
  }
  bool first = true;
  for (;;) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc == kCmpEndOfFile) return kCmpOk;
      if (rc != 0) return rc;
    }
    if (*cb.cursor == cb.space || IsRecordLetter(cb, *cb.cursor)) return kCmpOk;
    std::uint32_t count = 0;
    if (std::int32_t rc = GetLength3(cb, count, kCmpBadFormat); rc != 0) return InsideRecord(rc);
    if (count == 0 && first) return kCmpBadFormat;
    if (count > kMaxSegment7) return kCmpSegmentLength;
    first = false;
    const std::uint8_t check = cb.checkLetter;
    if (std::int32_t rc = TakeSegment(cb, count, data, capacity, length); rc != 0) return rc;
    std::uint8_t c = 0;
    if (std::int32_t rc = GetByte(cb, c); rc != 0) return InsideRecord(rc);
    if (c != check) return kCmpBadCheckLetter;
  }
}
