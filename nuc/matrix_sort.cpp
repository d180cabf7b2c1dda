// The trailing-repeat cut and the matrix sort: records of equal length and equal first and
// last bytes end up next to each other, so their columns become runs.
#include <cstring>

#include "nuc/matrix.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The cut itself, inlined into the matrix sort's pass over the records.
inline void CutTrailingRepeats(const std::uint8_t* data, std::uint16_t length,
                               std::uint16_t& newLength, std::uint8_t& repeatCount) {
  newLength = length;
  repeatCount = 0;
  if (length <= 5 || data[length - 1] != data[length - 2]) return;
  const std::uint8_t c = data[length - 1];
  // The scan stops at the prefix slot of a short record, else 256 bytes back, so at most 254
  // repeats are cut and one data byte always stays. q ends on the last byte before the run,
  // or on the stop.
  const int stop = length <= 258 ? 3 : length - 256;
  int q = length - 2;
#if defined(__SSE2__)
  // Windows ending at q, 64 bytes while the record has them, then 16: bit i of `differ` tells
  // whether byte base + i is not c, and the bytes at or before the stop count as differing, so
  // one test per window finds the end of the run. Only bytes of the record are read.
  const __m128i v = _mm_set1_epi8(static_cast<char>(c));
  const auto differ16 = [&](int at) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, v))) ^ 0xFFFFu};
  };
  bool found = false;
  while (!found && q >= 63) {
    const int base = q - 63;
    std::uint64_t differ = differ16(base) | (differ16(base + 16) << 16) |
                           (differ16(base + 32) << 32) | (differ16(base + 48) << 48);
    if (base <= stop) differ |= (std::uint64_t{2} << (stop - base)) - 1;
    if (differ) {
      q = base + 63 - __builtin_clzll(differ);
      found = true;
    } else {
      q -= 64;
    }
  }
  while (!found && q >= 15 && q > stop) {
    const int base = q - 15;
    std::uint64_t differ = differ16(base);
    if (base <= stop) differ |= (std::uint64_t{2} << (stop - base)) - 1;
    if (differ) {
      q = base + 63 - __builtin_clzll(differ);
      found = true;
    } else {
      q -= 16;
    }
  }
  if (!found)
#endif
    while (q > stop && data[q] == c) --q;
  repeatCount = static_cast<std::uint8_t>((length - 2) - q);
  newLength = static_cast<std::uint16_t>(length - repeatCount);
}

// One stable counting pass: the indices of `in` ordered by key descending.
void CountingPass(const std::uint8_t* key, int n, const std::uint8_t* in, std::uint8_t* out) {
  std::uint16_t count[256] = {};
  for (int i = 0; i < n; ++i) ++count[key[i]];
  std::uint16_t start[256];
  unsigned s = 0;
  for (int b = 255; b >= 0; --b) {
    start[b] = static_cast<std::uint16_t>(s);
    s += count[b];
  }
  for (int j = 0; j < n; ++j) {
    const std::uint8_t i = in[j];
    out[start[key[i]]++] = i;
  }
}

}  // namespace

void NucCutTrailingRepeats(std::uint8_t* data, std::uint16_t length, std::uint16_t& newLength,
                           std::uint8_t& repeatCount) {
  CutTrailingRepeats(data, length, newLength, repeatCount);
}

void trqsort(const RecordDescriptor* descriptors, int n, SortedDescriptor* sorted,
             std::int32_t& matrixKind) {
  SortedDescriptor entry[kNucMaxRecords];
  std::uint8_t k1[kNucMaxRecords];
  std::uint8_t k2[kNucMaxRecords];
  int shortest = 0xFFFF, longest = 0;
  for (int i = 0; i < n; ++i) {
    SortedDescriptor& e = entry[i];
    e.data = descriptors[i].data;
    e.fullLength = descriptors[i].length;
    e.position = 0;
    CutTrailingRepeats(e.data, e.fullLength, e.length, e.repeatCount);
    if (e.length < shortest) shortest = e.length;
    if (e.length > longest) longest = e.length;
  }
  const int spread = longest - shortest;
  for (int i = 0; i < n; ++i) {
    const SortedDescriptor& e = entry[i];
    const std::uint8_t first = e.length > 4 ? e.data[4] : 0;
    if (spread > 255) {
      k2[i] = static_cast<std::uint8_t>(e.length >> 8);
      k1[i] = static_cast<std::uint8_t>(e.length);
    } else if (spread > 0) {
      k2[i] = static_cast<std::uint8_t>(e.length - shortest);
      k1[i] = first;
    } else if (longest > 4) {
      k2[i] = e.data[e.length - 1];
      k1[i] = first;
    } else {
      k2[i] = k1[i] = 0;
    }
  }
  bool k1Varies = false, k2Varies = false;
  for (int i = 1; i < n; ++i) {
    k1Varies |= k1[i] != k1[0];
    k2Varies |= k2[i] != k2[0];
  }
  const std::uint8_t* key = nullptr;  // the sorting key
  bool both = false;
  if (spread > 0) {
    both = k1Varies;
    key = k2;
  } else if (k1Varies && k2Varies) {
    both = true;
    key = k2;
  } else if (k1Varies) {
    key = k1;
  } else if (k2Varies) {
    key = k2;
  }
  if (!key) {
    matrixKind = 0;
    for (int i = 0; i < n; ++i) sorted[i] = entry[i];
    return;
  }
  // The order is descending by (k2, k1, input index) when both keys count, else by (key,
  // input index): counting passes from the last index to the first.
  std::uint8_t order[kNucMaxRecords], pass[kNucMaxRecords];
  for (int j = 0; j < n; ++j) order[j] = static_cast<std::uint8_t>(n - 1 - j);
  if (both) {
    CountingPass(k1, n, order, pass);
    CountingPass(k2, n, pass, order);
  } else {
    CountingPass(key, n, order, pass);
    std::memcpy(order, pass, static_cast<std::size_t>(n));
  }
  for (int j = 0; j < n; ++j) {
    const int i = order[j];
    sorted[j] = entry[i];
    sorted[j].position = static_cast<std::uint8_t>(i + 1);
  }
  matrixKind = 1;
}

void trqkmt(std::uint8_t* planes, const SortedDescriptor* sorted, int n) {
  if (n > kNucMaxRecords) return;
  for (int i = 0; i < n; ++i) {
    planes[i] = static_cast<std::uint8_t>(sorted[i].length >> 8);
    planes[n + i] = static_cast<std::uint8_t>(sorted[i].length);
    planes[2 * n + i] = sorted[i].position;
    planes[3 * n + i] = sorted[i].repeatCount;
  }
}
