// The 32-bit whitening CRCs against their byte-at-a-time definition: every whitened byte and
// every result, over lengths around the 8-byte steps, odd buffer alignments and many starts.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/crc.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// h = c >> 8; c = T[(byte ^ c) & 0xFF] ^ h; byte ^= h: the plain byte enters the CRC.
std::uint32_t WhitenBytewise(std::uint32_t c, std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t h = c >> 8;
    c = crc32tab[(p[i] ^ c) & 0xFF] ^ h;
    p[i] = static_cast<std::uint8_t>(p[i] ^ h);
  }
  return c;
}

// byte ^= bits 8-15 of c, then the CRC step over the restored byte.
std::uint32_t RestoreBytewise(std::uint32_t c, std::uint8_t* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    p[i] = static_cast<std::uint8_t>(p[i] ^ (c >> 8));
    c = crc32tab[(p[i] ^ c) & 0xFF] ^ (c >> 8);
  }
  return c;
}

TEST(CrcWhitening, EqualsTheBytewiseDefinitionAtEveryLengthAlignmentAndStart) {
  std::mt19937 rng(29);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 1; n <= 40; ++n) lengths.push_back(n);
  for (std::size_t n : {63u, 64u, 65u, 255u, 256u, 257u, 4095u, 4096u, 4097u, 65543u}) lengths.push_back(n);
  for (int i = 0; i < 30; ++i) lengths.push_back(rng() % 20000);
  for (const std::size_t n : lengths)
    for (const std::size_t offset : {0u, 1u, 3u, 7u}) {
      const std::uint32_t start = offset == 0 ? 0xFFFFFFFFu : (offset == 1 ? 0u : static_cast<std::uint32_t>(rng()));
      // The guard bytes around the data must stay as they are.
      Bytes area(offset + n + 16);
      for (auto& b : area) b = static_cast<std::uint8_t>(rng());
      const Bytes plain = area;
      const auto len = static_cast<std::int32_t>(n);

      Bytes expect = plain;
      const std::uint32_t crc = WhitenBytewise(start, expect.data() + offset, n) ^ start;
      Bytes got = plain;
      std::uint32_t out = 0;
      trqcro3(got.data() + offset, &len, &out, &start);
      ASSERT_EQ(got, expect) << "length " << n << " offset " << offset;
      EXPECT_EQ(out, crc) << n;

      Bytes restoredExpect = expect;
      EXPECT_EQ(RestoreBytewise(start, restoredExpect.data() + offset, n) ^ start, crc) << n;
      std::uint32_t in = 0;
      trqcri3(got.data() + offset, &len, &in, &start);
      ASSERT_EQ(got, plain) << "length " << n << " offset " << offset;
      EXPECT_EQ(in, crc) << n;

      // Restoring bytes that were never whitened (as a wrong key gives) follows the definition too.
      Bytes noise = plain;
      Bytes noiseExpect = plain;
      const std::uint32_t noiseCrc = RestoreBytewise(start, noiseExpect.data() + offset, n) ^ start;
      trqcri3(noise.data() + offset, &len, &in, &start);
      ASSERT_EQ(noise, noiseExpect) << n;
      EXPECT_EQ(in, noiseCrc) << n;
    }
}

}  // namespace
