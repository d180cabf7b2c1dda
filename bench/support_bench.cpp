// Speed of the per-byte services that every file passes through: the whitening CRCs, the
// plain CRCs and the code-table translation.
#include <benchmark/benchmark.h>

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

std::uint32_t Torqcro(std::uint8_t* p) {
  std::uint16_t crc = 0;
  torqcro(p, &kLength, &crc);
  return crc;
}
std::uint32_t Torqcri(std::uint8_t* p) {
  std::uint16_t crc = 0;
  torqcri(p, &kLength, &crc);
  return crc;
}
std::uint32_t Torqcrc(std::uint8_t* p) {
  std::uint16_t crc = 0;
  torqcrc(p, &kLength, &crc);
  return crc;
}
std::uint32_t Trqcro3(std::uint8_t* p) {
  std::uint32_t crc = 0;
  trqcro3(p, &kLength, &crc, &kStart);
  return crc;
}
std::uint32_t Trqcri3(std::uint8_t* p) {
  std::uint32_t crc = 0;
  trqcri3(p, &kLength, &crc, &kStart);
  return crc;
}
std::uint32_t CalcCrc32(std::uint8_t* p) { return calc_crc32(p, kLength); }
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

BENCHMARK_CAPTURE(BM_Pass, torqcro, Torqcro);
BENCHMARK_CAPTURE(BM_Pass, torqcri, Torqcri);
BENCHMARK_CAPTURE(BM_Pass, torqcrc, Torqcrc);
BENCHMARK_CAPTURE(BM_Pass, trqcro3, Trqcro3);
BENCHMARK_CAPTURE(BM_Pass, trqcri3, Trqcri3);
BENCHMARK_CAPTURE(BM_Pass, calc_crc32, CalcCrc32);
BENCHMARK_CAPTURE(BM_Pass, CovertA2E, CovertA2E);
