#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "nuc/cx7.h"
#include "nuc/cx8.h"
#include "nuc/matrix.h"
#include "nuc/matrix_buffer.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

// The decoded pieces of a coded matrix, one per chunk (CX8 or CX7 by mode).
std::vector<Bytes> Pieces(const std::uint8_t* coded, std::int32_t length, int mode, int code) {
  std::vector<Bytes> pieces;
  std::int32_t at = 0;
  while (at < length) {
    const std::uint16_t m = static_cast<std::uint16_t>((coded[at] << 8) | coded[at + 1]);
    Bytes out(4096);
    std::int32_t rc = 0;
    std::uint16_t size = 0;
    const DecompressRecordFn fn = mode == 0 ? rldcx8 : (code == 0 ? rldcx7e : rldcx7a);
    fn(coded + at + 2, m, NucSpaceChar(static_cast<std::uint8_t>(code)),
       NucZeroChar(static_cast<std::uint8_t>(code)), nullptr, out.data(), 4096, rc, size);
    EXPECT_EQ(rc, 0);
    out.resize(size);
    pieces.push_back(out);
    at += 2 + m;
  }
  EXPECT_EQ(at, length);
  return pieces;
}

// A coded chunk made with the CX8 or CX7 coder (ASCII).
Bytes Chunk(const Bytes& piece, int mode = 0) {
  std::uint8_t tables[kNucEncodeTablesSize] = {};
  if (mode == 0) Cx8FillRunCodeTable(tables, 1);
  else Cx7FillEncodeTables(tables, 1);
  Bytes in = piece;
  in.resize(piece.size() + 4);
  Bytes out(2 * piece.size() + 16);
  std::uint16_t m = 0;
  (mode == 0 ? rlccx8 : rlccx7)(in.data(), static_cast<std::int32_t>(piece.size()), tables,
                                out.data() + 2, m);
  out[0] = static_cast<std::uint8_t>(m >> 8);
  out[1] = static_cast<std::uint8_t>(m);
  out.resize(2 + m);
  return out;
}

const std::vector<Bytes> kFourRecords = {Text("hello world"), Text("hi"), Text("hello there!!!!!"),
                                         Text("abc")};

struct Coded {
  std::int32_t rc = -9;
  std::int32_t length = 0;
  std::int32_t kind = 0;
};

Coded CompressAll(NucMatrixBuffer& m, NucContext* ctx, const std::vector<Bytes>& records) {
  m.Clear();
  for (const Bytes& r : records) EXPECT_TRUE(m.Add(r));
  Coded c;
  m.Compress(ctx, c.rc, c.length, c.kind);
  return c;
}

// Decodes the coded bytes placed at the buffer's coded block.
std::int32_t DecodeAt(NucMatrixBuffer& m, NucContext* ctx, const Bytes& coded, std::int32_t kind,
                      std::int32_t count) {
  if (!coded.empty()) std::memcpy(m.CodedBlock(), coded.data(), coded.size());
  std::int32_t rc = 0;
  m.Decompress(ctx, rc, static_cast<std::int32_t>(coded.size()), kind, count);
  return rc;
}

}  // namespace

TEST(MatrixCut, TrailingRepeats) {
  struct Case {
    Bytes data;
    std::uint16_t length;
    std::uint8_t repeats;
  } cases[] = {
      {Repeat('a', 300), 50, 254},
      {Repeat('a', 10), 5, 9},
      {Repeat('z', 12), 5, 11},
      {Text("ab"), 6, 0},       // length 6, last two differ
      {Text("a"), 5, 0},        // length 5 or less
      {Text("aa"), 5, 1},
      {Text("hello there!!!!!"), 16, 4},
      {Cat({Distinct(300), Repeat('#', 255)}), 300 + 255 + 4 - 254, 254},
  };
  for (const Case& c : cases) {
    Bytes record = Cat({Of({1, 2, 3, 4}), c.data});
    const Bytes before = record;
    std::uint16_t length = 0;
    std::uint8_t repeats = 0;
    NucCutTrailingRepeats(record.data(), static_cast<std::uint16_t>(record.size()), length, repeats);
    EXPECT_EQ(length, c.length) << Hex(c.data);
    EXPECT_EQ(repeats, c.repeats);
    EXPECT_EQ(record, before);
  }
}

