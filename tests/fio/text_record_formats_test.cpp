// Delimited text records: one- and two-character delimiters, lines longer than the buffer,
// delimiters across the file object's pieces, the last line without delimiter, dtext.
#include <gtest/gtest.h>

#include <string>

#include "record_test_util.h"

using fiotest::ReadFileBytes;
using fiotest::ScratchDir;
using fiotest::WriteFileBytes;
using rectest::B;
using rectest::Bytes;
using rectest::Got;
using rectest::Open;

namespace {

std::vector<Got> ReadText(const Bytes& file, std::int32_t capacity, std::uint32_t delimiter) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", file);
  return rectest::ReadFile(dir / "in", 3, capacity, 0, delimiter);
}

TEST(TextFormat, Examples) {
  testing::internal::CaptureStderr();
  struct Case {
    const char* what;
    Bytes file;
    std::int32_t capacity;
    std::uint32_t delimiter;
    std::vector<Got> records;
  };
  const Case cases[] = {
      {"LF by default", B("ab\n\ncd\n"), 10, 0, {{0, B("ab")}, {0, {}}, {0, B("cd")}, {2, {}}}},
      {"CR stays data with LF", B("ab\r\n"), 10, 0, {{0, B("ab\r")}, {2, {}}}},
      {"CR LF", B("ab\r\ncd\r\n"), 10, kDelimCrLf, {{0, B("ab")}, {0, B("cd")}, {2, {}}}},
      {"a lone CR is data", B("a\rb\r\n"), 10, kDelimCrLf, {{0, B("a\rb")}, {2, {}}}},
      {"a CR at the end of the file", B("ab\r"), 10, kDelimCrLf, {{105, B("ab\r")}, {2, {}}}},
      {"CR CR LF", B("a\r\r\n"), 10, kDelimCrLf, {{0, B("a\r")}, {2, {}}}},
      {"LF alone is data with CR LF", B("a\nb\r\n"), 10, kDelimCrLf, {{0, B("a\nb")}, {2, {}}}},
      {"no delimiter at the end", B("ab\ncd"), 10, 0, {{0, B("ab")}, {105, B("cd")}, {2, {}}}},
      {"pieces of the capacity",
       Bytes(25, 'x'),
       10,
       0,
       {{51, Bytes(10, 'x')}, {51, Bytes(10, 'x')}, {105, Bytes(5, 'x')}, {2, {}}}},
      {"a line of exactly the capacity",
       B("abcd\nef\n"),
       4,
       0,
       {{0, B("abcd")}, {0, B("ef")}, {2, {}}}},
      {"CR LF right behind a full buffer", B("abcd\r\n"), 4, kDelimCrLf, {{0, B("abcd")}, {2, {}}}},
      {"a lone CR behind a full buffer begins the next piece",
       B("abc\rx\r\n"),
       3,
       kDelimCrLf,
       {{51, B("abc")}, {0, B("\rx")}, {2, {}}}},
      {"one character of the user's choice",
       B("a|b|"),
       10,
       0x0100007C,
       {{0, B("a")}, {0, B("b")}, {2, {}}}},
      {"two characters of the user's choice",
       B("a;;b;c;;"),
       10,
       0x02003B3B,
       {{0, B("a")}, {0, B("b;c")}, {2, {}}}},
      {"empty file", {}, 10, 0, {{2, {}}}},
      {"capacity 1", B("ab\n"), 1, 0, {{51, B("a")}, {0, B("b")}, {2, {}}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadText(c.file, c.capacity, c.delimiter), c.records) << c.what;
  testing::internal::GetCapturedStderr();
}

// The last line comes with 105 for the caller to warn about, naming the file; the record layer
// prints nothing itself.
TEST(TextFormat, LastLineWithoutDelimiterGives105) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("ab\ncd"));
  Open in(kOpenInput, dir / "in", 3);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  testing::internal::CaptureStderr();
  EXPECT_EQ(in.Get(r, 10), kFioOk);
  EXPECT_EQ(in.Get(r, 10), kFioNoDelimiter);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(r, B("cd"));
  EXPECT_EQ(in.Get(r, 10), kFioEndOfFile);
  EXPECT_EQ(in.Get(r, 10), kFioEndOfFile);
}

TEST(TextFormat, NulFollowsTheRecordWhenThereIsRoom) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("ab\n"));
  Open in(kOpenInput, dir / "in", 3);
  ASSERT_EQ(in.Run(), kFioOk);
  std::uint8_t buffer[8];
  std::memset(buffer, 0xEE, sizeof buffer);
  std::int32_t rc = 0;
  std::int32_t length = 0;
  fioget(in.fcb, rc, length, buffer, 8);
  EXPECT_EQ(rc, kFioOk);
  EXPECT_EQ(length, 2);
  EXPECT_EQ(buffer[2], 0);
  EXPECT_EQ(buffer[3], 0xEE);
}

TEST(TextFormat, DelimiterCountOtherThanOneOrTwoIsRefused) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("ab\n"));
  for (std::uint32_t delimiter : {0x0000000Au, 0x03000A0Du}) {
    Open in(kOpenInput, dir / "in", 3);
    in.delimiter = delimiter;
    ASSERT_EQ(in.Run(), kFioOk);
    Bytes r;
    EXPECT_EQ(in.Get(r, 10), kFioBadRecordFormat);
  }
  Open out(kOpenOutput, dir / "out", 3);
  out.delimiter = 0x03000A0D;
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.Put(B("x")), kFioBadRecordFormat);
}

