#include "crypt/frame_pads.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using torq::crypt::FramePads;

struct PadCase {
  const char* name;
  std::vector<std::pair<int, std::uint8_t>> key;  // frame base key bytes set (others 0)
};

class Pads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(faesi(&keys_, reinterpret_cast<const std::uint8_t*>("TORQ"), 4));
    faesm(&keys_, 1);
    for (int i = 0; i < 4; ++i) std::memset(v_[i], 0x11 * (i + 1), 16);
    base_ = Build({});
  }
  FramePads Build(const std::vector<std::pair<int, std::uint8_t>>& set) {
    std::uint8_t k[16] = {};
    for (auto [at, value] : set) k[at] = value;
    FramePads p{};
    torq::crypt::BuildFramePads(keys_, k, v_, p);
    return p;
  }
  // Byte i of the member table rotated by r.
  std::uint8_t R(int i, int r = 0) const { return keys_.memberTable[(i - r + 256) % 256]; }

  AesKeyArea keys_{};
  std::uint8_t v_[4][16];
  FramePads base_{};
};

TEST_F(Pads, UnrotatedTableWithZeroKey) {
  EXPECT_EQ(std::memcmp(base_.a, keys_.memberTable, 256), 0);
}

TEST_F(Pads, KeyByteZeroRotatesTheTable) {
  const FramePads p = Build({{0, 5}});
  for (int i = 0; i < 256; ++i) EXPECT_EQ(p.a[i], R(i, 5)) << i;
  EXPECT_EQ(std::memcmp(p.b, base_.b, 256), 0);
}

TEST_F(Pads, CountOfWholeBytesRotatesTheLane) {
  // Lane 2 (key byte 6) by 3 bytes; pad B stays.
  const FramePads p = Build({{6, 24}});
  for (int i = 0; i < 32; ++i) EXPECT_EQ(p.a[64 + i], R(64 + (i + 3) % 32)) << i;
  EXPECT_EQ(std::memcmp(p.a, base_.a, 64), 0);
  EXPECT_EQ(std::memcmp(p.a + 96, base_.a + 96, 160), 0);
  EXPECT_EQ(std::memcmp(p.b, base_.b, 256), 0);
  // Lane 7 (key byte 1) by 2 bytes: its carry-out bytes are its own bytes 28-31.
  const FramePads q = Build({{1, 16}});
  for (int i = 0; i < 32; ++i) EXPECT_EQ(q.a[224 + i], R(224 + (i + 2) % 32)) << i;
  EXPECT_EQ(std::memcmp(q.b, q.a + 224 + 28, 4), 0);
  EXPECT_EQ(std::memcmp(q.b + 4, base_.b + 4, 252), 0);
}

TEST_F(Pads, SmallCountShiftsAndOverwritesPadB) {
  // Lane 2 shifted by 3 bits: pad B bytes 0-31 become the table's last 32 bytes, bytes 32-95
  // (up to the end of lane 2) zero; lane 7 with count 9 (1 byte, 1 bit) then puts its
  // carry-out bytes in front.
  const FramePads p = Build({{6, 3}, {1, 9}});
  for (int i = 0; i < 28; ++i) EXPECT_EQ(p.a[64 + i], static_cast<std::uint8_t>(R(64 + i) << 3 | R(65 + i) >> 5)) << i;
  for (int i = 28; i < 32; ++i) EXPECT_EQ(p.a[64 + i], R(64 + i)) << i;
  std::uint8_t lane7[32];
  for (int i = 0; i < 32; ++i) lane7[i] = R(224 + (i + 1) % 32);
  const std::uint8_t carry[4] = {static_cast<std::uint8_t>(lane7[28] << 1 | lane7[29] >> 7),
                                 static_cast<std::uint8_t>(lane7[29] << 1 | lane7[30] >> 7),
                                 static_cast<std::uint8_t>(lane7[30] << 1 | lane7[31] >> 7),
                                 static_cast<std::uint8_t>((lane7[31] << 1) + (lane7[0] >> 7))};
  EXPECT_EQ(std::memcmp(p.b, carry, 4), 0);
  for (int i = 4; i < 32; ++i) EXPECT_EQ(p.b[i], R(224 + i)) << i;
  for (int i = 32; i < 96; ++i) EXPECT_EQ(p.b[i], 0) << i;
  EXPECT_EQ(std::memcmp(p.b + 96, base_.b + 96, 160), 0);
}

TEST_F(Pads, NextPadsPermuteAndMix) {
  FramePads p = base_;
  torq::crypt::NextFramePads(p);
  // Pad A: bytes 23.. first, then 7-22, then 0-6; only bytes 0-15 are then permuted.
  EXPECT_EQ(std::memcmp(p.a + 16, base_.a + 39, 256 - 39), 0);
  EXPECT_EQ(std::memcmp(p.a + 233, base_.a + 7, 16), 0);
  EXPECT_EQ(std::memcmp(p.a + 249, base_.a, 7), 0);
  // Pad B is rearranged as W = B[128..192) B[0..64) B[192..256) B[64..128) W[0..4); its first
  // piece, new bytes 0-8, is W[251..260) (byte 8 then permuted with bytes 9-23).
  EXPECT_EQ(std::memcmp(p.b, base_.b + 64 + (251 - 192), 5), 0);  // W[251..256) = B[123..128)
  EXPECT_EQ(std::memcmp(p.b + 5, base_.b + 128, 3), 0);            // W[256..259) = W[0..3) = B[128..131)
}

}  // namespace
