// What a failed or interrupted torq4 run leaves behind: no container where none was, the old
// container byte for byte where one was, and never a half-written file under a finished name.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <chrono>
#include <random>
#include <thread>

#include "torqup/torq4_runner.h"

namespace torq4test {
namespace {

// Files in `folder` whose names show a run's temporary.
std::vector<std::string> Temporaries(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".torq4-")) found.push_back(name);
  }
  return found;
}

// Lines of text that compress poorly, so a few hundred KB fill a small file system.
std::string NoisyText(std::size_t bytes) {
  std::mt19937 random(27);
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string text;
  while (text.size() < bytes) {
    for (int i = 0; i < 75; ++i) text += kLetters[random() % (sizeof kLetters - 1)];
    text += '\n';
  }
  return text;
}

class Torq4FailedRuns : public Torq4 {
 protected:
  void TearDown() override {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
    Torq4::TearDown();
  }

  // Starts torq4 in the test folder without waiting: standard input from `stdinFd`, the file
  // size limited to `fileLimit` bytes when given (writes beyond it fail with EFBIG).
  pid_t Start(const std::vector<std::string>& args, int stdinFd, rlim_t fileLimit = RLIM_INFINITY) {
    std::vector<std::string> all{program_.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string err = S(".err"), folder = dir_.string();
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      // A test run in the background may have these ignored; the program keeps what it finds.
      for (const int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);
      dup2(stdinFd, 0);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int n = open("/dev/null", O_WRONLY);
      dup2(n, 1);
      dup2(e, 2);
      if (fileLimit != RLIM_INFINITY) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileLimit, fileLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      execv(argv[0], argv.data());
      _exit(127);
    }
    return pid;
  }

  // The run's exit code, or 1000 + the signal that ended it.
  static int Wait(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }

  // Runs to the end with standard input from /dev/null.
  RunResult RunLimited(const std::vector<std::string>& args, rlim_t fileLimit) {
    const int in = open("/dev/null", O_RDONLY);
    RunResult r;
    r.status = Wait(Start(args, in, fileLimit));
    close(in);
    r.err = ReadFile(P(".err"));
    return r;
  }

  // A small file system of its own when the tests run as root; empty when none can be had.
  fs::path SmallFileSystem(const std::string& size) {
    if (geteuid() != 0) return {};
    const fs::path mountPoint = P("small");
    fs::create_directories(mountPoint);
    const std::string options = "size=" + size;
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0) return {};
    mounted_ = mountPoint.string();
    return mountPoint;
  }

  // Writes a container of a.txt at `container` with the given extra parameters.
  void MakeContainer(const fs::path& container, const std::vector<std::string>& extra) {
    WriteFile(P("a.txt"), "first line\nsecond line\n");
    std::vector<std::string> args{"compress", "torqin=" + S("a.txt"), "torqfile=" + container.string(),
                                  "options=nopath", "show=none"};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
  }

  // The container still restores a.txt as it was.
  void ExpectRestoresA(const fs::path& container) {
    fs::remove_all(P("restored"));
    const RunResult r = Run({"decompress", "torqfile=" + container.string(), "torqout=[]",
                             "outpath=" + S("restored"), "show=none"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(P("restored/a.txt")), "first line\nsecond line\n");
  }

  std::string mounted_;
};

// A compress that fails while it writes leaves no container, and an add leaves the old one.
TEST_F(Torq4FailedRuns, FixedRecordRemainderLeavesNoContainer) {
  WriteFile(P("odd.bin"), std::string(151, 'x'));  // not a multiple of 80
  for (const bool add : {false, true}) {
    SCOPED_TRACE(add ? "add" : "new container");
    fs::remove(P("c.tq"));
    std::string before;
    if (add) {
      MakeContainer(P("c.tq"), {"mode=cx8"});
      before = ReadFile(P("c.tq"));
    }
    std::vector<std::string> args{"compress", "torqin=" + S("odd.bin"), "torqfile=" + S("c.tq"), "informat=fix",
                                  "inrecsize=80", "mode=cx8", "indelete", "show=none"};
    if (add) args.push_back("add");
    const RunResult r = Run(args);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(fs::exists(P("c.tq")), add);
    if (add) {
      EXPECT_TRUE(ReadFile(P("c.tq")) == before) << "the old container changed";
      ExpectRestoresA(P("c.tq"));
    }
    EXPECT_TRUE(fs::exists(P("odd.bin"))) << "an input was deleted by a failed run";
    EXPECT_TRUE(Temporaries(dir_).empty());
  }
}

