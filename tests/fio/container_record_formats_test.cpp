// Records of a TORQFILE as the container layer reads them: binary records with a length or a
// block length in front, filling between and after them, and the printable letter form.
#include <gtest/gtest.h>

#include "fio/record_format_handlers.h"
#include "record_test_util.h"

using fiotest::ScratchDir;
using fiotest::WriteFileBytes;
using rectest::B;
using rectest::Bytes;
using rectest::Got;
using rectest::Open;

namespace {

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A binary record: the 2-byte value (length - 2), the block byte 0x80, then filler.
Bytes BinaryRecord(std::size_t length, std::uint8_t fill = 0x33) {
  Bytes r(length, fill);
  r[0] = static_cast<std::uint8_t>((length - 2) >> 8);
  r[1] = static_cast<std::uint8_t>(length - 2);
  r[2] = 0x80;
  r[3] = 0x04;
  return r;
}

std::vector<Got> ReadBinary(const Bytes& file, std::int32_t capacity) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", file);
  return rectest::ReadFile(dir / "t", 257, capacity);
}

TEST(TorqfileRecords, Examples) {
  const Bytes r12 = BinaryRecord(12);
  const Bytes r300 = BinaryRecord(300);
  const Bytes r20 = BinaryRecord(20);
  Bytes blockField(254, 0x44);
  blockField[0] = 0x00;
  blockField[1] = 0xFC;
  struct Case {
    const char* what;
    Bytes file;
    std::int32_t capacity;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"two records", Cat({r12, r300}), 1000, {{0, r12}, {0, r300}, {2, {}}}},
      {"a block length in front",
       Cat({{0x01, 0x00}, blockField}),
       1000,
       {{0, blockField}, {2, {}}}},
      {"a run of 0x40 at the end", Cat({r12, Bytes(9, 0x40)}), 1000, {{0, r12}, {2, {}}}},
      {"a run of 0x00 at the end", Cat({r12, Bytes(9, 0x00)}), 1000, {{0, r12}, {2, {}}}},
      {"three equal bytes at the end", Cat({r12, {0x20, 0x20, 0x20}}), 1000, {{0, r12}, {2, {}}}},
      {"two equal bytes at the end", Cat({r12, {0x1A, 0x1A}}), 1000, {{0, r12}, {2, {}}}},
      {"one end-of-file character", Cat({r12, {0x1A}}), 1000, {{0, r12}, {2, {}}}},
      {"one 0xFF", Cat({r12, {0xFF}}), 1000, {{0, r12}, {2, {}}}},
      {"one stray byte", Cat({r12, {0x41}}), 1000, {{0, r12}, {50, {0x41}}}},
      {"two unequal bytes", Cat({r12, {0x00, 0x41}}), 1000, {{0, r12}, {50, {0x00, 0x41}}}},
      {"zero filling between records",
       Cat({r12, Bytes(8, 0x00), r20}),
       1000,
       {{0, r12}, {0, r20}, {2, {}}}},
      {"zero filling before a long record",
       Cat({r12, Bytes(5, 0x00), r300}),
       1000,
       {{0, r12}, {0, r300}, {2, {}}}},
      {"zero filling to the end", Cat({r12, Bytes(30, 0x00)}), 1000, {{0, r12}, {2, {}}}},
      {"cut to the capacity",
       Cat({r300, r12}),
       100,
       {{111, Bytes(r300.begin(), r300.begin() + 100)}, {0, r12}, {2, {}}}},
      {"a record cut by the end of the file",
       Bytes(r300.begin(), r300.begin() + 50),
       1000,
       {{50, Bytes(r300.begin(), r300.begin() + 50)}}},
      {"empty file", {}, 1000, {{2, {}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadBinary(c.file, c.capacity), c.records) << c.what;
}

TEST(TorqfileRecords, FillSkipNeverWritesPastItsThreeBytes) {
  // A long run of non-zero filling before the next record's 0x80: only the two bytes in front
  // of it count, and nothing of the run reaches the caller's small buffer.
  const Bytes r300 = BinaryRecord(300);
  const Bytes file = Cat({{0x00, 0x00, 0x00, 0x00}, Bytes(5000, 0x07), r300});
  const auto got = ReadBinary(file, 16);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Got{111, Bytes(r300.begin(), r300.begin() + 16)}));
  EXPECT_EQ(got[1].rc, kFioEndOfFile);
}

TEST(TorqfileRecords, SkipFillingFindsTheRecordFront) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", {0x00, 0x00, 0x05, 0x00, 0x09, 0x80, 0x01});
  Open in(kOpenInput, dir / "t", 257);
  ASSERT_EQ(in.Run(), kFioOk);
  std::uint8_t buffer[8] = {0x00};
  std::int32_t rc = -9;
  std::int32_t length = 0;
  std::int32_t inHand = 0;
  std::uint8_t* next = nullptr;
  SkipFilling(*in.fcb, rc, buffer, length, inHand, next);
  EXPECT_EQ(rc, kFioOk);
  EXPECT_EQ(length, 0x0509 + 2);
  EXPECT_EQ(inHand, 3);
  EXPECT_EQ(next, buffer + 3);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x05, 0x09, 0x80}));
  SkipFilling(*in.fcb, rc, buffer, length, inHand, next);
  EXPECT_EQ(rc, kFioEndOfFile);
  EXPECT_EQ(length, 0);
}

TEST(TorqfileRecords, FilledLengthBelowItsBytesIsCorrupt) {
  // After zero filling, 0x80 with nothing in front: a length of 2 cannot hold 3 bytes.
  const auto got = ReadBinary({0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x11}, 100);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].rc, kFioBadData);
}

