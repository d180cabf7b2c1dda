// The ADC code decoder. Every bit it reads lies in the input, every byte it writes lies in the
// room, and every byte it copies has been written already: a stream that would break any of
// these is damaged and ends with 60.
#include "coders/adc_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "coders/adc_bit_reader.h"
#include "nuc/byte_copy.h"

namespace adc {
namespace {

constexpr std::int32_t kCorrupt = 60;
constexpr std::uint32_t kRankUpdateLimit = 2047;
#define TORQ_HOT [[gnu::always_inline]] inline

class Decoder {
 public:
  Decoder(DecoderState& s, const std::uint8_t* in, std::uint32_t len, std::uint8_t* out,
          std::uint32_t room)
      : s_(s), bits_(in, len), out_(out), room_(room) {}

  TORQ_HOT DecodeResult Run();

 private:
  // Each step returns false once the stream has shown itself damaged. The ADCD steps: KOVN
  // extension count, KONN phrase value and reference, UNGL literal phrases, VORM copy, VOR
  // registering a prediction, VORR taking one, STOE disturbance byte.
  TORQ_HOT bool Token();
  TORQ_HOT bool LiteralRun();
  TORQ_HOT bool Copy();
  TORQ_HOT bool ADCDVORM(std::uint32_t distance, std::uint32_t length);
  TORQ_HOT bool ADCDKOVN();
  TORQ_HOT bool ADCDKONN(std::int32_t extension);
  TORQ_HOT bool RunForm(std::uint32_t offset, std::uint32_t length);
  TORQ_HOT bool ADCDVORR(PredictionEntry e);
  TORQ_HOT bool ADCDSTOE();
  TORQ_HOT void ADCDVOR(std::uint32_t start, std::uint32_t distance, std::uint32_t length);
  TORQ_HOT void ADCDUNGL(std::uint32_t start, std::uint32_t count);
  TORQ_HOT void UpdateLastDistance(std::uint32_t d) {
    if (d > 7 || d > lastDistance_) lastDistance_ = d;
  }
  TORQ_HOT void AdvanceEntry() {
    nextEntry_ = static_cast<std::uint16_t>((nextEntry_ + 1) & kPhraseMask);
    if (nextEntry_ == 0) wrapped_ = true;
  }
  TORQ_HOT PredictionEntry PredictionAt(std::uint32_t offset) const {
    const std::uint64_t slot = s_.predictions[offset & kPredictionMask];
    const auto high = static_cast<std::uint32_t>(slot >> 32);
    const std::uint32_t length = high >> kSlotDistanceBits;
    if (length == kSlotWideLength) [[unlikely]]
      return s_.widePredictions[offset & kPredictionMask];
    return {static_cast<std::uint32_t>(slot), high & ((1u << kSlotDistanceBits) - 1), length};
  }
  TORQ_HOT bool Predicted(std::uint32_t offset) const {
    return static_cast<std::uint32_t>(s_.predictions[offset & kPredictionMask]) >= offset;
  }
  TORQ_HOT bool Put(std::uint8_t b) {
    if (cursor_ >= room_) return false;
    out_[cursor_++] = b;
    return true;
  }
  // Copies n bytes from `from` to the cursor as if byte by byte, so that an overlapping source
  // repeats the bytes it has just produced.
  TORQ_HOT bool CopyFrom(std::uint32_t from, std::uint32_t n) {
    // Most copies: a source 16 or more bytes back and 64 bytes to spare behind the copy, so
    // whole 16-byte moves may run past its end into bytes written later. The first 64 go
    // without a test, which covers most copies: the loop exit is then seldom taken.
    if (from + 16 <= cursor_ && std::uint64_t{n} + 64 <= room_ - cursor_) {
      std::uint8_t* const d = out_ + cursor_;
      const std::uint8_t* const s = out_ + from;
      cursor_ += n;
      nuc::Copy16(d, s);
      nuc::Copy16(d + 16, s + 16);
      nuc::Copy16(d + 32, s + 32);
      nuc::Copy16(d + 48, s + 48);
      for (std::uint32_t i = 64; i < n; i += 16) nuc::Copy16(d + i, s + i);
      return true;
    }
    if (n == 0) return true;
    if (from >= cursor_ || n > room_ - cursor_) return false;
    std::uint8_t* const d = out_ + cursor_;
    const std::uint8_t* const s = out_ + from;
    const std::uint32_t gap = cursor_ - from;
    cursor_ += n;
    const std::uint32_t slack = room_ - cursor_;
    if (slack >= 16) {
      // Room to spare behind the copy: whole 16- or 8-byte moves that may run past its end
      // into bytes written later. Each move reads only bytes already final. With 32 bytes to
      // spare, the first 32 go without a test, which covers most copies.
      if (gap >= 16) {
        std::uint32_t i = 0;
        if (slack >= 32) {
          nuc::Copy16(d, s);
          nuc::Copy16(d + 16, s + 16);
          i = 32;
        }
        for (; i < n; i += 16) nuc::Copy16(d + i, s + i);
        return true;
      }
      if (gap == 1) {
        const std::uint8_t b = *s;
        std::uint32_t i = 0;
        if (slack >= 32) {
          Fill16(d, b);
          Fill16(d + 16, b);
          i = 32;
        }
        for (; i < n; i += 16) Fill16(d + i, b);
        return true;
      }
      if (gap >= 8) {
        for (std::uint32_t i = 0; i < n; i += 8) Move8(d + i, s + i);
        return true;
      }
    }
    if (gap >= n) {
      nuc::CopyBytes(d, s, n);
    } else if (gap == 1) {
      nuc::FillBytes(d, *s, n);
    } else if (gap >= 8) {
      // Each 8-byte move reads only bytes already final; the last one ends exactly at n.
      std::uint32_t i = 0;
      for (; i + 8 <= n; i += 8) Move8(d + i, s + i);
      if (i < n) Move8(d + n - 8, s + n - 8);
    } else {
      for (std::uint32_t i = 0; i < n; ++i) d[i] = s[i];
    }
    return true;
  }
  static void Fill16(std::uint8_t* d, std::uint8_t b) {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_set1_epi8(static_cast<char>(b)));
#else
    const std::uint64_t w = 0x0101010101010101ULL * b;
    std::memcpy(d, &w, 8);
    std::memcpy(d + 8, &w, 8);
#endif
  }
  static void Move8(std::uint8_t* d, const std::uint8_t* s) {
    std::uint64_t w;
    std::memcpy(&w, s, 8);
    std::memcpy(d, &w, 8);
  }
  void SetSelectors() {
    for (std::uint32_t sel = 0; sel < 16; ++sel) {
      const int c = kSelectorClass[sel];
      const int width = s_.classWidth[c];
      s_.selectorWidth[sel] = static_cast<std::uint8_t>(width);
      s_.selectorBase[sel] = s_.classBase[c] + ((sel - kClassFirstSelector[c]) << width);
    }
  }
  TORQ_HOT std::uint32_t WideCode(std::uint64_t w, int zeros);
  TORQ_HOT std::uint32_t NarrowCode(std::uint64_t w, int zeros, bool& narrow);
  TORQ_HOT std::uint8_t ReadLiteralFirst(bool& narrow);
  // The rank of a further literal; -1 for the end mark, -2 for a damaged code.
  TORQ_HOT std::int32_t ReadLiteralFurther(bool& narrow, std::uint32_t n);
  TORQ_HOT void RankUpdate(std::uint32_t r, std::uint32_t n);

