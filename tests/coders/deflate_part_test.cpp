#include <gtest/gtest.h>

#include "coders/deflate_part.h"
#include "coders_test_util.h"
#include "support/heap.h"

namespace {

// Deflate bytes depend on the zlib build: parts are checked by round trip only.
TEST(DeflatePart, RoundTrips) {
  z_stream* in = pvGzpOpn(1, 0, 6);
  z_stream* out = pvGzpOpn(0, 0, 0);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  for (std::size_t n : {0, 1, 100, 4096, 65535, 65536}) {
    for (bool noise : {false, true}) {
      SCOPED_TRACE(testing::Message() << n << (noise ? " noise" : " text"));
      const Bytes data = Sample(n, 11, noise);
      Bytes coded(n + 1);
      const char* message = nullptr;
      const std::int32_t c =
          siGzpCmp(message, in, static_cast<std::int32_t>(n), data.data(), coded.data());
      if (c < 0 || static_cast<std::size_t>(c) >= n) {
        EXPECT_TRUE(noise || n < 100);  // incompressible: the caller stores
        continue;
      }
      Bytes back(n + 8, 0xCD);
      EXPECT_EQ(siGzpDco(message, out, c, coded.data(), back.data(), static_cast<std::int32_t>(n)),
                static_cast<std::int32_t>(n));
      EXPECT_EQ(Bytes(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n)), data);
      // One byte less room: the stream cannot end, which is a failed part.
      EXPECT_EQ(siGzpDco(message, out, c, coded.data(), back.data(),
                         static_cast<std::int32_t>(n) - 1),
                -2);
      EXPECT_EQ(siGzpDco(message, out, c - 1, coded.data(), back.data(),
                         static_cast<std::int32_t>(n)),
                -2);
    }
  }
  fvGzpCls(in, 1);
  fvGzpCls(out, 0);
  fvGzpCls(nullptr, 0);
  // No stream, or a room that cannot take the end of the stream: the part coder fails.
  const char* message = nullptr;
  std::uint8_t byte = 0x41, out8[8] = {};
  EXPECT_EQ(siGzpCmp(message, nullptr, 1, &byte, out8), -1);
  EXPECT_EQ(siGzpDco(message, nullptr, 1, &byte, out8, 8), -2);
  z_stream* z = pvGzpOpn(1, 0, 6);
  EXPECT_EQ(siGzpCmp(message, z, 0, &byte, out8), -1);
  fvGzpCls(z, 1);
}

TEST(DeflatePart, StreamsComeFromTheCountingHeap) {
  const std::uint32_t before = rmGetHeapCount();
  for (std::uint32_t fail = 1; fail <= 3; ++fail) {
    rmHeapInjectFailure(fail);
    z_stream* z = pvGzpOpn(1, 0, 6);
    rmHeapInjectFailure(0);
    if (z != nullptr) fvGzpCls(z, 1);
  }
  rmHeapInjectFailure(1);
  EXPECT_EQ(pvGzpOpn(0, 0, 0), nullptr);
  rmHeapInjectFailure(0);
  EXPECT_EQ(rmGetHeapCount(), before);
  z_stream* z = pvGzpOpn(1, 0, 6);
  ASSERT_NE(z, nullptr);
  EXPECT_GT(rmGetHeapCount(), before);
  fvGzpCls(z, 1);
  EXPECT_EQ(rmGetHeapCount(), before);
}

}  // namespace
