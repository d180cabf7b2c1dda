#include "torqup/two_part_counts.h"

#include <gtest/gtest.h>

namespace {

std::int64_t Bytes(const std::int32_t* counts) { return std::int64_t{counts[2]} * kTwoPartUnit + counts[1]; }

TEST(TwoPartCounts, DifferencesAndSumsCrossTheUnit) {
  struct Case {
    std::int32_t previous[3], now[3];
  };
  const Case cases[] = {
      {{0, 0, 0}, {5, 1234, 0}},
      {{3, 1999999990, 0}, {9, 20, 1}},                // the low part wrapped past the unit
      {{1, 1999999999, 4}, {2, 0, 5}},
      {{7, 100, 2}, {8, 100, 3}},                      // exactly one unit
      {{0, 1500000000, 0}, {1, 1000000000, 1}},
  };
  for (const Case& c : cases) {
    std::int32_t member[3];
    TwoPartDifference(c.now, c.previous, member);
    EXPECT_EQ(member[0], c.now[0] - c.previous[0]);
    EXPECT_EQ(Bytes(member), Bytes(c.now) - Bytes(c.previous));
    EXPECT_GE(member[1], 0);
    EXPECT_LT(member[1], kTwoPartUnit);
  }
  // An output fed by members whose sizes add up past the unit several times.
  std::int32_t running[3] = {0, 1999999999, 0};
  const std::int32_t previous[3] = {10, 1999999999, 0}, now[3] = {12, 1999999998, 1};
  TwoPartAccumulate(running, now, previous);
  EXPECT_EQ(running[0], 2);
  EXPECT_EQ(Bytes(running), 1999999999 + (Bytes(now) - Bytes(previous)));
  EXPECT_LT(running[1], kTwoPartUnit);
  std::int32_t again[3] = {0, 1000000000, 0};
  const std::int32_t start[3] = {0, 0, 0}, step[3] = {1, 1500000000, 0};
  TwoPartAccumulate(again, step, start);
  EXPECT_EQ(again[1], 500000000);
  EXPECT_EQ(again[2], 1);
}

}  // namespace