  DecoderState& s_;
  BitReader bits_;
  std::uint8_t* out_;
  std::uint32_t room_;
  std::uint32_t cursor_ = 0;
  std::int32_t balance_ = 0;
  std::uint32_t wideLiterals_ = 0;
  std::uint32_t rankUpdates_ = 0;
  // Scalar model state, kept here rather than in the context so that output stores cannot
  // alias it and it can stay in registers.
  std::uint32_t nextEntry_ = 2;
  std::uint32_t growthClass_ = kStartGrowthClass;
  std::uint32_t lastDistance_ = 1;
  std::uint32_t horizon_ = 0;    // greatest end + 1 of the registered predictions
  bool afterRun_ = false;        // the last token was a literal run
  bool afterPrediction_ = false; // a copy or a prediction has just ended
  bool escape_ = false;          // a class growth came just before
  bool wrapped_ = false;
  bool ended_ = false;
};

DecodeResult Decoder::Run() {
  std::copy(ctab.begin(), ctab.end(), s_.ranks);
  std::memset(s_.predictions, 0, sizeof s_.predictions);
  // Entries are read only once made, but for entry 0, which a wrapped index can reach before
  // the list has made it.
  s_.phrases[0] = {0, 0};
  for (int c = 0; c < kClasses; ++c) {
    s_.classSize[c] = kStartClassSize;
    s_.classWidth[c] = kStartClassWidth[c];
    s_.growthOrder[c] = stab[c];
    s_.classBase[c] = kStartClassSize * static_cast<std::uint32_t>(c);
  }
  SetSelectors();
  growthClass_ = kStartGrowthClass;
  lastDistance_ = 1;
  horizon_ = 0;

  const DecodeResult bad{kCorrupt, 0, 0};
  const auto first = static_cast<std::uint8_t>(bits_.Get(8));
  if (bits_.overrun() || !Put(first)) return bad;
  s_.phrases[1] = {0, 2};
  nextEntry_ = 2;
  while (!ended_) {
    bits_.TopUp();
    bool ok;
    if (Predicted(cursor_)) {
      const PredictionEntry e = PredictionAt(cursor_);
      UpdateLastDistance(e.distance);
      ok = ADCDVORR(e);
    } else {
      ok = Token();
    }
    if (!ok || bits_.overrun()) return bad;
  }
  return {0, static_cast<std::uint32_t>(bits_.ConsumedBytes()), cursor_};
}

// Leading one bits of w, at most `most`; codes of the form 1..10 or all ones.
inline int Ones(std::uint64_t w, int most) {
  // The bit planted at position `most` stops the count there; most < 64.
  return __builtin_clzll(~w | (std::uint64_t{1} << (63 - most)));
}
// Bits taken by a code of `ones` leading ones in a family whose longest member has `most`.
inline int PrefixBits(int ones, int most) { return ones < most ? ones + 1 : most; }
// The `width` bits after the first `skip` bits of w, 1 <= width <= 32 (every code field has a
// bit at least; reference classes start at two).
inline std::uint32_t Field(std::uint64_t w, int skip, int width) {
  return static_cast<std::uint32_t>((w << skip) >> (64 - width));
}

bool Decoder::Token() {
  const std::uint64_t w = bits_.Peek();
  if (afterRun_) {
    const int ones = Ones(w, 3);
    bits_.Skip(PrefixBits(ones, 3));
    switch (ones) {
      case 0: return ADCDKONN(0);
      case 1: return ADCDKOVN();
      case 2: return Copy();
      default: return ADCDKONN(1);
    }
  }
  const int ones = Ones(w, 4);
  bits_.Skip(PrefixBits(ones, 4));
  switch (ones) {
    case 0: return ADCDKONN(0);
    case 1: return balance_ <= 0 ? LiteralRun() : ADCDKOVN();
    case 2: return balance_ <= 0 ? ADCDKOVN() : LiteralRun();
    case 3: return Copy();
    default: return ADCDKONN(1);
  }
}

// The literal codes, read from one peek: the count of leading zeros picks the code. The
// shortest codes are shared by the first and the further literals of a run.

// A wide code with at most two leading zeros: 1 + 5 bits, 01 + 5, 001 + 6.
std::uint32_t Decoder::WideCode(std::uint64_t w, int zeros) {
  switch (zeros) {
    case 0: bits_.Skip(6); return Field(w, 1, 5);
    case 1: bits_.Skip(7); return 32 + Field(w, 2, 5);
    default: bits_.Skip(9); return 64 + Field(w, 3, 6);
  }
}

// A narrow code with at most three leading zeros: 1 + 4 bits, 01 + 4, 001 + 5, 00010 + 5,
// 00011 + 5 (wide from here).
std::uint32_t Decoder::NarrowCode(std::uint64_t w, int zeros, bool& narrow) {
  switch (zeros) {
    case 0: bits_.Skip(5); return Field(w, 1, 4);
    case 1: bits_.Skip(6); return 16 + Field(w, 2, 4);
    case 2: bits_.Skip(8); return 32 + Field(w, 3, 5);
    default:
      bits_.Skip(10);
      if (((w >> 59) & 1) == 0) return 64 + Field(w, 5, 5);
      narrow = false;
      ++wideLiterals_;
      return 96 + Field(w, 5, 5);
  }
}

std::uint8_t Decoder::ReadLiteralFirst(bool& narrow) {
  const std::uint64_t w = bits_.Peek();
  const int zeros = std::countl_zero(w);
  if (wideLiterals_ > 16) {
    narrow = false;
    // Then 000 + 7.
    if (zeros < 3) return static_cast<std::uint8_t>(WideCode(w, zeros));
    bits_.Skip(10);
    return static_cast<std::uint8_t>(128 + Field(w, 3, 7));
  }
  narrow = true;
  // Then 0000 + 7 (wide).
  if (zeros < 4) return static_cast<std::uint8_t>(NarrowCode(w, zeros, narrow));
  narrow = false;
  ++wideLiterals_;
  bits_.Skip(11);
  return static_cast<std::uint8_t>(128 + Field(w, 4, 7));
}

std::int32_t Decoder::ReadLiteralFurther(bool& narrow, std::uint32_t n) {
  const std::uint64_t w = bits_.Peek();
  const int zeros = std::countl_zero(w);
  if (!narrow) {
    // Then 000 + 7 up to the fourth literal, else 0001 + 7 or the end mark 0000.
    if (zeros < 3) return static_cast<std::int32_t>(WideCode(w, zeros));
    if (n <= 4) {
      bits_.Skip(10);
      return static_cast<std::int32_t>(128 + Field(w, 3, 7));
    }
    if (zeros == 3) {
      bits_.Skip(11);
      return static_cast<std::int32_t>(128 + Field(w, 4, 7));
    }
    bits_.Skip(4);
    if (n >= 6) return -1;
    // An end mark where a sixth literal was announced stands only before a 1 bit.
    return ((w >> 59) & 1) != 0 ? -1 : -2;
  }
  // Then 00001 + 6 up to the fourth literal, else + 7; 00000: the end mark from the sixth
  // literal on, damage at the fifth, else + 6.
  if (zeros < 4) return static_cast<std::int32_t>(NarrowCode(w, zeros, narrow));
  if (zeros == 4) {
    narrow = false;
    ++wideLiterals_;
    if (n <= 4) {
      bits_.Skip(11);
      return static_cast<std::int32_t>(192 + Field(w, 5, 6));
    }
    bits_.Skip(12);
    return static_cast<std::int32_t>(128 + Field(w, 5, 7));
  }
  if (n >= 6) {
    bits_.Skip(5);
    return -1;
  }
  if (n == 5) {
    bits_.Skip(5);
    return -2;
  }
  narrow = false;
  ++wideLiterals_;
  bits_.Skip(11);
  return static_cast<std::int32_t>(128 + Field(w, 5, 6));
}

void Decoder::RankUpdate(std::uint32_t r, std::uint32_t n) {
  std::uint32_t up = 0;
  if (n <= 5) {
    if (r > 15) up = r <= 23 ? r : (rankUpdates_ <= kRankUpdateLimit ? r / 2 : r / 4);
    if (rankUpdates_ <= kRankUpdateLimit) ++rankUpdates_;
  } else if (rankUpdates_ <= kRankUpdateLimit) {
    ++rankUpdates_;
    if (r > 15) up = r <= 23 ? r : r / 2;
  }
  if (up == 0) return;
  // The byte of rank r sits at 255 - r; ranks r - up .. r - 1 each move down one place.
  std::uint8_t* at = s_.ranks + (255 - r);
  const std::uint8_t b = *at;
  std::memmove(at, at + 1, up);
  at[up] = b;
}

void Decoder::ADCDUNGL(std::uint32_t start, std::uint32_t count) {
  afterPrediction_ = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    s_.phrases[nextEntry_] = {static_cast<std::uint16_t>(start + i), 2};
    AdvanceEntry();
  }
}

