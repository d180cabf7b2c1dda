#include "crypt/frame_cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypt/wipe.h"
#include "hex.h"

namespace {

AesKeyArea Keys(const char* password = "TORQ", std::uint32_t member = 1) {
  AesKeyArea a{};
  EXPECT_TRUE(faesi(&a, reinterpret_cast<const std::uint8_t*>(password), static_cast<std::uint32_t>(std::strlen(password))));
  faesm(&a, member);
  return a;
}

// Prefix, data, frame CRC and frame MAC of one frame; exact size, so ASan sees any overrun.
struct Frame {
  std::vector<std::uint8_t> bytes;  // prefix and data
  std::uint8_t crc4[4] = {};
  std::uint8_t mac[16] = {};
  std::uint32_t len;
  Frame(std::uint32_t n, unsigned seed, std::uint16_t foldBase) : bytes(kFramePrefix + n), len(n) {
    std::mt19937 rng(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    bytes[24] = static_cast<std::uint8_t>(foldBase >> 8);
    bytes[25] = static_cast<std::uint8_t>(foldBase);
  }
  int Run(AesKeyArea& keys, int flag) {
    int bits = -1;
    faess(&keys, flag, &bits, bytes.data(), len, crc4, mac);
    return bits;
  }
};

TEST(FrameCipher, WorkedFrame) {
  AesKeyArea keys = Keys();
  const std::string text = "The quick brown fox jumps over the lazy dog";
  std::vector<std::uint8_t> frame(kFramePrefix + text.size());
  frame[25] = 5;
  std::memcpy(frame.data() + kFramePrefix, text.data(), text.size());
  std::uint8_t crc4[4], mac[16];
  int bits = -1;
  faess(&keys, 1, &bits, frame.data(), static_cast<std::uint32_t>(text.size()), crc4, mac);
  EXPECT_EQ(bits, 0);
  EXPECT_EQ(ToHex(frame.data() + 22, 4), "05356D62");
  EXPECT_EQ(ToHex(crc4, 4), "B603592D");
  EXPECT_EQ(ToHex(mac, 16), "B926C7E49C4E77599D2399670EBA48FC");
  EXPECT_EQ(ToHex(keys.memberChain, 16), "49B20CB8CE912942C83B41D41092F1E4");

  AesKeyArea reader = Keys();
  faess(&reader, 0, &bits, frame.data(), static_cast<std::uint32_t>(text.size()), crc4, mac);
  EXPECT_EQ(bits, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.data() + kFramePrefix), text.size()), text);
  EXPECT_EQ(ToHex(reader.memberChain, 16), "49B20CB8CE912942C83B41D41092F1E4");
}

// Lengths around every change of shape: short, partial blocks, the piece step from 192,
// one chunk and more.
TEST(FrameCipher, RoundTripsOverLengths) {
  for (std::uint32_t len : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 24u, 25u, 40u, 191u, 192u, 193u, 194u, 195u,
                            255u, 256u, 257u, 511u, 512u, 1000u, 65536u, 70001u}) {
    AesKeyArea writer = Keys(), reader = Keys();
    Frame f(len, len, static_cast<std::uint16_t>(len / 3));
    const auto plain = f.bytes;
    ASSERT_EQ(f.Run(writer, 1), 0);
    EXPECT_EQ(std::memcmp(f.bytes.data(), plain.data(), 22), 0) << len;  // prefix 0-21 kept
    if (len >= 16) {
      EXPECT_NE(std::memcmp(f.bytes.data() + kFramePrefix, plain.data() + kFramePrefix, len), 0) << len;
    }
    EXPECT_EQ(f.Run(reader, 0), 0) << len;
    EXPECT_EQ(f.bytes, plain) << len;
    if (len == 0) {
      EXPECT_EQ(ToHex(f.crc4, 4), "00000000");  // unmasked in place by the reader
    }
    EXPECT_EQ(std::memcmp(writer.memberChain, reader.memberChain, 16), 0) << len;
  }
}

// The whitening alone, with fold bases beyond the data and the lengths where an unsigned
// count of the piece step would wrap (v mod 79 = 76..78 makes k = 189..191).
TEST(FrameCipher, WhiteningEdges) {
  for (std::uint32_t len : {0u, 1u, 5u, 8u, 100u, 192u, 193u, 194u, 195u, 300u})
    for (std::uint32_t seed : {0u, 76u, 77u, 78u, 0xFFFFFFFFu, 79u * 123456u + 77u})
      for (std::uint16_t e : {std::uint16_t{0}, std::uint16_t{3}, std::uint16_t{20}, std::uint16_t{0xFFFF}}) {
        Frame f(len, seed, e);
        const auto plain = f.bytes;
        std::uint8_t c1[4], c2[4];
        pre_aes(len, f.bytes.data() + kFramePrefix, seed, c1);
        post_aes(len, f.bytes.data() + kFramePrefix, seed, c2);
        EXPECT_EQ(f.bytes, plain) << len << " " << seed << " " << e;
        EXPECT_EQ(ToHex(c1, 4), ToHex(c2, 4));
        if (len == 0) {
          EXPECT_EQ(ToHex(c1, 4), "00000000");
        }
      }
}

