#include "crypt/frame_cipher.h"

#include <algorithm>
#include <cstring>

#include "crypt/block_ops.h"
#include "crypt/constants.h"
#include "crypt/frame_pads.h"
#include "crypt/mixing.h"
#include "crypt/wipe.h"
#include "support/crc.h"

using torq::crypt::Assemble;
using torq::crypt::LoadBe32;
using torq::crypt::Slice;
using torq::crypt::StoreBe32;
using torq::crypt::Xor16;
using torq::crypt::XorBytes;

namespace {

// ---- whitening -------------------------------------------------------------------------

// Pieces of four bytes spread through a frame of 192 bytes or more, each XORed with a value
// that runs on from the seed through the bytes it meets. r is signed: with 192-195 bytes
// left and a step just below them, an unsigned count would wrap and walk past the data.
void Pieces(std::uint32_t len, std::uint8_t* data, std::uint32_t seed, bool restore) {
  std::uint32_t v = seed;
  std::size_t p = 0;
  for (std::int64_t r = len; r > 191;) {
    const std::uint32_t k = v % 79 + 113;
    v /= 79;
    if (k >= r) break;
    p += k - 3;
    std::uint8_t b[4];
    StoreBe32(b, v);
    std::uint8_t* w = data + p;
    if (restore) XorBytes(w, b, 4);
    const std::uint8_t next[4] = {static_cast<std::uint8_t>(b[3] ^ b[0] ^ w[0] ^ k),
                                  static_cast<std::uint8_t>(b[0] ^ b[1] ^ w[1]),
                                  static_cast<std::uint8_t>(b[1] ^ b[2] ^ w[2]),
                                  static_cast<std::uint8_t>(b[2] ^ b[3] ^ w[3])};
    if (!restore) XorBytes(w, b, 4);
    v = LoadBe32(next);
    r -= k + 4;
  }
}

void RotateWords(std::uint32_t len, std::uint8_t* data, bool left) {
  static constexpr int kShift[4] = {3, 5, 1, 7};
  for (std::size_t j = 0; 4 * j + 4 <= len; ++j) {
    const std::uint32_t w = LoadBe32(data + 4 * j);
    const int s = left ? kShift[j % 4] : 32 - kShift[j % 4];
    StoreBe32(data + 4 * j, (w << s) | (w >> (32 - s)));
  }
}

// XORs the tail into the head; its own inverse. The fold base comes from the two bytes in
// front of the data; a base beyond the data (only met with wrong keys) folds half of it.
void Fold(std::uint32_t len, std::uint8_t* data) {
  if (len == 0) return;
  const std::uint32_t e = std::uint32_t{data[-2]} << 8 | data[-1];
  std::uint32_t n;
  if (e > len || len - e < e + 128)
    n = len / 2;
  else
    n = e % 16 >= 4 ? e + 64 : e + 60 + e % 16;
  XorBytes(data, data + (len - n), n);
}

// The CRC over the second half (from the seed), then the first half (from that result),
// whitening in place; an odd last byte takes no part. Short data runs one pass.
std::uint32_t CrcHalves(std::uint32_t len, std::uint8_t* data, std::uint32_t seed,
                        void (*whiten)(void*, const std::int32_t*, std::uint32_t*, const std::uint32_t*)) {
  if (len == 0) return 0;
  std::uint32_t crc = 0;
  if (len < 8) {
    const std::int32_t n = static_cast<std::int32_t>(len);
    whiten(data, &n, &crc, &seed);
    return crc;
  }
  const std::int32_t h = static_cast<std::int32_t>(len / 2);
  std::uint32_t c1 = 0;
  whiten(data + h, &h, &c1, &seed);
  whiten(data, &h, &crc, &c1);
  return crc;
}

std::uint32_t CrcHalvesOut(std::uint32_t len, std::uint8_t* data, std::uint32_t seed) {
  return CrcHalves(len, data, seed, trqcro3);
}

std::uint32_t CrcHalvesIn(std::uint32_t len, std::uint8_t* data, std::uint32_t seed) {
  return CrcHalves(len, data, seed, trqcri3);
}

// Its own inverse: it writes only bytes 0-3 of 16-byte units and reads only bytes 4-7.
void CrossXor(std::uint32_t len, std::uint8_t* data) {
  if (len <= 23) return;
  const std::size_t last = 16 * ((std::size_t{len} - 24) / 16);
  for (std::size_t p = 0; p <= last; p += 16) XorBytes(data + p, data + p + 20, 4);
  XorBytes(data + last + 16, data + 4, 4);
}


std::uint32_t SeedWord(const std::uint8_t* prefix) {
  const std::uint8_t b[4] = {prefix[24], prefix[25], prefix[22], prefix[23]};
  return LoadBe32(b);
}

// ---- keyed part ------------------------------------------------------------------------

const std::uint8_t* Clit(std::size_t at) { return CLIT1_4.data() + at; }

// block = E(schedule, block XOR x)
inline void EncXor(const std::uint8_t* schedule, std::uint8_t* block, const std::uint8_t* x) {
  aesencxor(schedule, block, x);
}

struct FrameWork {
  std::uint8_t area[kMixArea];
  std::uint8_t mask[16];
  std::uint8_t k[16];  // frame base key
  std::uint8_t f[5][kAesSchedule];
  std::uint8_t v[5][16];
  std::uint8_t t[16];
  torq::crypt::FramePads pads;
  std::uint8_t ring[64];
  std::uint8_t macChain[16], stream[16], feedback[16], s[16], x[16], lastPlain[16];
  std::uint8_t prev[16];      // the block before the current one (ciphertext); its bytes 8-15 enter the MAC
  std::uint8_t macInput[16];
  std::uint8_t a[16], b[16], c[16], crc[4];

