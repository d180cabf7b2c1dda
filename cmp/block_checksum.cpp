// The block checksum: s = rotate-left-1(s XOR w) over the big-endian 16-bit words from 0xAAAA.
// The sum is linear and a 16-bit rotation repeats every 16 steps, so every word lands in the
// result rotated by (count - position) mod 16 where position is its index modulo 16: words 16
// apart are XORed together 32 bytes at a time and each of the 16 lanes is rotated once.
#include <cstring>

#include "cmp/block_io.h"

namespace {

constexpr std::uint16_t Rotl(std::uint16_t v, unsigned r) {
  r &= 15;
  return r == 0 ? v : static_cast<std::uint16_t>((v << r) | (v >> (16 - r)));
}

}  // namespace

std::uint16_t BlockChecksum(const std::uint8_t* data, std::size_t count) {
  const std::size_t words = count / 2 + (count & 1);
  std::uint64_t acc[4] = {0, 0, 0, 0};
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    std::uint64_t w[4];
    std::memcpy(w, data + i, 32);
    acc[0] ^= w[0];
    acc[1] ^= w[1];
    acc[2] ^= w[2];
    acc[3] ^= w[3];
  }
  std::uint8_t lanes[32];
  std::memcpy(lanes, acc, 32);
  // The tail takes the first lanes; an odd last byte is padded with 0xAA.
  const std::size_t rest = count - i;
  for (std::size_t k = 0; k < rest; ++k) lanes[k] ^= data[i + k];
  if (rest & 1) lanes[rest] ^= 0xAA;
  std::uint16_t s = Rotl(0xAAAA, static_cast<unsigned>(words));
  for (unsigned p = 0; p < 16; ++p) {
    const auto w = static_cast<std::uint16_t>(lanes[2 * p] << 8 | lanes[2 * p + 1]);
    s ^= Rotl(w, static_cast<unsigned>(words - p));
  }
  return s;
}

void checksum(const std::uint8_t* buffer, const std::int32_t* length, std::uint16_t* result) {
  const std::int32_t n = *length - 2;
  *result = BlockChecksum(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}
