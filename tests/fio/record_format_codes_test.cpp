// Record format codes: the listing maps, normalisation for reading and writing, and the
// detection of a TORQFILE's framing from its 18-byte probe.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "record_test_util.h"

using fiotest::ScratchDir;
using fiotest::WriteFileBytes;
using rectest::B;
using rectest::Bytes;
using rectest::Open;

namespace {

TEST(RecFormsMap, RowsInOrder) {
  int rows = 0;
  while (RecFormsMap[rows].key != -1) ++rows;
  EXPECT_EQ(rows, 37);
  EXPECT_EQ(RecFormsMap[0].key, 1);
  EXPECT_STREQ(RecFormsMap[0].text, "fix");
  EXPECT_EQ(RecFormsMap[36].key, 18);
  EXPECT_STREQ(RecFormsMap[36].text, "eaf");
  struct Case {
    std::int32_t code;
    const char* text;
  };
  for (const Case c : {Case{0, "variable"}, Case{8, "variable"}, Case{9, "fix"}, Case{11, "text"},
                       Case{12, "dtext"}, Case{16, "var2b_data"}, Case{24, "vfc"},
                       Case{128, "dtaus_d_dt"}, Case{176, "dtaus_td_ea1"}, Case{80, "dtaus_td_ea0"},
                       Case{224, "asn1_stream"}, Case{72, "var_4b_in"}}) {
    EXPECT_STREQ(FindEntryTxt(RecFormsMap, c.code), c.text) << c.code;
  }
}

TEST(ListingMaps, OrganisationDeviceAndCloseDisposition) {
  EXPECT_STREQ(FindEntryTxt(FormatMap, 1), "indexed-sequential");
  EXPECT_STREQ(FindEntryTxt(FormatMap, 12), "odd unstructured");
  EXPECT_STREQ(FindEntryTxt(DeviceMap, 6), "$RECEIVE");
  EXPECT_STREQ(FindEntryTxt(DeviceMap, 7), "userio");
  EXPECT_STREQ(FindEntryTxt(CloseMap, 2), "norewind");
  EXPECT_EQ(FormatMap[5].key, -1);
  EXPECT_EQ(DeviceMap[6].key, -1);
  EXPECT_EQ(CloseMap[3].key, -1);
}

TEST(RecordFormatCodes, InputNormalisation) {
  EXPECT_EQ(NormaliseInputFormat(3), 11);
  EXPECT_EQ(NormaliseInputFormat(12), 11);
  for (std::int32_t code : {0, 1, 2, 8, 9, 11, 17, 24, 25, 96, 208, 257, 768, 999})
    EXPECT_EQ(NormaliseInputFormat(code), code) << code;
}

TEST(RecordFormatCodes, OutputNormalisation) {
  struct Case {
    std::int32_t in;
    std::int32_t out;
  };
  const Case cases[] = {
      {0, 0},     {1, 1},   {2, 2},          {3, 3},     {4, 3},   {8, 0},   {9, 1},
      {11, 3},    {12, 12}, {16, 16},        {17, 1},    {18, 18}, {24, 0},  {25, 1},
      {32, 32},   {40, 40}, {48, 48},        {56, 56},   {64, 64}, {72, 72}, {80, 80},
      {88, 88},   {100, 3}, {176, 176},      {200, 200}, {207, 3}, {208, 2}, {216, 216},
      {224, 224}, {232, 3}, {255, 3},        {256, 0},   {257, 1}, {259, 3}, {268, 12},
      {300, 3},   {464, 2}, {0x7FFFFFFF, 3},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseOutputFormat(c.in), c.out) << c.in;
  EXPECT_EQ(PositiveFormat(-3), 3);
  EXPECT_EQ(PositiveFormat(kNotGiven), 0x7FFFFFFF);
  EXPECT_EQ(PositiveFormat(INT32_MIN), INT32_MAX);
}

TEST(RecordFormatCodes, DtausFamilies) {
  int count = 0;
  for (std::int32_t code = 0; code < 300; ++code) {
    if (!IsDtausFormat(code)) continue;
    ++count;
    const int families = IsDtausAe(code) + IsDtausEa0(code) + IsDtausEa1(code);
    EXPECT_LE(families, 1) << code;
  }
  EXPECT_EQ(count, 16);
  EXPECT_TRUE(IsDtausEa1(176));
}

Bytes Probe(std::initializer_list<std::uint8_t> head) {
  Bytes p(18, 0x11);
  std::copy(head.begin(), head.end(), p.begin());
  return p;
}

TEST(FramingDetection, ProbeRules) {
  struct Case {
    Bytes probe;
    ContainerFraming expect;
  };
  const Case cases[] = {
      {Probe({0x01, 0x02, 0x80, 0x04}), {257, 0x0102 + 2, 1, 0}},
      {Probe({0x01, 0x06, 0x01, 0x02, 0x80, 0x04}), {288, 0x0106, 0, 0}},
      {Probe({'A', 'A', 'B', 'f'}), {768, 1 + 4, 3, 65}},
      {Probe({'B', 'C', 'D', 'b'}), {768, 256 + 32 + 3 + 4, 3, 65}},
      {Probe({'P', 'P', 'P', 'f'}), {768, 4095 + 4, 3, 65}},
      {Probe({0xC1, 0xC1, 0xD1, 0x86}), {768, 9 + 4, 3, 193}},
      {Probe({0xD7, 0xC9, 0xCA, 0x82}), {768, 15 * 256 + 8 * 16 + 0 + 4, 3, 193}},
      {Probe({'Z', '\n', 'A', 'f'}), {768, 0 + 4, 3, 65}},  // no letters count 0 here
      {Probe({0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), {257, 32760, 1, 0}},
      {Probe({'f', 'o', 'o', 'd'}), {257, 32760, 1, 0}},
  };
  for (const Case& c : cases) {
    const ContainerFraming f = DetectFraming(c.probe.data());
    EXPECT_EQ(f.recordFormat, c.expect.recordFormat);
    EXPECT_EQ(f.recordLength, c.expect.recordLength);
    EXPECT_EQ(f.callerFormat, c.expect.callerFormat);
    EXPECT_EQ(f.letterBase, c.expect.letterBase);
  }
}

TEST(FramingDetection, LetterTablesKeepTheTwentyThreeValues) {
  const std::uint8_t* ascii = LetterDecodeTable(65);
  const std::uint8_t* ebcdic = LetterDecodeTable(193);
  ASSERT_NE(ascii, nullptr);
  ASSERT_NE(ebcdic, nullptr);
  EXPECT_EQ(LetterDecodeTable(0), nullptr);
  for (int i = 0; i < 256; ++i) {
    const int a = i - 65;
    const std::uint8_t expectA = a < 0 || a > 22 ? kNoLetter : a < 16 ? a : 0;
    EXPECT_EQ(ascii[i], expectA) << i;
    const int e = i - 193;
    const std::uint8_t expectE = e < 0 || e > 22 ? kNoLetter : e <= 8 ? e : e < 16 ? 0 : e - 7;
    EXPECT_EQ(ebcdic[i], expectE) << i;
  }
}

struct DetectCase {
  Bytes file;
  std::int32_t rc;
  std::int32_t stored;
  std::int32_t format;
  std::int32_t length;
};

TEST(FramingDetection, ThroughFiopen) {
  ScratchDir dir;
  Bytes printable = B("AAPfABCDEFGHIJKLMNO");  // 19 bytes
  Bytes ebcdic = {0xC1, 0xC1, 0xD1, 0x86, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x40, 0x40, 0x25, 0xC1, 0xC1};
  const DetectCase cases[] = {
      {Probe({0x00, 0x10, 0x80, 0x04}), kFioOk, 257, 1, 0x12},
      {Probe({0x00, 0x30, 0x00, 0x2C, 0x80, 0x04}), kFioOk, 288, 0, 0x30},
      {printable, kFioOk, 768, 3, 15 + 4},
      {ebcdic, kFioOk, 768, 3, 13},
      {Probe({'x'}), kFioOk, 257, 1, 32760},
      {Bytes(17, 0x01), kFioNotTorqfile, 0, 0, 0},
      {Bytes(1, 0x01), kFioNotTorqfile, 0, 0, 0},
      {Bytes(), kFioEmpty, 0, 0, 0},
  };
  for (const DetectCase& c : cases) {
    WriteFileBytes(dir / "t", c.file);
    Open in(kOpenInput, dir / "t", 256);
    ASSERT_EQ(in.Run(), c.rc) << c.file.size();
    if (c.rc != kFioOk) {
      EXPECT_EQ(in.fcb, nullptr);
      continue;
    }
    EXPECT_EQ(in.fcb->recordFormat, c.stored);
    EXPECT_EQ(in.recordFormat, c.format);
    EXPECT_EQ(in.recordLength, c.length);
    EXPECT_EQ(in.fcb->recordLength, c.length);
    EXPECT_EQ(in.fcb->probeLength, 18);
    EXPECT_EQ(Bytes(in.fcb->probe, in.fcb->probe + 18), Bytes(c.file.begin(), c.file.begin() + 18));
    // The probe was put back: the first record starts at byte 0.
    Bytes r;
    const std::int32_t rc = in.Get(r, 100);
    EXPECT_TRUE(rc == kFioOk || rc == kFioTruncated || rc == kFioBadData) << rc;
    ASSERT_GE(r.size(), 3u);
    // A block length in front of the record is not part of it.
    const std::size_t skip = c.stored == 288 ? 2 : 0;
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 2),
              Bytes(c.file.begin() + skip, c.file.begin() + skip + 2));
  }
}

