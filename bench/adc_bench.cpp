// Speed of the ADC block coder (nuccmp_adc, nucdcm_adc) on card images and text lines cut into
// matrices as the record interface cuts them (at most 65,536 bytes and 4,095 records), with
// its deflate and fast-LZ data parts, and zlib raw deflate level 6 (one deflateReset per
// block) and inflate on the same blocks in the same run. Every block is read back before it
// is timed. Bytes per second count record bytes; "ratio" is coded bytes over record bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_records.h"
#include "coders/adc_context.h"

namespace {

constexpr std::size_t kMatrixWords = (kAdcLengthArea + kAdcMaxData + 264) / 4;
constexpr std::size_t kHead = 21;
constexpr std::size_t kCodedArea = 102656;
constexpr std::size_t kMaxRecords = 4095;

struct Matrix {
  std::vector<std::uint32_t> buffer = std::vector<std::uint32_t>(kMatrixWords);
  std::int32_t n = 0;
  std::int32_t d = 0;
  std::uint8_t* records() { return reinterpret_cast<std::uint8_t*>(buffer.data()) + kAdcLengthArea; }
};

std::vector<Matrix> Matrices(Input input) {
  std::vector<Matrix> out(1);
  for (const Bytes& r : Records(input)) {
    if (out.back().n == static_cast<std::int32_t>(kMaxRecords) ||
        out.back().d + r.size() > kAdcMaxData)
      out.emplace_back();
    Matrix& m = out.back();
    m.buffer[static_cast<std::size_t>(m.n++)] = static_cast<std::uint32_t>(r.size());
    std::memcpy(m.records() + m.d, r.data(), r.size());
    m.d += static_cast<std::int32_t>(r.size());
  }
  return out;
}

// The data-part coder for one benchmark: ADC code, deflate or fast LZ.
enum Part { kAdcCode, kDeflatePart, kFastPart };
const char* const kPartNames[] = {"adc", "deflatepart", "fastpart"};

void SetPart(Part part) {
  if (part == kDeflatePart) setenv("TQ_ZEDC_SUPPORT", "ON", 1);
  else unsetenv("TQ_ZEDC_SUPPORT");
  if (part == kFastPart) setenv("TQ_FAST_SUPPORT", "ON", 1);
  else unsetenv("TQ_FAST_SUPPORT");
}

struct Context {
  AdcContext* slot = nullptr;
  explicit Context(int direction) { nucopn_adc(slot, direction, 0, 3); }
  ~Context() {
    if (slot) nuccls_adc(slot);
  }
};

// All matrices coded once, each block kept; false when one does not read back whole.
bool Prepare(Input input, Part part, std::vector<Matrix>& matrices, std::vector<Bytes>& blocks) {
  SetPart(part);
  matrices = Matrices(input);
  Context writer(1), reader(0);
  Bytes area(kHead + kCodedArea);
  Matrix back;
  for (Matrix& m : matrices) {
    std::int32_t length = m.d;
    if (nuccmp_adc(writer.slot, m.buffer.data(), m.n, area.data() + kHead, length) != 0)
      return false;
    blocks.emplace_back(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(kHead) + length);
    if (nucdcm_adc(reader.slot, blocks.back().data() + kHead, length, back.buffer.data(), m.n) != 0 ||
        std::memcmp(back.buffer.data(), m.buffer.data(), 4 * static_cast<std::size_t>(m.n)) != 0 ||
        std::memcmp(back.records(), m.records(), static_cast<std::size_t>(m.d)) != 0)
      return false;
  }
  return true;
}

void SetCounters(benchmark::State& state, std::size_t inputBytes, std::size_t codedBytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputBytes));
  state.counters["ratio"] = static_cast<double>(codedBytes) / static_cast<double>(inputBytes);
}

std::size_t CodedBytes(const std::vector<Bytes>& blocks) {
  std::size_t total = 0;
  for (const Bytes& b : blocks) total += b.size() - kHead;
  return total;
}

void BM_AdcCompress(benchmark::State& state, Input input, Part part) {
  std::vector<Matrix> matrices;
  std::vector<Bytes> blocks;
  if (!Prepare(input, part, matrices, blocks)) {
    state.SkipWithError("round trip failed");
    return;
  }
  SetPart(part);
  Context writer(1);
  Bytes area(kHead + kCodedArea);
  for (auto _ : state) {
    for (Matrix& m : matrices) {
      std::int32_t length = m.d;
      nuccmp_adc(writer.slot, m.buffer.data(), m.n, area.data() + kHead, length);
      benchmark::DoNotOptimize(length);
    }
  }
  SetCounters(state, TotalBytes(Records(input)), CodedBytes(blocks));
}