// Every record length up to 600 with a trailing run of every length, an odd byte right before
// the run or none, against the plain backward scan; the record is held in a buffer of exactly
// its length, so a read past either end shows under the address sanitizer.
TEST(MatrixCut, TrailingRepeatsAgainstPlainScan) {
  for (int length = 1; length <= 600; ++length) {
    for (int run = 1; run <= length; run += (run < 80 || length - run < 80) ? 1 : 7) {
      Bytes record(static_cast<std::size_t>(length));
      for (int i = 0; i < length; ++i) record[i] = static_cast<std::uint8_t>(i < length - run ? 'x' - (i & 1) : ' ');
      const int stop = length <= 258 ? 3 : length - 256;
      int q = length - 2;
      if (length > 5 && record[length - 1] == record[length - 2])
        while (q > stop && record[q] == record[length - 1]) --q;
      const int want = length > 5 && record[length - 1] == record[length - 2] ? length - 2 - q : 0;
      std::uint16_t newLength = 0;
      std::uint8_t repeats = 0;
      NucCutTrailingRepeats(record.data(), static_cast<std::uint16_t>(length), newLength, repeats);
      ASSERT_EQ(repeats, want) << length << " " << run;
      ASSERT_EQ(newLength, length - want) << length << " " << run;
    }
  }
}

TEST(MatrixLayout, FourRecordExample) {
  for (int mode = 0; mode < 2; ++mode) {
    Context ctx(mode, 1);
    NucMatrixBuffer m(4096);
    const Coded c = CompressAll(m, ctx.slot, kFourRecords);
    ASSERT_EQ(c.rc, 0);
    EXPECT_EQ(c.kind, 1);
    const auto pieces = Pieces(m.CodedBlock(), c.length, mode, 1);
    ASSERT_EQ(pieces.size(), 2u);
    const Bytes planes = Of({0, 0, 0, 0, 0x10, 0x0F, 0x07, 0x06, 3, 1, 4, 2, 4, 0, 0, 0});
    if (mode == 0) EXPECT_EQ(Hex(pieces[0]), Hex(planes));
    else EXPECT_EQ(pieces[0], Text("AAAABAAAAAAAAAAAAAAAAPHGDBECEAAA"));
    EXPECT_EQ(pieces[1], Text("hhaheebillclloo  twhoerrled!"));
  }
}

TEST(MatrixLayout, FourRecordExampleCx7Ebcdic) {
  Context ctx(1, 0);
  NucMatrixBuffer m(4096);
  const Coded c = CompressAll(m, ctx.slot, kFourRecords);
  const auto pieces = Pieces(m.CodedBlock(), c.length, 1, 0);
  Bytes expected;
  for (char ch : std::string("AAAABAAAAAAAAAAAAAAAAPHGDBECEAAA"))
    expected.push_back(static_cast<std::uint8_t>(ch <= 'I' ? 0xC1 + ch - 'A' : 0xD1 + ch - 'J'));
  EXPECT_EQ(Hex(pieces[0]), Hex(expected));
}

TEST(MatrixLayout, DecodesFourRecordExampleWithRecordSpaces) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Coded c = CompressAll(m, ctx.slot, kFourRecords);
  std::int32_t rc = 0;
  std::memset(m.Buffer(), 0xCC, kNucDescriptorArea + m.DataSize());
  m.Decompress(ctx.slot, rc, c.length, c.kind, 4);
  ASSERT_EQ(rc, 0);
  std::uint8_t* data = m.Buffer() + kNucDescriptorArea;
  const std::uint16_t lengths[] = {15, 6, 20, 7};
  std::uint8_t* const places[] = {data + 20, data + 44, data, data + 36};
  for (int i = 0; i < 4; ++i) {
    const RecordDescriptor& d = m.Descriptor(i);
    EXPECT_EQ(d.length, lengths[i]);
    EXPECT_EQ(d.position, 0);
    EXPECT_EQ(d.repeatCount, 0);
    EXPECT_EQ(d.data, places[i]);
    EXPECT_EQ(Bytes(m.Record(i).begin(), m.Record(i).end()), kFourRecords[i]);
    EXPECT_EQ(d.data[0], 0xCC);  // prefix slots are not written
  }
  // Nothing past the last record space is written.
  for (std::uint32_t i = 52; i < m.DataSize(); ++i) ASSERT_EQ(data[i], 0xCC) << i;
}

