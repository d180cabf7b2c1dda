#include "torqup/two_part_counts.h"

#include "support/build_stamp.h"

TORQ_BUILD_STAMP("TorqCounts")

void TwoPartDifference(const std::int32_t* now, const std::int32_t* previous, std::int32_t* out) {
  std::int32_t low = now[1] - previous[1];
  std::int32_t high = now[2] - previous[2];
  if (low < 0) {
    low += kTwoPartUnit;
    high -= 1;
  }
  out[0] = now[0] - previous[0];
  out[1] = low;
  out[2] = high;
}

void TwoPartAccumulate(std::int32_t* running, const std::int32_t* now, const std::int32_t* previous) {
  std::int32_t difference[3];
  TwoPartDifference(now, previous, difference);
  running[0] += difference[0];
  // Two low parts below the unit may together pass the 32-bit range: add them in 64 bits.
  std::int64_t low = std::int64_t{running[1]} + difference[1];
  if (low > kTwoPartUnit - 1) {
    low -= kTwoPartUnit;
    running[2] += 1;
  }
  running[1] = static_cast<std::int32_t>(low);
  running[2] += difference[2];
}
