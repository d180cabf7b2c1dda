// Every module carries a build stamp: its name padded with blanks to 15 characters, ": ", then
// the compiler's build date and time ("Mmm dd yyyy hh:mm:ss"). The stamp stays in the binary,
// where a look at the file tells when each module was built.
#pragma once
#include <array>
#include <cstddef>

namespace torq {

inline constexpr std::size_t kBuildStampNameWidth = 15;

template <std::size_t N, std::size_t T>
consteval std::array<char, kBuildStampNameWidth + 2 + T> MakeBuildStamp(const char (&name)[N],
                                                                         const char (&time)[T]) {
  static_assert(N - 1 <= kBuildStampNameWidth, "a module name has at most 15 characters");
  std::array<char, kBuildStampNameWidth + 2 + T> stamp{};
  std::size_t p = 0;
  for (std::size_t i = 0; i + 1 < N; ++i) stamp[p++] = name[i];
  while (p < kBuildStampNameWidth) stamp[p++] = ' ';
  stamp[p++] = ':';
  stamp[p++] = ' ';
  for (std::size_t i = 0; i < T; ++i) stamp[p++] = time[i];
  return stamp;
}

}  // namespace torq

// The build stamp of the module that expands it (once per source file).
#define TORQ_BUILD_STAMP(name)                                                        \
  namespace {                                                                         \
  [[gnu::used]] constexpr auto kBuildStamp = ::torq::MakeBuildStamp(name, __DATE__ " " __TIME__); \
  }
