// Fast LZ: one greedy pass, one hash probe per position, no chains.
#include "coders/fast_lz.h"

#include <algorithm>
#include <cstring>

#include "nuc/byte_copy.h"
#include "support/heap.h"

namespace {

constexpr std::int32_t kMaxToken = 127;

inline std::uint32_t Load4(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline std::uint32_t Slot(const std::uint8_t* p) {
  std::uint32_t h = 0x811C9DC5u;
  for (int i = 0; i < 4; ++i) {
    h ^= p[i];
    h *= 0x01000193u;
  }
  return h & (kFastLzSlots - 1);
}

enum class Source { kAbsolute, kDistance };

// Output writer that gives up once the coded form reaches the input length: past that point
// the caller stores the input anyway.
struct Writer {
  std::uint8_t* out;
  std::int32_t pos;
  std::int32_t limit;
  bool full;
  void Put(std::uint8_t b) {
    if (pos >= limit) {
      full = true;
      return;
    }
    out[pos++] = b;
  }
  void PutBytes(const std::uint8_t* s, std::int32_t n) {
    if (n > limit - pos) {
      full = true;
      return;
    }
    nuc::CopyBytes(out + pos, s, static_cast<std::size_t>(n));
    pos += n;
  }
  void Literals(const std::uint8_t* s, std::int32_t n) {
    while (n > 0 && !full) {
      const std::int32_t run = n > kMaxToken ? kMaxToken : n;
      Put(static_cast<std::uint8_t>(run));
      PutBytes(s, run);
      s += run;
      n -= run;
    }
  }
};

template <Source kind>
std::int32_t Compress(std::uint32_t* table, std::int32_t n, const std::uint8_t* in,
                      std::uint8_t* out) {
  if (n <= 0) {
    out[0] = 0;
    return 1;
  }
  if (n < 8) {
    out[0] = static_cast<std::uint8_t>(n);
    std::memcpy(out + 1, in, static_cast<std::size_t>(n));
    out[n + 1] = 0;
    return n + 2;
  }
  // Positions travel in 16 bits: a longer input cannot be coded and is stored.
  if (n > 65536) return n;
  std::fill(table, table + kFastLzSlots, 0u);
  for (std::uint32_t i = 0; i < 4; ++i) table[Slot(in + i)] = i;
  Writer w{out, 0, n, false};
  std::int32_t literalStart = 0;
  std::int32_t scan = 4;
  while (scan < n - 4) {
    const std::uint32_t slot = Slot(in + scan);
    const std::int32_t cand = static_cast<std::int32_t>(table[slot]);
    const std::int32_t dist = scan - cand;
    const bool ok = dist >= 4 && (kind == Source::kAbsolute || dist <= 65535) &&
                    Load4(in + cand) == Load4(in + scan);
    if (!ok) {
      table[slot] = static_cast<std::uint32_t>(scan);
      ++scan;
      continue;
    }
    const std::int32_t pending = scan - literalStart;
    if (w.pos + pending + pending / 128 + 4 >= n) return n;
    w.Literals(in + literalStart, pending);
    std::int32_t len = 4;
    const std::int32_t most = dist < n - scan ? dist : n - scan;
    while (len < most && in[cand + len] == in[scan + len]) ++len;
    std::int32_t source = kind == Source::kAbsolute ? cand : dist;
    for (std::int32_t left = len; left > 0;) {
      const std::int32_t piece = left > kMaxToken ? kMaxToken : left;
      w.Put(static_cast<std::uint8_t>(0x80 + piece));
      w.Put(static_cast<std::uint8_t>(source >> 8));
      w.Put(static_cast<std::uint8_t>(source));
      if (kind == Source::kAbsolute) source += kMaxToken;
      left -= piece;
    }
    if (w.full) return n;
    table[slot] = static_cast<std::uint32_t>(scan);
    scan += len;
    literalStart = scan;
  }
  const std::int32_t pending = n - literalStart;
  if (w.pos + pending + pending / 128 + 1 >= n) return n;
  w.Literals(in + literalStart, pending);
  w.Put(0);
  return w.full ? n : w.pos;
}

template <Source kind>
std::int32_t Decompress(std::int32_t n, const std::uint8_t* in, std::uint8_t* out,
                        std::int32_t room) {
  if (n <= 0 || in[n - 1] != 0) return -60;
  std::int32_t i = 0;
  std::int32_t pos = 0;
  for (;;) {
    if (i >= n) return -60;
    const std::int32_t t = in[i++];
    if (t == 0) return i == n ? pos : -73;
    if (t < 128) {
      if (t > n - i || t > room - pos) return -60;
      nuc::CopyBytes(out + pos, in + i, static_cast<std::size_t>(t));
      i += t;
      pos += t;
      continue;
    }
    if (n - i < 2) return -60;
    const std::int32_t p = (in[i] << 8) | in[i + 1];
    i += 2;
    const std::int32_t len = t - 128;
    const std::int32_t from = kind == Source::kAbsolute ? p : pos - p;
    if (len == 0) continue;
    if (from < 0 || from >= pos) return -60;
    if (len > room - pos) return -60;
    if (from + len <= pos) {
      nuc::CopyBytes(out + pos, out + from, static_cast<std::size_t>(len));
    } else {
      for (std::int32_t k = 0; k < len; ++k) out[pos + k] = out[from + k];
    }
    pos += len;
  }
}

}  // namespace

std::uint32_t* pvFswOpn(std::int32_t flag) {
  const std::uint32_t size = flag != 0 ? kFastLzSlots * sizeof(std::uint32_t) : 16;
  return static_cast<std::uint32_t*>(rmHeapAlloc(size));
}

void fvFswCls(std::uint32_t* table) {
  if (table != nullptr) rmHeapFree(table);
}

std::int32_t siFfwCmp(std::uint32_t* table, std::int32_t inputLength, const std::uint8_t* input,
                      std::uint8_t* output) {
  return Compress<Source::kAbsolute>(table, inputLength, input, output);
}

std::int32_t siFswCmp(std::uint32_t* table, std::int32_t inputLength, const std::uint8_t* input,
                      std::uint8_t* output) {
  return Compress<Source::kDistance>(table, inputLength, input, output);
}

std::int32_t siFfwDco(std::int32_t inputLength, const std::uint8_t* input, std::uint8_t* output,
                      std::int32_t room) {
  return Decompress<Source::kAbsolute>(inputLength, input, output, room);
}

std::int32_t siFswDco(std::int32_t inputLength, const std::uint8_t* input, std::uint8_t* output,
                      std::int32_t room) {
  return Decompress<Source::kDistance>(inputLength, input, output, room);
}
