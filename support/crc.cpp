#include "support/crc.h"

#include "support/build_stamp.h"

#include <cstddef>
#include <cstring>

TORQ_BUILD_STAMP("TorqCrc")

namespace {

using Byte = unsigned char;

// Slicing-by-8 tables for the plain (non-scrambling) CRCs: slice[k][i] is the register after
// feeding byte i followed by k zero bytes.
template <std::uint32_t Poly>
struct Slices {
  std::array<std::array<std::uint32_t, 256>, 8> t{};
  constexpr Slices() {
    t[0] = torq::crc_detail::MakeReflectedTable(Poly);
    for (int k = 1; k < 8; ++k)
      for (int i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
};
constexpr Slices<0xEDB88320> kSlice32;
constexpr Slices<0x8408> kSlice16;

inline std::uint32_t Load32(const Byte* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // little-endian hosts only (checked at start-up)
}

// Plain reflected CRC over n bytes from register c. Works for CRC-16 too, since its register
// stays below 0x10000 and its table entries do as well.
template <std::uint32_t Poly>
std::uint32_t Update(std::uint32_t c, const Byte* p, std::size_t n, const Slices<Poly>& s) {
  const auto& t = s.t;
  while (n >= 8) {
    const std::uint32_t lo = Load32(p) ^ c;
    const std::uint32_t hi = Load32(p + 4);
    c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
        t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) c = t[0][(*p++ ^ c) & 0xFF] ^ (c >> 8);
  return c;
}

inline std::size_t Count(std::int32_t length) { return length > 0 ? static_cast<std::size_t>(length) : 0; }

// Scrambling for writing: h = c >> 8, step over the plain byte, byte ^= h.
template <const std::array<std::uint32_t, 256>& Tab>
std::uint32_t ScrambleOut(std::uint32_t c, Byte* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t h = c >> 8;
    const Byte b = p[i];
    c = Tab[(b ^ c) & 0xFF] ^ h;
    p[i] = static_cast<Byte>(b ^ h);
  }
  return c;
}

// Descrambling for reading: byte ^= (c >> 8), then step over the restored byte.
// The loop runs on e = c ^ (c >> 8) instead of c: the table index is then simply
// (scrambled byte ^ e), which keeps one operation off the per-byte dependency chain.
// e' = U[index] ^ (e >> 8) with U[i] = T[i] ^ (T[i] >> 8), and c is recovered from e as
// e ^ (e >> 8) ^ (e >> 16) ^ (e >> 24).
constexpr std::array<std::uint32_t, 256> Fold(const std::array<std::uint32_t, 256>& t) {
  std::array<std::uint32_t, 256> u{};
  for (int i = 0; i < 256; ++i) u[i] = t[i] ^ (t[i] >> 8);
  return u;
}
constexpr std::array<std::uint32_t, 256> kFolded32 = Fold(crc32tab);
constexpr std::array<std::uint32_t, 256> kFolded16 = Fold(crc16tab);

constexpr std::uint32_t Unfold(std::uint32_t e) { return e ^ (e >> 8) ^ (e >> 16) ^ (e >> 24); }

template <const std::array<std::uint32_t, 256>& U>
std::uint32_t ScrambleIn(std::uint32_t c, Byte* p, std::size_t n) {
  const auto& u = U;
  std::uint32_t e = c ^ (c >> 8);
  for (std::size_t i = 0; i < n; ++i) {
    const Byte s = p[i];
    const std::uint32_t next = u[(s ^ e) & 0xFF] ^ (e >> 8);
    p[i] = static_cast<Byte>(s ^ (Unfold(e) >> 8));
    e = next;
  }
  return Unfold(e);
}

// The 32-bit whitening eight bytes per step. Both directions are one recurrence over a
// register r and the 8 input bytes d (plain bytes and r = c when writing; whitened bytes and
// r = c ^ (c >> 8) when reading), and that recurrence has the shape of a plain reflected
// CRC with a linear table (crc32tab, or its folded form). So, as for slicing-by-8, r after
// the 8 bytes is a sum of table entries over the bytes of u = r ^ d[0..3] and of d[4..7];
// and the 8 whitening bytes (bits 8-15 of c before each byte) are such a sum too, plus
// c >> 8 for what of the register's own bytes has not yet been shifted out. The per-byte
// chain becomes one table step per 8 bytes.
struct WhiteningSlices {
  std::array<std::array<std::uint64_t, 256>, 7> mask{};  // byte 7 whitens nothing in the step
  std::array<std::array<std::uint32_t, 256>, 8> next{};

