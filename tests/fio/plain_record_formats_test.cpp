// Length-prefixed, fixed, undefined and eaf records: the worked examples, hostile lengths and
// truncated files, and write-then-read round trips over the length boundaries.
#include <gtest/gtest.h>

#include <string>

#include "fio/record_io.h"
#include "record_test_util.h"
#include "support/heap.h"

using fiotest::ReadFileBytes;
using fiotest::ScratchDir;
using fiotest::WriteFileBytes;
using rectest::B;
using rectest::Bytes;
using rectest::Got;
using rectest::Open;

namespace {

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(LengthHelpers, Prefixes) {
  EXPECT_EQ(Len2Byte(0x1234), (std::array<std::uint8_t, 2>{0x12, 0x34}));
  EXPECT_EQ(Len2Byte(0x10002), (std::array<std::uint8_t, 2>{0x00, 0x02}));  // low 16 bits
  EXPECT_EQ(Len4Byte(14, 0x40), (std::array<std::uint8_t, 4>{0x00, 0x0E, 0x40, 0x40}));
  EXPECT_EQ(Len4VarPrnt(10, 0x30), (std::array<std::uint8_t, 4>{'0', '0', '1', '0'}));
  EXPECT_EQ(Len4VarPrnt(9999, 0x30), (std::array<std::uint8_t, 4>{'9', '9', '9', '9'}));
  EXPECT_EQ(Len4VarPrnt(10000, 0x30), (std::array<std::uint8_t, 4>{'0', '0', '0', '0'}));
  EXPECT_EQ(Len4VarPrnt(-1, 0x30), (std::array<std::uint8_t, 4>{'0', '0', '0', '0'}));
  EXPECT_EQ(Len4VarPrnt(10, 0xF0), (std::array<std::uint8_t, 4>{0xF0, 0xF0, 0xF1, 0xF0}));
}

TEST(RawReads, ReadRecordAndReadRecordRest) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("abcdefghij"));
  Open in(kOpenInput, dir / "in", 2);
  ASSERT_EQ(in.Run(), kFioOk);
  std::uint8_t buffer[16] = {};
  std::int32_t rc = -9;
  std::int32_t length = 0;
  read_record(in.fcb, rc, buffer, length);  // nothing asked, nothing done
  EXPECT_EQ(rc, kFioOk);
  length = 3;
  read_record(in.fcb, rc, buffer, length);
  EXPECT_EQ(rc, kFioOk);
  EXPECT_EQ(Bytes(buffer, buffer + 3), B("abc"));
  length = 4;
  read_record_rest(in.fcb, rc, buffer, length, 2);  // "de" delivered, "fg" dropped
  EXPECT_EQ(rc, kFioTruncated);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(Bytes(buffer, buffer + 2), B("de"));
  length = 5;
  read_record(in.fcb, rc, buffer, length);  // only "hij" is left
  EXPECT_EQ(rc, kFioTruncated);
  EXPECT_EQ(length, 3);
  EXPECT_EQ(Bytes(buffer, buffer + 3), B("hij"));
  length = 5;
  read_record_rest(in.fcb, rc, buffer, length, 5);
  EXPECT_EQ(rc, kFioEndOfFile);
  EXPECT_EQ(length, 0);
  FileControlBlock* none = nullptr;
  read_record(none, rc, buffer, length);
  EXPECT_EQ(rc, kFioBadBlock);
}

