#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "nuc/cx8.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

// Codes a piece; the 4 bytes after it are borrowed and must come back unchanged.
Bytes Code(const Bytes& source, int charCode) {
  std::uint8_t table[256];
  Cx8FillRunCodeTable(table, static_cast<std::uint8_t>(charCode));
  Bytes in = source;
  const Bytes guard = Of({0x11, 0x22, 0x33, 0x44});
  in.insert(in.end(), guard.begin(), guard.end());
  Bytes out(source.size() + source.size() / 64 + 48, 0xEE);
  std::uint16_t m = 0xBEEF;
  rlccx8(in.data(), static_cast<std::int32_t>(source.size()), table, out.data(), m);
  EXPECT_EQ(Bytes(in.end() - 4, in.end()), guard);
  // The coder may use 32 bytes of room after its output, no more.
  EXPECT_TRUE(std::all_of(out.begin() + m + 32, out.end(), [](std::uint8_t v) { return v == 0xEE; }));
  out.resize(m);
  return out;
}

Decoded Decode(const Bytes& coded, int charCode, std::uint32_t capacity = 70000) {
  return DecodeChunk(rldcx8, coded, NucSpaceChar(static_cast<std::uint8_t>(charCode)),
                     NucZeroChar(static_cast<std::uint8_t>(charCode)), capacity);
}

struct CodeCase {
  const char* name;
  int charCode;
  Bytes source;
  Bytes coded;
};

}  // namespace

TEST(Cx8, WorkedExamplesCodeAndDecode) {
  const CodeCase cases[] = {
      {"abc and ten spaces ASCII", 1, Cat({Text("abc"), Repeat(0x20, 10)}), Of({0x02, 0x61, 0x62, 0x63, 0xA9})},
      {"abc and ten spaces EBCDIC", 0, Cat({Of({0x81, 0x82, 0x83}), Repeat(0x40, 10)}), Of({0x02, 0x81, 0x82, 0x83, 0xA9})},
      {"one byte", 1, Of({0x37}), Of({0x00, 0x37})},
      {"two equal bytes", 1, Of({0x37, 0x37}), Of({0x01, 0x37, 0x37})},
      {"a a b", 1, Text("aab"), Of({0x02, 0x61, 0x61, 0x62})},
      {"a b b b", 1, Text("abbb"), Of({0x00, 0x61, 0xE2, 0x62})},
      {"32 zero bytes", 1, Repeat(0, 32), Of({0x9F})},
      {"33 zero bytes", 1, Repeat(0, 33), Of({0x80, 0x20})},
      {"256 zero bytes", 1, Repeat(0, 256), Of({0x80, 0xFF})},
      {"257 zero bytes", 1, Repeat(0, 257), Of({0x81, 0x01, 0x00})},
      {"300 ASCII zeros", 1, Repeat(0x30, 300), Of({0xC1, 0x01, 0x2B})},
      {"300 EBCDIC zeros", 0, Repeat(0xF0, 300), Of({0xC1, 0x01, 0x2B})},
      {"40 x", 1, Repeat('x', 40), Of({0xE0, 0x27, 0x78})},
      {"2048 ASCII spaces", 1, Repeat(0x20, 2048), Of({0xA1, 0x07, 0xFF})},
      {"ASCII space in EBCDIC is a plain byte", 0, Repeat(0x20, 5), Of({0xE4, 0x20})},
      {"literal 124", 1, Distinct(124), Cat({Of({0x7B}), Distinct(124)})},
      {"literal 125", 1, Distinct(125), Cat({Of({0x7D, 0x7C}), Distinct(125)})},
      {"literal 256", 1, Distinct(256), Cat({Of({0x7D, 0xFF}), Distinct(256)})},
      {"literal 257", 1, Distinct(257), Cat({Of({0x7E, 0x01, 0x00}), Distinct(257)})},
      {"literal 2048", 1, Distinct(2048), Cat({Of({0x7E, 0x07, 0xFF}), Distinct(2048)})},
      {"literal then run then literal", 1, Cat({Text("ab"), Repeat('c', 3), Text("d")}),
       Of({0x01, 'a', 'b', 0xE2, 'c', 0x00, 'd'})},
  };
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes coded = Code(c.source, c.charCode);
    EXPECT_EQ(Hex(coded), Hex(c.coded));
    const Decoded d = Decode(c.coded, c.charCode);
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(d.out, c.source);
  }
}

TEST(Cx8, DecoderAcceptsFormsTheCoderNeverWrites) {
  struct Case {
    const char* name;
    Bytes coded;
    Bytes out;
  } cases[] = {
      {"empty input", {}, {}},
      {"medium literal of one byte", Of({0x7D, 0x00, 'x'}), Text("x")},
      {"medium run of one zero byte", Of({0x80, 0x00}), Of({0x00})},
      {"medium run of two spaces", Of({0xA0, 0x01}), Repeat(0x20, 2)},
      {"long literal of 2049 bytes", Cat({Of({0x7E, 0x08, 0x00}), Distinct(2049)}), Distinct(2049)},
      {"long run of 257 zero bytes", Of({0x81, 0x01, 0x00}), Repeat(0, 257)},
      {"long run of 2048 bytes", Of({0xE1, 0x07, 0xFF, 'q'}), Repeat('q', 2048)},
      {"end code inside a literal is data", Of({0x01, 0x7F, 0x7F}), Of({0x7F, 0x7F})},
      {"end code as a run byte is data", Of({0xE2, 0x7F}), Repeat(0x7F, 3)},
      {"end code as a count is data", Cat({Of({0x7D, 0x7F}), Distinct(128)}), Distinct(128)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.coded, 1);
    EXPECT_EQ(d.rc, 0);
    EXPECT_EQ(d.out, c.out);
  }
}

