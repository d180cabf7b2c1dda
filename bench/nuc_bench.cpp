// Speed of the record-matrix kernel (nuccmp, nucdcm) with CX8, CX7 and VR8 on three generated
// inputs, with memcpy and zlib deflate level 6 on the same bytes as baselines. Bytes per second
// count record bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_records.h"
#include "nuc/kernel.h"
#include "nuc/matrix_buffer.h"

namespace {

constexpr std::uint32_t kBufferSize = 32768;  // the default matrix buffer size

// The records cut into matrices as the record interface cuts them.
std::vector<std::unique_ptr<NucMatrixBuffer>> Matrices(Input input) {
  std::vector<std::unique_ptr<NucMatrixBuffer>> out;
  out.push_back(std::make_unique<NucMatrixBuffer>(kBufferSize));
  for (const Bytes& r : Records(input)) {
    if (!out.back()->Add(r)) {
      out.push_back(std::make_unique<NucMatrixBuffer>(kBufferSize));
      out.back()->Add(r);
    }
  }
  return out;
}

struct Coded {
  std::int32_t length;
  std::int32_t kind;
  std::int32_t count;
};

class Kernel {
 public:
  Kernel(int mode, int charCode) { nucopn(slot_, rc_, 2, mode, charCode, 0); }
  ~Kernel() {
    std::int32_t rc = 0, word = 0;
    if (slot_) nuccls(slot_, rc, word);
  }
  NucContext*& slot() { return slot_; }

 private:
  NucContext* slot_ = nullptr;
  std::int32_t rc_ = 0;
};

// Compresses every matrix; false when a matrix does not come back whole.
bool CompressAll(Kernel& k, std::vector<std::unique_ptr<NucMatrixBuffer>>& matrices,
                 std::vector<Coded>& coded, bool check) {
  coded.resize(matrices.size());
  for (std::size_t i = 0; i < matrices.size(); ++i) {
    std::int32_t rc = 0;
    coded[i].count = matrices[i]->Count();
    matrices[i]->Compress(k.slot(), rc, coded[i].length, coded[i].kind);
    if (rc != 0) return false;
  }
  if (!check) return true;
  for (std::size_t i = 0; i < matrices.size(); ++i) {
    NucMatrixBuffer copy(kBufferSize);
    std::memcpy(copy.CodedBlock(), matrices[i]->CodedBlock(), static_cast<std::size_t>(coded[i].length));
    std::int32_t rc = 0;
    copy.Decompress(k.slot(), rc, coded[i].length, coded[i].kind, coded[i].count);
    if (rc != 0) return false;
    for (int j = 0; j < coded[i].count; ++j) {
      const auto a = matrices[i]->Record(j), b = copy.Record(j);
      if (a.size() != b.size() || std::memcmp(a.data(), b.data(), a.size()) != 0) return false;
    }
  }
  return true;
}

void SetCounters(benchmark::State& state, std::size_t inputBytes, std::size_t codedBytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputBytes));
  state.counters["ratio"] = static_cast<double>(codedBytes) / static_cast<double>(inputBytes);
}

// Each call is timed alone, with its input just written into one working buffer the way the
// record interface leaves it (records placed by trqput, a coded matrix just read by cmpget):
// the figures are those of the kernel, not of fetching cold buffers from memory.
using Clock = std::chrono::steady_clock;

// The input's matrices, compressed once; false, and the benchmark skipped, when they do not
// come back as they were.
bool PrepareRoundTrip(benchmark::State& state, Kernel& k, Input input,
                      std::vector<std::unique_ptr<NucMatrixBuffer>>& matrices,
                      std::vector<Coded>& coded) {
  matrices = Matrices(input);
  if (CompressAll(k, matrices, coded, true)) return true;
  state.SkipWithError("round trip failed");
  return false;
}