  const std::uint8_t* F(int n) const { return f[n - 1]; }
  const std::uint8_t* V(int n) const { return v[n - 1]; }

  void PrefixMask(const AesKeyArea& ka, const std::uint8_t* prefix);
  void BaseKey(const AesKeyArea& ka, const std::uint8_t* prefix);
  void Chunk(std::uint8_t* data, int blocks, bool write);
  void Close(std::uint8_t* tail, std::uint32_t r, std::uint32_t k, bool write);
  void Macs(AesKeyArea& ka, const std::uint8_t* prefix, const std::uint8_t* storedMac, bool write);
};

void FrameWork::PrefixMask(const AesKeyArea& ka, const std::uint8_t* prefix) {
  Assemble(area, {Slice(ka.mv(1), 0, 8), Slice(ka.fv(3), 0, 8), Slice(prefix, 0, 16), Slice(ka.mv(3), 0, 16),
                  Slice(prefix, 6, 22), Slice(ka.fv(1), 0, 8), Slice(ka.mv(1), 8, 16)});
  EncXor(ka.ms(3), area + 24, ka.fv(2));
  EncXor(ka.ms(4), area + 8, ka.mv(4));
  EncXor(ka.ms(2), area + 40, ka.mv(2));
  PassPhrase(area);
  aesenc(ka.ms(1), area + kMixLast, mask);
}

void FrameWork::BaseKey(const AesKeyArea& ka, const std::uint8_t* prefix) {
  const torq::crypt::Bytes c4{crc, 4}, p26{prefix, kFramePrefix};
  Assemble(area, {c4, p26, c4, p26, c4, Slice(ka.mv(0), 0, 16)});
  PassPhrase(area);
  std::memcpy(k, area + kMixLast, 16);
  // F1..F4 from member schedules 2, 3, 4, 1 with the member value of the same number.
  static constexpr int kMember[4] = {2, 3, 4, 1};
  for (int i = 0; i < 4; ++i) {
    torq::crypt::Xor16To(t, ka.mv(kMember[i]), k);
    aesenc(ka.ms(kMember[i]), t, t);
    aessch(f[i], t);
    Xor16(t, ka.fv(2));
    aesenc(f[i], t, v[i]);
  }
  torq::crypt::Xor16To(t, V(4), k);
  aesenc(F(4), t, t);
  aessch(f[4], t);
  Xor16(t, ka.fv(1));
  aesenc(f[4], t, v[4]);
}

// Runs `blocks` 16-byte blocks from data with the pads from their start.
void FrameWork::Chunk(std::uint8_t* data, int blocks, bool write) {
  for (int i = 0; i < blocks; ++i) {
    std::uint8_t* c = data + 16 * i;
    if (write) {
      Xor16(c, pads.b + 16 * i);
      std::memcpy(s, c, 16);
      Xor16(c, pads.a + 16 * i);
      Xor16(c, stream);
      torq::crypt::JoinHalves(macInput, prev, c);
      EncXor(F(1), macChain, macInput);
      std::memcpy(prev, c, 16);
    } else {
      torq::crypt::JoinHalves(macInput, prev, c);
      EncXor(F(1), macChain, macInput);
      std::memcpy(prev, c, 16);
      Xor16(c, stream);
      Xor16(c, pads.a + 16 * i);
      std::memcpy(s, c, 16);
      Xor16(c, pads.b + 16 * i);
    }
    EncXor(F(4), stream, feedback);
    std::memcpy(feedback, s, 16);
  }
}

void FrameWork::Close(std::uint8_t* tail, std::uint32_t r, std::uint32_t at, bool write) {
  torq::crypt::JoinHalves(macInput, prev, V(5));
  EncXor(F(1), macChain, macInput);
  if (r == 0) {
    EncXor(F(4), stream, feedback);
    EncXor(F(1), macChain, CLIT5.data());
    EncXor(F(4), stream, CLIT5.data());
    EncXor(F(1), macChain, CLIT6.data());
    return;
  }
  std::memcpy(x, CLIT5.data(), 16);
  std::memcpy(x, tail, r);
  if (write) {
    XorBytes(x, pads.b + at, r);
    std::memcpy(s, x, 16);
    XorBytes(x, pads.a + at, r);
    XorBytes(x, stream, r);
    std::memcpy(tail, x, r);
    EncXor(F(1), macChain, x);
  } else {
    EncXor(F(1), macChain, x);  // x holds the cipher bytes, macChain is separate
    std::memcpy(x, CLIT5.data(), 16);
    std::memcpy(x, tail, r);
    XorBytes(x, pads.a + at, r);
    XorBytes(x, stream, r);
    std::memcpy(s, x, 16);
    XorBytes(x, pads.b + at, r);
    std::memcpy(tail, x, r);
  }
  EncXor(F(4), stream, feedback);
  EncXor(F(4), stream, s);
  EncXor(F(1), macChain, CLIT6.data());
  EncXor(F(4), stream, CLIT6.data());
  EncXor(F(1), macChain, CLIT7.data());
}

void FrameWork::Macs(AesKeyArea& ka, const std::uint8_t* prefix, const std::uint8_t* storedMac, bool write) {
  // Part A: the chains and the last plain block.
  Assemble(area, {Slice(macChain, 0, 8), Slice(lastPlain, 0, 16), Slice(V(5), 0, 16), Slice(V(1), 0, 16),
                  Slice(stream, 0, 16), Slice(macChain, 8, 16)});
  PassPhrase(area);
  aesenc(F(1), area + kMixLast, a);
  // Part B: the prefix and the member's chain value.
  torq::crypt::Xor16To(t, CLIT8.data(), ka.memberFinal);
  Assemble(area, {Slice(V(2), 0, 8), Slice(prefix, 0, 16), Slice(ka.memberChain, 0, 16), Slice(prefix, 10, 26),
                  Slice(t, 0, 16), Slice(V(2), 8, 16)});
  EncXor(F(3), area + 24, ka.fv(2));
  EncXor(F(1), area + 8, V(1));
  EncXor(F(4), area + 40, V(4));
  PassPhrase(area);
  aesenc(F(2), area + kMixLast, b);
  // Part C: the prefix, the frame CRC and parts A and B (as stored, when reading).
  std::uint8_t ab[12];
  if (write) {
    std::memcpy(ab, a, 8);
    std::memcpy(ab + 8, b, 4);
  } else {
    std::memcpy(ab, storedMac, 12);
  }
  torq::crypt::Xor16To(t, ka.memberFinal, CLIT5.data());
  Assemble(area, {Slice(V(3), 0, 8), Slice(prefix, 0, 16), Slice(crc, 0, 4), Slice(ab, 0, 12),
                  Slice(prefix, 10, 26), Slice(t, 0, 16), Slice(V(3), 8, 16)});
  EncXor(F(2), area + 24, ka.fv(3));
  EncXor(F(1), area + 8, V(1));
  EncXor(F(4), area + 40, V(4));
  PassPhrase(area);
  aesenc(F(3), area + kMixLast, c);
  // The member's chain value moves on.
  torq::crypt::Xor16To(t, Clit(0), k);
  Assemble(area, {Slice(V(2), 0, 8), Slice(t, 0, 16), Slice(ka.memberChain, 0, 16), Slice(Clit(48), 0, 16),
                  Slice(c, 0, 16), Slice(V(2), 8, 16)});
  aesenc(ka.fs(2), area + 8, area + 8);
  EncXor(ka.ms(3), area + 40, k);
  PassPhrase(area);
  aesenc(F(2), area + kMixLast, ka.memberChain);
}

void ApplyMask(const std::uint8_t* mask, std::uint8_t* prefix, std::uint8_t* crc4) {
  XorBytes(prefix + 22, mask, 4);
  XorBytes(crc4, mask + 4, 4);
  XorBytes(prefix + 22, mask + 8, 4);
  XorBytes(crc4, mask + 12, 4);
}

}  // namespace

