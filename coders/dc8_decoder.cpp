#include "coders/dc8_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

#include "coders/dc8_bit_reader.h"
#include "coders/dc8_block.h"
#include "coders/dc8_phrase_code.h"
#include "nuc/byte_copy.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dc8 {

namespace {

// The length that a class 7, 8 or 9 code carries (2 to 4,311).
inline std::uint32_t ReadLength(BitReader& br, int m) {
  const bool longer = br.Bit();
  switch (m) {
    case kClassLength2: return longer ? br.Read(2) + 4 : br.Read(1) + 2;
    case kClassLength8: return longer ? br.Read(6) + 24 : br.Read(4) + 8;
    default: return longer ? br.Read(12) + 216 : br.Read(7) + 88;
  }
}

// The cases of CopyForward without 16 bytes of room behind the stretch, or with a distance
// below 16 other than 1.
[[gnu::noinline]] void CopyForwardSlow(std::uint8_t* out, std::size_t dst, std::size_t src,
                                       std::size_t n) {
  const std::size_t distance = dst - src;
  if (distance >= n) {
    nuc::CopyBytes(out + dst, out + src, n);
  } else if (distance == 1) {
    nuc::FillBytes(out + dst, out[src], n);
  } else {
    // Whole periods, each copied from the stretch already written.
    while (n > 0) {
      const std::size_t chunk = std::min(distance, n);
      nuc::CopyBytes(out + dst, out + src, chunk);
      dst += chunk;
      src += chunk;
      n -= chunk;
    }
  }
}

// Copies n bytes forward from src to dst (src before dst) of an output of size bytes, byte
// after byte as the code means it: where the stretches overlap, the distance's pattern repeats.
// With room behind the stretch it goes in 16-byte pieces; the bytes written past its end are
// all written again before they are read.
inline void CopyForward(std::uint8_t* out, std::size_t size, std::size_t dst, std::size_t src,
                        std::size_t n) {
  const std::size_t distance = dst - src;
  if (dst + n + 15 <= size) {
    if (distance >= 16) {
      for (std::size_t k = 0; k < n; k += 16) nuc::Copy16(out + dst + k, out + src + k);
      return;
    }
    if (distance == 1) {
      const std::uint8_t b = out[src];
      for (std::size_t k = 0; k < n; k += 16) std::memset(out + dst + k, b, 16);
      return;
    }
  }
  CopyForwardSlow(out, dst, src, n);
}

// Moves the first n entries of a move-to-front table back by one. Up to 64 entries go as
// overlapping word moves that load everything before they store.
inline void MoveBack(std::uint8_t* table, std::size_t n) {
  if (n <= 32) {
    nuc::CopyBytes(table + 1, table, n);
  } else if (n <= 64) {
    std::uint8_t a[16], b[16], c[16], d[16];
    std::memcpy(a, table, 16);
    std::memcpy(b, table + 16, 16);
    std::memcpy(c, table + n - 32, 16);
    std::memcpy(d, table + n - 16, 16);
    std::memcpy(table + 1, a, 16);
    std::memcpy(table + 17, b, 16);
    std::memcpy(table + n - 31, c, 16);
    std::memcpy(table + n - 15, d, 16);
  } else {
    std::memmove(table + 1, table, n);
  }
}

// Takes entry index of a 256-entry move-to-front table (16-byte aligned) to the front and
// gives it. Below 32 the first one or two 16-byte rows are shifted by one and blended with
// the entries above index, without a branch on the index.
inline std::uint8_t MoveToFront(std::uint8_t* table, std::uint32_t index) {
  const std::uint8_t entry = table[index];
#if defined(__SSE2__)
  if (index < 32) {
    auto* rows = reinterpret_cast<__m128i*>(table);
    const __m128i lo = _mm_load_si128(rows);
    const __m128i hi = _mm_load_si128(rows + 1);
    const __m128i at = _mm_set1_epi8(static_cast<char>(index));
    const __m128i lane = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i movedLo = _mm_or_si128(_mm_slli_si128(lo, 1), _mm_cvtsi32_si128(entry));
    const __m128i keepLo = _mm_cmpgt_epi8(lane, at);
    _mm_store_si128(rows, _mm_or_si128(_mm_and_si128(keepLo, lo), _mm_andnot_si128(keepLo, movedLo)));
    if (index >= 16) {
      const __m128i movedHi = _mm_or_si128(_mm_slli_si128(hi, 1), _mm_srli_si128(lo, 15));
      const __m128i keepHi = _mm_cmpgt_epi8(_mm_add_epi8(lane, _mm_set1_epi8(16)), at);
      _mm_store_si128(rows + 1,
                      _mm_or_si128(_mm_and_si128(keepHi, hi), _mm_andnot_si128(keepHi, movedHi)));
    }
    return entry;
  }
#endif
  MoveBack(table, index);
  table[0] = entry;
  return entry;
}

}  // namespace

