// Monotonic counter and process times.
#pragma once
#include <cstdint>

namespace torq::platform {

// Ticks of a monotonic counter, and its ticks per second.
std::int64_t MonotonicTicks();
std::int64_t MonotonicFrequency();

// Times of the running process in units of 100 ns: elapsed since it started, and processor
// time in kernel and user mode. False when they cannot be read.
struct ProcessTimes {
  std::uint64_t elapsed = 0;
  std::uint64_t kernel = 0;
  std::uint64_t user = 0;
};
bool QueryProcessTimes(ProcessTimes* times);

}  // namespace torq::platform