bool Decoder::LiteralRun() {
  --balance_;
  const std::uint32_t start = cursor_;
  bool narrow = false;
  std::int32_t r = ReadLiteralFirst(narrow);
  for (std::uint32_t n = 1;; ++n) {
    if (bits_.overrun()) return false;
    const auto rank = static_cast<std::uint32_t>(r);
    if (!Put(s_.ranks[255 - rank])) return false;
    RankUpdate(rank, n);
    if (Predicted(cursor_)) {
      const PredictionEntry e = PredictionAt(cursor_);
      UpdateLastDistance(e.distance);
      ADCDUNGL(start, n);
      nextEntry_ = static_cast<std::uint16_t>((nextEntry_ - 1) & kPhraseMask);
      return ADCDVORR(e);
    }
    if (n <= 5 && bits_.Bit() == 1) break;
    r = ReadLiteralFurther(narrow, n);
    if (r == -2) return false;
    if (r == -1) break;
  }
  afterRun_ = true;
  ADCDUNGL(start, cursor_ - start);
  return true;
}

bool Decoder::Copy() {
  // Distance: 0 the last one, 11 and 10 bits; then the length: 0, 10, 110 or 111 and a field.
  static constexpr int kWidth[4] = {3, 3, 5, 10};
  static constexpr std::uint32_t kBase[4] = {1, 9, 17, 49};
  const std::uint64_t w = bits_.Peek();
  std::uint32_t d;
  int used;
  if ((w >> 63) != 0) {
    if (((w >> 62) & 1) == 0) return false;
    d = Field(w, 2, 10);
    used = 12;
    afterPrediction_ = false;
  } else {
    d = lastDistance_;
    used = 1;
  }
  const int ones = Ones(w << used, 3);
  used += PrefixBits(ones, 3);
  const std::uint32_t v = Field(w, used, kWidth[ones]);
  bits_.Skip(used + kWidth[ones]);
  std::uint32_t len = kBase[ones] + v;
  if (ones == 0 && v == 0) {
    len = 1;
    d = 2;
    afterPrediction_ = false;
  }
  if (bits_.overrun() || d == 0) return false;
  return ADCDVORM(d, len);
}

