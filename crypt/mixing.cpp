#include "crypt/mixing.h"

#include "crypt/aes.h"
#include "crypt/block_ops.h"
#include "crypt/wipe.h"

using torq::crypt::LoadBe32;
using torq::crypt::StoreBe32;

void PassPhrase(std::uint8_t* state) {
  std::uint8_t schedule[kAesSchedule];
  torq::crypt::WipeGuard guard(schedule, sizeof schedule);
  std::uint8_t* work = state + kMixWork;
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t* key = state + 16 * ((i + 4) % 5);
    aessch(schedule, key);
    aesenc(schedule, state + 16 * i, work);
    torq::crypt::Xor16(state + 16 * i, work);
  }
}

void WrapP(std::uint8_t* b) {
  const auto rotr = [](std::uint32_t x, int s) { return (x >> s) | (x << (32 - s)); };
  const std::uint8_t w1b[4] = {b[8], b[0], b[1], b[2]};
  const std::uint8_t w3b[4] = {b[10], b[11], b[12], b[3]};
  const std::uint8_t w4b[4] = {b[13], b[14], b[15], b[9]};
  const std::uint32_t w1 = rotr(LoadBe32(w1b), 7);
  const std::uint32_t w2 = rotr(LoadBe32(b + 4), 3);
  const std::uint32_t w3 = rotr(LoadBe32(w3b), 5);
  const std::uint32_t w4 = rotr(LoadBe32(w4b), 1);
  StoreBe32(b, w4);
  StoreBe32(b + 4, w3);
  StoreBe32(b + 8, w2);
  StoreBe32(b + 12, w1);
}
