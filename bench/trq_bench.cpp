// Speed of the record interface: a TORQFILE of card images written with CX8 from trqopn to
// trqcls into a temporary file, and read back with TrqGetRecord (no copy), next to the
// kernel's nuccmp and nucdcm alone on the same records in the same run. Two layouts: 32,760-
// byte var_2b blocks and the factory layout (fixed 512-byte blocks in fix records). Bytes
// per second count record bytes; "heap" is the most the counting heap held above its level
// before the open.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_records.h"
#include "cmp/record_interface.h"
#include "nuc/matrix_buffer.h"
#include "support/heap.h"
#include "tests/cmp/trq_roundtrip.h"

namespace {

constexpr std::int32_t kBufferSize = 32768;

struct BenchLayout {
  const char* name;
  std::int32_t recordFormat, recordLength, fixedBlock;
};
constexpr BenchLayout kVar2b{"var2b_32760", 0, 32760, 0};
constexpr BenchLayout kFactory{"fix_512", 1, 512, 1};

// The kernel benchmark's card images; more of them for the larger sizes.
const std::vector<Bytes>& Cards(std::size_t megabytes) {
  if (megabytes << 20 <= kInputBytes) return Records(kCards);
  static std::vector<Bytes> large;
  if (large.empty()) large = MakeRecords(kCards, megabytes << 20);
  return large;
}

const FlatRecords& FlatCards(std::size_t megabytes) {
  static FlatRecords small, large;
  FlatRecords& cache = megabytes > 4 ? large : small;
  if (cache.ends.empty()) cache = Flatten(Cards(megabytes));
  return cache;
}

std::string BenchPath(const char* what) {
  return "/tmp/trq_bench_" + std::to_string(::getpid()) + "_" + what;
}

trqtest::Layout Options(const BenchLayout& l) {
  return trqtest::Layout{l.recordFormat, l.recordLength, 0, 0, kBufferSize, 255, l.fixedBlock};
}

// Writes the records as one member; the heap's highest level above `base` into *peak.
bool Write(const std::string& path, const BenchLayout& l, const FlatRecords& records,
           std::uint32_t base, std::uint32_t* peak) {
  RecordHandle* slot = nullptr;
  trqtest::Layout options = Options(l);
  if (trqtest::OpenForWriting(slot, path, options).rc != 0) {
    if (slot) trqtest::Close(slot);
    return false;
  }
  std::int32_t rc = 0, nameLength = 5, organisation = 0, format = 1, length = 80, block = 0,
               more = 0;
  const std::uint8_t origin[2] = {0x00, 0xE0};
  trqphd(slot, rc, nameLength, "cards", organisation, format, length, nullptr, nullptr, block,
         nullptr, origin, more);
  std::uint32_t high = rmGetHeapCount();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < records.ends.size() && rc == 0; ++i) {
    const std::size_t end = records.ends[i];
    trqput(slot, rc, static_cast<std::int32_t>(end - begin), records.bytes.data() + begin);
    begin = end;
    if ((i & 4095) == 0) high = std::max(high, rmGetHeapCount());
  }
  if (peak) *peak = std::max(*peak, high - base);
  return trqtest::Close(slot).rc == 0 && rc == 0;
}

// Reads the records back in place; with `expected` each one is compared.
bool Read(const std::string& path, std::size_t count, std::size_t bytes,
          const std::vector<Bytes>* expected, std::uint32_t base, std::uint32_t* peak) {
  RecordHandle* slot = nullptr;
  if (trqtest::OpenForReading(slot, path).rc != 0) {
    if (slot) trqtest::Close(slot);
    return false;
  }
  std::size_t n = 0, total = 0;
  std::int32_t rc = 0;
  std::uint32_t high = rmGetHeapCount();
  for (;;) {
    std::int32_t length = 0;
    std::uint8_t* record = nullptr;
    TrqGetRecord(slot, rc, length, record);
    if (rc != 0) break;
    if (expected && (n >= expected->size() || (*expected)[n] != Bytes(record, record + length)))
      break;
    ++n;
    total += static_cast<std::size_t>(length);
    if ((n & 4095) == 0) high = std::max(high, rmGetHeapCount());
  }
  if (peak) *peak = std::max(*peak, high - base);
  return trqtest::Close(slot).rc == 0 && rc == kTrqEndOfFile && n == count && total == bytes;
}