TEST(MatrixLayout, IdenticalRecordsKeepInputOrder) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Coded c = CompressAll(m, ctx.slot, {Text("abcd"), Text("abcd"), Text("abcd")});
  EXPECT_EQ(c.kind, 0);
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  EXPECT_EQ(Hex(pieces[0]), Hex(Of({0, 0, 0, 8, 8, 8, 0, 0, 0, 0, 0, 0})));
}

TEST(MatrixLayout, EqualLengthsSortByLastByteThenDescendingInput) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Coded c =
      CompressAll(m, ctx.slot, {Text("xa"), Text("xc"), Text("xb"), Text("xc"), Text("xa")});
  EXPECT_EQ(c.kind, 1);
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  // Positions: "xc" 4 then 2, "xb" 3, "xa" 5 then 1.
  EXPECT_EQ(Bytes(pieces[0].begin() + 10, pieces[0].begin() + 15), Of({4, 2, 3, 5, 1}));
}

TEST(MatrixLayout, SortsByFirstByteWhenOnlyItVaries) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Coded c = CompressAll(m, ctx.slot, {Text("az"), Text("cz"), Text("bz")});
  EXPECT_EQ(c.kind, 1);
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  EXPECT_EQ(Bytes(pieces[0].begin() + 6, pieces[0].begin() + 9), Of({2, 3, 1}));
}

TEST(MatrixLayout, LongSpreadSortsByLength) {
  Context ctx(0, 1);
  NucMatrixBuffer m(8192);
  const Coded c = CompressAll(m, ctx.slot, {Distinct(10), Distinct(700), Distinct(300), Distinct(700)});
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  EXPECT_EQ(Bytes(pieces[0].begin(), pieces[0].begin() + 16),
            Of({0x02, 0x02, 0x01, 0x00, 0xC0, 0xC0, 0x30, 0x0E, 4, 2, 3, 1, 0, 0, 0, 0}));
}

TEST(MatrixLayout, SingleLongRecord) {
  Context ctx(0, 1);
  NucMatrixBuffer m(8192);
  Bytes record = Cat({Distinct(4200), Repeat('#', 40)});
  const Coded c = CompressAll(m, ctx.slot, {record});
  EXPECT_EQ(c.kind, 0);
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(Hex(pieces[0]), Hex(Of({0x10, 0x6D, 0x00, 0x27})));
  EXPECT_EQ(pieces[1].size(), 2048u);
  EXPECT_EQ(pieces[2].size(), 2048u);
  EXPECT_EQ(pieces[3].size(), 105u);
  EXPECT_EQ(Bytes(m.Record(0).begin(), m.Record(0).end()), record);  // the record is unchanged
}

TEST(MatrixLayout, FortyRecordsOf255Bytes) {
  Context ctx(0, 1);
  NucMatrixBuffer m(16384);
  std::vector<Bytes> records;
  for (int i = 0; i < 40; ++i) {
    Bytes r = Distinct(255);
    r[0] = static_cast<std::uint8_t>(i);
    records.push_back(r);
  }
  const Coded c = CompressAll(m, ctx.slot, records);
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  ASSERT_EQ(pieces.size(), 6u);
  EXPECT_EQ(pieces[0].size(), 160u);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(pieces[i].size(), 2040u);
}

