// The record interface: exact container bytes, round trips of members over the methods, forms
// and layouts, and the limits of a record matrix.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "support/heap.h"
#include "trq_roundtrip.h"

using namespace trqtest;

namespace {

Bytes Hex(const char* text) {
  Bytes b;
  unsigned v = 0;
  int n = 0;
  for (const char* p = text; *p; ++p) {
    if (std::sscanf(p, "%2x%n", &v, &n) == 1 && n == 2) {
      b.push_back(static_cast<std::uint8_t>(v));
      ++p;
    }
  }
  return b;
}

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

Bytes Block(const char* head, const char* tail, const char* checksum) {
  Bytes b = Hex(head);
  b.resize(b.size() + 16, 0);
  const Bytes t = Hex(tail);
  b.insert(b.end(), t.begin(), t.end());
  b.resize(78, 0);
  const Bytes c = Hex(checksum);
  b.insert(b.end(), c.begin(), c.end());
  return b;
}

struct Cleanup {
  std::string path;
  ~Cleanup() { std::remove(path.c_str()); }
};

TEST(TrqWrite, HelloWorldBlock) {
  Cleanup file{TempPath("hello")};
  Layout layout;
  layout.recordLength = 80;
  Member m;
  m.name = "a";
  m.recordFormat = 3;
  m.recordLength = 0;
  m.moreHeaders = false;
  m.records = {Text("HELLO"), Text("WORLD")};
  Counts counts;
  const Result r = WriteContainer(file.path, layout, {m}, &counts);
  ASSERT_EQ(r.rc, 0) << r.step;
  const Bytes expected =
      Block("00 4E 80 04 00 21 30 41 F2 1D 00 E0 53 88",
            "80 00 00 00 04 01 00 01 61 00 03 8A 88 02 09 07 00 00 09 09 01 02 00 00 0B 09 48 57 "
            "45 4F 4C 52 4C 4C 4F 44",
            "20 5A");
  EXPECT_EQ(ReadFile(file.path), expected);
  EXPECT_EQ(counts.records, 2u);
  EXPECT_EQ(counts.bytesLow, 10u);
  EXPECT_EQ(counts.bytesHigh, 0u);
  EXPECT_EQ(counts.blocks, 1u);
  EXPECT_EQ(counts.blockLow, 80u);
  EXPECT_EQ(counts.blockHigh, 0u);

  const ReadBack back = ReadContainer(file.path);
  ASSERT_EQ(back.result.rc, 0) << back.result.step;
  ASSERT_EQ(back.members.size(), 1u);
  EXPECT_EQ(back.members[0].name, "a");
  EXPECT_EQ(back.members[0].recordFormat, 3);
  EXPECT_EQ(back.members[0].records, m.records);
}

TEST(TrqWrite, NothingPutIsOneEmptyMatrix) {
  Cleanup file{TempPath("empty")};
  Layout layout;
  layout.recordLength = 80;
  Counts counts;
  const Result r = WriteContainer(file.path, layout, {}, &counts);
  ASSERT_EQ(r.rc, 0) << r.step;
  EXPECT_EQ(ReadFile(file.path), Block("00 4E 80 04 00 03 8A 08 00", "", "D3 9D"));
  EXPECT_EQ(counts.records, 0u);
  EXPECT_EQ(counts.blocks, 1u);

  // It reads as no member at all.
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForReading(slot, file.path).rc, 0);
  std::vector<Bytes> records;
  EXPECT_EQ(GetRecords(slot, records), kTrqEndOfFile);
  EXPECT_TRUE(records.empty());
  EXPECT_EQ(Close(slot).rc, 0);
}

// Two members of one empty VR8 record each; in the first block the matrix header length was
// damaged from 2 to 32 (and the checksum made right): that matrix reads as one of a record
// but no data, is passed over, and its record count is never delivered.
TEST(TrqRead, MatrixWithoutDataIsPassedOver) {
  Cleanup file{TempPath("damaged")};
  const Bytes bytes = Hex(
      "004e800400243041f21d00e05340000000500000000000000000000000008000000004010002660100000020"
      "9e000683f0000400000000000000000000000000000000000000000000000000000065b4004e800400243041"
      "f21d00e053400000005000000000000000000000000080000000040100026601000000029e000683f0000400"
      "0000000000000000000000000000000000000000000000000000653c");
  FILE* f = std::fopen(file.path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForReading(slot, file.path).rc, 0);
  Member m;
  ASSERT_EQ(GetHeaders(slot, m).rc, 0);
  std::vector<Bytes> records;
  EXPECT_EQ(GetRecords(slot, records), kTrqNewMember);
  EXPECT_TRUE(records.empty());
  ASSERT_EQ(GetHeaders(slot, m).rc, 0);
  EXPECT_EQ(GetRecords(slot, records), kTrqEndOfFile);
  EXPECT_EQ(records, std::vector<Bytes>{Bytes{}});
  EXPECT_EQ(Close(slot).rc, 0);
}

}  // namespace