TEST(Cx8, DecoderRefusesBadChunks) {
  struct Case {
    const char* name;
    Bytes coded;
    std::int32_t rc;
    std::uint32_t capacity;
  } cases[] = {
      {"invalid code", Of({0x7C}), 60, 70000},
      {"invalid code after a literal", Of({0x00, 'a', 0x7C, 0x00, 'b'}), 60, 70000},
      {"end code before the end", Of({0x00, 'a', 0x7F, 0x00, 'b'}), 62, 70000},
      {"long literal count 255", Cat({Of({0x7E, 0x00, 0xFF}), Distinct(256)}), 60, 70000},
      {"long literal count 2049", Cat({Of({0x7E, 0x08, 0x01}), Distinct(2050)}), 60, 70000},
      {"long run of 256", Of({0x81, 0x00, 0xFF}), 60, 70000},
      {"long run of 2049", Of({0x81, 0x08, 0x00}), 60, 70000},
      {"long run count FFFF", Of({0xE1, 0xFF, 0xFF, 'a'}), 60, 70000},
      // Operands that run past the chunk's end.
      {"short literal cut off", Of({0x05, 'a', 'b'}), 62, 70000},
      {"medium literal without count", Of({0x7D}), 62, 70000},
      {"medium literal cut off", Of({0x7D, 0x10, 'a'}), 62, 70000},
      {"long literal without count", Of({0x7E, 0x01}), 62, 70000},
      {"run without its byte", Of({0xE2}), 62, 70000},
      {"medium run without count", Of({0xA0}), 62, 70000},
      {"long run without count", Of({0xC1, 0x01}), 62, 70000},
      {"medium byte run without its byte", Of({0xE0, 0x40}), 62, 70000},
      // Output beyond the capacity.
      {"run beyond capacity", Of({0x9F}), 60, 31},
      {"literal beyond capacity", Of({0x03, 'a', 'b', 'c', 'd'}), 60, 3},
      {"second code beyond capacity", Of({0x9F, 0x00, 'x'}), 60, 32},
  };
  // The same chunks behind 600 bytes of good codes (literals and runs in turn), which the
  // decoder takes on its fast path: the same results.
  Bytes lead(600);
  for (std::size_t i = 0; i < lead.size(); ++i)
    lead[i] = (i / 7) % 2 == 0 ? 0x20 : static_cast<std::uint8_t>('a' + i % 26);
  const Bytes leadCoded = Code(lead, 1);
  const auto leadSize = static_cast<std::uint32_t>(lead.size());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.coded, 1, c.capacity);
    EXPECT_EQ(d.rc, c.rc);
    EXPECT_EQ(d.outLength, 0xBEEF);  // left alone on failure
    const Decoded led = Decode(Cat({leadCoded, c.coded}), 1, c.capacity + leadSize);
    EXPECT_EQ(led.rc, c.rc);
    EXPECT_EQ(led.outLength, 0xBEEF);
  }
  EXPECT_EQ(Decode(Of({0x9F}), 1, 32).rc, 0);  // exactly the capacity is fine
  EXPECT_EQ(Decode(Cat({leadCoded, Of({0x9F})}), 1, 32 + leadSize).rc, 0);
}

TEST(Cx8, RunCodeTable) {
  for (int code = 0; code < 2; ++code) {
    std::uint8_t table[256];
    Cx8FillRunCodeTable(table, static_cast<std::uint8_t>(code));
    for (int b = 0; b < 256; ++b) {
      std::uint8_t expected = 0xE0;
      if (b == 0) expected = 0x80;
      if (b == (code == 0 ? 0x40 : 0x20)) expected = 0xA0;
      if (b == (code == 0 ? 0xF0 : 0x30)) expected = 0xC0;
      EXPECT_EQ(table[b], expected) << code << " " << b;
    }
  }
}

TEST(Cx8, RandomPiecesRoundTrip) {
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  for (int iteration = 0; iteration < 500; ++iteration) {
    const std::size_t n = 1 + next() % 2048;
    Bytes piece(n);
    // Few distinct values, so runs of every group and literals of every size occur.
    const std::uint8_t values[] = {0x00, 0x20, 0x30, 0x40, 0xF0, 0x7F, 0x7C, 0xE1,
                                   static_cast<std::uint8_t>(next())};
    const unsigned spread = 1 + next() % 9;
    for (auto& b : piece) b = values[next() % spread];
    const int code = static_cast<int>(next() % 2);
    const Decoded d = Decode(Code(piece, code), code);
    ASSERT_EQ(d.rc, 0);
    ASSERT_EQ(d.out, piece);
  }
}
