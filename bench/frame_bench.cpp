// Speed of the block coders' matrix frames (built and checked in place, crypt mode 0) beside
// one trqcro3 pass over the same bytes; and card images written and read through the record
// interface with ADC and DC8 beside the coder's own speed on the same matrices. Bytes per
// second count data bytes (frames) or record bytes (record interface); each result is checked.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_records.h"
#include "cmp/matrix_frame.h"
#include "cmp/record_interface.h"
#include "coders/adc_context.h"
#include "coders/dc8_block.h"
#include "support/crc.h"
#include "tests/cmp/trq_roundtrip.h"

namespace {

constexpr std::uint32_t kFrameData = 65536;

Bytes FrameArea() {
  Bytes area(kFramePrefix + kFrameData + 64);
  std::uint32_t x = 12345;
  for (std::size_t i = kFramePrefix; i < kFramePrefix + kFrameData; ++i) {
    x = x * 1103515245u + 12345u;
    area[i] = static_cast<std::uint8_t>(x >> 24);
  }
  return area;
}

void BM_FrameBuild(benchmark::State& state) {
  Bytes area = FrameArea();
  CmpControlBlock cb{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildMatrixFrame(cb, area.data(), kFrameData));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameData));
}

// Each round checks a frame and builds it again, as a reader and a writer would; counted once
// per data byte for each of the two.
void BM_FrameCheck(benchmark::State& state) {
  Bytes area = FrameArea();
  const Bytes original = area;
  CmpControlBlock writer{}, reader{};
  BuildMatrixFrame(writer, area.data(), kFrameData);
  for (auto _ : state) {
    std::uint32_t length = 0;
    if (CheckMatrixFrame(reader, area.data(), length, false) != 0) {
      state.SkipWithError("frame check failed");
      break;
    }
    state.PauseTiming();
    if (!std::equal(area.begin() + kFramePrefix, area.begin() + kFramePrefix + kFrameData,
                    original.begin() + kFramePrefix))
      state.SkipWithError("data not restored");
    BuildMatrixFrame(writer, area.data(), kFrameData);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameData));
}

void BM_Trqcro3(benchmark::State& state) {
  Bytes area = FrameArea();
  const auto n = static_cast<std::int32_t>(kFrameData + 8);
  const std::uint32_t start = 0xFFFFFFFFu;
  for (auto _ : state) {
    std::uint32_t c32 = 0;
    trqcro3(area.data() + 18, &n, &c32, &start);
    benchmark::DoNotOptimize(c32);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFrameData));
}

BENCHMARK(BM_FrameBuild);
BENCHMARK(BM_FrameCheck);
BENCHMARK(BM_Trqcro3);

// Card images through the record interface, 32,760-byte var_2b blocks.
std::string Path(const char* what) {
  return "/tmp/frame_bench_" + std::to_string(::getpid()) + "_" + what;
}

trqtest::Member CardMember() {
  trqtest::Member m;
  m.name = "cards";
  m.moreHeaders = false;
  m.records = Records(kCards);
  return m;
}

