// The VR8 literal pool code: neighbouring rank values XORed, the differences sent four at a
// time in the narrowest class their bits allow.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "nuc/bitio.h"
#include "nuc/vr8.h"
#include "nuc/vr8_pool.h"

namespace {

enum GroupClass : std::uint8_t { kZero, kRaw, k7Bit, kFolded, k6Bit, k5Bit, k4Bit, k3Bit, k2Bit };

// Class of a group by the OR of its four bytes: the lowest set bit decides.
constexpr std::array<std::uint8_t, 256> MakeClassTable() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    GroupClass k;
    if (c == 0) k = kZero;
    else if (c & 1) k = kRaw;
    else if (c & 2) k = k7Bit;
    else if ((c & 4) && !(c & 8)) k = kFolded;
    else if (c & 4) k = k6Bit;
    else if (c & 8) k = k5Bit;
    else if (c & 16) k = k4Bit;
    else if (c & 32) k = k3Bit;
    else k = k2Bit;
    t[c] = k;
  }
  return t;
}
constexpr auto kClassOf = MakeClassTable();

// How a class writes a group: its prefix, then each byte's top `width` bits (the bits below them
// are clear in all four bytes).
struct ClassCode {
  std::uint8_t prefix;
  std::uint8_t prefixBits;
  std::uint8_t width;
  std::uint8_t bitsPerByte;  // as the dropped fill bytes count them
  std::uint32_t keep;        // bits of each byte kept as they are
  std::uint32_t move;        // bits moved one place up: the fold of the folded class
};
constexpr std::uint32_t kAll = 0xFFFFFFFF;
constexpr ClassCode kClassCode[] = {
    {0, 0, 0, 0, kAll, 0},                     // zero: written as zero runs
    {0, 0, 0, 8, kAll, 0},                     // raw: written as raw runs
    {0xF, 4, 7, 7, kAll, 0},                   // 1111
    {0x2, 2, 5, 5, 0xF0F0F0F0, 0x04040404},    // 10, after the fold
    {0x1, 3, 6, 6, kAll, 0},                   // 001
    {0xC, 4, 5, 5, kAll, 0},                   // 1100
    {0x1, 2, 4, 4, kAll, 0},                   // 01
    {0xE, 4, 3, 3, kAll, 0},                   // 1110
    {0x1, 4, 2, 2, kAll, 0},                   // 0001
};

inline std::uint32_t OrOfGroup(const std::uint8_t* g) { return g[0] | g[1] | g[2] | g[3]; }

