#include "support/paths.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/platform/program_path.h"

namespace fs = std::filesystem;

namespace {

class PathFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("torq_paths_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, std::size_t n) {
    const auto path = (dir_ / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    for (std::size_t i = 0; i < n; ++i) std::fputc('x', f);
    std::fclose(f);
    return path;
  }
  fs::path dir_;
};

struct SplitCase {
  const char* path;
  const char* dir;
  const char* name;
  const char* ext;
  int flags;
};

}  // namespace

TEST(Paths, ExtractFilePath) {
  EXPECT_STREQ(F_ExtractFilePath("/a/b.txt"), "/a");
  EXPECT_STREQ(F_ExtractFilePath("b.txt"), "b.txt");
  EXPECT_STREQ(F_ExtractFilePath("/b.txt"), "/");
  EXPECT_STREQ(F_ExtractFilePath("a/b/"), "a/b");
  EXPECT_STREQ(F_ExtractFilePath(nullptr), "");
}

TEST(Paths, ExtractFilePathRefusesTooLongPaths) {
  const std::string longest(kTorqMaxPath - 1, 'a');
  EXPECT_EQ(std::strlen(F_ExtractFilePath(longest.c_str())), kTorqMaxPath - 1);
  const std::string tooLong = "/" + std::string(kTorqMaxPath + 10, 'a') + "/x";
  EXPECT_STREQ(F_ExtractFilePath(tooLong.c_str()), "");
}

TEST(Paths, ExtractFileName) {
  EXPECT_STREQ(F_ExtractFileName("/a/b.txt"), "b.txt");
  EXPECT_STREQ(F_ExtractFileName("b.txt"), "b.txt");
  EXPECT_STREQ(F_ExtractFileName("a/"), "");
  EXPECT_STREQ(F_ExtractFileName("C:b.txt"), "C:b.txt");  // a colon is an ordinary character
  EXPECT_EQ(F_ExtractFileName(static_cast<const char*>(nullptr)), nullptr);
  char path[] = "x/y";
  EXPECT_EQ(F_ExtractFileName(path), path + 2);
}

TEST(Paths, SplitTable) {
  const SplitCase cases[] = {
      {"/dir/file.tar.gz", "/dir/", "file.tar", ".gz", kFnDirectory | kFnName | kFnExtension},
      {".profile", "", ".profile", "", kFnName},
      {"*.dat", "", "*", ".dat", kFnName | kFnExtension | kFnWildcards},
      {"a?/x", "a?/", "x", "", kFnDirectory | kFnName | kFnWildcards},
      {"[ab].c", "", "[ab]", ".c", kFnName | kFnExtension},
      {"dir/", "dir/", "", "", kFnDirectory},
      {"dir/..", "dir/", "..", "", kFnDirectory | kFnName},
      {"..x.y", "", "..x", ".y", kFnName | kFnExtension},
      {"file.", "", "file", ".", kFnName | kFnExtension},
      {"C:x.txt", "", "C:x", ".txt", kFnName | kFnExtension},
      {"", "", "", "", 0},
  };
  for (const auto& c : cases) {
    char drive[8] = "junk", dir[64] = "junk", name[64] = "junk", ext[64] = "junk";
    EXPECT_EQ(fnsplit(c.path, drive, dir, name, ext), c.flags) << c.path;
    EXPECT_STREQ(drive, "") << c.path;
    EXPECT_STREQ(dir, c.dir) << c.path;
    EXPECT_STREQ(name, c.name) << c.path;
    EXPECT_STREQ(ext, c.ext) << c.path;
  }
  EXPECT_EQ(fnsplit("a/b.c", nullptr, nullptr, nullptr, nullptr), kFnDirectory | kFnName | kFnExtension);
}

TEST(Paths, SplitRefusesTooLongPaths) {
  const std::string tooLong(kTorqMaxPath, 'a');
  char name[8] = "junk";
  EXPECT_EQ(fnsplit(tooLong.c_str(), nullptr, nullptr, name, nullptr), 0);
  EXPECT_STREQ(name, "");
}

