// The ADC coder's search tables: the pair hash table shared by byte pairs and phrase keys, the
// pair lookup, the phrase search and the phrase-list updates. The decoder keeps no such table;
// it only sees the phrase-list changes, which happen here at the moments it makes them.
#include <cstring>

#include "coders/adc_coder_steps.h"

namespace adc {

PairResult pairLookup(CoderState& c) {
  const std::uint8_t* at = c.in + c.p;
  std::uint32_t slot = pairKey(at[0], at[1]);
  std::uint16_t e = c.pairTable[slot];
  c.foundSlot = slot;
  c.slotEntry = e;
  if (e == 0) return PairResult::Empty;
  if (c.p > c.limit) return PairResult::End;
  c.foundEntry = e;
  if (isReferenceEntry(c.phrases[e])) return PairResult::Homonym;
  if (samePair(c.in + c.phrases[e].offset, at)) return PairResult::Found;
  for (int probe = 0; probe < kPairProbes; ++probe) {
    slot += kPairProbeStep;
    e = c.pairTable[slot];
    c.foundSlot = slot;
    c.slotEntry = e;
    if (e == 0 || isReferenceEntry(c.phrases[e])) return PairResult::Homonym;
    if (samePair(c.in + c.phrases[e].offset, at)) {
      c.foundEntry = e;
      return PairResult::Found;
    }
  }
  // Five other pairs in a row: past 16 KB of input that has not shrunk, coding is not worth it.
  if (c.p > 16383 && c.stored > static_cast<std::uint32_t>(c.p)) return PairResult::GiveUp;
  return PairResult::Homonym;
}

void enterLiteral(CoderState& c) {
  c.runOpen = 0xFF;
  const std::uint16_t entry = c.nextEntry;
  c.pairTable[c.foundSlot] = entry;
  const auto at = static_cast<std::uint16_t>(c.p);
  c.phrases[entry] = {at, at};
  advanceEntry(c);
  ++c.p;
}

void relocateSlotEntry(CoderState& c) {
  ++c.counts.relocations;
  std::uint32_t slot = c.foundSlot;
  for (int i = 0; i < kSearchBudget; ++i) {
    slot += kSearchStep;
    if (c.pairTable[slot] == 0) {
      c.pairTable[slot] = c.slotEntry;
      return;
    }
  }
  // All taken: the table loses the entry; the phrase list keeps it.
}

void searchPhrase(CoderState& c) {
  const std::int32_t p = c.p;
  const std::int32_t w = c.end - p;
  const std::uint8_t* in = c.in;
  c.taken = false;
  if (predicted(c, p + 2)) {  // the decoder leaves the phrase after the pair
    c.match = 2;
    c.sought = 3;
    return;
  }
  const std::int32_t o0 = c.phrases[c.foundEntry].offset;
  if (in[o0 + 2] == in[p + 2]) {
    c.match = c.sought = countEqual(in + o0 + 2, in + p + 2, w - 2) + 2;
    c.keySlot = endKey(static_cast<std::uint32_t>(o0 + c.match));
  } else {
    c.match = 2;
    c.sought = 3;
    c.keySlot = tripleKey(in[p], in[p + 1], in[p + 2]);
  }
  int budget = kSearchBudget;
  std::uint16_t e = c.pairTable[c.keySlot];
  while (e != 0 && budget > 0) {
    const Phrase ph = c.phrases[e];
    if (ph.second == static_cast<std::uint16_t>(c.sought)) {
      const std::int32_t m = countEqual(in + ph.offset, in + p, w);
      if (m >= c.sought && isReferenceEntry(ph)) {
        c.foundEntry = e;
        c.taken = true;
        c.foundSlot = c.keySlot;
        if (predicted(c, p + c.sought)) {
          c.match = c.sought;
          return;
        }
        if (m == c.sought) {
          c.match = m;
          c.sought = m + 1;
          c.keySlot = childKey(ph.second, ph.offset, in[p + m]);
        } else {
          c.match = c.sought = m;
          c.keySlot = endKey(static_cast<std::uint32_t>(ph.offset + m));
        }
        budget = kSearchBudget;
        e = c.pairTable[c.keySlot];
        continue;
      }
    }
    c.keySlot += kSearchStep;
    e = c.pairTable[c.keySlot];
    --budget;
  }
}

void updatePhrases(CoderState& c, std::int32_t q) {
  const std::uint16_t h = c.foundEntry;
  const std::uint16_t next = c.nextEntry;
  c.phrases[next] = c.phrases[h];
  c.phrases[h] = {static_cast<std::uint16_t>(q), static_cast<std::uint16_t>(c.sought)};
  c.pairTable[c.foundSlot] = next;
  c.pairTable[c.keySlot] = h;
  advanceEntry(c);
}

bool runFormHolds(const CoderState& c, std::int32_t o, std::int32_t n, std::int32_t g,
                  std::int32_t& z) {
  const std::uint8_t* in = c.in;
  const std::int32_t p = c.p;
  const auto r = static_cast<std::int32_t>(c.lastDistance);
  const std::int32_t last = p + g - 1;
  if (!threeEqual(in + last - 2)) return false;
  const std::uint8_t ch = in[last];
  // The sentinel's first byte differs from the last input byte, so the run stops inside.
  z = last;
  while (in[z + 1] == ch) ++z;
  if (z - p + 1 >= r) return false;   // the decoder's second part must lie before the cursor
  if (o >= p - r) return false;
  const std::int32_t zr = z - r;
  if (zr < 2 || in[zr] == in[zr + 1] || in[zr - 2] != ch || in[zr - 1] != ch || in[zr] != ch)
    return false;
  std::int32_t t = p + n;
  while (!threeEqual(in + t)) ++t;  // stops at last - 2 at the latest
  for (std::int32_t x = t; x < last; ++x)
    if (in[x] != ch) return false;
  std::int32_t u = t - r;
  while (!(in[u] == ch && threeEqual(in + u))) ++u;  // stops at zr - 2 at the latest
  for (std::int32_t x = u; x <= zr; ++x)
    if (in[x] != ch) return false;
  return true;
}

}  // namespace adc
