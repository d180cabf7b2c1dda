// The cut of one piece into runs and literals that the CX8 and CX7 coders share: a run starts
// wherever three equal bytes begin and takes every following equal byte; everything else is a
// literal reaching to the next run or the end. The caller's emitter writes the codes; an emitter
// with a member readLimit learns there the end of the bytes it may read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "nuc/memeq.h"

namespace nuc {

// First position r >= q at which three equal bytes begin. The sentinel at end guarantees one
// at end itself; the fast path reads 16 + 2 bytes and so stays within end + 3.
inline const std::uint8_t* TripleStart(const std::uint8_t* q, const std::uint8_t* end) {
#if defined(__SSE2__)
  while (end - q >= 15) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 2));
    const unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, b), _mm_cmpeq_epi8(b, c))));
    if (mask) return q + __builtin_ctz(mask);
    q += 16;
  }
#endif
  while (!(q[0] == q[1] && q[1] == q[2])) ++q;
  return q;
}

// End of a run whose bytes before q all equal q[-1].
inline const std::uint8_t* RunEndFrom(const std::uint8_t* q, const std::uint8_t* end) {
#if defined(__SSE2__)
  const __m128i v = _mm_set1_epi8(static_cast<char>(q[-1]));
  while (end - q >= 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, v))) ^ 0xFFFFu;
    if (mask) return q + __builtin_ctz(mask);
    q += 16;
  }
#endif
  return memeqi(q - 1);
}

// End of the run of *p that begins at p (p[0..2] are equal).
inline const std::uint8_t* RunEnd(const std::uint8_t* p, const std::uint8_t* end) {
  return RunEndFrom(p + 3, end);
}

// Cuts source[0, length) into runs and literals. Borrows the 4 bytes after the source for the
// sentinel (three complements of the last byte, then the last byte) and restores them.
template <class Emitter>
void CutRunsAndLiterals(std::uint8_t* source, std::int32_t length, Emitter& emit) {
  std::uint8_t* end = source + length;
  std::uint8_t saved[4];
  std::memcpy(saved, end, 4);
  if constexpr (requires { emit.readLimit; }) emit.readLimit = end + 4;
  const std::uint8_t last = end[-1];
  end[0] = end[1] = end[2] = static_cast<std::uint8_t>(~last);
  end[3] = last;
  const std::uint8_t* p = source;
#if defined(__SSE2__)
  // Windows of 64 positions: bit i of `equal` tells whether byte i equals byte i + 1, bit i of
  // `triple` whether three equal bytes begin at i. The codes inside a window are found with
  // bit scans; a run or literal that leaves the window is followed by the scans above.
  while (end - p >= 64) {
    const std::uint8_t* w = p;
    std::uint64_t equal = 0, triple = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 16 * k));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 16 * k + 1));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 16 * k + 2));
      const __m128i ab = _mm_cmpeq_epi8(a, b);
      equal |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(ab))} << (16 * k);
      triple |= std::uint64_t{static_cast<std::uint16_t>(
                    _mm_movemask_epi8(_mm_and_si128(ab, _mm_cmpeq_epi8(b, c))))}
                << (16 * k);
    }
    unsigned o = 0;
    for (;;) {
      if ((triple >> o) & 1) {
        const std::uint64_t breaks = ~equal >> o;
        if (breaks == 0) {  // the run goes on past the window
          const std::uint8_t* q = RunEndFrom(w + 64, end);
          emit.Run(w[o], static_cast<std::size_t>(q - (w + o)));
          p = q;
          break;
        }
        const unsigned n = static_cast<unsigned>(__builtin_ctzll(breaks)) + 1;
        emit.Run(w[o], n);
        o += n;
      } else {
        const std::uint64_t starts = o < 63 ? triple >> (o + 1) : 0;
        if (starts == 0) {  // the literal goes on past the window
          const std::uint8_t* q = TripleStart(w + 64, end);
          emit.Literal(w + o, static_cast<std::size_t>(q - (w + o)));
          p = q;
          break;
        }
        const unsigned n = static_cast<unsigned>(__builtin_ctzll(starts)) + 1;
        emit.Literal(w + o, n);
        o += n;
      }
      if (o >= 64) {
        p = w + o;
        break;
      }
    }
  }
#endif
  while (p < end) {
    if (p[0] == p[1] && p[1] == p[2]) {
      const std::uint8_t* q = RunEnd(p, end);
      emit.Run(p[0], static_cast<std::size_t>(q - p));
      p = q;
    } else {
      const std::uint8_t* q = TripleStart(p + 1, end);
      emit.Literal(p, static_cast<std::size_t>(q - p));
      p = q;
    }
  }
  std::memcpy(end, saved, 4);
}

}  // namespace nuc
