// Matrix records: cmpput writes the coded output of one record matrix as a matrix record,
// getma8 and getma7 read its body back as segments with 2-byte lengths. The coded output of
// CX8, CX7 and VR8 is a list of segments, each a 2-byte big-endian length and its bytes.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "cmp/letters.h"
#include "cmp/matrix_frame.h"

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

bool BlockCoder(std::uint32_t method) { return method == kMethodAdc || method == kMethodNdc; }
bool Dc8(std::uint32_t method) { return method == kMethodDc8 || method == kMethodDc8Variant; }

// The header bytes of a matrix record by method; their count.
std::uint32_t MatrixHeaderBytes(const CmpControlBlock& cb, std::int32_t flag, std::int32_t records,
                                std::uint8_t* out) {
  const std::uint8_t b0 = cb.matrixHeader[0], b1 = cb.matrixHeader[1];
  const auto n = static_cast<std::uint32_t>(records);
  if (Dc8(cb.method)) {
    out[0] = b0;
    out[1] = b1;
    out[2] = static_cast<std::uint8_t>(n >> 8);
    out[3] = static_cast<std::uint8_t>(n);
    return 4;
  }
  std::uint32_t s = 0;
  if (records == 1) {
    out[0] = static_cast<std::uint8_t>(b0 | 0x04);
    out[1] = b1;
    s = 2;
  } else if (BlockCoder(cb.method)) {
    out[0] = b0;
    out[1] = static_cast<std::uint8_t>(b1 | (n >> 8));
    out[2] = static_cast<std::uint8_t>(n);
    s = 3;
  } else {
    out[0] = b0;
    out[1] = static_cast<std::uint8_t>(flag == 1 ? b1 | 0x80 : b1);
    out[2] = static_cast<std::uint8_t>(n);
    s = 3;
  }
  if (BlockCoder(cb.method) && cb.cryptMode == 32) out[s++] = 0;
  return s;
}

std::int32_t PutMatrix8(CmpControlBlock& cb, std::uint8_t* data, std::int32_t length,
                        std::int32_t flag, std::int32_t records, const std::uint8_t* bitmap,
                        std::uint32_t bitmapLength) {
  std::uint8_t head[8];
  const std::uint32_t s = MatrixHeaderBytes(cb, flag, records, head + 3);
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
  if (BlockCoder(cb.method)) {
    std::uint8_t* const frame = data - kFramePrefix;
    const std::uint32_t total = BuildMatrixFrame(cb, frame, static_cast<std::uint32_t>(length));
    return PutBytes(cb, frame, total);
  }
  if (Dc8(cb.method)) return PutBytes(cb, data, static_cast<std::size_t>(length));
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
  const bool sevenBit = Is7Bit(cb);
  const std::uint32_t headerBytes = Dc8(cb.method) ? 4 : (cb.cryptMode == 32 ? 4 : 3);
  const std::uint32_t maxBitmap =
      sevenBit ? (kCmpMatrixHeaderSize - 12) / 2 : kCmpMatrixHeaderSize - headerBytes;
  bool valid = false;
  if (BlockCoder(cb.method)) {
    // The frame's data need room in front and behind (the caller's coded-block area); the
    // exchange of the last four data bytes needs four of them unless the matrix is empty.
    valid = data != nullptr && records >= 0 && records <= kCmpMaxBlockRecords &&
            length >= 0 && (length == 0 || length >= 4);
  } else if (Dc8(cb.method)) {
    // A DC8 block: its length word counts the bytes behind it.
    valid = records >= 0 && records <= 65535 &&
            (length == 0 || (length >= 2 && data != nullptr &&
                             static_cast<std::int32_t>(Be16(data)) == length - 2));
  } else {
    valid = records >= 0 && records <= 255 &&
            SegmentsValid(data, length, sevenBit ? kMaxSegment7 : kCmpMaxBlockSize);
  }
  if (bitmapLength < 0 || static_cast<std::uint32_t>(bitmapLength) > maxBitmap ||
      (bitmapLength > 0 && bitmap == nullptr) || !valid) {
    if (BlockCoder(cb.method) && length > 0 && length < 4) {
      rc = kCmpBadLength;
      return;
    }
    rc = kCmpBadCoded;
    return;
  }
  const auto bm = static_cast<std::uint32_t>(bitmapLength);
  rc = sevenBit ? PutMatrix7(cb, data, length, flag, records, bitmap, bm)
                : PutMatrix8(cb, data, length, flag, records, bitmap, bm);
  if (rc == kCmpOk && cb.fixedBlock == 0) rc = FlushBlock(cb);
}

