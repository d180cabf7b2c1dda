// The ADC coder: writes the token stream that the ADC decoder reads, position by position,
// keeping the decoder's model in step so that every token means to it what it meant here.
#include "coders/adc_coder.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "coders/adc_coder_steps.h"
#include "coders/adc_context.h"

namespace adc {
namespace {

inline constexpr std::uint32_t kRankUpdateCap = 2047;
inline constexpr std::uint32_t kNarrowWideLimit = 16;
inline constexpr std::int32_t kNoLead = -1;

// Borrows the 4 bytes behind the input for the sentinel and gives them back on every return.
class Sentinel {
 public:
  Sentinel(std::uint8_t* end, std::uint8_t lastByte, std::uint8_t (&saved)[4])
      : end_(end), saved_(saved) {
    std::memcpy(saved_, end, 4);
    const std::uint8_t a = lastByte == 0xBA ? 0xAB : 0xBA;
    const std::uint8_t b = lastByte == 0xBA ? 0xBA : 0xAB;
    end[0] = a;
    end[1] = b;
    end[2] = a;
    end[3] = b;
  }
  ~Sentinel() { std::memcpy(end_, saved_, 4); }
  Sentinel(const Sentinel&) = delete;
  Sentinel& operator=(const Sentinel&) = delete;

 private:
  std::uint8_t* end_;
  std::uint8_t (&saved_)[4];
};

// The first value past each reference class, for the class search.
void setClassEnds(CoderState& c) {
  std::uint32_t end = 0;
  for (int i = 0; i < kClasses; ++i) c.classEnd[i] = end += c.classSize[i];
}

void updateLastDistance(CoderState& c, std::uint32_t d) {
  if (d > 7 || d > c.lastDistance) c.lastDistance = d;
}

// The decoder's rank move after a literal of rank r, the n-th of its run.
void rankUpdate(CoderState& c, std::uint32_t r, std::uint32_t n) {
  std::uint32_t s = 0;
  if (n <= 5) {
    if (r > 15) s = r <= 23 ? r : (c.rankUpdates <= kRankUpdateCap ? r / 2 : r / 4);
    if (c.rankUpdates <= kRankUpdateCap) ++c.rankUpdates;
  } else if (c.rankUpdates <= kRankUpdateCap) {
    ++c.rankUpdates;
    if (r > 15) s = r <= 23 ? r : r / 2;
  }
  if (s == 0) return;
  // The byte of rank r sits at 255 - r; ranks r - s .. r - 1 each move down one rank.
  const std::uint32_t at = 255 - r;
  const std::uint8_t byte = c.ranks[at];
  std::memmove(c.ranks + at, c.ranks + at + 1, s);
  c.ranks[at + s] = byte;
}

// The current rank of byte b. The table is a permutation, so the byte is there; the search
// starts at rank 0, where most literals are found.
std::uint32_t rankOf(const CoderState& c, std::uint8_t b) {
#if defined(__SSE2__)
  const __m128i v = _mm_set1_epi8(static_cast<char>(b));
  for (std::uint32_t at = 240;; at -= 16) {
    const auto hit = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c.ranks + at)), v)));
    if (hit != 0) return 255 - (at + static_cast<std::uint32_t>(__builtin_ctz(hit)));
  }
#else
  std::uint32_t at = 255;
  while (c.ranks[at] != b) --at;
  return 255 - at;
#endif
}

// Literal codes. The codes of the first five literals of a run begin with the 0 that ends the
// run's prefix or continues the run; those of the later ones do not.
void putLiteral(CoderState& c, std::uint32_t r, bool narrow, bool early) {
  std::uint32_t value;
  unsigned bits;
  if (narrow && r < 32) {
    value = r < 16 ? 16 + r : r;
    bits = (r < 16 ? 6 : 7) - (early ? 0 : 1);
  } else {
    if (r < 32) {
      value = 32 + r;
      bits = 7;
    } else if (r < 64) {
      value = r;
      bits = 8;
    } else if (r < 128) {
      value = r;
      bits = 10;
    } else {
      value = early ? r - 128 : r;
      bits = 11;
    }
    if (!early && r < 128) --bits;
    if (narrow) ++bits;  // a leading 0 tells the wide ranks apart
  }
  putBits(c, value, bits);
}

