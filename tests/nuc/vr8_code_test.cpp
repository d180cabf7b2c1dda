// VR8 pieces: the worked codings, the decoder's return codes, hostile pieces, round trips.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/nuc/vr8_test_support.h"

namespace {

using namespace vr8test;

std::string Repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

struct PieceCase {
  const char* name;
  Bytes piece;
  Bytes coded;
};

std::vector<PieceCase> AsciiPieces() {
  const std::string letters20 = "ABCDEFGHIJKLMNOPQRST";
  return {
      {"literal, run, literal", Text("ABCCCCCD"), Hex("81 60 F0 41 42 43 44")},
      {"one byte", Text("x"), Hex("80 F0 78")},
      {"two bytes", Text("AB"), Hex("81 F0 41 42")},
      {"100 spaces", Text(std::string(100, ' ')), Hex("8E 80 DF 20")},
      {"abc and ten spaces", Text("abc" + std::string(10, ' ')), Hex("82 A7 E0 61 62 63 20")},
      {"xy five times, thirty z", Text(Repeat("xy", 5) + std::string(30, 'z')),
       Concat(Hex("88 BA 3F 80"), Text(Repeat("xy", 5) + "z"))},
      {"sixteen digits", Text("0123456789012345"),
       Hex("89 7E 00 06 BD 34 EC 5C 7F 4F 37 4F 28")},
      {"two-bit groups", Text("0011001100110011"), Hex("89 7E 00 06 22 44 24 42 44 24 40")},
      {"twenty letters", Text(letters20),
       Hex("89 FE 0B 0A 96 FA E9 51 BA 9D F3 4B AA 81 F6 1C 4A 2F E9 78 40")},
  };
}

TEST(Vr8Piece, WorkedCodings) {
  for (const auto& c : AsciiPieces()) {
    EXPECT_EQ(Encode(c.piece, 1), c.coded) << c.name;
    const Decoded d = Decode(c.coded, 1);
    EXPECT_EQ(d.rc, 0) << c.name;
    EXPECT_EQ(d.out, c.piece) << c.name;
  }
}

TEST(Vr8Piece, PoolOf15IsStoredPoolOf16IsCoded) {
  const Bytes p15 = Text("ABCDEFGHIJKLMNO");
  const Bytes c15 = Encode(p15);
  EXPECT_EQ(Bytes(c15.begin() + 2, c15.end()), p15);  // 1000, 7-bit literal code, 1111, fill
  const Bytes p16 = Text("ABCDEFGHIJKLMNOP");
  const Bytes c16 = Encode(p16);
  EXPECT_EQ(c16[2] >> 5, 0) << "pool code version";
  EXPECT_EQ(c16[3] & 0x1F, 'P' >> 3) << "check byte";
  EXPECT_EQ(Decode(c16).out, p16);
}

TEST(Vr8Piece, AnyStartCodeBeginningWithOne) {
  for (int start = 8; start < 16; ++start) {
    Bytes coded = Hex("80 F0 78");
    coded[0] = static_cast<std::uint8_t>(start << 4);
    const Decoded d = Decode(coded);
    EXPECT_EQ(d.rc, 0) << start;
    EXPECT_EQ(d.out, Text("x")) << start;
  }
}

TEST(Vr8Piece, ThousandTwentyFourCodesDecode) {
  const Bytes piece = Text(Repeat("xyyy", 512));  // literal 1, run 3, 512 times
  const Bytes coded = Encode(piece);
  EXPECT_EQ(coded[0], 0x80);  // start code, then the literal code 0000
  const Decoded d = Decode(coded);
  EXPECT_EQ(d.rc, 0);
  EXPECT_EQ(d.out, piece);
}

TEST(Vr8Piece, LongestRunDecodes) {
  // Run of 2134: 11101 and eleven one bits; then the end code and the stored pool byte.
  const Bytes coded = Concat(Bits("1000 11101 11111111111 1111"), Text("q"));
  const Decoded d = Decode(coded, 1, 2134);
  EXPECT_EQ(d.rc, 0);
  EXPECT_EQ(d.out, Bytes(2134, 'q'));
}

TEST(Vr8Piece, EveryCodeWidthDecodes) {
  // Literals of 1, 5, 13, 21 and runs of 3, 7, 15, 23, 87 bytes, each code at its smallest value.
  const Bytes bits = Bits(
      "1000 0000 0100 1000000 1010000 1001000 1011000 1100000000 1101000000 "
      "1110100000000000 1111");
  Bytes piece;
  auto lit = [&](int n, char base) {
    for (int i = 0; i < n; ++i) piece.push_back(static_cast<std::uint8_t>(base + (i % 2)));
  };
  auto run = [&](int n, char b) { piece.insert(piece.end(), static_cast<std::size_t>(n), b); };
  lit(1, 'a');
  run(3, 'b');
  lit(5, 'c');
  run(7, 'e');
  lit(13, 'f');
  run(15, 'h');
  lit(21, 'i');
  run(23, 'k');
  run(87, 'l');
  const Bytes coded = Encode(piece);
  ASSERT_EQ(bits.size(), 10u);  // 80 bits, no fill
  EXPECT_EQ(Bytes(coded.begin(), coded.begin() + 10), bits);
  EXPECT_EQ(Decode(coded).out, piece);
}

// Return codes of the decoder and of the pool decoder under it.
TEST(Vr8Piece, ReturnCodes) {
  const Bytes letters = Hex("89 FE 0B 0A 96 FA E9 51 BA 9D F3 4B AA 81 F6 1C 4A 2F E9 78 40");
  Bytes cut(letters.begin(), letters.end() - 3);
  Bytes longer = Concat(letters, Hex("FF FF"));
  Bytes version = letters;
  version[2] = static_cast<std::uint8_t>(version[2] | 0x20);
  std::string codes1025 = "1000";
  for (int i = 0; i < 1025; ++i) codes1025 += "0100";
  codes1025 += "1111";
  const Bytes head16 = Hex("89 7E");  // literal of 16: a coded pool follows
  struct Case {
    const char* name;
    Bytes coded;
    std::int32_t rc;
  };
  const Case cases[] = {
      {"first bit 0", Hex("7F F0 78"), 60},
      {"first bit 0, nothing else", Hex("00"), 60},
      {"1025 codes", Bits(codes1025), 61},
      {"version 001", version, 70},
      {"zero run without its count", Concat(head16, Bits("000 00000000 00110000 11010 00000")),
       71},
      {"pool code ends after its check byte", Concat(head16, Bits("000 00000000 00110000")),
       72},
      {"two bytes too many", longer, 73},
      {"last three bytes cut", cut, 74},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.coded).rc, c.rc) << c.name;
    EXPECT_EQ(Decode(c.coded, 1, 2048, true).rc, c.rc) << c.name << " (guarded)";
  }
}

