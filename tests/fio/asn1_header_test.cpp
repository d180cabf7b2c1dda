// BER element headers as a pure function: identifier and length forms, bounds, short input.
#include "fio/asn1_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Case {
  Bytes bytes;
  Asn1HeaderResult result;
  std::int32_t identifierLength;
  std::int32_t headerLength;
  std::int64_t contentsLength;
  bool constructed;
  bool indefinite;
};

TEST(Asn1Header, Forms) {
  const Case cases[] = {
      {{0x02, 0x01}, Asn1HeaderResult::kOk, 1, 2, 1, false, false},
      {{0x30, 0x7F}, Asn1HeaderResult::kOk, 1, 2, 127, true, false},
      {{0x04, 0x81, 0x80}, Asn1HeaderResult::kOk, 1, 3, 128, false, false},
      {{0x04, 0x82, 0x01, 0x00}, Asn1HeaderResult::kOk, 1, 4, 256, false, false},
      {{0x30, 0x80}, Asn1HeaderResult::kOk, 1, 2, 0, true, true},
      {{0x1F, 0x81, 0x00, 0x00}, Asn1HeaderResult::kOk, 3, 4, 0, false, false},
      {{0x3F, 0x1E, 0x05}, Asn1HeaderResult::kOk, 2, 3, 5, true, false},
      {{0xA0, 0x84, 0x7F, 0xFF, 0xFF, 0xFE}, Asn1HeaderResult::kOk, 1, 6, 2147483646, true, false},
      {{0x04, 0x84, 0x7F, 0xFF, 0xFF, 0xFF}, Asn1HeaderResult::kLengthTooLarge, 0, 0, 0, false, false},
      {{0x04, 0x85, 0x80, 0x00, 0x00, 0x00}, Asn1HeaderResult::kLengthTooLarge, 0, 0, 0, false, false},
      {{0x04, 0x85, 0x01, 0x00}, Asn1HeaderResult::kNeedMore, 0, 0, 0, false, false},
      {{0x1F, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01},
       Asn1HeaderResult::kBadIdentifier, 0, 0, 0, false, false},
      {{0x1F, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01, 0x00},
       Asn1HeaderResult::kOk, 8, 9, 0, false, false},
      {{}, Asn1HeaderResult::kNeedMore, 0, 0, 0, false, false},
      {{0x1F, 0x81}, Asn1HeaderResult::kNeedMore, 0, 0, 0, false, false},
      {{0x04}, Asn1HeaderResult::kNeedMore, 0, 0, 0, false, false},
      {{0x04, 0x83, 0x01, 0x00}, Asn1HeaderResult::kNeedMore, 0, 0, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    Asn1Header h;
    std::int32_t needed = -1;
    ASSERT_EQ(Asn1ParseHeader(c.bytes, h, needed), c.result);
    if (c.result != Asn1HeaderResult::kOk) continue;
    EXPECT_EQ(h.identifierLength, c.identifierLength);
    EXPECT_EQ(h.headerLength, c.headerLength);
    EXPECT_EQ(h.contentsLength, c.contentsLength);
    EXPECT_EQ(h.constructed, c.constructed);
    EXPECT_EQ(h.indefinite, c.indefinite);
  }
}

TEST(Asn1Header, NeededGrowsToTheWholeHeader) {
  const Bytes full = {0x1F, 0x81, 0x00, 0x83, 0x01, 0x02, 0x03};
  for (std::size_t n = 0; n < full.size(); ++n) {
    Asn1Header h;
    std::int32_t needed = -1;
    ASSERT_EQ(Asn1ParseHeader(std::span(full.data(), n), h, needed), Asn1HeaderResult::kNeedMore) << n;
    EXPECT_GT(needed, static_cast<std::int32_t>(n));
    EXPECT_LE(needed, static_cast<std::int32_t>(full.size()));
  }
  Asn1Header h;
  std::int32_t needed = -1;
  ASSERT_EQ(Asn1ParseHeader(full, h, needed), Asn1HeaderResult::kOk);
  EXPECT_EQ(h.contentsLength, 0x010203);
  EXPECT_EQ(needed, 7);
}

TEST(Asn1Header, EndOfContents) {
  Asn1Header h;
  std::int32_t needed = 0;
  ASSERT_EQ(Asn1ParseHeader(Bytes{0x00, 0x00}, h, needed), Asn1HeaderResult::kOk);
  EXPECT_TRUE(h.endOfContents);
  ASSERT_EQ(Asn1ParseHeader(Bytes{0x00, 0x01, 0x00}, h, needed), Asn1HeaderResult::kOk);
  EXPECT_FALSE(h.endOfContents);
}

}  // namespace
