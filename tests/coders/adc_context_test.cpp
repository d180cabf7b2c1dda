#include "coders/adc_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "coders_test_util.h"
#include "support/heap.h"

TEST(AdcContext, OpenCopiesTablesAndCloseClearsTheSlot) {
  AdcContext* ctx = nullptr;
  ASSERT_EQ(nucopn_adc(ctx, 0, 1, 3), 0);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->self, ctx);
  EXPECT_EQ(ctx->direction, 0u);
  EXPECT_EQ(ctx->charCode, 1u);
  EXPECT_EQ(ctx->compressionMode, 3u);
  EXPECT_EQ(ctx->stateWord, 0u);
  EXPECT_TRUE(std::equal(adc::ctab.begin(), adc::ctab.end(), ctx->ctab));
  EXPECT_TRUE(std::equal(adc::stab.begin(), adc::stab.end(), ctx->stab));
  EXPECT_EQ(nuccls_adc(ctx), 0);
  EXPECT_EQ(ctx, nullptr);
}

TEST(AdcContext, ForeignContextAndNoMemoryGiveMinusOne) {
  {
    ForeignAdcContext foreign;
    AdcContext* slot = foreign.ctx;
    EXPECT_EQ(nuccls_adc(slot), -1);
    EXPECT_EQ(slot, foreign.ctx);
  }
  AdcContext* none = nullptr;
  ASSERT_EQ(nucopn_adc(none, 0, 0, 3), 0);
  AdcContext* held = none;
  rmHeapInjectFailure(1);
  EXPECT_EQ(nucopn_adc(none, 0, 0, 3), -1);
  EXPECT_EQ(none, nullptr);
  rmHeapInjectFailure(0);
  EXPECT_EQ(nuccls_adc(held), 0);
}

TEST(AdcTables, RankTableIsAPermutationWithSpaceAtRankZero) {
  std::array<std::uint8_t, 256> sorted = adc::ctab;
  std::sort(sorted.begin(), sorted.end());
  std::array<std::uint8_t, 256> all{};
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(sorted, all);
  EXPECT_EQ(adc::ctab[255], 0x40);
  EXPECT_EQ(adc::ctab[254], 0xF0);
  // Growth from class 1 visits 1, 0, 3, 2, 7, 6, 5, 4 and comes back.
  std::uint16_t g = adc::kStartGrowthClass;
  std::array<std::uint16_t, 9> order{};
  for (auto& o : order) { o = g; g = adc::stab[g]; }
  EXPECT_EQ(order, (std::array<std::uint16_t, 9>{1, 0, 3, 2, 7, 6, 5, 4, 1}));
}