// Lines placed so that the delimiter falls on the edge of the file object's 64 KB pieces.
TEST(TextFormat, DelimitersAcrossPieces) {
  testing::internal::CaptureStderr();
  constexpr std::size_t kPiece = 65536;
  struct Case {
    const char* what;
    std::size_t first;  // data bytes of the first line
    std::string tail;   // what follows them
    std::int32_t capacity;
    std::vector<std::pair<std::int32_t, std::size_t>> records;  // rc and length
  };
  const Case cases[] = {
      {"CR last of a piece, LF first of the next",
       kPiece - 1,
       "\r\nab\r\n",
       100000,
       {{0, kPiece - 1}, {0, 2}, {2, 0}}},
      {"lone CR last of a piece", kPiece - 1, "\rab\r\n", 100000, {{0, kPiece + 2}, {2, 0}}},
      {"lone CR last of a piece behind a full buffer",
       kPiece - 1,
       "\rab\r\n",
       static_cast<std::int32_t>(kPiece - 1),
       {{51, kPiece - 1}, {0, 3}, {2, 0}}},
      {"CR last of a piece behind a full buffer",
       kPiece - 1,
       "\r\nab\r\n",
       static_cast<std::int32_t>(kPiece - 1),
       {{0, kPiece - 1}, {0, 2}, {2, 0}}},
      {"lone CR last of the file behind a full buffer",
       kPiece - 1,
       "\r",
       static_cast<std::int32_t>(kPiece - 1),
       {{51, kPiece - 1}, {105, 1}, {2, 0}}},
      {"a line longer than a piece",
       3 * kPiece + 7,
       "\r\nx",
       1000000,
       {{0, 3 * kPiece + 7}, {105, 1}, {2, 0}}},
  };
  for (const Case& c : cases) {
    Bytes file(c.first, 'y');
    file.insert(file.end(), c.tail.begin(), c.tail.end());
    const auto got = ReadText(file, c.capacity, kDelimCrLf);
    ASSERT_EQ(got.size(), c.records.size()) << c.what;
    Bytes all;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].rc, c.records[i].first) << c.what << " " << i;
      EXPECT_EQ(got[i].data.size(), c.records[i].second) << c.what << " " << i;
      all.insert(all.end(), got[i].data.begin(), got[i].data.end());
    }
    // Nothing but the delimiters is lost.
    Bytes expect = file;
    std::string s(expect.begin(), expect.end());
    for (std::size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 2);
    EXPECT_EQ(all, B(s)) << c.what;
  }
  testing::internal::GetCapturedStderr();
}

TEST(TextFormat, LongLinesWithLfAcrossPieces) {
  ScratchDir dir;
  Bytes file;
  std::vector<Bytes> lines;
  for (std::size_t n : {0u, 1u, 65535u, 65536u, 65537u, 100u, 200000u, 3u}) {
    Bytes line = fiotest::Pattern(n, static_cast<std::uint32_t>(n));
    for (auto& b : line)
      if (b == '\n') b = '.';
    lines.push_back(line);
    file.insert(file.end(), line.begin(), line.end());
    file.push_back('\n');
  }
  WriteFileBytes(dir / "in", file);
  const auto got = rectest::ReadFile(dir / "in", 3, 300000);
  ASSERT_EQ(got.size(), lines.size() + 1);
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(got[i], (Got{0, lines[i]})) << i;
  EXPECT_EQ(got.back().rc, kFioEndOfFile);
}

TEST(TextFormat, Writing) {
  ScratchDir dir;
  EXPECT_EQ(rectest::WriteFile(dir / "lf", 3, {B("a"), {}, B("b")}),
            (std::vector<std::int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(ReadFileBytes(dir / "lf"), B("a\n\nb\n"));
  rectest::WriteFile(dir / "crlf", 3, {B("a"), B("b")}, 0, kDelimCrLf);
  EXPECT_EQ(ReadFileBytes(dir / "crlf"), B("a\r\nb\r\n"));
  rectest::WriteFile(dir / "none", 3, {B("a"), B("b")}, 0, 0x00000041);  // count 0
  EXPECT_EQ(ReadFileBytes(dir / "none"), B("ab"));
  rectest::WriteFile(dir / "asn", 224, {B("a"), B("b")}, 0, kDelimCrLf);
  EXPECT_EQ(ReadFileBytes(dir / "asn"), B("a\r\nb\r\n"));
  const Bytes big(100000, 'z');
  rectest::WriteFile(dir / "big", 3, {big});
  Bytes expect = big;
  expect.push_back('\n');
  EXPECT_EQ(ReadFileBytes(dir / "big"), expect);
}

TEST(DtextFormat, DelimiterBetweenRecords) {
  ScratchDir dir;
  rectest::WriteFile(dir / "d", 12, {B("a"), B("b"), B("c")}, 0, kDelimCrLf);
  EXPECT_EQ(ReadFileBytes(dir / "d"), B("a\r\nb\r\nc"));
  rectest::WriteFile(dir / "e", 12, {{}, B("b"), {}});
  EXPECT_EQ(ReadFileBytes(dir / "e"), B("\nb\n"));
  testing::internal::CaptureStderr();
  const auto got = rectest::ReadFile(dir / "d", 12, 10, 0, kDelimCrLf);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(got, (std::vector<Got>{{0, B("a")}, {0, B("b")}, {105, B("c")}, {2, {}}}));
  EXPECT_EQ(err, "");
}

TEST(TextFormat, BlockSetUpWithCodeThreeReadsAsText) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("ab\n"));
  Open in(kOpenInput, dir / "in", 2);
  ASSERT_EQ(in.Run(), kFioOk);
  in.fcb->recordFormat = 3;
  Bytes r;
  EXPECT_EQ(in.Get(r, 10), kFioOk);
  EXPECT_EQ(r, B("ab"));
  EXPECT_EQ(in.fcb->recordFormat, 11);
  EXPECT_EQ(in.fcb->delimiter, kDelimDefault);
}

}  // namespace
