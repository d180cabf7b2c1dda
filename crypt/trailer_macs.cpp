#include "crypt/trailer_macs.h"

#include <algorithm>
#include <cstring>

#include "crypt/block_ops.h"
#include "crypt/constants.h"
#include "crypt/mixing.h"
#include "crypt/wipe.h"

using torq::crypt::Assemble;
using torq::crypt::Slice;
using torq::crypt::Xor16;
using torq::crypt::XorBytes;

namespace {

inline void EncXor(const std::uint8_t* schedule, std::uint8_t* block, const std::uint8_t* x) {
  Xor16(block, x);
  aesenc(schedule, block, block);
}

struct TrailerWork {
  std::uint8_t area[kMixArea];
  std::uint8_t x[16], y[16], t[16];
  std::uint8_t p1[16], p2[16], p3[16];

  // The 80-byte block of the image: its length, its type byte, zeros up to byte n and the
  // length again to the end. Only type and length enter the MAC.
  void Start(const std::uint8_t* image, int n) {
    const std::uint8_t len = static_cast<std::uint8_t>(n);
    const int zeroEnd = std::clamp(n + 1, 2, 80);
    std::memset(area, 0, kMixArea);
    area[0] = len;
    area[1] = image[0];
    std::memset(area + zeroEnd, len, 80 - static_cast<std::size_t>(zeroEnd));
  }
  // XORs the six pieces over the block (8, 16, 16, 16, 16, 8 bytes): the halves of `edge`
  // at both ends and the four 16-byte values between them.
  void Whiten(const std::uint8_t* edge, const std::uint8_t* v1, const std::uint8_t* v2, const std::uint8_t* v3,
              const std::uint8_t* v4) {
    XorBytes(area, edge, 8);
    Xor16(area + 8, v1);
    Xor16(area + 24, v2);
    Xor16(area + 40, v3);
    Xor16(area + 56, v4);
    XorBytes(area + 72, edge + 8, 8);
  }
};

}  // namespace

void faestm(AesKeyArea* keys, int flag, int* bits, const std::uint8_t* image, int n, std::uint8_t* mac) {
  *bits = 0;
  TrailerWork w{};
  torq::crypt::WipeGuard guard(&w, sizeof w);
  AesKeyArea& a = *keys;
  const bool write = flag != 0;

  // Pass 1 and 2 differ in the values mixed in and in the chain value they bind.
  struct Pass {
    int firstMember;                 // member value at [8..24)
    const std::uint8_t* third;       // at [24..40)
    const std::uint8_t* fourth;      // at [40..56)
    bool swapXY;                     // pass 2 puts X before Y
    const std::uint8_t* chain;       // running chain value
    const std::uint8_t* final_;      // its start value
    const std::uint8_t* clit;
    std::uint8_t* out;
  };
  const Pass passes[2] = {
      {2, a.fv(2), a.fv(1), false, a.memberChain, a.memberFinal, CLIT9.data(), w.p1},
      {1, a.fv(1), a.fv(2), true, a.fileChain, a.fileFinal, CLIT8.data(), w.p2},
  };
  for (const Pass& p : passes) {
    w.Start(image, n);
    w.Whiten(a.fv(3), a.mv(p.firstMember), p.third, p.fourth, a.mv(3));
    aesenc(a.ms(3), w.area + kMixLast, w.area + kMixLast);
    PassPhrase(w.area);
    std::memcpy(w.x, w.area + 32, 16);
    std::memcpy(w.y, w.area + kMixWork, 16);
    torq::crypt::Xor16To(w.t, p.clit, p.final_);
    const std::uint8_t* second = p.swapXY ? w.x : w.y;
    const std::uint8_t* fourth = p.swapXY ? w.y : w.x;
    Assemble(w.area, {Slice(a.mv(3), 0, 8), Slice(second, 0, 16), Slice(p.chain, 0, 16), Slice(fourth, 0, 16),
                      Slice(w.t, 0, 16), Slice(a.mv(3), 8, 16)});
    EncXor(a.ms(4), w.area + 24, a.fv(1));
    EncXor(a.ms(2), w.area + 8, a.mv(2));
    EncXor(a.ms(1), w.area + 40, a.mv(1));
    PassPhrase(w.area);
    aesenc(a.ms(3), w.area + kMixLast, p.out);
  }
  // Pass 3 binds the first two MAC words (as stored, when checking).
  w.Start(image, n);
  w.Whiten(a.fv(3), a.mv(2), a.fv(1), a.fv(2), a.mv(4));
  aesenc(a.ms(4), w.area + kMixLast, w.area + kMixLast);
  PassPhrase(w.area);
  for (int o : {8, 24, 40, 56}) WrapP(w.area + o);
  XorBytes(w.area, a.mv(4), 8);
  Xor16(w.area + 56, a.fileFinal);
  XorBytes(w.area + 72, a.mv(4) + 8, 8);
  XorBytes(w.area + 28, write ? w.p1 : mac, 4);
  XorBytes(w.area + 32, write ? w.p2 : mac + 4, 4);
  EncXor(a.ms(3), w.area + 24, a.fv(3));
  EncXor(a.ms(2), w.area + 8, a.mv(2));
  EncXor(a.ms(1), w.area + 40, a.mv(1));
  PassPhrase(w.area);
  aesenc(a.ms(4), w.area + kMixLast, w.p3);

  if (write) {
    std::memcpy(mac, w.p1, 4);
    std::memcpy(mac + 4, w.p2, 4);
    std::memcpy(mac + 8, w.p3, 4);
  } else {
    if (std::memcmp(mac + 8, w.p3, 4) != 0) *bits |= 4;
    if (std::memcmp(mac + 4, w.p2, 4) != 0) *bits |= 2;
    if (std::memcmp(mac, w.p1, 4) != 0) *bits |= 1;
  }
  // The file chain moves on, also after a failed check.
  torq::crypt::Xor16To(w.x, CLIT1_4.data(), a.mv(0));
  torq::crypt::Xor16To(w.y, CLIT1_4.data() + 48, a.mv(0));
  Assemble(w.area, {Slice(a.mv(3), 0, 8), Slice(w.x, 0, 16), Slice(a.fileChain, 0, 16), Slice(w.y, 0, 16),
                    Slice(w.p3, 0, 16), Slice(a.mv(3), 8, 16)});
  aesenc(a.ms(4), w.area + 8, w.area + 8);
  aesenc(a.ms(2), w.area + 40, w.area + 40);
  PassPhrase(w.area);
  aesenc(a.ms(3), w.area + kMixLast, a.fileChain);
}