// The written bytes of one record per format.
TEST(PlainFormats, WrittenExamples) {
  ScratchDir dir;
  const Bytes ten = B("0123456789");
  struct Case {
    std::int32_t format;
    Bytes record;
    Bytes file;
  };
  const Case cases[] = {
      {0, ten, Cat({0x00, 0x0C}, ten)},
      {16, ten, Cat({0x00, 0x0A}, ten)},
      {32, ten, Cat({0x00, 0x0E, 0x40, 0x40}, ten)},  // fill byte 0x40
      {56, ten, Cat({0x0C, 0x00}, ten)},
      {40, ten, Cat(B("0014"), ten)},
      {48, B("abcdef"), Cat({0xF0, 0xF0, 0xF1, 0xF0}, B("abcdef"))},
      {0, {}, {0x00, 0x02}},
      {64, Cat({0x00, 0x0C}, ten), Cat({0x00, 0x0C}, ten)},  // as given
      {18, B("0010Axy..."), B("0010Axy...")},
      {2, ten, ten},
  };
  for (const Case& c : cases) {
    Open out(kOpenOutput, dir / "out", c.format);
    out.fillPair[0] = 0x40;
    out.fillPair[1] = 1;
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.Put(c.record), kFioOk) << c.format;
    EXPECT_EQ(out.Close(), kFioOk);
    EXPECT_EQ(ReadFileBytes(dir / "out"), c.file) << c.format;
  }
}

TEST(PlainFormats, PrefixLimitsOnWriting) {
  ScratchDir dir;
  struct Case {
    std::int32_t format;
    std::int32_t longest;  // the longest record the prefix can carry
  };
  for (const Case c : {Case{0, 65533}, Case{16, 65535}, Case{32, 65531}, Case{56, 65533},
                       Case{40, 9995}, Case{48, 9995}}) {
    Open out(kOpenOutput, dir / "out", c.format);
    ASSERT_EQ(out.Run(), kFioOk);
    const Bytes fits = fiotest::Pattern(static_cast<std::size_t>(c.longest));
    EXPECT_EQ(out.Put(fits), kFioOk) << c.format;
    // One byte more would write a length that cannot be read back: refused, nothing written.
    EXPECT_EQ(out.Put(Bytes(static_cast<std::size_t>(c.longest) + 1, 'x')), kFioLengthError)
        << c.format;
    EXPECT_EQ(out.Close(), kFioOk);
    const auto got = rectest::ReadFile(dir / "out", c.format, 70000);
    ASSERT_EQ(got.size(), 2u) << c.format;
    EXPECT_EQ(got[0], (Got{kFioOk, fits})) << c.format;
    EXPECT_EQ(got[1].rc, kFioEndOfFile);
  }
}

TEST(PlainFormats, NegativeLengthIsRefused) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 2);
  ASSERT_EQ(out.Run(), kFioOk);
  std::int32_t rc = 0;
  std::uint8_t b[4] = {};
  fioput(out.fcb, rc, -1, b);
  EXPECT_EQ(rc, kFioLengthError);
}

