#include "crypt/frame_cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hex.h"

namespace {

AesKeyArea TorqKeys(std::uint32_t member = 1) {
  AesKeyArea a{};
  EXPECT_TRUE(faesi(&a, reinterpret_cast<const std::uint8_t*>("TORQ"), 4));
  faesm(&a, member);
  return a;
}

TEST(FrameCipher, WorkedFrame) {
  AesKeyArea keys = TorqKeys();
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

  AesKeyArea reader = TorqKeys();
  faess(&reader, 0, &bits, frame.data(), static_cast<std::uint32_t>(text.size()), crc4, mac);
  EXPECT_EQ(bits, 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(frame.data() + kFramePrefix), text.size()), text);
  EXPECT_EQ(ToHex(reader.memberChain, 16), "49B20CB8CE912942C83B41D41092F1E4");
}

}  // namespace
