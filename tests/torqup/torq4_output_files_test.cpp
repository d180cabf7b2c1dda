// How a restore puts its outputs on the disk: a replaced output keeps what it was (mode, links),
// a name that is not a regular file is written in place, and a failure names the output the
// user asked for with the system's own reason.
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "torqup/torq4_runner.h"

namespace torq4test {
namespace {

constexpr char kText[] = "first line\nsecond line\n";

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

mode_t CurrentUmask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

class Torq4OutputFiles : public Torq4 {
 protected:
  void SetUp() override {
    Torq4::SetUp();
    WriteFile(P("a.txt"), kText);
    const RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  void TearDown() override {
    if (!mounted_.empty()) umount2(mounted_.c_str(), MNT_DETACH);
    Torq4::TearDown();
  }

  RunResult Restore(const std::string& output, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"decompress", "torqfile=" + S("c.tq"), "torqout=" + output, "show=error"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }

  std::string mounted_;
};

// An output restored over an existing file keeps its mode; a link stays a link and the file it
// names is replaced; a new output gets the mode a plain create gives. Another hard link keeps
// the old data: the output is a new file.
TEST_F(Torq4OutputFiles, ReplacedOutputKeepsModeAndLinks) {
  struct Case {
    const char* label;
    const char* before;  // the old output's text; null: none
    mode_t mode;         // its mode
    const char* link;    // the output name is a link to this name; null: the output itself
  };
  const mode_t created = 0666 & ~CurrentUmask();
  const Case cases[] = {
      {"private file", "old", 0600, nullptr},
      {"group-readable file", "old", 0640, nullptr},
      {"new file", nullptr, created, nullptr},
      {"link to a file", "old", 0600, "target.txt"},
      {"link to a file not there yet", nullptr, created, "target.txt"},
      {"link into another folder", "old", 0604, "sub/deep.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(P("o"));
    fs::create_directories(P("o/sub"));
    const fs::path file = c.link != nullptr ? P("o") / c.link : P("o/out.txt");
    if (c.before != nullptr) {
      WriteFile(file, c.before);
      fs::permissions(file, static_cast<fs::perms>(c.mode));
    }
    if (c.link != nullptr) fs::create_symlink(c.link, P("o/out.txt"));
    const RunResult r = Restore(S("o/out.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(file), kText);
    EXPECT_EQ(ModeOf(file), c.mode);
    EXPECT_EQ(fs::is_symlink(P("o/out.txt")), c.link != nullptr);
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(P("o"))) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> want{"out.txt", "sub"};
    if (c.link != nullptr) want.push_back(fs::path(c.link).filename().string());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want) << "a temporary was left behind";
  }
  // Run by root, a replaced output keeps its owner and group too.
  if (geteuid() == 0) {
    WriteFile(P("o/owned.txt"), "old");
    ASSERT_EQ(chown(P("o/owned.txt").c_str(), 65534, 65534), 0);
    ASSERT_EQ(Restore(S("o/owned.txt")).status, 0);
    struct stat info {};
    ASSERT_EQ(stat(P("o/owned.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
  }
  // A hard link to the old output keeps the old data.
  WriteFile(P("o/hard.txt"), "old");
  fs::remove(P("o/out.txt"));
  fs::create_hard_link(P("o/hard.txt"), P("o/out.txt"));
  ASSERT_EQ(Restore(S("o/out.txt")).status, 0);
  EXPECT_EQ(ReadFile(P("o/out.txt")), kText);
  EXPECT_EQ(ReadFile(P("o/hard.txt")), "old");
}

// An output name that leads to the container itself, through a link, is refused (85) and the
// container stays as it was.
TEST_F(Torq4OutputFiles, OutputLinkedToTheContainerIsRefused) {
  const std::string before = ReadFile(P("c.tq"));
  fs::create_symlink("c.tq", P("same.txt"));
  const RunResult r = Restore(S("same.txt"));
  EXPECT_EQ(r.status, 85) << r.err;
  EXPECT_EQ(ReadFile(P("c.tq")), before);
  EXPECT_TRUE(fs::is_symlink(P("same.txt")));
}

// Names that are not regular files are written in place, never replaced: /dev/stdout (even
// when standard output is a file), /dev/null and a link to it.
TEST_F(Torq4OutputFiles, NonRegularOutputsAreWrittenInPlace) {
  fs::create_symlink("/dev/null", P("null.lnk"));
  for (const std::string output : {"/dev/stdout", "/dev/null", "null.lnk"}) {
    SCOPED_TRACE(output);
    const RunResult r = Restore(output);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, output == "/dev/stdout" ? kText : "");
  }
  EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink(P("null.lnk")));
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_FALSE(e.path().filename().string().starts_with(".torq4-")) << e.path();
  }
}

// An output whose folder cannot be written: the message names the output the user asked for
// and gives the system's reason; no temporary name, no unknown error text.
TEST_F(Torq4OutputFiles, UnwritableFolderIsNamedWithTheSystemReason) {
  fs::create_directories(P("locked"));
  std::string reason = "Permission denied";
  if (geteuid() == 0) {
    // The owner's permission bits do not hold root back: a read-only file system does.
    ASSERT_EQ(mount("tmpfs", P("locked").c_str(), "tmpfs", MS_RDONLY, "size=64k"), 0) << strerror(errno);
    mounted_ = S("locked");
    reason = "Read-only file system";
  } else {
    fs::permissions(P("locked"), fs::perms::owner_read | fs::perms::owner_exec);
  }
  const RunResult r = Restore(S("locked/out.txt"));
  if (geteuid() != 0) fs::permissions(P("locked"), fs::perms::owner_all);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("torqout=" + S("locked/out.txt")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(".torq4-"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("unknown"), std::string::npos) << r.err;
  // A folder in the output's name that is a file: the system's reason, not a pattern's.
  const RunResult file = Restore(S("a.txt") + "/out.txt");
  EXPECT_EQ(file.status, 20) << file.err;  // ENOTDIR, tagged as the output's
  EXPECT_NE(file.err.find("Not a directory"), std::string::npos) << file.err;
  EXPECT_NE(file.err.find(S("a.txt") + "/out.txt"), std::string::npos) << file.err;
  EXPECT_EQ(file.err.find("substitution"), std::string::npos) << file.err;
}

// A restore whose output write fails (here: a file size limit) ends with the record layer's
// system code as it is, untagged, names the output and leaves the old output as it was.
TEST_F(Torq4OutputFiles, OutputWriteErrorKeepsItsCode) {
  std::string big;
  for (int i = 0; big.size() < 300000; ++i) big += "line " + std::to_string(i * 7919 % 100003) + " of text\n";
  WriteFile(P("big.txt"), big);
  ASSERT_EQ(Run({"compress", "torqin=" + S("big.txt"), "torqfile=" + S("big.tq"), "show=none"}).status, 0);
  WriteFile(P("out.txt"), "old");
  const fs::path torq4 = program_;
  program_ = "/bin/sh";
  // The limit in blocks of 512 bytes; the signal it raises is ignored, so the write fails.
  const RunResult r = Run({"-c", "trap '' XFSZ; ulimit -f 128 && exec \"$0\" \"$@\"", torq4.string(), "decompress",
                           "torqfile=" + S("big.tq"), "torqout=" + S("out.txt"), "show=error"});
  program_ = torq4;
  EXPECT_EQ(r.status, 0x1B) << r.err;
  EXPECT_NE(r.err.find("*ERROR* 0x0F00001B"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("torqout=" + S("out.txt")), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(P("out.txt")), "old");
}

// A container named by a link to a file on another file system: its temporary is made beside
// the file, so adding to it works and the link stays.
TEST_F(Torq4OutputFiles, ContainerLinkedToAnotherFileSystemTakesAdds) {
  // A second file system needs a mount, which only root may make (CI runs as root).
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a file system";
  fs::create_directories(P("other"));
  ASSERT_EQ(mount("tmpfs", P("other").c_str(), "tmpfs", 0, "size=1m"), 0) << strerror(errno);
  mounted_ = S("other");
  fs::copy_file(P("c.tq"), P("other/c.tq"));
  fs::create_symlink(P("other/c.tq"), P("link.tq"));
  WriteFile(P("b.txt"), "added\n");
  RunResult r = Run({"compress", "torqin=" + S("b.txt"), "torqfile=" + S("link.tq"), "options=nopath", "add",
                     "show=error"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(P("link.tq")));
  r = Run({"decompress", "torqfile=" + S("link.tq"), "torqout=[]", "outpath=" + S("out"), "show=error"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("out/b.txt")), "added\n");
}

}  // namespace
}  // namespace torq4test
