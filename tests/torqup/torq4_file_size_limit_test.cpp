// torq4 under a file-size limit (ulimit -f): a write over the limit fails and the run takes
// back what it wrote, instead of being ended half way by SIGXFSZ.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "torqup/torq4_runner.h"

namespace fs = std::filesystem;
using torq4test::ReadFile;
using torq4test::Torq4;
using torq4test::WriteFile;

namespace {

constexpr rlim_t kLimit = 64 * 1024;

class Torq4FileSizeLimit : public Torq4 {
 protected:
  // Runs torq4 in the folder with RLIMIT_FSIZE set in the child alone; the wait status.
  int RunLimited(const std::vector<std::string>& args) {
    std::vector<std::string> all{program_.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const rlimit limit{kLimit, kLimit};
      const int null = ::open("/dev/null", O_RDWR);
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::chdir(dir_.c_str()) != 0 || null < 0) ::_exit(126);
      for (int fd = 0; fd < 3; ++fd) ::dup2(null, fd);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = -1;
    if (pid > 0) ::waitpid(pid, &status, 0);
    return status;
  }

  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().starts_with(".torq4-")) found.push_back(e.path().filename().string());
    return found;
  }
};

std::string Incompressible(std::size_t size) {
  std::mt19937 random(7);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string Lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + " of the sample\n";
  return text;
}

}  // namespace

TEST_F(Torq4FileSizeLimit, AWriteOverTheLimitFailsAndLeavesTheTargetAsItWas) {
  WriteFile(P("big.bin"), Incompressible(6 * kLimit));
  WriteFile(P("lines.txt"), Lines(20000));  // restores to well over the limit
  ASSERT_EQ(Run({"compress", "torqin=" + S("lines.txt"), "torqfile=" + S("lines.tq"), "show=none"}).status, 0);
  ASSERT_EQ(Run({"compress", "torqin=" + S("lines.txt"), "torqfile=" + S("old.tq"), "show=none"}).status, 0);
  WriteFile(P("out.txt"), Lines(100));

  struct Case {
    const char* what;
    std::vector<std::string> args;
    const char* target;
  };
  const Case cases[] = {
      {"a new container", {"compress", "torqin=" + S("big.bin"), "torqfile=" + S("new.tq"), "show=none"}, "new.tq"},
      {"a container replaced",
       {"compress", "torqin=" + S("big.bin"), "torqfile=" + S("old.tq"), "show=none"},
       "old.tq"},
      {"an output appended to",
       {"decompress", "torqfile=" + S("lines.tq"), "torqout=" + S("out.txt"), "append", "show=none"},
       "out.txt"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> before =
        fs::exists(P(c.target)) ? std::optional(ReadFile(P(c.target))) : std::nullopt;
    const int status = RunLimited(c.args);
    ASSERT_TRUE(WIFEXITED(status)) << c.what << ": ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), EFBIG) << c.what;
    EXPECT_EQ(Temporaries(), std::vector<std::string>{}) << c.what;
    if (before) {
      EXPECT_EQ(ReadFile(P(c.target)), *before) << c.what;
    } else {
      EXPECT_FALSE(fs::exists(P(c.target))) << c.what;
    }
  }
}
