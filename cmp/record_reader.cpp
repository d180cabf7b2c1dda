// The record reader: walks the container's record stream to the next file header or matrix
// header, takes the header into the control block and sets the member's attributes from it.
// Records of other kinds are passed over; the body of a matrix whose header was reported and
// not read is passed over first.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/security_records.h"
#include "cmp/buffer_sizes.h"
#include "cmp/cmp.h"
#include "cmp/header_record.h"
#include "cmp/letters.h"
#include "support/heap.h"

namespace {

// Makes the header buffer hold `size` bytes: the inline buffer or a heap block of that size.
std::int32_t HeaderBufferFor(CmpControlBlock& cb, std::uint32_t size) {
  if (cb.headerBuffer != cb.inlineHeader) {
    rmHeapFree(cb.headerBuffer);
    cb.headerBuffer = cb.inlineHeader;
    cb.headerCapacity = kCmpInlineHeader;
  }
  if (size <= kCmpInlineHeader) return kCmpOk;
  auto* p = static_cast<std::uint8_t*>(rmHeapAlloc(size));
  if (p == nullptr) return kCmpBad;
  cb.headerBuffer = p;
  cb.headerCapacity = size;
  return kCmpOk;
}

// 8-bit form: the segments of a matrix body, up to the zero byte that ends the list. The end
// of the file behind the body is left for the next lead byte to meet.
std::int32_t SkipSegments8(CmpControlBlock& cb) {
  const std::uint32_t method = cb.method & 15;
  if (method == kMethodAdc || method == kMethodNdc || method == kMethodDc8 ||
      method == kMethodDc8Variant) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc != 0) return rc == kCmpEndOfFile ? kCmpOk : rc;
    }
    return SkipMatrixBody8(cb);
  }
  if (method > kMethodVr8) return kCmpBadMode;
  for (;;) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc != 0) return rc == kCmpEndOfFile ? kCmpOk : rc;
    }
    if (*cb.cursor == 0) return kCmpOk;
    std::uint8_t b = 0, low = 0;
    GetByte(cb, b);
    std::uint32_t length = b;
    if (b & 0x80) {
      if (std::int32_t rc = GetByte(cb, low); rc != 0) return InsideRecord(rc);
      length = (b & 0x7Fu) << 8 | low;
    }
    if (std::int32_t rc = SkipBytes(cb, length); rc != 0) return InsideRecord(rc);
  }
}

// 7-bit form: one piece: three length letters, the content, the check letter.
std::int32_t SkipPiece7(CmpControlBlock& cb) {
  std::uint32_t length = 0;
  if (std::int32_t rc = GetLength3(cb, length, kCmpBadFormat); rc != 0) return InsideRecord(rc);
  const std::uint8_t check = cb.checkLetter;
  if (std::int32_t rc = SkipBytes(cb, length); rc != 0) return InsideRecord(rc);
  std::uint8_t c = 0;
  if (std::int32_t rc = GetByte(cb, c); rc != 0) return InsideRecord(rc);
  return c == check ? kCmpOk : kCmpBadCheckLetter;
}

// 7-bit form: segments until a record letter or a space.
std::int32_t SkipSegments7(CmpControlBlock& cb) {
  for (;;) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc != 0) return rc == kCmpEndOfFile ? kCmpOk : rc;
    }
    if (*cb.cursor == cb.space || IsRecordLetter(cb, *cb.cursor)) return kCmpOk;
    if (std::int32_t rc = SkipPiece7(cb); rc != 0) return rc;
  }
}

// 8-bit form: finds the next record's lead byte and leaves the cursor on its length. A zero
// byte followed by another ends the block's content (filling); the length may begin the next
// block only when the lead byte ended the previous one.
std::int32_t FindLead8(CmpControlBlock& cb) {
  bool leadEndedBlock = false;
  for (;;) {
    if (cb.roomLeft <= 0) {
      const std::int32_t rc = EnsureRoom(cb);
      if (rc != 0) return rc == kCmpBadFormat ? kCmpUnexpectedEnd : rc;
      if (*cb.cursor != 0) return leadEndedBlock ? kCmpOk : kCmpBadFormat;
    }
    if (*cb.cursor++ != 0) return kCmpBadFormat;
    --cb.roomLeft;
    leadEndedBlock = cb.roomLeft == 0;
    if (leadEndedBlock) continue;
    if (*cb.cursor == 0) {
      cb.roomLeft = 0;
      continue;
    }
    return kCmpOk;
  }
}

