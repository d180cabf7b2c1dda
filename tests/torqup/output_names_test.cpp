#include "torqup/output_names.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct PatternCase {
  const char* source;
  const char* pattern;
  std::int32_t member;
  std::int32_t rc;
  const char* name;  // expected name when rc is 0
  bool fromSource;
};

TEST(OutputNames, PatternsSelectAndName) {
  const PatternCase cases[] = {
      {"C:\\data\\a.txt", "[]", 1, 0, "a.txt", true},
      {"dir/sub/a.txt", "[]", 1, 0, "a.txt", true},
      {"", "[]", 3, 0, "Member#0003", false},
      {"x", "[#]", 12, 0, "Member#0012", false},
      {"x", "[#]", 12345, 0, "Member#12345", false},
      {"a.txt", "[*]", 1, 0, "a.txt", true},
      {"dir/a.txt", "[#2=b.txt]", 2, 0, "b.txt", false},
      {"dir/a.txt", "[#2=b.txt]", 1, 92, "", false},
      {"dir/a.txt", "[#2]", 2, 0, "dir/a.txt", true},
      {"dir/a.txt", "[#0]", 1, 92, "", true},  // no number above 0: a prefix test of "#0"
      {"axbxc", "[x]=y", 1, 0, "aybyc", true},
      {"x.tq", "[.tq=.txt]", 1, 0, "x.txt", true},
      {"a.dat", "[.tq=.txt]", 1, 92, "", true},
      {"abc", "[=x]", 1, 92, "", true},
      {"dir/a.txt", "[*.txt]", 1, 0, "dir/a.txt", true},
      {"a.dat", "[*.txt]", 1, 92, "", true},
      {"C:\\d\\a.txt", "[\\*.txt]", 1, 0, "a.txt", true},
      {"d/abc.txt", "[/ab]", 1, 0, "abc.txt", true},
      {"d/abc.txt", "[/?bc]", 1, 0, "abc.txt", true},
      {"d/abc.txt", "[/x]", 1, 92, "", true},
      {"abc", "[?b]", 1, 0, "abc", true},
      {"abc", "[ab]", 1, 0, "abc", true},
      {"abc", "[b]", 1, 92, "", true},
      {"whatever", "out.txt", 1, 0, "out.txt", false},
  };
  for (const PatternCase& c : cases) {
    std::string out;
    bool fromSource = false;
    const std::int32_t rc = ApplyNamePattern(c.source, c.pattern, c.member, out, fromSource);
    EXPECT_EQ(rc, c.rc) << c.source << " " << c.pattern;
    if (rc == 0) {
      EXPECT_EQ(out, c.name) << c.source << " " << c.pattern;
      EXPECT_EQ(fromSource, c.fromSource) << c.source << " " << c.pattern;
    }
  }
}

TEST(OutputNames, PatternKinds) {
  const std::pair<const char*, PatternKind> cases[] = {
      {"plain.txt", PatternKind::kPlain}, {"", PatternKind::kPlain},
      {"[.tq=.txt]", PatternKind::kRename}, {"[*]", PatternKind::kWhole},
      {"[]", PatternKind::kLastPart}, {"[#2=b.txt]", PatternKind::kSelect},
      {"[x]=y", PatternKind::kSelect}, {"[*.txt]", PatternKind::kSelect},
  };
  for (const auto& [pattern, kind] : cases) {
    bool balanced = false;
    EXPECT_EQ(OutputPatternKind(pattern, &balanced), kind) << pattern;
    EXPECT_TRUE(balanced) << pattern;
  }
  bool balanced = true;
  OutputPatternKind("[a", &balanced);
  EXPECT_FALSE(balanced);
}

TEST(OutputNames, StoredNamesAreConfined) {
  const std::pair<std::string, const char*> accepted[] = {
      {"/etc/passwd", "etc/passwd"}, {"C:\\x", "x"}, {"c:/data/a.txt", "data/a.txt"},
      {"\\\\server\\share\\f", "server/share/f"}, {"...a", "...a"}, {"a/..b", "a/..b"},
  };
  for (auto [name, expected] : accepted) {
    EXPECT_TRUE(ConfineStoredName(name)) << expected;
    EXPECT_EQ(name, expected);
  }
  for (std::string name : {std::string("..\\a"), std::string("a/.."), std::string("a/../b"), std::string(""),
                           std::string("/"), std::string("C:"), std::string(300, 'x')}) {
    EXPECT_FALSE(ConfineStoredName(name)) << name;
  }
}

class OutputFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("torq_names_" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(OutputFolder, OutputPathTakesTheNameAndCreatesFolders) {
  std::string outputPath = (root_ / "out").string();
  std::string name = "/sub/a.txt";
  ASSERT_EQ(FinishOutputName(name, outputPath), 0);
  EXPECT_EQ(outputPath, (root_ / "out").string() + "/");
  EXPECT_EQ(name, (root_ / "out/sub/a.txt").string());
  EXPECT_TRUE(fs::is_directory(root_ / "out/sub"));
  std::string none;
  std::string empty;
  EXPECT_EQ(FinishOutputName(empty, none), 0);
  EXPECT_EQ(empty, "");
  // A full name longer than a name slot holds is refused, alone or joined to the output path,
  // and nothing is created for it.
  std::string tooLong = (root_ / std::string(250, 'n')).string();
  EXPECT_EQ(FinishOutputName(tooLong, none), kRcNameTooLong);
  std::string joined = "d/" + std::string(kMaxOutputName + 1 - outputPath.size() - 2, 'm');  // 255 in all
  std::string path = outputPath;
  EXPECT_EQ(FinishOutputName(joined, path), kRcNameTooLong);
  EXPECT_FALSE(fs::exists(root_ / "out/d"));
}

TEST_F(OutputFolder, SameFileByInodeOrPath) {
  const fs::path a = root_ / "a", hard = root_ / "hard", soft = root_ / "soft", b = root_ / "b";
  std::ofstream(a) << "x";
  std::ofstream(b) << "y";
  fs::create_hard_link(a, hard);
  fs::create_symlink(a, soft);
  EXPECT_EQ(SameFileCheck(a.string(), 0, hard.string(), 1), kRcSameFile);
  EXPECT_EQ(SameFileCheck(a.string(), 0, soft.string(), 1), kRcSameFile);
  EXPECT_EQ(SameFileCheck(a.string(), 0, b.string(), 1), 0);
  const std::string missing = (root_ / "m").string();
  EXPECT_EQ(SameFileCheck(missing, 0, (root_ / "x/../m").string(), 1), kRcSameFile);
  EXPECT_EQ(SameFileCheck("", 0, "", 1), 0);
  const int fd = open(a.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(SameFileCheck("", fd, a.string(), 1), kRcSameFile);
  EXPECT_EQ(SameFileCheck(b.string(), 1, "", fd), 0);
  close(fd);
}

}  // namespace