// A signal that lands while a file is being written ends the run by that signal and takes the
// temporary file with it: a new container, a container being added to, or a restored output;
// an output appended to in place is cut back to what it held before the run, also through a
// link to it.
// The input comes through a pipe the test holds open, so the run is surely in the middle.
TEST_F(Torq4FailedRuns, SignalLeavesNothingOrTheOldContainer) {
  enum Kind { kNewContainer, kAdd, kRestore, kRestoreAppend, kRestoreAppendLink };
  struct Case {
    int signal;
    Kind kind;
  };
  const std::string lines = NoisyText(512 * 1024);
  WriteFile(P("big.txt"), lines);
  ASSERT_EQ(Run({"compress", "torqin=" + S("big.txt"), "torqfile=" + S("big.tq"), "mode=cx8", "show=none"}).status, 0);
  const std::string bigContainer = ReadFile(P("big.tq"));
  for (const Case c : {Case{SIGINT, kNewContainer}, Case{SIGTERM, kNewContainer}, Case{SIGHUP, kNewContainer},
                       Case{SIGINT, kAdd}, Case{SIGTERM, kAdd}, Case{SIGHUP, kAdd}, Case{SIGINT, kRestore},
                       Case{SIGTERM, kRestore}, Case{SIGINT, kRestoreAppend}, Case{SIGTERM, kRestoreAppend},
                       Case{SIGTERM, kRestoreAppendLink}}) {
    const bool appending = c.kind == kRestoreAppend || c.kind == kRestoreAppendLink;
    const bool restore = c.kind == kRestore || appending;
    SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.kind == kAdd ? ", add" : restore ? ", restore" : "") +
                 (appending ? " appending" : "") + (c.kind == kRestoreAppendLink ? " through a link" : ""));
    fs::remove(P("c.tq"));
    fs::remove(P("out.txt"));
    fs::remove(P("real.txt"));
    const std::string previous = "what stood there before\n";
    if (c.kind == kRestoreAppend) WriteFile(P("out.txt"), previous);
    if (c.kind == kRestoreAppendLink) {
      WriteFile(P("real.txt"), previous);
      fs::create_symlink("real.txt", P("out.txt"));
    }
    std::string before;
    if (c.kind == kAdd) {
      MakeContainer(P("c.tq"), {"mode=cx8"});
      before = ReadFile(P("c.tq"));
    }
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    std::vector<std::string> args{"compress", "torqin=", "torqfile=" + S("c.tq"), "options=nopath", "mode=cx8",
                                  "show=none"};
    if (c.kind == kAdd) args.push_back("add");
    if (restore) args = {"decompress", "torqfile=", "torqout=" + S("out.txt"), "show=none"};
    if (appending) args.push_back("append");
    const pid_t pid = Start(args, pipeFds[0]);
    close(pipeFds[0]);
    const std::string_view fed = restore ? std::string_view(bigContainer).substr(0, bigContainer.size() / 2)
                                                     : std::string_view(lines);
    ASSERT_EQ(write(pipeFds[1], fed.data(), fed.size()), static_cast<ssize_t>(fed.size()));
    // The run now writes its file and waits for more input.
    bool started = false;
    for (int i = 0; i < 1000 && !started; ++i) {
      started = appending ? fs::file_size(P("out.txt")) > previous.size() : !Temporaries(dir_).empty();
      if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(started) << "no temporary file appeared";
    kill(pid, c.signal);
    close(pipeFds[1]);  // should the signal not end it, the run ends at the end of its input
    EXPECT_EQ(Wait(pid), 1000 + c.signal);
    EXPECT_EQ(fs::exists(P("c.tq")), c.kind == kAdd);
    if (appending) {
      EXPECT_EQ(ReadFile(P("out.txt")), previous);
      EXPECT_EQ(fs::is_symlink(P("out.txt")), c.kind == kRestoreAppendLink);
    } else {
      EXPECT_FALSE(fs::exists(P("out.txt")));
    }
    if (c.kind == kAdd) {
      EXPECT_TRUE(ReadFile(P("c.tq")) == before) << "the old container changed";
      ExpectRestoresA(P("c.tq"));
    }
    EXPECT_TRUE(Temporaries(dir_).empty());
  }
}

