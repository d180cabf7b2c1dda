// Speed of the cipher layer beside OpenSSL on the same bytes: AES on independent blocks
// (against ECB) and chained (against CBC encryption, like the frame chains), for each of our
// AES paths; the frame encryption and TORQenc on 64 KB frames, memcpy as the baseline.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "crypt/aes.h"
#include "crypt/block_ops.h"
#include "crypt/frame_cipher.h"
#include "crypt/torqenc.h"

namespace {

using torq::crypt::AesPath;
constexpr std::size_t kSize = 64 * 1024;

std::vector<std::uint8_t> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

const std::vector<std::uint8_t> kKey = RandomBytes(16, 1);
const std::vector<std::uint8_t> kPlain = RandomBytes(kSize, 2);

void Rate(benchmark::State& state, std::size_t bytesPerIteration) {
  const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(bytesPerIteration);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
}

// How our AES runs over the bytes: every block on its own (beside ECB), or chained as CBC
// with a zero start value (beside CBC) in three ways: aesenc per block with the XOR in front
// of it (as the frame chains once ran), aesencxor per block (as the frame chains run), and
// aeschain over the whole run.
enum class Run { kBlocks, kChainAesenc, kChainXorCall, kChainRun };

void OurAes(const std::uint8_t* schedule, const std::uint8_t* in, std::uint8_t* out, Run run) {
  std::uint8_t x[16] = {};
  if (run == Run::kChainRun) {
    aeschain(schedule, x, in, out, kSize / 16);
    return;
  }
  for (std::size_t i = 0; i < kSize; i += 16) {
    switch (run) {
      case Run::kBlocks:
        aesenc(schedule, in + i, out + i);
        break;
      case Run::kChainAesenc:
        torq::crypt::Xor16(x, in + i);
        aesenc(schedule, x, x);
        std::memcpy(out + i, x, 16);
        break;
      default:
        aesencxor(schedule, x, in + i);
        std::memcpy(out + i, x, 16);
        break;
    }
  }
}

void EvpAes(EVP_CIPHER_CTX* ctx, const std::uint8_t* in, std::uint8_t* out, bool chained) {
  static const std::uint8_t iv[16] = {};
  int n = 0;
  EVP_EncryptInit_ex(ctx, chained ? EVP_aes_128_cbc() : EVP_aes_128_ecb(), nullptr, kKey.data(), iv);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out, &n, in, static_cast<int>(kSize));
}

// Both give the same bytes, or the benchmark stops.
void CheckSame(Run run) {
  std::uint8_t schedule[kAesSchedule];
  aessch(schedule, kKey.data());
  std::vector<std::uint8_t> ours(kSize), theirs(kSize);
  OurAes(schedule, kPlain.data(), ours.data(), run);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EvpAes(ctx, kPlain.data(), theirs.data(), run != Run::kBlocks);
  EVP_CIPHER_CTX_free(ctx);
  if (ours != theirs) {
    std::fprintf(stderr, "AES output differs from OpenSSL\n");
    std::abort();
  }
}

void BM_aesenc(benchmark::State& state, AesPath path, Run run) {
  if (path == AesPath::kNi && !torq::crypt::AesNiAvailable()) {
    state.SkipWithError("no AES instructions");
    return;
  }
  const AesPath old = torq::crypt::AesSelectPath(path);
  CheckSame(run);
  std::uint8_t schedule[kAesSchedule];
  aessch(schedule, kKey.data());
  std::vector<std::uint8_t> out(kSize);
  for (auto _ : state) {
    OurAes(schedule, kPlain.data(), out.data(), run);
    benchmark::ClobberMemory();
  }
  torq::crypt::AesSelectPath(old);
  Rate(state, kSize);
}

void BM_evp(benchmark::State& state, bool chained) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  std::vector<std::uint8_t> out(kSize);
  for (auto _ : state) {
    EvpAes(ctx, kPlain.data(), out.data(), chained);
    benchmark::ClobberMemory();
  }
  EVP_CIPHER_CTX_free(ctx);
  Rate(state, kSize);
}

AesKeyArea FrameKeys() {
  AesKeyArea keys{};
  faesi(&keys, reinterpret_cast<const std::uint8_t*>("benchmark"), 9);
  faesm(&keys, 1);
  return keys;
}

