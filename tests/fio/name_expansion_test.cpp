#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "fio/name_expansion.h"
#include "fio_test_util.h"
#include "support/heap.h"

namespace {

using fiotest::ScratchDir;

// A length-prefixed string: length byte, text, NUL.
std::vector<std::uint8_t> Lps(const std::string& text) {
  std::vector<std::uint8_t> v(text.size() + 2, 0);
  v[0] = static_cast<std::uint8_t>(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) v[i + 1] = static_cast<std::uint8_t>(text[i]);
  return v;
}

std::string FromLps(const std::uint8_t* lps) {
  return std::string(reinterpret_cast<const char*>(lps + 1), lps[0]);
}

void Touch(const std::string& path) { fiotest::WriteFileBytes(path, {'x'}); }

struct Expansion {
  std::vector<std::string> names;
  std::int32_t endRc = 0;  // the rc that ended the names
};

// Every name of a pattern: function 1, then 3 while rc is 0, then the end call.
Expansion ExpandAll(const std::string& pattern) {
  Expansion e;
  FilpasContext* ctx = nullptr;
  std::int32_t rc = 0, fn = kFilpasFirst;
  const auto p = Lps(pattern);
  for (int guard = 0; guard < 1000; ++guard) {
    std::uint8_t result[kFilpasResultSize];
    std::memset(result, 0xEE, sizeof result);
    filpas(ctx, rc, fn, p.data(), result);
    if (rc != 0) break;
    EXPECT_EQ(fn, kFilpasNext);
    EXPECT_EQ(result[result[0] + 1], 0);  // NUL after the text
    e.names.push_back(FromLps(result));
  }
  e.endRc = rc;
  fn = kFilpasEnd;
  filpas(ctx, rc, fn, p.data(), nullptr);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ctx, nullptr);
  return e;
}

class NameExpansion : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"b.dat", "a.dat", "c.txt", "ab.dat", "a1.dat", "a[1].txt",
                             ".hidden.dat", "x.lnk", "Y.LNK", "with blank.dat"})
      Touch(dir / name);
    ::mkdir((dir / "sub.dat").c_str(), 0755);
    ::mkfifo((dir / "fifo.dat").c_str(), 0644);
    ::symlink((dir / "b.dat").c_str(), (dir / "link.dat").c_str());
    ::symlink((dir / "missing").c_str(), (dir / "dangling.dat").c_str());
  }
  ScratchDir dir;
};

TEST_F(NameExpansion, WildcardsGiveRegularFilesSorted) {
  const Expansion e = ExpandAll(dir / "*.dat");
  const std::vector<std::string> expected = {dir / "a.dat", dir / "a1.dat", dir / "ab.dat",
                                             dir / "b.dat", dir / "link.dat",
                                             dir / "with blank.dat"};
  EXPECT_EQ(e.names, expected);  // no hidden file, directory, FIFO or dangling link
  EXPECT_EQ(e.endRc, 2);
}

TEST_F(NameExpansion, PatternTable) {
  struct Case {
    std::string pattern;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"a?.dat", {"a1.dat", "ab.dat"}},
      {"?.dat", {"a.dat", "b.dat"}},
      {"a*", {"a.dat", "a1.dat", "a[1].txt", "ab.dat"}},
      {"*[1]*", {"a[1].txt"}},   // '[' is no wildcard
      {"a[1].txt", {"a[1].txt"}},  // a literal name with brackets
      {"a[12].txt", {}},
      {"*.lnk", {}},  // shortcut names are always passed over
      {"x.lnk", {}},
      {".hidden.dat", {".hidden.dat"}},  // named literally, a hidden file is delivered
      {"*hidden*", {}},                  // but not through a wildcard
      {"sub.dat", {"sub.dat"}},          // a literal name is delivered whatever it is
      {"nothing", {}},
      {"*.none", {}},
      {"with blank.dat", {"with blank.dat"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> expected;
    for (const auto& n : c.names) expected.push_back(dir / n);
    const Expansion e = ExpandAll(dir / c.pattern);
    EXPECT_EQ(e.names, expected) << c.pattern;
    EXPECT_EQ(e.endRc, 2) << c.pattern;
  }
}

TEST_F(NameExpansion, NoWildcardsInDirectoryParts) {
  ::mkdir((dir / "d1").c_str(), 0755);
  Touch(dir / "d1/f");
  EXPECT_TRUE(ExpandAll(dir / "d?/f").names.empty());
  EXPECT_TRUE(ExpandAll(dir / "*/f").names.empty());
  EXPECT_EQ(ExpandAll(dir / "d1/*").names, std::vector<std::string>{dir / "d1/f"});
  EXPECT_EQ(ExpandAll(dir / "c.txt/*").endRc, 2);  // not a directory: no names
}

TEST_F(NameExpansion, RelativePatternGivesAFullPath) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  const Expansion e = ExpandAll("./b*");
  const Expansion plain = ExpandAll("c.txt");
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(e.names, std::vector<std::string>{dir / "b.dat"});
  EXPECT_EQ(plain.names, std::vector<std::string>{dir / "c.txt"});
}

