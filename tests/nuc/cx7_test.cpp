#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "nuc/cx7.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

// EBCDIC of the characters that CX7 codes use.
Bytes ToEbcdic(const std::string& s) {
  Bytes out;
  for (char ch : s) {
    if (ch >= 'A' && ch <= 'I') out.push_back(static_cast<std::uint8_t>(0xC1 + ch - 'A'));
    else if (ch >= 'J' && ch <= 'R') out.push_back(static_cast<std::uint8_t>(0xD1 + ch - 'J'));
    else if (ch >= 'S' && ch <= 'Z') out.push_back(static_cast<std::uint8_t>(0xE2 + ch - 'S'));
    else if (ch >= 'a' && ch <= 'i') out.push_back(static_cast<std::uint8_t>(0x81 + ch - 'a'));
    else if (ch >= 'j' && ch <= 'r') out.push_back(static_cast<std::uint8_t>(0x91 + ch - 'j'));
    else if (ch >= 's' && ch <= 'z') out.push_back(static_cast<std::uint8_t>(0xA2 + ch - 's'));
    else if (ch >= '0' && ch <= '9') out.push_back(static_cast<std::uint8_t>(0xF0 + ch - '0'));
    else out.push_back(0x40);
  }
  return out;
}

Bytes Code(const Bytes& source, int charCode) {
  std::uint8_t tables[772] = {};
  Cx7FillEncodeTables(tables, static_cast<std::uint8_t>(charCode));
  Bytes in = source;
  const Bytes guard = Of({0x11, 0x22, 0x33, 0x44});
  in.insert(in.end(), guard.begin(), guard.end());
  Bytes out(source.size() * 2 + 48, 0xEE);
  std::uint16_t m = 0;
  rlccx7(in.data(), static_cast<std::int32_t>(source.size()), tables, out.data(), m);
  EXPECT_EQ(Bytes(in.end() - 4, in.end()), guard);
  out.resize(m);
  return out;
}

Decoded Decode(const Bytes& coded, int charCode, std::uint32_t capacity = 70000) {
  return DecodeChunk(charCode == 0 ? rldcx7e : rldcx7a, coded, 0, 0, capacity);
}

// A coded stream given as control letters and data: `letters` are written in the character
// code, data bytes are given separately in order ('.' marks where the next data goes).
Bytes Stream(const std::string& pattern, const std::vector<Bytes>& data, int charCode) {
  Bytes out;
  std::size_t next = 0;
  for (char ch : pattern) {
    if (ch == '.') {
      const Bytes& d = data[next++];
      out.insert(out.end(), d.begin(), d.end());
    } else {
      const Bytes b = charCode == 0 ? ToEbcdic(std::string(1, ch)) : Text(std::string(1, ch));
      out.insert(out.end(), b.begin(), b.end());
    }
  }
  return out;
}

}  // namespace

TEST(Cx7, WorkedExamples) {
  const Bytes ascii = Cat({Text("abc"), Repeat(0x20, 10)});
  EXPECT_EQ(Hex(Code(ascii, 1)), Hex(Of({0x43, 0x61, 0x62, 0x63, 0x6E, 0x20})));
  EXPECT_EQ(Decode(Code(ascii, 1), 1).out, ascii);
  const Bytes ebcdic = Cat({Of({0x81, 0x82, 0x83}), Repeat(0x40, 10)});
  EXPECT_EQ(Hex(Code(ebcdic, 0)), Hex(Of({0xC3, 0x81, 0x82, 0x83, 0x95, 0x40})));
  EXPECT_EQ(Decode(Code(ebcdic, 0), 0).out, ebcdic);
}

