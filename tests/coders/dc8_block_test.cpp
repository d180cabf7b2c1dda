// Whole DC8 blocks: header, kinds per character code, stored form, entry-point checks.
#include <gtest/gtest.h>

#include <random>

#include "coders/dc8_block.h"
#include "dc8_test_util.h"
#include "support/heap.h"

using namespace dc8test;

namespace {

Bytes Payload(const Bytes& block) { return Bytes(block.begin() + kDc8HeaderSize, block.end()); }

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<std::uint8_t>(rng());
  return b;
}

}  // namespace

TEST(Dc8Block, WholeBlocksInBothCharacterCodes) {
  struct Case {
    int charCode;
    Bytes input;
    Bytes block;
  } cases[] = {
      {1, Text(""), Of({0x00, 0x0E, 0x42, 0x44, 0x54, 0x4F, 0x52, 0x51, 0, 1, 0, 0, 0, 0, 0, 0})},
      {1, Text("a"),
       Of({0x00, 0x10, 0x42, 0x44, 0x54, 0x4F, 0x52, 0x51, 0, 1, 0, 0, 0, 1, 0, 2, 0xCC, 0x3F})},
      {0, Text("a"),
       Of({0x00, 0x10, 0xC2, 0xC4, 0xE3, 0xD6, 0xD9, 0xD8, 0, 1, 0, 0, 0, 1, 0, 2, 0xCC, 0x3F})},
      {1, Text("abcdefgh"),
       Cat({Of({0x00, 0x16, 0x42, 0x30, 0x54, 0x4F, 0x52, 0x51, 0, 1, 0, 0, 0, 8, 0, 8}),
            Text("abcdefgh")})},
      {0, Text("abcdefgh"),
       Cat({Of({0x00, 0x16, 0xC2, 0xF0, 0xE3, 0xD6, 0xD9, 0xD8, 0, 1, 0, 0, 0, 8, 0, 8}),
            Text("abcdefgh")})},
  };
  for (const Case& c : cases) {
    Context coder(1, c.charCode), decoder(0, c.charCode);
    const Bytes block = Compress(coder, c.input);
    EXPECT_EQ(Hex(block), Hex(c.block)) << Hex(c.input);
    const Decoded d = Decompress(decoder, block);
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(d.length, static_cast<std::int32_t>(c.input.size()));
    EXPECT_EQ(d.out, c.input);
  }
}

// Phrase codes worked out bit by bit; the stored/coded boundary: the words before the last are
// held to the input length (a word that fills exactly waits for the next bits).
TEST(Dc8Block, PhraseCodes) {
  struct Case {
    Bytes input;
    Bytes payload;  // empty: stored
  } cases[] = {
      {Text("aaaa"), Of({0xCC, 0x31, 0xC7})},
      {Text("aababcab"), Of({0xCC, 0x31, 0x04, 0xCC, 0x77})},
      {Of({0x00, 0x01, 0xEC, 0x00, 0x02, 0x03, 0x04}),
       Of({0xC0, 0x14, 0x35, 0xD9, 0x10, 0x58, 0xF2, 0x7F})},
      {Of({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}),
       Of({0xC0, 0x14, 0x38, 0xB1, 0xE4, 0xCB, 0x9B, 0x3E, 0x8D, 0x3A, 0xB5, 0xEC, 0xDB, 0xBB,
           0x7F})},
      // 61 bits (the second byte in class 5 with its 0 repeat bit, then class 6 for the
      // nibble bucket): one word tested, 3 bytes of the last counted.
      {Text("abcdefg"), Of({0xCC, 0x34, 0x58, 0xF2, 0x65, 0xCD, 0x9F})},
      // 68 bits: the second word ends exactly at the input length: stored.
      {Text("abcdefgh"), {}},
      // 75 bits: the same second word ends before the input length of 9.
      {Text("abcdefghi"), Of({0xCC, 0x34, 0x58, 0xF2, 0x65, 0xCD, 0x9F, 0x46, 0x9F})},
      // The untested last word adds up to 3 bytes beyond the input.
      {Of({0x4C, 0xEB, 0xE7, 0xE0, 0x61, 0xB9, 0x4D, 0x63, 0xD8}),
       Of({0xC9, 0x9B, 0xAE, 0x5F, 0x05, 0x30, 0xEB, 0x98, 0xD7, 0x9C, 0x6C, 0x7F})},
      // A run of 4,313 bytes: a new byte, then a known byte with the longest length code.
      {Bytes(4313, 'a'), Of({0xCC, 0x31, 0xF7, 0xFF, 0xFF})},
  };
  Context coder(1, 1), decoder(0, 1);
  for (const Case& c : cases) {
    const Bytes block = Compress(coder, c.input);
    ASSERT_FALSE(block.empty());
    if (c.payload.empty()) {
      EXPECT_EQ(block[3], 0x30) << Hex(c.input);
      EXPECT_EQ(Payload(block), c.input);
    } else {
      EXPECT_EQ(block[3], 0x44) << Hex(c.input);
      EXPECT_EQ(Hex(Payload(block)), Hex(c.payload)) << Hex(c.input);
    }
    const Decoded d = Decompress(decoder, block);
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(d.out, c.input);
  }
}

