// 8-byte transposes between records and columns: the column gathering of the compress side
// and the column scatter of the decompress side move 8 columns of 16 records per step.
#pragma once
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nuc {

#if defined(__SSE2__)
// r[j] holds byte j of 16 items; out[p] receives the 8 bytes of item 2p (low half) and of
// item 2p + 1 (high half).
inline void Transpose8x16(const __m128i r[8], __m128i out[8]) {
  const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a4 = _mm_unpackhi_epi8(r[0], r[1]);
  const __m128i a1 = _mm_unpacklo_epi8(r[2], r[3]), a5 = _mm_unpackhi_epi8(r[2], r[3]);
  const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a6 = _mm_unpackhi_epi8(r[4], r[5]);
  const __m128i a3 = _mm_unpacklo_epi8(r[6], r[7]), a7 = _mm_unpackhi_epi8(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
  const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
  const __m128i b4 = _mm_unpacklo_epi16(a4, a5), b5 = _mm_unpackhi_epi16(a4, a5);
  const __m128i b6 = _mm_unpacklo_epi16(a6, a7), b7 = _mm_unpackhi_epi16(a6, a7);
  out[0] = _mm_unpacklo_epi32(b0, b2);
  out[1] = _mm_unpackhi_epi32(b0, b2);
  out[2] = _mm_unpacklo_epi32(b1, b3);
  out[3] = _mm_unpackhi_epi32(b1, b3);
  out[4] = _mm_unpacklo_epi32(b4, b6);
  out[5] = _mm_unpackhi_epi32(b4, b6);
  out[6] = _mm_unpacklo_epi32(b5, b7);
  out[7] = _mm_unpackhi_epi32(b5, b7);
}
#endif

// The 8 bytes of m slices to 8 columns: columns[j * stride + k] = byte j of slice k. Works in
// whole steps of 16 slices: slices must hold m rounded up to 16 entries, and a column row
// that many bytes.
inline void SlicesToColumns(const std::uint64_t* slices, int m, std::uint8_t* columns, int stride) {
  int k = 0;
#if defined(__SSE2__)
  for (; k < m; k += 16) {
    // Row i pairs slice k + i with slice k + 8 + i, so item q < 8 is byte q of slices
    // k..k+7 and item q + 8 byte q of slices k+8..k+15.
    __m128i r[8], t[8];
    for (int i = 0; i < 8; ++i)
      r[i] = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(slices + k + i)),
                                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(slices + k + 8 + i)));
    Transpose8x16(r, t);
    for (int b = 0; b < 8; ++b) {
      const __m128i column = (b & 1) ? _mm_unpackhi_epi64(t[b / 2], t[4 + b / 2])
                                     : _mm_unpacklo_epi64(t[b / 2], t[4 + b / 2]);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + b * stride + k), column);
    }
  }
#endif
  for (; k < m; ++k)
    for (int j = 0; j < 8; ++j) columns[j * stride + k] = static_cast<std::uint8_t>(slices[k] >> (8 * j));
}

// Stores the low `count` (1-8) bytes of v at d.
inline void StoreLow(std::uint8_t* d, std::uint64_t v, int count) {
  if (count == 8) {
    std::memcpy(d, &v, 8);
  } else if (count >= 4) {
    const auto a = static_cast<std::uint32_t>(v);
    const auto b = static_cast<std::uint32_t>(v >> (8 * (count - 4)));
    std::memcpy(d, &a, 4);
    std::memcpy(d + count - 4, &b, 4);
  } else if (count >= 2) {
    const auto a = static_cast<std::uint16_t>(v);
    const auto b = static_cast<std::uint16_t>(v >> (8 * (count - 2)));
    std::memcpy(d, &a, 2);
    std::memcpy(d + count - 2, &b, 2);
  } else {
    d[0] = static_cast<std::uint8_t>(v);
  }
}

// Writes n (1-255) copies of v at d and nothing else, with wide stores that overlap at the
// end: short fills are the rule, and a string store is slow to start.
inline void Fill(std::uint8_t* d, std::uint8_t v, int n) {
  const std::uint64_t w = 0x0101010101010101u * v;
  if (n >= 16) {
#if defined(__SSE2__)
    const __m128i x = _mm_set1_epi8(static_cast<char>(v));
    for (int i = 0; i + 16 < n; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), x);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16), x);
