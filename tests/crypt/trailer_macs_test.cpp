#include "crypt/trailer_macs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hex.h"

namespace {

AesKeyArea Keys(std::uint32_t member = 1) {
  AesKeyArea a{};
  EXPECT_TRUE(faesi(&a, reinterpret_cast<const std::uint8_t*>("TORQ"), 4));
  faesm(&a, member);
  return a;
}

std::vector<std::uint8_t> Image(std::uint8_t type, std::uint32_t member) {
  std::vector<std::uint8_t> img(kTrailerImage);
  img[0] = type;
  img[4] = static_cast<std::uint8_t>(member);
  return img;
}

TEST(TrailerMacs, WorkedMemberAndFileMac) {
  AesKeyArea keys = Keys();
  const auto member = Image(0x27, 1), file = Image(0x2F, 1);
  std::uint8_t mac[kTrailerMac];
  int bits = -1;
  faestm(&keys, 1, &bits, member.data(), kTrailerImage, mac);
  EXPECT_EQ(bits, 0);
  EXPECT_EQ(ToHex(mac, 12), "98152B911236E1434E635208");
  faestf(&keys, 1, &bits, file.data(), kTrailerImage, mac);
  EXPECT_EQ(ToHex(mac, 12), "000000007AA6221CD86C91D5");
}

// Writes two members' trailers and the file trailer; the reader checks them.
struct Written {
  std::uint8_t m1[kTrailerMac], m2[kTrailerMac], f[kTrailerMac];
  std::vector<std::uint8_t> i1 = Image(0x27, 1), i2 = Image(0x27, 2), fi = Image(0x2F, 2);
  Written() {
    AesKeyArea w = Keys(1);
    int bits;
    faestm(&w, 1, &bits, i1.data(), kTrailerImage, m1);
    faesm(&w, 2);
    faestm(&w, 1, &bits, i2.data(), kTrailerImage, m2);
    faestf(&w, 1, &bits, fi.data(), kTrailerImage, f);
  }
};

TEST(TrailerMacs, ReadFromTheStartChecksEverything) {
  Written wr;
  AesKeyArea r = Keys(1);
  int bits = -1;
  faestm(&r, 0, &bits, wr.i1.data(), kTrailerImage, wr.m1);
  EXPECT_EQ(bits, 0);
  faesm(&r, 2);
  faestm(&r, 0, &bits, wr.i2.data(), kTrailerImage, wr.m2);
  EXPECT_EQ(bits, 0);
  faestf(&r, 0, &bits, wr.fi.data(), kTrailerImage, wr.f);
  EXPECT_EQ(bits, 0);
  // The first four bytes of the file MAC are not checked.
  wr.f[0] ^= 0xFF;
  faestf(&r, 0, &bits, wr.fi.data(), kTrailerImage, wr.f);
  EXPECT_EQ(bits, 0);
}

TEST(TrailerMacs, CountersDoNotEnterTheMac) {
  AesKeyArea a = Keys(), b = Keys();
  auto img = Image(0x27, 1);
  std::uint8_t m1[kTrailerMac], m2[kTrailerMac];
  int bits;
  faestm(&a, 1, &bits, img.data(), kTrailerImage, m1);
  for (int i = 1; i < kTrailerImage; ++i) img[i] = static_cast<std::uint8_t>(i * 13);
  faestm(&b, 1, &bits, img.data(), kTrailerImage, m2);
  EXPECT_EQ(std::memcmp(m1, m2, kTrailerMac), 0);
  img[0] = 0x2F;  // but the type byte does
  faestm(&b, 1, &bits, img.data(), kTrailerImage, m2);
  EXPECT_NE(std::memcmp(m1, m2, kTrailerMac), 0);
}

TEST(TrailerMacs, CheckBitsPerMacWord) {
  Written wr;
  for (int i = 0; i < kTrailerMac; ++i) {
    std::uint8_t m[kTrailerMac];
    std::memcpy(m, wr.m1, sizeof m);
    m[i] ^= 0x01;
    AesKeyArea r = Keys(1);
    int bits = 0;
    faestm(&r, 0, &bits, wr.i1.data(), kTrailerImage, m);
    // A wrong word 0 or 1 also enters pass 3, so word 2 then fails as well.
    EXPECT_EQ(bits, i < 4 ? 1 | 4 : i < 8 ? 2 | 4 : 4) << i;
  }
  for (int i = 4; i < kTrailerMac; ++i) {
    std::uint8_t f[kTrailerMac];
    std::memcpy(f, wr.f, sizeof f);
    f[i] ^= 0x01;
    AesKeyArea r = Keys(1);
    int bits = 0;
    faestm(&r, 0, &bits, wr.i1.data(), kTrailerImage, wr.m1);
    faesm(&r, 2);
    faestm(&r, 0, &bits, wr.i2.data(), kTrailerImage, wr.m2);
    faestf(&r, 0, &bits, wr.fi.data(), kTrailerImage, f);
    EXPECT_EQ(bits, i < 8 ? 2 | 4 : 4) << i;
  }
}

TEST(TrailerMacs, ReadingAfterSkippingAMember) {
  // Positioned to member 2: the file chain value is the start value, so the member MAC
  // differs only in bytes 4-7 and the file MAC fails.
  Written wr;
  AesKeyArea r = Keys(2);
  int bits = 0;
  faestm(&r, 0, &bits, wr.i2.data(), kTrailerImage, wr.m2);
  EXPECT_EQ(bits, 2);
  faestf(&r, 0, &bits, wr.fi.data(), kTrailerImage, wr.f);
  EXPECT_NE(bits, 0);
}

}  // namespace