TEST(Dc8Block, KindBytesFollowTheCharacterCodeAndTheOtherCodeIsCorrupt) {
  const Bytes coded = Text("aaaa"), stored = Text("abcdefgh");
  struct Case {
    int charCode;
    std::uint8_t storedKind, codedKind;
  } cases[] = {{1, 0x30, 0x44}, {0, 0xF0, 0xC4}, {7, 0xF0, 0xC4}};
  for (const Case& c : cases) {
    Context coder(1, c.charCode), same(0, c.charCode), other(0, c.charCode == 1 ? 0 : 1);
    for (const bool isCoded : {true, false}) {
      const Bytes& in = isCoded ? coded : stored;
      const Bytes block = Compress(coder, in);
      EXPECT_EQ(block[3], isCoded ? c.codedKind : c.storedKind);
      EXPECT_EQ(Decompress(same, block).out, in);
      const Decoded d = Decompress(other, block);
      EXPECT_EQ(d.rc, kDc8Corrupted);
      EXPECT_EQ(d.length, 0);
    }
  }
}

TEST(Dc8Block, CoderRoomAndInputLimits) {
  Context coder(1, 1);
  const Bytes input = RandomBytes(100, 1);
  Bytes out(200, 0);
  std::int32_t length = 16 + 100 + 3;
  EXPECT_EQ(nuccmp_dc8(coder.slot(), input.data(), 100, out.data(), length), -1);
  length = 16 + 100 + 4;
  EXPECT_EQ(nuccmp_dc8(coder.slot(), input.data(), 100, out.data(), length), 0);
  EXPECT_EQ(length, 116);
  length = 200;
  EXPECT_EQ(nuccmp_dc8(coder.slot(), input.data(), -1, out.data(), length), -1);
  const Bytes big(65536, 'x');
  Bytes bigOut(70000);
  length = 70000;
  EXPECT_EQ(nuccmp_dc8(coder.slot(), big.data(), 65536, bigOut.data(), length), -1);
  // The longest input codes; one that must be stored but whose length word would not fit
  // answers -1; the longest storable input is stored.
  Context decoder(0, 1);
  const Bytes longest(65535, 'x');
  const Bytes block = Compress(coder, longest);
  ASSERT_FALSE(block.empty());
  EXPECT_EQ(Decompress(decoder, block).out, longest);
  std::int32_t rc = 0;
  EXPECT_TRUE(Compress(coder, RandomBytes(65522, 2), &rc).empty());
  EXPECT_EQ(rc, -1);
  const Bytes storable = RandomBytes(65521, 3);
  const Bytes storedBlock = Compress(coder, storable);
  ASSERT_EQ(storedBlock.size(), 65537u);
  EXPECT_EQ(Hex(Bytes(storedBlock.begin(), storedBlock.begin() + 4)), "FF FF 42 30");
  EXPECT_EQ(Decompress(decoder, storedBlock).out, storable);
}

