#include "support/crc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

const char kDigits[] = "123456789";

std::vector<unsigned char> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> v(n);
  for (auto& b : v) b = static_cast<unsigned char>(rng());
  return v;
}

// The byte-at-a-time definitions, to check the faster paths against.
std::uint32_t Slow32(std::uint32_t c, const unsigned char* p, std::size_t n) {
  while (n--) c = crc32tab[(*p++ ^ c) & 0xFF] ^ (c >> 8);
  return c;
}
std::uint32_t Slow16(std::uint32_t c, const unsigned char* p, std::size_t n) {
  while (n--) c = crc16tab[(*p++ ^ c) & 0xFF] ^ (c >> 8);
  return c;
}

}  // namespace

TEST(Crc, Tables) {
  EXPECT_EQ(crc32tab[0], 0u);
  EXPECT_EQ(crc32tab[1], 0x77073096u);
  EXPECT_EQ(crc32tab[255], 0x2D02EF8Du);
  EXPECT_EQ(crc16tab[0], 0u);
  EXPECT_EQ(crc16tab[1], 0x1189u);
  EXPECT_EQ(crc16tab[255], 0x0F78u);
  for (auto v : crc16tab) EXPECT_LT(v, 0x10000u);
}

TEST(Crc, CheckValues) {
  EXPECT_EQ(calc_crc32(kDigits, 9), 0xCBF43926u);
  EXPECT_EQ(calc_crc16(kDigits, 9), 0x906Eu);
  EXPECT_EQ(Crc32(kDigits, 9, 0xFFFFFFFF), 0xCBF43926u);
  std::int32_t len = 9;
  std::uint16_t r16 = 0;
  torqcrc(kDigits, &len, &r16);
  EXPECT_EQ(r16, 0x906E);
  std::uint32_t r32 = 0, start = 0xFFFFFFFF;
  trqcrc3(kDigits, &len, &r32, &start);
  EXPECT_EQ(r32, 0xCBF43926u);
}

TEST(Crc, EmptyAndNegativeLengthsProcessNothing) {
  unsigned char b[4] = {1, 2, 3, 4};
  for (std::int32_t len : {0, -1, -100000}) {
    EXPECT_EQ(calc_crc32(b, len), 0u);
    EXPECT_EQ(calc_crc16(b, len), 0u);
    EXPECT_EQ(Crc32(b, len, 0x12345678), 0x12345678u ^ 0xFFFFFFFFu);
    EXPECT_EQ(Crc16_251(b, len), 0u);
    EXPECT_EQ(CRC32Crypt(b, len), 0u);
    EXPECT_EQ(CRC16Crypt(b, len), 0u);
    EXPECT_EQ(TorqChecksum(b, len), 0xAAAA);
    std::uint16_t r16 = 1;
    torqcro(b, &len, &r16);
    EXPECT_EQ(r16, 0);
    torqcri(b, &len, &r16);
    EXPECT_EQ(r16, 0);
    std::uint32_t r32 = 1, start = 0xFFFFFFFF;
    trqcro3(b, &len, &r32, &start);
    EXPECT_EQ(r32, 0u);
    trqcri3(b, &len, &r32, &start);
    EXPECT_EQ(r32, 0u);
    trqcrv3(b, &len, &r32, &start);
    EXPECT_EQ(r32, 0u);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[3], 4);
  }
}

TEST(Crc, FastPathsMatchTheBytewiseDefinition) {
  const auto data = RandomBytes(1000, 7);
  for (std::size_t n : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 1000u}) {
    const auto len = static_cast<std::int32_t>(n);
    EXPECT_EQ(calc_crc32(data.data(), len), Slow32(0xFFFFFFFF, data.data(), n) ^ 0xFFFFFFFF) << n;
    EXPECT_EQ(calc_crc16(data.data(), len), Slow16(0xFFFF, data.data(), n) ^ 0xFFFF) << n;
    EXPECT_EQ(Crc32(data.data(), len, 0x1234), Slow32(0x1234, data.data(), n) ^ 0xFFFFFFFF) << n;
  }
}