bool Decoder::ADCDVORM(std::uint32_t d, std::uint32_t len) {
  UpdateLastDistance(d);
  if (afterPrediction_) {
    afterPrediction_ = false;
    if (bits_.Bit() == 0) {
      if (lastDistance_ > cursor_) return false;
      const std::uint8_t b = out_[cursor_ - lastDistance_];
      std::uint8_t lead;
      if (bits_.Bit() == 0) {
        lead = static_cast<std::uint8_t>(b + 1);
      } else {
        lead = static_cast<std::uint8_t>((b & 0xF0) | bits_.Get(4));
      }
      if (!Put(lead)) return false;
    }
  }
  if (d > cursor_) return false;
  ADCDVOR(cursor_ + d, d, len);
  if (!CopyFrom(cursor_ - d, len)) return false;
  return ADCDSTOE();
}

void Decoder::ADCDVOR(std::uint32_t start, std::uint32_t distance, std::uint32_t length) {
  if (start + length > horizon_) horizon_ = start + length;
  const std::uint32_t end = start + length - 1;
  const std::uint32_t entries = std::min(length, kMaxPredictionEntries);
  const std::uint32_t first = start & kPredictionMask;
  const std::uint32_t upto = std::min(entries, kPredictionSlots - first);
  std::uint32_t field = length;
  if (length >= kSlotWideLength) [[unlikely]] {
    field = kSlotWideLength;
    for (std::uint32_t i = 0; i < entries; ++i)
      s_.widePredictions[(start + i) & kPredictionMask] = {end, distance, length};
  }
  const std::uint64_t slot =
      std::uint64_t{end} | std::uint64_t{(field << kSlotDistanceBits) | distance} << 32;
  std::uint64_t* const slots = s_.predictions;
#if defined(__SSE2__)
  // Two slots per 16-byte store; the slot just past the range is saved first and put back
  // after, so a store that runs one slot over changes nothing (the table has a spare slot).
  const __m128i v = _mm_set1_epi64x(static_cast<long long>(slot));
  const auto fill = [&](std::uint32_t at, std::uint32_t count) __attribute__((always_inline)) {
    if (count == 0) return;
    const std::uint64_t keep = slots[at + count];
    for (std::uint32_t i = 0; i < count; i += 2)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(slots + at + i), v);
    slots[at + count] = keep;
  };
  fill(first, upto);
  fill(0, entries - upto);