// A 64 KB frame: prefix, data, then frame CRC and MAC.
std::vector<std::uint8_t> FrameBuffer() {
  std::vector<std::uint8_t> f(kFramePrefix + kSize + 20);
  std::memcpy(f.data() + kFramePrefix, kPlain.data(), kSize);
  f[24] = 0x01;  // fold base 256
  return f;
}

void BM_faess(benchmark::State& state, AesPath path, int flag) {
  if (path == AesPath::kNi && !torq::crypt::AesNiAvailable()) {
    state.SkipWithError("no AES instructions");
    return;
  }
  const AesPath old = torq::crypt::AesSelectPath(path);
  AesKeyArea keys = FrameKeys();
  std::vector<std::uint8_t> written = FrameBuffer();
  std::uint8_t* crc4 = written.data() + kFramePrefix + kSize;
  int bits = 0;
  faess(&keys, 1, &bits, written.data(), kSize, crc4, crc4 + 4);
  std::vector<std::uint8_t> f = FrameBuffer();
  for (auto _ : state) {
    if (flag == 1) {
      f[22] = f[23] = f[25] = 0;  // the frame layer's bytes, as unmasked
      f[24] = 0x01;
    } else {
      std::memcpy(f.data(), written.data(), f.size());
      std::memcpy(keys.memberChain, keys.memberFinal, 16);
    }
    faess(&keys, flag, &bits, f.data(), kSize, f.data() + kFramePrefix + kSize, f.data() + kFramePrefix + kSize + 4);
    if (bits != 0) {
      state.SkipWithError("frame check failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  torq::crypt::AesSelectPath(old);
  Rate(state, kSize);
}

void BM_torqenc(benchmark::State& state, bool encipher) {
  static PwdCipherState cipher;
  const std::int32_t pwLength = 6;
  trqpwdi(reinterpret_cast<const std::uint8_t*>("secret"), &pwLength, &cipher);
  std::vector<std::uint8_t> f(8 + 4 + kSize);
  std::memcpy(f.data() + 12, kPlain.data(), kSize);
  const std::int32_t n = kSize;
  for (auto _ : state) {
    (encipher ? trqpwdv : trqpwde)(f.data() + 8, &n, &cipher);
    benchmark::ClobberMemory();
  }
  Rate(state, kSize);
}

void BM_memcpy(benchmark::State& state) {
  std::vector<std::uint8_t> out(kSize);
  for (auto _ : state) {
    std::memcpy(out.data(), kPlain.data(), kSize);
    benchmark::ClobberMemory();
  }
  Rate(state, kSize);
}

}  // namespace

BENCHMARK_CAPTURE(BM_aesenc, ecb_portable, AesPath::kPortable, Run::kBlocks);
BENCHMARK_CAPTURE(BM_aesenc, ecb_ni, AesPath::kNi, Run::kBlocks);
BENCHMARK_CAPTURE(BM_evp, ecb, false);
BENCHMARK_CAPTURE(BM_aesenc, chained_portable, AesPath::kPortable, Run::kChainXorCall);
BENCHMARK_CAPTURE(BM_aesenc, chained_aesenc_ni, AesPath::kNi, Run::kChainAesenc);
BENCHMARK_CAPTURE(BM_aesenc, chained_ni, AesPath::kNi, Run::kChainXorCall);
BENCHMARK_CAPTURE(BM_aesenc, chain_run_ni, AesPath::kNi, Run::kChainRun);
BENCHMARK_CAPTURE(BM_evp, cbc, true);
BENCHMARK_CAPTURE(BM_faess, write_portable, AesPath::kPortable, 1);
BENCHMARK_CAPTURE(BM_faess, read_portable, AesPath::kPortable, 0);
BENCHMARK_CAPTURE(BM_faess, write_ni, AesPath::kNi, 1);
BENCHMARK_CAPTURE(BM_faess, read_ni, AesPath::kNi, 0);
BENCHMARK_CAPTURE(BM_torqenc, trqpwdv, true);
BENCHMARK_CAPTURE(BM_torqenc, trqpwde, false);
BENCHMARK(BM_memcpy);