TEST(Paths, Merge) {
  char out[64];
  fnmerge(out, "D", "x/y", "f", "txt");
  EXPECT_STREQ(out, "x/y/f.txt");
  fnmerge(out, nullptr, "/x/", "f", ".txt");
  EXPECT_STREQ(out, "/x/f.txt");
  fnmerge(out, "", "", "f", "");
  EXPECT_STREQ(out, "f");
  fnmerge(out, nullptr, nullptr, nullptr, nullptr);
  EXPECT_STREQ(out, "");
  // Split and merge give the path back.
  char dir[64], name[64], ext[64];
  fnsplit("/a/b/file.tar.gz", nullptr, dir, name, ext);
  fnmerge(out, nullptr, dir, name, ext);
  EXPECT_STREQ(out, "/a/b/file.tar.gz");
}

TEST(Paths, MergeIsBounded) {
  char out[8] = "junk";
  fnmerge(out, nullptr, "abc", "def", "gh", sizeof out);  // "abc/def.gh" needs 11
  EXPECT_STREQ(out, "");
  fnmerge(out, nullptr, "ab", "de", "g", sizeof out);  // "ab/de.g" fits exactly
  EXPECT_STREQ(out, "ab/de.g");
}

TEST(Paths, AdaptFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"a//b", "a_/b"},
      {"\\\\server\\share\\f", "_/server/share/f"},
      {"x:y:z", "x_y_z"},
      {"C:\\data\\f.txt", "C_/data/f.txt"},
      {"a<b>c|d", "a_b_c_d"},
      {"/abs/name", "/abs/name"},
      {"a/\\b", "a_/b"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) {
    char buf[64];
    std::strcpy(buf, in);
    EXPECT_EQ(AdaptFileName(buf), buf);
    EXPECT_STREQ(buf, out) << in;
  }
  EXPECT_EQ(AdaptFileName(nullptr), nullptr);
}

TEST(Paths, MaxPtr) {
  int a[2] = {};
  EXPECT_EQ(max_ptr(&a[0], &a[1]), &a[1]);
  EXPECT_EQ(max_ptr(&a[1], &a[0]), &a[1]);
  EXPECT_EQ(max_ptr(nullptr, &a[0]), &a[0]);
  EXPECT_EQ(max_ptr(&a[0], nullptr), &a[0]);
  EXPECT_EQ(max_ptr(nullptr, nullptr), nullptr);
}

TEST(Paths, FullPathName) {
  char buf[kTorqMaxPath];
  char* part = nullptr;
  EXPECT_EQ(F_GetFullPathName("/a/./b//c/../d.txt", sizeof buf, buf, &part), 10u);
  EXPECT_STREQ(buf, "/a/b/d.txt");
  EXPECT_STREQ(part, "d.txt");
  EXPECT_EQ(F_GetFullPathName("/a/b/", sizeof buf, buf, &part), 5u);
  EXPECT_STREQ(buf, "/a/b/");
  EXPECT_EQ(part, nullptr);
  EXPECT_EQ(F_GetFullPathName("/../..", sizeof buf, buf, nullptr), 1u);
  EXPECT_STREQ(buf, "/");
  const std::string cwd = fs::current_path().string();
  const auto n = F_GetFullPathName("not-there/x", sizeof buf, buf, &part);
  EXPECT_EQ(std::string(buf, n), (cwd == "/" ? "" : cwd) + "/not-there/x");
  EXPECT_STREQ(part, "x");
  // Too small: the size needed, NUL included, and nothing written.
  char small[4] = "abc";
  EXPECT_EQ(F_GetFullPathName("/abcdef", sizeof small, small, nullptr), 8u);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(F_GetFullPathName("", sizeof buf, buf, nullptr), 0u);
  EXPECT_EQ(F_GetFullPathName(nullptr, sizeof buf, buf, nullptr), 0u);
}

TEST_F(PathFiles, ExistenceAndSize) {
  const auto file = Write("f.bin", 300);
  EXPECT_EQ(F_FileExists(file.c_str()), 1);
  EXPECT_EQ(F_DirectoryExists(file.c_str()), 0);
  EXPECT_EQ(F_FileExists(dir_.c_str()), 0);
  EXPECT_EQ(F_DirectoryExists(dir_.c_str()), 1);
  EXPECT_EQ(F_FileExists((dir_ / "missing").c_str()), 0);
  EXPECT_EQ(F_DirectoryExists((dir_ / "missing").c_str()), 0);
  EXPECT_EQ(F_FileExists(""), 0);
  EXPECT_EQ(F_FileExists(nullptr), 0);
  EXPECT_EQ(F_GetFileSize(file.c_str()), 300u);
  std::uint32_t high = 77;
  EXPECT_EQ(F_GetFileSizeEx(file.c_str(), &high), 300u);
  EXPECT_EQ(high, 0u);
  high = 77;
  EXPECT_EQ(F_GetFileSizeEx((dir_ / "missing").c_str(), &high), 0xFFFFFFFFu);
  EXPECT_EQ(high, 77u);
  EXPECT_EQ(F_GetFileSize(Write("empty", 0).c_str()), 0u);
}