// Codes the pool into out (kVr8PoolCodeMax + kVr8PoolCodeSlack bytes of room); returns the code's
// length.
std::uint32_t CodePool(const std::uint8_t* encodeTables, std::uint8_t* pool, std::int32_t p,
                       std::uint8_t* out) {
  const std::uint8_t* rank = encodeTables + kVr8RankOffset;
  WideBitWriter w(out);
  const std::uint8_t check = pool[p - 1];  // the last pool byte as it is
  std::int32_t i = 0;
  for (; i + 8 <= p; i += 8) {  // eight lookups, one store
    std::uint8_t r[8];
    for (int k = 0; k < 8; ++k) r[k] = rank[pool[i + k]];
    std::memcpy(pool + i, r, 8);
  }
  for (; i < p; ++i) pool[i] = rank[pool[i]];
  w.Put(pool[0], 3 + 8);  // the version 000 and the first byte
  w.Put(check, 8);
  // Neighbouring rank values XORed: the p - 1 differences, then r[p-1] and zero bytes fill the
  // last group.
  for (i = 0; i + 1 < p; ++i) pool[i] = static_cast<std::uint8_t>(pool[i] ^ pool[i + 1]);
  std::memset(pool + p, 0, 4);
  const std::int32_t groups = (p + 2) / 4;
  std::uint8_t lastClass = kZero;
  for (std::int32_t g = 0; g < groups;) {
    const std::uint8_t* grp = pool + 4 * g;
    const std::uint8_t cls = kClassOf[OrOfGroup(grp)];
    lastClass = cls;
    if (cls == kZero) {
      int v = 1;
      while (v < 6 && g + v < groups && OrOfGroup(grp + 4 * v) == 0) ++v;
      w.Put((13u << v) + 1, v + 4);
      g += v;
      continue;
    }
    if (cls == kRaw) {
      int k = 1;
      while (k < 6 && g + k < groups && (OrOfGroup(grp + 4 * k) & 1) != 0) ++k;
      w.Put(1, k + 5);
      for (int i = 0; i < 4 * k; i += 4) {
        w.Put((std::uint32_t{grp[i]} << 24) | (std::uint32_t{grp[i + 1]} << 16) |
                  (std::uint32_t{grp[i + 2]} << 8) | grp[i + 3],
              32);
      }
      g += k;
      continue;
    }
    const ClassCode& cc = kClassCode[cls];
    const int width = cc.width;
    const int drop = 8 - width;
    // The bytes as one little-endian word; a folded group moves bit 2 of each up to bit 3, as the
    // fold table does, without a branch.
    std::uint32_t word = std::uint32_t{grp[0]} | (std::uint32_t{grp[1]} << 8) |
                         (std::uint32_t{grp[2]} << 16) | (std::uint32_t{grp[3]} << 24);
    word = (word & cc.keep) | ((word & cc.move) << 1);
    const std::uint32_t b0 = word & 0xFF, b1 = (word >> 8) & 0xFF, b2 = (word >> 16) & 0xFF,
                        b3 = word >> 24;
    std::uint32_t v = cc.prefix;
    v = (v << width) | (b0 >> drop);
    v = (v << width) | (b1 >> drop);
    v = (v << width) | (b2 >> drop);
    v = (v << width) | (b3 >> drop);
    w.Put(v, cc.prefixBits + 4 * width);
    ++g;
  }
  std::uint32_t fillBits = 0;
  std::uint8_t* end = w.Close(fillBits);
  auto written = static_cast<std::uint32_t>(end - out);
  // Trailing bytes that hold only fill bytes of the last group and fill bits are left out: the
  // decoder reads them as zeros and does not need them.
  const auto fillBytes = static_cast<std::uint32_t>((4 - (p - 1) % 4) % 4);
  if (lastClass != kZero) written -= (kClassCode[lastClass].bitsPerByte * fillBytes + fillBits) / 8;
  return written;
}

// How the decoder reads a code, by its first 5 bits. The loop works from the register constants
// below, which are checked against this table when compiling.
enum CodeKind : std::uint8_t { kGroup, kRawUnary, kRawCounted, kZeroRun };
struct PrefixCode {
  std::uint8_t kind;
  std::uint8_t bits;   // the whole code of a group: prefix and four fields
  std::uint8_t width;  // bits per field
  std::uint32_t keep;  // bits of each byte kept as they are
  std::uint32_t move;  // bits moved one place down: the unfold of a folded group
};
constexpr std::array<PrefixCode, 32> MakePrefixTable() {
  std::array<PrefixCode, 32> t{};
  for (int q = 0; q < 32; ++q) {
    constexpr std::uint32_t kNone = 0;
    PrefixCode c{kGroup, 0, 0, kAll, kNone};
    if (q == 0x00) c.kind = kRawUnary;
    else if (q == 0x01) c.kind = kRawCounted;
    else if (q < 0x04) c = {kGroup, 12, 2, kAll, kNone};  // 0001
    else if (q < 0x08) c = {kGroup, 27, 6, kAll, kNone};  // 001
    else if (q < 0x10) c = {kGroup, 18, 4, kAll, kNone};  // 01
    else if (q < 0x18) c = {kGroup, 22, 5, 0xF0F0F0F0, 0x08080808};  // 10: folded
    else if (q < 0x1A) c = {kGroup, 24, 5, kAll, kNone};  // 1100
    else if (q == 0x1A) c.kind = kZeroRun;                // 11010
    else if (q == 0x1B) c = {kGroup, 5, 0, kAll, kNone};  // 11011: one zero group
    else if (q < 0x1E) c = {kGroup, 16, 3, kAll, kNone};  // 1110
    else c = {kGroup, 32, 7, kAll, kNone};                // 1111
    t[q] = c;
  }
  return t;
}
constexpr auto kPrefixCode = MakePrefixTable();

// The same in registers: code widths a byte per first 4 bits (0000-0111, 1000-1111), field widths
// a nibble per first 4 bits.
constexpr std::uint64_t kBitsLow = 0x121212121B1B0C00ull;
constexpr std::uint64_t kBitsHigh = 0x2010051816161616ull;
constexpr std::uint64_t kFieldWidths = 0x7305555544446620ull;