// The security header closing a member's header record: crypt mode, member number, keys.
// Code 351 does not stop its processing.
std::int32_t SecurityHeaderRead8(CmpControlBlock& cb, const std::uint8_t* s) {
  static constexpr std::uint32_t kCrypt[16] = {0, 16, 32};
  std::memcpy(cb.securityHeader, s, sizeof cb.securityHeader);
  cb.cryptMode = kCrypt[s[2] >> 4];
  const std::uint32_t number = static_cast<std::uint32_t>(s[3]) << 24 | s[4] << 16 | s[5] << 8 | s[6];
  const std::int32_t rc = number != cb.mem_cnt ? kCmpMemberNumber : kCmpOk;
  if (cb.cryptMode == 32 && cb.secinf != 0 && cb.passwordLength != 0) faesm(&cb.aes, cb.mem_cnt);
  cb.secinf = 1;
  return rc;
}

// The file header just read: character code, format level, and what follows the name and
// the system header. Codes 70 do not stop the header's processing.
std::int32_t FileHeaderRead8(CmpControlBlock& cb) {
  const std::uint8_t* h = cb.headerBuffer;
  const std::uint32_t length = cb.headerLength;
  if (cb.cryptMode != 0) cb.cryptMode = 16;
  cb.charCode = h[1] == 0x41 ? 1 : 0;
  cb.formatLevel = kCmpFormatLevel;
  if (length < 32) return kCmpBadFormat;
  std::int32_t rc = h[2] != 0xF2 ? kCmpBadVersion : kCmpOk;
  const std::uint32_t p = 32 + HeaderBe16(cb, 30);
  if (p > length || (p < length && p + 2 > length)) return kCmpBadFormat;
  if (p < length) {
    const std::uint32_t end = p + 2 + HeaderBe16(cb, p);
    if (end > length) return kCmpBadFormat;
    const std::uint32_t rest = length - end;
    if (rest == 15) {
      const std::int32_t code = SecurityHeaderRead8(cb, h + end);
      if (code != kCmpOk) rc = code;
    } else if (rest != 0) {
      return kCmpBadFormat;
    }
  }
  return rc;
}

// The matrix header just read (8-bit form): the member's attributes when it differs from the
// last one.
std::int32_t MatrixHeaderRead8(CmpControlBlock& cb) {
  const std::uint8_t b0 = cb.matrixHeader[0];
  const std::uint8_t b1 = cb.matrixHeader[1];
  const auto word = static_cast<std::uint16_t>(b0 | (b1 & 0x7F) << 8);
  if (word == cb.lastMatrixHeaderWord) return kCmpOk;
  std::int32_t rc = kCmpOk;
  cb.charCode = (b0 & 0x02) ? 1 : 0;
  cb.passwordSet = 0;
  cb.cryptMode = 16;
  switch (b1 & 0x60) {
    case 0x60:
      if (!(b1 & 0x10)) return kCmpNotTorqfile;
      cb.cryptMode = 32;
      [[fallthrough]];
    case 0x20:
      if (!(b1 & 0x10)) {
        cb.cryptMode = 0;
        cb.passwordSet = 0;
      } else {
        cb.passwordSet = 1;
      }
      cb.method = kMethodAdc;
      cb.matrixBufferSize = 65536;
      if ((cb.passwordSet > 0) != (cb.passwordLength > 0)) rc = kCmpNoPassword;
      break;
    case 0x40:
      cb.cryptMode = 0;
      cb.method = (b0 & 0x04) ? kMethodDc8 : kMethodDc8Variant;
      cb.matrixBufferSize = static_cast<std::uint32_t>(GetBufSize(b1 & 0x1F));
      break;
    default:
      cb.cryptMode = 0;
      cb.method = (b0 & 0x10) ? kMethodVr8 : kMethodCx8;
      cb.matrixBufferSize = static_cast<std::uint32_t>(GetBufSize(b1 & 0x1F));
      break;
  }
  cb.formatLevel = kCmpFormatLevel;
  if (b0 & 0x60) rc = kCmpBadVersion;
  cb.lastMatrixHeaderWord = word;
  return rc;
}

