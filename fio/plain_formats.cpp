// The formats without a structure of their own: length-prefixed records, fixed-length and
// undefined records, and eaf sets.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fio/record_format_handlers.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"
#include "support/heap.h"
#include "support/message_output.h"

namespace {

// How a length-prefixed format keeps its length.
struct VarLayout {
  std::int32_t prefix;   // prefix bytes
  std::int32_t counted;  // bytes of the prefix that the length counts (0: data only)
  bool littleEndian;     // var_intel
  bool decimal;          // var_ascii, var_ebcdic
  bool keepPrefix;       // var_2b_in, var_4b_in: the record keeps its prefix
};

VarLayout LayoutOf(std::int32_t format) {
  switch (format) {
    case kFmtVar2bData:
      return {2, 0, false, false, false};
    case kFmtVar4b:
      return {4, 4, false, false, false};
    case kFmtVarIntel:
      return {2, 2, true, false, false};
    case kFmtVarAscii:
    case kFmtVarEbcdic:
      return {4, 4, false, true, false};
    case kFmtVar2bIn:
      return {2, 2, false, false, true};
    case kFmtVar4bIn:
      return {4, 4, false, false, true};
    default:  // var_2b
      return {2, 2, false, false, false};
  }
}

std::int32_t PrefixValue(const VarLayout& layout, const std::uint8_t* p) {
  if (layout.decimal)  // only the low 4 bits count: ASCII and EBCDIC digits read alike
    return (p[0] & 0x0F) * 1000 + (p[1] & 0x0F) * 100 + (p[2] & 0x0F) * 10 + (p[3] & 0x0F);
  if (layout.littleEndian) return p[0] | (p[1] << 8);
  return (p[0] << 8) | p[1];
}

// The largest data length a format can announce in its prefix.
std::int32_t MaxDataLength(std::int32_t format) {
  switch (format) {
    case kFmtVar2bData:
      return 65535;
    case kFmtVar4b:
      return 65535 - 4;
    case kFmtVarAscii:
    case kFmtVarEbcdic:
      return 9999 - 4;
    default:  // var_2b, var_intel
      return 65535 - 2;
  }
}

bool IsDigit(std::uint8_t b) { return (b >= 0x30 && b <= 0x39) || (b >= 0xF0 && b <= 0xF9); }

bool IsLetter(std::uint8_t b, std::uint8_t ascii) {
  return b == ascii || b == static_cast<std::uint8_t>(ascii + 0x80);
}

}  // namespace

void GetVariable(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
                 std::uint8_t* buffer, std::int32_t capacity) {
  const VarLayout layout = LayoutOf(fcb.recordFormat);
  length = 0;
  std::uint8_t prefix[4] = {};
  const RawRead head = FioReadExact(fcb, prefix, layout.prefix);
  if (head.rc != kFioOk) {
    // The end of the file inside a prefix is a cut record, never a clean end.
    rc = head.rc == kFioTruncated ? kFioBadData : head.rc;
    return;
  }
  const std::int32_t data = PrefixValue(layout, prefix) - layout.counted;
  if (data < 0) {  // a length smaller than its own prefix
    rc = kFioBadData;
    return;
  }
  std::int32_t inHand = 0;
  if (layout.keepPrefix) {
    std::memcpy(buffer, prefix, static_cast<std::size_t>(layout.prefix));
    inHand = layout.prefix;
  }
  rc = FioReadRecordRest(fcb, buffer, inHand, data, capacity, length);
}

void PutVariable(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
                 const std::uint8_t* buffer) {
  const std::int32_t format = fcb.recordFormat;
  // A length the prefix cannot hold would be written wrong and never read back.
  if (length > MaxDataLength(format)) {
    rc = kFioLengthError;
    return;
  }
  const auto value = static_cast<std::uint32_t>(length);
  std::uint8_t prefix[4];
  std::uint32_t size = 2;
  switch (format) {
    case kFmtVar2bData: {
      const auto p = Len2Byte(value);
      std::memcpy(prefix, p.data(), 2);
      break;
    }
    case kFmtVar4b: {
      const auto p = Len4Byte(value + 4, fcb.fillByte);
      std::memcpy(prefix, p.data(), 4);
      size = 4;
      break;
    }
    case kFmtVarIntel:
      prefix[0] = static_cast<std::uint8_t>(value + 2);
      prefix[1] = static_cast<std::uint8_t>((value + 2) >> 8);
      break;
    case kFmtVarAscii:
    case kFmtVarEbcdic: {
      const auto p = Len4VarPrnt(length + 4, static_cast<std::uint8_t>(fcb.zeroDigit));
      std::memcpy(prefix, p.data(), 4);
      size = 4;
      break;
    }
    default: {  // var_2b
      const auto p = Len2Byte(value + 2);
      std::memcpy(prefix, p.data(), 2);
      break;
    }
  }
  if (!FioWrite(fcb, rc, prefix, size)) return;
  FioWrite(fcb, rc, buffer, value);
}

