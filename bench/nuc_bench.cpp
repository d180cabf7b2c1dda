// Speed of the record-matrix kernel (nuccmp, nucdcm) with CX8, CX7 and VR8, beside LZ4, zstd
// level 1, zlib deflate level 6 and memcpy on the same blocks in the same run. Inputs: the
// system's C headers as 80-byte EBCDIC card images and as LF text lines, and random records.
// Matrices are filled as the record interface fills them (at most 255 records, each costing
// its length + 7 of the room); the baselines take each matrix's record bytes back to back.
// Every call is timed alone, its input just written into a working buffer, and every output is
// checked. MB/s count record bytes both ways; ratio = coded / record bytes; x_lz4 and x_zstd
// are this coder's speed over theirs, measured in the same iterations.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>
#include <zstd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_records.h"
#include "nuc/kernel.h"
#include "nuc/matrix_buffer.h"
#include "real_records.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Block {
  std::size_t first;
  std::size_t count;
  Bytes data;  // the records back to back
};

struct Corpus {
  const std::vector<Bytes>* records;
  std::vector<Block> blocks;
  std::size_t bytes = 0;
};

const std::vector<Bytes>& InputRecords(int input) {
  if (input == 0) return real_records::Records(real_records::kCards);
  if (input == 1) return real_records::Records(real_records::kText);
  return Records(kRandom);
}
const char* const kInputs[] = {"cards", "text", "random"};
const int kCharCode[] = {0, 1, 1};
const std::uint32_t kRooms[] = {65536, 16384};

// The records cut into matrices by NucMatrixBuffer::Add, the record interface's rule.
const Corpus& GetCorpus(int input, int room) {
  static Corpus cache[3][2];
  Corpus& c = cache[input][room];
  if (c.records) return c;
  c.records = &InputRecords(input);
  NucMatrixBuffer m(kRooms[room]);
  const auto& recs = *c.records;
  for (std::size_t i = 0; i < recs.size();) {
    m.Clear();
    Block b{i, 0, {}};
    while (i < recs.size() && m.Add(recs[i])) {
      b.data.insert(b.data.end(), recs[i].begin(), recs[i].end());
      ++i;
    }
    b.count = i - b.first;
    if (b.count == 0) break;  // a record no matrix takes: not in these inputs
    c.bytes += b.data.size();
    c.blocks.push_back(std::move(b));
  }
  return c;
}

struct Timing {
  double compress = 0;
  double decompress = 0;
  std::size_t coded = 0;
  bool ok = true;
};

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// One pass of a coder: every block compressed and decompressed, each call timed alone.
class Coder {
 public:
  virtual ~Coder() = default;
  virtual void Pass(const Corpus& c, Timing& t) = 0;
};

class KernelCoder : public Coder {
 public:
  KernelCoder(int mode, int charCode, std::uint32_t room) : enc_(room), dec_(room) {
    nucopn(slot_, rc_, 2, mode, charCode, 0);
  }
  ~KernelCoder() override {
    std::int32_t rc = 0, word = 0;
    if (slot_) nuccls(slot_, rc, word);
  }
  void Pass(const Corpus& c, Timing& t) override {
    for (const Block& b : c.blocks) {
      enc_.Clear();
      for (std::size_t i = 0; i < b.count; ++i) enc_.Add((*c.records)[b.first + i]);
      std::int32_t rc = 0, length = 0, kind = 1;
      auto t0 = Clock::now();
      enc_.Compress(slot_, rc, length, kind);
      auto t1 = Clock::now();
      t.compress += Seconds(t0, t1);
      if (rc != 0 || static_cast<std::uint32_t>(length) > dec_.CodedCapacity()) {
        t.ok = false;
        return;
      }
      t.coded += static_cast<std::size_t>(length);
      std::memcpy(dec_.CodedBlock(), enc_.CodedBlock(), static_cast<std::size_t>(length));
      t0 = Clock::now();
      dec_.Decompress(slot_, rc, length, kind, static_cast<std::int32_t>(b.count));
      t1 = Clock::now();
      t.decompress += Seconds(t0, t1);
      if (rc != 0 || dec_.Count() != static_cast<std::int32_t>(b.count)) {
        t.ok = false;
        return;
      }
      for (std::size_t i = 0; i < b.count; ++i) {
        const auto got = dec_.Record(static_cast<int>(i));
        const Bytes& want = (*c.records)[b.first + i];
        if (got.size() != want.size() || std::memcmp(got.data(), want.data(), want.size()) != 0) {
          t.ok = false;
          return;
        }
      }
    }
  }