#else
  for (std::uint32_t i = 0; i < upto; ++i) slots[first + i] = slot;
  for (std::uint32_t i = 0; i < entries - upto; ++i) slots[i] = slot;
#endif
  afterRun_ = false;
}

bool Decoder::ADCDVORR(PredictionEntry e) {
  afterRun_ = false;
  if (e.distance == 0 || e.distance > cursor_) return false;
  if (!CopyFrom(cursor_ - e.distance, e.end - cursor_ + 1)) return false;
  const std::uint64_t next = std::uint64_t{cursor_} + e.distance;
  if (next < e.length) return false;
  const auto start = static_cast<std::uint32_t>(next - e.length);
  if (bits_.Bit()) {
    ADCDVOR(start, e.distance, e.length);
  } else if (bits_.Bit()) {
    const std::uint32_t shrink = bits_.Bit();
    std::uint32_t m;
    if (bits_.Bit() == 0) {
      m = 1;
    } else if (bits_.Bit() == 0) {
      m = 2 + bits_.Get(2);
    } else if (bits_.Bit() == 0) {
      m = 6 + bits_.Get(5);
    } else {
      m = 38 + bits_.Get(10);
    }
    if (shrink != 0 && m > e.length) return false;
    ADCDVOR(start, e.distance, shrink != 0 ? e.length - m : e.length + m);
  }
  return ADCDSTOE();
}

