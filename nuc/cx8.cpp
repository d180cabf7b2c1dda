#include "nuc/cx8.h"

#include <cstddef>

#include "nuc/byte_copy.h"
#include "nuc/run_scan.h"

namespace {

struct Cx8Emitter {
  const std::uint8_t* runCode;
  std::uint8_t* out;
  const std::uint8_t* readLimit = nullptr;

  void Run(std::uint8_t b, std::size_t n) {
    const std::size_t c = n - 1;
    const std::uint8_t base = runCode[b];
    if (c <= 31) {
      out[0] = static_cast<std::uint8_t>(base + c);
      out[1] = b;  // kept only by the general group, which carries its byte
      out += base == 0xE0 ? 2 : 1;
      return;
    }
    if (c <= 255) {
      *out++ = base;
      *out++ = static_cast<std::uint8_t>(c);
    } else {
      *out++ = static_cast<std::uint8_t>(base + 1);
      *out++ = static_cast<std::uint8_t>(c >> 8);
      *out++ = static_cast<std::uint8_t>(c);
    }
    if (base == 0xE0) *out++ = b;
  }

  void Literal(const std::uint8_t* p, std::size_t n) {
    const std::size_t d = n - 1;
    if (d <= 123) {
      *out++ = static_cast<std::uint8_t>(d);
    } else if (d <= 255) {
      *out++ = 0x7D;
      *out++ = static_cast<std::uint8_t>(d);
    } else {
      *out++ = 0x7E;
      *out++ = static_cast<std::uint8_t>(d >> 8);
      *out++ = static_cast<std::uint8_t>(d);
    }
    if (n <= 32 && readLimit - p >= 32) {
      nuc::Copy32(out, p);
    } else if (readLimit - p >= static_cast<std::ptrdiff_t>((n + 15) & ~std::size_t{15})) {
      for (std::size_t i = 0; i < n; i += 16) nuc::Copy16(out + i, p + i);
    } else {
      nuc::CopyBytes(out, p, n);
    }
    out += n;
  }
};

}  // namespace

std::uint32_t NucSpaceChar(std::uint8_t charCode) { return charCode == 0 ? 0x40 : 0x20; }
std::uint32_t NucZeroChar(std::uint8_t charCode) { return charCode == 0 ? 0xF0 : 0x30; }

void Cx8FillRunCodeTable(std::uint8_t* table, std::uint8_t charCode) {
  for (int i = 0; i < 256; ++i) table[i] = 0xE0;
  table[0x00] = 0x80;
  table[NucSpaceChar(charCode)] = 0xA0;
  table[NucZeroChar(charCode)] = 0xC0;
}

void rlccx8(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength) {
  Cx8Emitter emit{encodeTables, destination};
  if (sourceLength > 0) nuc::CutRunsAndLiterals(source, sourceLength, emit);
  outLength = static_cast<std::uint16_t>(emit.out - destination);
}

// Every operand is checked against the bytes left in the chunk (62 when a code runs past its
// end) and every output against the capacity (60), so no byte is planted after the input.
void rldcx8(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t spaceChar,
            std::uint32_t zeroChar, const std::uint8_t*, std::uint8_t* output,
            std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength) {
  rc = 0;
  const std::uint8_t* p = input;
  const std::uint8_t* const end = input + inputLength;
  std::uint8_t* o = output;
  // The out length is 16 bits wide: a chunk can never produce more.
  std::uint8_t* const oend = output + (outputCapacity < 0xFFFFu ? outputCapacity : 0xFFFFu);
  const std::uint8_t fill[4] = {0x00, static_cast<std::uint8_t>(spaceChar),
                                static_cast<std::uint8_t>(zeroChar), 0};
  while (p < end) {
    // Fast path for the common short codes while both sides have room for 64-byte moves: a
    // literal moves 64 bytes at once (longer ones go on 16 bytes a step), a run of 3 to 32
    // bytes stores 32 copies of its byte, picked without a branch on its group.
    while (end - p >= 66 && oend - o >= 64) {
      const std::uint8_t code = *p;
      if (code < 0x7C) {
        const std::size_t n = code + 1u;
        nuc::Copy32(o, p + 1);
        nuc::Copy32(o + 32, p + 33);
        if (n > 64) {
          if (static_cast<std::size_t>(end - p) < n + 17 || static_cast<std::size_t>(oend - o) < n + 16)
            break;
          for (std::size_t i = 64; i < n; i += 16) nuc::Copy16(o + i, p + 1 + i);
        }
        o += n;
        p += n + 1;
        continue;
      }
      if (code >= 0x82 && (code & 0x1F) >= 2) {
        const unsigned own = (code >> 5) == 7;  // the general group carries its byte
        const unsigned mask = 0u - own;
        nuc::Fill32(o, static_cast<std::uint8_t>((p[1] & mask) | (fill[(code >> 5) & 3] & ~mask)));
        o += (code & 0x1F) + 1u;
        p += 1 + own;
        continue;
      }
      break;
    }
    if (p >= end) break;
    const std::uint8_t code = *p++;
    if (code < 0x7C || code == 0x7D || code == 0x7E) {
      std::size_t n;
      if (code < 0x7C) {
        n = code + 1u;
      } else if (code == 0x7D) {
        if (end - p < 1) { rc = 62; return; }
        n = *p++ + 1u;
      } else {
        if (end - p < 2) { rc = 62; return; }
        const std::size_t d = (std::size_t{p[0]} << 8) | p[1];
        p += 2;
        if (d < 256 || d > 2048) { rc = 60; return; }
        n = d + 1;
      }
      if (static_cast<std::size_t>(end - p) < n) { rc = 62; return; }
      if (static_cast<std::size_t>(oend - o) < n) { rc = 60; return; }
      nuc::CopyBytes(o, p, n);
      p += n;
      o += n;
    } else if (code >= 0x80) {
      const unsigned group = (code >> 5) & 3;  // 0x00, space, zero, own byte
      const unsigned k = code & 0x1F;
      std::size_t n;
      if (k == 0) {
        if (end - p < 1) { rc = 62; return; }
        n = *p++ + 1u;
      } else if (k == 1) {
        if (end - p < 2) { rc = 62; return; }
        n = static_cast<std::uint16_t>(((p[0] << 8) | p[1]) + 1);
        p += 2;
        if (n < 257 || n > 2048) { rc = 60; return; }
      } else {
        n = k + 1;
      }
      std::uint8_t b = fill[group];
      if (group == 3) {
        if (end - p < 1) { rc = 62; return; }
        b = *p++;
      }
      if (static_cast<std::size_t>(oend - o) < n) { rc = 60; return; }
      nuc::FillBytes(o, b, n);
      o += n;
    } else if (code == 0x7C) {
      rc = 60;
      return;
    } else {  // 0x7F before the end of the chunk
      rc = 62;
      return;
    }
  }
  outLength = static_cast<std::uint16_t>(o - output);
}
