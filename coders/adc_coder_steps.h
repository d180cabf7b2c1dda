// Steps of the ADC coder shared by its main loop and its search tables. The coder runs the
// decoder's model (rank table, prediction table, phrase list, classes, flags) in step with it,
// so every helper here changes that model exactly as the decoder will.
#pragma once
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "coders/adc_coder_state.h"

namespace adc {

// Table keys. All arithmetic is unsigned 32-bit; none of them reaches slot 32,768.
constexpr std::uint32_t pairKey(std::uint8_t b0, std::uint8_t b1) {
  return ((b0 & 0x7Fu) << 8) + b1;
}
constexpr std::uint32_t tripleKey(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  return ((std::uint32_t{b0} << 23) + (std::uint32_t{b1} << 15) + (std::uint32_t{b2} << 7)) %
         32749u;
}
constexpr std::uint32_t endKey(std::uint32_t offsetPastMatch) {
  return (offsetPastMatch * 8u) & 0x7FF8u;
}
constexpr std::uint32_t childKey(std::uint32_t length, std::uint32_t offset, std::uint8_t next) {
  return ((((length & 0xFFu) << 24) + (offset << 8) + next) % 16381u) * 2u + 1u;
}

inline constexpr std::uint32_t kPairProbeStep = 113;
inline constexpr int kPairProbes = 5;
inline constexpr std::uint32_t kSearchStep = 23;
inline constexpr int kSearchBudget = 31;

// An entry made by a phrase reference keeps its length, which is always below its offset; an
// entry made by a literal keeps the offset its pair was last seen at, never below its offset.
inline bool isReferenceEntry(const Phrase& e) { return e.second < e.offset; }

// The decoder takes a prediction at x when the table entry of x ends at or after x.
// Both tests are cheap and the slot is always readable, so they make one branch, not two.
inline bool predicted(const CoderState& c, std::int32_t x) {
  return (x < static_cast<std::int32_t>(c.horizon)) &
         (c.predictions[static_cast<std::uint32_t>(x) & kPredictionMask].end >=
          static_cast<std::uint32_t>(x));
}

inline bool threeEqual(const std::uint8_t* at) { return at[0] == at[1] && at[1] == at[2]; }
inline bool samePair(const std::uint8_t* a, const std::uint8_t* b) {
  std::uint16_t x;
  std::uint16_t y;
  std::memcpy(&x, a, 2);
  std::memcpy(&y, b, 2);
  return x == y;
}

// Number of equal bytes at a and b, at most max; reads no byte at or past a + max, b + max.
// 32 bytes a test while they lie within max: most matches end inside the first block, so one
// well-predicted exit serves them.
inline std::int32_t countEqual(const std::uint8_t* a, const std::uint8_t* b, std::int32_t max) {
  std::int32_t n = 0;
#if defined(__SSE2__)
  while (n + 32 <= max) {
    const auto load = [](const std::uint8_t* at) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    const auto low = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(load(a + n), load(b + n))));
    const auto high = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(load(a + n + 16), load(b + n + 16))));
    const std::uint32_t differ = ~(low | high << 16);
    if (differ != 0) return n + __builtin_ctz(differ);
    n += 32;
  }
#endif
  while (n + 8 <= max) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + (__builtin_ctzll(x ^ y) >> 3);
    n += 8;
  }
  while (n < max && a[n] == b[n]) ++n;
  return n;
}

// The bits wait at the top of bitAccu, bitCount of them (below 32 between calls). Every call
// stores the word at the top, complete or not, while the room allows: a word stored before it
// is complete is stored again once it is, so no branch hangs on when a word completes. stored
// counts the complete words even past the room; the coder gives up once it reaches the room.
// 1 <= bits <= 31, and value has no bits above them.
inline void putBits(CoderState& c, std::uint32_t value, unsigned bits) {
  c.bitAccu |= std::uint64_t{value} << (64 - c.bitCount - bits);
  c.bitCount += bits;
  if (c.stored < c.room) {
    const std::uint32_t word = __builtin_bswap32(static_cast<std::uint32_t>(c.bitAccu >> 32));
    std::memcpy(c.out + c.stored, &word, 4);
  }
  const unsigned complete = c.bitCount >> 5;
  c.bitAccu <<= 32 * complete;
  c.bitCount -= 32 * complete;
  c.stored += 4 * complete;
}

inline bool outputFull(const CoderState& c) { return c.stored >= c.room; }

inline void advanceEntry(CoderState& c) {
  c.nextEntry = static_cast<std::uint16_t>((c.nextEntry + 1) & kPhraseMask);
  if (c.nextEntry == 0) ++c.counts.entryWraps;
}

// Pair lookup at the cursor. Empty: the pair's slot is free; Homonym: another pair or a phrase
// entry holds the slot (or the probing stopped); Found: foundEntry starts with the pair; End:
// the cursor has passed the limit on a filled slot; GiveUp: the input does not compress.
enum class PairResult { Empty, Homonym, Found, End, GiveUp };
PairResult pairLookup(CoderState& c);

// A new literal entry for the byte at the cursor in the found slot; the cursor moves on.
void enterLiteral(CoderState& c);
// Moves the phrase entry of the found slot to the first free slot of its relocation sequence.
void relocateSlotEntry(CoderState& c);
// Finds the phrase to reference at the cursor (match, sought, foundEntry, taken, slots).
void searchPhrase(CoderState& c);
// Enters the longer phrase after a reference from q (the cursor before it).
void updatePhrases(CoderState& c, std::int32_t q);
// Whether the reference to the entry at offset o, length n, match g may be written in the
// run form; z is then the last byte it covers.
bool runFormHolds(const CoderState& c, std::int32_t o, std::int32_t n, std::int32_t g,
                  std::int32_t& z);

}  // namespace adc