  // reading: whether r is the folded register (and U the folded table).
  constexpr WhiteningSlices(const std::array<std::uint32_t, 256>& table, bool reading) {
    for (int j = 0; j < 8; ++j)
      for (int v = 0; v < 256; ++v) {
        // From r = 0, with only byte j of the input set to v.
        std::uint32_t r = 0;
        std::uint64_t m = 0;
        for (int k = 0; k < 8; ++k) {
          const std::uint32_t c = reading ? Unfold(r) : r;
          m |= std::uint64_t{(c >> 8) & 0xFF} << (8 * k);
          const std::uint32_t in = k == j ? static_cast<std::uint32_t>(v) : 0;
          r = table[(in ^ r) & 0xFF] ^ (r >> 8);
        }
        if (j < 7) mask[j][v] = m;
        next[j][v] = r;
      }
  }
};
constexpr WhiteningSlices kWhitenOut(crc32tab, false);
constexpr WhiteningSlices kWhitenIn(kFolded32, true);

inline std::uint64_t Load64(const Byte* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void Store64(Byte* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

// An empty barrier: the value is taken as computed, so XORs around it are not reassociated.
inline void KeepApart(std::uint32_t& v) {
#if defined(__GNUC__)
  __asm__("" : "+r"(v));
#else
  (void)v;
#endif
}

// Runs the 8-byte steps over the whole 8-byte groups of n bytes; returns r after them.
template <bool Reading>
std::uint32_t Whiten8(const WhiteningSlices& s, std::uint32_t r, Byte* p, std::size_t groups) {
  const auto& m = s.mask;
  const auto& t = s.next;
  for (; groups != 0; --groups, p += 8) {
    const std::uint64_t d = Load64(p);
    const std::uint32_t u = static_cast<std::uint32_t>(d) ^ r;
    const std::uint32_t hi = static_cast<std::uint32_t>(d >> 32);
    const std::uint32_t u0 = u & 0xFF, u1 = (u >> 8) & 0xFF, u2 = (u >> 16) & 0xFF, u3 = u >> 24;
    const std::uint32_t h0 = hi & 0xFF, h1 = (hi >> 8) & 0xFF, h2 = (hi >> 16) & 0xFF, h3 = hi >> 24;
    const std::uint32_t c = Reading ? Unfold(r) : r;
    const std::uint64_t mask = ((m[0][u0] ^ m[1][u1]) ^ (m[2][u2] ^ m[3][u3])) ^
                               ((m[4][h0] ^ m[5][h1]) ^ (m[6][h2] ^ (c >> 8)));
    // The terms of the upper four bytes do not wait for r: only two levels of XOR follow the
    // lookups that do (the compiler would otherwise string all eight into one chain).
    std::uint32_t upper = (t[4][h0] ^ t[5][h1]) ^ (t[6][h2] ^ t[7][h3]);
    std::uint32_t a = t[0][u0] ^ t[1][u1], b = t[2][u2] ^ t[3][u3];
    KeepApart(upper);
    KeepApart(a);
    KeepApart(b);
    r = (a ^ b) ^ upper;
    Store64(p, d ^ mask);
  }
  return r;
}

std::uint32_t WhitenOut32(std::uint32_t c, Byte* p, std::size_t n) {
  c = Whiten8<false>(kWhitenOut, c, p, n / 8);
  return ScrambleOut<crc32tab>(c, p + (n & ~std::size_t{7}), n % 8);
}

std::uint32_t WhitenIn32(std::uint32_t c, Byte* p, std::size_t n) {
  const std::uint32_t e = Whiten8<true>(kWhitenIn, c ^ (c >> 8), p, n / 8);
  return ScrambleIn<kFolded32>(Unfold(e), p + (n & ~std::size_t{7}), n % 8);
}

// What ScrambleIn would compute, without writing.
std::uint32_t VerifyIn(std::uint32_t c, const Byte* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t h = c >> 8;
    c = crc32tab[(p[i] ^ h ^ c) & 0xFF] ^ h;
  }
  return c;
}

}  // namespace

std::uint32_t calc_crc32(const void* buffer, std::int32_t length) {
  return Update(0xFFFFFFFFu, static_cast<const Byte*>(buffer), Count(length), kSlice32) ^ 0xFFFFFFFFu;
}

std::uint32_t calc_crc16(const void* buffer, std::int32_t length) {
  return Update(0xFFFFu, static_cast<const Byte*>(buffer), Count(length), kSlice16) ^ 0xFFFFu;
}

std::uint32_t Crc32(const void* buffer, std::int32_t length, std::uint32_t start) {
  return Update(start, static_cast<const Byte*>(buffer), Count(length), kSlice32) ^ 0xFFFFFFFFu;
}

std::uint32_t Crc16_251(const void* buffer, std::int32_t length) {
  const auto* p = static_cast<const Byte*>(buffer);
  std::uint32_t c = 0xFFFF;
  for (std::size_t i = 0, n = Count(length); i < n; i += 251) c = crc16tab[(p[i] ^ c) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFF;
}

std::uint32_t CRC32Crypt(void* buffer, std::int32_t length) {
  return WhitenOut32(0xFFFFFFFFu, static_cast<Byte*>(buffer), Count(length)) ^ 0xFFFFFFFFu;
}

std::uint32_t CRC16Crypt(void* buffer, std::int32_t length) {
  return (ScrambleOut<crc16tab>(0xFFFF, static_cast<Byte*>(buffer), Count(length)) ^ 0xFFFF) & 0xFFFF;
}

std::uint16_t TorqChecksum(const void* buffer, std::int32_t length) {
  const auto* p = static_cast<const Byte*>(buffer);
  const std::size_t n = Count(length);
  std::uint32_t sum = 0xAAAA;
  auto step = [&sum](std::uint32_t word) {
    sum ^= word;
    sum = ((sum << 1) | (sum >> 15)) & 0xFFFF;
  };
  std::size_t i = 0;
  for (; i + 1 < n; i += 2) step(p[i] | (std::uint32_t{p[i + 1]} << 8));
  // An odd tail is padded with 0xAA without touching the byte after the data.
  if (i < n) step(p[i] | 0xAA00u);
  return static_cast<std::uint16_t>((sum >> 8) | (sum << 8));
}

void torqcrc(const void* buffer, const std::int32_t* length, std::uint16_t* result) {
  *result = static_cast<std::uint16_t>(calc_crc16(buffer, *length));
}

void torqcro(void* buffer, const std::int32_t* length, std::uint16_t* result) {
  *result = static_cast<std::uint16_t>(ScrambleOut<crc16tab>(0xFFFF, static_cast<Byte*>(buffer), Count(*length)) ^ 0xFFFF);
}

void torqcri(void* buffer, const std::int32_t* length, std::uint16_t* result) {
  *result = static_cast<std::uint16_t>(ScrambleIn<kFolded16>(0xFFFF, static_cast<Byte*>(buffer), Count(*length)) ^ 0xFFFF);
}

void trqcrc3(const void* buffer, const std::int32_t* length, std::uint32_t* result, const std::uint32_t* start) {
  *result = Update(*start, static_cast<const Byte*>(buffer), Count(*length), kSlice32) ^ *start;
}

void trqcro3(void* buffer, const std::int32_t* length, std::uint32_t* result, const std::uint32_t* start) {
  *result = WhitenOut32(*start, static_cast<Byte*>(buffer), Count(*length)) ^ *start;
}

void trqcri3(void* buffer, const std::int32_t* length, std::uint32_t* result, const std::uint32_t* start) {
  *result = WhitenIn32(*start, static_cast<Byte*>(buffer), Count(*length)) ^ *start;
}

void trqcrv3(const void* buffer, const std::int32_t* length, std::uint32_t* result, const std::uint32_t* start) {
  *result = VerifyIn(*start, static_cast<const Byte*>(buffer), Count(*length)) ^ *start;
}
