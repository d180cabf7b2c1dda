// libtorqupex.so loaded as a host loads it, starting the stand-in in torq4's place.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <type_traits>

#include "launchers/torqupex.h"

#include "launcher_test_util.h"

using launchertest::ReadRecord;
using launchertest::ReadText;
using launchertest::Scratch;

namespace {

// The calls as the library's header declares them, which is how a host sees them.
using TorqupFn = decltype(&torqup);
using TorqupcFn = decltype(&torqupc);
static_assert(std::is_same_v<TorqupFn, void (*)(void*, std::int32_t*, const char*, const std::int32_t*)>);
static_assert(std::is_same_v<TorqupcFn, std::int32_t (*)(const char*)>);

// A folder with the library and the stand-in as "torq4" beside it; the tests run in it, so
// "torq4.log" lands there too.
class Torqupex : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Dir().empty());
    ASSERT_TRUE(scratch_.Copy("libtorqupex.so", "libtorqupex.so"));
    ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "torq4"));
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    oldDir_ = cwd;
    ASSERT_EQ(::chdir(scratch_.Dir().c_str()), 0);
    library_ = ::dlopen(scratch_.Path("libtorqupex.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << ::dlerror();
    torqup_ = reinterpret_cast<TorqupFn>(::dlsym(library_, "torqup"));
    torqupc_ = reinterpret_cast<TorqupcFn>(::dlsym(library_, "torqupc"));
    ASSERT_NE(torqup_, nullptr);
    ASSERT_NE(torqupc_, nullptr);
    ::setenv("STANDIN_RECORD", scratch_.Path("record.txt").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("STANDIN_RECORD");
    ::unsetenv("STANDIN_RESULT");
    if (library_) ::dlclose(library_);
    if (!oldDir_.empty()) {
      EXPECT_EQ(::chdir(oldDir_.c_str()), 0);
    }
  }
  std::int32_t RunWith(const char* result, const char* parameters = "mode=adc,torqin=a.txt") {
    ::setenv("STANDIN_RESULT", result, 1);
    return torqupc_(parameters);
  }

  Scratch scratch_;
  std::string oldDir_;
  void* library_ = nullptr;
  TorqupFn torqup_ = nullptr;
  TorqupcFn torqupc_ = nullptr;
};

}  // namespace

TEST_F(Torqupex, TheChildGetsItsArgumentsAloneInItsOwnSessionAtIdlePriority) {
  EXPECT_EQ(RunWith("code:0", "mode=adc,select=(a,b),out=C:\\dir\\"), 0);
  const auto record = ReadRecord(scratch_.Path("record.txt"));
  EXPECT_EQ(record.at("argc"), "4");
  EXPECT_EQ(record.at("arg0"), "torq4");
  EXPECT_EQ(record.at("arg1"), "mode=adc");
  EXPECT_EQ(record.at("arg2"), "select=(a,b)");
  EXPECT_EQ(record.at("arg3"), "out=C:\\dir\\");
  EXPECT_EQ(record.at("fds"), "0,1,2,3,");  // the standard streams and the return-code pipe only
  EXPECT_EQ(record.at("rcfd"), "3");
  EXPECT_EQ(record.at("nice"), "19");
  EXPECT_EQ(record.at("session"), "1");
  EXPECT_EQ(record.at("stdin"), "/dev/null");
  EXPECT_EQ(record.at("stdout"), "/dev/null");
  EXPECT_NE(ReadText(scratch_.Path("torq4.log")).find("stand-in error output\n"), std::string::npos);
}

TEST_F(Torqupex, ReturnCodesComeBackWhole) {
  struct Case {
    const char* result;
    std::int32_t rc;
  };
  const Case cases[] = {
      {"code:0", 0}, {"code:1", 1}, {"code:255", 255}, {"code:256", 256}, {"code:-3", -3},
      {"code:0xF0000027", static_cast<std::int32_t>(0xF0000027)},
      {"signal:9", -3},                  // ended by a signal
      {"exit:7", 7},                     // nothing in the pipe: the exit status
      {"pipe:12x;exit:12", 12},          // not a number
      {"pipe:300;exit:12", 12},          // low 8 bits differ from the exit status
      {"pipe:99999999999;exit:255", 255},  // does not fit 32 bits
      {"pipe:268;exit:12", 268},
  };
  for (const Case& c : cases) EXPECT_EQ(RunWith(c.result), c.rc) << c.result;
}