 private:
  NucContext* slot_ = nullptr;
  std::int32_t rc_ = 0;
  NucMatrixBuffer enc_, dec_;
};

// A coder of whole blocks: compress returns the coded size (0 on failure), decompress the
// decoded size.
class BlockCoder : public Coder {
 public:
  using Fn = std::function<std::size_t(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t)>;
  BlockCoder(Fn compress, Fn decompress)
      : compress_(std::move(compress)), decompress_(std::move(decompress)),
        in_(kRoom), coded_(2 * kRoom), out_(kRoom) {}
  void Pass(const Corpus& c, Timing& t) override {
    for (const Block& b : c.blocks) {
      const std::size_t n = b.data.size();
      std::memcpy(in_.data(), b.data.data(), n);
      auto t0 = Clock::now();
      const std::size_t coded = compress_(in_.data(), n, coded_.data(), coded_.size());
      auto t1 = Clock::now();
      t.compress += Seconds(t0, t1);
      t0 = Clock::now();
      const std::size_t decoded = decompress_(coded_.data(), coded, out_.data(), out_.size());
      t1 = Clock::now();
      t.decompress += Seconds(t0, t1);
      t.coded += coded;
      if (coded == 0 || decoded != n || std::memcmp(out_.data(), b.data.data(), n) != 0) {
        t.ok = false;
        return;
      }
    }
  }

 private:
  static constexpr std::size_t kRoom = 65536;
  Fn compress_, decompress_;
  Bytes in_, coded_, out_;
};

std::unique_ptr<Coder> Lz4() {
  return std::make_unique<BlockCoder>(
      [](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap) -> std::size_t {
        const int r = LZ4_compress_default(reinterpret_cast<const char*>(in), reinterpret_cast<char*>(out),
                                           static_cast<int>(n), static_cast<int>(cap));
        return r > 0 ? static_cast<std::size_t>(r) : 0;
      },
      [](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap) -> std::size_t {
        const int r = LZ4_decompress_safe(reinterpret_cast<const char*>(in), reinterpret_cast<char*>(out),
                                          static_cast<int>(n), static_cast<int>(cap));
        return r > 0 ? static_cast<std::size_t>(r) : 0;
      });
}

std::unique_ptr<Coder> Zstd1() {
  auto cctx = std::shared_ptr<ZSTD_CCtx>(ZSTD_createCCtx(), ZSTD_freeCCtx);
  auto dctx = std::shared_ptr<ZSTD_DCtx>(ZSTD_createDCtx(), ZSTD_freeDCtx);
  return std::make_unique<BlockCoder>(
      [cctx](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap) -> std::size_t {
        const std::size_t r = ZSTD_compressCCtx(cctx.get(), out, cap, in, n, 1);
        return ZSTD_isError(r) ? 0 : r;
      },
      [dctx](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap) -> std::size_t {
        const std::size_t r = ZSTD_decompressDCtx(dctx.get(), out, cap, in, n);
        return ZSTD_isError(r) ? 0 : r;
      });
}