// Pieces no coder writes: every one ends in a return code, inside the buffers it was given.
TEST(Vr8Piece, HostilePieces) {
  std::string morePool = "1000 11100 11110101011 0000 1111";  // literal 2048, literal 1
  struct Case {
    const char* name;
    Bytes coded;
    std::uint32_t capacity;
    std::int32_t rc;
  };
  const Case cases[] = {
      {"empty piece", Bytes{}, 2048, 60},
      {"no end code inside the input", Hex("80"), 2048, 60},
      {"code reaching past the input", Bits("1000 1110 0000"), 2048, 60},
      {"stored pool past the input", Hex("80 0F 41"), 2048, 60},
      {"pool longer than 2048 bytes", Bits(morePool), 65535, 60},
      {"more output than room", Hex("8E 80 DF 20"), 99, 60},
      {"output fits exactly", Hex("8E 80 DF 20"), 100, 0},
      {"output beyond 65535 bytes",
       Concat(Bits("1000" + Repeat("11101 11111111111", 31) + "1111"),
              Text(Repeat("ab", 15) + "a")),
       100000, 60},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.coded, 1, c.capacity).rc, c.rc) << c.name;
    EXPECT_EQ(Decode(c.coded, 1, c.capacity, true).rc, c.rc) << c.name << " (guarded)";
  }
}

TEST(Vr8Piece, GuardBytesUnchangedOnSuccess) {
  for (const auto& c : AsciiPieces()) {
    EXPECT_EQ(Decode(c.coded, 1, 2048, true).out, c.piece) << c.name;
  }
}

// Random pieces of every kind code and decode back, in both character codes.
TEST(Vr8Piece, RandomRoundTrips) {
  std::mt19937 rng(42);
  const std::string alphabets[] = {
      "0123456789", "0123456789 .,-", "ABCDEFGHIJKLMNOPQRSTUVWXYZ ", std::string(1, 'x') + "y",
  };
  for (int round = 0; round < 600; ++round) {
    const std::size_t len = 1 + rng() % 2048;
    Bytes piece(len);
    const int kind = static_cast<int>(rng() % 6);
    for (std::size_t i = 0; i < len; ++i) {
      if (kind < 4) {
        const auto& a = alphabets[kind];
        piece[i] = static_cast<std::uint8_t>(a[rng() % a.size()]);
      } else if (kind == 4) {
        piece[i] = static_cast<std::uint8_t>(rng());
      } else {
        piece[i] = static_cast<std::uint8_t>(i == 0 || rng() % 8 == 0 ? rng() : piece[i - 1]);
      }
    }
    if (rng() % 4 == 0) {  // a long run somewhere
      const std::size_t at = rng() % len;
      const std::size_t n = std::min<std::size_t>(len - at, rng() % 2048);
      std::fill_n(piece.begin() + static_cast<long>(at), n, static_cast<std::uint8_t>(rng()));
    }
    const auto code = static_cast<std::uint8_t>(rng() % 2);
    const Bytes coded = Encode(piece, code);
    const Decoded d = Decode(coded, code);
    ASSERT_EQ(d.rc, 0) << "round " << round;
    ASSERT_EQ(d.out, piece) << "round " << round;
  }
}

TEST(Vr8Piece, EbcdicDigits) {
  const Bytes piece = Hex("F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 F0 F1 F2 F3 F4 F5");
  const Bytes coded = Encode(piece, 0);
  // Same ranks as the ASCII digits: the same code but the high bits of the check byte F5.
  Bytes expect = Hex("89 7E 00 06 BD 34 EC 5C 7F 4F 37 4F 28");
  expect[3] = 0x1E;
  EXPECT_EQ(coded, expect);
  EXPECT_EQ(Decode(coded, 0).out, piece);
}

}  // namespace
