// The VR8 bit code: a piece is cut into literals and runs as CX8 cuts it; their lengths go into a
// bit stream of short codes, their bytes into a literal pool after it.
#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "nuc/bitio.h"
#include "nuc/run_scan.h"
#include "nuc/vr8.h"
#include "nuc/vr8_pool.h"

namespace {

constexpr std::int32_t kMaxPiece = 2048;
constexpr int kMaxCounters = 1024;
// The bytes of codes the decoder takes before it gives up: the start code and 1025 codes of at
// most 16 bits. Beyond them the work copy has room for the reader's 8-byte loads.
constexpr std::size_t kCodeReadBound = 1 + (kMaxCounters + 1) * 2 + 1;
constexpr std::size_t kInputReadBound = kCodeReadBound + kVr8PoolReadBound;
// The bit stream of a piece of 2048 bytes: start and end code, and at most 1024 codes of at most
// 8 bits per 4 bytes, or one 16-bit code per literal.
constexpr std::size_t kCodeBytesMax = 1 + kMaxCounters + 1;

// The code of a literal or run length: literal lengths 1-4, 5-20, 21-84 and 85 up take codes of
// 4, 7, 10 and 16 bits, run lengths 3-6, 7-22, 23-86 and 87 up the same widths. Short lengths
// come from tables, so the common codes need no branch on the length.
struct LengthCode {
  std::uint16_t value;
  std::uint8_t width;
};
constexpr std::uint32_t kTabledLengths = 87;
constexpr std::array<LengthCode, kTabledLengths> MakeLiteralCodes() {
  std::array<LengthCode, kTabledLengths> t{};
  for (std::uint32_t len = 1; len < kTabledLengths; ++len) {
    if (len <= 4) t[len] = {static_cast<std::uint16_t>(len - 1), 4};
    else if (len <= 20) t[len] = {static_cast<std::uint16_t>(64 + len - 5), 7};
    else if (len <= 84) t[len] = {static_cast<std::uint16_t>(0x300 + len - 21), 10};
    else t[len] = {static_cast<std::uint16_t>(0xE000 + len - 85), 16};
  }
  return t;
}
constexpr std::array<LengthCode, kTabledLengths> MakeRunCodes() {
  std::array<LengthCode, kTabledLengths> t{};
  for (std::uint32_t len = 3; len < kTabledLengths; ++len) {
    if (len <= 6) t[len] = {static_cast<std::uint16_t>(4 + len - 3), 4};
    else if (len <= 22) t[len] = {static_cast<std::uint16_t>(0x50 + len - 7), 7};
    else t[len] = {static_cast<std::uint16_t>(0x340 + len - 23), 10};
  }
  return t;
}
constexpr auto kLiteralCodes = MakeLiteralCodes();
constexpr auto kRunCodes = MakeRunCodes();

inline void PutLiteralCode(WideBitWriter& w, std::uint32_t len) {
  if (len < kTabledLengths) w.Put(kLiteralCodes[len].value, kLiteralCodes[len].width);
  else w.Put(0xE000 + len - 85, 16);
}

inline void PutRunCode(WideBitWriter& w, std::uint32_t len) {
  if (len < kTabledLengths) w.Put(kRunCodes[len].value, kRunCodes[len].width);
  else w.Put(0xE800 + len - 87, 16);
}

// How the decoder reads a code, by its first 5 bits: the bits it takes, the field after the
// prefix (shift and mask within the 16-bit window), and the length as base + field, negative
// for a run. Bits 1111 are the end code. The loop takes the widths from a register constant
// instead (width - 1, a nibble per first 4 bits), checked against this table when compiling.
struct CodeForm {
  std::uint8_t bits;
  std::uint8_t shift;
  std::uint16_t mask;
  std::int16_t base;
  std::int16_t sign;  // +1 literal, -1 run, 0 end code
};
constexpr std::array<CodeForm, 32> MakeCodeForms() {
  std::array<CodeForm, 32> t{};
  for (int q = 0; q < 32; ++q) {
    const int prefix = q >> 1;
    CodeForm f{4, 0, 0, 0, 0};
    if (prefix < 4) f = {4, 0, 0, static_cast<std::int16_t>(prefix + 1), 1};
    else if (prefix < 8) f = {4, 0, 0, static_cast<std::int16_t>(prefix - 1), -1};
    else if (prefix == 8) f = {7, 9, 7, 5, 1};
    else if (prefix == 9) f = {7, 9, 7, 13, 1};
    else if (prefix == 10) f = {7, 9, 7, 7, -1};
    else if (prefix == 11) f = {7, 9, 7, 15, -1};
    else if (prefix == 12) f = {10, 6, 0x3F, 21, 1};
    else if (prefix == 13) f = {10, 6, 0x3F, 23, -1};
    else if (prefix == 14) f = (q & 1) ? CodeForm{16, 0, 0x7FF, 87, -1} : CodeForm{16, 0, 0x7FF, 85, 1};
    t[q] = f;
  }
  return t;
}
constexpr auto kCodeForms = MakeCodeForms();
constexpr std::uint64_t kCodeWidthsLess1 = 0x3F99666633333333ull;

constexpr bool WidthsMatchTable() {
  for (unsigned q = 0; q < 32; ++q) {
    if (((kCodeWidthsLess1 >> ((q >> 1) * 4)) & 15) + 1 != kCodeForms[q].bits) return false;
  }
  return true;
}
static_assert(WidthsMatchTable());

// Short copies and fills of a piece's size, 16 bytes a step: the string instructions a compiler
// picks for them start slowly. Nothing beyond `n` bytes is read or written.
inline void CopyBytesIn(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
  }
#endif
  if (i < n) std::memcpy(to + i, from + i, n - i);
}

