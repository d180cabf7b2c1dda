#include "fio/packed_decimal.h"

namespace {

constexpr bool CountOk(std::int32_t n) { return n >= 1 && n <= kPackedMaxDigits; }

// The nibble at position i of a packed number of n digits (0 = first digit); an even count
// starts one nibble in, behind the leading 0.
inline std::uint8_t DigitNibble(const std::uint8_t* source, std::int32_t n, std::int32_t i) {
  const std::int32_t nibble = i + ((n & 1) == 0 ? 1 : 0);
  const std::uint8_t byte = source[nibble >> 1];
  return (nibble & 1) ? static_cast<std::uint8_t>(byte & 0x0F) : static_cast<std::uint8_t>(byte >> 4);
}

}  // namespace

std::uint8_t* pack(std::uint8_t* destination, const std::uint8_t* digits, std::int32_t n) {
  if (!CountOk(n)) return destination;
  const std::int32_t size = PackedSize(n);
  // Nibble positions run from the right: the sign last, the last digit in front of it.
  std::int32_t nibble = 2 * size - 1;
  destination[size - 1] = 0x0F;
  for (std::int32_t i = 0; i < size - 1; ++i) destination[i] = 0;
  for (std::int32_t i = n - 1; i >= 0; --i) {
    --nibble;
    const std::uint8_t d = digits[i] & 0x0F;
    std::uint8_t& byte = destination[nibble >> 1];
    byte = (nibble & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | d)
                        : static_cast<std::uint8_t>((byte & 0x0F) | (d << 4));
  }
  return destination;
}

void unpack(std::uint8_t* destination, const std::uint8_t* source, std::int32_t n,
            std::uint8_t zone) {
  if (!CountOk(n)) return;
  for (std::int32_t i = 0; i < n; ++i)
    destination[i] = static_cast<std::uint8_t>(zone | DigitNibble(source, n, i));
}

void PackNibblePairs(std::uint8_t* destination, const std::uint8_t* digits, std::int32_t n) {
  for (std::int32_t i = 0; i + 1 < n; i += 2)
    destination[i / 2] =
        static_cast<std::uint8_t>(((digits[i] & 0x0F) << 4) | (digits[i + 1] & 0x0F));
}

void UnpackNibblePairs(std::uint8_t* destination, const std::uint8_t* source, std::int32_t n,
                       std::uint8_t zone) {
  for (std::int32_t i = 0; i + 1 < n; i += 2) {
    destination[i] = static_cast<std::uint8_t>(zone | (source[i / 2] >> 4));
    destination[i + 1] = static_cast<std::uint8_t>(zone | (source[i / 2] & 0x0F));
  }
}

std::int32_t PackedValue(const std::uint8_t* source, std::int32_t n) {
  if (n < 1 || n > 9) return -1;
  std::int32_t value = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint8_t d = DigitNibble(source, n, i);
    if (d > 9) return -1;
    value = value * 10 + d;
  }
  // An even count's leading nibble must be 0 as well.
  if ((n & 1) == 0 && (source[0] >> 4) != 0) return -1;
  return value;
}

std::int32_t DigitValue(const std::uint8_t* digits, std::int32_t n) {
  if (n < 1 || n > 9) return -1;
  std::int32_t value = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint8_t d = digits[i] & 0x0F;
    if (d > 9) return -1;
    value = value * 10 + d;
  }
  return value;
}
