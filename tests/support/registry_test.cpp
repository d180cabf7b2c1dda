// The registry stand-in replaces its file through a temporary of its own.
#include "support/platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/torq_registry_XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    saved_ = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
  std::string saved_;
  bool hadOld_ = false;
};

}  // namespace

TEST_F(Registry, LinksPlantedBesideTheFileAreNeverWrittenThrough) {
  // Another user's link at the name a fixed temporary would take, leading to a file of the
  // caller's that must keep its bytes.
  const fs::path folder = dir_ / "torq";
  fs::create_directories(folder);
  std::ofstream(dir_ / "victim", std::ios::binary) << "owner only\n";
  ::chmod((dir_ / "victim").c_str(), 0600);
  fs::create_symlink(dir_ / "victim", folder / "registry.tmp");

  ASSERT_EQ(torq::platform::RegistrySetString("Key", "Name", "first"), 0);
  ASSERT_EQ(torq::platform::RegistrySetString("Key", "Other", "second"), 0);
  std::string value;
  ASSERT_EQ(torq::platform::RegistryQueryString("Key", "Name", value), 0);
  EXPECT_EQ(value, "first");
  EXPECT_EQ(ReadText(dir_ / "victim"), "owner only\n");

  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"registry", "registry.tmp"}));  // no temporary left behind
  EXPECT_TRUE(fs::is_symlink(folder / "registry.tmp"));
  struct stat info {};
  ASSERT_EQ(::lstat((folder / "registry").c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}
