#include "crypt/torqenc.h"

#include <algorithm>
#include <cstring>

#include "crypt/block_ops.h"
#include "support/crc.h"

using torq::crypt::LoadBe32;
using torq::crypt::StoreBe32;

namespace {

constexpr std::uint32_t kLastPair = 0x1FF8;

void SwapBytes(std::uint8_t* a, std::uint8_t* b, std::size_t n) { std::swap_ranges(a, a + n, b); }

// Exchanges the 64 words at `first` + 8j with those at `first` + 7680 + 8j.
void SwapWordRows(std::uint8_t* q, std::size_t first) {
  for (std::size_t j = 0; j < 64; ++j) SwapBytes(q + first + 8 * j, q + first + 7680 + 8 * j, 4);
}

void ResetWorkingWords(std::uint8_t* q) {
  for (std::size_t j = 0; j < 8192; j += 8) std::memcpy(q + j + 4, q + j, 4);
}

inline std::uint8_t* Working(std::uint8_t* q, std::uint32_t i) { return q + 4 + i; }

// Index of the working word for key byte b under the running words x and t.
inline std::uint32_t PairIndex(std::uint32_t b, std::uint32_t x, std::uint32_t t) {
  return (((b ^ x) & 0xFF) ^ (t & 0x3FF)) * 8;
}

// One table step: x' = (x >> 8) XOR W(i), stored back into W(i).
inline std::uint32_t Step(std::uint8_t* q, std::uint32_t i, std::uint32_t x) {
  const std::uint32_t next = (x >> 8) ^ LoadBe32(Working(q, i));
  StoreBe32(Working(q, i), next);
  return next;
}

// A 32-byte block as eight big-endian words, worked on in registers.
struct Block {
  std::uint32_t w[8];
  explicit Block(const std::uint8_t* p) {
    for (int k = 0; k < 8; ++k) w[k] = LoadBe32(p + 4 * k);
  }
  void Store(std::uint8_t* p) const {
    for (int k = 0; k < 8; ++k) StoreBe32(p + 4 * k, w[k]);
  }
};

// The closing pass runs over at most the first 32 bytes from p; the three words at p are
// mixed before it when enciphering and after it when deciphering.
std::int32_t ClosingCount(std::int32_t n) { return std::min<std::int32_t>(32, n + 4); }

}  // namespace

bool trqpwdi(const std::uint8_t* password, const std::int32_t* length, PwdCipherState* state) {
  const std::int32_t n = *length;
  if (n < 0 || n > kTorqencMaxPassword || (n > 0 && password == nullptr)) return false;
  std::uint8_t* q = state->bytes;
  std::memset(q, 0, sizeof state->bytes);
  // 1: the length byte and the password, repeated until at least 256 bytes are written.
  const std::size_t unit = static_cast<std::size_t>(n) + 1;
  q[0] = static_cast<std::uint8_t>(n);
  if (n > 0) std::memcpy(q + 1, password, static_cast<std::size_t>(n));
  std::size_t m = unit;
  for (; m < 256; m += unit) std::memcpy(q + m, q, unit);
  // 2, 3
  const std::int32_t first = 256;
  std::uint16_t crc16;
  torqcri(q, &first, &crc16);
  SwapBytes(q, q + 224, 32);
  // 4: seven copies, each the 256 bytes read rotated left by one bit.
  for (std::size_t k = 0, r = 0, w = m; k < 7; ++k, r += 256, w += 256)
    for (std::size_t i = 0; i < 256; ++i)
      q[w + i] = static_cast<std::uint8_t>(q[r + i] << 1 | q[r + (i + 1) % 256] >> 7);
  for (std::size_t i = 0; i < 2048; ++i) q[2048 + i] = static_cast<std::uint8_t>(~q[i]);  // 5
  const std::int32_t half = 4096;                                                           // 6
  const std::uint32_t start = 0xFFFFFFFF;
  std::uint32_t crc32;
  trqcri3(q, &half, &crc32, &start);
  SwapBytes(q, q + 3840, 256);                                                              // 7
  std::memcpy(q + 4096, q + 1, 4095);                                                       // 8
  // 9: the base words are stirred group by group; each group byte takes the low byte of
  // the word it produced.
  std::uint32_t c = std::uint32_t{q[1]} << 16 | std::uint32_t{q[2]} << 8 | q[3];
  for (std::size_t g = 0; g < 8192; g += 32) {
    for (int s = 0; s < 4; ++s) {
      std::uint8_t& groupByte = q[g + 24 - 8 * s];
      c |= std::uint32_t{groupByte} << 24;
      const std::uint32_t i = c & kLastPair;
      if (s == 3) c ^= crc32tab[(c >> 2) & 0xFF];
      c ^= LoadBe32(q + i);
      StoreBe32(q + i, c);
      groupByte = static_cast<std::uint8_t>(c);
      c >>= 8;
    }
  }
  SwapWordRows(q, 0);  // 10
  ResetWorkingWords(q);  // 11
  return true;
}