bool Decoder::ADCDSTOE() {
  afterPrediction_ = true;
  const std::uint32_t p = cursor_;
  if (Predicted(p) || !Predicted(p + 1)) return true;
  const std::uint32_t d = PredictionAt(p + 1).distance;
  if (d == 0 || d > p) return false;
  const std::uint8_t b = out_[p - d];
  std::uint8_t x;
  if (bits_.Bit() == 0) {
    x = static_cast<std::uint8_t>(b + 1);
  } else if (bits_.Bit() == 0) {
    x = static_cast<std::uint8_t>((b & 0xF0) | bits_.Get(4));
  } else {
    x = static_cast<std::uint8_t>(bits_.Get(8));
  }
  return Put(x);
}

bool Decoder::ADCDKOVN() {
  ++balance_;
  // 0, 10, 110, 1110, 11110 or 11111, then a field.
  static constexpr int kWidth[6] = {1, 2, 3, 5, 7, 16};
  static constexpr std::uint32_t kBase[6] = {2, 4, 8, 16, 48, 176};
  const std::uint64_t w = bits_.Peek();
  const int ones = Ones(w, 5);
  const int prefix = PrefixBits(ones, 5);
  const std::uint32_t e = kBase[ones] + Field(w, prefix, kWidth[ones]);
  bits_.Skip(prefix + kWidth[ones]);
  std::int32_t n = static_cast<std::int32_t>(e);
  if (cursor_ < horizon_) n = e == 2 ? -1 : n - 1;
  return ADCDKONN(n);
}