TEST(MatrixLayout, EmptyRecordsNeedOnlyTheHeader) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Coded c = CompressAll(m, ctx.slot, {Bytes{}, Bytes{}, Bytes{}});
  const auto pieces = Pieces(m.CodedBlock(), c.length, 0, 1);
  ASSERT_EQ(pieces.size(), 1u);
  // Anything after the header chunk is not read.
  Bytes coded(m.CodedBlock(), m.CodedBlock() + c.length);
  coded.push_back(0x7C);
  EXPECT_EQ(DecodeAt(m, ctx.slot, coded, c.kind, 3), 0);
  EXPECT_EQ(m.Record(2).size(), 0u);
}

TEST(MatrixLayout, Cx7SingleRecordOfTwelveZ) {
  Context ctx(1, 1);
  NucMatrixBuffer m(4096);
  const Coded c = CompressAll(m, ctx.slot, {Repeat('z', 12)});
  const auto pieces = Pieces(m.CodedBlock(), c.length, 1, 1);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], Text("AAAAAFAL"));
  EXPECT_EQ(pieces[1], Text("z"));
}

TEST(MatrixLayout, CompressLeavesRecordsAndSlackAlone) {
  for (int mode = 0; mode < 2; ++mode) {
    Context ctx(mode, 0);
    NucMatrixBuffer m(8192);
    std::memset(m.Buffer(), 0xA5, kNucDescriptorArea + m.DataSize() + m.CodedCapacity());
    std::vector<Bytes> records = kFourRecords;
    records.push_back(Repeat(0x40, 300));
    records.push_back(Cat({Text("xy"), Repeat('q', 600)}));
    for (const Bytes& r : records) ASSERT_TRUE(m.Add(r));
    const Bytes before(m.Buffer(), m.Buffer() + kNucDescriptorArea + m.DataSize());
    Coded c;
    m.Compress(ctx.slot, c.rc, c.length, c.kind);
    ASSERT_EQ(c.rc, 0);
    EXPECT_EQ(Bytes(m.Buffer(), m.Buffer() + kNucDescriptorArea + m.DataSize()), before);
    const std::uint8_t* coded = m.CodedBlock();
    for (std::uint32_t i = c.length; i < m.CodedCapacity(); ++i) ASSERT_EQ(coded[i], 0xA5);
  }
}

TEST(MatrixDecode, SingleRecordWithRepeats) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Bytes coded = Cat({Chunk(Of({0, 5, 0, 9})), Chunk(Text("k"))});
  ASSERT_EQ(DecodeAt(m, ctx.slot, coded, 0, 1), 0);
  EXPECT_EQ(m.Descriptor(0).length, 14);
  EXPECT_EQ(Bytes(m.Record(0).begin(), m.Record(0).end()), Repeat('k', 10));
}

