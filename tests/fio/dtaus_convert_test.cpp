// The DTAUS record conversions as pure functions: field bytes at the places the layouts give.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fio/dtaus_convert.h"
#include "fio/dtaus_fields.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint8_t kIdentity[256];
const bool kIdentityReady = [] {
  for (int i = 0; i < 256; ++i) kIdentity[i] = static_cast<std::uint8_t>(i);
  return true;
}();

const DtausCharset kAscii{kIdentity, 0x30, 0x20, 0x41};
const DtausCharset kAsciiC{kIdentity, 0x30, 0x20, 0x43};

void Put(Bytes& b, std::size_t offset, const std::string& s) {
  std::memcpy(b.data() + offset, s.data(), s.size());
}

Bytes Slice(const Bytes& b, std::size_t offset, std::size_t n) {
  return Bytes(b.begin() + static_cast<long>(offset), b.begin() + static_cast<long>(offset + n));
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes DiskA() {
  Bytes d(128, 0x20);
  Put(d, 0, "0128A");
  Put(d, 5, "XY");
  Put(d, 7, "12345678");
  Put(d, 15, "87654321");
  Put(d, 23, std::string(27, 'N'));
  Put(d, 50, "123456");
  Put(d, 56, "1234");
  Put(d, 60, "1234567890");
  Put(d, 70, std::string(57, 'R'));
  d[127] = 'Z';  // not blank
  return d;
}

TEST(DtausConvert, DiskAToTapeFieldByField) {
  const Bytes d = DiskA();
  Bytes t(146, 0xEE);
  ASSERT_EQ(DtausDiskToTape(DtausRecord::kA, 0, d, t, kAscii, false), 146);
  EXPECT_EQ(t[0], 0x41);
  EXPECT_EQ(Slice(t, 1, 2), Text("XY"));
  EXPECT_EQ(Slice(t, 3, 5), (Bytes{0x01, 0x23, 0x45, 0x67, 0x8F}));
  EXPECT_EQ(Slice(t, 8, 5), (Bytes{0x08, 0x76, 0x54, 0x32, 0x1F}));
  EXPECT_EQ(Slice(t, 13, 27), Text(std::string(27, 'N')));
  EXPECT_EQ(Slice(t, 40, 4), (Bytes{0x01, 0x23, 0x45, 0x6F}));
  EXPECT_EQ(t[44], 0x00);
  EXPECT_EQ(Slice(t, 45, 3), (Bytes{0x01, 0x23, 0x4F}));
  EXPECT_EQ(Slice(t, 48, 6), (Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0x0F}));
  EXPECT_EQ(Slice(t, 54, 57), Text(std::string(57, 'R')));
  // Read: disk byte 127 lands on tape byte 111, blanks follow.
  EXPECT_EQ(t[111], 'Z');
  EXPECT_EQ(Slice(t, 112, 34), Bytes(34, 0x20));
  // Written: the same byte goes to tape byte 145, and 111 to 144 are blanks.
  ASSERT_EQ(DtausDiskToTape(DtausRecord::kA, 0, d, t, kAscii, true), 146);
  EXPECT_EQ(Slice(t, 111, 34), Bytes(34, 0x20));
  EXPECT_EQ(t[145], 'Z');

  // Back to disk on output: tape byte 145 returns to disk byte 127.
  Bytes back(128, 0xEE);
  ASSERT_EQ(DtausTapeToDisk(DtausRecord::kA, 0, t, back, kAscii, true), 128);
  EXPECT_EQ(back, d);
}

Bytes DiskC(int k) {
  Bytes d(static_cast<std::size_t>(DtausDiskCSize(k)), 0x20);
  char length[16];
  std::snprintf(length, sizeof length, "%04d", DtausDiskCLength(k));
  Put(d, 0, length);
  Put(d, 4, "C");
  Put(d, 5, "11111111");
  Put(d, 13, "22222222");
  Put(d, 21, "3333333333");
  Put(d, 31, "1234567890129");
  Put(d, 44, "47");
  Put(d, 46, "051");
  Put(d, 49, " ");
  Put(d, 50, "44444444444");
  Put(d, 61, "55555555");
  Put(d, 69, "6666666666");
  Put(d, 79, "77777777777");
  Put(d, 90, "XYZ" + std::string(27, 'T'));
  Put(d, 128, std::string(57, 'U'));
  char count[16];
  std::snprintf(count, sizeof count, "%02d", k);
  Put(d, 185, count);
  for (int j = 0; j < k; ++j)
    Put(d, static_cast<std::size_t>(DtausDiskExtensionOffset(j)), std::string(29, static_cast<char>('a' + j)));
  return d;
}