namespace {

// Reads a matrix frame into the caller's area: the frame is rebuilt 26 bytes in front of data,
// where the block coder left room for it. length becomes L.
std::int32_t TakeFrame(CmpControlBlock& cb, std::uint8_t* data, std::int32_t capacity,
                       std::int32_t& length) {
  std::uint8_t* const frame = data - kFramePrefix;
  std::uint8_t word[4];
  if (std::int32_t rc = GetBytes(cb, word, 4); rc != 0) return InsideRecord(rc);
  const std::uint32_t k = static_cast<std::uint32_t>(word[0]) << 24 | word[1] << 16 | word[2] << 8 | word[3];
  // The whole frame (K bytes and the end mark from the frame start) must fit the area.
  if (k < kFrameOverhead || capacity < 0 ||
      static_cast<std::uint64_t>(k) + 4 > static_cast<std::uint64_t>(capacity) + kFramePrefix)
    return kCmpBadFormat;
  std::memcpy(frame, word, 4);
  if (std::int32_t rc = GetBytes(cb, frame + 4, k); rc != 0) {
    return rc == kCmpEndOfFile || rc == kCmpBadFormat ? kCmpBadFormat : rc;
  }
  std::uint32_t l = 0;
  const std::int32_t rc = CheckMatrixFrame(cb, frame, l, (cb.matrixHeader[1] & 0x10) != 0);
  if (rc == kCmpOk) length = static_cast<std::int32_t>(l);
  return rc;
}

// A DC8 block begins here: its magic letter and product word behind the length word (either
// character code). Looks only into the current block.
bool Dc8BlockAhead(const CmpControlBlock& cb) {
  if (cb.roomLeft < 8) return false;
  const std::uint8_t* p = cb.cursor;
  static constexpr std::uint8_t kAscii[5] = {'B', 'T', 'O', 'R', 'Q'};
  static constexpr std::uint8_t kEbcdic[5] = {0xC2, 0xE3, 0xD6, 0xD9, 0xD8};
  for (const std::uint8_t* m : {kAscii, kEbcdic}) {
    if (p[2] == m[0] && std::memcmp(p + 4, m + 1, 4) == 0) return true;
  }
  return false;
}

// The DC8 body: a 2-byte length word and its bytes, stored behind a copy of the word; the
// length handed back is the word. A matrix without body leaves length 0.
std::int32_t TakeDc8(CmpControlBlock& cb, std::uint32_t records, std::uint8_t* data,
                     std::int32_t capacity, std::int32_t& length) {
  if (cb.roomLeft <= 0) {
    const std::int32_t rc = EnsureRoom(cb);
    if (rc == kCmpEndOfFile) return records != 0 ? kCmpBadFormat : kCmpOk;
    if (rc != 0) return rc;
  }
  if (cb.method == kMethodDc8) {
    if (*cb.cursor == 0 && records == 0) return kCmpOk;
    if (*cb.cursor != 0x80) return kCmpBadFormat;
    ++cb.cursor;
    --cb.roomLeft;
  } else if (*cb.cursor == 0 && records == 0 && !Dc8BlockAhead(cb)) {
    return kCmpOk;
  }
  std::uint8_t word[2];
  if (std::int32_t rc = GetBytes(cb, word, 2); rc != 0) return InsideRecord(rc);
  const std::uint32_t n = Be16(word);
  if (capacity < 2 || n > static_cast<std::uint32_t>(capacity) - 2) return kCmpBadFormat;
  data[0] = word[0];
  data[1] = word[1];
  if (std::int32_t rc = GetBytes(cb, data + 2, n); rc != 0) return InsideRecord(rc);
  length = static_cast<std::int32_t>(n);
  return kCmpOk;
}

}  // namespace

