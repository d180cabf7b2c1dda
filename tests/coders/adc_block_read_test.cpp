#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <numeric>

#include "coders/adc_context.h"
#include "coders/deflate_part.h"
#include "coders/fast_lz.h"
#include "coders_test_util.h"
#include "support/heap.h"

namespace {

constexpr std::size_t kHead = 21;

// A block as the container hands it over: D at S-21, L at S-2, the parts from S on.
Bytes Block(std::uint32_t d, std::uint32_t l, const Bytes& body) {
  Bytes b(kHead + body.size(), 0x5A);
  std::copy(body.begin(), body.end(), b.begin() + kHead);
  b[0] = static_cast<std::uint8_t>(d >> 16);
  b[1] = static_cast<std::uint8_t>(d >> 8);
  b[2] = static_cast<std::uint8_t>(d);
  b[kHead - 2] = static_cast<std::uint8_t>(l >> 8);
  b[kHead - 1] = static_cast<std::uint8_t>(l);
  return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Matrix {
  std::int32_t rc;
  std::vector<std::uint32_t> lengths;
  Bytes data;
};

constexpr std::int32_t kWhole = INT32_MIN;  // the block length is the body's size

Matrix Read(const Bytes& block, std::int32_t n, std::int32_t blockLength = kWhole) {
  AdcContextHolder h;
  std::vector<std::uint32_t> buffer((kAdcLengthArea + kAdcMaxData) / 4, 0);
  const std::int32_t length =
      blockLength != kWhole ? blockLength : static_cast<std::int32_t>(block.size() - kHead);
  Matrix m;
  m.rc = nucdcm_adc(h.ctx, block.data() + kHead, length, buffer.data(), n);
  if (m.rc == 0 && n > 0) {
    m.lengths.assign(buffer.begin(), buffer.begin() + n);
    const auto* records = reinterpret_cast<const std::uint8_t*>(buffer.data()) + kAdcLengthArea;
    const auto d = std::accumulate(m.lengths.begin(), m.lengths.end(), std::uint64_t{0});
    m.data.assign(records, records + d);
  }
  return m;
}

const Bytes kTwoLengths = Hex("00 C8 38 69 35 F0 00");  // 8, 8 as four byte planes

TEST(AdcBlockRead, WorkedBlocks) {
  const Bytes abab = Repeat("AB", 8);
  const Matrix adc = Read(Block(16, 7, Concat(kTwoLengths, Hex("41 80 FE D0 2F 00"))), 2);
  EXPECT_EQ(adc.rc, 0);
  EXPECT_EQ(adc.lengths, (std::vector<std::uint32_t>{8, 8}));
  EXPECT_EQ(adc.data, abab);

  const Bytes ndcBlock = Block(16, 7, Concat(kTwoLengths, abab));
  EXPECT_EQ(ndcBlock.size() - kHead, 23u);
  const Matrix ndc = Read(ndcBlock, 2);
  EXPECT_EQ(ndc.rc, 0);
  EXPECT_EQ(ndc.lengths, (std::vector<std::uint32_t>{8, 8}));
  EXPECT_EQ(ndc.data, abab);

  // One record: the length stands at S as 4 bytes, whatever S-2 holds.
  Bytes one = Block(5, 0xBEEF, Hex("00 00 00 05 68 65 6C 6C 6F"));
  const Matrix hello = Read(one, 1);
  EXPECT_EQ(hello.rc, 0);
  EXPECT_EQ(hello.lengths, (std::vector<std::uint32_t>{5}));
  EXPECT_EQ(hello.data, Text("hello"));

  // A flagged block: two lines, the second restored by vertical fill from column 1.
  const Matrix lines = Read(Block(7, 0, Hex("10 02 00 07 41 42 43 0A 58 AA AA")), 1);
  EXPECT_EQ(lines.rc, 0);
  EXPECT_EQ(lines.lengths, (std::vector<std::uint32_t>{7}));
  EXPECT_EQ(lines.data, Text("ABC\nXBC"));
}

TEST(AdcBlockRead, PrefixedDataParts) {
  const Bytes records = Sample(5000, 7, false);
  const auto d = static_cast<std::uint32_t>(records.size());
  const Bytes lengthPart = Hex("00 00 13 88");  // one record of 5000 bytes

  Bytes zipped(d + 3);
  z_stream* z = pvGzpOpn(1, 0, 6);
  ASSERT_NE(z, nullptr);
  const char* message = nullptr;
  const std::int32_t zl = siGzpCmp(message, z, static_cast<std::int32_t>(d), records.data(),
                                   zipped.data() + 3);
  fvGzpCls(z, 1);
  ASSERT_GT(zl, 0);
  ASSERT_LT(static_cast<std::uint32_t>(zl), d);
  zipped.resize(static_cast<std::size_t>(zl) + 3);
  zipped[0] = 0x1F, zipped[1] = 0x8B, zipped[2] = 0x08;

  Bytes fast(d + 3);
  std::uint32_t* table = pvFswOpn(1);
  const std::int32_t fl = siFfwCmp(table, static_cast<std::int32_t>(d), records.data(),
                                   fast.data() + 3);
  fvFswCls(table);
  ASSERT_LT(static_cast<std::uint32_t>(fl), d);
  fast.resize(static_cast<std::size_t>(fl) + 3);
  fast[0] = 0xFF, fast[1] = 0xFA, fast[2] = 0x51;

  for (const Bytes* part : {&zipped, &fast}) {
    const Matrix m = Read(Block(d, 0, Concat(lengthPart, *part)), 1);
    EXPECT_EQ(m.rc, 0);
    EXPECT_EQ(m.data, records);
  }
}

TEST(AdcBlockRead, DamagedBlocks) {
  const Bytes abab = Repeat("AB", 8);
  const Bytes good = Concat(kTwoLengths, Hex("41 80 FE D0 2F 00"));
  // Lengths 8, 8 whose 32-bit sum is 16 only after wrapping: 0x80000008 + 0x80000008.
  const Bytes wrapping = Concat(Hex("00 00 00 08 80 80 00 08"), abab);
  struct Case {
    const char* name;
    Bytes block;
    std::int32_t n;
    std::int32_t blockLength;
    std::int32_t rc;
  } cases[] = {
      {"no records, no data", Block(0, 0, {}), 0, 0, 0},
      {"no records but data", Block(1, 0, {}), 0, 0, 60},
      {"too many records", Block(16, 7, good), 4097, kWhole, 60},
      {"negative count", Block(16, 7, good), -1, kWhole, 60},
      {"negative block length", Block(16, 7, good), 2, -5, 60},
      {"data length above 65536", Block(65537, 7, good), 2, kWhole, 60},
      {"length part longer than the block", Block(16, 30, good), 2, kWhole, 60},
      {"one record, block shorter than its length", Block(5, 0, Hex("00 00 00")), 1, kWhole, 60},
      {"length part for three records", Block(16, 7, good), 3, kWhole, 60},
      {"data part decodes short", Block(18, 7, good), 2, kWhole, 73},
      {"lengths do not add up", Block(17, 7, Concat(kTwoLengths, Repeat("A", 17))), 2, kWhole, 73},
      {"lengths add up only in 32 bits", Block(16, 0, wrapping), 1, kWhole, 73},
      {"copy distance flag 10", Block(9, 0, Hex("00 00 00 09 41 E8")), 1, kWhole, 60},
      {"stream ends early", Block(9, 0, Hex("00 00 00 09 41 80")), 1, kWhole, 60},
      {"flagged block of an invalid form", Block(4, 0, Hex("30 00 00 04 41 42 43 44")), 1, kWhole,
       60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.block, c.n, c.blockLength).rc, c.rc);
  }
}

TEST(AdcBlockRead, ForeignContextAndNoMemory) {
  const Bytes block = Block(16, 7, Concat(kTwoLengths, Repeat("AB", 8)));
  std::vector<std::uint32_t> buffer((kAdcLengthArea + kAdcMaxData) / 4);
  AdcContextHolder h;
  ForeignAdcContext foreign;
  EXPECT_EQ(nucdcm_adc(foreign.ctx, block.data() + kHead, 23, buffer.data(), 2), -1);

  // An inflate stream that cannot be set up is no fault of the file.
  const Bytes zipped = Block(16, 0, Concat(Hex("00 00 00 10 1F 8B 08"), Hex("00 00")));
  rmHeapInjectFailure(1);
  EXPECT_EQ(nucdcm_adc(h.ctx, zipped.data() + kHead, static_cast<std::int32_t>(zipped.size() - kHead),
                       buffer.data(), 1),
            -1);
  rmHeapInjectFailure(0);
}

}  // namespace