void BM_TrqBlockWrite(benchmark::State& state, std::int32_t mode) {
  const trqtest::Member m = CardMember();
  const std::size_t bytes = TotalBytes(m.records);
  const std::string path = Path("w");
  for (auto _ : state) {
    std::remove(path.c_str());
    if (trqtest::WriteContainer(path, trqtest::Layout{0, 32760, mode, 0, 65536, 0, 0}, {m}).rc != 0) {
      state.SkipWithError("writing failed");
      break;
    }
  }
  const trqtest::ReadBack back = trqtest::ReadContainer(path);
  if (back.result.rc != 0 || back.members.size() != 1 || back.members[0].records != m.records)
    state.SkipWithError("the file does not read back");
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_TrqBlockRead(benchmark::State& state, std::int32_t mode) {
  const trqtest::Member m = CardMember();
  const std::size_t bytes = TotalBytes(m.records);
  const std::string path = Path("r");
  if (trqtest::WriteContainer(path, trqtest::Layout{0, 32760, mode, 0, 65536, 0, 0}, {m}).rc != 0) {
    state.SkipWithError("writing failed");
    return;
  }
  for (auto _ : state) {
    RecordHandle* slot = nullptr;
    if (trqtest::OpenForReading(slot, path).rc != 0) {
      state.SkipWithError("open failed");
      break;
    }
    std::size_t n = 0, total = 0;
    std::int32_t rc = 0;
    for (;;) {
      std::int32_t length = 0;
      std::uint8_t* record = nullptr;
      TrqGetRecord(slot, rc, length, record);
      if (rc == kTrqNewMember) continue;
      if (rc != 0) break;
      ++n;
      total += static_cast<std::size_t>(length);
    }
    trqtest::Close(slot);
    if (rc != kTrqEndOfFile || n != m.records.size() || total != bytes) {
      state.SkipWithError("records lost");
      break;
    }
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK_CAPTURE(BM_TrqBlockWrite, adc, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqBlockRead, adc, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqBlockWrite, dc8, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqBlockRead, dc8, 8)->Unit(benchmark::kMillisecond);

// The coders alone on the same matrices the record interface makes (ADC: up to 4,095 records
// or 65,536 bytes; DC8: the records, their lengths and the count within 65,500 bytes).
struct AdcMatrix {
  std::vector<std::uint32_t> buffer;  // lengths, then record bytes
  std::int32_t count = 0, bytes = 0;
};

std::vector<AdcMatrix> AdcMatrices() {
  std::vector<AdcMatrix> out;
  AdcMatrix m;
  auto fresh = [&] {
    m = AdcMatrix{};
    m.buffer.assign((kAdcLengthArea + kAdcMaxData) / 4, 0);
  };
  fresh();
  for (const Bytes& r : Records(kCards)) {
    const auto n = static_cast<std::int32_t>(r.size());
    if (m.count == 4095 || m.bytes + n > static_cast<std::int32_t>(kAdcMaxData)) {
      out.push_back(m);
      fresh();
    }
    std::memcpy(reinterpret_cast<std::uint8_t*>(m.buffer.data()) + kAdcLengthArea + m.bytes,
                r.data(), r.size());
    m.buffer[static_cast<std::size_t>(m.count++)] = static_cast<std::uint32_t>(n);
    m.bytes += n;
  }
  if (m.count > 0) out.push_back(m);
  return out;
}

void BM_AdcCoderAlone(benchmark::State& state) {
  std::vector<AdcMatrix> matrices = AdcMatrices();
  AdcContext* ctx = nullptr;
  nucopn_adc(ctx, 1, 0, 3);
  std::vector<std::uint8_t> coded(200000);
  std::size_t bytes = 0;
  for (const AdcMatrix& m : matrices) bytes += static_cast<std::size_t>(m.bytes);
  for (auto _ : state) {
    for (AdcMatrix& m : matrices) {
      std::int32_t length = m.bytes;
      if (nuccmp_adc(ctx, m.buffer.data(), m.count, coded.data() + 300, length) != 0)
        state.SkipWithError("coder failed");
    }
  }
  nuccls_adc(ctx);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_AdcDecoderAlone(benchmark::State& state) {
  const std::vector<AdcMatrix> matrices = AdcMatrices();
  AdcContext* writer = nullptr;
  AdcContext* reader = nullptr;
  nucopn_adc(writer, 1, 0, 3);
  nucopn_adc(reader, 0, 0, 3);
  std::vector<std::vector<std::uint8_t>> coded;
  std::vector<std::int32_t> lengths;
  std::size_t bytes = 0;
  for (AdcMatrix m : matrices) {
    std::vector<std::uint8_t> block(200000);
    std::int32_t length = m.bytes;
    nuccmp_adc(writer, m.buffer.data(), m.count, block.data() + 300, length);
    coded.push_back(std::move(block));
    lengths.push_back(length);
    bytes += static_cast<std::size_t>(m.bytes);
  }
  std::vector<std::uint32_t> out((kAdcLengthArea + kAdcMaxData) / 4);
  for (auto _ : state) {
    for (std::size_t i = 0; i < coded.size(); ++i) {
      if (nucdcm_adc(reader, coded[i].data() + 300, lengths[i], out.data(), matrices[i].count) != 0)
        state.SkipWithError("decoder failed");
    }
  }
  nuccls_adc(writer);
  nuccls_adc(reader);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_AdcCoderAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AdcDecoderAlone)->Unit(benchmark::kMillisecond);

}  // namespace
