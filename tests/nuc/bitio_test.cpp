// Bit-stream writer and reader: the worked cases, and random round trips over every width.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "nuc/bitio.h"

namespace {

TEST(BitioWrite, TwoNibblesMakeOneByte) {
  std::uint8_t buf[4] = {};
  BitFile f;
  OpenOutputBitFile(f, buf);
  Put4Bits(f, 8);
  Put4Bits(f, 15);
  std::uint32_t fill = 99;
  EXPECT_EQ(CloseOutputBitFile(f, fill), buf + 1);
  EXPECT_EQ(buf[0], 0x8F);
  EXPECT_EQ(fill, 0u);
}

TEST(BitioWrite, ThreeBitsThenAByte) {
  std::uint8_t buf[4] = {};
  BitFile f;
  OpenOutputBitFile(f, buf);
  Put3Bits(f, 0);
  Put8Bits(f, 0xAB);
  std::uint32_t fill = 0;
  EXPECT_EQ(CloseOutputBitFile(f, fill), buf + 2);
  EXPECT_EQ(buf[0], 0x15);
  EXPECT_EQ(buf[1], 0x60);
  EXPECT_EQ(fill, 5u);
}

TEST(BitioWrite, ElevenBits) {
  std::uint8_t buf[4] = {};
  BitFile f;
  OpenOutputBitFile(f, buf);
  PutBits(f, 0x681, 11);
  EXPECT_EQ(f.bytePointer, buf + 1);
  EXPECT_EQ(buf[0], 0xD0);
  EXPECT_EQ(f.pendingByte, 0x20);
  EXPECT_EQ(f.bitCount, 3);
}

TEST(BitioWrite, SevenBitsAtCountOneCompleteTheByte) {
  std::uint8_t buf[4] = {};
  BitFile f;
  OpenOutputBitFile(f, buf);
  PutBits(f, 1, 1);
  Put7Bits(f, 0x55);
  EXPECT_EQ(f.bytePointer, buf + 1);
  EXPECT_EQ(buf[0], 0xD5);
  EXPECT_EQ(f.bitCount, 0);
  EXPECT_EQ(f.pendingByte, 0);
}

TEST(BitioWrite, BytesAtAnOddPosition) {
  std::uint8_t buf[4] = {};
  const std::uint8_t src[] = {0xFF, 0x01};
  BitFile f;
  OpenOutputBitFile(f, buf);
  Put3Bits(f, 0);
  PutBytes(f, src, 2);
  EXPECT_EQ(f.bytePointer, buf + 2);
  EXPECT_EQ(buf[0], 0x1F);
  EXPECT_EQ(buf[1], 0xE0);
  EXPECT_EQ(f.pendingByte, 0x20);
  EXPECT_EQ(f.bitCount, 3);
}

TEST(BitioWrite, BytesAtAByteBoundary) {
  std::uint8_t buf[4] = {};
  const std::uint8_t src[] = {0xAB, 0xCD};
  BitFile f;
  OpenOutputBitFile(f, buf);
  PutBytes(f, src, 2);
  std::uint32_t fill = 9;
  EXPECT_EQ(CloseOutputBitFile(f, fill), buf + 2);
  EXPECT_EQ(buf[0], 0xAB);
  EXPECT_EQ(buf[1], 0xCD);
  EXPECT_EQ(fill, 0u);
}

TEST(BitioWrite, SixteenBitsAtEveryCount) {
  for (int u = 0; u < 8; ++u) {
    std::uint8_t buf[4] = {};
    BitFile f;
    OpenOutputBitFile(f, buf);
    if (u > 0) PutBits(f, 0, u);
    Put16Bits(f, 0xA5C3);
    std::uint32_t fill = 0;
    CloseOutputBitFile(f, fill);
    const std::uint32_t expect = 0xA5C3u << (8 - u);  // 24-bit window
    EXPECT_EQ(buf[0], (expect >> 16) & 0xFF) << u;
    EXPECT_EQ(buf[1], (expect >> 8) & 0xFF) << u;
    if (u > 0) {
      EXPECT_EQ(buf[2], expect & 0xFF) << u;
    }
  }
}

TEST(BitioRead, BitThreeFourThenNextByte) {
  std::uint8_t buf[] = {0x8F, 0x00, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  EXPECT_EQ(GetBit(f), 1);
  EXPECT_EQ(Get3Bits(f), 0);
  EXPECT_EQ(Get4Bits(f), 15);
  EXPECT_EQ(f.bitCount, 8);
  EXPECT_EQ(f.pendingByte, 0x00);
  EXPECT_EQ(PosOfFirstUnusedByte(f), buf + 1);
}

TEST(BitioRead, FiveBitsAcrossAByte) {
  std::uint8_t buf[] = {0xFF, 0xA0, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  Get5Bits(f);
  ASSERT_EQ(f.bitCount, 3);
  EXPECT_EQ(Get5Bits(f), 0x1E);  // 111 from the pending byte, 10 from the next
  EXPECT_EQ(f.bitCount, 6);
  EXPECT_EQ(PosOfFirstUnusedByte(f), buf + 2);
}

TEST(BitioRead, ElevenBitsLeaveCountZero) {
  std::uint8_t buf[] = {0xE5, 0x3C, 0x9A, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  Get5Bits(f);
  ASSERT_EQ(f.bitCount, 3);
  EXPECT_EQ(GetBits(f, 11), 0x53C);  // 101 then 0011 1100
  EXPECT_EQ(f.bitCount, 0);
  EXPECT_EQ(f.pendingByte, 0);
  EXPECT_EQ(Get4Bits(f), 0x9);
  EXPECT_EQ(Get8Bits(f), 0xA0);
}

TEST(BitioRead, EightBitsAtEveryCount) {
  std::uint8_t buf[] = {0x5A, 0xC3, 0x96, 0x00};
  for (int u = 0; u < 8; ++u) {
    BitFile f;
    InitInputBitFile(f, buf);
    if (u > 0) GetBits(f, static_cast<std::uint16_t>(u));
    const std::uint32_t window = (0x5AC396u << u) >> 16;
    EXPECT_EQ(Get8Bits(f), window & 0xFF) << u;
  }
}

TEST(BitioRead, FindBit5) {
  struct Case {
    std::uint8_t first, second;
    int skip;  // bits read before
    int expect;
    int countAfter;
  };
  const Case cases[] = {
      {0x08, 0x00, 0, 5, 3},   // 00001
      {0x80, 0x00, 0, 1, 7},   // 1
      {0x00, 0xFF, 0, 0, 8},   // five zero bits: nothing read
      {0x01, 0x00, 0, 0, 8},   // eight zero bits, a one only at position 8
      {0x02, 0x40, 4, 3, 1},   // after four bits 0010: one at position 3
      {0x00, 0x80, 6, 3, 7},   // 00 | 1: two zeros left, the one bit opens the next byte
      {0x00, 0x20, 6, 5, 5},   // 00 | 001: the one bit at position 5, in the next byte
      {0x00, 0x80, 4, 5, 7},   // 0000 | 1: the one bit in the next byte
      {0x01, 0x00, 4, 4, 8},   // 0001: one bit is the last of the byte, next loaded
      {0x00, 0x40, 4, 0, 7},   // 0000 | 01: window ends before the one bit
  };
  for (const auto& c : cases) {
    std::uint8_t buf[] = {c.first, c.second, 0x00};
    BitFile f;
    InitInputBitFile(f, buf);
    if (c.skip > 0) GetBits(f, static_cast<std::uint16_t>(c.skip));
    EXPECT_EQ(FindBit5(f), c.expect) << int(c.first) << " " << c.skip;
    EXPECT_EQ(f.bitCount, c.countAfter) << int(c.first) << " " << c.skip;
  }
}

TEST(BitioRead, FindBit6) {
  std::uint8_t buf[] = {0x04, 0x02, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  EXPECT_EQ(FindBit6(f), 6);  // 000001
  EXPECT_EQ(f.bitCount, 2);
  EXPECT_EQ(FindBit6(f), 0);  // 00 | 0000: six zero bits
}

TEST(BitioRead, CopyBytesAligned) {
  std::uint8_t buf[] = {0xAB, 0xCD, 0xEF, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  std::uint8_t out[2] = {};
  CopyBytes(f, out, 2);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[1], 0xCD);
  EXPECT_EQ(f.pendingByte, 0xEF);
  EXPECT_EQ(f.bitCount, 8);
  EXPECT_EQ(f.bytePointer, buf + 3);
}

TEST(BitioRead, CopyBytesAtCountFour) {
  std::uint8_t buf[] = {0x7A, 0xBC, 0xDE, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  Get4Bits(f);
  std::uint8_t out[2] = {};
  CopyBytes(f, out, 2);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[1], 0xCD);
  EXPECT_EQ(f.pendingByte, 0xE0);
  EXPECT_EQ(f.bitCount, 4);
  EXPECT_EQ(f.bytePointer, buf + 3);
}

TEST(BitioRead, CopyBytesAtCountZeroCopiesNothing) {
  std::uint8_t buf[] = {0xFF, 0xFF, 0x12, 0x34, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  Get5Bits(f);
  GetBits(f, 11);
  ASSERT_EQ(f.bitCount, 0);
  std::uint8_t out[1] = {0x55};
  CopyBytes(f, out, 1);
  EXPECT_EQ(out[0], 0x55);
  EXPECT_EQ(f.bytePointer, buf + 2);
}

TEST(BitioRead, UngetBitAndBits) {
  std::uint8_t buf[] = {0xB4, 0x6D, 0x00};
  BitFile f;
  InitInputBitFile(f, buf);
  EXPECT_EQ(Get8Bits(f), 0xB4);
  UngetBit(f);
  EXPECT_EQ(f.bitCount, 1);
  EXPECT_EQ(GetBit(f), 0);  // the last bit of B4
  EXPECT_EQ(Get3Bits(f), 3);
  UngetNBits(f, 10);  // back to bit 1 of the first byte
  EXPECT_EQ(GetBits(f, 10), (0xB46Du >> 5) & 0x3FF);
  const BitFile before = f;
  UngetNBits(f, static_cast<std::uint16_t>(24 - f.bitCount + 1));
  EXPECT_EQ(f.bytePointer, before.bytePointer);
  EXPECT_EQ(f.bitCount, before.bitCount);
  EXPECT_EQ(f.pendingByte, before.pendingByte);
}

// Random widths written one way and read back another give the same values.
TEST(BitioRoundTrip, RandomWidths) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::pair<std::uint16_t, int>> items;
    std::vector<std::uint8_t> buf(4096, 0);
    BitFile w;
    OpenOutputBitFile(w, buf.data());
    std::size_t bits = 0;
    for (int i = 0; i < 100; ++i) {
      const int n = 1 + static_cast<int>(rng() % 16);
      const auto v = static_cast<std::uint16_t>(rng() & ((1u << n) - 1));
      items.emplace_back(v, n);
      switch (n) {
        case 2: Put2Bits(w, v); break;
        case 3: Put3Bits(w, v); break;
        case 4: Put4Bits(w, v); break;
        case 7: Put7Bits(w, v); break;
        case 8: Put8Bits(w, v); break;
        case 10: Put10Bits(w, v); break;
        case 12: Put12Bits(w, v); break;
        case 14: Put14Bits(w, v); break;
        case 15: Put15Bits(w, v); break;
        case 16: Put16Bits(w, v); break;
        default: PutBits(w, v, n); break;
      }
      bits += static_cast<std::size_t>(n);
    }
    std::uint32_t fill = 0;
    std::uint8_t* end = CloseOutputBitFile(w, fill);
    ASSERT_EQ(static_cast<std::size_t>(end - buf.data()) * 8, bits + fill);
    BitFile r;
    InitInputBitFile(r, buf.data());
    for (const auto& [v, n] : items) {
      std::uint16_t got;
      switch (n) {
        case 1: got = GetBit(r); break;
        case 2: got = Get2Bits(r); break;
        case 3: got = Get3Bits(r); break;
        case 4: got = Get4Bits(r); break;
        case 5: got = Get5Bits(r); break;
        case 6: got = Get6Bits(r); break;
        case 7: got = Get7Bits(r); break;
        case 8: got = Get8Bits(r); break;
        default: got = GetBits(r, static_cast<std::uint16_t>(n)); break;
      }
      ASSERT_EQ(got, v) << "width " << n;
    }
  }
}

}  // namespace
