// Temporary files a run writes whole: made exclusively under names no other process can
// foresee, readable by their owner only, in the folder of the file they replace, and never put
// in place when their name no longer leads to them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "torqup/temporary_files.h"
#include "torqup/torq4_runner.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& p, const std::string& bytes) { torq4test::WriteFile(p, bytes); }
std::string Get(const fs::path& p) { return torq4test::ReadFile(p); }

struct stat LinkInfo(const std::string& path) {
  struct stat info {};
  lstat(path.c_str(), &info);
  return info;
}

class TemporaryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("torq_temporary_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "a");
    fs::create_directories(dir_ / "b");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(TemporaryFiles, NamesAreOwnAndUnforeseeable) {
  const std::string target = (dir_ / "a/out.txt").string();
  TemporaryFile first, second;
  ASSERT_EQ(first.Begin(target, false), 0);
  ASSERT_EQ(second.Begin(target, false), 0);
  EXPECT_NE(first.Name(), second.Name());
  const std::regex shape(R"(\.torq4-[A-Za-z0-9]{6}\.tmp)");
  for (const TemporaryFile* t : {&first, &second}) {
    const fs::path name(t->Name());
    EXPECT_EQ(name.parent_path(), dir_ / "a");
    EXPECT_TRUE(std::regex_match(name.filename().string(), shape)) << name;
    EXPECT_EQ(name.filename().string().find(std::to_string(getpid())), std::string::npos) << name;
    const struct stat info = LinkInfo(t->Name());
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
  }
  const std::string name = first.Name();
  first.Discard();
  EXPECT_FALSE(fs::exists(name));
}

// A link's temporary is made beside the file it names (which may lie on another file system),
// and the file is replaced with its mode while the link stays.
TEST_F(TemporaryFiles, LinkedTargetIsReplacedFromItsOwnFolder) {
  Put(dir_ / "b/real.txt", "old");
  fs::permissions(dir_ / "b/real.txt", static_cast<fs::perms>(0640));
  fs::create_symlink("../b/real.txt", dir_ / "a/out.txt");
  TemporaryFile t;
  ASSERT_EQ(t.Begin((dir_ / "a/out.txt").string(), true), 0);
  EXPECT_TRUE(fs::equivalent(fs::path(t.Name()).parent_path(), dir_ / "b"));
  EXPECT_EQ(Get(t.Name()), "old");  // kept content, to add to
  {
    std::ofstream(t.Name(), std::ios::app) << "+new";
  }
  ASSERT_EQ(t.Commit(), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "a/out.txt"));
  EXPECT_EQ(Get(dir_ / "b/real.txt"), "old+new");
  EXPECT_EQ(LinkInfo((dir_ / "b/real.txt").string()).st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "b"), fs::directory_iterator()), 1);
}

// A temporary whose name was taken by something else (a link planted after it was removed)
// is not put in place, and the link's target is left alone.
TEST_F(TemporaryFiles, StolenNameIsNotCommitted) {
  Put(dir_ / "a/out.txt", "old");
  Put(dir_ / "b/victim.txt", "victim");
  TemporaryFile t;
  ASSERT_EQ(t.Begin((dir_ / "a/out.txt").string(), false), 0);
  const std::string name = t.Name();
  fs::remove(name);
  fs::create_symlink(dir_ / "b/victim.txt", name);
  EXPECT_NE(t.Commit(), 0);
  EXPECT_EQ(Get(dir_ / "a/out.txt"), "old");
  EXPECT_EQ(Get(dir_ / "b/victim.txt"), "victim");
  EXPECT_TRUE(fs::is_symlink(name)) << "what is not ours is not removed";
}

}  // namespace
