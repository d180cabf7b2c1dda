// The header of one BER element (ITU-T X.690): identifier octets, then the length octets in
// the short, long or indefinite form. Only the framing is read; the contents are not looked at.
#pragma once
#include <cstdint>
#include <span>

// Bounds of what a header may hold: a tag number of up to 49 bits, and up to 127 length
// octets (leading zeros allowed), so a whole header fits a small window.
inline constexpr std::int32_t kAsn1MaxIdentifier = 8;
inline constexpr std::int32_t kAsn1MaxLengthOctets = 127;
inline constexpr std::int32_t kAsn1MaxHeader = kAsn1MaxIdentifier + 1 + kAsn1MaxLengthOctets;
// Contents lengths from this value up are refused.
inline constexpr std::int64_t kAsn1LengthLimit = 2147483647;

inline constexpr std::uint8_t kAsn1Constructed = 0x20;
inline constexpr std::uint8_t kAsn1HighTag = 0x1F;
inline constexpr std::uint8_t kAsn1More = 0x80;
inline constexpr std::uint8_t kAsn1Indefinite = 0x80;

struct Asn1Header {
  std::int32_t identifierLength = 0;
  std::int32_t headerLength = 0;      // identifier and length octets
  std::int64_t contentsLength = 0;    // 0 for the indefinite form
  bool constructed = false;
  bool indefinite = false;
  bool endOfContents = false;         // 00 00
};

enum class Asn1HeaderResult {
  kOk,
  kNeedMore,         // the bytes end inside the header
  kBadIdentifier,    // more identifier octets than the bound
  kLengthTooLarge,   // the contents length reaches the limit
};

// Reads the header at the start of `bytes`. kNeedMore says how far it got: at least
// `needed` bytes are wanted (never more than kAsn1MaxHeader).
Asn1HeaderResult Asn1ParseHeader(std::span<const std::uint8_t> bytes, Asn1Header& header,
                                 std::int32_t& needed);