TEST(Crc, ScramblingRoundTripsOverRandomBuffersAndStarts) {
  std::mt19937 rng(42);
  for (int round = 0; round < 50; ++round) {
    const std::size_t n = rng() % 3000;
    const auto plain = RandomBytes(n, round);
    const auto len = static_cast<std::int32_t>(n);
    const std::uint32_t start = round == 0 ? 0xFFFFFFFF : (round == 1 ? 0 : static_cast<std::uint32_t>(rng()));

    auto buf = plain;
    std::uint32_t plainCrc = 0, outCrc = 0, inCrc = 0, verifyCrc = 0;
    trqcrc3(plain.data(), &len, &plainCrc, &start);
    trqcro3(buf.data(), &len, &outCrc, &start);
    EXPECT_EQ(outCrc, plainCrc);
    trqcrv3(buf.data(), &len, &verifyCrc, &start);
    EXPECT_EQ(verifyCrc, plainCrc);
    trqcri3(buf.data(), &len, &inCrc, &start);
    EXPECT_EQ(inCrc, plainCrc);
    EXPECT_EQ(buf, plain);

    std::uint16_t c16 = 0, o16 = 0, i16 = 0;
    torqcrc(plain.data(), &len, &c16);
    torqcro(buf.data(), &len, &o16);
    if (n > 2) {
      EXPECT_NE(buf, plain);
    }
    torqcri(buf.data(), &len, &i16);
    EXPECT_EQ(o16, c16);
    EXPECT_EQ(i16, c16);
    EXPECT_EQ(buf, plain);
  }
}

TEST(Crc, StandardStartGivesStandardCrcThroughScrambling) {
  unsigned char buf[9];
  std::memcpy(buf, kDigits, 9);
  std::int32_t len = 9;
  std::uint32_t r = 0, start = 0xFFFFFFFF;
  trqcro3(buf, &len, &r, &start);
  EXPECT_EQ(r, 0xCBF43926u);
  EXPECT_NE(std::memcmp(buf, kDigits, 9), 0);
  trqcri3(buf, &len, &r, &start);
  EXPECT_EQ(r, 0xCBF43926u);
  EXPECT_EQ(std::memcmp(buf, kDigits, 9), 0);
  std::memcpy(buf, kDigits, 9);
  EXPECT_EQ(CRC32Crypt(buf, 9), 0xCBF43926u);
  std::memcpy(buf, kDigits, 9);
  EXPECT_EQ(CRC16Crypt(buf, 9), 0x906Eu);
}

TEST(Crc, StartZeroStoresTheRawFinalValue) {
  const auto data = RandomBytes(100, 3);
  auto buf = data;
  std::int32_t len = 100;
  std::uint32_t r = 0, zero = 0;
  trqcro3(buf.data(), &len, &r, &zero);
  EXPECT_EQ(r, Slow32(0, data.data(), 100));
  trqcri3(buf.data(), &len, &r, &zero);
  EXPECT_EQ(r, Slow32(0, data.data(), 100));
  EXPECT_EQ(buf, data);
}

TEST(Crc, FirstScrambledByteIsXoredWithBitsEightToFifteenOfTheStart) {
  unsigned char b[1] = {0x41};
  std::int32_t len = 1;
  std::uint32_t r = 0, start = 0x00AB1200;
  trqcro3(b, &len, &r, &start);
  EXPECT_EQ(b[0], 0x41 ^ 0x12);
  std::uint16_t r16 = 0;
  b[0] = 0x41;
  torqcro(b, &len, &r16);
  EXPECT_EQ(b[0], 0x41 ^ 0xFF);
}

TEST(Crc, Sampled251DependsOnlyOnTheFirstByteBelow252) {
  auto a = RandomBytes(251, 1);
  auto b = RandomBytes(251, 2);
  b[0] = a[0];
  EXPECT_EQ(Crc16_251(a.data(), 251), Crc16_251(b.data(), 251));
  EXPECT_EQ(Crc16_251(a.data(), 251), calc_crc16(a.data(), 1));
  auto c = RandomBytes(600, 4);
  const unsigned char picked[3] = {c[0], c[251], c[502]};
  EXPECT_EQ(Crc16_251(c.data(), 600), calc_crc16(picked, 3));
  EXPECT_EQ(Crc16_251(c.data(), 502), calc_crc16(picked, 2));
}

TEST(Crc, TorqChecksum) {
  // A guard byte after the data must stay as it is and must not count.
  unsigned char buf[4] = {0x12, 0x34, 0x56, 0x99};
  EXPECT_EQ(TorqChecksum(buf, 0), 0xAAAA);
  // Two bytes: word 0x3412 ^ 0xAAAA = 0x9EB8, rotated = 0x3D71, swapped = 0x713D.
  EXPECT_EQ(TorqChecksum(buf, 2), 0x713D);
  // Three bytes: then word 0xAA56 ^ 0x3D71 = 0x9727, rotated 0x2E4F, swapped 0x4F2E.
  EXPECT_EQ(TorqChecksum(buf, 3), 0x4F2E);
  EXPECT_EQ(buf[3], 0x99);
  unsigned char padded[4] = {0x12, 0x34, 0x56, 0xAA};
  EXPECT_EQ(TorqChecksum(padded, 4), TorqChecksum(buf, 3));
}