constexpr unsigned GroupCodeBits(unsigned prefix) {
  const unsigned p4 = prefix >> 1;
  const auto bits =
      static_cast<unsigned>(((p4 & 8 ? kBitsHigh : kBitsLow) >> ((p4 & 7) * 8)) & 0xFF);
  return prefix == 0x1A ? 0 : bits;
}

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
  return w;
}
inline void StoreBigEndian64(std::uint8_t* p, std::uint64_t w) {
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
  std::memcpy(p, &w, 8);
}
inline void StoreBigEndian32(std::uint8_t* p, std::uint32_t w) {
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
  std::memcpy(p, &w, 4);
}

// How the fields of a group code with first 4 bits p4 become its four bytes (first byte in the
// top bits): the two halves of the fields, each two fields, then each field shifted up.
struct Spread {
  std::uint8_t bits;        // the whole code (0 for the first 4 bits 0000)
  std::uint8_t half;        // bits in two fields
  std::uint8_t width;       // bits in one field
  std::uint8_t shift;       // 8 - width, or 0
  std::uint32_t halfMask;   // the low half
  std::uint32_t fieldMask;  // the low field of each 16-bit lane
  std::uint32_t foldBits;   // bit 3 of each byte for a folded group
};
constexpr std::array<Spread, 16> MakeSpread() {
  std::array<Spread, 16> t{};
  for (unsigned p4 = 0; p4 < 16; ++p4) {
    const unsigned w = static_cast<unsigned>(kFieldWidths >> (p4 * 4)) & 15;
    const std::uint32_t m = (1u << w) - 1;
    t[p4] = {static_cast<std::uint8_t>(GroupCodeBits(2 * p4 + 1)), static_cast<std::uint8_t>(2 * w), static_cast<std::uint8_t>(w),
             static_cast<std::uint8_t>((8 - w) & 7), (1u << (2 * w)) - 1, m | (m << 16),
             (p4 >> 2) == 2 ? 0x08080808u : 0u};
  }
  return t;
}
constexpr auto kSpread = MakeSpread();

// The groups of a raw code of one to six groups by its first 11 bits (prefix 00000, then the
// count as the place of the first 1 among the next six bits); 0 for any other code.
constexpr unsigned RawGroups(unsigned q) {
  if ((q >> 6) != 0 || (q & 63) == 0) return 0;
  unsigned k = 1;
  while (((q >> (6 - k)) & 1) == 0) ++k;
  return k;
}

// The bits of a group or raw code (a raw code with its groups) by its first 11 bits; 0 for the
// codes the fast loop leaves to the careful one (end, counted raw, zero run).
constexpr std::array<std::uint8_t, 2048> MakeCodeLength() {
  std::array<std::uint8_t, 2048> t{};
  for (unsigned q = 0; q < 2048; ++q) {
    const unsigned k = RawGroups(q);
    t[q] = static_cast<std::uint8_t>(k > 0 ? 5 + 33 * k : GroupCodeBits(q >> 6));
  }
  return t;
}
constexpr auto kCodeLength = MakeCodeLength();

// Where the fast loop's bytes of a code go, by its first 11 bits: the bits before a raw code's
// bytes, the bytes the code gives, and where the 24 bytes copied from there land (after a
// group's word, which they do not belong to).
struct CodeBytes {
  std::uint8_t skip;
  std::uint8_t bytes;
  std::uint8_t copyTo;
};
constexpr std::array<CodeBytes, 2048> MakeCodeBytes() {
  std::array<CodeBytes, 2048> t{};
  for (unsigned q = 0; q < 2048; ++q) {
    const unsigned k = RawGroups(q);
    t[q] = k > 0 ? CodeBytes{static_cast<std::uint8_t>(5 + k), static_cast<std::uint8_t>(4 * k), 0}
                 : CodeBytes{0, 4, 4};
  }
  return t;
}
constexpr auto kCodeBytes = MakeCodeBytes();

constexpr bool ConstantsMatchTable() {
  for (unsigned q = 0; q < 32; ++q) {
    const PrefixCode& c = kPrefixCode[q];
    const unsigned bits = c.kind == kGroup ? c.bits : 0;
    if (GroupCodeBits(q) != bits) return false;
    if (c.kind == kGroup && ((kFieldWidths >> ((q >> 1) * 4)) & 15) != c.width) return false;
    if (c.kind == kGroup && (c.move != 0) != ((q >> 3) == 2)) return false;
  }
  return true;
}
static_assert(ConstantsMatchTable());