TEST(PlainFormats, ReadExamples) {
  ScratchDir dir;
  struct Case {
    const char* what;
    std::int32_t format;
    Bytes file;
    std::int32_t capacity;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"var_2b empty record", 0, {0x00, 0x02}, 10, {{0, {}}, {2, {}}}},
      {"var_2b two records",
       0,
       {0x00, 0x03, 'a', 0x00, 0x04, 'b', 'c'},
       10,
       {{0, B("a")}, {0, B("bc")}, {2, {}}}},
      {"var_2b cut to the capacity",
       0,
       {0x00, 0x06, 'a', 'b', 'c', 'd', 0x00, 0x03, 'e'},
       2,
       {{111, B("ab")}, {0, B("e")}, {2, {}}}},
      {"var_2b capacity 0 drops the record",
       0,
       {0x00, 0x04, 'a', 'b', 0x00, 0x02},
       0,
       {{111, {}}, {0, {}}, {2, {}}}},
      {"var2b_data", 16, {0x00, 0x02, 'a', 'b'}, 10, {{0, B("ab")}, {2, {}}}},
      {"var_4b ignores bytes 2-3",
       32,
       {0x00, 0x06, 0xAA, 0xBB, 'a', 'b'},
       10,
       {{0, B("ab")}, {2, {}}}},
      {"var_intel", 56, {0x04, 0x00, 'a', 'b'}, 10, {{0, B("ab")}, {2, {}}}},
      {"var_ascii", 40, Cat(B("0006"), B("ab")), 10, {{0, B("ab")}, {2, {}}}},
      {"var_ascii reads EBCDIC digits",
       40,
       {0xF0, 0xF0, 0xF0, 0xF6, 'a', 'b'},
       10,
       {{0, B("ab")}, {2, {}}}},
      {"var_ebcdic", 48, {0xF0, 0xF0, 0xF0, 0xF5, 'a'}, 10, {{0, B("a")}, {2, {}}}},
      {"var_2b_in keeps the prefix",
       64,
       {0x00, 0x04, 'a', 'b'},
       10,
       {{0, {0x00, 0x04, 'a', 'b'}}, {2, {}}}},
      {"var_2b_in cut",
       64,
       {0x00, 0x05, 'a', 'b', 'c', 0x00, 0x02},
       3,
       {{111, {0x00, 0x05, 'a'}}, {0, {0x00, 0x02}}, {2, {}}}},
      {"var_4b_in keeps the prefix",
       72,
       {0x00, 0x05, 0x40, 0x40, 'a'},
       10,
       {{0, {0x00, 0x05, 0x40, 0x40, 'a'}}, {2, {}}}},
      {"fix", 1, B("abcdefg"), 10, {{0, B("abc")}, {0, B("def")}, {111, B("g")}, {2, {}}}},
      {"fix cut", 1, B("abcdef"), 2, {{111, B("ab")}, {111, B("de")}, {2, {}}}},
      {"undefined", 2, B("abcdefg"), 10, {{0, B("abc")}, {0, B("def")}, {0, B("g")}, {2, {}}}},
      {"undefined capacity below the block",
       2,
       B("abcde"),
       2,
       {{0, B("ab")}, {0, B("cd")}, {0, B("e")}, {2, {}}}},
      {"empty file", 0, {}, 10, {{2, {}}}},
  };
  for (const Case& c : cases) {
    WriteFileBytes(dir / "in", c.file);
    EXPECT_EQ(rectest::ReadFile(dir / "in", c.format, c.capacity, 3), c.records) << c.what;
  }
}

// Prefixes that cannot be true and files that end inside a record.
TEST(PlainFormats, HostileAndTruncatedInput) {
  ScratchDir dir;
  struct Case {
    const char* what;
    std::int32_t format;
    Bytes file;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"var_2b length below its prefix", 0, {0x00, 0x01, 'a'}, {{50, {}}}},
      {"var_4b length below its prefix", 32, {0x00, 0x03, 0, 0, 'a'}, {{50, {}}}},
      {"var_ascii length below its prefix", 40, B("0003abc"), {{50, {}}}},
      {"var_intel length below its prefix", 56, {0x01, 0x00}, {{50, {}}}},
      {"var_2b_in length below its prefix", 64, {0x00, 0x00}, {{50, {}}}},
      {"var_4b_in length below its prefix", 72, {0x00, 0x02, 0, 0}, {{50, {}}}},
      {"var_2b prefix cut", 0, {0x00, 0x04, 'a', 'b', 0x00}, {{0, B("ab")}, {50, {}}}},
      {"var_4b prefix cut", 32, {0x00, 0x05, 0, 0, 'a', 0x00, 0x08, 0x00}, {{0, B("a")}, {50, {}}}},
      {"var_2b data cut", 0, {0x00, 0x08, 'a', 'b'}, {{50, B("ab")}}},
      {"var_2b data missing", 0, {0x00, 0x08}, {{50, {}}}},
      {"var2b_data data cut", 16, {0x10, 0x00, 'a'}, {{50, B("a")}}},
      {"var_2b_in data cut", 64, {0x00, 0x08, 'a'}, {{50, {0x00, 0x08, 'a'}}}},
      {"var_2b largest prefix", 0, {0xFF, 0xFF, 'a'}, {{50, B("a")}}},
  };
  for (const Case& c : cases) {
    WriteFileBytes(dir / "in", c.file);
    EXPECT_EQ(rectest::ReadFile(dir / "in", c.format, 100, 3), c.records) << c.what;
  }
}