TEST(FramingDetection, LetterValuesOfTheBlock) {
  ScratchDir dir;
  WriteFileBytes(dir / "a", B("AAPfABCDEFGHIJKLMNO"));
  Open a(kOpenInput, dir / "a", 256);
  ASSERT_EQ(a.Run(), kFioOk);
  EXPECT_EQ(a.fcb->letterBase, 65);
  const std::uint8_t ascii[23] = {0,  1,  2,  3,  4, 5, 6, 7, 8, 9, 10, 11,
                                  12, 13, 14, 15, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(a.fcb->letterValues, ascii, 23), 0);

  WriteFileBytes(dir / "e",
                 {0xC1, 0xC1, 0xD1, 0x82, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x40, 0x40, 0x40, 0x40, 0x40});
  Open e(kOpenInput, dir / "e", 256);
  ASSERT_EQ(e.Run(), kFioOk);
  EXPECT_EQ(e.fcb->letterBase, 193);
  const std::uint8_t ebcdic[23] = {0, 1, 2, 3, 4, 5,  6,  7,  8,  0,  0, 0,
                                   0, 0, 0, 0, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(std::memcmp(e.fcb->letterValues, ebcdic, 23), 0);
}

TEST(FramingDetection, ProbeReadFailureIsSystemErrorWithItsLine) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", Probe({0x00, 0x10, 0x80, 0x04}));
  fiotest::ScopedHooks hooks;
  hooks->failReadAt = 1;
  Open in(kOpenInput, dir / "t", 256);
  testing::internal::CaptureStderr();
  EXPECT_EQ(in.Run(), FioSystemError(EIO));
  EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
  EXPECT_EQ(in.fcb, nullptr);
}

