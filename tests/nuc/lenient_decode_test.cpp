// Coded matrices in forms that our coders never write but that a writer elsewhere may: the
// matrix decoders take them as the format allows.
#include <gtest/gtest.h>

#include <cstring>

#include "nuc/matrix_buffer.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

Bytes Framed(const Bytes& coded) {
  return Cat({Of({static_cast<int>(coded.size() >> 8), static_cast<int>(coded.size() & 0xFF)}), coded});
}
// A CX8 chunk holding the bytes as one literal, in the form the count asks for.
Bytes ShortLiteral(const Bytes& b) { return Framed(Cat({Of({static_cast<int>(b.size() - 1)}), b})); }
Bytes MediumLiteral(const Bytes& b) { return Framed(Cat({Of({0x7D, static_cast<int>(b.size() - 1)}), b})); }
Bytes LongLiteral(const Bytes& b) {
  const int d = static_cast<int>(b.size() - 1);
  return Cat({Of({0x7E, d >> 8, d & 0xFF}), b});
}

struct Result {
  std::int32_t rc = -9;
  std::vector<Bytes> records;
};

Result Decode(int mode, int charCode, const Bytes& coded, std::int32_t kind, std::int32_t count,
              std::uint32_t dataSize = 16384) {
  Context ctx(mode, charCode, 0);
  NucMatrixBuffer m(dataSize);
  if (!coded.empty()) std::memcpy(m.CodedBlock(), coded.data(), coded.size());
  Result r;
  r.rc = 0;
  m.Decompress(ctx.slot, r.rc, static_cast<std::int32_t>(coded.size()), kind, count);
  if (r.rc == 0) {
    for (int i = 0; i < m.Count(); ++i) r.records.emplace_back(m.Record(i).begin(), m.Record(i).end());
  }
  EXPECT_EQ(Bytes(m.CodedBlock(), m.CodedBlock() + coded.size()), coded);
  return r;
}

TEST(LenientMatrix, MediumCodesForShortLengthsInHeaderAndColumns) {
  // Two records 'ab' and 'cd' in input order; header and columns as medium literals and a
  // medium run of one byte.
  const Bytes coded = Cat({MediumLiteral(Of({0, 0, 6, 6, 0, 0, 0, 0})), MediumLiteral(Text("ac")),
                           Framed(Of({0xE0, 0x00, 'b', 0xE0, 0x00, 'd'}))});
  const Result r = Decode(0, 1, coded, 0, 2);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.records, (std::vector<Bytes>{Text("ab"), Text("cd")}));
}

TEST(LenientMatrix, SingleRecordInChunksOfAnySize) {
  // 5000 data bytes: a chunk of 3 bytes, one of 2049 (long literal of count 2048), then one
  // chunk of 2948 bytes made of two long literals.
  Bytes data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  const Bytes rest(data.begin() + 2052, data.end());
  const Bytes coded =
      Cat({ShortLiteral(Of({0x13, 0x8C, 0, 0})), ShortLiteral(Bytes(data.begin(), data.begin() + 3)),
           Framed(LongLiteral(Bytes(data.begin() + 3, data.begin() + 2052))),
           Framed(Cat({LongLiteral(Bytes(rest.begin(), rest.begin() + 1000)),
                       LongLiteral(Bytes(rest.begin() + 1000, rest.end()))}))});
  const Result r = Decode(0, 0, coded, 0, 1);
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0], data);
}

TEST(LenientMatrix, ColumnChunkOfTheLargestLiteral) {
  // Records of 2050 and 1 data bytes: column 4 holds two bytes, columns 5 to 2053 one byte
  // each, sent as one long literal of 2049 bytes.
  Bytes longRecord(2050);
  for (std::size_t i = 0; i < longRecord.size(); ++i) longRecord[i] = static_cast<std::uint8_t>(i % 251);
  const Bytes coded = Cat({ShortLiteral(Of({0x08, 0, 0x06, 0x05, 2, 1, 0, 0})),
                           ShortLiteral(Of({longRecord[0], 'z'})),
                           Framed(LongLiteral(Bytes(longRecord.begin() + 1, longRecord.end())))});
  const Result r = Decode(0, 1, coded, 1, 2);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.records, (std::vector<Bytes>{Text("z"), longRecord}));
}

TEST(LenientMatrix, Cx7LettersWithSpacesBetweenCodes) {
  // Records 'ab', 'cd' (ASCII): header bytes 00 00 06 06 00 00 00 00 as 16 letters in two
  // literal codes with spaces around them, then the columns 'ac' and 'bd'.
  const Bytes header = Cat({Text(" H"), Text("AAAAAAAA"), Text("  H"), Text("AAGGAAAA"), Text(" ")});
  const Bytes coded = Cat({Framed(header), Framed(Text(" Dacbd "))});
  const Result r = Decode(1, 1, coded, 0, 2);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.records, (std::vector<Bytes>{Text("ab"), Text("cd")}));
}

TEST(LenientMatrix, Vr8StartCodeAndShortLiteralForms) {
  // One record 'AB': entry 00 06 00 00 as a literal of 4 (start 1000, 0011, end 1111), then the
  // data piece with a start code 1111 and a literal of 2.
  const Bytes coded = Cat({Framed(Of({0x83, 0xF0, 0x00, 0x06, 0x00, 0x00})), Framed(Of({0xF1, 0xF0, 'A', 'B'}))});
  const Result r = Decode(2, 1, coded, 0, 1);
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0], Text("AB"));
}

TEST(LenientMatrix, Vr8SingleRecordOfTheLongestRun) {
  // One record of 2134 bytes 'q' as one piece: the run code 11101 with eleven one bits.
  const Bytes coded = Cat({Framed(Of({0x83, 0xF0, 0x08, 0x5A, 0x00, 0x00})), Framed(Of({0x8E, 0xFF, 0xFF, 'q'}))});
  const Result r = Decode(2, 0, coded, 0, 1);
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.records.size(), 1u);
  EXPECT_EQ(r.records[0], Repeat('q', 2134));
}

TEST(LenientMatrix, RecordCountZeroReadsOneRecord) {
  const Bytes coded = Cat({ShortLiteral(Of({0, 7, 0, 0})), ShortLiteral(Text("xyz"))});
  const Result r = Decode(0, 1, coded, 0, 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.records, (std::vector<Bytes>{Text("xyz")}));
}

TEST(LenientMatrix, SingleRecordChunkPastTheRecordIsRefused) {
  // A chunk that brings more bytes than the record has left.
  const Bytes coded = Cat({ShortLiteral(Of({0, 6, 0, 0})), ShortLiteral(Text("x")), ShortLiteral(Text("yz"))});
  EXPECT_EQ(Decode(0, 1, coded, 0, 1).rc, 68);
}

}  // namespace