void putPrefixCount(CoderState& c, std::uint32_t e) {  // extension count of a reference
  if (e < 4) putBits(c, e - 2, 2);
  else if (e < 8) putBits(c, (0b10u << 2) | (e - 4), 4);
  else if (e < 16) putBits(c, (0b110u << 3) | (e - 8), 6);
  else if (e < 48) putBits(c, (0b1110u << 5) | (e - 16), 9);
  else if (e < 176) putBits(c, (0b11110u << 7) | (e - 48), 12);
  else putBits(c, (0b11111u << 16) | (e - 176), 21);
}

void putChange(CoderState& c, std::uint32_t m) {  // change of a prediction's length
  if (m == 1) putBits(c, 0, 1);
  else if (m < 6) putBits(c, (0b10u << 2) | (m - 2), 4);
  else if (m < 38) putBits(c, (0b110u << 5) | (m - 6), 8);
  else putBits(c, (0b111u << 10) | (m - 38), 13);
}

void putLength(CoderState& c, std::uint32_t len) {
  if (len == 1) putBits(c, 0, 4);
  else if (len <= 8) putBits(c, len - 1, 4);
  else if (len <= 16) putBits(c, (0b10u << 3) | (len - 9), 5);
  else if (len <= 48) putBits(c, (0b110u << 5) | (len - 17), 8);
  else putBits(c, (0b111u << 10) | (len - 49), 13);
}

// Registers the prediction the decoder registers: the first 132 offsets of it in the table.
void registerPrediction(CoderState& c, std::uint32_t start, std::uint32_t d, std::uint32_t len) {
  c.horizon = std::max(c.horizon, start + len);
  const std::uint32_t n = std::min(len, kMaxPredictionEntries);
  const Prediction e{start + len - 1, static_cast<std::uint16_t>(d), static_cast<std::uint16_t>(len)};
  // The entries wrap at the table end: two plain runs of stores.
  const std::uint32_t first = start & kPredictionMask;
  const std::uint32_t upto = std::min(n, kPredictionSlots - first);
  std::fill_n(c.predictions + first, upto, e);
  std::fill_n(c.predictions, n - upto, e);
  c.afterRun = 0;
}

}  // namespace

// Writes the literal run waiting from the token start to the cursor. atPrediction: the decoder
// leaves the run at the predicted cursor, so neither end mark nor final continuation bit.
void ADCCNEQU(CoderState& c, bool atPrediction) {
  const std::int32_t n = c.p - c.tokenStart;
  c.runOpen = 0;
  if (n <= 0) return;
  if (c.balance < 1) putBits(c, 1, 1);
  else putBits(c, 3, 2);
  --c.balance;
  bool narrow = c.wideLiterals <= kNarrowWideLimit;
  const std::uint8_t* at = c.in + c.tokenStart;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint32_t r = rankOf(c, at[i]);
    const bool early = i < 5;
    if (i == 5) putBits(c, 0, 1);  // the run goes on past five literals
    putLiteral(c, r, narrow, early);
    if (narrow && r > 95) {
      narrow = false;
      ++c.wideLiterals;
    }
    rankUpdate(c, r, static_cast<std::uint32_t>(i + 1));
  }
  if (!atPrediction) {
    if (n <= 5) putBits(c, 1, 1);
    else putBits(c, 0, narrow ? 5 : 4);
    c.afterRun = 0xFF;
  }
  c.afterPrediction = 0;
}

