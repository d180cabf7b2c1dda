#include "crypt/parallel_descramble.h"

#include <array>

#include "support/crc.h"

namespace torq::crypt {

namespace {

// Restoring byte s with register c gives the register T[s] ^ A(c): the table is linear, so
// the register moves by the linear map A plus a term of the data alone.
inline std::uint32_t StepA(std::uint32_t c) { return crc32tab[(c ^ (c >> 8)) & 0xFF] ^ (c >> 8); }

inline std::uint32_t Restore(std::uint32_t c, std::uint8_t& byte) {
  const std::uint8_t b = static_cast<std::uint8_t>(byte ^ (c >> 8));
  byte = b;
  return crc32tab[(b ^ c) & 0xFF] ^ (c >> 8);
}

// A linear map of 32-bit registers as the images of the 32 unit vectors.
using Map = std::array<std::uint32_t, 32>;

std::uint32_t Apply(const Map& m, std::uint32_t x) {
  std::uint32_t r = 0;
  for (int j = 0; j < 32; ++j) r ^= m[j] & (0u - ((x >> j) & 1));
  return r;
}

// A to the powers 2^0 .. 2^31, built once.
const std::array<Map, 32>& Powers() {
  static const std::array<Map, 32> powers = [] {
    std::array<Map, 32> p{};
    for (int j = 0; j < 32; ++j) p[0][j] = StepA(1u << j);
    for (int k = 1; k < 32; ++k)
      for (int j = 0; j < 32; ++j) p[k][j] = Apply(p[k - 1], p[k - 1][j]);
    return p;
  }();
  return powers;
}

// A^n (x).
std::uint32_t Advance(std::uint32_t x, std::size_t n) {
  const auto& powers = Powers();
  for (int k = 0; n != 0; ++k, n >>= 1)
    if (n & 1) x = Apply(powers[k], x);
  return x;
}

constexpr int kStreams = 8;
constexpr std::size_t kWorthIt = 2048;  // below this the single chain is as fast

}  // namespace

std::uint32_t DescrambleCrc32(std::uint8_t* p, std::size_t n, std::uint32_t start) {
  if (n < kWorthIt) {
    const std::int32_t count = static_cast<std::int32_t>(n);
    std::uint32_t result = 0;
    trqcri3(p, &count, &result, &start);
    return result;
  }
  // Segments of q bytes; the last one also takes the rest.
  const std::size_t q = n / kStreams;
  std::uint8_t* seg[kStreams];
  std::uint32_t c[kStreams] = {};
  for (int k = 0; k < kStreams; ++k) seg[k] = p + static_cast<std::size_t>(k) * q;
  c[0] = start;
  for (std::size_t i = 0; i < q; ++i)
    for (int k = 0; k < kStreams; ++k) c[k] = Restore(c[k], seg[k][i]);
  const std::size_t rest = n - kStreams * q;
  for (std::size_t i = 0; i < rest; ++i) c[kStreams - 1] = Restore(c[kStreams - 1], seg[kStreams - 1][q + i]);

  // The true register at each segment start, from the end of the segment before.
  std::uint32_t x[kStreams];
  x[0] = start;
  x[1] = c[0];
  for (int k = 2; k < kStreams; ++k) x[k] = Advance(x[k - 1], q) ^ c[k - 1];
  const std::uint32_t final = Advance(x[kStreams - 1], q + rest) ^ c[kStreams - 1];

  // Segments 1.. ran from a zero register: each byte still lacks bits 8-15 of A^i(x).
  std::uint32_t y[kStreams];
  for (int k = 1; k < kStreams; ++k) y[k] = x[k];
  for (std::size_t i = 0; i < q; ++i)
    for (int k = 1; k < kStreams; ++k) {
      seg[k][i] ^= static_cast<std::uint8_t>(y[k] >> 8);
      y[k] = StepA(y[k]);
    }
  for (std::size_t i = 0; i < rest; ++i) {
    seg[kStreams - 1][q + i] ^= static_cast<std::uint8_t>(y[kStreams - 1] >> 8);
    y[kStreams - 1] = StepA(y[kStreams - 1]);
  }
  return final ^ start;
}

}  // namespace torq::crypt
