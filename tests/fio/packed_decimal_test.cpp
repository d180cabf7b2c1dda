#include "fio/packed_decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Digits(const std::string& text, std::uint8_t zone) {
  Bytes out;
  for (char c : text) out.push_back(static_cast<std::uint8_t>(zone | (c - '0')));
  return out;
}

Bytes Pack(const Bytes& digits) {
  const auto n = static_cast<std::int32_t>(digits.size());
  Bytes out(static_cast<std::size_t>(PackedSize(n)) + 1, 0xEE);  // one guard byte
  EXPECT_EQ(pack(out.data(), digits.data(), n), out.data());
  EXPECT_EQ(out.back(), 0xEE);
  out.pop_back();
  return out;
}

Bytes Unpack(const Bytes& packed, std::int32_t n, std::uint8_t zone) {
  Bytes out(static_cast<std::size_t>(n) + 1, 0xEE);
  unpack(out.data(), packed.data(), n, zone);
  EXPECT_EQ(out.back(), 0xEE);
  out.pop_back();
  return out;
}

struct PackCase {
  Bytes digits;
  Bytes packed;
};

TEST(PackedDecimal, PackExamples) {
  const PackCase cases[] = {
      {{0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38}, {0x01, 0x23, 0x45, 0x67, 0x8F}},
      {{0x31, 0x32, 0x33}, {0x12, 0x3F}},
      {{0x37}, {0x7F}},
      {{0xF1, 0xF2}, {0x01, 0x2F}},
      {{0x31, 0x32}, {0x01, 0x2F}},
  };
  for (const auto& c : cases) EXPECT_EQ(Pack(c.digits), c.packed);
}

TEST(PackedDecimal, UnpackExamples) {
  const Bytes packed{0x01, 0x23, 0x45, 0x67, 0x8F};
  EXPECT_EQ(Unpack(packed, 8, 0x30), (Bytes{0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38}));
  EXPECT_EQ(Unpack(packed, 8, 0xF0), (Bytes{0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8}));
  // The sign nibble is ignored.
  EXPECT_EQ(Unpack({0x12, 0x3D}, 3, 0x30), (Bytes{0x31, 0x32, 0x33}));
  // A nibble above 9 comes out as the zone OR-ed with it.
  EXPECT_EQ(Unpack({0xAB}, 1, 0xF0), (Bytes{0xFA}));
}

TEST(PackedDecimal, SizesAndRoundTripsForEveryCount) {
  EXPECT_EQ(PackedSize(1), 1);
  EXPECT_EQ(PackedSize(2), 2);
  EXPECT_EQ(PackedSize(3), 2);
  EXPECT_EQ(PackedSize(8), 5);
  EXPECT_EQ(PackedSize(13), 7);
  EXPECT_EQ(PackedSize(23), 12);
  for (std::int32_t n = 1; n <= kPackedMaxDigits; ++n) {
    std::string text;
    for (std::int32_t i = 0; i < n; ++i) text.push_back(static_cast<char>('0' + (i * 7 + n) % 10));
    const Bytes packed = Pack(Digits(text, 0x30));
    ASSERT_EQ(packed.size(), static_cast<std::size_t>(PackedSize(n)));
    EXPECT_EQ(packed.back() & 0x0F, 0x0F) << n;
    if (n % 2 == 0) {
      EXPECT_EQ(packed.front() >> 4, 0) << n;
    }
    EXPECT_EQ(Unpack(packed, n, 0xF0), Digits(text, 0xF0)) << n;
    if (n <= 9) {
      EXPECT_EQ(PackedValue(packed.data(), n), std::stoi(text)) << n;
    }
  }
}

TEST(PackedDecimal, CountsOutsideTheRangeWriteNothing) {
  Bytes out(16, 0xEE);
  const Bytes digits(30, 0x31);
  pack(out.data(), digits.data(), 0);
  pack(out.data(), digits.data(), 24);
  pack(out.data(), digits.data(), -3);
  unpack(out.data(), digits.data(), 0, 0x30);
  unpack(out.data(), digits.data(), 24, 0x30);
  EXPECT_EQ(out, Bytes(16, 0xEE));
}

TEST(PackedDecimal, NibblePairsWithoutSign) {
  const Bytes digits = Digits("123456789012", 0x30);
  Bytes packed(6, 0);
  PackNibblePairs(packed.data(), digits.data(), 12);
  EXPECT_EQ(packed, (Bytes{0x12, 0x34, 0x56, 0x78, 0x90, 0x12}));
  Bytes back(12, 0);
  UnpackNibblePairs(back.data(), packed.data(), 12, 0xF0);
  EXPECT_EQ(back, Digits("123456789012", 0xF0));
  Bytes one(1, 0);
  PackNibblePairs(one.data(), Digits("47", 0xF0).data(), 2);
  EXPECT_EQ(one[0], 0x47);
}

TEST(PackedDecimal, CheckedValues) {
  EXPECT_EQ(DigitValue(Digits("0274", 0x30).data(), 4), 274);
  EXPECT_EQ(DigitValue(Digits("0128", 0xF0).data(), 4), 128);
  const Bytes bad{0x30, 0x3A};
  EXPECT_EQ(DigitValue(bad.data(), 2), -1);
  EXPECT_EQ(PackedValue(Bytes{0x01, 0x5F}.data(), 2), 15);
  EXPECT_EQ(PackedValue(Bytes{0x01, 0xAF}.data(), 2), -1);  // digit nibble above 9
  EXPECT_EQ(PackedValue(Bytes{0x11, 0x5F}.data(), 2), -1);  // leading nibble not 0
}

}  // namespace
