#include "crypt/sampled_crc.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "support/crc.h"

namespace {

// The CRC of the bytes fed in the given order from the fixed start.
std::uint32_t Fed(const std::vector<std::uint8_t>& d, std::initializer_list<int> order) {
  std::uint32_t c = 0x27CA9AC4;
  for (int i : order) c = crc32tab[(c ^ d[static_cast<std::size_t>(i)]) & 0xFF] ^ (c >> 8);
  return ~c;
}

TEST(SampledCrc, CheckValue) {
  const char* s = "123456789";
  EXPECT_EQ(storchen(reinterpret_cast<const std::uint8_t*>(s), 9), 0x20F89EE2u);
}

TEST(SampledCrc, SampleOrder) {
  std::vector<std::uint8_t> d(70);
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint8_t>(i * 37 + 11);
  EXPECT_EQ(storchen(d.data(), 1), Fed(d, {0}));
  EXPECT_EQ(storchen(d.data(), 26), Fed(d, {20, 15, 10, 5, 0, 25}));
  EXPECT_EQ(storchen(d.data(), 27), Fed(d, {25, 20, 15, 10, 5, 0, 26}));
  EXPECT_EQ(storchen(d.data(), 70), Fed(d, {25, 55, 20, 50, 15, 45, 10, 40, 5, 35, 65, 0, 30, 60, 69}));
}

}  // namespace