TEST(Cx7, RunsAndLiteralsOfEveryLengthClass) {
  struct Case {
    std::size_t run;
    std::string pattern;  // '.' stands for the run byte
  } runs[] = {{3, "g."},  {22, "z."},    {23, "0."},    {32, "9."},      {33, "g.7."},
              {34, "g.8."}, {35, "g.9."}, {36, "9.h."}, {40, "9.l."}, {67, "9.g.9."}};
  for (int code = 0; code < 2; ++code) {
    for (const Case& c : runs) {
      SCOPED_TRACE(c.run);
      const Bytes source = Repeat('x', c.run);
      const std::vector<Bytes> data(4, Text("x"));
      const Bytes expected = Stream(c.pattern, data, code);
      EXPECT_EQ(Hex(Code(source, code)), Hex(expected));
      EXPECT_EQ(Decode(expected, code).out, source);
    }
  }
  struct Literal {
    std::size_t length;
    std::string pattern;
    std::vector<std::size_t> pieces;
  } literals[] = {{1, "A.", {1}},        {26, "Z.", {26}},         {27, "a.", {27}},
                  {32, "f.", {32}},      {33, "f.A.", {32, 1}},    {40, "f.H.", {32, 8}}};
  for (int code = 0; code < 2; ++code) {
    for (const Literal& l : literals) {
      SCOPED_TRACE(l.length);
      const Bytes source = Distinct(l.length);
      std::vector<Bytes> data;
      std::size_t at = 0;
      for (std::size_t size : l.pieces) {
        data.emplace_back(source.begin() + at, source.begin() + at + size);
        at += size;
      }
      const Bytes expected = Stream(l.pattern, data, code);
      EXPECT_EQ(Hex(Code(source, code)), Hex(expected));
      EXPECT_EQ(Decode(expected, code).out, source);
    }
  }
}

TEST(Cx7, DecoderStepsOverSpacesAtCodePositions) {
  const Bytes source = Cat({Text("abc"), Repeat(0x20, 10)});
  EXPECT_EQ(Decode(Of({0x20, 0x43, 0x61, 0x62, 0x63, 0x20, 0x20, 0x6E, 0x20, 0x20}), 1).out, source);
  EXPECT_EQ(Decode(Of({0x40, 0xC3, 0x81, 0x82, 0x83, 0x40, 0x95, 0x40, 0x40}), 0).out,
            Cat({Of({0x81, 0x82, 0x83}), Repeat(0x40, 10)}));
  EXPECT_EQ(Decode(Of({0x20, 0x20}), 1).rc, 0);
  EXPECT_EQ(Decode({}, 1).out, Bytes{});
  EXPECT_EQ(Decode({}, 0).rc, 0);
}

TEST(Cx7, DecoderRefusesBadChunks) {
  struct Case {
    const char* name;
    int charCode;
    Bytes coded;
    std::int32_t rc;
    std::uint32_t capacity;
  } cases[] = {
      {"ASCII byte above 0x7F", 1, Of({0x80}), 60, 100},
      {"ASCII exclamation mark", 1, Of({'!'}), 60, 100},
      {"ASCII brace", 1, Of({'{'}), 60, 100},
      {"ASCII EBCDIC letter", 1, Of({0xC1, 'x'}), 60, 100},
      {"EBCDIC byte below 0x40", 0, Of({0x3F}), 60, 100},
      {"EBCDIC ASCII letter", 0, Of({0x41, 'x'}), 60, 100},
      {"end code before the end ASCII", 1, Of({'A', 'x', 0x7F, 'A', 'y'}), 62, 100},
      {"end code before the end EBCDIC", 0, Of({0x7F, 0xC1, 'y'}), 62, 100},
      {"literal cut off", 1, Of({'C', 'x'}), 62, 100},
      {"run without its byte", 1, Of({'g'}), 62, 100},
      {"run beyond capacity", 1, Of({'9', 'x'}), 60, 31},
      {"literal beyond capacity", 1, Of({'B', 'x', 'y'}), 60, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.coded, c.charCode, c.capacity);
    EXPECT_EQ(d.rc, c.rc);
    EXPECT_EQ(d.outLength, 0xBEEF);
  }
}

