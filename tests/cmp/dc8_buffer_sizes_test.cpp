// The matrix size of a DC8 container being written follows the buffer size asked for: a value
// below 257 counts kilobytes and is capped at 64, any other counts bytes and is capped at
// 65,536. The matrix header names the size (B1 = 0x40 | its id), the record limit follows it,
// and the records come back whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "cmp/buffer_sizes.h"
#include "cmp/control_block.h"
#include "trq_roundtrip.h"

using namespace trqtest;

namespace {

struct Case {
  std::int32_t asked;  // the buffer size handed to trqopf
  std::int32_t used;   // the matrix size it comes back as
  std::uint8_t b1;     // the second matrix header byte
};

constexpr Case kCases[] = {
    {2, 2048, 0x40},      {2048, 2048, 0x40},   {16, 16384, 0x47},    {16384, 16384, 0x47},
    {32, 32768, 0x48},    {32768, 32768, 0x48}, {64, 65536, 0x4A},    {65536, 65536, 0x4A},
    {100, 65536, 0x4A},   {100000, 65536, 0x4A}, {1 << 20, 65536, 0x4A}};

Member Plain(std::vector<Bytes> records) {
  Member m;
  m.name = "d";
  m.recordFormat = 3;
  m.recordLength = 0;
  m.systemHeader = {3, 0x0A, 0x00};
  m.records = std::move(records);
  return m;
}

TEST(Dc8BufferSizes, MatricesOfTheSizeAskedFor) {
  for (const Case& c : kCases) {
    const std::string path = TempPath("dc8size");
    Layout layout{0, 32760, 8, 1, c.asked, 0, 0};
    RecordHandle* slot = nullptr;
    ASSERT_EQ(OpenForWriting(slot, path, layout).rc, 0) << c.asked;
    EXPECT_EQ(layout.bufferSize, c.used) << c.asked;
    EXPECT_EQ(WriteBufferSize(8, c.asked), c.used) << c.asked;
    // Records of many lengths up to the longest the matrix takes (its size less the length
    // word and the record's own), then one past it.
    const std::int32_t longest = std::min(c.used - 8, 65496);
    std::vector<Bytes> records;
    for (std::int32_t n = 1; n < longest; n = n * 3 + 1)
      records.emplace_back(static_cast<std::size_t>(n), static_cast<std::uint8_t>('a' + n % 26));
    records.emplace_back(static_cast<std::size_t>(longest), 'z');
    ASSERT_EQ(PutMember(slot, Plain(records)).rc, 0) << c.asked;
    std::int32_t rc = 0;
    const Bytes tooLong(static_cast<std::size_t>(longest + 1), 'x');
    trqput(slot, rc, longest + 1, tooLong.data());
    EXPECT_EQ(rc, 16) << c.asked;
    ASSERT_EQ(Close(slot).rc, 0) << c.asked;

    // Read back: the first matrix names its size, and the records are the same.
    ASSERT_EQ(OpenForReading(slot, path).rc, 0) << c.asked;
    Member m;
    ASSERT_EQ(GetHeaders(slot, m).rc, 0) << c.asked;
    std::int32_t length = 0;
    std::uint8_t* record = nullptr;
    TrqGetRecord(slot, rc, length, record);
    ASSERT_EQ(rc, 0) << c.asked;
    EXPECT_EQ(slot->container->matrixHeader[1], c.b1) << c.asked;
    m.records.emplace_back(record, record + length);
    EXPECT_EQ(GetRecords(slot, m.records), kTrqEndOfFile) << c.asked;
    EXPECT_TRUE(m.records == records) << c.asked;
    EXPECT_EQ(Close(slot).rc, 0) << c.asked;
    std::remove(path.c_str());
  }
}

}  // namespace
