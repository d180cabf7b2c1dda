#include "support/torqutil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace torqutil;

namespace {
// The EBCDIC letters 'A'-'P'.
constexpr std::uint8_t kE[16] = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8,
                                 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7};
std::vector<std::uint8_t> Ebcdic(const std::string& ascii) {
  std::vector<std::uint8_t> v;
  for (char c : ascii) v.push_back(kE[c - 'A']);
  return v;
}
const std::uint8_t* A(const char* s) { return reinterpret_cast<const std::uint8_t*>(s); }
}  // namespace

TEST(TorqUtil, StrLowerAndStristr) {
  char text[] = "C:\\PATH;D:\\x";
  EXPECT_EQ(stristr(text, "Path"), text + 3);
  EXPECT_EQ(stristr(text, nullptr), nullptr);
  EXPECT_EQ(stristr(nullptr, "x"), nullptr);
  EXPECT_EQ(stristr("/opt/torq2", "/OPT/TORQ3"), nullptr);
  EXPECT_EQ(stristr("abc", "abcd"), nullptr);
  char mixed[] = "AbZ\xC4[";
  EXPECT_STREQ(StrLower(mixed), "abz\xC4[");
  EXPECT_EQ(StrLower(nullptr), nullptr);
  EXPECT_EQ(std::string(gInfo).substr(0, 17), "TorqUtil       : ");
}

TEST(TorqUtil, LetterDecodersBothForms) {
  struct Case { const char* letters; std::uint32_t value; int kind; };  // kind: letters read
  const Case cases[] = {
      {"PA", 0xF0, 2},         {"PP", 0xFF, 2},       {"AB", 0x01, 2},
      {"ABCD", 0x0123, 4},     {"PPPP", 0xFFFF, 4},   {"AAAAAAAB", 1, 8},
      {"PONMLKJI", 0xFEDCBA98, 8}, {"PPP", 4095, 3},  {"ABC", 0x012, 3},
  };
  for (const auto& c : cases) {
    const auto e = Ebcdic(c.letters);
    SCOPED_TRACE(c.letters);
    switch (c.kind) {
      case 2: EXPECT_EQ(Cx7ToByteA(A(c.letters)), c.value); EXPECT_EQ(Cx7ToByteE(e.data()), c.value); break;
      case 4: EXPECT_EQ(Cx7ToShortA(A(c.letters)), c.value); EXPECT_EQ(Cx7ToShortE(e.data()), c.value); break;
      case 8: EXPECT_EQ(Cx7ToLongA(A(c.letters)), c.value); EXPECT_EQ(Cx7ToLongE(e.data()), c.value); break;
      case 3:
        EXPECT_EQ(Cx7ToLong3A(A(c.letters)), c.value);
        EXPECT_EQ(Cx7ToLong3E(e.data()), c.value);
        EXPECT_EQ(Cx7RecSizeA(A(c.letters)), c.value + 4);
        EXPECT_EQ(Cx7RecSizeE(e.data()), c.value + 4);
        break;
    }
  }
  // Lower-case letters decode like upper-case ones, in either code.
  EXPECT_EQ(Cx7ToByteA(A("pa")), 0xF0);
  const std::uint8_t lowerE[] = {0x97, 0x81};  // EBCDIC 'p', 'a'
  EXPECT_EQ(Cx7ToByteE(lowerE), 0xF0);
}

TEST(TorqUtil, AnyByteDecodesWithoutLeavingTheTable) {
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t two[2] = {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c)};
    EXPECT_LE(Cx7ToByteA(two), 0xFF);
    EXPECT_LE(Cx7ToByteE(two), 0xFF);
  }
  const std::uint8_t gap[2] = {0xCA, 0xC1};  // between 'I' and 'J' in EBCDIC: entry 9 is 0
  EXPECT_EQ(Cx7ToByteE(gap), 0x00);
}

