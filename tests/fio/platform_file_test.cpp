#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fio_test_util.h"
#include "support/platform/file_io.h"
#include "support/platform/find_files.h"

namespace {

namespace platform = torq::platform;
using fiotest::ScratchDir;

TEST(WildcardMatch, Table) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*", "anything", true},      {"*", "", true},           {"?", "", false},
      {"?", "a", true},             {"a*b", "ab", true},       {"a*b", "axxb", true},
      {"a*b", "axxbc", false},      {"*.dat", "x.dat", true},  {"*.dat", "x.dat.gz", false},
      {"*.*", "noext", false},      {"a?c", "abc", true},      {"a?c", "ac", false},
      {"[ab]", "a", false},         {"[ab]", "[ab]", true},    {"**a", "bba", true},
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"File.DAT", "file.dat", false},  // case matters here
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  EXPECT_TRUE(platform::HasWildcards("a*"));
  EXPECT_TRUE(platform::HasWildcards("a?"));
  EXPECT_FALSE(platform::HasWildcards("a[1]"));
}

TEST(FindFiles, LiteralAndNoMatch) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", {1});
  platform::FileSearch* search = nullptr;
  const std::string* path = nullptr;
  ASSERT_EQ(platform::FindFirst((dir / "f").c_str(), search, path), 0);
  EXPECT_EQ(*path, dir / "f");
  EXPECT_EQ(platform::FindNext(*search), nullptr);
  platform::FindClose(search);
  EXPECT_EQ(search, nullptr);
  EXPECT_EQ(platform::FindFirst((dir / "g").c_str(), search, path), ENOENT);
  EXPECT_EQ(search, nullptr);
  EXPECT_EQ(platform::FindFirst((dir / "*.x").c_str(), search, path), ENOENT);
  EXPECT_EQ(platform::FindFirst((dir / "nodir/*").c_str(), search, path), ENOENT);
  EXPECT_EQ(platform::FindFirst("", search, path), ENOENT);
}

TEST(FileIo, TypesOfDescriptors) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", {1, 2, 3});
  platform::FileHandle fd;
  ASSERT_EQ(platform::FileOpenRead((dir / "f").c_str(), fd), 0);
  std::uint32_t type = 9;
  EXPECT_EQ(platform::FileGetType(fd, type), 0);
  EXPECT_EQ(type, platform::kFileTypeDisk);
  platform::FileInformation info{};
  int error = -1;
  ASSERT_TRUE(platform::FileGetInformation(fd, info, error));
  EXPECT_EQ(info.sizeLow, 3u);
  EXPECT_EQ(info.sizeHigh, 0u);
  EXPECT_EQ(info.links, 1u);
  EXPECT_GT(info.lastWriteTime, 132223104000000000ull);  // after 2020
  EXPECT_EQ(platform::FileClose(fd), 0);

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_EQ(platform::FileGetType(fds[0], type), 0);
  EXPECT_EQ(type, platform::kFileTypePipe);
  EXPECT_FALSE(platform::FileGetInformation(fds[0], info, error));  // only for regular files
  EXPECT_EQ(error, 0);
  ::close(fds[0]);
  ::close(fds[1]);
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  EXPECT_EQ(platform::FileGetType(sv[0], type), 0);
  EXPECT_EQ(type, platform::kFileTypePipe);
  ::close(sv[0]);
  ::close(sv[1]);

  ASSERT_EQ(platform::FileOpenWrite("/dev/null", true, fd), 0);
  EXPECT_EQ(platform::FileGetType(fd, type), 0);
  EXPECT_EQ(type, platform::kFileTypeChar);
  EXPECT_EQ(platform::FileClose(fd), 0);

  const int d = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  EXPECT_EQ(platform::FileGetType(d, type), 0);
  EXPECT_EQ(type, platform::kFileTypeUnknown);
  ::close(d);
  EXPECT_EQ(platform::FileGetType(-1, type), EBADF);
}