TEST_F(PathFiles, SizeAboveFourGigabytesKeepsTheHighWord) {
  const auto path = (dir_ / "sparse").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const bool grown = ::ftruncate(::fileno(f), (std::int64_t{1} << 32) + 256) == 0;
  std::fclose(f);
  if (!grown) GTEST_SKIP() << "the file system cannot hold a sparse file that large";
  std::uint32_t high = 0;
  EXPECT_EQ(F_GetFileSizeEx(path.c_str(), &high), 256u);
  EXPECT_EQ(high, 1u);
}

TEST_F(PathFiles, ForceDirectoriesCreatesMissingLevels) {
  const auto deep = (dir_ / "one" / "two" / "three").string();
  EXPECT_EQ(F_ForceDirectories(deep.c_str()), 1);
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(F_ForceDirectories((deep + "/").c_str()), 1);  // exists already, trailing '/'
  EXPECT_EQ(F_ForceDirectories((dir_ / "a//b/./c").c_str()), 1);
  EXPECT_TRUE(fs::is_directory(dir_ / "a" / "b" / "c"));
  // Under a plain file nothing can be created.
  const auto file = Write("plain", 1);
  EXPECT_EQ(F_ForceDirectories((file + "/sub/dir").c_str()), 0);
  EXPECT_EQ(F_ForceDirectories(""), 0);
  EXPECT_EQ(F_ForceDirectories("/"), 1);
  EXPECT_EQ(F_ForceDirectories(nullptr), 0);
  const std::string tooLong = dir_.string() + "/" + std::string(kTorqMaxPath, 'd');
  EXPECT_EQ(F_ForceDirectories(tooLong.c_str()), 0);
  F_ForceDirectoriesEx(tooLong.c_str());
  F_ForceDirectoriesEx("");
  F_ForceDirectoriesEx(nullptr);
}

TEST_F(PathFiles, ForceDirectoriesOfARelativePath) {
  const auto old = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(F_ForceDirectories("rel/sub"), 1);
  fs::current_path(old);
  EXPECT_TRUE(fs::is_directory(dir_ / "rel" / "sub"));
}

TEST_F(PathFiles, OpenFileSizeAndPointer) {
  const auto file = Write("f", 1000);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::uint64_t size = 0, pos = 0;
  EXPECT_TRUE(TorqGetFileSize(fd, &size));
  EXPECT_EQ(size, 1000u);
  EXPECT_EQ(TorqSetFilePointer(fd, 100, &pos, 0), 100u);
  EXPECT_EQ(pos, 100u);
  EXPECT_EQ(TorqSetFilePointer(fd, 50, nullptr, 1), 150u);
  EXPECT_EQ(TorqSetFilePointer(fd, -10, &pos, 2), 990u);
  EXPECT_EQ(TorqSetFilePointer(fd, -10, &pos, 0), 0xFFFFFFFFu);
  EXPECT_EQ(TorqSetFilePointer(fd, 0, &pos, 3), 0xFFFFFFFFu);
  EXPECT_EQ(TorqSetFilePointer(fd, std::int64_t{1} << 33, &pos, 0), 0u);  // low word only
  EXPECT_EQ(pos, std::uint64_t{1} << 33);
  ::close(fd);
  EXPECT_FALSE(TorqGetFileSize(fd, &size));
  EXPECT_EQ(size, ~std::uint64_t{0});
}

TEST(Paths, ProgramPathIsTheTestProgram) {
  char buf[kTorqMaxPath];
  const auto n = torq::platform::ProgramPath(buf, sizeof buf);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(buf[0], '/');
  EXPECT_EQ(F_FileExists(buf), 1);
  EXPECT_STREQ(F_ExtractFileName(buf), fs::read_symlink("/proc/self/exe").filename().c_str());
  char tiny[4];
  EXPECT_EQ(torq::platform::ProgramPath(tiny, sizeof tiny), 0u);
  char mod[kTorqMaxPath];
  const auto m = torq::platform::ModulePath(reinterpret_cast<const void*>(&F_FileExists), mod, sizeof mod);
  ASSERT_GT(m, 0u);
  EXPECT_EQ(mod[0], '/');
}