TEST(MatrixDecode, RefusesBadMatrices) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  const Coded four = CompressAll(m, ctx.slot, kFourRecords);
  const Bytes fourCoded(m.CodedBlock(), m.CodedBlock() + four.length);
  const Coded same = CompressAll(m, ctx.slot, {Text("abcd"), Text("abcd")});
  const Bytes sameCoded(m.CodedBlock(), m.CodedBlock() + same.length);
  struct Case {
    const char* name;
    Bytes coded;
    std::int32_t kind;
    std::int32_t count;
    std::int32_t rc;
  } cases[] = {
      {"record count one too high", fourCoded, 1, 5, 60},
      {"record count one too low", fourCoded, 1, 3, 60},
      {"kind 0 matrix read as reordered", sameCoded, 1, 2, 69},
      {"record count above 255", fourCoded, 1, 256, 60},
      {"negative record count", fourCoded, 1, -1, 60},
      {"rising lengths", Cat({Chunk(Of({0, 0, 0x08, 0x09, 1, 2, 0, 0})), Chunk(Text("abcdefgh"))}), 1, 2, 60},
      {"first length above 32769", Chunk(Of({0x80, 0x80, 0x02, 0x02, 1, 2, 0, 0})), 1, 2, 60},
      {"length below 4", Chunk(Of({0, 0, 5, 3, 1, 2, 0, 0})), 1, 2, 60},
      {"empty record with repeats", Chunk(Of({0, 0, 4, 4, 1, 2, 0, 3})), 1, 2, 60},
      {"duplicate positions", Cat({Chunk(Of({0, 0, 5, 5, 1, 1, 0, 0})), Chunk(Text("ab"))}), 1, 2, 69},
      {"position above the count", Cat({Chunk(Of({0, 0, 5, 5, 1, 3, 0, 0})), Chunk(Text("ab"))}), 1, 2, 69},
      {"position 0 in a reordered matrix", Cat({Chunk(Of({0, 0, 5, 5, 1, 0, 0, 0})), Chunk(Text("ab"))}), 1, 2, 69},
      {"column straddles the chunk end", Cat({Chunk(Of({0, 0, 6, 6, 1, 2, 0, 0})), Chunk(Text("abc")), Chunk(Text("d"))}), 1, 2, 66},
      {"column data beyond the records", Cat({Chunk(Of({0, 0, 5, 5, 1, 2, 0, 0})), Chunk(Text("abcd"))}), 1, 2, 66},
      {"missing columns", Cat({Chunk(Of({0, 0, 6, 6, 1, 2, 0, 0})), Chunk(Text("ab"))}), 1, 2, 68},
      {"no column chunk at all", Chunk(Of({0, 0, 6, 6, 1, 2, 0, 0})), 1, 2, 68},
      {"chunk length past the end", Bytes(fourCoded.begin(), fourCoded.end() - 1), 1, 4, 60},
      {"lone length byte", Cat({Chunk(Of({0, 0, 5, 5, 1, 2, 0, 0})), Of({0})}), 1, 2, 60},
      {"bad code in a chunk", Cat({Chunk(Of({0, 0, 5, 5, 1, 2, 0, 0})), Of({0, 1, 0x7C})}), 1, 2, 60},
      {"header chunk longer than any legal chunk",
       Cat({Of({0x08, 0x06, 0x7E, 0x08, 0x00}), Distinct(2049), Of({0x00, 'x'})}), 1, 2, 60},
      {"one record: empty coded matrix", {}, 0, 1, 65},
      {"one record: entry of 5 bytes", Chunk(Of({0, 5, 0, 0, 0})), 0, 1, 65},
      {"one record: entry of 3 bytes", Chunk(Of({0, 5, 0})), 0, 1, 65},
      {"one record: ends early", Cat({Chunk(Of({0, 8, 0, 0})), Chunk(Text("ab"))}), 0, 1, 68},
      {"one record: too long", Cat({Chunk(Of({0, 6, 0, 0})), Chunk(Text("abc"))}), 0, 1, 68},
      {"one record: length below 4", Chunk(Of({0, 3, 0, 0})), 0, 1, 60},
      {"one record: repeats without data", Chunk(Of({0, 4, 0, 1})), 0, 1, 60},
      {"one record: larger than the data area", Chunk(Of({0x10, 0x01, 0, 0})), 0, 1, 60},
      {"record spaces larger than the data area", Chunk(Of({0x7F, 0x7F, 0xFF, 0xFF, 1, 2, 0, 0})), 1, 2, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeAt(m, ctx.slot, c.coded, c.kind, c.count), c.rc);
  }
}

TEST(MatrixDecode, AcceptsEmptyChunksAndLeavesCodedBlockAlone) {
  Context ctx(0, 1);
  NucMatrixBuffer m(4096);
  // A zero-length chunk between column chunks changes nothing.
  const Bytes coded = Cat({Chunk(Of({0, 0, 6, 6, 1, 2, 0, 0})), Of({0, 0}), Chunk(Text("abcd"))});
  ASSERT_EQ(DecodeAt(m, ctx.slot, coded, 1, 2), 0);
  EXPECT_EQ(Bytes(m.Record(0).begin(), m.Record(0).end()), Text("ac"));
  EXPECT_EQ(Bytes(m.Record(1).begin(), m.Record(1).end()), Text("bd"));
  EXPECT_EQ(Bytes(m.CodedBlock(), m.CodedBlock() + coded.size()), coded);
}
