#include "crypt/parallel_descramble.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/crc.h"

namespace {

// Same bytes and result as the single-chain restore, around the sizes where it splits.
TEST(ParallelDescramble, EqualsTheSingleChain) {
  std::mt19937 rng(5);
  for (std::size_t n : {0u, 1u, 2047u, 2048u, 2049u, 2055u, 4096u, 65536u, 65543u, 200001u})
    for (std::uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
      std::vector<std::uint8_t> a(n);
      for (auto& b : a) b = static_cast<std::uint8_t>(rng());
      std::vector<std::uint8_t> b = a;
      const std::int32_t count = static_cast<std::int32_t>(n);
      std::uint32_t expect = 0;
      trqcri3(a.data(), &count, &expect, &start);
      EXPECT_EQ(torq::crypt::DescrambleCrc32(b.data(), n, start), expect) << n;
      EXPECT_EQ(a, b) << n;
    }
}

}  // namespace