TEST_F(NameExpansion, AskForWildcards) {
  struct Case {
    const char* pattern;
    std::int32_t rc;
  };
  for (const Case& c : {Case{"*.dat", 1}, Case{"a?", 1}, Case{"a.dat", 0}, Case{"a[1]", 0}}) {
    FilpasContext* ctx = nullptr;
    std::int32_t rc = 9, fn = kFilpasAsk;
    const auto p = Lps(c.pattern);
    std::uint8_t result[kFilpasResultSize] = {0xEE};
    filpas(ctx, rc, fn, p.data(), result);
    EXPECT_EQ(rc, c.rc) << c.pattern;
    EXPECT_EQ(fn, kFilpasNext);
    EXPECT_EQ(result[0], 0xEE);  // no name
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ctx->wildcards, c.rc);
    fn = kFilpasEnd;
    filpas(ctx, rc, fn, p.data(), result);
    EXPECT_EQ(ctx, nullptr);
  }
}

TEST_F(NameExpansion, EmptyPatternGivesTheEmptyNameOnce) {
  FilpasContext* ctx = nullptr;
  std::int32_t rc = 9, fn = kFilpasFirst;
  const std::uint8_t empty[2] = {0, 0};
  std::uint8_t result[kFilpasResultSize];
  std::memset(result, 0xEE, sizeof result);
  filpas(ctx, rc, fn, empty, result);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(fn, kFilpasNext);
  EXPECT_EQ(result[0], 0);
  EXPECT_EQ(ctx, nullptr);  // no context is made
  filpas(ctx, rc, fn, empty, result);
  EXPECT_EQ(rc, 2);
}

TEST_F(NameExpansion, EndOnAnEmptySlotDoesNothing) {
  FilpasContext* ctx = nullptr;
  std::int32_t rc = 9, fn = kFilpasEnd;
  filpas(ctx, rc, fn, nullptr, nullptr);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ctx, nullptr);
}

TEST_F(NameExpansion, ForeignContextIsRefused) {
  FilpasContext fake{};
  FilpasContext* ctx = &fake;  // its self word does not point to itself
  std::int32_t rc = 0, fn = kFilpasFirst;
  const auto p = Lps(dir / "*.dat");
  std::uint8_t result[kFilpasResultSize] = {0xEE};
  filpas(ctx, rc, fn, p.data(), result);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(result[0], 0xEE);
  fn = kFilpasEnd;
  filpas(ctx, rc, fn, p.data(), result);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(ctx, &fake);  // not released
}

TEST_F(NameExpansion, NoMemoryForTheContext) {
  FilpasContext* ctx = nullptr;
  std::int32_t rc = 0, fn = kFilpasFirst;
  const auto p = Lps(dir / "a.dat");
  std::uint8_t result[kFilpasResultSize];
  rmHeapInjectFailure(1);
  filpas(ctx, rc, fn, p.data(), result);
  rmHeapInjectFailure(0);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(ctx, nullptr);
}