void PWDB8KB(const std::uint8_t* key, PwdCipherState* state) {
  std::uint8_t* q = state->bytes;
  const std::uint32_t keyWord = LoadBe32(key);
  std::uint32_t v = keyWord & 0xFFFFFF;
  for (std::size_t g = 0; g < 8192; g += 32) {
    std::uint32_t a = v;
    for (int s = 0; s < 4; ++s) {
      std::uint8_t& groupByte = q[g + 28 - 8 * s];
      a = std::uint32_t{groupByte} << 24 | (s == 0 ? v : a >> 8);
      const std::uint32_t i = a & kLastPair;
      if (s == 3) a ^= keyWord;
      a ^= LoadBe32(Working(q, i));
      StoreBe32(Working(q, i), a);
      groupByte = static_cast<std::uint8_t>(a);
    }
    v = a >> 8;
  }
  SwapWordRows(q, 4);
}

void trqpwdv(std::uint8_t* p, const std::int32_t* length, PwdCipherState* state) {
  const std::int32_t n = *length;
  if (n <= 8) return;
  std::uint8_t* q = state->bytes;
  PWDB8KB(p, state);
  std::uint32_t x = LoadBe32(q + 68);
  std::uint32_t t = LoadBe32(q + 132);
  std::uint8_t* region = p + 4;
  const std::size_t size = static_cast<std::size_t>(n);
  const std::size_t blockEnd = size & ~std::size_t{31};
  for (std::size_t o = 0; o < blockEnd; o += 32) {
    Block blk(region + o);
    blk.w[0] ^= blk.w[6];
    blk.w[1] ^= blk.w[7];
    for (int pair = 0; pair < 8; pair += 2) {
      std::uint32_t& a = blk.w[pair];
      std::uint32_t& d = blk.w[pair + 1];
      const std::uint32_t b = a >> 24;
      const std::uint32_t i = PairIndex(b, x, t);
      d ^= a;
      const std::uint32_t next = Step(q, i, x);
      a = ((b ^ (x >> 8)) & 0xFF) << 24 | ((a ^ next) & 0xFFFFFF);
      d ^= LoadBe32(Working(q, i ^ kLastPair));
      x = next;
      t = (t & 0x3FF) + 433;
    }
    blk.Store(region + o);
  }
  for (std::size_t o = blockEnd; o < size; o += 4) {
    std::uint8_t* a = region + o;
    const std::uint8_t b = a[0];
    const std::uint32_t i = PairIndex(b, x, t);
    const std::uint32_t next = Step(q, i, x);
    torq::crypt::XorBytes(a, Working(q, i), std::min<std::size_t>(4, size - o));
    a[0] = static_cast<std::uint8_t>(b ^ (x >> 8));
    x = next;
    t = (t & 0x3FF) + 433;
  }
  ResetWorkingWords(q);
  // Closing pass, seeded by the bytes in front of p.
  std::uint32_t y = std::uint32_t{p[-8]} << 24 | std::uint32_t{p[-7]} << 16 | std::uint32_t{p[-4]} << 8 | p[-3];
  std::uint32_t u = y >> 20;
  std::uint8_t* a = p;
  std::uint8_t* b = p + 4;
  std::uint8_t* c = p + 8;
  torq::crypt::XorBytes(a, b, 4);
  torq::crypt::XorBytes(b, c, 4);
  torq::crypt::XorBytes(c, a, 4);
  for (int k = 0; k < 4; ++k) b[k] = static_cast<std::uint8_t>(~b[k]);
  for (std::int32_t k = 0, end = ClosingCount(n); k < end; ++k) {
    const std::uint8_t e = p[k];
    p[k] = static_cast<std::uint8_t>(e ^ (y >> 8));
    const std::uint32_t i = PairIndex(e, y, u);
    y = (y >> 8) ^ LoadBe32(Working(q, i));
    u = (u & 0x3FF) + 433;
  }
}