void pre_aes(std::uint32_t len, std::uint8_t* data, std::uint32_t seed, std::uint8_t* crc4) {
  if (len > 191) Pieces(len, data, seed, false);
  RotateWords(len, data, true);
  Fold(len, data);
  const std::uint32_t crc = CrcHalvesOut(len, data, seed);
  CrossXor(len, data);
  StoreBe32(crc4, crc);
}

void post_aes(std::uint32_t len, std::uint8_t* data, std::uint32_t seed, std::uint8_t* crc4) {
  CrossXor(len, data);
  const std::uint32_t crc = CrcHalvesIn(len, data, seed);
  Fold(len, data);
  RotateWords(len, data, false);
  if (len > 191) Pieces(len, data, seed, true);
  StoreBe32(crc4, crc);
}

void faess(AesKeyArea* keys, int flag, int* bits, std::uint8_t* prefix, std::uint32_t len, std::uint8_t* crc4,
           std::uint8_t* mac) {
  *bits = 0;
  FrameWork w{};
  torq::crypt::WipeGuard guard(&w, sizeof w);
  AesKeyArea& ka = *keys;
  std::uint8_t* data = prefix + kFramePrefix;
  const bool write = flag != 0;

  w.PrefixMask(ka, prefix);  // depends on neither the masked bytes nor the frame CRC
  if (write) {
    pre_aes(len, data, SeedWord(prefix), crc4);
  } else {
    ApplyMask(w.mask, prefix, crc4);
  }
  std::memcpy(w.crc, crc4, 4);
  w.BaseKey(ka, prefix);
  torq::crypt::BuildFramePads(ka, w.k, w.v, w.pads);
  std::memcpy(w.ring, ka.fileInterleave, 64);
  std::memcpy(w.macChain, w.V(1), 16);
  std::memcpy(w.stream, w.V(5), 16);
  std::memcpy(w.feedback, w.V(4), 16);
  std::memcpy(w.prev, w.V(5), 16);  // its bytes 8-15 count as the 8 bytes in front of the data

  auto takeLastPlain = [&] {
    if (len >= 16) {
      std::memcpy(w.lastPlain, data + (len - 16), 16);
    } else {
      std::memcpy(w.lastPlain, w.V(4), 16);
      std::memcpy(w.lastPlain, data, len);
    }
  };
  if (write) takeLastPlain();
  std::uint8_t* at = data;
  for (std::uint32_t chunk = 0; chunk < len / 256; ++chunk, at += 256) {
    WrapP(w.ring + 11);
    Xor16(w.stream, w.ring);
    std::rotate(w.ring, w.ring + 13, w.ring + 64);
    w.Chunk(at, 16, write);
    torq::crypt::NextFramePads(w.pads);
  }
  const std::uint32_t tails = (len % 256) / 16;
  w.Chunk(at, static_cast<int>(tails), write);
  w.Close(at + 16 * tails, len % 16, 16 * tails, write);
  if (!write) takeLastPlain();
  w.Macs(ka, prefix, mac, write);

  if (write) {
    ApplyMask(w.mask, prefix, crc4);
    std::memcpy(mac, w.a, 8);
    std::memcpy(mac + 8, w.b, 4);
    std::memcpy(mac + 12, w.c, 4);
    return;
  }
  std::uint8_t plainCrc[4];
  post_aes(len, data, SeedWord(prefix), plainCrc);
  if (std::memcmp(mac + 12, w.c, 4) != 0) *bits |= kMacBitC;
  if (std::memcmp(mac + 8, w.b, 4) != 0) *bits |= kMacBitB;
  if (std::memcmp(mac, w.a, 8) != 0) *bits |= kMacBitA;
  if (std::memcmp(plainCrc, w.crc, 4) != 0) *bits |= kMacBitA;
}
