#include "nuc/cx7.h"

#include <array>
#include <cstddef>

#include "nuc/byte_copy.h"
#include "nuc/run_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The EBCDIC byte of a letter, digit or space.
constexpr std::uint8_t Ebcdic(char ch) {
  if (ch >= 'A' && ch <= 'I') return static_cast<std::uint8_t>(0xC1 + (ch - 'A'));
  if (ch >= 'J' && ch <= 'R') return static_cast<std::uint8_t>(0xD1 + (ch - 'J'));
  if (ch >= 'S' && ch <= 'Z') return static_cast<std::uint8_t>(0xE2 + (ch - 'S'));
  if (ch >= 'a' && ch <= 'i') return static_cast<std::uint8_t>(0x81 + (ch - 'a'));
  if (ch >= 'j' && ch <= 'r') return static_cast<std::uint8_t>(0x91 + (ch - 'j'));
  if (ch >= 's' && ch <= 'z') return static_cast<std::uint8_t>(0xA2 + (ch - 's'));
  if (ch >= '0' && ch <= '9') return static_cast<std::uint8_t>(0xF0 + (ch - '0'));
  return 0x40;  // space
}

constexpr std::uint8_t InCode(char ch, std::uint8_t charCode) {
  return charCode == 0 ? Ebcdic(ch) : static_cast<std::uint8_t>(ch);
}

// The characters of the control codes 0-63: A-Z, a-f, two spaces, g-z, 0-9.
constexpr char ControlChar(int code) {
  if (code < 26) return static_cast<char>('A' + code);
  if (code < 32) return static_cast<char>('a' + code - 26);
  if (code < 34) return ' ';
  if (code < 54) return static_cast<char>('g' + code - 34);
  return static_cast<char>('0' + code - 54);
}

constexpr std::array<std::uint8_t, 64> ControlLetters(std::uint8_t charCode) {
  std::array<std::uint8_t, 64> t{};
  for (int i = 0; i < 64; ++i) t[i] = InCode(ControlChar(i), charCode);
  return t;
}

constexpr std::uint8_t Letter(unsigned v, std::uint8_t charCode) {
  return InCode(static_cast<char>('A' + v), charCode);
}

// What a decoder does with a byte at a code position.
constexpr std::uint8_t kInvalid = 0;     // 60
constexpr std::uint8_t kSkip = 0xFF;     // the space character
constexpr std::uint8_t kEnd = 0xFE;      // 0x7F
constexpr std::uint8_t kRunFlag = 0x80;  // kRunFlag | copies; else a literal's length

constexpr std::array<std::uint8_t, 256> DecodeActions(std::uint8_t charCode) {
  std::array<std::uint8_t, 256> t{};
  const auto letters = ControlLetters(charCode);
  for (int code = 0; code < 64; ++code) {
    if (code < 32) t[letters[code]] = static_cast<std::uint8_t>(code + 1);
    else if (code >= 34) t[letters[code]] = static_cast<std::uint8_t>(kRunFlag | (code - 31));
  }
  t[InCode(' ', charCode)] = kSkip;
  t[0x7F] = kEnd;
  return t;
}

// The nibble of each nibble letter, 0 for every other byte.
constexpr std::array<std::uint8_t, 256> LetterNibbleTable(std::uint8_t charCode) {
  std::array<std::uint8_t, 256> t{};
  for (unsigned v = 1; v < 16; ++v) t[Letter(v, charCode)] = static_cast<std::uint8_t>(v);
  return t;
}

constexpr auto kNibblesEbcdic = LetterNibbleTable(0);
constexpr auto kNibblesAscii = LetterNibbleTable(1);

constexpr auto kActionsEbcdic = DecodeActions(0);
constexpr auto kActionsAscii = DecodeActions(1);

struct Cx7Emitter {
  const std::uint8_t* control;
  std::uint8_t* out;
  const std::uint8_t* readLimit = nullptr;

  void Code(int code, std::uint8_t b) {
    out[0] = control[code];
    out[1] = b;
    out += 2;
  }
  void Run(std::uint8_t b, std::size_t n) {
    while (n > 35) {
      Code(63, b);
      n -= 32;
    }
    if (n >= 33) {
      Code(34, b);
      Code(static_cast<int>(n - 3 + 31), b);
    } else {
      Code(static_cast<int>(n + 31), b);
    }
  }
  void Literal(const std::uint8_t* p, std::size_t n) {
    while (n > 32) {
      *out++ = control[31];
      nuc::Copy32(out, p);
      out += 32;
      p += 32;
      n -= 32;
    }
    if (n) {
      *out++ = control[n - 1];
      if (readLimit - p >= 32) nuc::Copy32(out, p);
      else nuc::CopyBytes(out, p, n);
      out += n;
    }
  }
};