TEST(TorqUtil, ConvertersCopyAndInPlace) {
  const auto e = Ebcdic("PPABCDEFGHIJKLMN");
  std::array<std::uint8_t, 8> out{};
  Cx7ToCx8E(e.data(), out.data(), 8);
  EXPECT_EQ(out, (std::array<std::uint8_t, 8>{0xFF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD}));
  auto buf = e;
  Cx7ToCx8IpE(buf.data(), 8);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), buf.begin()));

  std::uint8_t pp[] = {0xD7, 0xD7};
  Cx7ToCx8IpE(pp, 1);
  EXPECT_EQ(pp[0], 0xFF);

  std::uint8_t none[2] = {0x55, 0x66};
  Cx7ToCx8A(A("PP"), none, 0);
  Cx7ToCx8A(A("PP"), none, -3);
  EXPECT_EQ(none[0], 0x55);

  std::uint8_t fixed[4] = {};
  Cx7ToCx8A8(A("ABCDEFGH"), fixed);
  EXPECT_EQ(std::memcmp(fixed, "\x01\x23\x45\x67", 4), 0);
  Cx7ToCx8A4(A("PAPB"), fixed);
  EXPECT_EQ(std::memcmp(fixed, "\xF0\xF1", 2), 0);
  Cx7ToCx8E2(Ebcdic("BC").data(), fixed);
  EXPECT_EQ(fixed[0], 0x12);
  std::uint8_t ip[8];
  std::memcpy(ip, "PPAAPPAA", 8);
  Cx7ToCx8IpA8(ip);
  EXPECT_EQ(std::memcmp(ip, "\xFF\x00\xFF\x00", 4), 0);
  auto ipe = Ebcdic("ABCD");
  Cx7ToCx8IpE4(ipe.data());
  EXPECT_EQ(ipe[0], 0x01);
  EXPECT_EQ(ipe[1], 0x23);
}

TEST(TorqUtil, FileTypeTests) {
  using Head = std::array<std::uint8_t, 18>;
  Head serial = {0x00, 0x10, 0x80, 0x04, 0x00, 0x80, 0x09, 0x71, 0x01,
                 0xE3, 0xD6, 0xD9, 0xD8, 'S', 'P', 'L', 'I', 'T'};  // L1 16, L2 9 (top bit ignored)
  Head parallel = serial;
  parallel[6] = 0x07;  // L1 - L2 = 9
  parallel[8] = 2;
  Head badDiff = serial;
  badDiff[6] = 0x08;
  Head binary{};
  binary[2] = 0x80, binary[3] = 0x04, binary[4] = 0x02;
  Head binary3 = binary;
  binary3[4] = 0x03;
  Head var{};
  var[0] = 0x01, var[1] = 0x04, var[2] = 0x01, var[3] = 0x00, var[4] = 0x80, var[5] = 0x04;
  Head cx7a{};
  std::memcpy(cx7a.data(), "APBf", 4);
  Head cx7e{};
  cx7e[0] = 0xC1, cx7e[1] = 0xD7, cx7e[2] = 0xC9, cx7e[3] = 0x82;
  Head cx7eGap = cx7e;
  cx7eGap[1] = 0xCA;

  struct Case { const char* name; const Head* head; int type; };
  const Head zero{};
  const Case cases[] = {
      {"zeros", &zero, 0},   {"serial", &serial, 6},   {"parallel", &parallel, 5},
      {"bad split lengths", &badDiff, 1}, {"binary", &binary, 1}, {"binary byte4 3", &binary3, 0},
      {"var prefix", &var, 2}, {"cx7 ascii", &cx7a, 3}, {"cx7 ebcdic", &cx7e, 4},
      {"cx7 ebcdic non-letter", &cx7eGap, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(GetTorqfileType(c.head->data()), c.type) << c.name;
  EXPECT_TRUE(TorqFileIsSplited(serial.data()));
  EXPECT_TRUE(TorqFileIsSerialSplit(serial.data()));
  EXPECT_FALSE(TorqFileIsParallelSplit(serial.data()));
  EXPECT_TRUE(TorqFileIsParallelSplit(parallel.data()));
  EXPECT_FALSE(TorqFileIsSplited(badDiff.data()));
}