inline void ZeroBytes(std::uint8_t* to, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_setzero_si128());
#endif
  if (i < n) std::memset(to + i, 0, n - i);
}

}  // namespace

void rlcvr8(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength) {
  if (sourceLength < 1 || sourceLength > kMaxPiece) {  // not a piece the matrix layout cuts
    outLength = 0;
    return;
  }
  // Lengths into the bit stream, bytes into the pool; the cut is the one CX8 makes.
  struct Emitter {
    Emitter(std::uint8_t* out, const std::uint8_t* limit) : w(out), readLimit(limit) {}
    WideBitWriter w;
    const std::uint8_t* readLimit;  // the source and the 4 bytes after it may be read
    std::int32_t poolLength = 0;
    std::array<std::uint8_t, kMaxPiece + 16> pool;  // the pool coder writes 4 bytes after it
    void Run(std::uint8_t b, std::size_t len) {
      pool[static_cast<std::size_t>(poolLength++)] = b;
      PutRunCode(w, static_cast<std::uint32_t>(len));
    }
    void Literal(const std::uint8_t* p, std::size_t len) {
      PutLiteralCode(w, static_cast<std::uint32_t>(len));
      std::uint8_t* to = pool.data() + poolLength;
      if (len <= 8 && p + 8 <= readLimit) {
        std::memcpy(to, p, 8);  // a short literal as one 8-byte move; the pool has the room
      } else {
        std::memcpy(to, p, len);
      }
      poolLength += static_cast<std::int32_t>(len);
    }
  };
  // The writers store 8 bytes at a time: the piece is built in a buffer with the slack and then
  // copied out, so nothing beyond the coded piece is written.
  std::array<std::uint8_t, kCodeBytesMax + kVr8PoolCodeMax + kVr8PoolCodeSlack> coded;
  Emitter e(coded.data(), source + sourceLength + 4);
  e.w.Put(8, 4);
  nuc::CutRunsAndLiterals(source, sourceLength, e);
  auto& pool = e.pool;
  const std::int32_t poolLength = e.poolLength;
  e.w.Put(15, 4);
  std::uint32_t fillBits = 0;
  std::uint8_t* poolStart = e.w.Close(fillBits);
  std::uint32_t poolCodeLength;
  if (poolLength < 16) {
    std::memcpy(poolStart, pool.data(), static_cast<std::size_t>(poolLength));
    poolCodeLength = static_cast<std::uint32_t>(poolLength);
  } else {
    poolCodeLength = Vr8CodePool(encodeTables, pool.data(), poolLength, poolStart);
  }
  const auto total = static_cast<std::size_t>(poolStart - coded.data()) + poolCodeLength;
  std::memcpy(destination, coded.data(), total);
  outLength = static_cast<std::uint16_t>(total);
}