std::int32_t ReadRecord8(CmpControlBlock& cb) {
  if (cb.matrixBodyPending != 0) {
    cb.matrixBodyPending = 0;
    if (std::int32_t rc = SkipSegments8(cb); rc != 0) return rc;
  }
  for (;;) {
    if (std::int32_t rc = FindLead8(cb); rc != 0) return rc;
    std::uint8_t b = 0, low = 0;
    GetByte(cb, b);
    std::uint32_t length = b;
    if (b & 0x80) {
      if (std::int32_t rc = GetByte(cb, low); rc != 0) return InsideRecord(rc);
      length = (b & 0x7Fu) << 8 | low;
    }
    if (length == 0) return kCmpBadFormat;
    if (std::int32_t rc = EnsureRoom(cb); rc != 0) return InsideRecord(rc);
    const std::uint8_t kind = *cb.cursor;
    if (kind == 0x30 && cb.secinf == 1 && cb.positioning == 0) return kCmpBadFormat;  // trailer gone
    if (cb.secinf >= 1 && (kind & 7) == 7) {
      cb.recordKind = kKindTrailer;
      const bool file = (kind & 0x08) != 0;
      if (cb.secinf != (file ? 2u : 1u)) return kCmpBadFormat;
      std::uint8_t content[kTrailerImageSize + kTrailerMacSize];
      if (length > sizeof content) return kCmpBadFormat;
      if (std::int32_t rc = GetBytes(cb, content, length); rc != 0) return InsideRecord(rc);
      if (std::int32_t rc = TakeTrailer(cb, content, length); rc != 0) return rc;
      continue;
    }
    if (kind == 0x30) {
      if (std::int32_t rc = HeaderBufferFor(cb, length); rc != 0) return rc;
      cb.recordKind = kKindFileHeader;
      cb.headerLength = length;
      cb.lastMatrixHeaderWord = 0;
      cb.matrixHeaderLength = 0;
      cb.method = kMethodCx8;
      if (cb.blockCoderKind == 2) cb.method = kMethodAdc;
      if (cb.blockCoderKind == 1) {
        cb.method = kMethodDc8Variant;
        cb.blockCoderKind = 0;
      }
      cb.passwordSet = 0;
      ++cb.mem_cnt;
      if (std::int32_t rc = GetBytes(cb, cb.headerBuffer, length); rc != 0) return InsideRecord(rc);
      return FileHeaderRead8(cb);
    }
    if (kind & 0x80) {
      if (length < 2 || length > kCmpMatrixHeaderSize) return kCmpBadFormat;
      cb.matrixHeaderLength = length;
      cb.headerLength = 0;
      cb.recordKind = kKindMatrix;
      if (cb.blockCoderKind == 1) {
        cb.recordKind = kKindDc8Matrix;
        cb.lastMatrixHeaderWord = 0;
        cb.blockCoderKind = 0;
      }
      if (std::int32_t rc = GetBytes(cb, cb.matrixHeader, length); rc != 0) return InsideRecord(rc);
      cb.matrixBodyPending = 1;
      return MatrixHeaderRead8(cb);
    }
    // Any other record (trailers of a container read without security among them).
    if (std::int32_t rc = SkipBytes(cb, length); rc != 0) return InsideRecord(rc);
  }
}

std::uint32_t PairValue(const CmpControlBlock& cb, const std::uint8_t* p, bool& ok) {
  const std::int32_t hi = LetterValue(cb, p[0]), lo = LetterValue(cb, p[1]);
  if (hi < 0 || lo < 0) ok = false;
  return static_cast<std::uint32_t>(std::max(hi, 0) * 16 + std::max(lo, 0));
}

// The matrix header just read (7-bit form): a new buffer size and form when its first four
// letters differ from the last ones.
std::int32_t MatrixHeaderRead7(CmpControlBlock& cb) {
  if (cb.matrixHeaderLength < 4) return kCmpOk;
  const std::uint8_t* h = cb.matrixHeader;
  std::uint8_t* last = cb.lastMatrixLetters;
  if (std::memcmp(h, last, 4) == 0) return kCmpOk;
  bool ok = true;
  const std::uint32_t id = PairValue(cb, h + 2, ok) & 0x7F;
  const std::uint32_t oldId = PairValue(cb, last + 2, ok) & 0x7F;
  bool lastOk = true;
  const std::uint32_t first = PairValue(cb, h, ok) & ~0x04u;
  const std::uint32_t oldFirst = PairValue(cb, last, lastOk) & ~0x04u;
  if (!ok) return kCmpBadFormat;
  cb.matrixBufferSize = static_cast<std::uint32_t>(GetBufSize(static_cast<std::int32_t>(id)));
  const bool differ = id != oldId || first != oldFirst;
  if (differ) {
    if (!(first & 0x80)) return kCmpBadFormat;
    if (first & 0x60) return kCmpBadVersion;
  }
  std::memcpy(last, h, 4);
  cb.passwordSet = 0;
  return kCmpOk;
}

// Reads `length` letters of a 7-bit piece to `out` and its check letter.
std::int32_t ReadPiece7(CmpControlBlock& cb, std::uint8_t* out, std::uint32_t length) {
  const std::uint8_t check = cb.checkLetter;
  if (std::int32_t rc = GetBytes(cb, out, length); rc != 0) return InsideRecord(rc);
  std::uint8_t c = 0;
  if (std::int32_t rc = GetByte(cb, c); rc != 0) return InsideRecord(rc);
  return c == check ? kCmpOk : kCmpBadCheckLetter;
}

