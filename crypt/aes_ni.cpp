// The AES instruction path. Only these functions are compiled for the AES instructions; the
// rest of the build stays for the baseline processor, and aesenc calls here only after the
// processor check.
#include <immintrin.h>

#include "crypt/aes.h"

namespace torq::crypt {

bool AesNiAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse2");
}

__attribute__((target("aes,sse2"))) void AesEncryptNi(const std::uint8_t* schedule, const std::uint8_t* in,
                                                      std::uint8_t* out) {
  const auto* k = reinterpret_cast<const __m128i*>(schedule);
  __m128i m = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), _mm_loadu_si128(k));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 1));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 2));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 3));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 4));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 5));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 6));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 7));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 8));
  m = _mm_aesenc_si128(m, _mm_loadu_si128(k + 9));
  m = _mm_aesenclast_si128(m, _mm_loadu_si128(k + 10));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), m);
}

}  // namespace torq::crypt