namespace {

// Most tokens find no run waiting: that test stays in the caller.
inline void writeWaitingRun(CoderState& c) {
  if (c.p > c.tokenStart) ADCCNEQU(c, false);
  else c.runOpen = 0;
}

}  // namespace

// Disturbance byte before a prediction, or a lead byte before a repeat copy.
void ADCCSTOE(CoderState& c) {
  c.afterPrediction = 0xFF;
  c.lead = kNoLead;
  const std::int32_t p = c.p;
  const bool here = predicted(c, p);
  const bool nextOne = predicted(c, p + 1);
  if (!here && nextOne) {
    const std::uint8_t b =
        c.in[p - static_cast<std::int32_t>(c.predictions[(p + 1) & kPredictionMask].distance)];
    const std::uint8_t x = c.in[p];
    if (x == static_cast<std::uint8_t>(b + 1)) putBits(c, 0, 1);
    else if ((x >> 4) == (b >> 4)) putBits(c, (0b10u << 4) | (x & 15u), 6);
    else putBits(c, (0b11u << 8) | x, 10);
    ++c.counts.disturbances;
    ++c.p;
  } else if (!here && !nextOne) {
    const auto r = static_cast<std::int32_t>(c.lastDistance);
    const std::uint8_t* in = c.in;
    const std::int32_t q = p + 1;
    if (p - r >= 0 && q + r <= c.limit && samePair(in + q - r, in + q) &&
        samePair(in + q + r, in + q)) {
      const std::uint8_t b = in[p - r];
      const std::uint8_t x = in[p];
      if (x != b) {
        if (x == static_cast<std::uint8_t>(b + 1)) c.lead = 0;
        else if ((x >> 4) == (b >> 4)) c.lead = 0x10 | (x & 15);
        if (c.lead != kNoLead) ++c.p;
      }
    }
  }
  c.runOpen = 0;
  c.tokenStart = c.p;
}

// A copy of len bytes from distance d at the cursor, with the prediction it registers.
void ADCCVOR(CoderState& c, std::uint32_t d, std::uint32_t len) {
  if (c.afterRun) putBits(c, 0b110, 3);
  else putBits(c, 0b1110, 4);
  const bool repeat = d == c.lastDistance || len == 1;
  if (repeat) putBits(c, 0, 1);
  else {
    putBits(c, (0b11u << 10) | d, 12);
    c.afterPrediction = 0;
  }
  putLength(c, len);
  if (len == 1) c.afterPrediction = 0;
  updateLastDistance(c, d);
  if (c.afterPrediction) {  // the decoder reads a lead-byte code here
    if (c.lead == kNoLead) putBits(c, 1, 1);
    else if (c.lead == 0) putBits(c, 0, 2);
    else putBits(c, (0b01u << 4) | static_cast<std::uint32_t>(c.lead & 15), 6);
    if (c.lead != kNoLead) ++c.counts.leadBytes;
    c.afterPrediction = 0;
  }
  c.lead = kNoLead;
  registerPrediction(c, static_cast<std::uint32_t>(c.p) + d, d, len);
}

