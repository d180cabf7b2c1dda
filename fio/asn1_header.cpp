#include "fio/asn1_header.h"

Asn1HeaderResult Asn1ParseHeader(std::span<const std::uint8_t> bytes, Asn1Header& header,
                                 std::int32_t& needed) {
  header = Asn1Header{};
  const auto held = static_cast<std::int64_t>(bytes.size());
  std::int32_t pos = 0;
  needed = 1;
  if (held < 1) return Asn1HeaderResult::kNeedMore;
  const std::uint8_t first = bytes[0];
  pos = 1;
  if ((first & kAsn1HighTag) == kAsn1HighTag) {
    // Further identifier octets while bit 8 is set; the first without it ends the identifier.
    for (;;) {
      if (pos >= kAsn1MaxIdentifier) return Asn1HeaderResult::kBadIdentifier;
      needed = pos + 1;
      if (held < needed) return Asn1HeaderResult::kNeedMore;
      const std::uint8_t b = bytes[static_cast<std::size_t>(pos++)];
      if ((b & kAsn1More) == 0) break;
    }
  }
  header.identifierLength = pos;
  header.constructed = (first & kAsn1Constructed) != 0;

  needed = pos + 1;
  if (held < needed) return Asn1HeaderResult::kNeedMore;
  const std::uint8_t lengthByte = bytes[static_cast<std::size_t>(pos++)];
  std::int64_t length = 0;
  if (lengthByte == kAsn1Indefinite) {
    header.indefinite = true;
  } else if (lengthByte < 0x80) {
    length = lengthByte;
  } else {
    // The length so far is checked byte by byte, so an oversized length is known before all
    // of its bytes are there.
    const std::int32_t n = lengthByte & 0x7F;
    for (std::int32_t i = 0; i < n; ++i) {
      needed = pos + n - i;
      if (held <= pos) return Asn1HeaderResult::kNeedMore;
      length = length * 256 + bytes[static_cast<std::size_t>(pos++)];
      if (length >= kAsn1LengthLimit) return Asn1HeaderResult::kLengthTooLarge;
    }
  }
  header.headerLength = pos;
  header.contentsLength = length;
  header.endOfContents = first == 0 && lengthByte == 0;
  needed = pos;
  return Asn1HeaderResult::kOk;
}