// The coder writes nothing past the room it was given, coded or stored.
TEST(Dc8Block, CoderStaysInsideItsRoom) {
  Context coder(1, 1);
  for (std::size_t n : {0u, 1u, 9u, 100u, 3000u}) {
    for (unsigned seed = 0; seed < 20; ++seed) {
      Bytes input = RandomBytes(n, seed);
      if (seed % 2) for (auto& b : input) b &= 3;
      const std::size_t room = n + kDc8HeaderSize + kDc8CoderSlack;
      Bytes out(room + 16, 0xA5);
      std::int32_t length = static_cast<std::int32_t>(room);
      ASSERT_EQ(nuccmp_dc8(coder.slot(), input.data(), static_cast<std::int32_t>(n), out.data(),
                           length), 0);
      EXPECT_LE(static_cast<std::size_t>(length), n + kDc8HeaderSize + 3);
      EXPECT_EQ(Bytes(out.begin() + static_cast<std::ptrdiff_t>(room), out.end()), Bytes(16, 0xA5));
    }
  }
}

TEST(Dc8Context, OpenAndCloseKeepTheSelfPointerAndTheirTables) {
  for (int direction : {0, 1, 5}) {
    const std::uint32_t before = rmGetHeapCount();
    Dc8Context* ctx = nullptr;
    ASSERT_EQ(nucopn_dc8(ctx, direction, 1), 0);
    EXPECT_EQ(ctx->self, ctx);
    EXPECT_EQ(ctx->direction, direction ? 1u : 0u);
    EXPECT_EQ(ctx->nodes != nullptr, direction != 0);
    EXPECT_EQ(ctx->phrases != nullptr, direction == 0);
    EXPECT_EQ(nuccls_dc8(ctx), 0);
    EXPECT_EQ(ctx, nullptr);
    EXPECT_EQ(rmGetHeapCount(), before);
  }
}

TEST(Dc8Context, ForeignContextOtherDirectionAndNoMemoryGiveMinusOne) {
  Context coder(1, 1), decoder(0, 1);
  const Bytes input = Text("aaaa");
  const Bytes block = Compress(coder, input);
  Bytes out(100);
  std::int32_t length = 100;
  // The decoder's context cannot code, nor the coder's decode.
  EXPECT_EQ(nuccmp_dc8(decoder.slot(), input.data(), 4, out.data(), length), -1);
  EXPECT_EQ(nucdcm_dc8(coder.slot(), block.data(), static_cast<std::int32_t>(block.size()) - 2,
                       out.data(), 100, length), -1);
  // A slot that does not hold the block's own address.
  Dc8Context* foreign = reinterpret_cast<Dc8Context*>(reinterpret_cast<char*>(coder.slot()) + 8);
  Dc8Context* none = nullptr;
  for (Dc8Context** slot : {&foreign, &none}) {
    length = 100;
    EXPECT_EQ(nuccmp_dc8(*slot, input.data(), 4, out.data(), length), -1);
    EXPECT_EQ(nucdcm_dc8(*slot, block.data(), 18, out.data(), 100, length), -1);
    EXPECT_EQ(nuccls_dc8(*slot), -1);
  }
  // Each allocation of either direction failing: the context and its tables (one to decode,
  // two to code).
  for (int direction : {0, 1}) {
    for (std::uint32_t failing = 1; failing <= (direction == 0 ? 2u : 3u); ++failing) {
      const std::uint32_t before = rmGetHeapCount();
      Dc8Context* ctx = reinterpret_cast<Dc8Context*>(&none);
      rmHeapInjectFailure(failing);
      EXPECT_EQ(nucopn_dc8(ctx, direction, 0), -1);
      rmHeapInjectFailure(0);
      EXPECT_EQ(ctx, nullptr);
      EXPECT_EQ(rmGetHeapCount(), before);
    }
  }
}
