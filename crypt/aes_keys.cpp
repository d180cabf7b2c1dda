#include "crypt/aes_keys.h"

#include <cstring>

#include "crypt/block_ops.h"
#include "crypt/constants.h"
#include "crypt/mixing.h"
#include "crypt/wipe.h"

using torq::crypt::Assemble;
using torq::crypt::Slice;
using torq::crypt::WipeGuard;
using torq::crypt::XorBytes;

namespace {

const std::uint8_t* Clit(std::size_t at) { return CLIT1_4.data() + at; }

struct DeriveWork {
  std::uint8_t s[kMixArea];  // B0..B4 and the work block
  std::uint8_t p[64];
  std::uint8_t r[64];
  std::uint8_t l[16];
  std::uint8_t x1[16], x2[16], t[16], u[16];
  std::uint8_t y[4][16];
  std::uint8_t h[4][64];
  std::uint8_t schedule[kAesSchedule];

  std::uint8_t* b(int i) { return s + 16 * i; }
  std::uint8_t* w() { return s + kMixWork; }

  // out = E_key(in), the schedule made from the raw 16-byte key.
  void EncUnder(const std::uint8_t* key, const std::uint8_t* in, std::uint8_t* out) {
    aessch(schedule, key);
    aesenc(schedule, in, out);
  }
  void WrapAt(std::initializer_list<int> offsets) {
    for (int o : offsets) WrapP(s + o);
  }
  // Moves B0..B4 left by 8 bytes (the first 8 go to the end) and permutes each block.
  void RotateAndWrap() {
    std::uint8_t head[8];
    std::memcpy(head, s, 8);
    std::memmove(s, s + 8, 72);
    std::memcpy(s + 72, head, 8);
    WrapAt({0, 16, 32, 48, 64});
  }
};

}  // namespace

bool faesi(AesKeyArea* keys, const std::uint8_t* password, std::uint32_t n) {
  if (n > kAesMaxPassword || (n > 0 && password == nullptr)) {
    torq::crypt::WipeSecret(keys, sizeof *keys);
    return false;
  }
  DeriveWork k{};
  WipeGuard guard(&k, sizeof k);
  AesKeyArea& a = *keys;

  for (std::uint32_t i = 0; n > 0 && i < 64; ++i) k.p[i] = password[i % n];          // 1
  for (std::uint32_t i = 0; i < 64; ++i) k.r[i] = CLIT1_4[(i + n) % 64];              // 2
  Assemble(k.s, {Slice(k.p, 0, 8), Slice(k.p, 16, 64), Slice(k.p, 8, 16)});           // 3
  k.WrapAt({8, 24, 40});                                                              // 4
  XorBytes(k.s, k.r + 32, 32);                                                        // 5
  XorBytes(k.s + 32, k.r, 32);
  std::memset(k.b(4), static_cast<int>(n), 16);                                       // 6
  std::memcpy(k.l, k.b(4), 16);
  XorBytes(k.b(4), CLIT7.data(), 16);                                                 // 7
  PassPhrase(k.s);                                                                    // 8
  k.WrapAt({8, 24, 40, 56});                                                          // 9
  XorBytes(k.s, CLIT1_4.data(), 64);                                                  // 10
  PassPhrase(k.s);                                                                    // 11
  std::memcpy(k.x1, k.w(), 16);
  std::memcpy(k.s, k.p, 64);                                                          // 12
  std::memcpy(k.b(4), k.p, 16);
  XorBytes(k.s, k.r, 64);                                                             // 13
  XorBytes(k.b(4), CLIT6.data(), 16);                                                 // 14
  PassPhrase(k.s);                                                                    // 15
  std::memcpy(k.r, k.s, 64);
  k.WrapAt({8, 24, 40, 56});                                                          // 16
  XorBytes(k.s, Clit(32), 32);                                                        // 17
  XorBytes(k.s + 32, Clit(0), 32);
  PassPhrase(k.s);                                                                    // 18
  std::memcpy(k.x2, k.w(), 16);
  torq::crypt::Xor16To(k.b(4), k.x1, k.x2);                                           // 19
  k.WrapAt({8, 24, 40});                                                              // 20
  torq::crypt::Xor16To(k.t, k.x2, k.x1);                                              // 21
  k.EncUnder(k.x2, k.t, k.u);
  XorBytes(k.t, k.u, 16);
  k.EncUnder(k.u, k.t, a.fv(1));
  k.EncUnder(k.x1, k.t, k.u);                                                         // 22
  XorBytes(k.t, k.u, 16);
  k.EncUnder(k.u, k.t, a.fv(2));
  XorBytes(k.l, CLIT5.data(), 16);                                                    // 23

  // Steps 24-34: four rounds, each giving one file schedule, one file value and one Y.
  struct Round {
    std::size_t clit, rpart;
    int schedule, value;
  };
  constexpr Round rounds[4] = {{0, 16, 1, 5}, {16, 48, 2, 6}, {32, 32, 3, 7}, {48, 0, 4, 4}};
  for (int j = 0; j < 4; ++j) {
    const Round& rd = rounds[j];
    if (j > 0) k.RotateAndWrap();                                                     // 26, 29, 32
    XorBytes(k.b(1), Clit(rd.clit), 16);
    XorBytes(k.b(4), k.r + rd.rpart, 16);
    PassPhrase(k.s);
    aessch(a.fs(rd.schedule), k.w());
    torq::crypt::Xor16To(k.t, k.w(), k.r + rd.rpart);
    aesenc(a.fs(rd.schedule), k.t, a.fv(rd.value));
    std::memcpy(k.y[j], k.b(1), 16);
    XorBytes(k.l + 4 * j, k.b(4), 4);
  }
  std::memset(k.r, 0, sizeof k.r);                                                    // 35
  Assemble(k.s, {Slice(k.y[0], 0, 8), Slice(k.y[1], 0, 16), Slice(k.y[2], 0, 16),     // 36
                 Slice(k.y[3], 0, 16), Slice(k.l, 0, 16), Slice(k.y[0], 8, 16)});
  PassPhrase(k.s);                                                                    // 37
  std::memcpy(a.fv(3), k.w(), 16);
  for (int i = 0; i < 16; ++i) {                                                      // 38
    a.fileInterleave[4 * i] = a.fv(7)[i];
    a.fileInterleave[4 * i + 1] = a.fv(6)[i];
    a.fileInterleave[4 * i + 2] = a.fv(5)[i];
    a.fileInterleave[4 * i + 3] = a.fv(4)[i];
  }
  Assemble(k.s, {Slice(a.fv(6), 0, 8), Slice(Clit(0), 0, 16), Slice(a.fv(3), 0, 16),  // 39
                 Slice(Clit(48), 0, 16), Slice(a.fv(7), 0, 16), Slice(a.fv(6), 8, 16)});
  aesenc(a.fs(3), k.s + 24, k.s + 24);                                                // 40
  XorBytes(k.s + 8, a.fv(5), 16);                                                     // 41
  aesenc(a.fs(1), k.s + 8, k.s + 8);
  XorBytes(k.s + 40, a.fv(4), 16);                                                    // 42
  aesenc(a.fs(4), k.s + 40, k.s + 40);
  PassPhrase(k.s);                                                                    // 43
  aesenc(a.fs(2), k.b(4), a.fileFinal);                                               // 44
  std::memcpy(a.fileChain, a.fileFinal, 16);
  return true;
}

