// Exact small copies and fills for the byte coders: no byte outside the target range is
// written, short sizes use a few overlapping word moves instead of a library call.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nuc {

inline void CopyBytes(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
  if (n > 32) {
    std::memcpy(d, s, n);
  } else if (n >= 16) {
    std::uint64_t a, b, c, e;
    std::memcpy(&a, s, 8);
    std::memcpy(&b, s + 8, 8);
    std::memcpy(&c, s + n - 16, 8);
    std::memcpy(&e, s + n - 8, 8);
    std::memcpy(d, &a, 8);
    std::memcpy(d + 8, &b, 8);
    std::memcpy(d + n - 16, &c, 8);
    std::memcpy(d + n - 8, &e, 8);
  } else if (n >= 8) {
    std::uint64_t a, b;
    std::memcpy(&a, s, 8);
    std::memcpy(&b, s + n - 8, 8);
    std::memcpy(d, &a, 8);
    std::memcpy(d + n - 8, &b, 8);
  } else if (n >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, s, 4);
    std::memcpy(&b, s + n - 4, 4);
    std::memcpy(d, &a, 4);
    std::memcpy(d + n - 4, &b, 4);
  } else if (n > 0) {
    const std::uint8_t a = s[0], b = s[n / 2], c = s[n - 1];
    d[0] = a;
    d[n / 2] = b;
    d[n - 1] = c;
  }
}

inline void FillBytes(std::uint8_t* d, std::uint8_t value, std::size_t n) {
  const std::uint64_t w = 0x0101010101010101ULL * value;
  if (n > 32) {
    std::memset(d, value, n);
  } else if (n >= 16) {
    std::memcpy(d, &w, 8);
    std::memcpy(d + 8, &w, 8);
    std::memcpy(d + n - 16, &w, 8);
    std::memcpy(d + n - 8, &w, 8);
  } else if (n >= 8) {
    std::memcpy(d, &w, 8);
    std::memcpy(d + n - 8, &w, 8);
  } else if (n >= 4) {
    std::memcpy(d, &w, 4);
    std::memcpy(d + n - 4, &w, 4);
  } else if (n > 0) {
    d[0] = value;
    d[n / 2] = value;
    d[n - 1] = value;
  }
}

// Wide moves for the decoders' fast paths, where the caller has made sure of the room.
inline void Copy16(std::uint8_t* d, const std::uint8_t* s) { std::memcpy(d, s, 16); }
inline void Copy32(std::uint8_t* d, const std::uint8_t* s) { std::memcpy(d, s, 32); }
inline void Fill32(std::uint8_t* d, std::uint8_t value) {
#if defined(__SSE2__)
  const __m128i v = _mm_set1_epi8(static_cast<char>(value));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), v);
#else
  const std::uint64_t w = 0x0101010101010101ULL * value;
  std::memcpy(d, &w, 8);
  std::memcpy(d + 8, &w, 8);
  std::memcpy(d + 16, &w, 8);
  std::memcpy(d + 24, &w, 8);
#endif
}

}  // namespace nuc