std::int32_t SkipMatrixBody8(CmpControlBlock& cb) {
  const std::uint32_t method = cb.method & 15;
  if (BlockCoder(method)) {
    std::uint8_t word[4];
    if (std::int32_t rc = GetBytes(cb, word, 4); rc != 0) return InsideRecord(rc);
    const std::uint32_t k = static_cast<std::uint32_t>(word[0]) << 24 | word[1] << 16 | word[2] << 8 | word[3];
    return InsideRecord(SkipBytes(cb, k));
  }
  const std::uint8_t* h = cb.matrixHeader;
  const bool counted = !(h[0] & 0x04) && cb.matrixHeaderLength >= 4 && (h[2] | h[3]) != 0;
  if (method == kMethodDc8) {
    if (*cb.cursor == 0 && !counted) return kCmpOk;
    if (*cb.cursor != 0x80) return kCmpBadFormat;
    ++cb.cursor;
    --cb.roomLeft;
  } else if (*cb.cursor == 0 && !counted && !Dc8BlockAhead(cb)) {
    return kCmpOk;
  }
  std::uint8_t word[2];
  if (std::int32_t rc = GetBytes(cb, word, 2); rc != 0) return InsideRecord(rc);
  return InsideRecord(SkipBytes(cb, Be16(word)));
}

std::int32_t getma8(CmpControlBlock& cb, std::int32_t& length, std::uint8_t* data,
                    std::int32_t capacity, std::int32_t& flag, std::int32_t& records,
                    std::int32_t& bitmapLength, std::uint8_t* bitmap) {
  length = 0;
  if (cb.matrixBodyPending == 0) return kCmpBadFormat;
  cb.matrixBodyPending = 0;
  const std::uint8_t* h = cb.matrixHeader;
  const std::uint32_t hl = cb.matrixHeaderLength;
  const std::uint32_t method = cb.method & 15;
  if (method > kMethodNdc && !Dc8(method)) return kCmpBadMode;
  flag = (h[1] & 0x80) ? 1 : 0;
  std::uint32_t n = 1, from = 2;
  if (Dc8(method)) {
    flag = 0;
    n = 0;
    if (!(h[0] & 0x04)) {
      if (hl < 4) return kCmpBadFormat;
      n = static_cast<std::uint32_t>(h[2]) << 8 | h[3];
      from = 4;
    }
  } else if (!(h[0] & 0x04)) {
    if (hl < 3) return kCmpBadFormat;
    n = h[2];
    if (BlockCoder(method)) {
      flag = 0;
      n |= (h[1] & 0x0Fu) << 8;
    }
    from = 3;
  }
  // With crypt mode 32 the block coders put a zero byte in front of the bitmap.
  if (BlockCoder(method) && cb.cryptMode == 32 && hl > from) ++from;
  if (std::int32_t rc = CopyBitmap(h + from, hl > from ? hl - from : 0, bitmapLength, bitmap); rc != 0)
    return rc;
  records = static_cast<std::int32_t>(n);
  if (Dc8(method)) return TakeDc8(cb, n, data, capacity, length);
  if (BlockCoder(method)) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc == kCmpEndOfFile) return n != 0 ? kCmpBadFormat : kCmpOk;
      if (rc != 0) return rc;
    }
    return TakeFrame(cb, data, capacity, length);
  }
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
