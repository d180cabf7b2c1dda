#include "launchers/torqupex/argument_vector.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "launcher_test_util.h"
#include "support/heap.h"

namespace {

std::vector<std::string> Split(const char* parameters) {
  TArgv argv(32);
  EXPECT_EQ(argv.AddParString(parameters, parameters ? std::string(parameters).size() : 0, nullptr), 1);
  std::vector<std::string> items;
  for (std::int32_t i = 1; i < argv.Count(); ++i) items.emplace_back(argv[i]);
  EXPECT_STREQ(argv[0], "torq4");
  EXPECT_EQ(argv.Items()[argv.Count()], nullptr);
  return items;
}

std::string Join(const std::vector<std::string>& items) {
  std::string joined;
  for (std::size_t i = 0; i < items.size(); ++i) joined += (i ? "," : "") + items[i];
  return joined;
}

}  // namespace

TEST(ArgumentVector, ParameterStringsSplitIntoItems) {
  struct Case {
    const char* parameters;
    std::vector<std::string> items;
  };
  const std::vector<Case> cases = {
      {"mode=adc,torqin=a.txt", {"mode=adc", "torqin=a.txt"}},
      {"select=(a,b),x", {"select=(a,b)", "x"}},           // a bracketed value keeps its comma
      {"key=((a)", {"key=((a)"}},                           // an even run is no bracket
      {"key=((a),b", {"key=((a)", "b"}},
      {"key=(((a))", {"key=(((a))"}},                       // doubled brackets stand as they are
      {"key=(a,(( ,)),b)x,y", {"key=(a,(( ,)),b)x", "y"}},
      {"out=C:\\dir\\", {"out=C:\\dir\\"}},                 // a trailing backslash stays
      {"a,", {"a", ""}},                                    // a last comma gives an empty item
      {",a", {"", "a"}},
      {"a=b=(c,d),e", {"a=b=(c,d)", "e"}},
      {"open=(a,b", {"open=(a,b"}},                         // a bracket never closed runs to the end
      {"x", {"x"}},
  };
  for (const Case& c : cases) {
    const auto items = Split(c.parameters);
    EXPECT_EQ(items, c.items) << c.parameters;
    EXPECT_EQ(Join(items), c.parameters) << c.parameters;  // joined with ',' they give the string
  }
}

TEST(ArgumentVector, LengthBoundsTheStringAndNullAddsNothing) {
  TArgv argv(32);
  EXPECT_EQ(argv.AddParString("a,b,c", 3, "prog"), 1);
  ASSERT_EQ(argv.Count(), 3);
  EXPECT_STREQ(argv[0], "prog");
  EXPECT_STREQ(argv[2], "b");
  TArgv none(32);
  EXPECT_EQ(none.AddParString(nullptr, 10, nullptr), 1);
  EXPECT_EQ(none.Count(), 1);
  EXPECT_EQ(none.Add(nullptr), 1);
  EXPECT_EQ(none.Count(), 1);
}

TEST(ArgumentVector, GrowsPastItsCapacityAndFailsCleanlyWithoutMemory) {
  const auto before = rmGetHeapCount();
  {
    TArgv argv(32);
    EXPECT_EQ(argv.Capacity(), 31);
    for (int i = 0; i < 70; ++i) ASSERT_EQ(argv.Add(std::to_string(i).c_str()), 1) << i;
    EXPECT_EQ(argv.Capacity(), 95);  // grown twice, past 31 and 63
    EXPECT_STREQ(argv[69], "69");
    EXPECT_EQ(argv.Items()[70], nullptr);
  }
  EXPECT_EQ(rmGetHeapCount(), before);
  {
    TArgv empty(0);
    EXPECT_EQ(empty.Capacity(), 0);
    EXPECT_EQ(empty.Add("first"), 1);
    EXPECT_EQ(empty.Capacity(), 32);
  }
  for (std::uint32_t n = 1; n <= 3; ++n) {
    TArgv argv(2);
    ASSERT_EQ(argv.Add("a"), 1);
    rmHeapInjectFailure(n);  // the copy, the grown array, a later copy
    const int ok = argv.AddParString("x,y", 3, nullptr);
    rmHeapInjectFailure(0);
    EXPECT_EQ(ok, 0) << n;
  }
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(ArgumentVector, CommandLineForDisplayAndOddBrackets) {
  TArgv argv(32);
  const char* items[] = {"prog", "a", "b \t", "\xc3\xa4\xc3\xb6"};
  ASSERT_EQ(argv.Add(4, items), 1);
  EXPECT_STREQ(argv.GetCmdLine(), "a b \t \xc3\xa4\xc3\xb6");  // UTF-8 bytes are never trimmed
  TArgv bare(32);
  ASSERT_EQ(bare.Add("prog"), 1);
  EXPECT_STREQ(bare.GetCmdLine(), "");
  struct Case {
    const char* text;
    int odd;
  };
  for (const Case& c : {Case{"(a", 1}, Case{"((a", 0}, Case{"(((", 1}, Case{"a(", 0}, Case{"", 0}})
    EXPECT_EQ(TArgv::OddQuotes(c.text), c.odd) << c.text;
}

TEST(ArgumentVector, AssignTakesOneArgumentPerLine) {
  launchertest::Scratch scratch;
  const std::string file = scratch.Path("args.txt");
  std::FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("  first  \n; a comment\nx\n\nsecond line\r\n\t third\n\x1a ignored after the mark\n", f);
  std::fclose(f);
  TArgv argv(32);
  ASSERT_EQ(argv.Assign(file.c_str()), 1);
  ASSERT_EQ(argv.Count(), 4);
  EXPECT_EQ(argv[0], file);
  EXPECT_STREQ(argv[1], "first");
  EXPECT_STREQ(argv[2], "second line");
  EXPECT_STREQ(argv[3], "third");
  EXPECT_EQ(argv.Assign(scratch.Path("missing").c_str()), 0);
  EXPECT_EQ(argv.Count(), 0);
}