TEST(PlainFormats, DataCutAndDroppedBeyondTheFileEndIsIncomplete) {
  ScratchDir dir;
  // The record is longer than the buffer and the file ends inside the dropped part.
  WriteFileBytes(dir / "in", {0x00, 0x10, 'a', 'b', 'c', 'd'});
  EXPECT_EQ(rectest::ReadFile(dir / "in", 0, 2), (std::vector<Got>{{50, B("ab")}}));
}

TEST(PlainFormats, CapacityBelowThePrefixIsRefusedWithoutReading) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", {0x00, 0x04, 'a', 'b'});
  Open in(kOpenInput, dir / "in", 64);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(in.Get(r, 1), kFioLengthError);
  EXPECT_EQ(in.Get(r, 0), kFioLengthError);
  EXPECT_EQ(in.Get(r, 10), kFioOk);
  EXPECT_EQ(r, (Bytes{0x00, 0x04, 'a', 'b'}));
  std::int32_t rc = 0;
  std::int32_t length = 0;
  fioget(in.fcb, rc, length, nullptr, 100);  // no buffer: no room
  EXPECT_EQ(rc, kFioLengthError);
}

TEST(FixFormat, Writing) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 1);
  out.recordLength = 4;
  out.fillPair[0] = '.';
  out.fillPair[1] = 1;
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.Put({}), kFioPadded);  // only fill bytes
  EXPECT_EQ(out.Put(B("ab")), kFioPadded);
  EXPECT_EQ(out.Put(B("abcd")), kFioOk);
  EXPECT_EQ(out.Put(B("abcdef")), kFioTruncated);
  EXPECT_EQ(out.Close(), kFioOk);
  EXPECT_EQ(ReadFileBytes(dir / "out"), B("....ab..abcdabcd"));
}

TEST(FixFormat, PadBufferWithoutMemory) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 1);
  out.recordLength = 4;
  ASSERT_EQ(out.Run(), kFioOk);
  testing::internal::CaptureStderr();
  std::uint8_t ab[2] = {'a', 'b'};
  std::int32_t rc = 0;
  rmHeapInjectFailure(1);
  fioput(out.fcb, rc, 2, ab);
  rmHeapInjectFailure(0);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(rc, FioSystemError(ENOMEM));
  EXPECT_EQ(out.Put(B("ab")), kFioPadded);
}

Bytes EafRecord(int digits, std::int32_t length, char letter, bool ebcdic = false) {
  std::string head = std::to_string(length);
  head.insert(0, static_cast<std::size_t>(digits) - head.size(), '0');
  Bytes r = B(head);
  r.push_back(static_cast<std::uint8_t>(letter));
  while (r.size() < static_cast<std::size_t>(length))
    r.push_back(static_cast<std::uint8_t>('a' + r.size() % 26));
  if (ebcdic) {
    for (int i = 0; i < digits; ++i) r[static_cast<std::size_t>(i)] += 0xC0;
    r[static_cast<std::size_t>(digits)] += 0x80;
  }
  return r;
}

TEST(EafFormat, Sets) {
  ScratchDir dir;
  const Bytes a = EafRecord(4, 20, 'A');
  const Bytes c = EafRecord(4, 9, 'C');
  const Bytes e = EafRecord(4, 7, 'E');
  const Bytes a6 = EafRecord(6, 12, 'A');
  const Bytes e6 = EafRecord(6, 8, 'E');
  const Bytes ae = EafRecord(4, 10, 'A', true);
  const Bytes ee = EafRecord(4, 7, 'E', true);
  struct Case {
    const char* what;
    Bytes file;
    std::int32_t capacity;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"a closed set then the end", Cat(Cat(a, c), e), 100, {{0, a}, {0, c}, {0, e}, {2, {}}}},
      {"the end inside a set", Cat(a, c), 100, {{0, a}, {0, c}, {50, {}}}},
      {"two sets, 4 and 6 digits",
       Cat(Cat(Cat(a, e), a6), e6),
       100,
       {{0, a}, {0, e}, {0, a6}, {0, e6}, {2, {}}}},
      {"EBCDIC digits and letters", Cat(ae, ee), 100, {{0, ae}, {0, ee}, {2, {}}}},
      {"no A at the start of a set", c, 100, {{50, Bytes(c.begin(), c.begin() + 7)}}},
      {"a length below 7", B("0006A.."), 100, {{50, B("0006A..")}}},
      {"a non-digit in the length", B("00x9A.."), 100, {{50, B("00x9A..")}}},
      {"the end inside the head", B("0010"), 100, {{50, B("0010")}}},
      {"the end inside the record", B("0010Aab"), 100, {{50, B("0010Aab")}}},
      {"cut to the capacity",
       Cat(a, e),
       8,
       {{111, Bytes(a.begin(), a.begin() + 8)}, {0, e}, {2, {}}}},
  };
  for (const Case& c2 : cases) {
    WriteFileBytes(dir / "in", c2.file);
    EXPECT_EQ(rectest::ReadFile(dir / "in", 18, c2.capacity), c2.records) << c2.what;
  }
}