void Decode(const std::array<std::uint8_t, 256>& actions, const std::uint8_t* input,
            std::uint16_t inputLength, std::uint8_t* output, std::uint32_t outputCapacity,
            std::int32_t& rc, std::uint16_t& outLength) {
  rc = 0;
  const std::uint8_t* p = input;
  const std::uint8_t* const end = input + inputLength;
  std::uint8_t* o = output;
  std::uint8_t* const oend = output + (outputCapacity < 0xFFFFu ? outputCapacity : 0xFFFFu);
  while (p < end) {
    // Fast path: every code moves at most 32 bytes, so with room on both sides it needs no
    // test beyond its kind.
    while (end - p >= 34 && oend - o >= 32) {
      const std::uint8_t action = actions[*p];
      if (action >= 1 && action <= 32) {
        nuc::Copy32(o, p + 1);
        o += action;
        p += action + 1;
        continue;
      }
      if ((action & kRunFlag) && action != kSkip && action != kEnd) {
        nuc::Fill32(o, p[1]);
        o += action & 0x3F;
        p += 2;
        continue;
      }
      break;
    }
    if (p >= end) break;
    const std::uint8_t action = actions[*p++];
    if (action == kSkip) continue;
    if (action == kInvalid) { rc = 60; return; }
    if (action == kEnd) { rc = 62; return; }  // an end code before the end of the chunk
    if (action & kRunFlag) {
      const std::size_t n = action & 0x3F;
      if (end - p < 1) { rc = 62; return; }
      if (static_cast<std::size_t>(oend - o) < n) { rc = 60; return; }
      nuc::FillBytes(o, *p++, n);
      o += n;
    } else {
      const std::size_t n = action;
      if (static_cast<std::size_t>(end - p) < n) { rc = 62; return; }
      if (static_cast<std::size_t>(oend - o) < n) { rc = 60; return; }
      nuc::CopyBytes(o, p, n);
      p += n;
      o += n;
    }
  }
  outLength = static_cast<std::uint16_t>(o - output);
}

}  // namespace

void Cx7FillEncodeTables(std::uint8_t* encodeTables, std::uint8_t charCode) {
  for (unsigned b = 0; b < 256; ++b) {
    encodeTables[b] = Letter(b >> 4, charCode);
    encodeTables[256 + b] = Letter(b & 15, charCode);
  }
  const auto control = ControlLetters(charCode);
  for (int i = 0; i < 64; ++i) encodeTables[512 + i] = control[i];
}

void Cx7FillDecodeTables(std::uint8_t* decodeTables, std::uint8_t charCode) {
  for (int i = 0; i < 512; ++i) decodeTables[i] = 0;
  for (unsigned v = 1; v < 16; ++v) {
    decodeTables[Letter(v, charCode)] = static_cast<std::uint8_t>(16 * v);
    decodeTables[256 + Letter(v, charCode)] = static_cast<std::uint8_t>(v);
  }
}

#if defined(__SSE2__)
namespace {

// The nibble letters of 16 nibbles (0-15): 'A'-'P' in ASCII; in EBCDIC A-I and J-P lie in two
// rows of the code.
inline __m128i NibbleLetters(__m128i v, std::uint8_t charCode) {
  if (charCode != 0) return _mm_add_epi8(v, _mm_set1_epi8('A'));
  const __m128i second = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(8)), _mm_set1_epi8(7));
  return _mm_add_epi8(_mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0xC1))), second);
}

// The nibbles of 16 letters; 0 for a byte that is no nibble letter.
inline __m128i LetterNibbles(__m128i b, std::uint8_t charCode) {
  const auto within = [](__m128i t, int top) {  // t where t <= top (unsigned), else 0
    return _mm_and_si128(t, _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(static_cast<char>(top))), t));
  };
  if (charCode != 0) return within(_mm_sub_epi8(b, _mm_set1_epi8('A')), 15);
  const __m128i first = within(_mm_sub_epi8(b, _mm_set1_epi8(static_cast<char>(0xC1))), 8);
  const __m128i secondRow = _mm_sub_epi8(b, _mm_set1_epi8(static_cast<char>(0xD1)));
  const __m128i inSecond =
      _mm_cmpeq_epi8(_mm_min_epu8(secondRow, _mm_set1_epi8(6)), secondRow);
  return _mm_or_si128(first, _mm_and_si128(_mm_add_epi8(secondRow, _mm_set1_epi8(9)), inSecond));
}

}  // namespace
#endif

void Cx7BytesToLetters(std::uint8_t charCode, const std::uint8_t* bytes, int count,
                       std::uint8_t* high, std::uint8_t* low) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i nibble = _mm_set1_epi8(0x0F);
  for (; i + 16 <= count; i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high + i),
                     NibbleLetters(_mm_and_si128(_mm_srli_epi16(b, 4), nibble), charCode));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low + i), NibbleLetters(_mm_and_si128(b, nibble), charCode));
  }
#endif
  for (; i < count; ++i) {
    high[i] = Letter(bytes[i] >> 4, charCode);
    low[i] = Letter(bytes[i] & 15, charCode);
  }
}

void Cx7LettersToBytes(std::uint8_t charCode, std::uint8_t* letters, int count) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= count; i += 16) {
    const __m128i h = LetterNibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(letters + i)), charCode);
    const __m128i l = LetterNibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(letters + count + i)), charCode);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(letters + i), _mm_or_si128(_mm_slli_epi16(h, 4), l));
  }
#endif
  const auto& nibble = charCode == 0 ? kNibblesEbcdic : kNibblesAscii;
  for (; i < count; ++i)
    letters[i] = static_cast<std::uint8_t>(nibble[letters[i]] << 4 | nibble[letters[count + i]]);
}

void rlccx7(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength) {
  Cx7Emitter emit{encodeTables + 512, destination};
  if (sourceLength > 0) nuc::CutRunsAndLiterals(source, sourceLength, emit);
  outLength = static_cast<std::uint16_t>(emit.out - destination);
}

void rldcx7a(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t,
             std::uint32_t, const std::uint8_t*, std::uint8_t* output,
             std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength) {
  Decode(kActionsAscii, input, inputLength, output, outputCapacity, rc, outLength);
}

void rldcx7e(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t,
             std::uint32_t, const std::uint8_t*, std::uint8_t* output,
             std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength) {
  Decode(kActionsEbcdic, input, inputLength, output, outputCapacity, rc, outLength);
}
