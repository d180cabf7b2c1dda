#include "crypt/aes.h"

#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Table = std::array<std::uint32_t, 256>;

constexpr std::uint8_t Rotl8(std::uint8_t x, int s) {
  return static_cast<std::uint8_t>((x << s) | (x >> (8 - s)));
}

constexpr std::uint8_t XTime(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

// The S-box: multiplicative inverse in GF(2^8) followed by the affine map. p runs through
// the powers of 3 and q through those of its inverse, so q = 1/p at every step.
constexpr std::array<std::uint8_t, 256> MakeSbox() {
  std::array<std::uint8_t, 256> s{};
  std::uint8_t p = 1, q = 1;
  do {
    p = static_cast<std::uint8_t>(p ^ XTime(p));
    q = static_cast<std::uint8_t>(q ^ (q << 1));
    q = static_cast<std::uint8_t>(q ^ (q << 2));
    q = static_cast<std::uint8_t>(q ^ (q << 4));
    if (q & 0x80) q ^= 0x09;
    s[p] = static_cast<std::uint8_t>(q ^ Rotl8(q, 1) ^ Rotl8(q, 2) ^ Rotl8(q, 3) ^ Rotl8(q, 4) ^ 0x63);
  } while (p != 1);
  s[0] = 0x63;
  return s;
}

constexpr std::uint32_t Rotl32(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

// Round table r combines SubBytes and MixColumns for the byte of row r of a column; words
// hold the column's bytes little-endian (row 0 in the low byte), so a column loads straight
// from memory. Every entry carries the plain S-box value in one of its bytes.
constexpr Table MakeRoundTable(int r) {
  constexpr auto sbox = MakeSbox();
  Table t{};
  for (int x = 0; x < 256; ++x) {
    const std::uint32_t s = sbox[x];
    const std::uint32_t s2 = XTime(sbox[x]);
    const std::uint32_t s3 = s2 ^ s;
    const std::uint32_t w = s2 | s << 8 | s << 16 | s3 << 24;
    t[x] = r == 0 ? w : Rotl32(w, 8 * r);
  }
  return t;
}

constexpr Table kTe0 = MakeRoundTable(0);  // bytes 2s s s 3s
constexpr Table kTe1 = MakeRoundTable(1);  // bytes 3s 2s s s
constexpr Table kTe2 = MakeRoundTable(2);  // bytes s 3s 2s s
constexpr Table kTe3 = MakeRoundTable(3);  // bytes s s 3s 2s
constexpr std::uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1B, 0x36};

inline std::uint32_t Load(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The block goes out in one store (where the processor has one), so that a whole-block
// load of it right after is served from the store.
inline void StoreBlock(std::uint8_t* out, const std::uint32_t* w) {
#if defined(__SSE2__)
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
#else
  std::memcpy(out, w, 16);
#endif
}

inline std::uint32_t Sbox(std::uint32_t x) { return kTe2[x] & 0xFF; }

inline std::uint32_t SubWord(std::uint32_t w) {
  return Sbox(w & 0xFF) | Sbox((w >> 8) & 0xFF) << 8 | Sbox((w >> 16) & 0xFF) << 16 | Sbox(w >> 24) << 24;
}

}  // namespace

void aessch(std::uint8_t* schedule, const std::uint8_t* key) {
  // Built in place, so no copy of the round keys is left behind.
  std::memmove(schedule, key, 16);
  for (int i = 4; i < 44; ++i) {
    std::uint32_t t = Load(schedule + 4 * (i - 1));
    if (i % 4 == 0) t = SubWord((t >> 8) | (t << 24)) ^ kRcon[i / 4 - 1];
    Store(schedule + 4 * i, Load(schedule + 4 * (i - 4)) ^ t);
  }
}

namespace torq::crypt {

#define TORQ_AES_ROUND(d0, d1, d2, d3, s0, s1, s2, s3, k)                                              \
  d0 = kTe0[s0 & 0xFF] ^ kTe1[(s1 >> 8) & 0xFF] ^ kTe2[(s2 >> 16) & 0xFF] ^ kTe3[s3 >> 24] ^ Load(k);      \
  d1 = kTe0[s1 & 0xFF] ^ kTe1[(s2 >> 8) & 0xFF] ^ kTe2[(s3 >> 16) & 0xFF] ^ kTe3[s0 >> 24] ^ Load(k + 4);  \
  d2 = kTe0[s2 & 0xFF] ^ kTe1[(s3 >> 8) & 0xFF] ^ kTe2[(s0 >> 16) & 0xFF] ^ kTe3[s1 >> 24] ^ Load(k + 8);  \
  d3 = kTe0[s3 & 0xFF] ^ kTe1[(s0 >> 8) & 0xFF] ^ kTe2[(s1 >> 16) & 0xFF] ^ kTe3[s2 >> 24] ^ Load(k + 12)

// The last round has no MixColumns: each output byte is the S-box value of its input byte,
// taken from the table whose entry holds it in that byte position.
#define TORQ_AES_LAST(s0, s1, s2, s3, k)                                                   \
  ((kTe2[s0 & 0xFF] & 0x000000FFu) ^ (kTe3[(s1 >> 8) & 0xFF] & 0x0000FF00u) ^             \
   (kTe0[(s2 >> 16) & 0xFF] & 0x00FF0000u) ^ (kTe1[s3 >> 24] & 0xFF000000u) ^ Load(k))

void AesEncryptPortable(const std::uint8_t* schedule, const std::uint8_t* in, std::uint8_t* out) {
  const std::uint8_t* k = schedule;
  std::uint32_t s0 = Load(in) ^ Load(k), s1 = Load(in + 4) ^ Load(k + 4);
  std::uint32_t s2 = Load(in + 8) ^ Load(k + 8), s3 = Load(in + 12) ^ Load(k + 12);
  std::uint32_t t0, t1, t2, t3;
  TORQ_AES_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 16);
  TORQ_AES_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 32);
  TORQ_AES_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 48);
  TORQ_AES_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 64);
  TORQ_AES_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 80);
  TORQ_AES_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 96);
  TORQ_AES_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 112);
  TORQ_AES_ROUND(s0, s1, s2, s3, t0, t1, t2, t3, k + 128);
  TORQ_AES_ROUND(t0, t1, t2, t3, s0, s1, s2, s3, k + 144);
  const std::uint32_t o[4] = {TORQ_AES_LAST(t0, t1, t2, t3, k + 160), TORQ_AES_LAST(t1, t2, t3, t0, k + 164),
                              TORQ_AES_LAST(t2, t3, t0, t1, k + 168), TORQ_AES_LAST(t3, t0, t1, t2, k + 172)};
  StoreBlock(out, o);
}