TEST_F(Torqupex, RefusalsAndTheStartupForm) {
  std::int32_t rc = 0;
  std::int32_t length = 0;
  torqup_(nullptr, &rc, "mode=adc", &length);
  EXPECT_EQ(rc, 82);
  length = -5;
  torqup_(nullptr, &rc, "mode=adc", &length);
  EXPECT_EQ(rc, 82);
  length = 3;
  torqup_(nullptr, &rc, nullptr, &length);
  EXPECT_EQ(rc, 82);
  torqup_(nullptr, nullptr, "mode=adc", &length);  // no rc: nothing happens
  EXPECT_EQ(torqupc_(nullptr), 82);
  torqup_(nullptr, &rc, "StartUp", &length);  // the array form without an array
  EXPECT_EQ(rc, 82);
  EXPECT_FALSE(std::filesystem::exists(scratch_.Path("record.txt")));  // no child so far

  const char* texts[] = {"ignored", "first", "second,third"};
  length = 3;
  ::setenv("STANDIN_RESULT", "code:5", 1);
  torqup_(texts, &rc, "sTaRtUp", &length);
  EXPECT_EQ(rc, 5);
  const auto record = ReadRecord(scratch_.Path("record.txt"));
  EXPECT_EQ(record.at("argc"), "3");
  EXPECT_EQ(record.at("arg0"), "torq4");
  EXPECT_EQ(record.at("arg2"), "second,third");  // taken as it stands

  // The length bounds the string: no NUL needed.
  const char unterminated[] = {'a', ',', 'b', 'X'};
  length = 3;
  torqup_(nullptr, &rc, unterminated, &length);
  EXPECT_EQ(rc, 5);
  EXPECT_EQ(ReadRecord(scratch_.Path("record.txt")).at("argc"), "3");
}

TEST_F(Torqupex, WithoutTorq4TheStartFailureIsLoggedAndReturned) {
  std::filesystem::remove(scratch_.Path("torq4"));
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  ::setenv("PATH", scratch_.Dir().c_str(), 1);
  const std::int32_t rc = torqupc_("mode=adc");
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(rc, 0x0F000000 + ENOENT);  // the system's error number, tagged
  EXPECT_NE(ReadText(scratch_.Path("torq4.log")).find("*ERROR* CreateProcess torq4: 2\n"), std::string::npos);
}

TEST_F(Torqupex, PathIsSearchedInItsAbsoluteFoldersOnly) {
  // No torq4 beside the library; one planted in the caller's current folder, one in "bin".
  std::filesystem::remove(scratch_.Path("torq4"));
  std::filesystem::create_directory(scratch_.Path("bin"));
  std::filesystem::create_directory(scratch_.Path("planted"));
  ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "bin/torq4"));
  ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "planted/torq4"));
  ASSERT_EQ(::chdir(scratch_.Path("planted").c_str()), 0);
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  struct Case {
    const char* path;  // null: PATH unset (the system's default path, without torq4)
    bool runsBin;      // else nothing is found
  };
  const std::string bin = scratch_.Path("bin");
  const std::string withEmpty = "/nonexistent::" + bin;
  const Case cases[] = {
      {nullptr, false}, {"", false}, {":", false}, {".", false}, {"../bin", false}, {"/nonexistent::.", false},
      {bin.c_str(), true}, {withEmpty.c_str(), true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(scratch_.Path("record.txt"));
    if (c.path) {
      ::setenv("PATH", c.path, 1);
    } else {
      ::unsetenv("PATH");
    }
    const std::int32_t rc = torqupc_("mode=adc");
    ::setenv("PATH", saved.c_str(), 1);
    const char* shown = c.path ? c.path : "(unset)";
    if (c.runsBin) {
      EXPECT_EQ(rc, 0) << shown;
      EXPECT_EQ(ReadRecord(scratch_.Path("record.txt")).at("exe"), bin + "/torq4") << shown;
    } else {
      EXPECT_EQ(rc, 0x0F000000 + ENOENT) << shown;
      EXPECT_FALSE(std::filesystem::exists(scratch_.Path("record.txt"))) << shown;
    }
  }
}