// A phrase reference at the cursor: search, write, update.
void ADCCKONN(CoderState& c) {
  searchPhrase(c);
  const std::uint16_t h = c.foundEntry;
  const std::int32_t n = c.taken ? c.phrases[h].second : 2;
  const std::int32_t g = c.match;
  // The value, 1 to 16,384, and its class: the number of classes that end at or below it.
  const std::uint32_t k = ((c.nextEntry - h - 1u) & kPhraseMask) + 1u;
  std::uint32_t cls = 0;
  for (int i = 0; i < kClasses; ++i) cls += k >= c.classEnd[i] ? 1u : 0u;
  const bool escape = cls == kClasses;
  std::uint32_t v;
  if (escape) {
    // Grow classes until the value fits; it then lies in class 7.
    std::uint32_t total = c.classEnd[kClasses - 1];  // the sum of all sizes
    while (k >= total) {
      putBits(c, 0, 1u + c.classBits[0]);
      const std::uint16_t gc = c.growthClass;
      total += c.classSize[gc];
      c.classSize[gc] = static_cast<std::uint16_t>(c.classSize[gc] * 2);
      c.classCode[gc] = static_cast<std::uint16_t>(c.classCode[gc] * 2);
      ++c.classBits[gc];
      c.growthClass = stab[gc];
      ++c.counts.classGrowths;
    }
    v = k - (total - c.classSize[7]);
    setClassEnds(c);
  } else {
    v = k - (c.classEnd[cls] - c.classSize[cls]);
  }
  writeWaitingRun(c);
  const std::int32_t extension = g - n;
  const std::int32_t q = c.p;
  std::int32_t z = 0;
  const bool belowHorizon = q < static_cast<std::int32_t>(c.horizon);
  const bool runForm =
      extension >= 6 && belowHorizon && runFormHolds(c, c.phrases[h].offset, n, g, z);
  if (extension == 0) {
    putBits(c, 0, 1);
  } else if (extension == 1) {
    if (c.afterRun) putBits(c, 0b111, 3);
    else putBits(c, 0b1111, 4);
  } else {
    if (c.balance > 0 || c.afterRun) putBits(c, 0b10, 2);
    else putBits(c, 0b110, 3);
    ++c.balance;
    std::uint32_t e = static_cast<std::uint32_t>(extension);
    if (runForm) e = 2;
    else if (belowHorizon) ++e;
    putPrefixCount(c, e);
  }
  if (escape) {
    const unsigned w7 = c.classBits[7] - 4u;
    if (extension == 0) putBits(c, (1u << w7) | v, w7 + 1);
    else putBits(c, v, w7);
  } else {
    putBits(c, c.classCode[cls] + v, c.classBits[cls]);
  }
  c.afterRun = 0;
  c.afterPrediction = 0;
  if (runForm) {
    ++c.counts.runForms;
    c.p = z + 1;
  } else {
    c.p = q + g;
  }
  c.tokenStart = c.p;
  if (runForm || (extension == 0 && predicted(c, c.p)) || c.sought >= q) return;
  updatePhrases(c, q);
}