void GetFix(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            std::int32_t capacity) {
  length = 0;
  const std::int32_t recordLength = fcb.recordLength;
  if (recordLength <= 0) {
    rc = kFioBadRecordLength;
    return;
  }
  const RawRead r = FioReadRest(fcb, buffer, recordLength, capacity);
  length = r.got;
  if (r.rc != kFioOk && r.rc != kFioTruncated && r.rc != kFioEndOfFile) {
    rc = r.rc;
    return;
  }
  if (r.rc == kFioEndOfFile) {
    rc = kFioEndOfFile;
    return;
  }
  // A short last record comes with its bytes and 111, as a cut one does.
  rc = !r.complete || recordLength > capacity ? kFioTruncated : kFioOk;
}

void PutFix(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
            const std::uint8_t* buffer) {
  const std::int32_t recordLength = fcb.recordLength;
  if (length >= recordLength) {
    if (FioWrite(fcb, rc, buffer, static_cast<std::uint32_t>(recordLength)))
      rc = length > recordLength ? kFioTruncated : kFioOk;
    return;
  }
  if (!fcb.padBuffer) {
    fcb.padBuffer =
        static_cast<std::uint8_t*>(rmHeapAlloc(static_cast<std::uint32_t>(recordLength)));
    if (!fcb.padBuffer) {
      rc = FioSystemError(ENOMEM);
      MsgPutSystemError(ENOMEM);
      return;
    }
    std::memset(fcb.padBuffer, fcb.fillByte, static_cast<std::size_t>(recordLength));
  }
  if (!FioWrite(fcb, rc, buffer, static_cast<std::uint32_t>(length))) return;
  if (FioWrite(fcb, rc, fcb.padBuffer, static_cast<std::uint32_t>(recordLength - length)))
    rc = kFioPadded;
}

void GetUndefined(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
                  std::uint8_t* buffer, std::int32_t capacity) {
  const std::int32_t block = fcb.recordLength > 0 ? fcb.recordLength : 512;
  const RawRead r = FioReadExact(fcb, buffer, std::min(block, capacity));
  length = r.got;
  // The last block of a file may be short.
  rc = r.rc == kFioTruncated ? kFioOk : r.rc;
}

void GetEaf(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            std::int32_t capacity) {
  constexpr std::int32_t kHead = 7;
  const RawRead head = FioReadExact(fcb, buffer, kHead);
  length = 0;
  if (head.rc == kFioEndOfFile) {
    rc = fcb.eafDigits != 0 ? kFioBadData : kFioEndOfFile;  // a set left open is incomplete
    return;
  }
  if (head.rc != kFioOk) {
    rc = head.rc == kFioTruncated ? kFioBadData : head.rc;
    length = head.got;
    return;
  }
  length = kHead;
  if (fcb.eafDigits == 0) {
    if (IsLetter(buffer[4], 0x41)) {
      fcb.eafDigits = 4;
    } else if (IsLetter(buffer[6], 0x41)) {
      fcb.eafDigits = 6;
    } else {
      rc = kFioBadData;
      return;
    }
  }
  std::int32_t recordLength = 0;
  for (std::int32_t i = 0; i < fcb.eafDigits; ++i) {
    if (!IsDigit(buffer[i])) {
      rc = kFioBadData;
      return;
    }
    recordLength = recordLength * 10 + (buffer[i] & 0x0F);
  }
  if (recordLength < kHead) {
    rc = kFioBadData;
    return;
  }
  rc = FioReadRecordRest(fcb, buffer, kHead, recordLength - kHead, capacity, length);
  if (rc != kFioOk && rc != kFioTruncated) return;
  if (IsLetter(buffer[fcb.eafDigits], 0x45)) fcb.eafDigits = 0;  // "E" closes the set
}

void PutAsGiven(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
                const std::uint8_t* buffer) {
  FioWrite(fcb, rc, buffer, static_cast<std::uint32_t>(length));
}