TEST(FileIo, OpenRefusesDirectoriesAndCloseSparesStandardStreams) {
  ScratchDir dir;
  platform::FileHandle fd = 5;
  EXPECT_EQ(platform::FileOpenRead(dir.path().c_str(), fd), EISDIR);
  EXPECT_EQ(fd, platform::kInvalidFile);
  EXPECT_EQ(platform::FileOpenWrite(dir.path().c_str(), false, fd), EISDIR);
  EXPECT_EQ(platform::FileOpenRead("", fd), ENOENT);
  for (int std : {0, 1, 2}) {
    EXPECT_EQ(platform::FileClose(std), 0);
    EXPECT_NE(::fcntl(std, F_GETFD), -1) << std;
  }
  ASSERT_EQ(platform::FileOpenRead("/dev/null", fd), 0);
  EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
  EXPECT_EQ(platform::FileClose(fd), 0);
}

TEST(FileIo, NamedFileNeverTakesAStandardNumber) {
  fiotest::Redirect in(0, -1);
  platform::FileHandle fd = -1;
  ASSERT_EQ(platform::FileOpenRead("/dev/null", fd), 0);
  EXPECT_GT(fd, 2);
  EXPECT_EQ(::fcntl(0, F_GETFD), -1);  // still closed
  EXPECT_EQ(platform::FileClose(fd), 0);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // really closed
}

TEST(FileIo, WriteAllAndReadFull) {
  ScratchDir dir;
  platform::FileHandle fd;
  ASSERT_EQ(platform::FileOpenWrite((dir / "f").c_str(), true, fd), 0);
  const auto data = fiotest::Pattern(10000);
  {
    fiotest::ScopedHooks hooks;
    hooks->writeChunk = 333;
    hooks->interruptWrites = 1;
    std::size_t written = 0;
    EXPECT_EQ(platform::FileWrite(fd, data.data(), data.size(), written), 0);
    EXPECT_EQ(written, data.size());
  }
  ::lseek(fd, 0, SEEK_SET);
  std::vector<std::uint8_t> back(20000);
  std::size_t got = 0;
  {
    fiotest::ScopedHooks hooks;
    hooks->readChunk = 77;
    hooks->interruptReads = 2;
    EXPECT_EQ(platform::FileReadFull(fd, back.data(), back.size(), got), 0);
  }
  EXPECT_EQ(got, data.size());
  back.resize(got);
  EXPECT_EQ(back, data);
  {
    fiotest::ScopedHooks hooks;
    hooks->failWriteAt = 2;
    hooks->writeChunk = 100;
    std::size_t written = 0;
    EXPECT_EQ(platform::FileWrite(fd, data.data(), data.size(), written), ENOSPC);
    EXPECT_EQ(written, 100u);  // what went out is told
  }
  platform::FileClose(fd);
}

TEST(FileIo, AttributesAndDelete) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / ".hid", {1});
  fiotest::WriteFileBytes(dir / "ro", {1});
  ::chmod((dir / "ro").c_str(), 0444);
  std::uint32_t a = 0;
  EXPECT_EQ(platform::PathAttributes((dir / ".hid").c_str(), a), 0);
  EXPECT_EQ(a, platform::kAttrArchive | platform::kAttrHidden);
  EXPECT_EQ(platform::PathAttributes((dir / "ro").c_str(), a), 0);
  EXPECT_EQ(a, platform::kAttrArchive | platform::kAttrReadOnly);
  EXPECT_EQ(platform::PathAttributes(dir.path().c_str(), a), 0);
  EXPECT_EQ(a, platform::kAttrDirectory);
  EXPECT_EQ(platform::PathAttributes((dir / "none").c_str(), a), ENOENT);
  EXPECT_EQ(platform::FileDelete((dir / "ro").c_str()), 0);
  EXPECT_EQ(platform::FileDelete((dir / "ro").c_str()), ENOENT);
  EXPECT_EQ(platform::FileDelete(dir.path().c_str()), EISDIR);
  EXPECT_GT(platform::SystemTimeAsFileTime(), 132223104000000000ull);
}

}  // namespace