TEST(DtausConvert, DiskCToTapeFieldByField) {
  const Bytes d = DiskC(3);
  Bytes t(233, 0xEE);
  ASSERT_EQ(DtausDiskToTape(DtausRecord::kC, 3, d, t, kAscii, false), 233);
  EXPECT_EQ(t[0], 0x41);  // the out-letter given
  EXPECT_EQ(Slice(t, 1, 5), (Bytes{0x01, 0x11, 0x11, 0x11, 0x1F}));
  EXPECT_EQ(Slice(t, 11, 6), (Bytes{0x03, 0x33, 0x33, 0x33, 0x33, 0x3F}));
  // The 13-digit field: 12 digits in nibble pairs, six zero bytes, 0F.
  EXPECT_EQ(Slice(t, 17, 13), (Bytes{0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0, 0, 0, 0, 0, 0, 0x0F}));
  EXPECT_EQ(t[30], 0x47);  // two digits, no sign
  EXPECT_EQ(Slice(t, 31, 2), (Bytes{0x05, 0x1F}));
  EXPECT_EQ(t[33], ' ');
  EXPECT_EQ(Slice(t, 34, 6), (Bytes{0x44, 0x44, 0x44, 0x44, 0x44, 0x4F}));
  EXPECT_EQ(Slice(t, 57, 30), Text("XYZ" + std::string(27, 'T')));
  EXPECT_EQ(Slice(t, 87, 57), Text(std::string(57, 'U')));
  EXPECT_EQ(Slice(t, 144, 2), (Bytes{0x00, 0x3F}));
  EXPECT_EQ(Slice(t, 146, 29), Text(std::string(29, 'a')));
  EXPECT_EQ(Slice(t, 175, 29), Text(std::string(29, 'b')));
  EXPECT_EQ(Slice(t, 204, 29), Text(std::string(29, 'c')));
  // Written: disk bytes 90-92 have no counterpart, tape 57-59 are blanks.
  ASSERT_EQ(DtausDiskToTape(DtausRecord::kC, 3, d, t, kAscii, true), 233);
  EXPECT_EQ(Slice(t, 57, 30), Text("   " + std::string(27, 'T')));
}

TEST(DtausConvert, TapeCWithThreeExtensionsToDisk) {
  Bytes t(233, 0xEE);
  ASSERT_EQ(DtausDiskToTape(DtausRecord::kC, 3, DiskC(3), t, kAscii, false), 233);
  Bytes d(384, 0xEE);
  ASSERT_EQ(DtausTapeToDisk(DtausRecord::kC, 3, t, d, kAsciiC, false), 384);
  EXPECT_EQ(Slice(d, 0, 5), Text("0274C"));
  EXPECT_EQ(Slice(d, 31, 13), Text("1234567890120"));  // the 13th digit is the zero digit
  EXPECT_EQ(Slice(d, 90, 30), Text("XYZ" + std::string(27, 'T')));
  EXPECT_EQ(Slice(d, 120, 8), Bytes(8, 0x20));
  // Second segment: the fixed part's last 59 bytes, two extension parts, 11 blanks.
  EXPECT_EQ(Slice(d, 128, 57), Text(std::string(57, 'U')));
  EXPECT_EQ(Slice(d, 185, 2), Text("03"));
  EXPECT_EQ(Slice(d, 187, 29), Text(std::string(29, 'a')));
  EXPECT_EQ(Slice(d, 216, 29), Text(std::string(29, 'b')));
  EXPECT_EQ(Slice(d, 245, 11), Bytes(11, 0x20));
  // Third segment: one extension part, three slots of two zero digits and 27 blanks, 12 blanks.
  EXPECT_EQ(Slice(d, 256, 29), Text(std::string(29, 'c')));
  for (int slot = 1; slot < 4; ++slot)
    EXPECT_EQ(Slice(d, static_cast<std::size_t>(256 + 29 * slot), 29), Text("00" + std::string(27, ' ')));
  EXPECT_EQ(Slice(d, 372, 12), Bytes(12, 0x20));
  // Written: tape 57-59 are skipped and disk 90-92 become blanks.
  ASSERT_EQ(DtausTapeToDisk(DtausRecord::kC, 3, t, d, kAsciiC, true), 384);
  EXPECT_EQ(Slice(d, 90, 30), Text("   " + std::string(27, 'T')));
}

