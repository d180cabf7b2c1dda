// Speed of the DC8 phrase coder (nuccmp_dc8, nucdcm_dc8) on card images and text lines, cut
// into blocks as the record interface lays them out (the records, their lengths from the last
// to the first, the count) for a 64 KB and a 2 KB matrix buffer, beside zlib raw deflate at
// level 6 and inflate on the same blocks. Bytes per second count block bytes; every block is
// checked to come back whole before the timing.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_records.h"
#include "coders/dc8_block.h"

namespace {


// The blocks of one input for a matrix buffer of bufferSize bytes: a record goes in while its
// length + 3 stays below the room, which starts at the buffer size - 4 (at most 65,500) and
// shrinks by length + 4 per record.
std::vector<Bytes> Blocks(Input input, std::int32_t bufferSize) {
  const std::int32_t longest = std::min(bufferSize - 4, 65500);
  std::vector<Bytes> blocks;
  std::vector<std::uint32_t> lengths;
  Bytes data;
  std::int32_t room = longest;
  auto flush = [&] {
    for (auto l = lengths.rbegin(); l != lengths.rend(); ++l)
      for (int s = 24; s >= 0; s -= 8) data.push_back(static_cast<std::uint8_t>(*l >> s));
    for (int s = 24; s >= 0; s -= 8) data.push_back(static_cast<std::uint8_t>(lengths.size() >> s));
    blocks.push_back(std::move(data));
    data.clear();
    lengths.clear();
    room = longest;
  };
  for (const Bytes& r : Records(input)) {
    const auto n = static_cast<std::int32_t>(r.size());
    if (n + 3 >= room) flush();
    data.insert(data.end(), r.begin(), r.end());
    lengths.push_back(static_cast<std::uint32_t>(n));
    room -= n + 4;
  }
  if (!lengths.empty()) flush();
  return blocks;
}

std::size_t Total(const std::vector<Bytes>& blocks) {
  std::size_t total = 0;
  for (const Bytes& b : blocks) total += b.size();
  return total;
}

class Dc8 {
 public:
  explicit Dc8(int charCode) {
    nucopn_dc8(coder_, 1, charCode);
    nucopn_dc8(decoder_, 0, charCode);
  }
  ~Dc8() {
    nuccls_dc8(coder_);
    nuccls_dc8(decoder_);
  }
  // Codes every block; false when one does not come back whole.
  bool CodeAll(const std::vector<Bytes>& blocks, std::vector<Bytes>& coded) {
    coded.clear();
    for (const Bytes& b : blocks) {
      Bytes out(b.size() + kDc8HeaderSize + kDc8CoderSlack);
      std::int32_t length = static_cast<std::int32_t>(out.size());
      if (nuccmp_dc8(coder_, b.data(), static_cast<std::int32_t>(b.size()), out.data(), length) != 0)
        return false;
      out.resize(static_cast<std::size_t>(length));
      Bytes back(b.size());
      std::int32_t backLength = 0;
      if (nucdcm_dc8(decoder_, out.data(), length - 2, back.data(),
                     static_cast<std::int32_t>(back.size()), backLength) != 0 || back != b)
        return false;
      coded.push_back(std::move(out));
    }
    return true;
  }
  Dc8Context*& coder() { return coder_; }
  Dc8Context*& decoder() { return decoder_; }

 private:
  Dc8Context* coder_ = nullptr;
  Dc8Context* decoder_ = nullptr;
};

void SetCounters(benchmark::State& state, std::size_t inputBytes, std::size_t codedBytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputBytes));
  state.counters["ratio"] = static_cast<double>(codedBytes) / static_cast<double>(inputBytes);
}