#if defined(__x86_64__) && defined(__GNUC__)
#define TORQ_VR8_WIDE_UNRANK 1
// The running XOR and the unrank table 64 bytes at a time, with the AVX-512 VBMI byte
// permutes, on processors that have them: the XOR inside each 8-byte lane, then the lanes'
// totals carried across the lanes and from the block before; the table as four 64-byte
// vectors. Does the whole 64-byte blocks from the start; returns their bytes and leaves the
// running XOR after them in carry.
// (The masked forms with every lane set stand for the plain ones, which leave an undefined
// source that the compiler warns about.)
constexpr __mmask8 kAll8 = 0xFF;
constexpr __mmask64 kAll64 = ~__mmask64{0};
constexpr auto kLaneTop = [] {
  std::array<std::uint8_t, 64> t{};
  for (int b = 0; b < 64; ++b) t[b] = static_cast<std::uint8_t>((b & 8) + 7);
  return t;
}();
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::int32_t RebuildWide(
    const std::uint8_t* unrank, std::uint8_t* p, std::int32_t n, std::uint8_t& carry) {
  const __m512i t0 = _mm512_loadu_si512(unrank);
  const __m512i t1 = _mm512_loadu_si512(unrank + 64);
  const __m512i t2 = _mm512_loadu_si512(unrank + 128);
  const __m512i t3 = _mm512_loadu_si512(unrank + 192);
  const __m512i zero = _mm512_setzero_si512();
  // Byte 7 of each 8-byte lane to all its bytes (the shuffle works inside 16-byte parts).
  const __m512i laneTop = _mm512_loadu_si512(kLaneTop.data());
  const __m512i lastByte = _mm512_set1_epi8(63);
  __m512i run = _mm512_set1_epi8(static_cast<char>(carry));
  std::int32_t i = 0;
  for (; i + 64 <= n; i += 64) {
    __m512i x = _mm512_loadu_si512(p + i);
    x = _mm512_xor_si512(x, _mm512_maskz_slli_epi64(kAll8, x, 8));
    x = _mm512_xor_si512(x, _mm512_maskz_slli_epi64(kAll8, x, 16));
    x = _mm512_xor_si512(x, _mm512_maskz_slli_epi64(kAll8, x, 32));
    // Each lane takes the XOR of the totals of the lanes before it.
    __m512i e = _mm512_maskz_alignr_epi64(kAll8, _mm512_shuffle_epi8(x, laneTop), zero, 7);
    e = _mm512_xor_si512(e, _mm512_maskz_alignr_epi64(kAll8, e, zero, 7));
    e = _mm512_xor_si512(e, _mm512_maskz_alignr_epi64(kAll8, e, zero, 6));
    e = _mm512_xor_si512(e, _mm512_maskz_alignr_epi64(kAll8, e, zero, 4));
    x = _mm512_xor_si512(x, _mm512_xor_si512(e, run));
    run = _mm512_maskz_permutexvar_epi8(kAll64, lastByte, x);
    const __m512i low = _mm512_permutex2var_epi8(t0, x, t1);   // entries 0-127
    const __m512i high = _mm512_permutex2var_epi8(t2, x, t3);  // entries 128-255
    _mm512_storeu_si512(p + i, _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high));
  }
  alignas(64) std::uint8_t last[64];
  _mm512_store_si512(last, run);
  carry = last[0];
  return i;
}
bool WideRebuildAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi");
}
bool gWideRebuild = WideRebuildAvailable();
#endif

}  // namespace

bool Vr8SelectWideRebuild(bool wanted) {
#if defined(TORQ_VR8_WIDE_UNRANK)
  const bool before = gWideRebuild;
  gWideRebuild = wanted && WideRebuildAvailable();
  return before;
#else
  (void)wanted;
  return false;
#endif
}

void torqflc(const std::uint8_t* encodeTables, std::uint8_t* pool, std::int32_t length,
             std::uint8_t* destination, std::uint16_t& outLength) {
  if (length < 1 || length > static_cast<std::int32_t>(kVr8MaxPool)) {
    outLength = 0;
    return;
  }
  // The writer stores 8 bytes at a time: it works in a buffer of its own with the slack.
  std::array<std::uint8_t, kVr8PoolCodeMax + kVr8PoolCodeSlack> code;
  const std::uint32_t n = CodePool(encodeTables, pool, length, code.data());
  std::memcpy(destination, code.data(), n);
  outLength = static_cast<std::uint16_t>(n);
}