// An odd last byte is neither rotated nor scrambled: the whitening leaves it as it was.
TEST(FrameCipher, OddLastByteLeftAsItWas) {
  for (std::uint32_t len : {9u, 25u, 101u}) {
    Frame f(len, 9, 4);
    const std::uint8_t last = f.bytes.back();
    std::uint8_t crc[4];
    pre_aes(len, f.bytes.data() + kFramePrefix, 1, crc);
    EXPECT_EQ(f.bytes.back(), last) << len;
  }
}

TEST(FrameCipher, EveryChangedByteIsCaught) {
  const std::uint32_t len = 300;  // a chunk, two tail blocks and a partial one
  AesKeyArea writer = Keys();
  Frame written(len, 42, 30);
  ASSERT_EQ(written.Run(writer, 1), 0);
  auto check = [&](auto&& change) {
    Frame f = written;
    AesKeyArea reader = Keys();
    change(f);
    return f.Run(reader, 0);
  };
  for (std::size_t i = 0; i < written.bytes.size(); ++i) EXPECT_NE(check([&](Frame& f) { f.bytes[i] ^= 0x01; }), 0) << i;
  for (int i = 0; i < 4; ++i) EXPECT_NE(check([&](Frame& f) { f.crc4[i] ^= 0x80; }), 0) << i;
  for (int i = 0; i < 16; ++i) {
    const int bit = i < 8 ? kMacBitA : i < 12 ? kMacBitB : kMacBitC;
    EXPECT_EQ(check([&](Frame& f) { f.mac[i] ^= 0x10; }) & bit, bit) << i;
  }
  EXPECT_EQ(check([](Frame&) {}), 0);
}

TEST(FrameCipher, WrongPasswordAndOtherMemberFail) {
  AesKeyArea writer = Keys();
  Frame f(500, 1, 10);
  f.Run(writer, 1);
  for (AesKeyArea reader : {Keys("torq"), Keys("TORQ", 2)}) {
    Frame g = f;
    EXPECT_NE(g.Run(reader, 0), 0);
  }
}

TEST(FrameCipher, FramesReadOutOfOrderFail) {
  AesKeyArea writer = Keys();
  Frame one(100, 1, 10), two(100, 2, 10);
  one.Run(writer, 1);
  two.Run(writer, 1);
  AesKeyArea reader = Keys();
  EXPECT_NE(two.Run(reader, 0), 0);
  EXPECT_NE(one.Run(reader, 0), 0);
}

// Key byte 0 rotates the member table, counts 1..7 and multiples of 8 shape pad A and pad B:
// many frames give many frame base keys; each must round-trip under both AES paths with
// the same bytes.
TEST(FrameCipher, ManyFrameKeysBothPaths) {
  using torq::crypt::AesPath;
  const AesPath old = torq::crypt::AesCurrentPath();
  for (unsigned seed = 0; seed < 64; ++seed) {
    const std::uint32_t len = 256 + 37 * seed;
    Frame portable(len, seed, 50), ni(len, seed, 50);
    const auto plain = portable.bytes;
    AesKeyArea w1 = Keys(), w2 = Keys();
    torq::crypt::AesSelectPath(AesPath::kPortable);
    portable.Run(w1, 1);
    torq::crypt::AesSelectPath(AesPath::kNi);
    ni.Run(w2, 1);
    EXPECT_EQ(portable.bytes, ni.bytes);
    EXPECT_EQ(ToHex(portable.mac, 16), ToHex(ni.mac, 16));
    AesKeyArea reader = Keys();
    EXPECT_EQ(ni.Run(reader, 0), 0);
    EXPECT_EQ(ni.bytes, plain);
  }
  torq::crypt::AesSelectPath(old);
}

// Every work area is wiped when the call ends.
std::size_t gWiped = 0;
bool gAllZero = true;
void Probe(const void* p, std::size_t n) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  for (std::size_t i = 0; i < n; ++i) gAllZero = gAllZero && b[i] == 0;
  gWiped = std::max(gWiped, n);
}

TEST(FrameCipher, WorkAreasWiped) {
  AesKeyArea keys = Keys();
  Frame f(1000, 3, 7);
  gWiped = 0;
  gAllZero = true;
  const auto old = torq::crypt::SetWipeProbe(Probe);
  f.Run(keys, 1);
  torq::crypt::SetWipeProbe(old);
  EXPECT_TRUE(gAllZero);
  EXPECT_GE(gWiped, 2 * 256 + 64 + 5 * kAesSchedule);  // pads, ring and frame schedules
}

}  // namespace