// Eaf records are written as given and read back over the length boundaries, each set opened
// by an "A" record and closed by an "E" record.
TEST(EafFormat, RoundTrip) {
  ScratchDir dir;
  for (const std::int32_t length : {7, 8, 4095, 4096, 4097, 9995, 9996, 32760}) {
    const Bytes first = EafRecord(6, length, 'A');
    const Bytes last = EafRecord(6, 7, 'E');
    EXPECT_EQ(rectest::WriteFile(dir / "f", 18, {first, last}),
              (std::vector<std::int32_t>{0, 0, 0}));
    for (const std::int32_t capacity : {length - 1, length, length + 1}) {
      if (capacity < 7) continue;
      SCOPED_TRACE(testing::Message() << "length " << length << " capacity " << capacity);
      const auto got = rectest::ReadFile(dir / "f", 18, capacity);
      ASSERT_EQ(got.size(), 3u);
      const std::int32_t cut = std::min(length, capacity);
      EXPECT_EQ(got[0],
                (Got{length > capacity ? 111 : 0, Bytes(first.begin(), first.begin() + cut)}));
      EXPECT_EQ(got[1], (Got{0, last}));
      EXPECT_EQ(got[2].rc, kFioEndOfFile);
    }
  }
}

TEST(EafFormat, CapacityBelowTheHeadIsRefused) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", EafRecord(4, 7, 'A'));
  Open in(kOpenInput, dir / "in", 18);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(in.Get(r, 6), kFioLengthError);
  EXPECT_EQ(in.Get(r, 7), kFioOk);
}

// Round trips of every writable plain format over the length boundaries, each record read
// with capacities below, at and above its length, and followed by a record that must come
// back whole.
class RoundTrip : public testing::TestWithParam<std::int32_t> {};

Bytes Data(std::size_t n, std::uint32_t seed, bool text) {
  Bytes d = fiotest::Pattern(n, seed);
  if (text)
    for (auto& b : d)
      if (b == 0x0A || b == 0x0D) b = 'x';
  return d;
}

// The record written for a data length (the _in formats carry their prefix themselves).
Bytes RecordFor(std::int32_t format, const Bytes& data) {
  const auto n = static_cast<std::uint32_t>(data.size());
  if (format == 64)
    return Cat({static_cast<std::uint8_t>((n + 2) >> 8), static_cast<std::uint8_t>(n + 2)}, data);
  if (format == 72)
    return Cat({static_cast<std::uint8_t>((n + 4) >> 8), static_cast<std::uint8_t>(n + 4), 0, 0},
               data);
  return data;
}

