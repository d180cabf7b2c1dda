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

std::vector<std::uint8_t> Data() {
  std::mt19937 rng(1);
  std::vector<std::uint8_t> v(kSize);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

void Rate(benchmark::State& state) {
  const double bytes = static_cast<double>(state.iterations()) * kSize;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
}

void BM_torqcro(benchmark::State& state) {
  auto data = Data();
  std::int32_t len = kSize;
  std::uint16_t crc = 0;
  for (auto _ : state) {
    torqcro(data.data(), &len, &crc);
    benchmark::DoNotOptimize(crc);
  }
  Rate(state);
}

void BM_torqcri(benchmark::State& state) {
  auto data = Data();
  std::int32_t len = kSize;
  std::uint16_t crc = 0;
  for (auto _ : state) {
    torqcri(data.data(), &len, &crc);
    benchmark::DoNotOptimize(crc);
  }
  Rate(state);
}

void BM_torqcrc(benchmark::State& state) {
  const auto data = Data();
  std::int32_t len = kSize;
  std::uint16_t crc = 0;
  for (auto _ : state) {
    torqcrc(data.data(), &len, &crc);
    benchmark::DoNotOptimize(crc);
  }
  Rate(state);
}

void BM_trqcro3(benchmark::State& state) {
  auto data = Data();
  std::int32_t len = kSize;
  std::uint32_t crc = 0, start = 0x12345678;
  for (auto _ : state) {
    trqcro3(data.data(), &len, &crc, &start);
    benchmark::DoNotOptimize(crc);
  }
  Rate(state);
}

void BM_trqcri3(benchmark::State& state) {
  auto data = Data();
  std::int32_t len = kSize;
  std::uint32_t crc = 0, start = 0x12345678;
  for (auto _ : state) {
    trqcri3(data.data(), &len, &crc, &start);
    benchmark::DoNotOptimize(crc);
  }
  Rate(state);
}

void BM_calc_crc32(benchmark::State& state) {
  const auto data = Data();
  for (auto _ : state) benchmark::DoNotOptimize(calc_crc32(data.data(), kSize));
  Rate(state);
}

void BM_CovertA2E(benchmark::State& state) {
  auto data = Data();
  for (auto _ : state) {
    torqutil::CovertA2E(nullptr, data.data(), kSize);
    benchmark::ClobberMemory();
  }
  Rate(state);
}

}  // namespace

BENCHMARK(BM_torqcro);
BENCHMARK(BM_torqcri);
BENCHMARK(BM_torqcrc);
BENCHMARK(BM_trqcro3);
BENCHMARK(BM_trqcri3);
BENCHMARK(BM_calc_crc32);
BENCHMARK(BM_CovertA2E);
