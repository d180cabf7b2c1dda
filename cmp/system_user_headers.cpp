// System and user headers: added to the member's header record behind the file header, and
// copied out of the header record last read.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/security_records.h"
#include "cmp/cmp.h"
#include "cmp/header_record.h"

namespace {

// Letters 57-60 (7-bit) or bytes 30-31 (8-bit) hold N + S.
void AddSystemLength(CmpControlBlock& cb, std::uint32_t s) {
  std::uint8_t* h = cb.headerBuffer;
  if (Is7Bit(cb)) {
    std::uint32_t v = 0;
    HeaderLetters(cb, 57, 4, v);
    v = (v + s) & 0xFFFF;
    for (int i = 0; i < 4; ++i) h[57 + i] = cb.alphabet[(v >> (12 - 4 * i)) & 15];
  } else {
    const std::uint32_t v = (HeaderBe16(cb, 30) + s) & 0xFFFF;
    h[30] = static_cast<std::uint8_t>(v >> 8);
    h[31] = static_cast<std::uint8_t>(v);
  }
}

bool Writable(const CmpControlBlock* cb) { return CmpValid(cb) && cb->direction == 1; }

// Checks common to the getters; 0 when a header record is there.
std::int32_t HeaderRead(const CmpControlBlock& cb) {
  if (cb.recordKind == 0 || cb.headerLength <= (Is7Bit(cb) ? 61u : 32u)) return kCmpNoFileHeader;
  return kCmpOk;
}

}  // namespace

void cmppsh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* data, std::int32_t& moreHeaders) {
  if (!Writable(slot)) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  if (cb.headerLength == 0) {
    rc = kCmpNoFileHeader;
    return;
  }
  const std::int64_t s = length;
  const bool sevenBit = Is7Bit(cb);
  if (s < 0 || (s > 0 && data == nullptr) || cb.headerLength + s > kCmpMaxBlockSize ||
      (moreHeaders == 0 && sevenBit && cb.headerLength + 2 * s >= kPieceLetters + 1)) {
    rc = kCmpHeaderTooLong;
    return;
  }
  rc = kCmpOk;
  cb.systemHeader = data;
  cb.systemHeaderLength = static_cast<std::uint32_t>(s);
  if (moreHeaders != 0) return;
  if (SecuredHeaderRecord(cb)) {  // closes with the security header (see cmpphd)
    std::int32_t none = 0;
    cmppuh(slot, rc, none, nullptr);
    return;
  }
  AddSystemLength(cb, cb.systemHeaderLength);
  const HeaderPart parts[2] = {{cb.headerBuffer, cb.headerLength, false},
                               {data, cb.systemHeaderLength, true}};
  rc = WriteHeaderRecord(cb, parts, 2);
  cb.headerLength = 0;
}

void cmppuh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* data) {
  if (!Writable(slot)) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  if (cb.headerLength == 0) {
    rc = kCmpNoFileHeader;
    return;
  }
  const std::int64_t u = length;
  const std::int64_t s = cb.systemHeader != nullptr ? cb.systemHeaderLength : 0;
  const bool sevenBit = Is7Bit(cb);
  const std::int64_t secured = SecuredHeaderRecord(cb) ? sizeof cb.securityHeader : 0;
  if (u < 0 || (u > 0 && data == nullptr) || cb.headerLength + s + u + secured > kCmpMaxBlockSize - 4 ||
      (sevenBit && cb.headerLength + 2 * s + 2 * u + 4 > static_cast<std::int64_t>(kMaxHeaderLetters))) {
    rc = kCmpHeaderTooLong;
    return;
  }
  rc = kCmpOk;
  AddSystemLength(cb, static_cast<std::uint32_t>(s));
  const std::uint8_t ul[2] = {static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
  if (secured != 0) build_memhdr(cb);
  const HeaderPart parts[5] = {{cb.headerBuffer, cb.headerLength, false},
                               {cb.systemHeader, static_cast<std::size_t>(s), true},
                               {ul, 2, true},
                               {data, static_cast<std::size_t>(u), true},
                               {cb.securityHeader, static_cast<std::size_t>(secured), false}};
  rc = WriteHeaderRecord(cb, parts, 5);
  // The member's keys follow its number.
  if (secured != 0 && cb.cryptMode == 32) faesm(&cb.aes, cb.mem_cnt);
  cb.headerLength = 0;
  cb.systemHeader = nullptr;
  cb.systemHeaderLength = 0;
}

void cmpgsh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  const CmpControlBlock& cb = *slot;
  const std::int32_t capacity = buffer != nullptr ? std::max(length, 0) : 0;
  length = 0;
  if ((rc = HeaderRead(cb)) != 0) return;
  std::uint32_t total = 0, n = 0, at = 0, size = 0;
  if (Is7Bit(cb)) {
    if (!HeaderLetters(cb, 57, 4, total) || !HeaderLetters(cb, 55, 2, n)) {
      rc = kCmpBadFormat;
      return;
    }
    at = 61 + n;
    size = 2;
  } else {
    total = HeaderBe16(cb, 30);
    n = cb.headerBuffer[29];
    at = 32 + n;
    size = 1;
  }
  if (total < n || at + size * static_cast<std::uint64_t>(total - n) > cb.headerLength) {
    rc = kCmpBadFormat;
    return;
  }
  const std::uint32_t copy = std::min<std::uint32_t>(total - n, static_cast<std::uint32_t>(capacity));
  if (!CopyHeaderBytes(cb, at, copy, buffer)) {
    rc = kCmpBadFormat;
    return;
  }
  length = static_cast<std::int32_t>(copy);
}

void cmpguh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  const CmpControlBlock& cb = *slot;
  const std::int32_t capacity = buffer != nullptr ? std::max(length, 0) : 0;
  length = 0;
  if (cb.recordKind == 0 || cb.headerLength < (Is7Bit(cb) ? 61u : 32u)) {
    rc = kCmpNoFileHeader;
    return;
  }
  std::uint64_t at = 0, size = 0;
  std::uint32_t u = 0;
  if (Is7Bit(cb)) {
    std::uint32_t total = 0, n = 0;
    if (!HeaderLetters(cb, 57, 4, total) || !HeaderLetters(cb, 55, 2, n) || 2 * total < n) {
      rc = kCmpBadFormat;
      return;
    }
    const std::uint64_t p = 61 + 2ull * total - n;
    if (p >= cb.headerLength) {
      rc = kCmpNoFileHeader;
      return;
    }
    if (!HeaderLetters(cb, static_cast<std::uint32_t>(p), 4, u)) {
      rc = kCmpBadFormat;
      return;
    }
    at = p + 4;
    size = 2;
  } else {
    const std::uint64_t p = 32 + HeaderBe16(cb, 30);
    if (p + 2 >= cb.headerLength) {
      rc = p > cb.headerLength ? kCmpBadFormat : kCmpNoFileHeader;
      return;
    }
    u = HeaderBe16(cb, static_cast<std::uint32_t>(p));
    at = p + 2;
    size = 1;
  }
  if (at + size * u > cb.headerLength) {
    rc = kCmpBadFormat;
    return;
  }
  const std::uint32_t copy = std::min<std::uint32_t>(u, static_cast<std::uint32_t>(capacity));
  if (!CopyHeaderBytes(cb, static_cast<std::uint32_t>(at), copy, buffer)) {
    rc = kCmpBadFormat;
    return;
  }
  rc = kCmpOk;
  length = static_cast<std::int32_t>(copy);
}
