// Files that more than one run, or a later step of the same run, still needs: two runs adding
// to one container or appending to one output wait for each other, and the deletes at the end
// of a run keep what was not restored whole, what changed after it was read, and what may not
// have reached the disk.
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "torqup/torq4_runner.h"

namespace torq4test {
namespace {

// Numbered lines, so a lost or doubled line shows.
std::string NumberedLines(const std::string& tag, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += tag + " " + std::to_string(i) + " " + std::to_string(i * 7919 % 100003) + "\n";
  return text;
}

class Torq4SharedFiles : public Torq4 {
 protected:
  // Starts torq4 in the test folder, output and errors to files of their own.
  pid_t Start(const std::vector<std::string>& args, const std::string& tag,
              const std::vector<std::string>& env = {}) {
    std::vector<std::string> all{program_.string()};
    all.insert(all.end(), args.begin(), args.end());
    const std::string folder = dir_.string(), err = S(".err-" + tag);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int n = open("/dev/null", O_RDWR);
      dup2(n, 0);
      dup2(n, 1);
      dup2(e, 2);
      for (const std::string& v : env) putenv(strdup(v.c_str()));
      std::vector<char*> argv;
      for (std::string& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  RunResult Compress(const std::string& inputs, const std::string& container, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"compress", "torqin=" + inputs, "torqfile=" + container, "options=nopath",
                                  "show=error"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  // Restores every member under its stored name into `folder`.
  RunResult RestoreAll(const std::string& container, const std::string& folder) {
    return Run({"decompress", "torqfile=" + container, "torqout=[]", "outpath=" + S(folder), "show=error"});
  }
};

// Two runs adding to one container at once: both end 0 and the container holds every member.
// Two restores appending to one output at once: both end 0 and the output holds both whole.
TEST_F(Torq4SharedFiles, TwoRunsOnOneFileKeepBothResults) {
  const std::string big = NumberedLines("a", 200000), small = NumberedLines("b", 50);
  WriteFile(P("a.txt"), big);
  WriteFile(P("b.txt"), small);
  WriteFile(P("o.txt"), "old member\n");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove(P("c.tq"));
    ASSERT_EQ(Compress(S("o.txt"), S("c.tq")).status, 0);
    const pid_t first = Start({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "options=nopath", "add",
                               "show=error"}, "a");
    const pid_t second = Start({"compress", "torqin=" + S("b.txt"), "torqfile=" + S("c.tq"), "options=nopath", "add",
                                "show=error"}, "b");
    EXPECT_EQ(Wait(first), 0) << ReadFile(P(".err-a"));
    EXPECT_EQ(Wait(second), 0) << ReadFile(P(".err-b"));
    fs::remove_all(P("out"));
    const RunResult r = RestoreAll(S("c.tq"), "out");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadFile(P("out/a.txt")) == big) << "member a lost";
    EXPECT_EQ(ReadFile(P("out/b.txt")), small);
    EXPECT_EQ(ReadFile(P("out/o.txt")), "old member\n");
  }
  ASSERT_EQ(Compress(S("a.txt"), S("a.tq")).status, 0);
  ASSERT_EQ(Compress(S("b.txt"), S("b.tq")).status, 0);
  fs::remove(P("all.txt"));
  const pid_t first = Start({"decompress", "torqfile=" + S("a.tq"), "torqout=" + S("all.txt"), "append", "show=error"}, "a");
  const pid_t second = Start({"decompress", "torqfile=" + S("b.tq"), "torqout=" + S("all.txt"), "append", "show=error"}, "b");
  EXPECT_EQ(Wait(first), 0) << ReadFile(P(".err-a"));
  EXPECT_EQ(Wait(second), 0) << ReadFile(P(".err-b"));
  const std::string all = ReadFile(P("all.txt"));
  EXPECT_TRUE(all == big + small || all == small + big) << "the output holds " << all.size() << " bytes";
}

// delete removes a container only when every one of its members was restored and the outputs
// still hold them at the end of the run; otherwise the container stays, a message says why,
// and the run ends with 103 ("File was not deleted").
TEST_F(Torq4SharedFiles, DeleteKeepsContainersStillNeeded) {
  WriteFile(P("m1.txt"), "one\n");
  WriteFile(P("m2.txt"), "two\n");
  WriteFile(P("sub/m2.txt"), "other two\n");
  struct Case {
    const char* label;
    std::vector<std::string> containers;  // made of these inputs, one container each
    std::vector<std::string> restore;     // what the restore is asked
    std::vector<bool> kept;
    const char* reason;
  };
  const Case cases[] = {
      {"one member of two", {"(m1.txt,m2.txt)"}, {"torqout=[#1]", "outpath=out"}, {true}, "not every member"},
      {"two members of one name", {"(m2.txt,sub/m2.txt)"}, {"torqout=[]", "outpath=out"}, {true}, "replaced"},
      {"two containers into one output", {"m1.txt", "m2.txt"}, {"torqout=all.txt"}, {true, false}, "replaced"},
      {"every member restored", {"(m1.txt,m2.txt)"}, {"torqout=[]", "outpath=out"}, {false}, nullptr},
      {"two containers appended", {"m1.txt", "m2.txt"}, {"torqout=all.txt", "append"}, {false, false}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(P("out"));
    fs::remove(P("all.txt"));
    std::string list;
    for (std::size_t i = 0; i < c.containers.size(); ++i) {
      const std::string name = "d" + std::to_string(i) + ".tq";
      fs::remove(P(name));
      ASSERT_EQ(Run({"compress", "torqin=" + c.containers[i], "torqfile=" + name, "show=none"}).status, 0);
      list += (list.empty() ? "" : ",") + name;
    }
    std::vector<std::string> args{"decompress", "torqfile=(" + list + ")", "delete", "show=error"};
    args.insert(args.end(), c.restore.begin(), c.restore.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, c.reason != nullptr ? 103 : 0) << r.err;
    for (std::size_t i = 0; i < c.kept.size(); ++i) {
      const std::string name = "d" + std::to_string(i) + ".tq";
      EXPECT_EQ(fs::exists(P(name)), c.kept[i]) << name;
      if (c.kept[i]) {
        EXPECT_NE(r.err.find(S(name) + ": "), std::string::npos) << r.err;
      }
    }
    if (c.reason != nullptr) {
      EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    }
  }
}

// indelete keeps an input that changed after it was read: a line added to a log while the run
// read its next input (a FIFO that the test feeds only after adding the line).
TEST_F(Torq4SharedFiles, IndeleteKeepsAnInputThatChanged) {
  WriteFile(P("log.txt"), "first entry\n");
  ASSERT_EQ(mkfifo(P("next").c_str(), 0600), 0);
  const pid_t pid = Start({"compress", "torqin=(log.txt,next)", "torqfile=c.tq", "indelete", "show=error"}, "run");
  const int fifo = open(P("next").c_str(), O_WRONLY);  // waits for the run to open its next input
  ASSERT_GE(fifo, 0);
  std::ofstream(P("log.txt"), std::ios::app) << "second entry\n";
  ASSERT_EQ(write(fifo, "fed\n", 4), 4);
  close(fifo);
  const int status = Wait(pid);
  const std::string err = ReadFile(P(".err-run"));
  EXPECT_EQ(status, 103) << err;
  EXPECT_EQ(ReadFile(P("log.txt")), "first entry\nsecond entry\n");
  EXPECT_NE(err.find(S("log.txt") + ": it changed after it was read"), std::string::npos) << err;
  // What it read is in the container.
  const RunResult r = RestoreAll(S("c.tq"), "out");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("out/log.txt")), "first entry\n");
}

// Nothing is deleted when the written files may not have reached the disk: with fsync failing,
// a restore with delete and a compress with indelete fail and keep their inputs.
TEST_F(Torq4SharedFiles, NoDeleteWhenTheDiskDidNotTakeTheBytes) {
  WriteFile(P("a.txt"), "kept\n");
  ASSERT_EQ(Compress(S("a.txt"), S("c.tq")).status, 0);
  std::string asan = "ASAN_OPTIONS=verify_asan_link_order=0";
  if (const char* options = std::getenv("ASAN_OPTIONS")) asan += std::string(":") + options;
  const std::vector<std::string> env{"LD_PRELOAD=" + (fs::path(TORQ_BIN_DIR) / "torq_failing_fsync.so").string(), asan};
  for (const bool compress : {false, true}) {
    SCOPED_TRACE(compress ? "compress with indelete" : "restore with delete");
    const RunResult r = compress ? Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("d.tq"), "indelete",
                                        "show=error"}, "", env)
                                 : Run({"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("out.txt"), "delete",
                                        "show=error"}, "", env);
    EXPECT_NE(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Input/output error"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(P(compress ? "a.txt" : "c.tq")));
    EXPECT_FALSE(fs::exists(P(compress ? "d.tq" : "out.txt")));
  }
}

// An output that is a FIFO is written through once; delete does not open it again, so the run
// ends (and deletes the container, all of which the reader got).
TEST_F(Torq4SharedFiles, FifoOutputWithDeleteEnds) {
  WriteFile(P("a.txt"), "through the pipe\n");
  ASSERT_EQ(Compress(S("a.txt"), S("c.tq")).status, 0);
  ASSERT_EQ(mkfifo(P("pipe").c_str(), 0600), 0);
  const pid_t pid = Start({"decompress", "torqfile=c.tq", "torqout=pipe", "delete", "show=error"}, "run");
  const int fifo = open(P("pipe").c_str(), O_RDONLY);
  ASSERT_GE(fifo, 0);
  std::string got;
  char buffer[256];
  for (ssize_t n; (n = read(fifo, buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
  close(fifo);
  int status = -1;
  for (int i = 0; i < 1000 && status == -1; ++i) {
    int wstatus = 0;
    if (waitpid(pid, &wstatus, WNOHANG) == pid) status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 1000;
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (status == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  EXPECT_EQ(status, 0) << ReadFile(P(".err-run"));
  EXPECT_EQ(got, "through the pipe\n");
  EXPECT_FALSE(fs::exists(P("c.tq")));
  EXPECT_TRUE(fs::is_fifo(P("pipe")));
}

}  // namespace
}  // namespace torq4test