void BM_Compress(benchmark::State& state, Input input, std::int32_t bufferSize) {
  const std::vector<Bytes> blocks = Blocks(input, bufferSize);
  Dc8 dc8(kInputCharCode[input]);
  std::vector<Bytes> coded;
  if (!dc8.CodeAll(blocks, coded)) return state.SkipWithError("round trip failed");
  Bytes out(65536 + kDc8HeaderSize + kDc8CoderSlack);
  for (auto _ : state) {
    for (const Bytes& b : blocks) {
      std::int32_t length = static_cast<std::int32_t>(out.size());
      nuccmp_dc8(dc8.coder(), b.data(), static_cast<std::int32_t>(b.size()), out.data(), length);
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetCounters(state, Total(blocks), Total(coded));
}

void BM_Decompress(benchmark::State& state, Input input, std::int32_t bufferSize) {
  const std::vector<Bytes> blocks = Blocks(input, bufferSize);
  Dc8 dc8(kInputCharCode[input]);
  std::vector<Bytes> coded;
  if (!dc8.CodeAll(blocks, coded)) return state.SkipWithError("round trip failed");
  Bytes out(65536);
  for (auto _ : state) {
    for (const Bytes& c : coded) {
      std::int32_t length = 0;
      nucdcm_dc8(dc8.decoder(), c.data(), static_cast<std::int32_t>(c.size()) - 2, out.data(),
                 static_cast<std::int32_t>(out.size()), length);
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetCounters(state, Total(blocks), Total(coded));
}

// One raw deflate at level 6 of in into out; the coded size.
std::size_t Deflate(z_stream& z, const Bytes& in, Bytes& out) {
  deflateReset(&z);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  return z.total_out;
}

void BM_Deflate6(benchmark::State& state, Input input, std::int32_t bufferSize) {
  const std::vector<Bytes> blocks = Blocks(input, bufferSize);
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(2 * 65536);
  std::size_t codedBytes = 0;
  for (auto _ : state) {
    codedBytes = 0;
    for (const Bytes& b : blocks) codedBytes += Deflate(z, b, out);
  }
  deflateEnd(&z);
  SetCounters(state, Total(blocks), codedBytes);
}

void BM_Inflate(benchmark::State& state, Input input, std::int32_t bufferSize) {
  const std::vector<Bytes> blocks = Blocks(input, bufferSize);
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<Bytes> coded;
  for (const Bytes& b : blocks) {
    Bytes out(2 * 65536);
    out.resize(Deflate(z, b, out));
    coded.push_back(std::move(out));
  }
  deflateEnd(&z);
  z_stream inflater{};
  inflateInit2(&inflater, -15);
  Bytes out(65536);
  bool whole = true;
  for (auto _ : state) {
    for (std::size_t i = 0; i < coded.size(); ++i) {
      inflateReset(&inflater);
      inflater.next_in = coded[i].data();
      inflater.avail_in = static_cast<uInt>(coded[i].size());
      inflater.next_out = out.data();
      inflater.avail_out = static_cast<uInt>(out.size());
      inflate(&inflater, Z_FINISH);
      whole = whole && inflater.total_out == blocks[i].size();
    }
  }
  inflateEnd(&inflater);
  if (!whole) state.SkipWithError("inflate did not give the blocks back");
  SetCounters(state, Total(blocks), Total(coded));
}

void Register() {
  for (Input input : {kCards, kText}) {
    for (std::int32_t bufferSize : {65536, 2048}) {
      const std::string tail =
          std::string("/") + kInputNames[input] + (bufferSize == 65536 ? "/64K" : "/2K");
      benchmark::RegisterBenchmark(("Dc8/nuccmp_dc8" + tail).c_str(), BM_Compress, input, bufferSize);
      benchmark::RegisterBenchmark(("Dc8/deflate6" + tail).c_str(), BM_Deflate6, input, bufferSize);
      benchmark::RegisterBenchmark(("Dc8/nucdcm_dc8" + tail).c_str(), BM_Decompress, input, bufferSize);
      benchmark::RegisterBenchmark(("Dc8/inflate" + tail).c_str(), BM_Inflate, input, bufferSize);
    }
  }
}

const bool registered = (Register(), true);

}  // namespace