TEST_F(Torqupex, TheLogIsWrittenOnlyWhenItIsARegularFile) {
  // What another user may have planted under "torq4.log" in the caller's folder. Each call runs
  // in a child process of the test, so that a call that blocks for good ends by the alarm.
  const std::string log = scratch_.Path("torq4.log");
  const std::string victim = scratch_.Path("victim.txt");
  struct Case {
    const char* what;
    void (*plant)(const std::string& log, const std::string& victim);
    const char* logAfter;  // the log's bytes afterwards, null when it is no regular file
  };
  const Case cases[] = {
      {"a regular file", [](const std::string& log, const std::string&) { std::ofstream(log) << "old\n"; },
       "old\nstand-in error output\n"},
      {"a link to another file",
       [](const std::string& log, const std::string& victim) { std::filesystem::create_symlink(victim, log); }, nullptr},
      {"a link to no file",
       [](const std::string& log, const std::string& victim) {
         std::filesystem::create_symlink(victim + ".new", log);
       },
       nullptr},
      {"a FIFO", [](const std::string& log, const std::string&) { ::mkfifo(log.c_str(), 0666); }, nullptr},
      {"a folder", [](const std::string& log, const std::string&) { std::filesystem::create_directory(log); },
       nullptr},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(log);
    std::filesystem::remove(scratch_.Path("record.txt"));
    std::filesystem::remove(victim + ".new");
    std::ofstream(victim) << "someone else's\n";
    c.plant(log, victim);
    const std::filesystem::file_type planted = std::filesystem::symlink_status(log).type();
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::alarm(20);
      ::_exit(torqupc_("mode=adc") == 0 ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.what << ": status " << status;
    EXPECT_TRUE(std::filesystem::exists(scratch_.Path("record.txt"))) << c.what;  // torq4 ran
    EXPECT_EQ(ReadText(victim), "someone else's\n") << c.what;
    EXPECT_FALSE(std::filesystem::exists(victim + ".new")) << c.what;
    EXPECT_EQ(std::filesystem::symlink_status(log).type(), planted) << c.what;
    if (c.logAfter) {
      EXPECT_EQ(ReadText(log), c.logAfter) << c.what;
    }
  }
}

TEST_F(Torqupex, TwoThreadsGetTheirOwnCodes) {
  ::unsetenv("STANDIN_RECORD");
  std::int32_t a = 0, b = 0;
  std::thread first([&] {
    for (int i = 0; i < 5 && a != -99; ++i) a = torqupc_("result=code:300") == 300 ? a : -99;
  });
  std::thread second([&] {
    for (int i = 0; i < 5 && b != -99; ++i) b = torqupc_("result=code:513") == 513 ? b : -99;
  });
  first.join();
  second.join();
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 0);
}

TEST_F(Torqupex, OnlyTheTwoEntryPointsAreExported) {
  // A name may still be found in a library this one depends on (operator new in the C++
  // runtime), but never in this one.
  const std::string self = scratch_.Path("libtorqupex.so");
  for (const char* hidden : {"_Z11rmHeapAllocj", "_ZN5TArgv3AddEPKc", "_Znwm", "_ZdlPv", "_Z8RunTorq4R5TArgvPKc",
                             "_Z15LoadEnvironmentPKc", "_Z9FindTorq4Pcm"}) {
    void* found = ::dlsym(library_, hidden);
    Dl_info info{};
    if (found && ::dladdr(found, &info) && info.dli_fname) {
      EXPECT_NE(self, info.dli_fname) << hidden;
    }
  }
  Dl_info info{};
  ASSERT_NE(::dladdr(reinterpret_cast<void*>(torqupc_), &info), 0);
  EXPECT_EQ(self, info.dli_fname);
}