TEST_P(RoundTrip, LengthBoundaries) {
  const std::int32_t format = GetParam();
  const bool text = format == 3 || format == 12;
  const std::int32_t stored = text ? 11 : format;
  ScratchDir dir;
  testing::internal::CaptureStderr();  // dtext ends on a record without delimiter
  for (const std::int32_t length : {0, 1, 2, 4095, 4096, 4097, 9995, 9996, 32760}) {
    const Bytes data =
        Data(static_cast<std::size_t>(length), static_cast<std::uint32_t>(length), text);
    const Bytes record = RecordFor(format, data);
    const auto size = static_cast<std::int32_t>(record.size());
    const Bytes next = RecordFor(format, Data(5, 99, text));
    const std::int32_t recordLength = format == 1 ? std::max(size, 1) : 0;
    const bool prefixFits = !(format == 40 || format == 48) || size <= 9995;

    std::vector<std::int32_t> putRcs =
        rectest::WriteFile(dir / "f", format, {record, next}, recordLength);
    ASSERT_EQ(putRcs.size(), 3u);
    EXPECT_EQ(putRcs[0], !prefixFits                          ? kFioLengthError
                         : format == 1 && size < recordLength ? kFioPadded
                                                              : kFioOk)
        << format << " " << length;
    Bytes expectRecord = record;
    if (format == 1) expectRecord.resize(static_cast<std::size_t>(recordLength), 0x20);
    Bytes expectNext = next;
    if (format == 1) expectNext.resize(static_cast<std::size_t>(recordLength), 0x20);

    for (const std::int32_t capacity : {size - 1, size, size + 1}) {
      if (capacity < 0) continue;
      Open in(kOpenInput, dir / "f", format);
      in.recordLength = format == 2 ? size + 5 : recordLength;
      ASSERT_EQ(in.Run(), kFioOk);
      SCOPED_TRACE(testing::Message()
                   << "format " << format << " length " << length << " capacity " << capacity);
      Bytes r;
      if (capacity < FioMinCapacity(stored)) {
        EXPECT_EQ(in.Get(r, capacity), kFioLengthError);  // refused, nothing read
        continue;
      }
      if (format == 2) {  // undefined: blocks of the record length, the bytes as written
        Bytes all;
        std::int32_t rc = kFioOk;
        for (int i = 0; i < 100000 && rc == kFioOk; ++i) {
          rc = in.Get(r, capacity);
          EXPECT_LE(r.size(), static_cast<std::size_t>(capacity));
          all.insert(all.end(), r.begin(), r.end());
        }
        EXPECT_EQ(rc, kFioEndOfFile);
        EXPECT_EQ(all, Cat(record, next));
        continue;
      }
      if (!prefixFits) {  // only the second record was written
        EXPECT_EQ(in.Get(r, 100), kFioOk);
        EXPECT_EQ(r, expectNext);
        EXPECT_EQ(in.Get(r, 100), kFioEndOfFile);
        continue;
      }
      if (text) {  // pieces of the capacity, then the rest
        Bytes all;
        std::int32_t rc = kFioLengthError;
        for (int i = 0; i < 100000 && rc == kFioLengthError; ++i) {
          rc = in.Get(r, capacity);
          if (rc == kFioLengthError) {
            EXPECT_EQ(r.size(), static_cast<std::size_t>(capacity));
          }
          all.insert(all.end(), r.begin(), r.end());
        }
        EXPECT_EQ(rc, kFioOk);
        EXPECT_EQ(all, expectRecord);
      } else {
        const auto full = static_cast<std::int32_t>(expectRecord.size());
        EXPECT_EQ(in.Get(r, capacity), full > capacity ? kFioTruncated : kFioOk);
        EXPECT_EQ(r, Bytes(expectRecord.begin(), expectRecord.begin() + std::min(full, capacity)));
      }
      const std::int32_t roomForNext = std::max<std::int32_t>(100, recordLength);
      // dtext writes no delimiter after the last record: read as text, it comes with 105.
      EXPECT_EQ(in.Get(r, roomForNext), format == 12 ? kFioNoDelimiter : kFioOk);
      EXPECT_EQ(r, expectNext);
      EXPECT_EQ(in.Get(r, roomForNext), kFioEndOfFile);
      EXPECT_TRUE(r.empty());
    }
  }
  testing::internal::GetCapturedStderr();
}

INSTANTIATE_TEST_SUITE_P(WritablePlainFormats, RoundTrip,
                         testing::Values(0, 1, 2, 3, 12, 16, 32, 40, 48, 56, 64, 72),
                         [](const testing::TestParamInfo<std::int32_t>& info) {
                           return "format" + std::to_string(info.param);
                         });

}  // namespace