void BM_AdcDecompress(benchmark::State& state, Input input, Part part) {
  std::vector<Matrix> matrices;
  std::vector<Bytes> blocks;
  if (!Prepare(input, part, matrices, blocks)) {
    state.SkipWithError("round trip failed");
    return;
  }
  Context reader(0);
  Matrix out;
  for (auto _ : state) {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const auto length = static_cast<std::int32_t>(blocks[i].size() - kHead);
      if (nucdcm_adc(reader.slot, blocks[i].data() + kHead, length, out.buffer.data(),
                     matrices[i].n) != 0) {
        state.SkipWithError("decompression failed");
        return;
      }
      benchmark::ClobberMemory();
    }
  }
  SetCounters(state, TotalBytes(Records(input)), CodedBytes(blocks));
}

// zlib raw deflate level 6 on the same matrices' record bytes, one deflateReset per block,
// and inflate of what it wrote, each checked once.
struct Zlib {
  z_stream d{};
  z_stream i{};
  Zlib() {
    deflateInit2(&d, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    inflateInit2(&i, -15);
  }
  ~Zlib() {
    deflateEnd(&d);
    inflateEnd(&i);
  }
  std::size_t Deflate(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t room) {
    deflateReset(&d);
    d.next_in = const_cast<std::uint8_t*>(in);
    d.avail_in = static_cast<uInt>(n);
    d.next_out = out;
    d.avail_out = static_cast<uInt>(room);
    return deflate(&d, Z_FINISH) == Z_STREAM_END ? room - d.avail_out : 0;
  }
  std::size_t Inflate(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t room) {
    inflateReset(&i);
    i.next_in = const_cast<std::uint8_t*>(in);
    i.avail_in = static_cast<uInt>(n);
    i.next_out = out;
    i.avail_out = static_cast<uInt>(room);
    return inflate(&i, Z_FINISH) == Z_STREAM_END ? room - i.avail_out : 0;
  }
};

void BM_Deflate6(benchmark::State& state, Input input) {
  std::vector<Matrix> matrices = Matrices(input);
  Zlib z;
  Bytes out(2 * kAdcMaxData);
  std::size_t coded = 0;
  for (auto _ : state) {
    coded = 0;
    for (Matrix& m : matrices) {
      const std::size_t c = z.Deflate(m.records(), static_cast<std::size_t>(m.d), out.data(), out.size());
      if (c == 0) {
        state.SkipWithError("deflate failed");
        return;
      }
      coded += c;
    }
  }
  SetCounters(state, TotalBytes(Records(input)), coded);
}

void BM_Inflate(benchmark::State& state, Input input) {
  std::vector<Matrix> matrices = Matrices(input);
  Zlib z;
  std::vector<Bytes> blocks;
  Bytes out(2 * kAdcMaxData), back(kAdcMaxData);
  std::size_t coded = 0;
  for (Matrix& m : matrices) {
    const std::size_t c = z.Deflate(m.records(), static_cast<std::size_t>(m.d), out.data(), out.size());
    blocks.emplace_back(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(c));
    coded += c;
    if (z.Inflate(blocks.back().data(), c, back.data(), back.size()) != static_cast<std::size_t>(m.d) ||
        std::memcmp(back.data(), m.records(), static_cast<std::size_t>(m.d)) != 0) {
      state.SkipWithError("inflate check failed");
      return;
    }
  }
  for (auto _ : state) {
    for (const Bytes& b : blocks) {
      benchmark::DoNotOptimize(z.Inflate(b.data(), b.size(), back.data(), back.size()));
      benchmark::ClobberMemory();
    }
  }
  SetCounters(state, TotalBytes(Records(input)), coded);
}

void Register() {
  for (Input input : {kCards, kText}) {
    const std::string name = kInputNames[input];
    benchmark::RegisterBenchmark(("AdcBaseline/deflate6/" + name).c_str(), BM_Deflate6, input);
    benchmark::RegisterBenchmark(("AdcBaseline/inflate/" + name).c_str(), BM_Inflate, input);
    for (Part part : {kAdcCode, kDeflatePart, kFastPart}) {
      const std::string suffix = std::string(kPartNames[part]) + "/" + name;
      benchmark::RegisterBenchmark(("AdcCompress/" + suffix).c_str(), BM_AdcCompress, input, part);
      benchmark::RegisterBenchmark(("AdcDecompress/" + suffix).c_str(), BM_AdcDecompress, input,
                                   part);
    }
  }
}

const bool registered = (Register(), true);

}  // namespace