void BM_TrqWrite(benchmark::State& state, BenchLayout l, std::size_t megabytes) {
  const std::vector<Bytes>& records = Cards(megabytes);
  const std::size_t bytes = TotalBytes(records);
  const std::string path = BenchPath("write");
  const FlatRecords& flat = FlatCards(megabytes);
  const std::uint32_t base = rmGetHeapCount();
  std::uint32_t peak = 0;
  for (auto _ : state) {
    // A new file each time: rewriting a truncated one makes the file system write it out at
    // the close, and the benchmark would time the disk.
    std::remove(path.c_str());
    if (!Write(path, l, flat, base, &peak)) {
      state.SkipWithError("writing failed");
      break;
    }
  }
  if (!Read(path, records.size(), bytes, &records, rmGetHeapCount(), nullptr))
    state.SkipWithError("the file does not read back");
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["heap"] = peak;
}

void BM_TrqRead(benchmark::State& state, BenchLayout l, std::size_t megabytes) {
  const std::vector<Bytes>& records = Cards(megabytes);
  const std::size_t bytes = TotalBytes(records);
  const std::string path = BenchPath("read");
  if (!Write(path, l, FlatCards(megabytes), 0, nullptr) ||
      !Read(path, records.size(), bytes, &records, 0, nullptr)) {
    state.SkipWithError("round trip failed");
    std::remove(path.c_str());
    return;
  }
  const std::uint32_t base = rmGetHeapCount();
  std::uint32_t peak = 0;
  for (auto _ : state) {
    if (!Read(path, records.size(), bytes, nullptr, base, &peak)) {
      state.SkipWithError("reading failed");
      break;
    }
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["heap"] = peak;
}

// The kernel alone on the same records: matrices filled as trqput fills them, each call timed
// by itself (as the kernel benchmarks time it).
using Clock = std::chrono::steady_clock;

struct CodedMatrix {
  Bytes coded;
  std::int32_t kind, count;
};

class Kernel {
 public:
  explicit Kernel(std::int32_t direction) { nucopn(slot_, rc_, direction, 0, 0, 0); }
  ~Kernel() {
    std::int32_t rc = 0, word = 0;
    if (slot_) nuccls(slot_, rc, word);
  }
  NucContext*& slot() { return slot_; }

 private:
  NucContext* slot_ = nullptr;
  std::int32_t rc_ = 0;
};

std::vector<CodedMatrix> CompressAll(const std::vector<Bytes>& records, Clock::duration* spent) {
  Kernel k(1);
  NucMatrixBuffer work(kBufferSize);
  std::vector<CodedMatrix> out;
  std::size_t next = 0;
  while (next < records.size()) {
    work.Clear();
    while (next < records.size() && work.Add(records[next])) ++next;
    std::int32_t rc = 0, length = 0, kind = 1;
    const auto start = Clock::now();
    work.Compress(k.slot(), rc, length, kind);
    if (spent) *spent += Clock::now() - start;
    if (rc != 0) return {};
    out.push_back({Bytes(work.CodedBlock(), work.CodedBlock() + length), kind, work.Count()});
  }
  return out;
}

void BM_NucCompress(benchmark::State& state) {
  const std::vector<Bytes>& records = Cards(4);
  for (auto _ : state) {
    Clock::duration spent{};
    if (CompressAll(records, &spent).empty()) {
      state.SkipWithError("compression failed");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * TotalBytes(records)));
}

void BM_NucDecompress(benchmark::State& state) {
  const std::vector<Bytes>& records = Cards(4);
  const std::vector<CodedMatrix> matrices = CompressAll(records, nullptr);
  Kernel k(0);
  NucMatrixBuffer work(kBufferSize);
  for (auto _ : state) {
    Clock::duration spent{};
    for (const CodedMatrix& m : matrices) {
      std::memcpy(work.CodedBlock(), m.coded.data(), m.coded.size());
      std::int32_t rc = 0;
      const auto start = Clock::now();
      work.Decompress(k.slot(), rc, static_cast<std::int32_t>(m.coded.size()), m.kind, m.count);
      spent += Clock::now() - start;
      if (rc != 0) {
        state.SkipWithError("decompression failed");
        return;
      }
    }
    state.SetIterationTime(std::chrono::duration<double>(spent).count());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * TotalBytes(records)));
}

BENCHMARK(BM_NucCompress)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NucDecompress)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqWrite, var2b_32760_4MB, kVar2b, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqRead, var2b_32760_4MB, kVar2b, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqWrite, fix_512_4MB, kFactory, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqRead, fix_512_4MB, kFactory, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TrqWrite, fix_512_64MB, kFactory, 64)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_TrqRead, fix_512_64MB, kFactory, 64)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