void faesm(AesKeyArea* keys, std::uint32_t m) {
  DeriveWork k{};
  WipeGuard guard(&k, sizeof k);
  AesKeyArea& a = *keys;

  Assemble(k.s, {Slice(Clit(0), 0, 8), Slice(Clit(16), 0, 48), Slice(Clit(8), 0, 8)});  // 1
  for (int i = 0; i < 4; ++i) torq::crypt::StoreBe32(k.b(4) + 4 * i, m);               // 2
  XorBytes(k.b(4), a.fv(3), 16);
  PassPhrase(k.s);                                                                     // 3
  std::memcpy(a.mv(0), k.b(4), 16);
  struct Step {
    int fileValue, fileSchedule, member;
  };
  constexpr Step steps[4] = {{4, 4, 1}, {5, 1, 2}, {6, 2, 3}, {7, 3, 4}};
  for (const Step& st : steps) {                                                       // 4
    torq::crypt::Xor16To(k.t, a.mv(0), a.fv(st.fileValue));
    aesenc(a.fs(st.fileSchedule), k.t, k.u);
    aessch(a.ms(st.member), k.u);
    XorBytes(k.u, a.fv(1), 16);
    aesenc(a.ms(st.member), k.u, a.mv(st.member));
  }
  Assemble(k.s, {Slice(a.mv(3), 0, 8), Slice(Clit(0), 0, 16), Slice(a.mv(0), 0, 16),  // 5
                 Slice(Clit(48), 0, 16), Slice(a.mv(4), 0, 16), Slice(a.mv(3), 8, 16)});
  aesenc(a.ms(4), k.s + 24, k.s + 24);                                                 // 6
  XorBytes(k.s + 8, a.mv(2), 16);                                                      // 7
  aesenc(a.ms(2), k.s + 8, k.s + 8);
  XorBytes(k.s + 40, a.mv(1), 16);                                                     // 8
  aesenc(a.ms(1), k.s + 40, k.s + 40);
  PassPhrase(k.s);                                                                     // 9
  aesenc(a.ms(3), k.b(4), a.memberFinal);
  std::memcpy(a.memberChain, a.memberFinal, 16);
  for (int j = 1; j <= 4; ++j) {                                                       // 10
    Assemble(k.s, {Slice(a.fv(3), 0, 8), Slice(a.fv(j + 3), 0, 16), Slice(a.fv(1), 0, 16),
                   Slice(a.fv(2), 0, 16), Slice(a.mv(j), 0, 16), Slice(a.fv(3), 8, 16)});
    PassPhrase(k.s);
    std::memcpy(k.h[j - 1], k.s + 8, 64);
  }
  // 11: M = H4 H3 H2 H1; its 64 four-byte words go column by column into four quarters.
  for (int i = 0; i < 16; ++i)
    for (int q = 0; q < 4; ++q) {
      const int at = 16 * i + 4 * q;  // in M
      std::memcpy(a.memberTable + 64 * q + 4 * i, k.h[3 - at / 64] + at % 64, 4);
    }
}