bool Decoder::ADCDKONN(std::int32_t extension) {
  afterPrediction_ = false;
  const std::uint64_t w = bits_.Peek();
  const auto sel = static_cast<std::uint32_t>(w >> 60);
  std::uint32_t k;
  if (!escape_) {
    const int width = s_.selectorWidth[sel];
    k = s_.selectorBase[sel] + Field(w, 4, width);
    bits_.Skip(4 + width);
  } else {
    bits_.Skip(4);
    escape_ = false;
    const int w7 = s_.classWidth[7];
    if (extension != 0) {
      k = s_.classBase[7] + (sel << (w7 - 4)) + bits_.Get(w7 - 4);
    } else if (sel < 8) {
      k = (sel << s_.classWidth[0]) + bits_.Get(s_.classWidth[0]);
    } else {
      k = s_.classBase[7] + ((sel - 8) << (w7 - 3)) + bits_.Get(w7 - 3);
    }
  }
  if (bits_.overrun()) return false;
  if (k == 0) {
    if (extension != 0) {
      ended_ = true;
      return true;
    }
    const std::uint16_t g = growthClass_;
    s_.classSize[g] = static_cast<std::uint16_t>(s_.classSize[g] * 2);
    ++s_.classWidth[g];
    growthClass_ = s_.growthOrder[g];
    escape_ = true;
    std::uint32_t total = 0;
    for (int c = 0; c < kClasses; ++c) {
      s_.classBase[c] = total;
      total += s_.classSize[c];
    }
    SetSelectors();
    return total <= kMaxClassTotal;
  }
  afterRun_ = false;
  // Before the list first wraps, only entries 1 .. next - 1 have been made.
  const std::uint32_t made = wrapped_ ? ~std::uint32_t{0} : nextEntry_;
  if (k >= made) return false;
  const std::uint32_t h = (nextEntry_ - k) & kPhraseMask;
  const Phrase ph = s_.phrases[h];
  if (extension < 0) return RunForm(ph.offset, ph.second);
  const std::uint32_t q = cursor_;
  std::uint32_t m = ph.second + static_cast<std::uint32_t>(extension);
  if (!CopyFrom(ph.offset, m)) return false;
  if (extension == 0) {
    if (Predicted(cursor_)) return true;
    m = ph.second + 1u;
  }
  // Offsets travel in 16 bits; a full output takes no further phrase.
  if (m >= q || q > 0xFFFF) return true;
  s_.phrases[nextEntry_] = ph;
  s_.phrases[h] = {static_cast<std::uint16_t>(q), static_cast<std::uint16_t>(m)};
  AdvanceEntry();
  return true;
}