TEST(FramingDetection, ExactlyEighteenBytesPass) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", Probe({0x00, 0x10, 0x80, 0x04}));
  Open in(kOpenInput, dir / "t", 256);
  EXPECT_EQ(in.Run(), kFioOk);
}

TEST(RecordFormatCodes, DtextInputReadsLikeText) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", B("one\ntwo\n"));
  const auto text = rectest::ReadFile(dir / "t", 3, 100);
  const auto dtext = rectest::ReadFile(dir / "t", 12, 100);
  EXPECT_EQ(text, dtext);
  ASSERT_EQ(text.size(), 3u);
  EXPECT_EQ(text[1].data, B("two"));
}

TEST(RecordFormatCodes, UnreadableAndUnwritableCodes) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", B("abcdef"));
  for (std::int32_t code : {8, 9, 17, 24, 25, 99, 1000, 768, 800, kNotGiven}) {
    Open in(kOpenInput, dir / "t", code);
    in.recordLength = 2;
    ASSERT_EQ(in.Run(), kFioOk) << code;  // refused at the first read, not at open
    Bytes r;
    EXPECT_EQ(in.Get(r, 10), kFioBadRecordFormat) << code;
  }
  // Codes a block can hold that fioput refuses.
  for (std::int32_t code : {208, 257, 288, 768, 800, 99}) {
    Open out(kOpenOutput, dir / "o", 2);
    ASSERT_EQ(out.Run(), kFioOk);
    out.fcb->recordFormat = code;
    EXPECT_EQ(out.Put(B("x")), kFioBadRecordFormat) << code;
  }
  Open in(kOpenInput, dir / "t", 2);
  ASSERT_EQ(in.Run(), kFioOk);
  in.fcb->recordFormat = 12;
  Bytes r;
  EXPECT_EQ(in.Get(r, 10), kFioBadRecordFormat);
}

TEST(RecordFormatCodes, DtausAndAsn1GoToTheirFormats) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", B("abcdef"));
  for (std::int32_t code : {80, 96, 200, 208, 216, 224}) {
    Open in(kOpenInput, dir / "t", code);
    in.blockSize = 64;
    ASSERT_EQ(in.Run(), kFioOk) << code;
    Bytes r;
    const std::int32_t rc = in.Get(r, 1000);
    EXPECT_NE(rc, kFioOk) << code;  // six bytes are no DTAUS or ASN.1 record
    in.fcb->dtausState = 2;
    in.fcb->asnPending = 0;
  }
}

}  // namespace