std::uint32_t Vr8CodePool(const std::uint8_t* encodeTables, std::uint8_t* pool,
                          std::int32_t length, std::uint8_t* out) {
  return CodePool(encodeTables, pool, length, out);
}

std::int32_t Vr8DecodePool(const std::uint8_t* decodeTables, std::uint8_t* code,
                           std::size_t codeLength, std::uint8_t* output,
                           std::uint16_t poolLength) {
  if (poolLength < 16 || poolLength > kVr8MaxPool) return 73;
  const std::uint8_t* unrank = decodeTables + kVr8UnrankOffset;
  WideBitReader r(code);
  if (r.Get(3) != 0) return 70;
  output[0] = static_cast<std::uint8_t>(r.Get(8));
  const auto check = static_cast<std::uint8_t>(r.Get(8));
  std::int32_t rem = poolLength - 1;  // difference bytes still expected
  std::uint8_t* out = output + 1;
  // While more than 28 bytes are expected, every group code and every raw code of one to six
  // groups just adds its bytes: those codes are read here without a branch on their kind. Each
  // code writes a group's word and 24 bytes copied from where a raw code's bytes start, after
  // the word for a group and over it for a raw code; whatever lands beyond the code's own
  // bytes (never more than 28 bytes from its start) is rewritten by the codes after it. The
  // other codes (end, counted raw, zero run) go to the loop after this one.
  {
    std::size_t pos = r.BitPosition();
    while (rem > 28) {
      const std::uint64_t win = LoadBigEndian64(code + pos / 8) << (pos % 8);  // 57 bits from pos
      const auto first = static_cast<unsigned>(win >> 53);
      const unsigned length = kCodeLength[first];
      if (length == 0) break;
      // No branch on the kind of code below: raw and group codes alternate without a pattern.
      const CodeBytes& cb = kCodeBytes[first];
      const Spread& sp = kSpread[first >> 7];
      // The four fields to the top of four bytes: halves to 16-bit lanes, fields to bytes.
      std::uint32_t word = static_cast<std::uint32_t>((win >> 1) >> (63 - sp.bits));
      word = ((word >> sp.half) << 16) | (word & sp.halfMask);
      word = (((word >> sp.width) & sp.fieldMask) << 8) | (word & sp.fieldMask);
      word <<= sp.shift;
      // A folded group (10) moves bit 3 of each byte back to bit 2 (bit 2 is clear).
      const std::uint32_t moved = word & sp.foldBits;
      word ^= moved | (moved >> 1);
      StoreBigEndian32(out, word);
      // 24 bytes from the bit where a raw code's bytes start.
      const std::size_t dataPos = pos + cb.skip;
      const std::uint8_t* d = code + dataPos / 8;
      const unsigned t = dataPos % 8;
      std::uint8_t* to = out + cb.copyTo;
      for (int j = 0; j < 24; j += 8) {
        const std::uint64_t x = (LoadBigEndian64(d + j) << t) | (std::uint64_t{d[j + 8]} >> (8 - t));
        StoreBigEndian64(to + j, x);
      }
      pos += length;
      out += cb.bytes;
      rem -= cb.bytes;
    }
    r.Seek(pos);
  }
  for (;;) {
    // Every code is read from one window: its 5-bit prefix and at most 32 bits after it.
    r.Refill();
    const std::uint64_t win = r.Peek(40);
    const auto prefix = static_cast<unsigned>(win >> 35);
    // The width of a group code from the constants, not from a table load: 0 for the raw and
    // zero-run codes.
    const unsigned p4 = prefix >> 1;
    unsigned bits = GroupCodeBits(prefix);
    if (bits == 0) {
      if (prefix == 0) {  // raw groups, or the end of the code: a unary count in 6 bits
        const auto six = static_cast<unsigned>((win >> 29) & 0x3F);
        if (six == 0) {
          if (rem <= 0) break;
          return 72;
        }
        const std::int32_t k = std::countl_zero(static_cast<std::uint8_t>(six << 2)) + 1;
        r.Skip(5 + k);
        const std::int32_t n = 4 * k;
        if (rem > n) {
          r.GetBytes(out, static_cast<std::size_t>(n));
          out += n;
          rem -= n;
          continue;
        }
        if (rem <= n - 4) return 73;
        r.GetBytes(out, static_cast<std::size_t>(rem));
        out += rem;
        rem = 0;
        break;
      }
      if (prefix == 1) {  // raw groups with a 6-bit count
        const std::int32_t n = 4 * static_cast<std::int32_t>((win >> 29) & 0x3F);
        if (n == 0 || n > rem) return 73;
        r.Skip(11);
        r.GetBytes(out, static_cast<std::size_t>(n));
        out += n;
        rem -= n;
        continue;
      }
      if (prefix == 0x1A) {  // a run of two to six zero groups: a unary count in 5 bits
        const auto five = static_cast<unsigned>((win >> 30) & 0x1F);
        if (five == 0) return 71;
        const std::int32_t k = std::countl_zero(static_cast<std::uint8_t>(five << 3)) + 1;
        r.Skip(5 + k);
        const std::int32_t n = 4 * (k + 1);
        if (rem > n) {
          std::memset(out, 0, static_cast<std::size_t>(n));
          out += n;
          rem -= n;
          continue;
        }
        if (rem <= 0) return 73;
        std::memset(out, 0, static_cast<std::size_t>(rem));
        out += rem;
        rem = 0;
        break;
      }
      return 73;  // not reached: each form above continues, breaks or returns
    }
    // Every other code is one group of four bytes: refused when no byte is expected any more.
    if (rem <= 0) return 73;
    r.Skip(static_cast<int>(bits));
    const auto v = static_cast<std::uint32_t>(win >> (40 - bits));
    const unsigned width = static_cast<unsigned>(kFieldWidths >> (p4 * 4)) & 15;
    const std::uint32_t mask = (1u << width) - 1;
    const unsigned shift = (8 - width) & 7;  // 0 for the zero group, whose fields are empty
    // The four bytes as one little-endian word; a folded group (10) moves bit 3 of each back to
    // bit 2.
    std::uint32_t word = (((v >> (3 * width)) & mask) << shift) |
                         (((v >> (2 * width)) & mask) << (shift + 8)) |
                         (((v >> width) & mask) << (shift + 16)) | ((v & mask) << (shift + 24));
    const bool folded = (p4 >> 2) == 2;
    word = folded ? (word & 0xF0F0F0F0u) | ((word & 0x08080808u) >> 1) : word;
    out[0] = static_cast<std::uint8_t>(word);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    out[2] = static_cast<std::uint8_t>(word >> 16);
    out[3] = static_cast<std::uint8_t>(word >> 24);
    out += 4;
    rem -= 4;
  }
  if (rem < -3) return 73;
  // A code may lean on a few zero bytes after its end (its dropped fill), never on more.
  if (r.BitPosition() > (codeLength + 8) * 8) return 73;
  // The rank values are the running XOR of the first byte and the differences; each goes back
  // through the unrank table. Eight bytes at a time: the XOR runs inside a word, then carries.
  const std::int32_t p = poolLength;
  std::uint8_t carry = 0;
  std::int32_t i = 0;
#if defined(TORQ_VR8_WIDE_UNRANK)
  if (gWideRebuild) i = RebuildWide(unrank, output, p, carry);  // whole 64-byte blocks
#endif
  for (; i + 8 <= p; i += 8) {
    std::uint64_t x;
    std::memcpy(&x, output + i, 8);
    if constexpr (std::endian::native == std::endian::big) x = __builtin_bswap64(x);
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    x ^= 0x0101010101010101ull * carry;
    carry = static_cast<std::uint8_t>(x >> 56);
    for (int k = 0; k < 8; ++k) output[i + k] = unrank[static_cast<std::uint8_t>(x >> (8 * k))];
  }
  for (; i < p; ++i) {
    carry = static_cast<std::uint8_t>(carry ^ output[i]);
    output[i] = unrank[carry];
  }
  if (output[p - 1] != check) return 74;
  return 0;
}

void torqfld(std::int32_t& rc, const std::uint8_t* decodeTables, const std::uint8_t* input,
             std::uint16_t inputLength, std::uint8_t* output, std::uint16_t poolLength) {
  // The decoder reads zeros after the code; they live in a copy, never in the caller's buffer.
  std::array<std::uint8_t, kVr8PoolReadBound + kVr8PoolZeroPad> work;
  const std::size_t copied = std::min<std::size_t>(inputLength, kVr8PoolReadBound);
  if (copied > 0) std::memcpy(work.data(), input, copied);
  std::memset(work.data() + copied, 0, kVr8PoolZeroPad);
  const std::int32_t code = Vr8DecodePool(decodeTables, work.data(), inputLength, output,
                                          poolLength);
  if (code != 0) rc = code;
}
