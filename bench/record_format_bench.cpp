// Throughput of the record layer: writing and reading text lines and var_2b records of a
// few lengths through fiopen/fioput/fioget/fiocls on a file in /tmp (bytes of record data per
// second; the file stays in the page cache).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fio/fio.h"

namespace {

constexpr std::size_t kFileBytes = 16u << 20;  // record data per file

std::string BenchPath(const char* what, std::int64_t length) {
  return "/tmp/torq_recfmt_bench_" + std::to_string(::getpid()) + "_" + what + "_" +
         std::to_string(length);
}

struct File {
  FileControlBlock* fcb = nullptr;
  std::int32_t rc = -1;

  File(const std::string& path, std::int32_t openMode, std::int32_t format) {
    const std::int32_t zero = 0;
    std::int32_t closeDisposition = 0;
    std::uint8_t fillPair[2] = {0x20, 0xFF};
    std::int32_t nameLength = 0;
    std::vector<char> name(path.begin(), path.end());
    name.resize(path.size() + 8, '\0');
    std::int32_t organisation = 0;
    std::int32_t recordFormat = format;
    std::int32_t recordLength = 0;
    std::uint32_t delimiter = 0;
    std::int32_t blockSize = 0;
    std::int32_t device = 0;
    std::int32_t level = 0;
    std::uint8_t origin[2];
    fiopen(fcb, rc, openMode, zero, closeDisposition, fillPair, "=TORQ", nameLength, name.data(),
           organisation, recordFormat, recordLength, delimiter, zero, blockSize, zero, device,
           level, nullptr, origin);
  }
  ~File() {
    if (fcb) fiocls(fcb, rc);
  }
};

// Printable line contents without line ends.
std::vector<std::uint8_t> Line(std::size_t length) {
  std::vector<std::uint8_t> line(length);
  for (std::size_t i = 0; i < length; ++i) line[i] = static_cast<std::uint8_t>(' ' + (i * 7) % 90);
  return line;
}

std::int64_t WriteFile(const std::string& path, std::int32_t format, std::size_t length) {
  File out(path, kOpenOutput, format);
  if (out.rc != kFioOk) return -1;
  std::vector<std::uint8_t> line = Line(length);
  const auto count = static_cast<std::int32_t>(length);
  std::int64_t bytes = 0;
  for (std::size_t total = 0; total < kFileBytes; total += length) {
    std::int32_t rc = 0;
    fioput(out.fcb, rc, count, line.data());
    if (rc != kFioOk) return -1;
    bytes += count;
  }
  return bytes;
}

void BM_Write(benchmark::State& state, std::int32_t format, const char* what) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::string path = BenchPath(what, state.range(0));
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const std::int64_t n = WriteFile(path, format, length);
    if (n < 0) {
      state.SkipWithError("write failed");
      break;
    }
    bytes += n;
  }
  state.SetBytesProcessed(bytes);
  std::remove(path.c_str());
}

void BM_Read(benchmark::State& state, std::int32_t format, const char* what) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::string path = BenchPath(what, state.range(0));
  if (WriteFile(path, format, length) < 0) {
    state.SkipWithError("write failed");
    return;
  }
  std::vector<std::uint8_t> buffer(65536);
  const auto capacity = static_cast<std::int32_t>(buffer.size());
  std::int64_t bytes = 0;
  for (auto _ : state) {
    File in(path, kOpenInput, format);
    std::int32_t rc = kFioOk;
    while (rc == kFioOk || rc == kFioNoDelimiter) {  // a dtext file's last line has none
      std::int32_t got = 0;
      fioget(in.fcb, rc, got, buffer.data(), capacity);
      bytes += got;
    }
    if (rc != kFioEndOfFile) {
      state.SkipWithError("read failed");
      break;
    }
  }
  state.SetBytesProcessed(bytes);
  std::remove(path.c_str());
}

void BM_TextWrite(benchmark::State& state) { BM_Write(state, 3, "text"); }
void BM_TextRead(benchmark::State& state) { BM_Read(state, 3, "text"); }
void BM_Var2bWrite(benchmark::State& state) { BM_Write(state, 0, "var2b"); }
void BM_Var2bRead(benchmark::State& state) { BM_Read(state, 0, "var2b"); }

BENCHMARK(BM_TextWrite)->Arg(80)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextRead)->Arg(80)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Var2bWrite)->Arg(80)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Var2bRead)->Arg(80)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
