#include "nuc/memeq.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the word scans assume little-endian");

namespace {

std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

// One byte, then a pair, then words of four: short runs stay cheap, long ones go fast.
const std::uint8_t* memeqi(const std::uint8_t* p) {
  const std::uint8_t b = p[0];
  const std::uint8_t* q = p + 1;
  if (*q != b) return q;
  ++q;
  if (Load16(q) != static_cast<std::uint16_t>(0x0101u * b)) return q[0] != b ? q : q + 1;
  q += 2;
  const std::uint32_t w = 0x01010101u * b;
  for (;;) {
    const std::uint32_t x = Load32(q) ^ w;
    if (x) return q + std::countr_zero(x) / 8;
    q += 4;
  }
}

const std::uint8_t* memeqd(const std::uint8_t* p) {
  const std::uint8_t b = p[0];
  const std::uint8_t* q = p - 1;
  if (*q != b) return q;
  --q;  // the pair q - 1, q
  if (Load16(q - 1) != static_cast<std::uint16_t>(0x0101u * b)) return q[0] != b ? q : q - 1;
  q -= 2;
  const std::uint32_t w = 0x01010101u * b;
  for (;;) {
    // The word holds q - 3 .. q; the byte at q is its top byte.
    const std::uint32_t x = Load32(q - 3) ^ w;
    if (x) return q - std::countl_zero(x) / 8;
    q -= 4;
  }
}
