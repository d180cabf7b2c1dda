#include "support/registration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/platform/registry.h"

namespace fs = std::filesystem;

namespace {

// Points the registry stand-in at a fresh configuration folder for each test.
class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("torq-reg-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    saved_ = old ? old : "";
    hadOld_ = old != nullptr;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(dir_);
  }
  static std::string Query(const std::string& key, const std::string& name) {
    std::string v;
    EXPECT_EQ(torq::platform::RegistryQueryString(key, name, v), 0) << key << " " << name;
    return v;
  }
  fs::path dir_;
  std::string saved_;
  bool hadOld_ = false;
};

}  // namespace

TEST_F(Registration, AppPathKeyHoldsFullPathAndDirectory) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(SetAppPath("/opt/tools/torq4"), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string key = std::string(kAppPathsKey) + "torq4";
  EXPECT_EQ(out, "Registry set: HKEY_LOCAL_MACHINE\n" + key + "=/opt/tools/torq4\n");
  EXPECT_EQ(Query(key, ""), "/opt/tools/torq4");
  EXPECT_EQ(Query(key, "Path"), "/opt/tools");
  EXPECT_TRUE(fs::exists(dir_ / "torq" / "registry"));
}

TEST_F(Registration, SearchPathGetsTheDirectoryInFrontOnce) {
  struct Case { const char* before; const char* after; };
  const Case cases[] = {
      {nullptr, "/opt/tools"},
      {"/usr/bin", "/opt/tools;/usr/bin"},
      {"/usr/bin;/opt/tools", "/usr/bin;/opt/tools"},          // already an item
      {"/opt/tools2;/usr/bin", "/opt/tools;/opt/tools2;/usr/bin"},  // a substring is not an item
      {"/OPT/TOOLS", "/opt/tools;/OPT/TOOLS"},                   // Linux paths differ by case
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before ? c.before : "(none)");
    fs::remove_all(dir_);
    if (c.before) {
      ASSERT_EQ(torq::platform::RegistrySetString(kEnvironmentKey, "Path", c.before), 0);
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(SetAppEnv("/opt/tools/torq4"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("Environment set: HKEY_LOCAL_MACHINE\n") + kEnvironmentKey + ": Path\n");
    EXPECT_EQ(Query(kEnvironmentKey, "Path"), c.after);
  }
}

TEST_F(Registration, RunTwiceLeavesOneEntry) {
  testing::internal::CaptureStdout();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(SetAppPath("/opt/tools/torq4"), 0);
    EXPECT_EQ(SetAppEnv("/opt/tools/torq4"), 0);
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(Query(kEnvironmentKey, "Path"), "/opt/tools");
  std::ifstream in(dir_ / "torq" / "registry");
  std::stringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  EXPECT_EQ(text.find("[" + std::string(kAppPathsKey) + "torq4]"),
            text.rfind("[" + std::string(kAppPathsKey) + "torq4]"));
}

TEST_F(Registration, UnwritableFolderIsReportedAsAFailure) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "torq") << "a file where the folder should be";
  testing::internal::CaptureStderr();
  EXPECT_NE(SetAppPath("/opt/tools/torq4"), 0);
  EXPECT_NE(SetAppEnv("/opt/tools/torq4"), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Unable to set registry "), std::string::npos);
  EXPECT_NE(err.find("Unable to set ENV in registry "), std::string::npos);
}
