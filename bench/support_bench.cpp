// Speed of the per-byte services that every file passes through: the whitening CRCs, the
// plain CRCs (zlib's crc32 as the yardstick) and the code-table translation.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/code_tables.h"
#include "support/crc.h"

namespace {

constexpr std::int32_t kSize = 64 * 1024;
constexpr std::int32_t kLength = kSize;
constexpr std::uint32_t kStart = 0x12345678;

// One pass of a service over the whole buffer; returns its CRC (0 when it has none).
using Pass = std::uint32_t (*)(std::uint8_t* data);

// The 16-bit forms store their CRC; the 32-bit forms also take a start value.
template <auto Fn>
std::uint32_t Crc16Pass(std::uint8_t* p) {
  std::uint16_t crc = 0;
  Fn(p, &kLength, &crc);
  return crc;
}
template <auto Fn>
std::uint32_t Crc32Pass(std::uint8_t* p) {
  std::uint32_t crc = 0;
  Fn(p, &kLength, &crc, &kStart);
  return crc;
}
std::uint32_t CalcCrc32(std::uint8_t* p) { return calc_crc32(p, kLength); }
std::uint32_t ZlibCrc32(std::uint8_t* p) { return static_cast<std::uint32_t>(crc32(0, p, kLength)); }
std::uint32_t CovertA2E(std::uint8_t* p) {
  torqutil::CovertA2E(nullptr, p, kLength);
  return 0;
}

void BM_Pass(benchmark::State& state, Pass pass) {
  std::mt19937 rng(1);
  std::vector<std::uint8_t> data(kSize);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  for (auto _ : state) {
    benchmark::DoNotOptimize(pass(data.data()));
    benchmark::ClobberMemory();
  }
  const double bytes = static_cast<double>(state.iterations()) * kSize;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Pass, torqcro, Crc16Pass<torqcro>);
BENCHMARK_CAPTURE(BM_Pass, torqcri, Crc16Pass<torqcri>);
BENCHMARK_CAPTURE(BM_Pass, torqcrc, Crc16Pass<torqcrc>);
BENCHMARK_CAPTURE(BM_Pass, trqcro3, Crc32Pass<trqcro3>);
BENCHMARK_CAPTURE(BM_Pass, trqcri3, Crc32Pass<trqcri3>);
BENCHMARK_CAPTURE(BM_Pass, calc_crc32, CalcCrc32);
BENCHMARK_CAPTURE(BM_Pass, zlib_crc32, ZlibCrc32);
BENCHMARK_CAPTURE(BM_Pass, CovertA2E, CovertA2E);
