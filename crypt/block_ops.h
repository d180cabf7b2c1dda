// Small byte helpers shared by the cipher code: XOR of byte runs, big-endian words and the
// assembly of a mixing area from pieces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace torq::crypt {

inline void XorBytes(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) dst[i] ^= src[i];
}

// One 16-byte load and store where the processor has them: a block written in smaller
// pieces and then read whole by the cipher would stall the store forwarding.
inline void Xor16(std::uint8_t* dst, const std::uint8_t* src) {
#if defined(__SSE2__)
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_xor_si128(a, b));
#else
  std::uint64_t a[2], b[2];
  std::memcpy(a, dst, 16);
  std::memcpy(b, src, 16);
  a[0] ^= b[0];
  a[1] ^= b[1];
  std::memcpy(dst, a, 16);
#endif
}

// dst = bytes 8-15 of prev followed by bytes 0-7 of next, in one store.
inline void JoinHalves(std::uint8_t* dst, const std::uint8_t* prev, const std::uint8_t* next) {
#if defined(__SSE2__)
  const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev));
  const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi64(_mm_srli_si128(p, 8), n));
#else
  std::uint8_t t[16];
  std::memcpy(t, prev + 8, 8);
  std::memcpy(t + 8, next, 8);
  std::memcpy(dst, t, 16);
#endif
}

// dst = a XOR b, 16 bytes.
inline void Xor16To(std::uint8_t* dst, const std::uint8_t* a, const std::uint8_t* b) {
  std::memcpy(dst, a, 16);
  Xor16(dst, b);
}

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

using Bytes = std::span<const std::uint8_t>;

// Writes the pieces one after another from dst; returns the number of bytes written.
inline std::size_t Assemble(std::uint8_t* dst, std::initializer_list<Bytes> pieces) {
  std::size_t at = 0;
  for (Bytes p : pieces) {
    std::memcpy(dst + at, p.data(), p.size());
    at += p.size();
  }
  return at;
}

// The bytes [from, to) of x as a piece for Assemble.
inline Bytes Slice(const std::uint8_t* x, std::size_t from, std::size_t to) { return {x + from, to - from}; }

}  // namespace torq::crypt
