#include "fio/record_io.h"

#include <algorithm>

#include "fio/buffered_file_api.h"
#include "support/message_output.h"

namespace {

// The reader hands out at most one 64 KB piece per call; the writer always takes 32 KB.
constexpr std::int32_t kReadPiece = 65536;
constexpr std::uint32_t kWritePiece = 32768;

}  // namespace

RawRead FioReadExact(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t length) {
  if (length <= 0) return {kFioOk, 0, true};
  std::int32_t got = 0;
  while (got < length) {
    const std::int32_t piece = std::min(length - got, kReadPiece);
    std::uint32_t n = 0;
    if (!BasicRead(fcb.io, buffer + got, static_cast<std::uint32_t>(piece), &n))
      return {FioSystemError(BasicSystemError(fcb.io)), got, false};
    got += static_cast<std::int32_t>(n);
    if (static_cast<std::int32_t>(n) < piece) break;  // the data ended
  }
  if (got == length) return {kFioOk, got, true};
  return {got == 0 ? kFioEndOfFile : kFioTruncated, got, false};
}

RawRead FioReadRest(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t length,
                    std::int32_t capacity) {
  if (length <= 0) return {kFioOk, 0, true};
  const std::int32_t deliver = std::clamp(capacity, 0, length);
  RawRead r = FioReadExact(fcb, buffer, deliver);
  if (r.rc != kFioOk) return r;
  // The excess is dropped straight from the file object's buffer, never copied.
  std::int32_t excess = length - deliver;
  std::int32_t dropped = 0;
  while (excess > 0) {
    const std::int32_t piece = std::min(excess, kReadPiece);
    void* data = nullptr;
    std::uint32_t n = 0;
    if (!BasicGet(fcb.io, &data, static_cast<std::uint32_t>(piece), &n))
      return {FioSystemError(BasicSystemError(fcb.io)), r.got, false};
    excess -= static_cast<std::int32_t>(n);
    dropped += static_cast<std::int32_t>(n);
    if (static_cast<std::int32_t>(n) < piece) break;
  }
  if (excess > 0 && r.got == 0 && dropped == 0) return {kFioEndOfFile, 0, false};
  return {deliver < length || excess > 0 ? kFioTruncated : kFioOk, r.got, excess == 0};
}

std::int32_t FioReadRecordRest(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t inHand,
                               std::int32_t rest, std::int32_t capacity, std::int32_t& length) {
  const std::int32_t room = capacity - inHand;
  const RawRead body = FioReadRest(fcb, buffer + inHand, rest, room);
  length = inHand + body.got;
  if (body.rc != kFioOk && body.rc != kFioTruncated && body.rc != kFioEndOfFile) return body.rc;
  if (!body.complete) return kFioBadData;  // fewer bytes than the record announced
  return rest > room ? kFioTruncated : kFioOk;
}

bool FioReadByte(FileControlBlock& fcb, std::uint8_t& byte, std::int32_t& rc) {
  std::uint32_t n = 0;
  if (!BasicRead(fcb.io, &byte, 1, &n)) {
    rc = FioSystemError(BasicSystemError(fcb.io));
    return false;
  }
  if (n == 0) {
    rc = kFioEndOfFile;
    return false;
  }
  return true;
}

void read_record(FileControlBlock*& slot, std::int32_t& rc, std::uint8_t* buffer,
                 std::int32_t& length) {
  if (!FcbEnter(slot, rc) || length <= 0) return;
  const RawRead r = FioReadExact(*slot, buffer, length);
  rc = r.rc;
  if (r.rc == kFioEndOfFile || r.rc == kFioTruncated) length = r.got;
}

void read_record_rest(FileControlBlock*& slot, std::int32_t& rc, std::uint8_t* buffer,
                      std::int32_t& length, const std::int32_t& capacity) {
  if (!FcbEnter(slot, rc) || length <= 0) return;
  const RawRead r = FioReadRest(*slot, buffer, length, capacity);
  rc = r.rc;
  if (r.rc == kFioOk || r.rc == kFioEndOfFile || r.rc == kFioTruncated) length = r.got;
}

bool FioWrite(FileControlBlock& fcb, std::int32_t& rc, const void* data, std::uint32_t length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  do {
    const std::uint32_t piece = std::min(length, kWritePiece);
    std::uint32_t written = 0;
    if (!BasicWrite(fcb.io, p, piece, &written)) {
      const std::uint32_t error = BasicSystemError(fcb.io);
      rc = FioSystemError(error);
      MsgPutSystemError(static_cast<std::int32_t>(error));
      return false;
    }
    p += piece;
    length -= piece;
  } while (length > 0);
  return true;
}

std::array<std::uint8_t, 2> Len2Byte(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::array<std::uint8_t, 4> Len4Byte(std::uint32_t value, std::uint8_t fillByte) {
  return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value), fillByte,
          fillByte};
}

std::array<std::uint8_t, 4> Len4VarPrnt(std::int32_t value, std::uint8_t zeroDigit) {
  if (value < 0 || value > 9999) value = 0;
  std::array<std::uint8_t, 4> out{};
  for (int i = 3; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(zeroDigit + value % 10);
    value /= 10;
  }
  return out;
}
