// Speed of the container layer: cmpput of pre-coded CX8 matrices of EBCDIC card images and
// cmpget back, with fixed 512-byte blocks in fix records and 32,760-byte blocks in var_2b
// records, next to fioput and fioget of the same blocks alone; and the block checksum next
// to the support library's word loop. Bytes per second count container bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "fio/fio.h"
#include "nuc/kernel.h"
#include "nuc/matrix_buffer.h"
#include "support/crc.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kInputBytes = 8 << 20;

// Card images: 80 EBCDIC columns, words from column 8, a sequence number in 73-80.
std::vector<Bytes> Cards() {
  static const char* const kWords[] = {"MOVE", "TO", "PERFORM", "UNTIL", "ADD", "GIVING", "IF",
                                       "COMPUTE", "DISPLAY", "ZERO", "SPACES", "VALUE", "PIC",
                                       "RECORD", "READ", "WRITE", "FILE", "WS-TOTAL", "."};
  std::mt19937 rng(815);
  std::vector<Bytes> cards;
  for (std::size_t total = 0; total < kInputBytes; total += 80) {
    std::string line(7, ' ');
    const std::size_t target = 12 + rng() % 55;
    while (line.size() < target) line += std::string(kWords[rng() % 19]) + ' ';
    line.resize(72, ' ');
    char seq[9];
    std::snprintf(seq, sizeof seq, "%08zu", total / 80 * 10);
    line += seq;
    Bytes card(80);
    for (std::size_t i = 0; i < 80; ++i) {
      const char ch = line[i];
      std::uint8_t e = 0x40;
      if (ch >= 'A' && ch <= 'I') e = static_cast<std::uint8_t>(0xC1 + ch - 'A');
      if (ch >= 'J' && ch <= 'R') e = static_cast<std::uint8_t>(0xD1 + ch - 'J');
      if (ch >= 'S' && ch <= 'Z') e = static_cast<std::uint8_t>(0xE2 + ch - 'S');
      if (ch >= '0' && ch <= '9') e = static_cast<std::uint8_t>(0xF0 + ch - '0');
      if (ch == '.' || ch == '-') e = ch == '.' ? 0x4B : 0x60;
      card[i] = e;
    }
    cards.push_back(card);
  }
  return cards;
}

struct CodedMatrix {
  Bytes coded;
  std::int32_t kind;
  std::int32_t records;
};

// The cards cut into 32,768-byte matrices and coded with CX8 once.
const std::vector<CodedMatrix>& Matrices() {
  static std::vector<CodedMatrix> out;
  if (!out.empty()) return out;
  NucContext* k = nullptr;
  std::int32_t rc = 0;
  nucopn(k, rc, 1, 0, 0, 0);
  NucMatrixBuffer m(32768);
  auto code = [&]() {
    std::int32_t length = 0, kind = 1;
    m.Compress(k, rc, length, kind);
    out.push_back({Bytes(m.CodedBlock(), m.CodedBlock() + length), kind, m.Count()});
    m.Clear();
  };
  for (const Bytes& c : Cards()) {
    if (!m.Add(c)) {
      code();
      m.Add(c);
    }
  }
  code();
  std::int32_t word = 0;
  nuccls(k, rc, word);
  return out;
}

struct Layout {
  std::int32_t format;  // 257 fix records, 256 var_2b records
  std::int32_t blockSize;
  std::int32_t fixed;
};
constexpr Layout kLayouts[] = {{257, 512, 1}, {256, 32760, 0}};

std::string Path(int layout) { return "/tmp/torq_cmp_bench_" + std::to_string(layout) + ".tq"; }

FileControlBlock* OpenFile(const std::string& path, std::int32_t mode, std::int32_t format,
                           std::int32_t recordLength) {
  FileControlBlock* fcb = nullptr;
  std::int32_t rc = 0, disp = 0, nameLength = 0, org = 0, fmt = format, len = recordLength,
               block = 0, device = 0, level = 0;
  std::uint32_t delim = 0;
  std::uint8_t fill[2] = {0x20, 0xFF}, origin[2];
  char name[300];
  std::snprintf(name, sizeof name, "%s", path.c_str());
  fiopen(fcb, rc, mode, 0, disp, fill, "=TORQ", nameLength, name, org, fmt, len, delim, 0, block,
         0, device, level, nullptr, origin);
  return rc == 0 ? fcb : nullptr;
}

// Writes the container; its size in bytes, or 0 on failure.
std::size_t WriteContainer(int layout) {
  const Layout& l = kLayouts[layout];
  FileControlBlock* fcb = OpenFile(Path(layout), 1, l.format, l.fixed ? l.blockSize : 0);
  if (!fcb) return 0;
  CmpControlBlock* cb = nullptr;
  std::int32_t rc = 0, level = 0, code = 0, size = 32768, mode = 0, sec = 0, block = l.blockSize;
  cmpopn(cb, rc, 1, level, code, size, mode, sec, l.fixed, block, fcb, 0, nullptr, nullptr, nullptr);
  std::int32_t n = 5, org = 0, fmt = 1, len = 80, bs = 0, more = 0;
  const std::uint8_t origin[2] = {0x00, 0xE0};
  cmpphd(cb, rc, n, "CARDS", org, fmt, len, nullptr, nullptr, bs, nullptr, origin, more);
  std::vector<std::uint8_t> work;
  for (const CodedMatrix& m : Matrices()) {
    work.assign(m.coded.begin(), m.coded.end());
    std::int32_t length = static_cast<std::int32_t>(work.size()), kind = m.kind, records = m.records, bl = 0;
    cmpput(cb, rc, length, work.data(), kind, records, bl, nullptr);
    if (rc != 0) break;
  }
  std::uint32_t blocks = 0, low = 0, high = 0;
  std::int32_t closeRc = 0;
  cmpcls(cb, closeRc, blocks, low, high);
  fiocls(fcb, closeRc);
  return rc == 0 ? static_cast<std::size_t>(low) : 0;
}