#undef TORQ_AES_ROUND
#undef TORQ_AES_LAST

namespace {
AesPath gPath = AesNiAvailable() ? AesPath::kNi : AesPath::kPortable;
}

AesPath AesCurrentPath() { return gPath; }

AesPath AesSelectPath(AesPath path) {
  const AesPath old = gPath;
  gPath = (path == AesPath::kNi && AesNiAvailable()) ? AesPath::kNi : AesPath::kPortable;
  return old;
}

}  // namespace torq::crypt

void aesenc(const std::uint8_t* schedule, const std::uint8_t* in, std::uint8_t* out) {
  if (torq::crypt::gPath == torq::crypt::AesPath::kNi)
    torq::crypt::AesEncryptNi(schedule, in, out);
  else
    torq::crypt::AesEncryptPortable(schedule, in, out);
}

void aesencxor(const std::uint8_t* schedule, std::uint8_t* block, const std::uint8_t* x) {
  if (torq::crypt::gPath == torq::crypt::AesPath::kNi) {
    torq::crypt::AesEncryptXorNi(schedule, block, x);
    return;
  }
  std::uint8_t t[16];
  for (int i = 0; i < 16; ++i) t[i] = static_cast<std::uint8_t>(block[i] ^ x[i]);
  torq::crypt::AesEncryptPortable(schedule, t, block);
}

void aeschain(const std::uint8_t* schedule, std::uint8_t* chain, const std::uint8_t* in, std::uint8_t* out,
              std::size_t blocks) {
  if (torq::crypt::gPath == torq::crypt::AesPath::kNi) {
    torq::crypt::AesChainNi(schedule, chain, in, out, blocks);
    return;
  }
  for (std::size_t b = 0; b < blocks; ++b) {
    std::uint8_t t[16];
    for (int i = 0; i < 16; ++i) t[i] = static_cast<std::uint8_t>(chain[i] ^ in[16 * b + i]);
    torq::crypt::AesEncryptPortable(schedule, t, chain);
    std::memcpy(out + 16 * b, chain, 16);
  }
}