// Where one run writes several containers, each takes its place when it is closed whole: a
// failure in the second leaves the first in place and the second nowhere.
TEST_F(Torq4FailedRuns, EachContainerTakesItsPlaceWhenClosedWhole) {
  WriteFile(P("a.bin"), std::string(160, 'a'));
  WriteFile(P("b.bin"), std::string(151, 'b'));  // not a multiple of 80
  const RunResult r = Run({"compress", "torqin=(" + S("a.bin") + "," + S("b.bin") + ")",
                           "torqfile=(" + S("a.tq") + "," + S("b.tq") + ")", "informat=fix", "inrecsize=80",
                           "mode=cx8", "options=nopath", "show=none"});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(fs::exists(P("a.tq")));
  EXPECT_FALSE(fs::exists(P("b.tq")));
  EXPECT_TRUE(Temporaries(dir_).empty());
  const RunResult d = Run({"decompress", "torqfile=" + S("a.tq"), "torqout=[]", "outpath=" + S("restored"),
                           "outformat=fix", "outrecsize=80", "show=none"});
  EXPECT_EQ(d.status, 0) << d.err;
  EXPECT_EQ(ReadFile(P("restored/a.bin")), std::string(160, 'a'));
}

// An add whose blocks would be of another form than the container's is refused before anything
// is written: 7-bit letters and 8-bit blocks cannot share a file, nor ASCII and EBCDIC letters.
TEST_F(Torq4FailedRuns, AddOfAnotherFormIsRefused) {
  struct Case {
    std::vector<std::string> container, added;
    int status;
  };
  const Case cases[] = {
      {{"mode=cx8"}, {"mode=cx7"}, 22},
      {{"mode=adc"}, {"mode=cx7"}, 22},
      {{"mode=cx7"}, {"mode=cx8"}, 22},
      {{"mode=cx7"}, {"mode=adc"}, 22},
      {{"mode=cx7", "torqcode=ascii"}, {"mode=cx7", "torqcode=ebcdic"}, 26},
      {{"mode=cx7", "torqcode=ebcdic"}, {"mode=cx7", "torqcode=ascii"}, 26},
  };
  WriteFile(P("b.txt"), "added\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.container[0] + " + " + c.added.back());
    fs::remove(P("c.tq"));
    MakeContainer(P("c.tq"), c.container);
    const std::string before = ReadFile(P("c.tq"));
    std::vector<std::string> args{"compress", "torqin=" + S("b.txt"), "torqfile=" + S("c.tq"), "options=nopath",
                                  "add", "show=error"};
    args.insert(args.end(), c.added.begin(), c.added.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(S("c.tq")), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(P("c.tq")) == before) << "the old container changed";
    ExpectRestoresA(P("c.tq"));
    EXPECT_TRUE(Temporaries(dir_).empty());
  }
  // The container's own form is added as before.
  fs::remove(P("c.tq"));
  MakeContainer(P("c.tq"), {"mode=cx7", "torqcode=ebcdic"});
  RunResult r = Run({"compress", "torqin=" + S("b.txt"), "torqfile=" + S("c.tq"), "options=nopath", "add",
                     "mode=cx7", "torqcode=ebcdic", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectRestoresA(P("c.tq"));
  EXPECT_EQ(ReadFile(P("restored/b.txt")), "added\n");
}

// A container write that fails for want of room ends the run; the container is not left
// behind, an added-to container stays as it was, and the messages name the container.
TEST_F(Torq4FailedRuns, FullDiskLeavesNothingOrTheOldContainer) {
  WriteFile(P("big.txt"), NoisyText(600 * 1024));
  WriteFile(P("small.txt"), NoisyText(30 * 1024));
  struct Case {
    bool smallFileSystem;  // else a file size limit makes the writes fail
    bool add;
    std::uintmax_t filled;  // bytes of the small file system taken before the run
    const char* input;
  };
  // With the file system almost full before the run, the last write, at the close, fails.
  for (const Case c : {Case{true, false, 0, "big.txt"}, Case{true, true, 0, "big.txt"},
                       Case{true, false, 244 * 1024, "small.txt"}, Case{false, false, 0, "big.txt"},
                       Case{false, true, 0, "big.txt"}}) {
    SCOPED_TRACE(std::string(c.smallFileSystem ? "small file system" : "file size limit") +
                 (c.add ? ", add" : ", new container") + (c.filled != 0 ? ", almost full" : ""));
    fs::path folder = dir_;
    if (c.smallFileSystem) {
      if (mounted_.empty()) folder = SmallFileSystem("256k");
      else folder = mounted_;
      if (folder.empty()) {
        std::cout << "[  SKIPPED ] no small file system (needs root)\n";
        continue;
      }
      fs::remove(folder / "filler");
      if (c.filled != 0) WriteFile(folder / "filler", std::string(c.filled, '\0'));
    }
    const fs::path container = folder / "c.tq";
    fs::remove(container);
    std::string before;
    if (c.add) {
      MakeContainer(container, {"mode=cx8"});
      before = ReadFile(container);
    }
    std::vector<std::string> args{"compress", "torqin=" + S(c.input), "torqfile=" + container.string(),
                                  "mode=cx8", "indelete", "show=error"};
    if (c.add) args.push_back("add");
    const RunResult r = c.smallFileSystem ? Run(args) : RunLimited(args, 64 * 1024);
    EXPECT_NE(r.status, 0) << r.err;
    EXPECT_EQ(fs::exists(container), c.add);
    if (c.add) {
      EXPECT_TRUE(ReadFile(container) == before) << "the old container changed";
      ExpectRestoresA(container);
    }
    EXPECT_TRUE(fs::exists(P(c.input))) << "an input was deleted by a failed run";
    EXPECT_TRUE(Temporaries(folder).empty());
    // The failed write is put down to the container, not to the input file.
    EXPECT_NE(r.err.find("*ERROR* " + container.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Write error"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Source file device check"), std::string::npos) << r.err;
    if (c.smallFileSystem) {
      EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    }
  }
}

// A run that ends well leaves its container and no temporary beside it; inputs are deleted
// only then.
TEST_F(Torq4FailedRuns, WholeRunPutsTheContainerInPlace) {
  WriteFile(P("b.txt"), "b\n");
  MakeContainer(P("c.tq"), {"mode=cx8"});
  fs::permissions(P("c.tq"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const RunResult r = Run({"compress", "torqin=" + S("b.txt"), "torqfile=" + S("c.tq"), "options=nopath", "add",
                           "mode=cx8", "indelete", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(P("b.txt")));
  EXPECT_TRUE(Temporaries(dir_).empty());
  EXPECT_EQ(fs::status(P("c.tq")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ExpectRestoresA(P("c.tq"));
  EXPECT_EQ(ReadFile(P("restored/b.txt")), "b\n");
}

}  // namespace
}  // namespace torq4test