TEST_F(NameExpansion, NothingLeaks) {
  const std::string pattern = dir / "*.dat";
  const auto p = Lps(dir / "*");
  const std::uint32_t before = rmGetHeapCount();
  ExpandAll(pattern);
  // Stopped in the middle: the end call releases the open search.
  FilpasContext* ctx = nullptr;
  std::int32_t rc = 0, fn = kFilpasFirst;
  std::uint8_t result[kFilpasResultSize];
  filpas(ctx, rc, fn, p.data(), result);
  ASSERT_EQ(rc, 0);
  fn = kFilpasEnd;
  filpas(ctx, rc, fn, p.data(), result);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(NameExpansionLength, FullPathMustFitItsLengthByte) {
  ScratchDir dir;
  const std::size_t base = dir.path().size() + 1;  // the directory and its '/'
  // 253 and 254 fit; 255 would need a result of 257 bytes; 276 is beyond the platform's
  // 260-character path buffer.
  for (std::size_t total : {std::size_t{253}, std::size_t{254}, std::size_t{255},
                            std::size_t{256}, std::size_t{276}}) {
    const std::string name(total - base, 'n');
    Touch(dir / name);
    const std::string path = dir / name;
    ASSERT_EQ(path.size(), total);

    FilpasContext* ctx = nullptr;
    std::int32_t rc = 0, fn = kFilpasFirst;
    // The pattern "<dir>/n*" always fits its length byte, the full path need not.
    const auto p = Lps(dir / "n*");
    std::vector<std::uint8_t> result(kFilpasResultSize + 64, 0xEE);
    filpas(ctx, rc, fn, p.data(), result.data());
    if (total <= kFilpasMaxPath) {
      EXPECT_EQ(rc, 0) << total;
      EXPECT_EQ(FromLps(result.data()), path);
    } else {
      EXPECT_EQ(rc, 0x0F000000 | ENAMETOOLONG) << total;
      EXPECT_EQ(result[0], 0xEE);
    }
    for (std::size_t i = kFilpasResultSize; i < result.size(); ++i) ASSERT_EQ(result[i], 0xEE);
    fn = kFilpasEnd;
    filpas(ctx, rc, fn, p.data(), nullptr);
    ::unlink(path.c_str());
  }
}

// ---- fioera ----

// A name list: length-prefixed names one after another, ended by a zero length byte.
std::vector<std::uint8_t> NameList(const std::vector<std::string>& names) {
  std::vector<std::uint8_t> v;
  for (const auto& n : names) {
    const auto l = Lps(n);
    v.insert(v.end(), l.begin(), l.end());
  }
  v.push_back(0);
  return v;
}

TEST(FileDeletion, DeletesExactlyTheNamedFiles) {
  ScratchDir dir;
  const std::vector<std::string> doomed = {"a b.txt", "x;touch y", "$(touch z)", "*.txt",
                                           "it's", "-rf", "back`tick`", "pipe|cat", "new\nline"};
  const std::vector<std::string> kept = {"a", "b.txt", "y", "other.txt", "rf"};
  for (const auto& n : doomed) Touch(dir / n);
  for (const auto& n : kept) Touch(dir / n);
  std::vector<std::string> paths;
  for (const auto& n : doomed) paths.push_back(dir / n);

  std::int32_t rc = 9;
  const auto list = NameList(paths);
  fioera(nullptr, rc, 0, list.data());
  EXPECT_EQ(rc, 0);
  for (const auto& n : doomed) EXPECT_FALSE(fiotest::Exists(dir / n)) << n;
  for (const auto& n : kept) EXPECT_TRUE(fiotest::Exists(dir / n)) << n;
  EXPECT_FALSE(fiotest::Exists(dir / "z"));  // nothing ran through a shell
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++count;
  }
  EXPECT_EQ(count, kept.size());
}

TEST(FileDeletion, FailureStopsWith103) {
  ScratchDir dir;
  Touch(dir / "first");
  Touch(dir / "third");
  ::mkdir((dir / "adir").c_str(), 0755);
  for (const char* bad : {"missing", "adir"}) {
    Touch(dir / "first");
    std::int32_t rc = 0;
    const auto list = NameList({dir / "first", dir / bad, dir / "third"});
    fioera(nullptr, rc, 0, std::span<const std::uint8_t>(list));
    EXPECT_EQ(rc, kFioEraseFailed) << bad;
    EXPECT_FALSE(fiotest::Exists(dir / "first"));
    EXPECT_TRUE(fiotest::Exists(dir / "third"));  // the rest is left
  }
}

TEST(FileDeletion, EmptyAndMalformedLists) {
  ScratchDir dir;
  Touch(dir / "f");
  std::int32_t rc = 9;
  const std::uint8_t empty[1] = {0};
  fioera(nullptr, rc, 0, empty);
  EXPECT_EQ(rc, 0);
  fioera(nullptr, rc, 0, static_cast<const std::uint8_t*>(nullptr));
  EXPECT_EQ(rc, 0);

  auto list = NameList({dir / "f"});
  // The list ends inside its name.
  fioera(nullptr, rc, 0, std::span<const std::uint8_t>(list.data(), list.size() - 4));
  EXPECT_EQ(rc, kFioEraseFailed);
  EXPECT_TRUE(fiotest::Exists(dir / "f"));
  // A NUL inside a name names no file.
  const std::string path = dir / "f";
  std::vector<std::uint8_t> withNul = Lps(path + "X");
  withNul[path.size() + 1] = 0;
  withNul.push_back(0);
  fioera(nullptr, rc, 0, std::span<const std::uint8_t>(withNul));
  EXPECT_EQ(rc, kFioEraseFailed);
  EXPECT_TRUE(fiotest::Exists(dir / "f"));
  // A list without its closing zero byte ends with its span.
  fioera(nullptr, rc, 0, std::span<const std::uint8_t>(list.data(), list.size() - 1));
  EXPECT_EQ(rc, 0);
  EXPECT_FALSE(fiotest::Exists(dir / "f"));
}

}  // namespace