void trqpwde(std::uint8_t* p, const std::int32_t* length, PwdCipherState* state) {
  const std::int32_t n = *length;
  if (n <= 8) return;
  std::uint8_t* q = state->bytes;
  std::uint32_t y = std::uint32_t{p[-8]} << 24 | std::uint32_t{p[-7]} << 16 | std::uint32_t{p[-4]} << 8 | p[-3];
  std::uint32_t u = y >> 20;
  for (std::int32_t k = 0, end = ClosingCount(n); k < end; ++k) {
    const std::uint8_t e = static_cast<std::uint8_t>(p[k] ^ (y >> 8));
    p[k] = e;
    const std::uint32_t i = PairIndex(e, y, u);
    y = (y >> 8) ^ LoadBe32(Working(q, i));
    u = (u & 0x3FF) + 433;
  }
  std::uint8_t* a = p;
  std::uint8_t* b = p + 4;
  std::uint8_t* c = p + 8;
  for (int k = 0; k < 4; ++k) b[k] = static_cast<std::uint8_t>(~b[k]);
  torq::crypt::XorBytes(c, a, 4);
  torq::crypt::XorBytes(b, c, 4);
  torq::crypt::XorBytes(a, b, 4);

  PWDB8KB(p, state);
  std::uint32_t x = LoadBe32(q + 68);
  std::uint32_t t = LoadBe32(q + 132);
  std::uint8_t* region = p + 4;
  const std::size_t size = static_cast<std::size_t>(n);
  const std::size_t blockEnd = size & ~std::size_t{31};
  for (std::size_t o = 0; o < blockEnd; o += 32) {
    Block blk(region + o);
    for (int pair = 0; pair < 8; pair += 2) {
      std::uint32_t& a = blk.w[pair];
      std::uint32_t& d = blk.w[pair + 1];
      const std::uint32_t b = ((a >> 24) ^ (x >> 8)) & 0xFF;
      const std::uint32_t i = PairIndex(b, x, t);
      const std::uint32_t next = Step(q, i, x);
      a = b << 24 | ((a ^ next) & 0xFFFFFF);
      d ^= LoadBe32(Working(q, i ^ kLastPair)) ^ a;
      x = next;
      t = (t & 0x3FF) + 433;
    }
    blk.w[0] ^= blk.w[6];
    blk.w[1] ^= blk.w[7];
    blk.Store(region + o);
  }
  for (std::size_t o = blockEnd; o < size; o += 4) {
    std::uint8_t* a2 = region + o;
    const std::uint8_t bb = static_cast<std::uint8_t>(a2[0] ^ (x >> 8));
    a2[0] = bb;
    const std::uint32_t i = PairIndex(bb, x, t);
    const std::uint32_t next = Step(q, i, x);
    const std::size_t inside = std::min<std::size_t>(4, size - o);
    if (inside > 1) torq::crypt::XorBytes(a2 + 1, Working(q, i) + 1, inside - 1);
    x = next;
    t = (t & 0x3FF) + 433;
  }
  ResetWorkingWords(q);
}