TEST(DtausConvert, ERecordBothWays) {
  Bytes d(128, 0x20);
  Put(d, 0, "0128E");
  Put(d, 5, "ABCDE");
  Put(d, 10, "1234567");
  Put(d, 17, "1234567890123");
  Put(d, 30, "12345678901234567");
  Put(d, 47, "76543210987654321");
  Put(d, 64, "9999999999999");
  Put(d, 77, std::string(51, 'Q'));
  const DtausCharset ebcdicOut{kIdentity, 0xF0, 0x40, 0xC5};
  Bytes t(146, 0xEE);
  ASSERT_EQ(DtausDiskToTape(DtausRecord::kE, 0, d, t, ebcdicOut, false), 146);
  EXPECT_EQ(t[0], 0xC5);
  EXPECT_EQ(Slice(t, 6, 4), (Bytes{0x12, 0x34, 0x56, 0x7F}));
  EXPECT_EQ(Slice(t, 10, 7), (Bytes{0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x3F}));
  EXPECT_EQ(Slice(t, 17, 9), (Bytes{0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x7F}));
  EXPECT_EQ(Slice(t, 26, 9), (Bytes{0x76, 0x54, 0x32, 0x10, 0x98, 0x76, 0x54, 0x32, 0x1F}));
  EXPECT_EQ(Slice(t, 35, 7), (Bytes{0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9F}));
  EXPECT_EQ(Slice(t, 42, 51), Text(std::string(51, 'Q')));
  EXPECT_EQ(Slice(t, 93, 53), Bytes(53, 0x40));  // the blank given
  Bytes back(128, 0xEE);
  ASSERT_EQ(DtausTapeToDisk(DtausRecord::kE, 0, t, back, kAscii, false), 128);
  d[4] = 0x41;  // the out-letter given
  EXPECT_EQ(back, d);
}

TEST(DtausConvert, TapeTranslationLeavesPackedBytes) {
  std::uint8_t upper[256];
  for (int i = 0; i < 256; ++i) upper[i] = static_cast<std::uint8_t>(i ^ 0x80);
  Bytes t(146 + 29, 0x11);
  Bytes out(t.size(), 0);
  ASSERT_EQ(DtausTranslateTape(DtausRecord::kC, 1, t, out, upper), 175);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool chars = i == 0 || i == 33 || (i >= 57 && i <= 143) || i >= 146;
    EXPECT_EQ(out[i], chars ? 0x91 : 0x11) << i;
  }
  ASSERT_EQ(DtausTranslateTape(DtausRecord::kA, 0, t, out, upper), 146);
  for (std::size_t i = 0; i < 146; ++i) {
    const bool chars = i <= 2 || (i >= 13 && i <= 39) || i >= 54;
    EXPECT_EQ(out[i], chars ? 0x91 : 0x11) << i;
  }
  ASSERT_EQ(DtausTranslateTape(DtausRecord::kE, 0, t, out, upper), 146);
  for (std::size_t i = 0; i < 146; ++i) {
    const bool chars = i <= 5 || i >= 42;
    EXPECT_EQ(out[i], chars ? 0x91 : 0x11) << i;
  }
}

TEST(DtausConvert, RefusesShortBuffersAndBadCounts) {
  Bytes small(100);
  Bytes big(1000);
  EXPECT_EQ(DtausDiskToTape(DtausRecord::kA, 0, small, big, kAscii, false), -1);
  EXPECT_EQ(DtausDiskToTape(DtausRecord::kA, 0, big, small, kAscii, false), -1);
  EXPECT_EQ(DtausTapeToDisk(DtausRecord::kC, 16, big, big, kAscii, false), -1);
  EXPECT_EQ(DtausTapeToDisk(DtausRecord::kC, -1, big, big, kAscii, false), -1);
  EXPECT_EQ(DtausTapeToDisk(DtausRecord::kC, 15, big, small, kAscii, false), -1);
  EXPECT_EQ(DtausTranslateTape(DtausRecord::kC, 15, small, big, kIdentity), -1);
}

TEST(DtausConvert, SegmentSizesAndExtensionPlaces) {
  const int sizes[16] = {256, 256, 256, 384, 384, 384, 384, 512, 512, 512, 512, 640, 640, 640, 640, 768};
  for (int k = 0; k <= 15; ++k) {
    EXPECT_EQ(DtausDiskCSize(k), sizes[k]) << k;
    EXPECT_EQ(DtausTapeCSize(k), 146 + 29 * k);
  }
  const int places[15] = {187, 216, 256, 285, 314, 343, 384, 413, 442, 471, 512, 541, 570, 599, 640};
  for (int j = 0; j < 15; ++j) EXPECT_EQ(DtausDiskExtensionOffset(j), places[j]) << j;
}

}  // namespace
