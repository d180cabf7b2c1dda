// Matrix buffer sizes and the block checksum.
#include <gtest/gtest.h>

#include <vector>

#include "cmp/block_io.h"
#include "cmp/buffer_sizes.h"
#include "support/crc.h"

namespace {

TEST(BufferSizes, IdOfSize) {
  const struct {
    std::int32_t size, id;
  } cases[] = {{0, 8},      {1, 0},      {256, 18},   {257, 0},         {2048, 0},
               {2049, 1},   {32768, 8},  {-32768, 8}, {3000000, 31},    {100, 13},
               {INT32_MIN, 31}, {2621440, 31}, {2621439, 31}, {1048576, 28}};
  for (const auto& c : cases) EXPECT_EQ(GetBufSizeId(c.size), c.id) << c.size;
}

TEST(BufferSizes, SizeOfId) {
  EXPECT_EQ(GetBufSize(32), 32768);
  EXPECT_EQ(GetBufSize(-1), 32768);
  EXPECT_EQ(GetBufSize(0), 2048);
  EXPECT_EQ(GetBufSize(13), 114688);
  EXPECT_EQ(GetBufSize(31), 2621440);
}

TEST(BlockChecksum, Examples) {
  const std::uint8_t empty[] = {0x00, 0x04, 0x80, 0x00};
  EXPECT_EQ(BlockChecksum(empty, 4), 0xAABB);
  const std::uint8_t odd[] = {0x00, 0x05, 0x80, 0x00, 0x00};
  EXPECT_EQ(BlockChecksum(odd, 5), 0x542B);
  std::uint16_t r = 0;
  const std::int32_t n = 6;
  checksum(empty, &n, &r);
  EXPECT_EQ(r, 0xAABB);
}

// Against the plain word loop of the support library, for every length up to 200 and a few
// long ones.
TEST(BlockChecksum, MatchesWordLoop) {
  std::vector<std::uint8_t> data(40000);
  std::uint32_t x = 7;
  for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 200; ++n) lengths.push_back(n);
  for (std::size_t n : {4095u, 4096u, 32765u, 32767u, 40000u}) lengths.push_back(n);
  for (std::size_t n : lengths) {
    EXPECT_EQ(BlockChecksum(data.data(), n), TorqChecksum(data.data(), static_cast<std::int32_t>(n)))
        << n;
  }
}

}  // namespace
