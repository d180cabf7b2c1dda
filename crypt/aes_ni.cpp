// The AES instruction path. Only these functions are compiled for the AES instructions; the
// rest of the build stays for the baseline processor, and aesenc calls here only after the
// processor check.
#include <immintrin.h>

#include "crypt/aes.h"

namespace torq::crypt {

namespace {

// Rounds 1 to 10 of a block already XORed with round key 0.
__attribute__((target("aes,sse2"), always_inline)) inline __m128i Rounds(__m128i m, const __m128i* k) {
  for (int r = 1; r < 10; ++r) m = _mm_aesenc_si128(m, _mm_loadu_si128(k + r));
  return _mm_aesenclast_si128(m, _mm_loadu_si128(k + 10));
}

}  // namespace

bool AesNiAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse2");
}

__attribute__((target("aes,sse2"))) void AesEncryptNi(const std::uint8_t* schedule, const std::uint8_t* in,
                                                      std::uint8_t* out) {
  const auto* k = reinterpret_cast<const __m128i*>(schedule);
  __m128i m = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), _mm_loadu_si128(k));
  m = Rounds(m, k);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), m);
}

__attribute__((target("aes,sse2"))) void AesEncryptXorNi(const std::uint8_t* schedule, std::uint8_t* block,
                                                         const std::uint8_t* x) {
  const auto* k = reinterpret_cast<const __m128i*>(schedule);
  // x XOR round key 0 is off the chain; the block joins it with one XOR.
  const __m128i xk = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x)), _mm_loadu_si128(k));
  __m128i m = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)), xk);
  m = Rounds(m, k);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), m);
}

// The round keys stay in registers for the whole run and the chain value never leaves one:
// per block only the input's XOR (with round key 0, off the chain) and the ten rounds.
__attribute__((target("aes,sse2"))) void AesChainNi(const std::uint8_t* schedule, std::uint8_t* chain,
                                                    const std::uint8_t* in, std::uint8_t* out,
                                                    std::size_t blocks) {
  const auto* k = reinterpret_cast<const __m128i*>(schedule);
  const __m128i k0 = _mm_loadu_si128(k), k1 = _mm_loadu_si128(k + 1), k2 = _mm_loadu_si128(k + 2);
  const __m128i k3 = _mm_loadu_si128(k + 3), k4 = _mm_loadu_si128(k + 4), k5 = _mm_loadu_si128(k + 5);
  const __m128i k6 = _mm_loadu_si128(k + 6), k7 = _mm_loadu_si128(k + 7), k8 = _mm_loadu_si128(k + 8);
  const __m128i k9 = _mm_loadu_si128(k + 9), k10 = _mm_loadu_si128(k + 10);
  __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chain));
  for (std::size_t i = 0; i < blocks; ++i) {
    const __m128i p = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i)), k0);
    c = _mm_xor_si128(c, p);
    c = _mm_aesenc_si128(c, k1);
    c = _mm_aesenc_si128(c, k2);
    c = _mm_aesenc_si128(c, k3);
    c = _mm_aesenc_si128(c, k4);
    c = _mm_aesenc_si128(c, k5);
    c = _mm_aesenc_si128(c, k6);
    c = _mm_aesenc_si128(c, k7);
    c = _mm_aesenc_si128(c, k8);
    c = _mm_aesenc_si128(c, k9);
    c = _mm_aesenclast_si128(c, k10);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), c);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chain), c);
}

}  // namespace torq::crypt
