// Stand-ins for the ASN.1 record formats until they are built: every call is refused as a
// record format that cannot be read or written.
#include "fio/asn1_format.h"

void asn1get(FileControlBlock&, std::int32_t& rc, std::int32_t& length, std::uint8_t*,
             std::int32_t) {
  length = 0;
  rc = kFioBadRecordFormat;
}

void asn1put(FileControlBlock&, std::int32_t& rc, std::int32_t, std::uint8_t*) {
  rc = kFioBadRecordFormat;
}