// One pass of the loop reads one code. The state lives in locals so that it stays in
// registers; the phrase list holds each phrase's offset and length itself (a phrase sits in
// exactly one list entry and only moves when it is used), which saves a dependent load per
// phrase reference.
std::int32_t DecodePhrases(const PhraseTables& tables, std::span<const std::uint8_t> payload,
                           std::span<std::uint8_t> output) {
  Dc8Phrase* const list = tables.list;
  std::uint8_t* const out = output.data();
  const std::size_t outSize = output.size();
  const auto outLength = static_cast<std::int64_t>(outSize);
  BitReader br(payload);

  std::int64_t produced = -1;  // bytes before the current item
  std::uint32_t pending = 0;   // bytes of the current item after its first byte
  std::uint32_t copied = 0;    // of which already in place
  std::int64_t source = -1;    // the current item's copy source; -1 none
  int k = kStartK;
  int half = kStartT;  // T: the half-step toggle
  bool literal = false;
  bool escape = false;
  bool itemRepeats = false;
  int l = 0;  // the position list's highest index in use
  int raw = 0;
  int width = kStartLiteralWidth;
  std::uint32_t threshold = kStartThreshold;
  std::uint32_t listCount = 1;
  // The list entries of the phrase used last and of the phrase made last.
  std::uint32_t usedSlot = 0;
  std::uint32_t madeSlot = 0;
  bool haveUsed = false;
  bool haveMade = false;
  // The position list: per entry the output offset, and above it the byte found there (which
  // never changes once written), so that a known byte needs no second load.
  std::uint32_t positions[kMaxPositions + 1] = {};
  auto known = [out](std::int64_t at) {
    return static_cast<std::uint32_t>(at) | std::uint32_t{out[at]} << 16;
  };
  alignas(16) std::uint8_t mtf[256];
  std::iota(mtf, mtf + 256, 0);
  std::uint16_t bucket[16];
  std::fill(bucket, bucket + 16, kNoBucket);
  std::uint8_t nibbleCount[16] = {};

  // Per class below the length classes: the bits of its value and the value's top, set from
  // K and T whenever they change.
  std::uint32_t valueTop[kClassStep];
  int valueBits[kClassStep];
  auto setRange = [&] {
    for (int m = 0; m < kClassStep; ++m) {
      const int n = m == 0 ? k - 1 - half : m <= 5 ? k - m - 1 : k - m;
      valueBits[m] = std::max(n, 0);
      valueTop[m] = m < 6 ? (32u >> m) << (k - 6) : 0;
    }
  };
  setRange();

  // The rest of the previous item's bytes, each from the byte after the previous source byte.
  auto finishItem = [&] {
    if (pending > copied)
      CopyForward(out, outSize, static_cast<std::size_t>(produced + 1 + copied),
                  static_cast<std::size_t>(source + 1), pending - copied);
    produced += pending + 1;
    pending = 0;
    copied = 0;
  };
  auto widen = [&] {
    if (BitLength(static_cast<std::uint32_t>(l)) > width + 1) {
      ++width;
      threshold *= 2;
    }
  };

  for (;;) {
    if (br.Overrun()) return kDc8Corrupted;
    if (br.Position() >= br.PayloadBits()) break;
    br.Fill();
    std::uint32_t v = 0;
    bool repeatRequest = false;
    if (literal) {
      // A move-to-front index in one of three lengths, or 1 1 1 to leave the mode.
      if (!br.Bit()) v = br.Read(width);
      else if (!br.Bit()) v = br.Read(width - 1) + (1u << width);
      else if (!br.Bit()) v = br.Read(width - 1) + threshold;
      else {
        literal = false;
        escape = true;
        continue;
      }
      // The class bits of a pass that began inside the payload end in the guard byte at most.
      finishItem();
      if (produced >= outLength) return 0;
      itemRepeats = false;
    } else {
      // Three bits; after 7 up to five more, one more class for each 1 bit, ending at a 0 bit.
      const std::uint64_t peek = br.Peek();
      int m = static_cast<int>(peek >> (64 - kClassesRead));
      if (m == 7) {
        const int ones = std::min(std::countl_one(peek << kClassesRead), kClassStep - 7);
        m += ones;
        br.Skip(kClassesRead + (m < kClassStep ? ones + 1 : ones));
        if (m == kClassStep) {
          // A half step of the reference range.
          if (half == 1) {
            half = 0;
          } else {
            half = 1;
            if (++k > kMaxK) return kDc8Corrupted;
          }
          setRange();
          continue;
        }
        if (m <= kClassLength88) {
          const std::uint32_t length = ReadLength(br, m);
          // Lengthens the current item, and the phrase made last with it unless the item is
          // a repeat or came after leaving literal mode.
          if (source < 0) return kDc8Corrupted;
          if (produced + 1 + pending + length > outLength) return kDc8Corrupted;
          pending += length;
          if (!itemRepeats && !escape) {
            if (!haveMade) return kDc8Corrupted;
            Dc8Phrase& made = list[madeSlot];
            const std::uint32_t grown = made.length + length - 1;
            if (made.position + static_cast<std::int64_t>(grown) > outLength)
              return kDc8Corrupted;
            made.length = static_cast<std::uint16_t>(grown);
          }
          itemRepeats = false;
          escape = false;
          continue;
        }
      } else {
        br.Skip(kClassesRead);
      }
      finishItem();
      if (produced >= outLength) return 0;
      itemRepeats = false;
      if (m == kClassRepeat && produced >= 1 && outLength - produced >= 2 && br.Bit()) {
        repeatRequest = true;
        escape = false;
        v = 0xFFFFFFFFu;
      } else {
        v = valueTop[m] + br.ReadUpTo32(valueBits[m]);
        if (escape) {
          v += static_cast<std::uint32_t>(l);
          escape = false;
        }
      }
    }

    // One item whose first byte goes to produced.
    const std::int64_t at = produced;
    if (v <= static_cast<std::uint32_t>(l)) {
      const auto index = static_cast<std::uint8_t>(v);  // l never passes 255
      const std::uint8_t entry = MoveToFront(mtf, index);
      if (index > kLiteralSwitchIndex) literal = true;
      v = entry;
      if (v == 0 && raw < kMaxRawBytes) {
        // A new byte in 8 raw bits: a bucket entry for its high nibble (P[0] for the 16th),
        // then its own entry.
        const auto b = static_cast<std::uint8_t>(br.Read(8));
        out[at] = b;
        source = -1;
        const int h = b >> 4;
        if (raw >= kMaxRawBytes - 1) {
          positions[0] = known(at);
          bucket[h] = 0;
        } else {
          if (l >= kMaxPositions) return kDc8Corrupted;
          positions[++l] = known(at);
          bucket[h] = static_cast<std::uint16_t>(l);
        }
        ++raw;
        ++nibbleCount[h];
        if (l >= kMaxPositions) return kDc8Corrupted;
        positions[++l] = known(at);
        widen();
        continue;
      }
    }
    std::uint32_t itemLength = 1;
    std::int64_t usedIndex = 0;
    if (v > static_cast<std::uint32_t>(l)) {
      std::uint32_t slot;
      if (repeatRequest) {
        if (!haveUsed) return kDc8Corrupted;
        itemRepeats = true;
        slot = usedSlot;
      } else {
        usedIndex = l + static_cast<std::int64_t>(listCount) - static_cast<std::int64_t>(v);
        if (usedIndex < 1 || usedIndex >= listCount) return kDc8Corrupted;
        slot = static_cast<std::uint32_t>(usedIndex);
      }
      const Dc8Phrase used = list[slot];
      itemLength = used.length;
      if (at + itemLength > outLength) return kDc8Corrupted;
      // The whole phrase now; a length code continues from its end.
      CopyForward(out, outSize, static_cast<std::size_t>(at), used.position, itemLength);
      source = used.position + itemLength - 1;
      pending = itemLength - 1;
      copied = pending;
      usedSlot = slot;
      haveUsed = true;
    } else {
      source = positions[v] & 0xFFFF;
      const auto b = static_cast<std::uint8_t>(positions[v] >> 16);
      out[at] = b;
      const int h = b >> 4;
      if (bucket[h] == v) {
        // A new byte sent as its nibble's bucket and the low nibble; the 16th of a nibble
        // takes the bucket's entry over.
        out[at] = static_cast<std::uint8_t>((b & 0xF0) | br.Read(4));
        source = -1;
        if (nibbleCount[h] >= kNibbleBytes - 1) {
          positions[bucket[h]] = known(at);
          bucket[h] = kNoBucket;
          continue;
        }
        if (l >= kMaxPositions) return kDc8Corrupted;
        positions[++l] = known(at);
        ++nibbleCount[h];
        widen();
        continue;
      }
    }
    if (at + itemLength < outLength && !literal && !itemRepeats) {
      // A new phrase: the item and one byte more. A used phrase moves to the end of the list
      // and the new one takes its entry; a phrase of one byte is appended.
      if (listCount >= static_cast<std::uint32_t>(kDc8MaxPhrases)) return kDc8Corrupted;
      const Dc8Phrase made{static_cast<std::uint16_t>(at), static_cast<std::uint16_t>(itemLength + 1)};
      if (itemLength == 1) {
        madeSlot = listCount;
      } else {
        list[listCount] = list[usedIndex];
        usedSlot = listCount;
        madeSlot = static_cast<std::uint32_t>(usedIndex);
      }
      list[madeSlot] = made;
      ++listCount;
      haveMade = true;
    }
  }
  finishItem();
  return produced == outLength ? 0 : kDc8Corrupted;
}

}  // namespace dc8