// The real torq4 beside the library and beside torqcmd: a file is compressed and restored, a bad
// keyword gives 81, and a code above 255 arrives whole.
TEST(LaunchersWithTorq4, CompressAndRestore) {
  Scratch scratch;
  ASSERT_TRUE(scratch.Copy("libtorqupex.so", "libtorqupex.so"));
  ASSERT_TRUE(scratch.Copy("torq4", "torq4"));
  ASSERT_TRUE(scratch.Copy("torqcmd", "torqcmd"));
  ASSERT_TRUE(scratch.Copy("torqinit", "torqinit"));
  ASSERT_EQ(std::system(("'" + scratch.Path("torqinit") + "' > /dev/null").c_str()), 0);
  {
    std::ofstream text(scratch.Path("in.txt"));
    for (int i = 0; i < 2000; ++i) text << "line " << i << " of the sample\n";
  }
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(scratch.Dir().c_str()), 0);
  void* library = ::dlopen(scratch.Path("libtorqupex.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  auto torqupc = reinterpret_cast<TorqupcFn>(::dlsym(library, "torqupc"));
  ASSERT_NE(torqupc, nullptr);
  EXPECT_EQ(torqupc("compress,torqin=in.txt,torqfile=in.tq,show=none"), 0);
  EXPECT_EQ(torqupc("decompress,torqfile=in.tq,torqout=back.txt,show=none"), 0);
  EXPECT_EQ(ReadText(scratch.Path("back.txt")), ReadText(scratch.Path("in.txt")));
  EXPECT_EQ(torqupc("compress,nosuchkeyword=1"), 81);
  // Items are separated by commas: blanks leave one item, which is no keyword. A bracketed
  // value keeps its commas.
  EXPECT_EQ(torqupc("compress torqin=in.txt torqfile=blank.tq show=none"), 81);
  EXPECT_FALSE(std::filesystem::exists(scratch.Path("blank.tq")));
  {
    std::ofstream(scratch.Path("in2.txt")) << "second\n";
  }
  EXPECT_EQ(torqupc("compress,torqin=(in.txt,in2.txt),torqfile=two.tq,show=none"), 0);
  EXPECT_EQ(torqupc("decompress,torqfile=two.tq,torqout=two.txt,append,show=none"), 0);
  EXPECT_EQ(ReadText(scratch.Path("two.txt")), ReadText(scratch.Path("in.txt")) + "second\n");
  EXPECT_NE(ReadText(scratch.Path("torq4.log")).find("81: Unknown argument or qualifier: nosuchkeyword"), std::string::npos);
  // A container that cannot be created (a file stands where its folder should be): the code
  // is the system error tagged with the container's origin, and arrives whole.
  EXPECT_EQ(torqupc("compress,torqin=in.txt,torqfile=in.txt/x.tq,show=none"),
            static_cast<std::int32_t>(0xFF000000u | ENOTDIR));
  ::dlclose(library);

  const std::string run = "'" + scratch.Path("torqcmd") + "' compress torqin=in.txt torqfile=cmd.tq show=none";
  const int status = std::system((run + " > cmd.out 2>&1").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(scratch.Path("cmd.out"));
  EXPECT_NE(ReadText(scratch.Path("cmd.out")).find("*SUCCESS*"), std::string::npos);
  EXPECT_EQ(std::system(("'" + scratch.Path("torqcmd") +
                         "' decompress torqfile=cmd.tq torqout=cmd.txt show=none > /dev/null 2>&1").c_str()), 0);
  EXPECT_EQ(ReadText(scratch.Path("cmd.txt")), ReadText(scratch.Path("in.txt")));
  EXPECT_EQ(::chdir(cwd), 0);
}
