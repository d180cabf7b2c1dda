// Where the writers put their bytes: length forms, block boundaries, first-record words, and
// the file header's fields in both forms and codes.
#include <gtest/gtest.h>

#include <functional>

#include "cmp_test_util.h"

using namespace cmptest;

namespace {

std::vector<Bytes> WriteAndRead(const Options& o, const std::function<void(Writer&)>& body) {
  ScratchDir dir;
  {
    Writer w(dir / "c", o);
    EXPECT_EQ(w.rc, 0);
    body(w);
    EXPECT_EQ(w.Close(), 0);
  }
  return ReadBlocks(dir / "c");
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t n) {
  if (from + n > b.size()) return {};
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

TEST(RecordLayout, LengthForms) {
  const struct {
    const char* what;
    std::size_t name, segment, bitmap;
    std::size_t block, at;  // where the length bytes stand
    Bytes bytes;
  } cases[] = {
      {"header record of 126 bytes", 94, 1, 0, 0, 5, {0x7E, 0x30}},
      {"header record of 127 bytes", 95, 1, 0, 0, 5, {0x80, 0x7F, 0x30}},
      {"segment of 126 bytes", 1, 126, 0, 1, 9, {0x7E}},
      {"segment of 127 bytes", 1, 127, 0, 1, 9, {0x80, 0x7F}},
      {"matrix header of 127 bytes", 1, 1, 124, 1, 4, {0x00, 0x7F, 0x8A}},
      {"matrix header of 128 bytes", 1, 1, 125, 1, 4, {0x00, 0x80, 0x80, 0x8A}},
  };
  for (const auto& c : cases) {
    Options o;
    const auto blocks = WriteAndRead(o, [&](Writer& w) {
      EXPECT_EQ(w.Header(std::string(c.name, 'n')), 0);
      EXPECT_EQ(w.Put(Segments({Bytes(c.segment, 0x55)}), 0, 2, Bytes(c.bitmap, 0x11)), 0);
    });
    ASSERT_EQ(blocks.size(), 2u) << c.what;
    EXPECT_EQ(Slice(blocks[c.block], c.at, c.bytes.size()), c.bytes) << c.what;
  }
}

TEST(RecordLayout, BlockBoundaries) {
  Options o;
  o.fixed = 1;
  o.blockSize = 80;
  // A header record of 74 bytes fills the first block to its checksum: the block goes out at
  // once and the matrix record begins the second block at offset 4.
  auto blocks = WriteAndRead(o, [](Writer& w) {
    EXPECT_EQ(w.Header(std::string(40, 'n')), 0);
    EXPECT_EQ(w.Put(Segments({B("ABC")}), 0, 2), 0);
  });
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(Slice(blocks[1], 2, 3), (Bytes{0x80, 0x04, 0x00}));
  // A matrix record head that does not fit the room left starts a new block; the rest of the
  // old one is zero.
  blocks = WriteAndRead(o, [](Writer& w) {
    EXPECT_EQ(w.Header("a"), 0);
    EXPECT_EQ(w.Put(Segments({Bytes(31, 0x55)}), 0, 2), 0);
    EXPECT_EQ(w.Put(Segments({B("ABC")}), 0, 2), 0);
  });
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(Slice(blocks[0], 76, 2), (Bytes{0, 0}));
  EXPECT_EQ(Slice(blocks[1], 2, 4), (Bytes{0x80, 0x04, 0x00, 0x03}));
  // A segment running on into the next block: that block begins no record.
  blocks = WriteAndRead(o, [](Writer& w) {
    EXPECT_EQ(w.Header("a"), 0);
    EXPECT_EQ(w.Put(Segments({Bytes(150, 0x55)}), 0, 2), 0);
    EXPECT_EQ(w.Put(Segments({B("ABC")}), 0, 2), 0);
  });
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(Slice(blocks[1], 2, 2), (Bytes{0x80, 0x00}));
  EXPECT_EQ(Slice(blocks[2], 2, 2), (Bytes{0x80, 4 + 44}));
  // Variable blocks: every matrix record ends its block.
  o.fixed = 0;
  o.blockSize = 32767;
  blocks = WriteAndRead(o, [](Writer& w) {
    EXPECT_EQ(w.Header("a", 1), 0);
    EXPECT_EQ(w.System({}, 1), 0);
    EXPECT_EQ(w.User({}), 0);
    EXPECT_EQ(w.Put(Segments({B("ABC")}), 0, 2), 0);
    EXPECT_EQ(w.Put(Segments({B("DEF")}), 0, 1), 0);
  });
  ASSERT_EQ(blocks.size(), 3u);
  // The header record with empty system and user headers still carries the user length.
  EXPECT_EQ(blocks[0].size(), 4u + 2 + 33 + 2 + 2);
  EXPECT_EQ(blocks[2], Block8({0x00, 0x02, 0x8E, 0x08, 0x03, 0x44, 0x45, 0x46}));
}

TEST(RecordLayout, EmptyUserHeader) {
  // A binary user header of 0 bytes with nothing behind it reads back as none (9); in the
  // letter form its four length letters are followed by nothing and it reads back empty.
  for (std::int32_t modeWord : {0, 1}) {
    ScratchDir dir;
    Options o;
    o.modeWord = modeWord;
    o.blockSize = 4095;
    {
      Writer w(dir / "c", o);
      EXPECT_EQ(w.Header("a", 1), 0);
      EXPECT_EQ(w.User({}), 0);
    }
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    Bytes s, u;
    EXPECT_EQ(r.System(s), 0);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(r.User(u), modeWord == 1 ? 0 : 9);
    EXPECT_TRUE(u.empty());
  }
}

TEST(RecordLayout, EmptyLastMember) {
  // Positioning onto a last member that holds nothing but its header.
  for (std::int32_t modeWord : {0, 1}) {
    ScratchDir dir;
    Options o;
    o.modeWord = modeWord;
    o.blockSize = 4095;
    {
      Writer w(dir / "c", o);
      EXPECT_EQ(w.Header("a"), 0);
      EXPECT_EQ(w.Put(Segments({B("ABC")}), 0, 2), 0);
      EXPECT_EQ(w.Flush(), 0);
      EXPECT_EQ(w.Header("b"), 0);
    }
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Position(), 0);
    EXPECT_EQ(r.kind, 1);
    Header h;
    ASSERT_EQ(r.GetHeader(h), 0);
    EXPECT_EQ(h.name, "b");
    EXPECT_EQ(r.Position(), 2);
  }
}

TEST(RecordLayout, FileHeaderFields) {
  struct Case {
    const char* what;
    std::int32_t modeWord, charCode, org, format;
    std::string name;
    std::size_t at;  // offset of the organisation field in the first block
    Bytes fields;    // organisation and format as stored (letters in the 7-bit form)
    std::int32_t orgBack, formatBack;
  };
  const Case cases[] = {
      {"EBCDIC organisation 4", 0, 0, 4, 1, "a", 12, {0xE4, 0x40}, 4, 1},
      {"ASCII organisation 5", 0, 1, 5, 11, "a", 12, {0x4C, 0x88}, 5, 3},
      {"EBCDIC organisation 5", 0, 0, 5, 19, "a", 12, {0xD3, 0x88}, 5, 3},
      {"format 12 comes back as 0", 0, 1, 0, 12, "a", 12, {0x53, 0x80}, 0, 0},
      {"organisation 7", 0, 1, 7, 24, "a", 12, {0x53, 0xC0}, 0, 24},
      {"letters of format 16", 1, 1, 2, 16, "ab", 16, B("FCJB"), 2, 16},
      {"letters of EBCDIC format 17", 1, 0, 3, 17, "ab", 16, {0xD4, 0xC5, 0xC8, 0xC2}, 3, 17},
      {"format 18", 1, 1, 6, 18, "", 16, B("FADA"), 6, 18},
      {"formats 8 and 9", 0, 1, 1, 8, "", 12, {0x49, 0x81}, 1, 8},
      {"format 9", 0, 1, 1, 9, "x", 12, {0x49, 0x41}, 1, 9},
      {"format 2", 0, 1, 1, 2, "x", 12, {0x49, 0x20}, 1, 2},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    Options o;
    o.modeWord = c.modeWord;
    o.charCode = c.charCode;
    o.blockSize = c.modeWord == 1 ? 4095 : 512;
    {
      Writer w(dir / "c", o);
      EXPECT_EQ(w.Header(c.name, 0, c.org, c.format), 0) << c.what;
    }
    const auto blocks = ReadBlocks(dir / "c");
    ASSERT_EQ(blocks.size(), 1u) << c.what;
    EXPECT_EQ(Slice(blocks[0], c.at, c.fields.size()), c.fields) << c.what;
    const std::size_t headerSize = (c.modeWord == 1 ? 61 : 32) + c.name.size();
    EXPECT_EQ(blocks[0].size(), headerSize + (c.modeWord == 1 ? 9 : 8)) << c.what;
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0) << c.what;
    EXPECT_EQ(r.charCode, c.charCode);
    char name[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    std::uint8_t origin[2] = {};
    std::int32_t rc = 0, n = 5, org = -1, format = -1, recordLength = -1, blockSize = -1;
    cmpghd(r.cb, rc, n, name, org, format, recordLength, nullptr, nullptr, blockSize, nullptr, origin);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(std::string(name, static_cast<std::size_t>(n)), c.name) << c.what;
    // A name of 0 bytes leaves the buffer untouched, not even a NUL.
    EXPECT_EQ(name[c.name.size()], c.name.empty() ? '#' : '\0') << c.what;
    EXPECT_EQ(org, c.orgBack) << c.what;
    EXPECT_EQ(format, c.formatBack) << c.what;
  }
}

TEST(RecordLayout, NamesInEbcdic) {
  ScratchDir dir;
  Options o;
  o.charCode = 0;
  {
    Writer w(dir / "c", o);
    EXPECT_EQ(w.Header("ab.C1"), 0);
  }
  const auto blocks = ReadBlocks(dir / "c");
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(Slice(blocks[0], 4 + 2, 2), (Bytes{0x30, 0xC5}));
  EXPECT_EQ(Slice(blocks[0], 4 + 2 + 29, 8), (Bytes{0x05, 0x00, 0x05, 0x81, 0x82, 0x4B, 0xC3, 0xF1}));
  Reader r(dir / "c");
  Header h;
  ASSERT_EQ(r.GetHeader(h), 0);
  EXPECT_EQ(h.name, "ab.C1");
  // The copy stops at the capacity.
  ASSERT_EQ(r.GetHeader(h, 2), 0);
  EXPECT_EQ(h.name, "ab");
}

}  // namespace