std::int32_t FileHeaderRead7(CmpControlBlock& cb, std::uint32_t length) {
  std::uint32_t total = 0;
  for (;;) {
    if (static_cast<std::uint64_t>(total) + length > cb.headerCapacity) return kCmpBadFormat;
    if (std::int32_t rc = ReadPiece7(cb, cb.headerBuffer + total, length); rc != 0) return rc;
    const bool more = length == kPieceLetters + 1 && cb.headerBuffer[total + length - 1] == cb.space;
    total += more ? length - 1 : length;
    cb.headerLength = total;
    if (!more) break;
    if (std::int32_t rc = GetLength3(cb, length, kCmpBadFormat); rc != 0) return InsideRecord(rc);
  }
  const std::uint8_t* h = cb.headerBuffer;
  if (total >= 3 && h[0] == 0x30 && (h[1] == 0x41 || h[1] == 0x45) && h[2] == 0x32) {
    cb.charCode = 1;
  } else if (total >= 3 && h[0] == 0xF0 && (h[1] == 0xC5 || h[1] == 0xC1) && h[2] == 0xF2) {
    cb.charCode = 0;
  } else {
    return kCmpBadFormat;
  }
  cb.formatLevel = kCmpFormatLevel;
  cb.passwordSet = 0;
  return kCmpOk;
}

std::int32_t ReadRecord7(CmpControlBlock& cb) {
  if (cb.matrixBodyPending != 0) {
    cb.matrixBodyPending = 0;
    if (std::int32_t rc = SkipSegments7(cb); rc != 0) return rc;
  }
  for (;;) {
    while (cb.roomLeft <= 0 || *cb.cursor == cb.space) {
      if (std::int32_t rc = recin7(cb); rc != 0) return rc;
    }
    const std::uint8_t letter = *cb.cursor++;
    --cb.roomLeft;
    std::uint32_t length = 0;
    if (letter == cb.recordLetters[2]) {
      if (std::int32_t rc = SkipPiece7(cb); rc != 0) return rc;
      continue;
    }
    const bool matrix = letter == cb.recordLetters[1];
    if (!matrix && letter != cb.recordLetters[0]) return kCmpBadFormat;
    if (!matrix) {
      cb.recordKind = kKindFirstPiece;
      cb.matrixHeaderLength = 0;
      cb.lastMatrixLetters[0] = static_cast<std::uint8_t>(cb.letterBase);
    }
    if (std::int32_t rc = GetLength3(cb, length, kCmpBadFormat); rc != 0) return InsideRecord(rc);
    if (matrix) {
      if ((length >= 1 && length < 12) || length > kCmpMatrixHeaderSize) return kCmpBadFormat;
      cb.recordKind = kKindMatrix;
      cb.headerLength = 0;
      cb.matrixHeaderLength = length;
      if (std::int32_t rc = ReadPiece7(cb, cb.matrixHeader, length); rc != 0) return rc;
      cb.matrixBodyPending = 1;
      return MatrixHeaderRead7(cb);
    }
    cb.recordKind = kKindFileHeader;
    cb.headerLength = 0;
    const std::uint32_t size = length == kPieceLetters + 1 ? kMaxHeaderLetters : length;
    if (std::int32_t rc = HeaderBufferFor(cb, size); rc != 0) return rc;
    return FileHeaderRead7(cb, length);
  }
}

}  // namespace

void cmp_gethdr(CmpControlBlock& cb, std::int32_t& rc, std::int32_t& kind, std::int32_t& mode,
                std::int32_t& charCode, std::int32_t& formatLevel, std::int32_t& bufferSize,
                std::int32_t& encrypted) {
  rc = Is7Bit(cb) ? ReadRecord7(cb) : ReadRecord8(cb);
  // A secured container ends behind its file trailer only.
  if (rc == kCmpEndOfFile && (cb.secinf == 1 || cb.secinf == 2)) rc = kCmpUnexpectedEnd;
  kind = static_cast<std::int32_t>(cb.recordKind);
  mode = static_cast<std::int32_t>(cb.method | cb.cryptMode);
  charCode = static_cast<std::int32_t>(cb.charCode);
  formatLevel = static_cast<std::int32_t>(cb.formatLevel);
  bufferSize = static_cast<std::int32_t>(cb.matrixBufferSize);
  encrypted = cb.passwordSet;
}

namespace {

std::int32_t NextFileHeader(CmpControlBlock& cb) {
  for (;;) {
    std::int32_t rc = 0, kind = 0, mode = 0, charCode = 0, level = 0, size = 0, encrypted = 0;
    cmp_gethdr(cb, rc, kind, mode, charCode, level, size, encrypted);
    if (rc == kCmpNoPassword) rc = kCmpOk;
    if (rc != 0) return rc;
    if (cb.recordKind == kKindFileHeader) return kCmpOk;
  }
}

}  // namespace

std::int32_t getfh8(CmpControlBlock& cb) { return NextFileHeader(cb); }
std::int32_t getfh7(CmpControlBlock& cb) { return NextFileHeader(cb); }