namespace {

bool periodTwo(const CoderState& c) {
  const std::int32_t p = c.p;
  const std::uint8_t* in = c.in;
  if (p + 6 > c.limit || !c.runOpen || p - c.tokenStart < 2) return false;
  const std::uint8_t x = in[p];
  if (in[p - 2] != x || in[p + 2] != x || in[p + 4] != x || in[p + 6] != x) return false;
  return !threeEqual(in + p + 1) && !threeEqual(in + p + 3) && !threeEqual(in + p + 5);
}

void periodTwoCopy(CoderState& c) {
  writeWaitingRun(c);
  ADCCVOR(c, 2, 1);
  ++c.p;
  ADCCSTOE(c);
}

// Main loop step 1: the decoder takes the prediction at the cursor.
void takePrediction(CoderState& c) {
  const Prediction e = c.predictions[static_cast<std::uint32_t>(c.p) & kPredictionMask];
  updateLastDistance(c, e.distance);
  if (c.runOpen) {
    ADCCNEQU(c, true);
    // The decoder withdraws the phrase of the run's last literal.
    c.nextEntry = static_cast<std::uint16_t>((c.nextEntry - 1) & kPhraseMask);
    c.pairTable[c.foundSlot] = 0;
  }
  c.afterRun = 0;
  const auto d = static_cast<std::int32_t>(e.distance);
  const auto len = static_cast<std::int32_t>(e.length);
  const auto stop = static_cast<std::int32_t>(e.end) + 1;
  c.p = stop;
  const std::int32_t k = stop - len;  // first byte of the period just predicted
  const std::uint8_t* in = c.in;
  bool carried = false;
  if (stop + d <= c.limit) {
    const std::int32_t i = countEqual(in + k, in + k + d, std::min(d, c.end - (k + d)));
    const std::int32_t a = k + d;
    if (i >= 1 && 2 * i >= len && (i > 2 || !threeEqual(in + a + i - 2))) {
      std::int32_t next = len;
      if (i < len) {
        putBits(c, 0b011, 3);
        putChange(c, static_cast<std::uint32_t>(len - i));
        next = i;
      } else if (i > len && d + std::min(i, 132) - len <= 1023 && k + 2 * d + i - 1 <= c.end &&
                 std::memcmp(in + k, in + k + 2 * d, static_cast<std::size_t>(i)) == 0) {
        putBits(c, 0b010, 3);
        putChange(c, static_cast<std::uint32_t>(i - len));
        next = i;
      } else {
        putBits(c, 1, 1);
      }
      registerPrediction(c, static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(d),
                         static_cast<std::uint32_t>(next));
      ++c.counts.continuations;
      carried = true;
    }
  }
  if (!carried) putBits(c, 0, 2);
  ADCCSTOE(c);
}

// Main loop step 2: a copy from the last distance. Returns whether one was written.
bool repeatCopy(CoderState& c) {
  const std::int32_t p = c.p;
  const auto r = static_cast<std::int32_t>(c.lastDistance);
  const std::uint8_t* in = c.in;
  if (p - r < 0 || p + r > c.limit || !samePair(in + p - r, in + p) ||
      !samePair(in + p + r, in + p))
    return false;
  const std::int32_t agree = countEqual(in + p - r, in + p, r);
  if (agree == r) return false;  // a copy must stay shorter than its distance
  const std::int32_t len =
      std::min(agree, countEqual(in + p + r, in + p, std::min(agree, c.end - (p + r))));
  writeWaitingRun(c);
  ADCCVOR(c, static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(len));
  c.p += len;
  ADCCSTOE(c);
  return true;
}

// A pair found at s earlier: a copy from there when the stretch recurs once more.
bool pairCopy(CoderState& c) {
  Phrase& found = c.phrases[c.foundEntry];
  const std::int32_t p = c.p;
  const std::int32_t s = found.second;
  found.second = static_cast<std::uint16_t>(p);
  const std::int32_t x = (p - s) & 0xFFFF;
  const std::uint8_t* in = c.in;
  if (x > 1023 || p + 2 * x > c.limit || !samePair(in + p + x, in + p) ||
      !samePair(in + p + 2 * x, in + p))
    return false;
  if (p < static_cast<std::int32_t>(c.horizon) && p + x >= static_cast<std::int32_t>(c.horizon))
    return false;
  if (threeEqual(in + p) || threeEqual(in + p + x) || threeEqual(in + s)) return false;
  const std::int32_t agree = countEqual(in + s, in + p, x);
  if (agree >= x) return false;
  const std::int32_t len = countEqual(in + p + x, in + p, agree);
  writeWaitingRun(c);
  ADCCVOR(c, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(len));
  c.p += len;
  ADCCSTOE(c);
  return true;
}

void reset(CoderState& c) {
  // The phrase list is not cleared: an entry is read only through the pair table or the search
  // state, which hold only entries made for this input.
  std::memset(c.pairTable, 0, sizeof c.pairTable);
  std::memset(c.predictions, 0, sizeof c.predictions);
  std::copy(ctab.begin(), ctab.end(), c.ranks);
  for (int i = 0; i < kClasses; ++i) {
    c.classSize[i] = kStartClassSize;
    c.classCode[i] = kStartClassCode[static_cast<std::size_t>(i)];
    c.classBits[i] = kStartClassBits[static_cast<std::size_t>(i)];
  }
  setClassEnds(c);
  c.growthClass = kStartGrowthClass;
  c.nextEntry = 1;
  c.lastDistance = 1;
  c.distance = 1;
  c.horizon = 0;
  c.balance = 0;
  c.wideLiterals = 0;
  c.rankUpdates = 0;
  c.stored = 0;
  c.bitAccu = 0;
  c.bitCount = 0;
  c.runOpen = 0;
  c.afterRun = 0;
  c.afterPrediction = 0;
  c.lead = kNoLead;
  c.foundEntry = c.slotEntry = 0;
  c.foundSlot = c.keySlot = 0;
  c.sought = c.match = 0;
  c.taken = false;
}

}  // namespace

