// Speed of the ADC data-part alternatives on 64 KiB blocks of record-like text: the fast-LZ
// coder and decoder, and the deflate part, beside zlib's own one-call compress2/uncompress at
// level 1 and 6 on the same bytes. Bytes per second count input bytes; every decode is checked.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "coders/deflate_part.h"
#include "coders/fast_lz.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBlock = 65536;

const Bytes& Input() {
  static const Bytes data = [] {
    static const char* const words[] = {"MEYER", "SCHMIDT", "BERLIN", "HAMBURG", "ZAHLUNG",
                                        "EUR", "0000", "RECHNUNG", "KONTO", "1234567"};
    std::mt19937 rng(4711);
    std::string s;
    while (s.size() < kBlock) {
      std::string line;
      while (line.size() < 60) {
        line += words[rng() % 10];
        line += rng() % 3 == 0 ? "  " : " ";
      }
      line.resize(80, ' ');
      s += line;
    }
    s.resize(kBlock);
    return Bytes(s.begin(), s.end());
  }();
  return data;
}

void Check(bool ok, benchmark::State& state) {
  if (!ok) state.SkipWithError("decoded bytes differ");
}

void BM_FastLzCode(benchmark::State& state) {
  const Bytes& in = Input();
  Bytes out(kBlock + 2);
  std::uint32_t* table = pvFswOpn(1);
  std::int32_t n = 0;
  for (auto _ : state) {
    n = siFfwCmp(table, kBlock, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  fvFswCls(table);
  state.counters["ratio"] = static_cast<double>(n) / kBlock;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}

void BM_FastLzDecode(benchmark::State& state) {
  const Bytes& in = Input();
  Bytes coded(kBlock + 2), back(kBlock);
  std::uint32_t* table = pvFswOpn(1);
  const std::int32_t n = siFfwCmp(table, kBlock, in.data(), coded.data());
  fvFswCls(table);
  for (auto _ : state) {
    benchmark::DoNotOptimize(siFfwDco(n, coded.data(), back.data(), kBlock));
  }
  Check(back == in, state);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}

void BM_DeflatePartCode(benchmark::State& state) {
  const Bytes& in = Input();
  Bytes out(kBlock);
  z_stream* z = pvGzpOpn(1, 0, 6);
  const char* message = nullptr;
  std::int32_t n = 0;
  for (auto _ : state) n = siGzpCmp(message, z, kBlock, in.data(), out.data());
  fvGzpCls(z, 1);
  state.counters["ratio"] = static_cast<double>(n) / kBlock;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}

void BM_DeflatePartDecode(benchmark::State& state) {
  const Bytes& in = Input();
  Bytes coded(kBlock), back(kBlock);
  const char* message = nullptr;
  z_stream* c = pvGzpOpn(1, 0, 6);
  const std::int32_t n = siGzpCmp(message, c, kBlock, in.data(), coded.data());
  fvGzpCls(c, 1);
  z_stream* z = pvGzpOpn(0, 0, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(siGzpDco(message, z, n, coded.data(), back.data(), kBlock));
  }
  fvGzpCls(z, 0);
  Check(back == in, state);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}

void BM_ZlibCompress(benchmark::State& state) {
  const Bytes& in = Input();
  Bytes out(compressBound(kBlock)), back(kBlock);
  uLongf n = 0;
  for (auto _ : state) {
    n = static_cast<uLongf>(out.size());
    compress2(out.data(), &n, in.data(), kBlock, static_cast<int>(state.range(0)));
  }
  uLongf m = kBlock;
  Check(uncompress(back.data(), &m, out.data(), n) == Z_OK && back == in, state);
  state.counters["ratio"] = static_cast<double>(n) / kBlock;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}

void BM_ZlibUncompress(benchmark::State& state) {
  const Bytes& in = Input();
  Bytes out(compressBound(kBlock)), back(kBlock);
  uLongf n = static_cast<uLongf>(out.size());
  compress2(out.data(), &n, in.data(), kBlock, 6);
  for (auto _ : state) {
    uLongf m = kBlock;
    uncompress(back.data(), &m, out.data(), n);
  }
  Check(back == in, state);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}

}  // namespace

BENCHMARK(BM_FastLzCode);
BENCHMARK(BM_FastLzDecode);
BENCHMARK(BM_DeflatePartCode);
BENCHMARK(BM_DeflatePartDecode);
BENCHMARK(BM_ZlibCompress)->Arg(1)->Arg(6);
BENCHMARK(BM_ZlibUncompress);