#else
    for (int i = 0; i + 8 < n; i += 8) std::memcpy(d + i, &w, 8);
    std::memcpy(d + n - 8, &w, 8);
#endif
  } else if (n >= 8) {
    std::memcpy(d, &w, 8);
    std::memcpy(d + n - 8, &w, 8);
  } else {
    StoreLow(d, w, n);
  }
}

// Staged columns: row j (j < 8) of kStageStride bytes holds byte j of up to 255 records, so
// whole 16-record steps stay inside a row.
constexpr int kStageStride = 256;

// `cols` (1-8) columns into bytes j0.. of records 0..m-1, with one transpose per 16 records:
// byte k of rows[i] goes to byte j0 + i of record k. Record k takes min(cols, lengths[k] - j0)
// bytes (at least 1: every record reaches j0); no other byte of a record is written. The first
// `full` records must take all 8 (cols is 8 and they reach j0 + 8): they take them without a
// look at their length. Each row is read in whole 16-byte steps up to m rounded up to 16, and
// all 8 rows are read (those past cols only for lanes no record takes).
// A record whose 8 bytes from j0 lie below `blendEnd` (an address; 0 for none) takes its bytes
// with one 8-byte store that puts back the bytes it does not take, without a branch on the
// count: the caller guarantees that no other store of this call touches those 8 bytes.
inline void RowsToRecords(const std::uint8_t* const rows[8], int m, int full,
                          std::uint8_t* const* records, const std::uint16_t* lengths, int j0,
                          int cols, std::uintptr_t blendEnd = 0) {
  const auto take = [&](int k) {
    const int left = lengths[k] - j0;
    return left < cols ? left : cols;
  };
  const auto store = [&](int k, std::uint64_t v) {
    std::uint8_t* d = records[k] + j0;
    const int count = take(k);
    if (reinterpret_cast<std::uintptr_t>(d) + 8 <= blendEnd) {
      std::uint64_t old;
      std::memcpy(&old, d, 8);
      const std::uint64_t mask = ~std::uint64_t{0} >> (64 - 8 * count);
      v = (v & mask) | (old & ~mask);
      std::memcpy(d, &v, 8);
    } else {
      StoreLow(d, v, count);
    }
  };
  int k = 0;
#if defined(__SSE2__)
  for (; k + 16 <= full; k += 16) {
    __m128i r[8], t[8];
    for (int j = 0; j < 8; ++j) r[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[j] + k));
    Transpose8x16(r, t);
    for (int p = 0; p < 8; ++p) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(records[k + 2 * p] + j0), t[p]);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(records[k + 2 * p + 1] + j0), _mm_unpackhi_epi64(t[p], t[p]));
    }
  }
  for (; k < m; k += 16) {
    __m128i r[8], t[8];
    for (int j = 0; j < 8; ++j) r[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[j] + k));
    Transpose8x16(r, t);
    const int last = m - k < 16 ? m - k : 16;
    for (int p = 0; 2 * p < last; ++p) {
      const int a = k + 2 * p;
      store(a, static_cast<std::uint64_t>(_mm_cvtsi128_si64(t[p])));
      if (2 * p + 1 < last)
        store(a + 1, static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(t[p], t[p]))));
    }
  }
#endif
  for (; k < m; ++k) {
    std::uint64_t s = 0;
    for (int j = 0; j < 8; ++j) s |= std::uint64_t{rows[j][k]} << (8 * j);
    store(k, s);
  }
}

// The same from staged columns: column i at stage + i * kStageStride.
inline void StageToRecords(const std::uint8_t* stage, int m, std::uint8_t* const* records,
                           const std::uint16_t* lengths, int j0, int cols) {
  const std::uint8_t* rows[8];
  for (int j = 0; j < 8; ++j) rows[j] = stage + j * kStageStride;
  int full = 0;
  if (cols == 8)
    while (full < m && lengths[full] - j0 >= 8) ++full;
  RowsToRecords(rows, m, full, records, lengths, j0, cols);
}

}  // namespace nuc
