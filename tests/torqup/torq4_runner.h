// Runs the torq4 program in a temporary folder of its own, for tests end to end.
#pragma once
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace torq4test {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

struct RunResult {
  int status = -1;
  std::string out, err;
};

class Torq4 : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = fs::path(TORQ_BIN_DIR) / "torq4";
    ASSERT_TRUE(fs::is_regular_file(program_)) << program_;
    if (!fs::exists("torqmsg.dat") || !fs::exists("torqdef.dat")) {
      ASSERT_EQ(std::system("./torqinit > /dev/null"), 0);
    }
    dir_ = fs::temp_directory_path() / ("torq4_e2e_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Runs torq4 in the temporary folder; standard input from `input` (a file) when given.
  RunResult Run(const std::vector<std::string>& args, const std::string& input = "",
                const std::vector<std::string>& env = {}) {
    const fs::path out = dir_ / ".out", err = dir_ / ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all{program_.string()};
    all.insert(all.end(), args.begin(), args.end());
    // The factory method is a block coder; these runs use the record-matrix methods.
    const bool methodNamed = std::any_of(args.begin(), args.end(), [](const std::string& a) { return a.starts_with("mode="); });
    if (!args.empty() && args[0] == "compress" && !methodNamed) all.push_back("mode=cx8");
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment(env);
    for (char** e = environ; *e != nullptr; ++e) environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    pid_t pid = 0;
    RunResult r;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
      int wstatus = 0;
      waitpid(pid, &wstatus, 0);
      r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 1000 + WTERMSIG(wstatus);
    }
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    fs::remove(out);
    fs::remove(err);
    return r;
  }

  fs::path P(const std::string& name) const { return dir_ / name; }
  std::string S(const std::string& name) const { return P(name).string(); }

  fs::path program_;
  fs::path dir_;
};

}  // namespace torq4test
