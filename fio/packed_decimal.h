// Packed decimal numbers: two decimal digits per byte, most significant first, with a sign
// nibble in the low half of the last byte; a number of n digits takes n/2 + 1 bytes (an even
// count gets a leading 0 nibble). The DTAUS tape form stores its numeric fields this way, the
// disk form as digit characters.
//
// The nibble-pair helpers cover the unsigned fields of the tape form: n digits (n even) in n/2
// bytes, no sign and no leading nibble.
#pragma once
#include <cstdint>

inline constexpr std::int32_t kPackedMaxDigits = 23;

// Bytes of a packed number of n digits.
constexpr std::int32_t PackedSize(std::int32_t n) { return n / 2 + 1; }

// Packs n digit characters (only their low four bits count) into PackedSize(n) bytes with the
// sign nibble 0xF and returns `destination`. A count outside 1..23 writes nothing.
std::uint8_t* pack(std::uint8_t* destination, const std::uint8_t* digits, std::int32_t n);

// Writes the n digit nibbles of the packed number in `source` (PackedSize(n) bytes) as
// characters zone | nibble; the sign is neither checked nor written. A count outside 1..23
// writes nothing.
void unpack(std::uint8_t* destination, const std::uint8_t* source, std::int32_t n,
            std::uint8_t zone);

// n digit characters (n even, 2..46) as n/2 bytes of nibble pairs, no sign.
void PackNibblePairs(std::uint8_t* destination, const std::uint8_t* digits, std::int32_t n);
// n/2 bytes of nibble pairs as n characters zone | nibble.
void UnpackNibblePairs(std::uint8_t* destination, const std::uint8_t* source, std::int32_t n,
                       std::uint8_t zone);

// Value of a packed number of n digits (n 1..9), or -1 when a digit nibble is above 9.
std::int32_t PackedValue(const std::uint8_t* source, std::int32_t n);
// Value of n digit characters (n 1..9), or -1 when the low four bits of one are above 9.
std::int32_t DigitValue(const std::uint8_t* digits, std::int32_t n);
