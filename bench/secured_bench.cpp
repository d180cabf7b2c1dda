// Speed of the secured road: the source cards written as one member of a secured TORQFILE
// with ADC and AES (crypt mode 32, password set) from trqopn to trqcls, and read back with
// TrqGetRecord; beside the same container without a password (ADC alone, security trailers
// on), and beside OpenSSL on the same record bytes in the same run: EVP AES-128-CBC encryption
// and decryption alone, and zlib (level 1) followed by EVP AES-128-CBC and back. Bytes per
// second count record bytes; out/in is the size written over the record bytes. Every road
// checks its output once after the timed runs.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_records.h"
#include "cmp/record_interface.h"
#include "tests/cmp/secured_roundtrip.h"

namespace {

constexpr const char kPassword[] = "bench password";

const FlatRecords& Cards() {
  static const FlatRecords flat = Flatten(Records(kCards));
  return flat;
}

std::string BenchPath(const char* what) {
  return "/tmp/torq_secured_bench_" + std::to_string(::getpid()) + "_" + what;
}

// Writes the cards as one member of a secured container: ADC, with AES and the password when
// `aes` is set; 32,760-byte var_2b blocks, 32 KB matrices.
bool Write(const std::string& path, bool aes) {
  RecordHandle* slot = nullptr;
  const trqtest::Layout layout{0, 32760, aes ? 0x23 : 0x03, 0, 32768, 255, 0};
  std::int32_t rc = securedtest::OpenSecured(slot, path, layout, aes ? kPassword : "").rc;
  std::int32_t cardName = 5, cardOrganisation = 0, cardFormat = 1, cardLength = 80, cardBlock = 0, more = 0;
  const std::uint8_t origin[2] = {0x00, 0xE0};
  if (rc == 0)
    trqphd(slot, rc, cardName, "cards", cardOrganisation, cardFormat, cardLength, nullptr, nullptr, cardBlock,
           nullptr, origin, more);
  const FlatRecords& cards = Cards();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < cards.ends.size() && rc == 0; ++i) {
    trqput(slot, rc, static_cast<std::int32_t>(cards.ends[i] - begin), cards.bytes.data() + begin);
    begin = cards.ends[i];
  }
  const bool closed = slot != nullptr && trqtest::Close(slot).rc == 0;
  return rc == 0 && closed;
}

// Reads the member back in place; with `check` every record is compared with the cards.
bool Read(const std::string& path, bool aes, bool check) {
  RecordHandle* slot = nullptr;
  if (trqtest::OpenForReading(slot, path).rc != 0) {
    if (slot) trqtest::Close(slot);
    return false;
  }
  std::int32_t rc = 0;
  if (aes)
    trqpwd(slot, rc, static_cast<std::int32_t>(sizeof kPassword - 1), reinterpret_cast<const std::uint8_t*>(kPassword));
  const FlatRecords& cards = Cards();
  std::size_t n = 0, at = 0;
  bool same = true;
  while (rc == 0) {
    std::int32_t length = 0;
    std::uint8_t* record = nullptr;
    TrqGetRecord(slot, rc, length, record);
    if (rc != 0) break;
    if (check) {
      const std::size_t size = static_cast<std::size_t>(length);
      same = same && n < cards.ends.size() && cards.ends[n] - at == size &&
             std::memcmp(cards.bytes.data() + at, record, size) == 0;
      at += size;
    }
    ++n;
  }
  const bool closed = trqtest::Close(slot).rc == 0;
  return closed && rc == kTrqEndOfFile && n == cards.ends.size() && same;
}

void Rate(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Cards().bytes.size()));
}

void BM_SecuredWrite(benchmark::State& state, bool aes) {
  const std::string path = BenchPath(aes ? "write_aes" : "write_plain");
  for (auto _ : state) {
    std::remove(path.c_str());  // a new file each time, as the torq benchmarks do
    if (!Write(path, aes)) {
      state.SkipWithError("writing failed");
      break;
    }
  }
  if (!Read(path, aes, true)) state.SkipWithError("the container does not read back");
  state.counters["out/in"] = static_cast<double>(trqtest::ReadFile(path).size()) / static_cast<double>(Cards().bytes.size());
  std::remove(path.c_str());
  Rate(state);
}

void BM_SecuredRead(benchmark::State& state, bool aes) {
  const std::string path = BenchPath(aes ? "read_aes" : "read_plain");
  if (!Write(path, aes) || !Read(path, aes, true)) {
    state.SkipWithError("round trip failed");
    std::remove(path.c_str());
    return;
  }
  for (auto _ : state) {
    if (!Read(path, aes, false)) {
      state.SkipWithError("reading failed");
      break;
    }
  }
  std::remove(path.c_str());
  Rate(state);
}

// OpenSSL on the same record bytes: AES-128-CBC over the whole run (padded), with zlib in
// front of it when `deflate` is set; and the way back.
const std::uint8_t kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const std::uint8_t kIv[16] = {};

Bytes Cipher(const Bytes& in, bool encrypt) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(in.size() + 16);
  int n = 0, last = 0;
  EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr, kKey, kIv, encrypt ? 1 : 0);
  EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size()));
  const bool ok = EVP_CipherFinal_ex(ctx, out.data() + n, &last) == 1;
  EVP_CIPHER_CTX_free(ctx);
  out.resize(ok ? static_cast<std::size_t>(n + last) : 0);
  return out;
}

Bytes Deflate(const Bytes& in) {
  uLongf n = compressBound(static_cast<uLong>(in.size()));
  Bytes out(n);
  if (compress2(out.data(), &n, in.data(), static_cast<uLong>(in.size()), 1) != Z_OK) return {};
  out.resize(n);
  return out;
}

Bytes Inflate(const Bytes& in, std::size_t size) {
  Bytes out(size);
  uLongf n = static_cast<uLongf>(size);
  if (uncompress(out.data(), &n, in.data(), static_cast<uLong>(in.size())) != Z_OK) return {};
  out.resize(n);
  return out;
}

Bytes EvpWrite(bool deflate) { return Cipher(deflate ? Deflate(Cards().bytes) : Cards().bytes, true); }

Bytes EvpRead(const Bytes& sealed, bool deflate) {
  const Bytes plain = Cipher(sealed, false);
  return deflate ? Inflate(plain, Cards().bytes.size()) : plain;
}

void BM_EvpWrite(benchmark::State& state, bool deflate) {
  Bytes sealed;
  for (auto _ : state) {
    sealed = EvpWrite(deflate);
    benchmark::DoNotOptimize(sealed.data());
  }
  if (EvpRead(sealed, deflate) != Cards().bytes) state.SkipWithError("OpenSSL round trip failed");
  state.counters["out/in"] = static_cast<double>(sealed.size()) / static_cast<double>(Cards().bytes.size());
  Rate(state);
}

void BM_EvpRead(benchmark::State& state, bool deflate) {
  const Bytes sealed = EvpWrite(deflate);
  if (EvpRead(sealed, deflate) != Cards().bytes) {
    state.SkipWithError("OpenSSL round trip failed");
    return;
  }
  for (auto _ : state) {
    const Bytes plain = EvpRead(sealed, deflate);
    benchmark::DoNotOptimize(plain.data());
  }
  Rate(state);
}

}  // namespace

BENCHMARK_CAPTURE(BM_SecuredWrite, adc_aes, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SecuredWrite, adc, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvpWrite, evp_cbc, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvpWrite, zlib1_evp_cbc, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SecuredRead, adc_aes, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SecuredRead, adc, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvpRead, evp_cbc, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EvpRead, zlib1_evp_cbc, true)->Unit(benchmark::kMillisecond);