// Helpers of the run-form scans: 8 bytes at a time, little-endian byte order, exact.
std::uint64_t Load8(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
// High bit of every byte of w that is zero, and only of those.
std::uint64_t ZeroBytes(std::uint64_t w) { return ~(((w & kLow7) + kLow7) | w | kLow7); }
int FirstByte(std::uint64_t mask) { return __builtin_ctzll(mask) >> 3; }
#if defined(__SSE2__)
__m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
unsigned Mask16(__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
#endif

bool Decoder::RunForm(std::uint32_t offset, std::uint32_t length) {
  // The scans look only at bytes already written.
  const std::uint8_t* const o = out_;
  std::uint32_t t = offset + length;
  bool found = false;
#if defined(__SSE2__)
  // 16 positions at a time while their 18 bytes lie before the cursor; the word and byte
  // loops below take what is left.
  while (!found && t + 18 <= cursor_) {
    const __m128i a0 = Load16(o + t), a1 = Load16(o + t + 1), a2 = Load16(o + t + 2);
    const unsigned hit = Mask16(_mm_and_si128(_mm_cmpeq_epi8(a0, a1), _mm_cmpeq_epi8(a1, a2)));
    if (hit != 0) {
      t += static_cast<std::uint32_t>(__builtin_ctz(hit));
      found = true;
    } else {
      t += 16;
    }
  }
#endif
  while (!found) {
    if (t + 10 <= cursor_) {
      const std::uint64_t w = Load8(o + t), w1 = Load8(o + t + 1), w2 = Load8(o + t + 2);
      const std::uint64_t hit = ZeroBytes((w ^ w1) | (w1 ^ w2));
      if (hit != 0) {
        t += static_cast<std::uint32_t>(FirstByte(hit));
        break;
      }
      t += 8;
      continue;
    }
    if (t + 2 >= cursor_) return false;
    if (o[t] == o[t + 1] && o[t] == o[t + 2]) break;
    ++t;
  }
  if (!CopyFrom(offset, t - offset)) return false;
  const std::uint8_t c = out_[t];
  if (lastDistance_ > cursor_) return false;
  const std::uint32_t u = cursor_ - lastDistance_;
  const std::uint64_t cc = 0x0101010101010101ULL * c;
  std::uint32_t z = u;
  found = false;
#if defined(__SSE2__)
  const __m128i c16 = _mm_set1_epi8(static_cast<char>(c));
  while (!found && z + 18 <= cursor_) {
    const unsigned hit = Mask16(_mm_and_si128(
        _mm_and_si128(_mm_cmpeq_epi8(Load16(o + z), c16), _mm_cmpeq_epi8(Load16(o + z + 1), c16)),
        _mm_cmpeq_epi8(Load16(o + z + 2), c16)));
    if (hit != 0) {
      z += static_cast<std::uint32_t>(__builtin_ctz(hit));
      found = true;
    } else {
      z += 16;
    }
  }
#endif
  while (!found) {
    if (z + 10 <= cursor_) {
      const std::uint64_t hit = ZeroBytes(Load8(o + z) ^ cc) & ZeroBytes(Load8(o + z + 1) ^ cc) &
                                ZeroBytes(Load8(o + z + 2) ^ cc);
      if (hit != 0) {
        z += static_cast<std::uint32_t>(FirstByte(hit));
        break;
      }
      z += 8;
      continue;
    }
    if (z + 2 >= cursor_) return false;
    if (o[z] == c && o[z + 1] == c && o[z + 2] == c) break;
    ++z;
  }
  z += 2;
  found = false;
#if defined(__SSE2__)
  while (!found && z + 17 <= cursor_) {
    const unsigned other = Mask16(_mm_cmpeq_epi8(Load16(o + z + 1), c16)) ^ 0xFFFFu;
    if (other != 0) {
      z += static_cast<std::uint32_t>(__builtin_ctz(other));
      found = true;
    } else {
      z += 16;
    }
  }
#endif
  while (!found) {
    if (z + 9 <= cursor_) {
      const std::uint64_t other = Load8(o + z + 1) ^ cc;
      if (other != 0) {
        z += static_cast<std::uint32_t>(FirstByte(other));
        break;
      }
      z += 8;
      continue;
    }
    if (z + 1 >= cursor_) return false;
    if (o[z + 1] != c) break;
    ++z;
  }
  const std::uint32_t n = z - u + 1;
  if (n > room_ - cursor_) return false;
  std::uint8_t* const d = out_ + cursor_;
  cursor_ += n;
  if (room_ - cursor_ >= 32) {
    Fill16(d, c);
    Fill16(d + 16, c);
    for (std::uint32_t i = 32; i < n; i += 16) Fill16(d + i, c);
  } else {
    nuc::FillBytes(d, c, n);
  }
  return true;
}

}  // namespace

DecodeResult DecodeStream(DecoderState& state, const std::uint8_t* input, std::uint32_t length,
                          std::uint8_t* output, std::uint32_t room) {
  Decoder d(state, input, length, output, room);
  return d.Run();
}

}  // namespace adc
