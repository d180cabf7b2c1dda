#include "support/platform/clock.h"

#include <sys/resource.h>
#include <time.h>

namespace torq::platform {

namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;

std::int64_t Nanos(clockid_t id) {
  timespec ts{};
  if (::clock_gettime(id, &ts) != 0) return 0;
  return static_cast<std::int64_t>(ts.tv_sec) * kNanosPerSecond + ts.tv_nsec;
}

// Taken while the program loads, before main: the process's start as far as we can see it.
const std::int64_t gProcessStart = Nanos(CLOCK_MONOTONIC);

std::uint64_t HundredNanos(const timeval& tv) {
  return static_cast<std::uint64_t>(tv.tv_sec) * 10000000u + static_cast<std::uint64_t>(tv.tv_usec) * 10u;
}

}  // namespace

std::int64_t MonotonicTicks() { return Nanos(CLOCK_MONOTONIC); }

std::int64_t MonotonicFrequency() { return kNanosPerSecond; }

bool QueryProcessTimes(ProcessTimes* times) {
  rusage usage{};
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return false;
  const std::int64_t now = Nanos(CLOCK_MONOTONIC);
  times->elapsed = now > gProcessStart ? static_cast<std::uint64_t>(now - gProcessStart) / 100 : 0;
  times->kernel = HundredNanos(usage.ru_stime);
  times->user = HundredNanos(usage.ru_utime);
  return true;
}

}  // namespace torq::platform
