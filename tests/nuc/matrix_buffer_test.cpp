// NucMatrixBuffer fills a matrix only as far as the decoder can lay it out again.
#include <gtest/gtest.h>

#include "nuc/matrix_buffer.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

struct FillCase {
  std::uint32_t dataSize;
  std::size_t length;  // not a multiple of 4: the decoder rounds each record's space up
  std::int32_t records;
};

class MatrixBufferFill : public ::testing::TestWithParam<FillCase> {};

TEST_P(MatrixBufferFill, FullMatrixDecodes) {
  const FillCase c = GetParam();
  for (int mode = 0; mode <= 2; ++mode) {
    Context ctx(mode, 1);
    ASSERT_EQ(ctx.rc, 0);
    NucMatrixBuffer m(c.dataSize);
    std::vector<Bytes> records;
    for (;;) {
      Bytes r(c.length);
      for (std::size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<std::uint8_t>('a' + (records.size() * 7 + i * 3) % 26);
      if (!m.Add(r)) break;
      records.push_back(r);
    }
    // Each record is charged its length + 7 up to the last byte of the data area.
    ASSERT_EQ(m.Count(), c.records) << mode;
    std::int32_t rc = -9, length = 0, kind = 1;
    m.Compress(ctx.slot, rc, length, kind);
    ASSERT_EQ(rc, 0);
    m.Decompress(ctx.slot, rc, length, kind, m.Count());
    ASSERT_EQ(rc, 0) << "mode " << mode;
    for (int i = 0; i < m.Count(); ++i) {
      const auto got = m.Record(i);
      ASSERT_EQ(Bytes(got.begin(), got.end()), records[static_cast<std::size_t>(i)]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, MatrixBufferFill,
                         ::testing::Values(FillCase{2048, 5, 170},   // 170 x 12 = 2040
                                           FillCase{2048, 6, 157},   // 157 x 13 = 2041
                                           FillCase{2048, 121, 16},  // 16 x 128 = 2048 exactly
                                           FillCase{16384, 61, 240},  // 240 x 68 = 16320
                                           FillCase{4096, 4089, 1}, FillCase{4096, 1, 255}));

}  // namespace