// A copy of one byte from distance 2 where every other byte repeats, or a new literal.
void HOMONYM1(CoderState& c) {
  if (periodTwo(c)) {
    periodTwoCopy(c);
    return;
  }
  if (c.slotEntry != 0 && isReferenceEntry(c.phrases[c.slotEntry])) relocateSlotEntry(c);
  enterLiteral(c);
}

std::int32_t encode(CoderState& c, std::uint8_t* input, std::int32_t length, std::uint8_t* output,
                    std::uint32_t room) {
  if (length <= 0) return 0;
  if (length > static_cast<std::int32_t>(kMaxStream)) return -1;  // offsets are 16-bit
  Sentinel sentinel(input + length, input[length - 1], c.savedTail);
  reset(c);
  c.in = input;
  c.end = length;
  c.limit = length - 3;
  c.out = output;
  c.room = room;
  putBits(c, input[0], 8);
  c.p = 1;
  c.tokenStart = 1;
  if (length > 1) {
    c.pairTable[pairKey(input[0], input[1])] = 1;
    c.phrases[1] = {0, 0};
    c.nextEntry = 2;
  }
  // Past the input end nothing more is written: bytes the sentinel joins only end the loop.
  while (c.p < length) {
    if (outputFull(c)) {
      ++c.counts.giveUps;
      return -1;
    }
    if (predicted(c, c.p)) {
      takePrediction(c);
      continue;
    }
    if (repeatCopy(c)) continue;
    if (c.lead != kNoLead) {  // the lead byte goes back to the input
      c.lead = kNoLead;
      --c.p;
      c.tokenStart = c.p;
    }
    const PairResult found = pairLookup(c);
    if (found == PairResult::End) break;
    if (found == PairResult::GiveUp) {
      ++c.counts.giveUps;
      return -1;
    }
    if (found == PairResult::Empty) {
      if (periodTwo(c)) periodTwoCopy(c);
      else enterLiteral(c);
    } else if (found == PairResult::Homonym) {
      HOMONYM1(c);
    } else if (!pairCopy(c)) {
      ADCCKONN(c);
    }
  }
  c.p = length;
  if (c.tokenStart < length) ADCCNEQU(c, false);
  // End code: a reference with extension 1 and value 0.
  if (c.afterRun) putBits(c, 0b111, 3);
  else putBits(c, 0b1111, 4);
  putBits(c, 0, c.classBits[0]);
  // The last word goes out with its free bits zero; only its used bytes count.
  if (outputFull(c)) {
    ++c.counts.giveUps;
    return -1;
  }
  std::uint32_t size = c.stored;
  if (c.bitCount > 0) {
    const std::uint32_t freeBits = 32 - c.bitCount;
    putBits(c, 0, freeBits);  // stored was below room, so this word is written
    size = c.stored - freeBits / 8;
  }
  if (size >= room) {
    ++c.counts.giveUps;
    return -1;
  }
  return static_cast<std::int32_t>(size);
}

}  // namespace adc

void trqadcc(AdcContext*& slot, std::uint8_t* input, const std::int32_t& inputLength,
             std::uint8_t* output, std::int32_t& outputLength, std::uint32_t room) {
  if (slot == nullptr || slot->self != slot) return;
  const std::int32_t coded = adc::encode(slot->coder, input, inputLength, output, room);
  outputLength = coded < 0 ? inputLength : coded;
}
