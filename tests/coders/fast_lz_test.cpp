#include <gtest/gtest.h>

#include "coders/fast_lz.h"
#include "coders_test_util.h"
#include "support/heap.h"

namespace {

using Coder = std::int32_t (*)(std::uint32_t*, std::int32_t, const std::uint8_t*, std::uint8_t*);
using Decoder = std::int32_t (*)(std::int32_t, const std::uint8_t*, std::uint8_t*, std::int32_t);

Bytes Code(Coder coder, const Bytes& in, std::int32_t& result) {
  std::uint32_t* table = pvFswOpn(1);
  Bytes out(in.size() + 2 + 16, 0xCD);
  result = coder(table, static_cast<std::int32_t>(in.size()), in.data(), out.data());
  fvFswCls(table);
  // The coder stays within the room it was promised.
  for (std::size_t i = in.size() + 2; i < out.size(); ++i) EXPECT_EQ(out[i], 0xCD);
  out.resize(static_cast<std::size_t>(result) <= in.size() + 2 ? result : 0);
  return out;
}

TEST(FastLz, WorkedExamples) {
  const Bytes abcd = Repeat("abcd", 5);
  std::int32_t result = 0;
  EXPECT_EQ(Code(siFfwCmp, abcd, result),
            Hex("04 61 62 63 64 84 00 00 84 00 04 84 00 08 04 61 62 63 64 00"));
  EXPECT_EQ(result, 20);
  EXPECT_EQ(Code(siFswCmp, abcd, result),
            Hex("04 61 62 63 64 84 00 04 84 00 04 84 00 04 04 61 62 63 64 00"));

  EXPECT_EQ(Code(siFfwCmp, {}, result), Hex("00"));
  EXPECT_EQ(Code(siFfwCmp, Text("abc"), result), Hex("03 61 62 63 00"));
  EXPECT_EQ(result, 5);
  // Eight bytes that repeat nothing would take ten: the input length comes back.
  Code(siFfwCmp, Text("abcdefgh"), result);
  EXPECT_EQ(result, 8);
}

TEST(FastLz, LongMatchesTakeSeveralTokens) {
  Bytes in = Sample(300, 3, true);
  const Bytes copy = in;
  in.insert(in.end(), copy.begin(), copy.end());
  in.insert(in.end(), {'Z', 'Y', 'X', 'W', 'V'});
  std::int32_t result = 0;
  // 300 literals go out as runs of 127, 127 and 46; then the match of 300 bytes.
  const Bytes absolute = Code(siFfwCmp, in, result);
  ASSERT_GE(absolute.size(), 312u);
  EXPECT_EQ(Bytes(absolute.begin() + 303, absolute.begin() + 312),
            Hex("FF 00 00 FF 00 7F AE 00 FE"));
  const Bytes distance = Code(siFswCmp, in, result);
  ASSERT_GE(distance.size(), 312u);
  EXPECT_EQ(Bytes(distance.begin() + 303, distance.begin() + 312),
            Hex("FF 01 2C FF 01 2C AE 01 2C"));
}

TEST(FastLz, RoundTrips) {
  const std::pair<Coder, Decoder> variants[] = {{siFfwCmp, siFfwDco}, {siFswCmp, siFswDco}};
  for (const auto& [coder, decoder] : variants) {
    for (std::size_t n : {0, 1, 7, 8, 9, 100, 4096, 65535, 65536}) {
      for (bool noise : {false, true}) {
        SCOPED_TRACE(testing::Message() << n << (noise ? " noise" : " text"));
        const Bytes in = Sample(n, static_cast<std::uint32_t>(n), noise);
        std::int32_t result = 0;
        const Bytes coded = Code(coder, in, result);
        if (n > 0 && static_cast<std::size_t>(result) >= n) continue;  // stored by the caller
        Bytes out(n + 1, 0xCD);
        EXPECT_EQ(decoder(result, coded.data(), out.data(), static_cast<std::int32_t>(n)),
                  static_cast<std::int32_t>(n));
        out.resize(n);
        EXPECT_EQ(out, in);
      }
    }
  }
}

TEST(FastLz, DamagedStreams) {
  struct Case {
    const char* name;
    Bytes code;
    std::int32_t room;
    std::int32_t absolute;
    std::int32_t distance;
  } cases[] = {
      {"only the end token", Hex("00"), 16, 0, 0},
      {"empty", {}, 16, -60, -60},
      {"last byte not the end token", Hex("01 41"), 16, -60, -60},
      {"end token before the last byte", Hex("01 41 00 00"), 16, -73, -73},
      {"literal run past the input", Hex("05 41 42 00"), 16, -60, -60},
      {"match token cut short", Hex("01 41 84 00"), 16, -60, -60},
      {"match from a byte not yet written", Hex("01 41 82 00 01 00"), 16, -60, 3},
      {"match of distance 0", Hex("01 41 82 00 00 00"), 16, 3, -60},
      {"match reaching before the start", Hex("01 41 82 00 02 00"), 16, -60, -60},
      {"output past the room", Hex("02 41 42 84 00 00 00"), 5, -60, -60},
      {"literals past the room", Hex("03 41 42 43 00"), 2, -60, -60},
      {"overlapping match", Hex("01 41 84 00 00 00"), 5, 5, -60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(static_cast<std::size_t>(c.room) + 8, 0xCD);
    const auto len = static_cast<std::int32_t>(c.code.size());
    EXPECT_EQ(siFfwDco(len, c.code.data(), out.data(), c.room), c.absolute);
    EXPECT_EQ(siFswDco(len, c.code.data(), out.data(), c.room), c.distance);
    for (std::size_t i = static_cast<std::size_t>(c.room); i < out.size(); ++i)
      EXPECT_EQ(out[i], 0xCD);
  }
}

TEST(FastLz, TableFromTheCountingHeap) {
  const std::uint32_t before = rmGetHeapCount();
  std::uint32_t* table = pvFswOpn(1);
  ASSERT_NE(table, nullptr);
  fvFswCls(table);
  fvFswCls(nullptr);
  rmHeapInjectFailure(1);
  EXPECT_EQ(pvFswOpn(1), nullptr);
  rmHeapInjectFailure(0);
  EXPECT_EQ(rmGetHeapCount(), before);
}

}  // namespace