std::unique_ptr<Coder> Zlib6() {
  auto def = std::shared_ptr<z_stream>(new z_stream{}, [](z_stream* z) { deflateEnd(z); delete z; });
  auto inf = std::shared_ptr<z_stream>(new z_stream{}, [](z_stream* z) { inflateEnd(z); delete z; });
  deflateInit2(def.get(), 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  inflateInit2(inf.get(), -15);
  return std::make_unique<BlockCoder>(
      [def](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap) -> std::size_t {
        z_stream& z = *def;
        deflateReset(&z);
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(n);
        z.next_out = out;
        z.avail_out = static_cast<uInt>(cap);
        return deflate(&z, Z_FINISH) == Z_STREAM_END ? z.total_out : 0;
      },
      [inf](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t cap) -> std::size_t {
        z_stream& z = *inf;
        inflateReset(&z);
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(n);
        z.next_out = out;
        z.avail_out = static_cast<uInt>(cap);
        return inflate(&z, Z_FINISH) == Z_STREAM_END ? z.total_out : 0;
      });
}

std::unique_ptr<Coder> Memcpy() {
  const auto copy = [](const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t) -> std::size_t {
    std::memcpy(out, in, n);
    benchmark::ClobberMemory();
    return n;
  };
  return std::make_unique<BlockCoder>(copy, copy);
}

const char* const kCoders[] = {"CX8", "CX7", "VR8", "LZ4", "zstd1", "zlib6", "memcpy"};

std::unique_ptr<Coder> MakeCoder(int coder, int input, int room) {
  switch (coder) {
    case 0: case 1: case 2: return std::make_unique<KernelCoder>(coder, kCharCode[input], kRooms[room]);
    case 3: return Lz4();
    case 4: return Zstd1();
    case 5: return Zlib6();
    default: return Memcpy();
  }
}

// Each iteration makes one pass of the coder and, for the kernel, one of LZ4 and of zstd 1,
// so that the speed ratios come from the same moments of a shared machine.
void BM_Coder(benchmark::State& state, int coder, int input, int room) {
  const Corpus& corpus = GetCorpus(input, room);
  if (corpus.blocks.empty()) {
    state.SkipWithError("no input records");
    return;
  }
  const bool kernel = coder < 3;
  auto self = MakeCoder(coder, input, room);
  std::unique_ptr<Coder> lz4 = kernel ? Lz4() : nullptr, zstd = kernel ? Zstd1() : nullptr;
  Timing total, totalLz4, totalZstd;
  for (auto _ : state) {
    Timing t, tl, tz;
    self->Pass(corpus, t);
    if (kernel) {
      lz4->Pass(corpus, tl);
      zstd->Pass(corpus, tz);
    }
    if (!t.ok || !tl.ok || !tz.ok) {
      state.SkipWithError("output differs from input");
      return;
    }
    state.SetIterationTime(t.compress + t.decompress);
    total.compress += t.compress;
    total.decompress += t.decompress;
    total.coded = t.coded;
    totalLz4.compress += tl.compress;
    totalLz4.decompress += tl.decompress;
    totalZstd.compress += tz.compress;
    totalZstd.decompress += tz.decompress;
  }
  const double mb = static_cast<double>(corpus.bytes) * static_cast<double>(state.iterations()) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(corpus.bytes * state.iterations() * 2));
  state.counters["c_MBps"] = mb / total.compress;
  state.counters["d_MBps"] = mb / total.decompress;
  state.counters["ratio"] = static_cast<double>(total.coded) / static_cast<double>(corpus.bytes);
  if (kernel) {
    state.counters["c_x_lz4"] = totalLz4.compress / total.compress;
    state.counters["d_x_lz4"] = totalLz4.decompress / total.decompress;
    state.counters["c_x_zstd"] = totalZstd.compress / total.compress;
    state.counters["d_x_zstd"] = totalZstd.decompress / total.decompress;
  }
}

void Register() {
  for (int input = 0; input < 3; ++input)
    for (int room = 0; room < 2; ++room)
      for (int coder = 0; coder < 7; ++coder) {
        const std::string name = std::string("NucSpeed/") + kCoders[coder] + "/" + kInputs[input] +
                                 "/" + (room == 0 ? "64K" : "16K");
        benchmark::RegisterBenchmark(name.c_str(), BM_Coder, coder, input, room)->UseManualTime();
      }
}

const bool registered = (Register(), true);

}  // namespace