TEST(Cx7, Tables) {
  std::uint8_t enc[772] = {};
  std::uint8_t dec[1548];
  std::fill(std::begin(dec), std::end(dec), 0x99);
  Cx7FillEncodeTables(enc, 1);
  Cx7FillDecodeTables(dec, 1);
  EXPECT_EQ(enc[0x00], 'A');
  EXPECT_EQ(enc[0xF3], 'P');
  EXPECT_EQ(enc[256 + 0xF3], 'D');
  EXPECT_EQ(std::string(enc + 512, enc + 576),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef  ghijklmnopqrstuvwxyz0123456789");
  EXPECT_EQ(dec['P'], 0xF0);
  EXPECT_EQ(dec[256 + 'P'], 0x0F);
  EXPECT_EQ(dec['A'], 0);
  EXPECT_EQ(dec['Q'], 0);
  EXPECT_EQ(dec[512], 0x99);  // only the two nibble tables are written
  Cx7FillEncodeTables(enc, 0);
  Cx7FillDecodeTables(dec, 0);
  EXPECT_EQ(Bytes(enc + 512, enc + 576),
            ToEbcdic("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef  ghijklmnopqrstuvwxyz0123456789"));
  EXPECT_EQ(enc[0x9A], 0xD1);  // high nibble 9: J
  EXPECT_EQ(enc[256 + 0x9A], 0xD2);  // low nibble 10: K
  EXPECT_EQ(dec[0xD7], 0xF0);
  EXPECT_EQ(dec[256 + 0xC2], 0x01);
}

TEST(Cx7, RandomPiecesRoundTrip) {
  std::uint32_t seed = 777;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  for (int iteration = 0; iteration < 500; ++iteration) {
    const std::size_t n = 1 + next() % 2048;
    Bytes piece(n);
    const unsigned spread = 1 + next() % 6;
    for (auto& b : piece) b = static_cast<std::uint8_t>(next() % spread == 0 ? next() : 0x20 + spread);
    const int code = static_cast<int>(next() % 2);
    const Decoded d = Decode(Code(piece, code), code);
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(d.out, piece);
  }
}

// The header letter routines against the tables, for every byte and counts that leave tails
// of every length after the whole 16-byte steps.
TEST(Cx7, HeaderLettersAsTheTablesGiveThem) {
  for (std::uint8_t code = 0; code < 2; ++code) {
    std::uint8_t enc[772] = {};
    std::uint8_t dec[1548] = {};
    Cx7FillEncodeTables(enc, code);
    Cx7FillDecodeTables(dec, code);
    for (int count : {1, 15, 16, 17, 255, 256, 1020}) {
      Bytes bytes(count), high(count), low(count);
      for (int i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + count);
      Cx7BytesToLetters(code, bytes.data(), count, high.data(), low.data());
      for (int i = 0; i < count; ++i) {
        ASSERT_EQ(high[i], enc[bytes[i]]) << i;
        ASSERT_EQ(low[i], enc[256 + bytes[i]]) << i;
      }
    }
    // Every pair of a high and a low byte, letters or not.
    const int count = 256 * 256;
    Bytes letters(2 * count);
    for (int i = 0; i < count; ++i) {
      letters[i] = static_cast<std::uint8_t>(i >> 8);
      letters[count + i] = static_cast<std::uint8_t>(i);
    }
    Bytes want(count);
    for (int i = 0; i < count; ++i) want[i] = static_cast<std::uint8_t>(dec[letters[i]] | dec[256 + letters[count + i]]);
    Cx7LettersToBytes(code, letters.data(), count);
    ASSERT_EQ(Bytes(letters.begin(), letters.begin() + count), want);
    for (int count : {1, 15, 17, 255}) {
      Bytes some(2 * count), expect(count);
      for (int i = 0; i < 2 * count; ++i) some[i] = static_cast<std::uint8_t>(i * 37 + 0xC0);
      for (int i = 0; i < count; ++i) expect[i] = static_cast<std::uint8_t>(dec[some[i]] | dec[256 + some[count + i]]);
      Cx7LettersToBytes(code, some.data(), count);
      ASSERT_EQ(Bytes(some.begin(), some.begin() + count), expect) << count;
    }
  }
}