void BM_Compress(benchmark::State& state, int mode, Input input) {
  Kernel k(mode, kInputCharCode[input]);
  std::vector<std::unique_ptr<NucMatrixBuffer>> matrices;
  std::vector<Coded> coded;
  if (!PrepareRoundTrip(state, k, input, matrices, coded)) return;
  const std::vector<Bytes>& records = Records(input);
  NucMatrixBuffer work(kBufferSize);
  std::size_t codedBytes = 0;
  for (auto _ : state) {
    Clock::duration spent{};
    codedBytes = 0;
    std::size_t next = 0;
    while (next < records.size()) {
      work.Clear();
      while (next < records.size() && work.Add(records[next])) ++next;
      std::int32_t rc = 0, length = 0, kind = 1;
      const auto start = Clock::now();
      work.Compress(k.slot(), rc, length, kind);
      spent += Clock::now() - start;
      codedBytes += static_cast<std::size_t>(length);
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  SetCounters(state, TotalBytes(records), codedBytes);
}

void BM_Decompress(benchmark::State& state, int mode, Input input) {
  Kernel k(mode, kInputCharCode[input]);
  std::vector<std::unique_ptr<NucMatrixBuffer>> matrices;
  std::vector<Coded> coded;
  if (!PrepareRoundTrip(state, k, input, matrices, coded)) return;
  NucMatrixBuffer work(kBufferSize);
  for (auto _ : state) {
    Clock::duration spent{};
    for (std::size_t i = 0; i < matrices.size(); ++i) {
      std::memcpy(work.CodedBlock(), matrices[i]->CodedBlock(), static_cast<std::size_t>(coded[i].length));
      std::int32_t rc = 0;
      const auto start = Clock::now();
      work.Decompress(k.slot(), rc, coded[i].length, coded[i].kind, coded[i].count);
      spent += Clock::now() - start;
      if (rc != 0) {
        state.SkipWithError("decompression failed");
        return;
      }
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  std::size_t codedBytes = 0;
  for (const Coded& c : coded) codedBytes += static_cast<std::size_t>(c.length);
  SetCounters(state, TotalBytes(Records(input)), codedBytes);
}

// The record bytes of each matrix back to back, the unit the baselines work on.
std::vector<Bytes> MatrixData(Input input) {
  std::vector<Bytes> blocks(1);
  std::size_t room = 0;
  int count = 0;
  for (const Bytes& r : Records(input)) {
    if (count == 255 || room + r.size() + 7 > kBufferSize) {
      blocks.emplace_back();
      room = 0;
      count = 0;
    }
    blocks.back().insert(blocks.back().end(), r.begin(), r.end());
    room += r.size() + 7;
    ++count;
  }
  return blocks;
}

// The baselines take each block from a working buffer it was just copied into, as above.
void BM_Memcpy(benchmark::State& state, Input input) {
  const auto blocks = MatrixData(input);
  Bytes in(kBufferSize), out(kBufferSize);
  for (auto _ : state) {
    Clock::duration spent{};
    for (const Bytes& b : blocks) {
      std::memcpy(in.data(), b.data(), b.size());
      const auto start = Clock::now();
      std::memcpy(out.data(), in.data(), b.size());
      benchmark::ClobberMemory();
      spent += Clock::now() - start;
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  SetCounters(state, TotalBytes(Records(input)), TotalBytes(Records(input)));
}

// One raw deflate at level 6 of `size` bytes into out; returns the coded size.
std::size_t DeflateBlock(z_stream& z, const std::uint8_t* in, std::size_t size, Bytes& out) {
  deflateReset(&z);
  z.next_in = const_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  return z.total_out;
}

void BM_Deflate6(benchmark::State& state, Input input) {
  const auto blocks = MatrixData(input);
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    state.SkipWithError("deflateInit2 failed");
    return;
  }
  Bytes in(kBufferSize), out(2 * kBufferSize);
  std::size_t codedBytes = 0;
  for (auto _ : state) {
    Clock::duration spent{};
    codedBytes = 0;
    for (const Bytes& b : blocks) {
      std::memcpy(in.data(), b.data(), b.size());
      const auto start = Clock::now();
      const std::size_t size = DeflateBlock(z, in.data(), b.size(), out);
      spent += Clock::now() - start;
      codedBytes += size;
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  deflateEnd(&z);
  SetCounters(state, TotalBytes(Records(input)), codedBytes);
}

void BM_Inflate(benchmark::State& state, Input input) {
  const auto blocks = MatrixData(input);
  std::vector<Bytes> coded;
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  for (const Bytes& b : blocks) {
    Bytes out(2 * kBufferSize);
    out.resize(DeflateBlock(z, b.data(), b.size(), out));
    coded.push_back(std::move(out));
  }
  deflateEnd(&z);
  z_stream inflater{};
  inflateInit2(&inflater, -15);
  Bytes in(2 * kBufferSize), out(2 * kBufferSize);
  for (auto _ : state) {
    Clock::duration spent{};
    for (const Bytes& c : coded) {
      std::memcpy(in.data(), c.data(), c.size());
      const auto start = Clock::now();
      inflateReset(&inflater);
      inflater.next_in = in.data();
      inflater.avail_in = static_cast<uInt>(c.size());
      inflater.next_out = out.data();
      inflater.avail_out = static_cast<uInt>(out.size());
      inflate(&inflater, Z_FINISH);
      spent += Clock::now() - start;
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  inflateEnd(&inflater);
  SetCounters(state, TotalBytes(Records(input)), TotalBytes(Records(input)));
}

void Register() {
  const char* const modes[] = {"CX8", "CX7", "VR8"};
  for (int in = 0; in < 3; ++in) {
    const auto input = static_cast<Input>(in);
    const std::string name = kInputNames[in];
    benchmark::RegisterBenchmark(("NucBaseline/memcpy/" + name).c_str(), BM_Memcpy, input)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("NucBaseline/deflate6/" + name).c_str(), BM_Deflate6, input)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("NucBaseline/inflate/" + name).c_str(), BM_Inflate, input)
        ->UseManualTime();
    for (int mode = 0; mode < 3; ++mode) {
      benchmark::RegisterBenchmark(("NucCompress/" + std::string(modes[mode]) + "/" + name).c_str(),
                                   BM_Compress, mode, input)
          ->UseManualTime();
      benchmark::RegisterBenchmark(("NucDecompress/" + std::string(modes[mode]) + "/" + name).c_str(),
                                   BM_Decompress, mode, input)
          ->UseManualTime();
    }
  }
}

const bool registered = (Register(), true);

}  // namespace
