#include "nuc/cx8.h"

#include <cstddef>
#include <cstring>

#include "nuc/byte_copy.h"
#include "nuc/cx8_decode.h"
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

namespace {

// One code, every operand checked against the bytes left in the chunk (62 when a code runs
// past its end) and every output against the capacity (60).
inline std::int32_t Cx8Code(Cx8Stream& s, const std::uint8_t fill[4]) {
  const std::uint8_t* p = s.p;
  const std::uint8_t* const end = s.end;
  std::uint8_t* const o = s.o;
  const std::uint8_t code = *p++;
  std::size_t n;
  if (code < 0x7C || code == 0x7D || code == 0x7E) {
    if (code < 0x7C) {
      n = code + 1u;
    } else if (code == 0x7D) {
      if (end - p < 1) return 62;
      n = *p++ + 1u;
    } else {
      if (end - p < 2) return 62;
      const std::size_t d = (std::size_t{p[0]} << 8) | p[1];
      p += 2;
      if (d < 256 || d > 2048) return 60;
      n = d + 1;
    }
    if (static_cast<std::size_t>(end - p) < n) return 62;
    if (static_cast<std::size_t>(s.oend - o) < n) return 60;
    nuc::CopyBytes(o, p, n);
    p += n;
  } else if (code >= 0x80) {
    const unsigned group = (code >> 5) & 3;  // 0x00, space, zero, own byte
    const unsigned k = code & 0x1F;
    if (k == 0) {
      if (end - p < 1) return 62;
      n = *p++ + 1u;
    } else if (k == 1) {
      if (end - p < 2) return 62;
      n = static_cast<std::uint16_t>(((p[0] << 8) | p[1]) + 1);
      p += 2;
      if (n < 257 || n > 2048) return 60;
    } else {
      n = k + 1;
    }
    std::uint8_t b = fill[group];
    if (group == 3) {
      if (end - p < 1) return 62;
      b = *p++;
    }
    if (static_cast<std::size_t>(s.oend - o) < n) return 60;
    nuc::FillBytes(o, b, n);
  } else if (code == 0x7C) {
    return 60;
  } else {  // 0x7F before the end of the chunk
    return 62;
  }
  s.p = p;
  s.o = o + n;
  return 0;
}

// One step of the fast path: a short literal if the code is one (taken without a branch on
// the class: a run after a run is too common for that branch to be guessed), then a short run
// if the next code is one, the usual pair. The literal moves 64 bytes (a longer one goes on 16
// bytes a step), the run stores 32 copies of its byte; bytes past the ones produced are
// overwritten later. False when the step took nothing or ran past the chunk or its capacity:
// then the stream is as before and the code goes through Cx8Code.
inline bool Cx8Step(Cx8Stream& s, const std::uint8_t fill[4]) {
  const std::uint8_t* p = s.p;
  std::uint8_t* o = s.o;
  const std::size_t c = p[0];
  const std::size_t literal = std::size_t{0} - (c < 0x7C);  // all ones for a short literal
  const std::size_t n = (c + 1) & literal;
  nuc::Copy32(o, p + 1);
  nuc::Copy32(o + 32, p + 33);
  if (n > 64) {
    for (std::size_t i = 64; i + 16 < n; i += 16) nuc::Copy16(o + i, p + 1 + i);
    nuc::Copy16(o + n - 16, p + 1 + n - 16);
  }
  p += (c + 2) & literal;
  o += n;
  const std::size_t r = p[0];
  if (r >= 0x82 && (r & 0x1F) >= 2) {
    const unsigned own = r >= 0xE0;  // the general group carries its byte
    const unsigned mask = 0u - own;
    nuc::Fill32(o, static_cast<std::uint8_t>((p[1] & mask) | (fill[(r >> 5) & 3] & ~mask)));
    o += (r & 0x1F) + 1u;
    p += 1 + own;
  } else if (n == 0) {
    return false;
  }
  if (p > s.end || o > s.oend) return false;
  s.p = p;
  s.o = o;
  return true;
}

// Decodes the rest of a chunk; the return code.
std::int32_t Cx8Finish(Cx8Stream& s, const std::uint8_t fill[4]) {
  for (;;) {
    while (s.CanStep() && Cx8Step(s, fill)) {
    }
    if (s.p >= s.end) return 0;
    if (s.p >= s.stepInput && !s.inTail) {
      s.EnterTail();
      continue;
    }
    if (const std::int32_t rc = Cx8Code(s, fill)) return rc;
  }
}

void Cx8Fill(std::uint8_t fill[4], std::uint32_t spaceChar, std::uint32_t zeroChar) {
  fill[0] = 0x00;
  fill[1] = static_cast<std::uint8_t>(spaceChar);
  fill[2] = static_cast<std::uint8_t>(zeroChar);
  fill[3] = 0;
}

}  // namespace

void rldcx8(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t spaceChar,
            std::uint32_t zeroChar, const std::uint8_t*, std::uint8_t* output,
            std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength) {
  std::uint8_t fill[4];
  Cx8Fill(fill, spaceChar, zeroChar);
  Cx8Stream s;
  s.Start(input, inputLength, input + inputLength, output, outputCapacity, outputCapacity);
  rc = Cx8Finish(s, fill);
  if (rc == 0) outLength = static_cast<std::uint16_t>(s.o - output);
}

Cx8ChunkPipe::Cx8ChunkPipe(std::uint32_t spaceChar, std::uint32_t zeroChar) {
  Cx8Fill(fill_, spaceChar, zeroChar);
}

void Cx8ChunkPipe::Run(Cx8Chunk& first, Cx8Chunk* next) {
  int index = 0;
  std::int32_t rc = 0;
  if (carried_ == &first) {
    index = carriedIndex_;
    rc = carriedRc_;
  } else {
    streams_[index].Start(first);
  }
  carried_ = nullptr;
  carriedRc_ = 0;
  Cx8Stream& x = streams_[index];
  if (next) {
    // Two independent code chains, a step of each in turn, until the first chunk ends.
    Cx8Stream& y = streams_[index ^ 1];
    y.Start(*next);
    std::int32_t nextRc = 0;
    if (rc == 0) {
      while (x.PairReady() && y.PairReady()) {
        const bool u = Cx8Step(x, fill_), v = Cx8Step(y, fill_);
        if (u & v) continue;
        if (!u && (x.p >= x.end || (rc = Cx8Code(x, fill_)) != 0)) break;
        if (!v && (y.p >= y.end || (nextRc = Cx8Code(y, fill_)) != 0)) break;
      }
    }
    carried_ = next;
    carriedIndex_ = index ^ 1;
    carriedRc_ = nextRc;
  }
  if (rc == 0) rc = Cx8Finish(x, fill_);
  first.rc = rc;
  if (rc == 0) first.outLength = static_cast<std::uint16_t>(x.o - first.output);
}
