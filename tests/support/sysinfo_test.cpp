#include "support/sysinfo.h"
#include "support/build_stamp.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "support/platform/version.h"

namespace {

// Sets or clears environment variables for one test and puts them back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_.c_str(), old_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(SysInfo, ExeVersionIsRememberedOnceFound) {
  const std::string first = GetExeVersion("/no/such/module", nullptr);
  if (first == "6.6.6") {
    // Not found: nothing is remembered, the next call tries again.
    EXPECT_STREQ(GetExeVersion("/no/such/module", "1.2"), "6.6.6");
    const std::string found = GetExeVersion(nullptr, nullptr);
    EXPECT_EQ(found, torq::platform::CompiledVersion());
  }
  EXPECT_STREQ(GetExeVersion("/no/such/module", "other"), torq::platform::CompiledVersion());
  EXPECT_LE(std::strlen(GetExeVersion(nullptr, nullptr)), 31u);
}

TEST(SysInfo, ByteOrderIsLittleEndianAndSilent) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(TestByteOrder(1), 0);
  EXPECT_EQ(TestByteOrder(0), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(SysInfo, BannerSeparatorLines) {
  const std::pair<int, std::string> lines[] = {
      {4, std::string(70, '+')}, {5, std::string(70, '-')}, {6, std::string(70, '=')},
      {9, std::string(41, '-')}, {10, std::string(41, '+')}, {11, std::string(41, '=')},
  };
  for (const auto& [kind, text] : lines) EXPECT_EQ(Banner(kind, 0), text) << kind;
  EXPECT_EQ(Banner(11, 0, 0), std::string(41, '='));
}

TEST(SysInfo, BannerMemberLines) {
  const std::string line7 = Banner(7, 12);
  EXPECT_EQ(line7, std::string(28, '-') + " Member #0012 " + std::string(28, '-'));
  EXPECT_EQ(line7.size(), 70u);
  const std::string line8 = Banner(8, 12);
  EXPECT_EQ(line8, std::string(13, '-') + " Member #0012 " + std::string(14, '-'));
  EXPECT_EQ(line8.size(), 41u);
  EXPECT_EQ(std::string(Banner(8, 9999)).size(), 41u);
  EXPECT_EQ(std::string(Banner(8, 123456)), std::string(13, '-') + " Member #123456 " + std::string(14, '-'));
  EXPECT_EQ(std::string(Banner(8, -2147483647 - 1)).size(), 48u);
}

TEST(SysInfo, BannerBuildStampForOtherKinds) {
  EXPECT_EQ(std::strncmp(gInfo, "TorqSys        : ", 17), 0);
  EXPECT_EQ(std::strlen(gInfo), 17 + std::strlen(gMainBuildTime));
  EXPECT_EQ(std::strlen(gMainBuildTime), 20u);  // "Mmm dd yyyy hh:mm:ss"
  for (int kind : {2, 12, -1, 1000}) EXPECT_STREQ(Banner(kind, 0), gInfo) << kind;
}

TEST(SysInfo, BannerTitleLines) {
  const std::string line0 = Banner(0, 0);
  EXPECT_EQ(line0, std::string("TORQ(R) Version ") + GetExeVersion(nullptr, nullptr) + " " + gMainBuildTime);
  const std::string line1 = Banner(1, 0);
  EXPECT_NE(line1.find(std::string(gMainBuildTime + 7, 4)), std::string::npos);  // the build year
  EXPECT_LE(line1.size(), 70u);
  const std::string line3 = Banner(3, 0);
  EXPECT_FALSE(line3.empty());
  EXPECT_LT(line3.size(), 128u);
  EXPECT_EQ(line3, glSysInfoStr);
  EXPECT_EQ(line3.rfind(osvi.sysname, 0), 0u);
}

TEST(SysInfo, LanguageFollowsTheLocaleVariables) {
  struct Case {
    const char* all;
    const char* messages;
    const char* lang;
    std::uint16_t id;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, kLanguageEnglish},     {nullptr, nullptr, "de_DE.UTF-8", kLanguageGerman},
      {nullptr, nullptr, "en_US.UTF-8", kLanguageEnglish}, {nullptr, "de_AT", "en_US", kLanguageGerman},
      {"en_GB", "de_AT", "de_DE", kLanguageEnglish},     {"de_CH", nullptr, "en_US", kLanguageGerman},
      {"", "", "de", kLanguageGerman},                   {nullptr, nullptr, "C", kLanguageEnglish},
      {nullptr, nullptr, "d", kLanguageEnglish},
  };
  for (const auto& c : cases) {
    ScopedEnv all("LC_ALL", c.all), messages("LC_MESSAGES", c.messages), lang("LANG", c.lang);
    EXPECT_EQ(GetUserLaguageID(), c.id) << (c.all ? c.all : "-") << " " << (c.messages ? c.messages : "-") << " "
                                        << (c.lang ? c.lang : "-");
  }
}

TEST(SysInfo, Identifiers) {
  const auto machine = TorqHardwareId();
  EXPECT_EQ(TorqHardwareId(), machine);
  EXPECT_NE(TorqProcessId(), 0u);
  EXPECT_EQ(TorqUserId(), 0xAFFECAFEu);
  EXPECT_EQ(gUserId, 0xAFFECAFEu);
  EXPECT_EQ(TorqUserId(), 0xAFFECAFEu);
  (void)TorqTimeId();
  EXPECT_STRNE(SystemName(), "");
}

TEST(SysInfo, LastSystemError) {
  TorqSetSysError(13);
  EXPECT_EQ(F_GetLastError(), 13u);
  EXPECT_EQ(TorqGetSysError(), 13u);
  TorqSetSysError(0);
  EXPECT_EQ(F_GetLastError(), 0u);
}

TEST(SysInfo, PriorityClassOtherLevelsChangeNothing) {
  const int before = ::getpriority(PRIO_PROCESS, 0);
  EXPECT_EQ(F_SetPriorityClass(0), 0);
  EXPECT_EQ(F_SetPriorityClass(3), 0);
  EXPECT_EQ(F_SetPriorityClass(0xFFFFFFFF), 0);
  EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), before);
}

TEST(SysInfo, BuildStampPadsTheModuleNameTo15Characters) {
  constexpr auto stamp = torq::MakeBuildStamp("TorqCrc", "Dec 10 2026 14:05:09");
  EXPECT_STREQ(stamp.data(), "TorqCrc        : Dec 10 2026 14:05:09");
  constexpr auto full = torq::MakeBuildStamp("TorqEnvDefaults", "x");
  EXPECT_STREQ(full.data(), "TorqEnvDefaults: x");
}
