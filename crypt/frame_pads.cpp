#include "crypt/frame_pads.h"

#include <cstring>

#include "crypt/block_ops.h"
#include "crypt/mixing.h"
#include "crypt/wipe.h"

namespace torq::crypt {

void BuildFramePads(const AesKeyArea& ka, const std::uint8_t* k, const std::uint8_t (*v)[16], FramePads& pads) {
  struct {
    std::uint8_t area[kMixArea];
    std::uint8_t q[256];
    std::uint8_t rotated[256];
    std::uint8_t carry[4];
  } w{};
  WipeGuard guard(&w, sizeof w);

  // Pad B: four mixing areas, their 64-byte middles (Q = O4 O3 O2 O1) transposed unit by unit.
  const std::uint8_t* const member[4] = {ka.mv(1), ka.mv(2), ka.mv(3), ka.mv(4)};
  const std::uint8_t* const value[4] = {v[3], v[0], v[1], v[2]};
  for (int i = 0; i < 4; ++i) {
    Assemble(w.area, {Slice(ka.fv(3), 0, 8), Slice(member[i], 0, 16), Slice(ka.fv(2), 0, 16),
                      Slice(ka.fv(1), 0, 16), Slice(value[i], 0, 16), Slice(ka.fv(3), 8, 16)});
    PassPhrase(w.area);
    std::memcpy(w.q + 64 * (3 - i), w.area + 8, 64);
  }
  for (int u = 0; u < 64; ++u) std::memcpy(pads.b + 4 * (16 * (u % 4) + u / 4), w.q + 4 * u, 4);

  // Pad A: the member table rotated by key byte 0; lane k (32 bytes) rotated by c div 8 bytes
  // and shifted left by c mod 8 bits over its first 28 bytes, c = key byte 8 - k.
  for (int j = 0; j < 256; ++j) w.rotated[(j + k[0]) % 256] = ka.memberTable[j];
  int lastShifted = -1;
  for (int lane = 0; lane < 8; ++lane) {
    std::uint8_t* out = pads.a + 32 * lane;
    const std::uint8_t* in = w.rotated + 32 * lane;
    const unsigned count = k[8 - lane];
    const unsigned by = count / 8, z = count % 8;
    for (unsigned i = 0; i < 32; ++i) out[i] = in[(i + by) % 32];
    if (count == 0) continue;
    const unsigned s0 = z ? out[0] >> (8 - z) : 0;
    for (int i = 0; i < 28; ++i) out[i] = static_cast<std::uint8_t>(out[i] << z | out[i + 1] >> (8 - z));
    if (lane == 7) {
      for (int i = 0; i < 3; ++i) w.carry[i] = static_cast<std::uint8_t>(out[28 + i] << z | out[29 + i] >> (8 - z));
      w.carry[3] = static_cast<std::uint8_t>((out[31] << z) + s0);
    }
    if (count <= 7) lastShifted = lane;
  }
  // Kept as the format has it, though it weakens pad B.
  if (lastShifted >= 0) {
    std::memcpy(pads.b, w.rotated + 224, 32);
    std::memset(pads.b + 32, 0, 32 * static_cast<std::size_t>(lastShifted));
  }
  if (k[1] != 0) std::memcpy(pads.b, w.carry, 4);
}

void NextFramePads(FramePads& pads) {
  std::uint8_t w[260];
  WipeGuard guard(w, sizeof w);
  std::uint8_t* b = pads.b;
  Assemble(w, {Slice(b, 128, 192), Slice(b, 0, 64), Slice(b, 192, 256), Slice(b, 64, 128)});
  std::memcpy(w + 256, w, 4);
  for (int j = 0; j < 16; ++j) {
    const int o = j < 8 ? 244 - 32 * j : 228 - 32 * (j - 8);
    std::memcpy(b + 9 * j, w + o + 7, 9);
    std::memcpy(b + 249 - 7 * j, w + o, 7);
  }
  WrapP(b + 8);
  std::uint8_t* a = pads.a;
  Assemble(w, {Slice(a, 23, 256), Slice(a, 7, 23), Slice(a, 0, 7)});
  std::memcpy(a, w, 256);
  WrapP(a);
}

}  // namespace torq::crypt