// The container's blocks as the record layer reads them.
std::vector<Bytes> Blocks(int layout) {
  std::vector<Bytes> out;
  FileControlBlock* fcb = OpenFile(Path(layout), 0, 256, 0);
  if (!fcb) return out;
  Bytes buffer(32770);
  for (;;) {
    std::int32_t rc = 0, length = 0;
    const std::int32_t capacity = static_cast<std::int32_t>(buffer.size());
    fioget(fcb, rc, length, buffer.data(), capacity);
    if (rc != 0) break;
    out.emplace_back(buffer.begin(), buffer.begin() + length);
  }
  std::int32_t rc = 0;
  fiocls(fcb, rc);
  return out;
}

void BM_CmpPut(benchmark::State& state, int layout) {
  std::size_t bytes = 0;
  for (auto _ : state) bytes = WriteContainer(layout);
  if (bytes == 0) state.SkipWithError("write failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_FioPut(benchmark::State& state, int layout) {
  const Layout& l = kLayouts[layout];
  if (WriteContainer(layout) == 0) state.SkipWithError("write failed");
  std::vector<Bytes> blocks = Blocks(layout);
  std::size_t bytes = 0;
  for (const Bytes& b : blocks) bytes += b.size();
  for (auto _ : state) {
    FileControlBlock* fcb = OpenFile(Path(layout) + ".raw", 1, l.format, l.fixed ? l.blockSize : 0);
    for (Bytes& b : blocks) {
      std::int32_t rc = 0;
      const auto length = static_cast<std::int32_t>(b.size());
      fioput(fcb, rc, length, b.data());
    }
    std::int32_t rc = 0;
    fiocls(fcb, rc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_CmpGet(benchmark::State& state, int layout) {
  const std::size_t bytes = WriteContainer(layout);
  const std::size_t expected = Matrices().size();
  Bytes area(70000);
  std::size_t matrices = 0;
  for (auto _ : state) {
    FileControlBlock* fcb = OpenFile(Path(layout), 0, 256, 0);
    CmpControlBlock* cb = nullptr;
    std::int32_t rc = 0, level = 0, code = 0, size = 0, mode = 0, kind = 0, enc = 0, block = 0;
    cmpopn(cb, rc, 0, level, code, size, mode, kind, 0, block, fcb, 0, nullptr, nullptr, nullptr);
    matrices = 0;
    while (rc == 0) {
      cmp_gethdr(*cb, rc, kind, mode, code, level, size, enc);
      if (rc != 0) break;
      std::int32_t length = 0, flag = 0, records = 0, bl = 0;
      const auto capacity = static_cast<std::int32_t>(area.size());
      cmpget(cb, rc, length, area.data(), flag, records, bl, nullptr, capacity);
      ++matrices;
    }
    std::uint32_t a = 0, b = 0, c = 0;
    cmpcls(cb, rc, a, b, c);
    fiocls(fcb, rc);
  }
  if (matrices != expected) state.SkipWithError("read back a different number of matrices");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_FioGet(benchmark::State& state, int layout) {
  const std::size_t bytes = WriteContainer(layout);
  Bytes buffer(32770);
  for (auto _ : state) {
    FileControlBlock* fcb = OpenFile(Path(layout), 0, 256, 0);
    std::int32_t rc = 0;
    while (rc == 0) {
      std::int32_t length = 0;
      const std::int32_t capacity = static_cast<std::int32_t>(buffer.size());
      fioget(fcb, rc, length, buffer.data(), capacity);
    }
    fiocls(fcb, rc);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

template <typename F>
void ChecksumPass(benchmark::State& state, F sum) {
  Bytes block(32765);
  std::mt19937 rng(3);
  for (auto& b : block) b = static_cast<std::uint8_t>(rng());
  if (BlockChecksum(block.data(), block.size()) != TorqChecksum(block.data(), static_cast<std::int32_t>(block.size())))
    state.SkipWithError("checksums differ");
  for (auto _ : state) benchmark::DoNotOptimize(sum(block));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}

void BM_BlockChecksum(benchmark::State& state) {
  ChecksumPass(state, [](const Bytes& b) { return BlockChecksum(b.data(), b.size()); });
}
void BM_TorqChecksumWordLoop(benchmark::State& state) {
  ChecksumPass(state, [](const Bytes& b) { return TorqChecksum(b.data(), static_cast<std::int32_t>(b.size())); });
}

void Register() {
  const char* const names[] = {"fix512", "var32760"};
  for (int l = 0; l < 2; ++l) {
    benchmark::RegisterBenchmark((std::string("BM_CmpPut/") + names[l]).c_str(), BM_CmpPut, l);
    benchmark::RegisterBenchmark((std::string("BM_FioPut/") + names[l]).c_str(), BM_FioPut, l);
    benchmark::RegisterBenchmark((std::string("BM_CmpGet/") + names[l]).c_str(), BM_CmpGet, l);
    benchmark::RegisterBenchmark((std::string("BM_FioGet/") + names[l]).c_str(), BM_FioGet, l);
  }
  benchmark::RegisterBenchmark("BM_BlockChecksum", BM_BlockChecksum);
  benchmark::RegisterBenchmark("BM_TorqChecksumWordLoop", BM_TorqChecksumWordLoop);
}

const bool registered = (Register(), true);

}  // namespace