void rldvr8(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t /*spaceChar*/,
            std::uint32_t /*zeroChar*/, const std::uint8_t* decodeTables, std::uint8_t* output,
            std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength) {
  // A work copy of the input: the reader's look-ahead, the end of the code stream and the pool
  // decoder's zero bytes all go to bytes after it, never to the caller's buffer.
  std::array<std::uint8_t, kInputReadBound + kVr8PoolZeroPad> work;
  const std::size_t copied = std::min<std::size_t>(inputLength, kInputReadBound);
  CopyBytesIn(work.data(), input, copied);
  // Bits 1111 after the input: a code stream that runs past it meets an end code at once.
  std::memset(work.data() + copied, 0xFF, 16);

  WideBitReader r(work.data());
  if (r.Get(1) == 0) {
    rc = 60;
    return;
  }
  r.Skip(3);  // the rest of the start code is not looked at
  std::array<std::int16_t, kMaxCounters> counters;
  int count = 0;
  std::uint32_t poolLength = 0;
  std::uint32_t total = 0;
  // A code is at most 16 bits and a refill leaves 56 bits or more: three codes per refill.
  for (bool end = false; !end;) {
    r.Refill();
    for (int j = 0; j < 3; ++j) {
      const auto v = static_cast<std::uint32_t>(r.Peek(16));
      r.Skip(static_cast<int>((kCodeWidthsLess1 >> ((v >> 12) * 4)) & 15) + 1);
      const CodeForm& form = kCodeForms[v >> 11];
      if (form.sign == 0) {  // the end code
        end = true;
        break;
      }
      if (count == kMaxCounters) {
        rc = 61;
        return;
      }
      const std::int32_t length = form.base + static_cast<std::int32_t>((v >> form.shift) & form.mask);
      counters[static_cast<std::size_t>(count++)] = static_cast<std::int16_t>(length * form.sign);
      poolLength += static_cast<std::uint32_t>(form.sign > 0 ? length : 1);
      total += static_cast<std::uint32_t>(length);
    }
  }
  // The end code must lie inside the input; the pool must fit a piece and the output the room.
  if (r.BitPosition() > std::size_t{inputLength} * 8 || poolLength > kVr8MaxPool ||
      total > outputCapacity || total > 0xFFFF) {
    rc = 60;
    return;
  }
  std::uint8_t* poolStart = work.data() + (r.BitPosition() + 7) / 8;
  const std::size_t poolInputLength =
      inputLength - static_cast<std::size_t>(poolStart - work.data());
  std::array<std::uint8_t, kVr8MaxPool + 64> decodedPool;  // 3 bytes of group fill, 64-byte moves
  const std::uint8_t* pool;
  if (poolLength >= 16) {
    ZeroBytes(work.data() + copied, kVr8PoolZeroPad);
    const std::int32_t code = Vr8DecodePool(decodeTables, poolStart, poolInputLength,
                                            decodedPool.data(),
                                            static_cast<std::uint16_t>(poolLength));
    if (code != 0) {
      rc = code;
      return;
    }
    pool = decodedPool.data();
  } else {
    if (poolLength > poolInputLength) {
      rc = 60;
      return;
    }
    pool = poolStart;
  }
  // Literals and runs into the output. While the output has 64 bytes of room (the caller's
  // capacity may be used), every code moves 64 bytes at once, pool bytes or copies of the run
  // byte chosen without a branch (the pool buffers have that slack after the pool); longer ones
  // go on 16 bytes a step.
  std::uint8_t* out = output;
  std::uint8_t* const outLimit = output + outputCapacity;
  int i = 0;
#if defined(__SSE2__)
  for (; i < count && outLimit - out >= 64; ++i) {
    // Masks, not branches: literals and runs alternate without a pattern.
    const std::int32_t c = counters[static_cast<std::size_t>(i)];
    const std::int32_t runMask = c >> 31;  // -1 for a run, 0 for a literal
    const auto len = static_cast<std::size_t>((c ^ runMask) - runMask);
    const bool literal = runMask == 0;
    const __m128i pick = _mm_set1_epi32(~runMask);
    const __m128i run = _mm_set1_epi8(static_cast<char>(*pool));
    const __m128i runPart = _mm_andnot_si128(pick, run);
    for (int j = 0; j < 64; j += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pool + j));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j),
                       _mm_or_si128(_mm_and_si128(pick, a), runPart));
    }
    if (len > 64) {  // the rest 16 bytes a step, the last step ending at the code's end
      std::size_t j = 64;
      if (literal) {
        for (; j + 16 < len; j += 16) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(pool + j)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + len - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(pool + len - 16)));
      } else {
        for (; j + 16 < len; j += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), run);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + len - 16), run);
      }
    }
    out += len;
    pool += ((len - 1) & static_cast<std::size_t>(~static_cast<std::int64_t>(runMask))) + 1;
  }
#endif
  for (; i < count; ++i) {
    const std::int32_t c = counters[static_cast<std::size_t>(i)];
    if (c > 0) {
      std::memcpy(out, pool, static_cast<std::size_t>(c));
      pool += c;
      out += c;
    } else {
      std::memset(out, *pool, static_cast<std::size_t>(-c));
      ++pool;
      out -= c;
    }
  }
  outLength = static_cast<std::uint16_t>(total);
}