void faestf(AesKeyArea* keys, int flag, int* bits, const std::uint8_t* image, int n, std::uint8_t* mac) {
  *bits = 0;
  TrailerWork w{};
  torq::crypt::WipeGuard guard(&w, sizeof w);
  const AesKeyArea& a = *keys;
  const bool write = flag != 0;

  w.Start(image, n);
  w.Whiten(a.fv(3), a.fv(4), a.fv(1), a.fv(2), a.fv(6));
  aesenc(a.fs(2), w.area + kMixLast, w.area + kMixLast);
  PassPhrase(w.area);
  std::memcpy(w.x, w.area + 32, 16);
  std::memcpy(w.y, w.area + kMixWork, 16);
  torq::crypt::Xor16To(w.t, CLIT9.data(), a.fileFinal);
  Assemble(w.area, {Slice(a.fv(6), 0, 8), Slice(w.y, 0, 16), Slice(a.fileChain, 0, 16), Slice(w.x, 0, 16),
                    Slice(w.t, 0, 16), Slice(a.fv(6), 8, 16)});
  EncXor(a.fs(3), w.area + 24, a.fv(1));
  EncXor(a.fs(1), w.area + 8, a.fv(5));
  EncXor(a.fs(4), w.area + 40, a.fv(4));
  PassPhrase(w.area);
  aesenc(a.fs(2), w.area + kMixLast, w.p2);

  w.Start(image, n);
  w.Whiten(a.fv(3), a.fv(5), a.fv(1), a.fv(2), a.fv(7));
  aesenc(a.fs(3), w.area + kMixLast, w.area + kMixLast);
  PassPhrase(w.area);
  for (int o : {8, 24, 40, 56}) WrapP(w.area + o);
  XorBytes(w.area, a.fv(7), 8);
  Xor16(w.area + 56, a.fileFinal);
  XorBytes(w.area + 72, a.fv(7) + 8, 8);
  XorBytes(w.area + 30, write ? w.p2 : mac + 4, 4);
  EncXor(a.fs(2), w.area + 24, a.fv(3));
  EncXor(a.fs(1), w.area + 8, a.fv(5));
  EncXor(a.fs(4), w.area + 40, a.fv(4));
  PassPhrase(w.area);
  aesenc(a.fs(3), w.area + kMixLast, w.p3);

  if (write) {
    std::memset(mac, 0, 4);
    std::memcpy(mac + 4, w.p2, 4);
    std::memcpy(mac + 8, w.p3, 4);
  } else {
    if (std::memcmp(mac + 8, w.p3, 4) != 0) *bits |= 4;
    if (std::memcmp(mac + 4, w.p2, 4) != 0) *bits |= 2;
  }
}
