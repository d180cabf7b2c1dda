// Records of a binary TORQFILE (codes 257 and 288): each record carries its length in front,
// possibly behind a block length, and filling may stand between records and at the end.
#include "fio/record_format_handlers.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"

namespace {

// The bytes of a short read at the end of the file are filling, not a cut record.
bool IsTailFilling(const std::uint8_t* p, std::int32_t n) {
  switch (n) {
    case 3:
      return p[0] == p[1] && p[1] == p[2];
    case 2:
      return p[0] == p[1];
    case 1:
      return p[0] == 0x00 || p[0] == 0x1A || p[0] == 0x20 || p[0] == 0x40 || p[0] == 0xFF;
    default:
      return false;
  }
}

bool AllEqual(const std::uint8_t* p, std::int32_t n) {
  for (std::int32_t i = 1; i < n; ++i)
    if (p[i] != p[0]) return false;
  return true;
}

}  // namespace

void SkipFilling(FileControlBlock& fcb, std::int32_t& rc, std::uint8_t* buffer,
                 std::int32_t& length, std::int32_t& inHand, std::uint8_t*& next) {
  // The two bytes in front of the one just read; a position in front of the buffer counts as
  // 0. Only the final three bytes are stored, so the skip never writes past them.
  std::uint8_t before2 = 0;
  std::uint8_t before1 = buffer[0];
  next = buffer;
  inHand = 1;
  length = 0;
  for (;;) {
    std::uint8_t b = 0;
    if (!FioReadByte(fcb, b, rc)) return;
    if (b == 0x00) continue;  // zeros are dropped
    if (b == 0x80) {
      buffer[0] = before2;
      buffer[1] = before1;
      buffer[2] = 0x80;
      length = ((before2 << 8) | before1) + 2;
      inHand = 3;
      next = buffer + 3;
      rc = kFioOk;
      return;
    }
    before2 = before1;
    before1 = b;
  }
}

void GetTorqRecord(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
                   std::uint8_t* buffer, std::int32_t capacity) {
  length = 0;
  const RawRead head = FioReadExact(fcb, buffer, 4);
  if (head.rc == kFioTruncated) {
    // A few bytes at the end: filling, or a record cut short.
    if (IsTailFilling(buffer, head.got)) {
      rc = kFioEndOfFile;
    } else {
      rc = kFioBadData;
      length = head.got;
    }
    return;
  }
  if (head.rc != kFioOk) {
    rc = head.rc;
    return;
  }
  const std::int32_t a = (buffer[0] << 8) | buffer[1];
  const std::int32_t b = (buffer[2] << 8) | buffer[3];
  std::int32_t recordLength = 0;
  std::int32_t inHand = 0;
  if (a == b + 4) {  // a block length in front of the record
    buffer[0] = buffer[2];
    buffer[1] = buffer[3];
    recordLength = a - 2;
    inHand = 2;
  } else {
    recordLength = a + 2;
    inHand = 4;
  }
  if (recordLength <= 6) {
    std::uint8_t* next = nullptr;
    SkipFilling(fcb, rc, buffer, recordLength, inHand, next);
    if (rc != kFioOk) return;
    if (recordLength < inHand) {  // a length that does not even cover its own bytes
      rc = kFioBadData;
      length = inHand;
      return;
    }
  }
  rc = FioReadRecordRest(fcb, buffer, inHand, recordLength - inHand, capacity, length);
  if (rc == kFioBadData && AllEqual(buffer, length)) {  // the tail of the file was filling
    rc = kFioEndOfFile;
    length = 0;
  }
}