TEST(TorqfileRecords, CapacityBelowFourIsRefused) {
  ScratchDir dir;
  const Bytes record = BinaryRecord(12);
  WriteFileBytes(dir / "t", record);
  Open in(kOpenInput, dir / "t", 288);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(in.Get(r, 3), kFioLengthError);
  EXPECT_EQ(in.Get(r, 4), kFioTruncated);
  EXPECT_EQ(r, Bytes(record.begin(), record.begin() + 4));
}

// The printable letter form.
std::vector<Got> ReadPrintable(const Bytes& file, std::int32_t capacity) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", file);
  Open in(kOpenInput, dir / "t", 256);
  if (in.Run() != kFioOk || in.fcb->recordFormat != 768) {
    ADD_FAILURE() << "not detected as printable: " << in.rc;
    return {};
  }
  return rectest::ReadAll(in, capacity);
}

TEST(PrintableRecords, AsciiExamples) {
  const Bytes first = B("AAPfABCDEFGHIJKLMNO");  // n = 15: 16 letters behind the length
  const Bytes second = B("AABbA");               // n = 1: 2 letters behind the length
  struct Case {
    const char* what;
    Bytes file;
    std::int32_t capacity;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"two records with line ends",
       Cat({first, B("\r\n"), second, B("\r\n\x1A")}),
       100,
       {{0, first}, {0, second}, {2, {}}}},
      {"digits and blanks before a record",
       Cat({first, B(" 12 \n"), second}),
       100,
       {{0, first}, {0, second}, {2, {}}}},
      {"cut to the capacity, the rest skipped",
       Cat({first, B("\n"), second}),
       5,
       {{111, B("AAPfA")}, {0, second}, {2, {}}}},
      {"the end inside the length letters",
       Cat({first, B("\nAA")}),
       100,
       {{0, first}, {50, B("AA")}}},
      {"the end inside a record", Cat({first, B("\nAADab")}), 100, {{0, first}, {50, B("AADab")}}},
      {"a length letter above P", Cat({first, B("\nZAAxx")}), 100, {{0, first}, {50, B("ZAA")}}},
      {"a length letter below A", Cat({first, B("\nA\nAxx")}), 100, {{0, first}, {50, B("A\nA")}}},
      {"letters Q-W count 0", Cat({first, B("QWAx")}), 100, {{0, first}, {0, B("QWAx")}, {2, {}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadPrintable(c.file, c.capacity), c.records) << c.what;
}

TEST(PrintableRecords, EbcdicExamples) {
  const Bytes first = {0xC1, 0xC1, 0xD1, 0x86, 1, 2, 3, 4, 5, 6, 7, 8, 9};  // A A J: 10 behind
  const Bytes second = {0xC1, 0xC1, 0xC2, 0x82, 0xC1};
  const Bytes blanksAndLower = {0x40, 0x40, 0x81, 0xA9, 0x25, 0x0D};
  struct Case {
    const char* what;
    Bytes file;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"blanks, lower-case letters and line ends are skipped",
       Cat({first, blanksAndLower, second, blanksAndLower}),
       {{0, first}, {0, second}, {2, {}}}},
      {"a digit is no filler",
       Cat({first, {0x40, 0x40, 0xF0, 0xC1, 0xC1}}),
       {{0, first}, {50, {0xF0, 0xC1, 0xC1}}}},
      {"0xCA-0xD0 count 0",
       Cat({first, {0x40, 0xCA, 0xD0, 0xC1, 0x99}}),
       {{0, first}, {0, {0xCA, 0xD0, 0xC1, 0x99}}, {2, {}}}},
  };
  for (const Case& c : cases) {
    const auto got = ReadPrintable(c.file, 100);
    EXPECT_EQ(got, c.records) << c.what;
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].data.size(), 13u);
  }
}

TEST(PrintableRecords, ThirteenBytesFromAAJ) {
  const Bytes record = {0xC1, 0xC1, 0xD1, 0x86, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const Bytes file = Cat({record, {0x40, 0x40, 0x40, 0x40, 0x40}});
  const auto got = ReadPrintable(file, 100);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], (Got{0, record}));
  EXPECT_EQ(got[0].data.size(), 13u);
  EXPECT_EQ(got[1].rc, kFioEndOfFile);
}

TEST(PrintableRecords, CodeEightHundredReadsAlike) {
  ScratchDir dir;
  const Bytes record = B("AAPfABCDEFGHIJKLMNO");
  WriteFileBytes(dir / "t", Cat({record, B("\r\n")}));
  Open in(kOpenInput, dir / "t", 256);
  ASSERT_EQ(in.Run(), kFioOk);
  in.fcb->recordFormat = 800;
  Bytes r;
  EXPECT_EQ(in.Get(r, 100), kFioOk);
  EXPECT_EQ(r, record);
  EXPECT_EQ(in.Get(r, 100), kFioEndOfFile);
}

TEST(PrintableRecords, CapacityBelowThreeIsRefused) {
  ScratchDir dir;
  WriteFileBytes(dir / "t", B("AAPfABCDEFGHIJKLMNO"));
  Open in(kOpenInput, dir / "t", 256);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(in.Get(r, 2), kFioLengthError);
  EXPECT_EQ(in.Get(r, 3), kFioTruncated);
  EXPECT_EQ(r, B("AAP"));
  EXPECT_EQ(in.Get(r, 3), kFioEndOfFile);
}

}  // namespace
