#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>

#include "fio/buffered_file.h"
#include "fio/buffered_file_api.h"
#include "fio_test_util.h"
#include "support/heap.h"

namespace {

using fiotest::Pattern;
using fiotest::ScratchDir;

struct IoDeleter {
  void operator()(TBasicIo* io) const { BasicIoDelete(io); }
};
using Io = std::unique_ptr<TBasicIo, IoDeleter>;

Io CreateWriter(const std::string& path, std::uint32_t flags = 4) {
  Io w(BasicIoCreate(kBasicIoOutput));
  EXPECT_TRUE(w);
  EXPECT_EQ(w->Create(path.c_str(), flags), 1) << path << " error " << w->LastError();
  return w;
}

// Writes `data` as records of the given lengths, cycling through them.
void WriteRecords(TBasicIo& w, const std::vector<std::uint8_t>& data,
                  std::initializer_list<std::uint32_t> lengths) {
  std::size_t at = 0;
  while (at < data.size()) {
    for (std::uint32_t len : lengths) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(len, data.size() - at));
      std::uint32_t written = 0;
      ASSERT_EQ(w.Write(data.data() + at, n, &written), 1) << "at " << at;
      ASSERT_EQ(written, n);
      at += n;
      if (at == data.size()) break;
    }
  }
}

TEST(BufferedWriter, RecordsReachTheFileInOrder) {
  ScratchDir dir;
  const auto data = Pattern(400017);
  Io w = CreateWriter(dir / "out");
  WriteRecords(*w, data, {1, 80, 32768, 7, 20000, 32767, 3});
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(w->IsOpen(), 0);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "out"), data);
}

TEST(BufferedWriter, WritesGoOutInPiecesOf64K) {
  ScratchDir dir;
  fiotest::ScopedHooks hooks;
  Io w = CreateWriter(dir / "out");
  WriteRecords(*w, Pattern(200000), {10000});
  ASSERT_EQ(w->Close(), 1);
  const std::vector<std::pair<long long, std::size_t>> expected = {
      {0, 65536}, {65536, 65536}, {131072, 65536}, {196608, 200000 - 196608}};
  EXPECT_EQ(hooks->writes, expected);
}

TEST(BufferedWriter, WriteLengthLimit) {
  ScratchDir dir;
  const auto big = Pattern(98304);
  struct Case {
    std::uint32_t buffered;  // bytes written before
    std::uint32_t length;
    int accepted;
  };
  const Case cases[] = {
      {0, 32768, 1},     {65535, 32768, 1}, {65535, 32769, 0},  // exactly 98304: refused
      {0, 65536, 1},     {0, 98303, 1},     {0, 98304, 0},
      {65536, 32768, 1},  // starts at 64 KB: the first 64 KB go out first
      {30000, 68304, 0}, {30000, 68303, 1},
  };
  for (const Case& c : cases) {
    Io w = CreateWriter(dir / "out");
    std::uint32_t written = 0;
    if (c.buffered) {
      ASSERT_EQ(w->Write(big.data(), c.buffered, &written), 1);
    }
    written = 12345;
    EXPECT_EQ(w->Write(big.data(), c.length, &written), c.accepted)
        << c.buffered << " + " << c.length;
    if (!c.accepted) {
      EXPECT_EQ(w->LastError(), kIoErrorWriteLen);
      EXPECT_EQ(written, 12345u);
    }
    ASSERT_EQ(w->Close(), 1);
    // A refused record leaves nothing behind.
    const std::size_t size = c.buffered + (c.accepted ? c.length : 0);
    auto expected = std::vector<std::uint8_t>(big.begin(), big.begin() + c.buffered);
    if (c.accepted) expected.insert(expected.end(), big.begin(), big.begin() + c.length);
    EXPECT_EQ(fiotest::ReadFileBytes(dir / "out").size(), size);
    EXPECT_EQ(fiotest::ReadFileBytes(dir / "out"), expected);
  }
}

TEST(BufferedWriter, WriteUpdateOverwritesTheLastRecord) {
  ScratchDir dir;
  Io w = CreateWriter(dir / "out");
  std::uint32_t n = 0;
  ASSERT_EQ(w->Write("first-", 6, &n), 1);
  ASSERT_EQ(w->Write("AAAA", 4, &n), 1);
  ASSERT_EQ(w->WriteUpdate("BB", 2, &n), 1);  // shorter: the rest of the record stays
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(w->WriteUpdate("CCCCCC", 6, &n), 1);  // longer: the data grows
  const auto big = Pattern(98304);
  EXPECT_EQ(w->WriteUpdate(big.data(), 98304 - 6, &n), 0);
  EXPECT_EQ(w->LastError(), kIoErrorWriteLen);
  ASSERT_EQ(w->Close(), 1);
  const auto got = fiotest::ReadFileBytes(dir / "out");
  EXPECT_EQ(std::string(got.begin(), got.end()), "first-CCCCCC");
}

// A file of 65536*k + r bytes opened for appending: the first write starts at the last 64 KB
// boundary and carries the r old bytes with the new ones.
TEST(BufferedWriter, AppendKeepsWritesOn64KBoundaries) {
  ScratchDir dir;
  struct Case {
    std::size_t oldSize;
    std::size_t added;
  };
  const Case cases[] = {{65536 * 2 + 1000, 500}, {65536, 10}, {0, 10}, {300, 70000}};
  for (const Case& c : cases) {
    const auto old = Pattern(c.oldSize, 3);
    fiotest::WriteFileBytes(dir / "f", old);
    const auto add = Pattern(c.added, 4);
    fiotest::ScopedHooks hooks;
    Io w = CreateWriter(dir / "f", kIoCreateAppend);
    WriteRecords(*w, add, {30000});
    ASSERT_EQ(w->Close(), 1);
    auto expected = old;
    expected.insert(expected.end(), add.begin(), add.end());
    EXPECT_EQ(fiotest::ReadFileBytes(dir / "f"), expected) << c.oldSize;
    ASSERT_FALSE(hooks->writes.empty());
    const std::size_t r = c.oldSize % 65536;
    EXPECT_EQ(hooks->writes[0].first, static_cast<long long>(c.oldSize - r)) << c.oldSize;
    EXPECT_EQ(hooks->writes[0].second, std::min<std::size_t>(r + c.added, 65536)) << c.oldSize;
    for (const auto& [offset, length] : hooks->writes) EXPECT_EQ(offset % 65536, 0);
  }
}

TEST(BufferedWriter, AppendWithoutWriteLeavesTheFileUnchanged) {
  ScratchDir dir;
  const auto old = Pattern(65536 + 777);
  fiotest::WriteFileBytes(dir / "f", old);
  fiotest::ScopedHooks hooks;
  Io w = CreateWriter(dir / "f", kIoCreateAppend);
  std::int32_t level = 44;
  std::uint8_t v[44];
  ASSERT_EQ(w->GetSysAttributes(0, 1, 0, &level, v), 1);  // the old size
  EXPECT_EQ(v[40] | v[41] << 8 | v[42] << 16, 65536 + 777);
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(hooks->writeCalls, 0);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "f"), old);
}

TEST(BufferedWriter, ExistingFileIsEmptiedMissingFileCreated) {
  ScratchDir dir;
  for (std::uint32_t flags : {0u, 2u, 4u}) {
    fiotest::WriteFileBytes(dir / "f", Pattern(5000));
    Io w = CreateWriter(dir / "f", flags);
    std::int32_t level = 44;
    std::uint8_t v[44];
    ASSERT_EQ(w->GetSysAttributes(0, 1, 0, &level, v), 1);  // describes the emptied file
    EXPECT_EQ(v[40] | v[41] | v[42] | v[43], 0);
    ASSERT_EQ(w->Close(), 1);
    EXPECT_TRUE(fiotest::ReadFileBytes(dir / "f").empty()) << flags;
  }
  for (std::uint32_t flags : {4u, kIoCreateAppend}) {
    const std::string name = dir / ("new" + std::to_string(flags));
    Io w = CreateWriter(name, flags);
    std::uint8_t v[44];
    std::memset(v, 0xEE, sizeof v);
    std::int32_t level = 44;
    EXPECT_EQ(w->GetSysAttributes(0, 1, 0, &level, v), 0);  // a new file has no information
    for (std::uint8_t b : v) EXPECT_EQ(b, 0);
    std::uint32_t n = 0;
    ASSERT_EQ(w->Write("x", 1, &n), 1);
    ASSERT_EQ(w->Close(), 1);
    EXPECT_EQ(fiotest::ReadFileBytes(name).size(), 1u);
  }
}

TEST(BufferedWriter, ErrorCodes) {
  ScratchDir dir;
  Io closed(BasicIoCreate(kBasicIoOutput));
  void* p = nullptr;
  std::uint32_t n = 0;
  struct Case {
    const char* what;
    std::function<int()> call;
    std::uint32_t error;  // 0xFFFFFFFF: unchanged
  };
  const Case cases[] = {
      {"Write", [&] { return closed->Write("x", 1, &n); }, kIoErrorInvalidHandle},
      {"WriteUpdate", [&] { return closed->WriteUpdate("x", 1, &n); }, kIoErrorInvalidHandle},
      {"Endwind", [&] { return closed->Endwind(); }, kIoErrorInvalidHandle},
      {"Open", [&] { return closed->Open("x", 0); }, kIoErrorInvalidAccess},
      {"Get", [&] { return closed->Get(&p, 1, &n); }, kIoErrorInvalidAccess},
      {"GetUpdate", [&] { return closed->GetUpdate(&p, 1, &n); }, kIoErrorInvalidAccess},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(closed->LastError(), c.error) << c.what;
  }
  EXPECT_EQ(closed->Close(), 1);  // closing a closed writer is no failure

  Io w = CreateWriter(dir / "f");
  const std::uint32_t before = w->SetError(55);
  EXPECT_EQ(before, 55u);
  EXPECT_EQ(w->Rewind(), 0);
  EXPECT_EQ(w->Unget(), 0);
  EXPECT_EQ(w->SetPosition(0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(w->CreateFileEx("x", 1, 0, 0, 0), 0);
  EXPECT_EQ(w->LastError(), 55u);  // these leave the error alone

  EXPECT_EQ(w->Create((dir / "g").c_str(), 4), 0);
  EXPECT_EQ(w->LastError(), kIoErrorBusy);
  EXPECT_FALSE(fiotest::Exists(dir / "g"));
  ASSERT_EQ(w->Write("abc", 3, &n), 1);  // the open file is untouched
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "f").size(), 3u);

  Io bad(BasicIoCreate(kBasicIoOutput));
  EXPECT_EQ(bad->Create(dir.path().c_str(), 4), 0);
  EXPECT_EQ(bad->LastError(), static_cast<std::uint32_t>(EISDIR));
  EXPECT_EQ(bad->Create((dir / "no/such/dir").c_str(), 4), 0);
  EXPECT_EQ(bad->LastError(), static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(bad->IsOpen(), 0);
}

TEST(BufferedWriter, ClosedWriterCanBeUsedAgain) {
  ScratchDir dir;
  Io w = CreateWriter(dir / "a");
  std::uint32_t n = 0;
  ASSERT_EQ(w->Write("one", 3, &n), 1);
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(w->Write("x", 1, &n), 0);
  EXPECT_EQ(w->LastError(), kIoErrorInvalidHandle);
  ASSERT_EQ(w->Create((dir / "b").c_str(), 4), 1);
  ASSERT_EQ(w->Write("two", 3, &n), 1);
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "a").size(), 3u);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "b").size(), 3u);
}

TEST(BufferedWriter, CharacterDeviceGetsEveryRecordAtOnce) {
  fiotest::ScopedHooks hooks;
  Io w = CreateWriter("/dev/null");
  std::uint32_t n = 0;
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(w->Write("line\n", 5, &n), 1);
    EXPECT_EQ(hooks->writeCalls, i);
  }
  const auto big = Pattern(80000);
  ASSERT_EQ(w->Write(big.data(), 80000, &n), 1);  // more than one piece: both go out
  EXPECT_EQ(hooks->writeCalls, 5);
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(hooks->writeCalls, 5);
}

TEST(BufferedWriter, StandardOutputOnACharacterDevice) {
  const int fd = ::open("/dev/null", O_WRONLY);
  ASSERT_GE(fd, 0);
  {
    fiotest::Redirect out(1, fd);
    fiotest::ScopedHooks hooks;
    Io w(BasicStdIoCreate(kBasicIoOutput));
    ASSERT_EQ(w->IsOpen(), 1);
    std::uint32_t n = 0;
    ASSERT_EQ(w->Write("a", 1, &n), 1);
    ASSERT_EQ(w->Write("b", 1, &n), 1);
    EXPECT_EQ(hooks->writeCalls, 2);
    std::int32_t level = 44;
    std::uint8_t v[44];
    EXPECT_EQ(w->GetSysAttributes(0, 1, 0, &level, v), 0);  // no information on a device
  }
  ::close(fd);
}

TEST(BufferedWriter, NoSpaceOnDevFull) {
  Io w = CreateWriter("/dev/full");
  std::uint32_t n = 0;
  EXPECT_EQ(w->Write("data", 4, &n), 0);
  EXPECT_EQ(w->LastError(), static_cast<std::uint32_t>(ENOSPC));
}

TEST(BufferedWriter, PartialAndInterruptedWritesAreContinued) {
  ScratchDir dir;
  const auto data = Pattern(150000);
  fiotest::ScopedHooks hooks;
  hooks->writeChunk = 1000;
  hooks->interruptWrites = 2;
  Io w = CreateWriter(dir / "out");
  WriteRecords(*w, data, {4000});
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "out"), data);
}

TEST(BufferedWriter, WriteWithoutProgressIsAnError) {
  ScratchDir dir;
  fiotest::ScopedHooks hooks;
  hooks->writeNothing = true;
  Io w = CreateWriter(dir / "out");
  std::uint32_t n = 0;
  ASSERT_EQ(w->Write("abc", 3, &n), 1);
  EXPECT_EQ(w->Close(), 0);
  EXPECT_EQ(w->LastError(), static_cast<std::uint32_t>(EIO));
  EXPECT_EQ(w->IsOpen(), 0);  // the descriptor is released all the same
}

TEST(BufferedWriter, NoSpaceAtTheFlushBeforeAWrite) {
  ScratchDir dir;
  fiotest::ScopedHooks hooks;
  hooks->failWriteAt = 1;
  Io w = CreateWriter(dir / "out");
  const auto big = Pattern(65536);
  std::uint32_t n = 0;
  ASSERT_EQ(w->Write(big.data(), 65536, &n), 1);  // only buffered
  EXPECT_EQ(w->Write("x", 1, &n), 0);              // the flush of the first 64 KB fails
  EXPECT_EQ(w->LastError(), static_cast<std::uint32_t>(ENOSPC));
  EXPECT_EQ(w->Close(), 0);  // reported again, as a code
  EXPECT_EQ(w->LastError(), static_cast<std::uint32_t>(ENOSPC));
}

TEST(BufferedWriter, PartialFailureNeverWritesBytesTwice) {
  ScratchDir dir;
  fiotest::ScopedHooks hooks;
  hooks->writeChunk = 40000;
  hooks->failWriteAt = 2;  // 40000 bytes go out, then the disk is full
  Io w = CreateWriter(dir / "out");
  const auto data = Pattern(70000);
  std::uint32_t n = 0;
  ASSERT_EQ(w->Write(data.data(), 65536, &n), 1);
  EXPECT_EQ(w->Write(data.data() + 65536, 4464, &n), 0);
  hooks->failWriteAt = 0;  // space again
  ASSERT_EQ(w->Write(data.data() + 65536, 4464, &n), 1);
  ASSERT_EQ(w->Close(), 1);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "out"), data);
}

TEST(BufferedWriter, DeleteWritesWhatIsBuffered) {
  ScratchDir dir;
  const auto data = Pattern(70000);
  {
    Io w = CreateWriter(dir / "out");
    WriteRecords(*w, data, {7000});
  }
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "out"), data);
}

TEST(BufferedWriter, FailedFinalWriteInDeleteIsACode) {
  ScratchDir dir;
  LastBasicIoError = 0;
  {
    fiotest::ScopedHooks hooks;
    hooks->failWriteAt = 1;
    Io w = CreateWriter(dir / "out");
    std::uint32_t n = 0;
    ASSERT_EQ(w->Write("abc", 3, &n), 1);
  }  // no exception leaves the destructor
  EXPECT_EQ(LastBasicError(), ENOSPC);
}

TEST(BufferedWriter, ClosedPipeGivesEpipe) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  fiotest::Redirect out(1, fds[1]);
  ::close(fds[1]);
  Io w(BasicStdIoCreate(kBasicIoOutput));
  ASSERT_EQ(w->IsOpen(), 1);
  std::uint32_t n = 0;
  ASSERT_EQ(w->Write("abc", 3, &n), 1);
  EXPECT_EQ(w->Close(), 0);
  EXPECT_EQ(w->LastError(), static_cast<std::uint32_t>(EPIPE));
}

TEST(BufferedWriter, StandardOutputToAFileIsNeverClosed) {
  ScratchDir dir;
  const int fd = ::open((dir / "out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const auto data = Pattern(100000);
  {
    fiotest::Redirect out(1, fd);
    Io w(BasicStdIoCreate(kBasicIoOutput));
    ASSERT_EQ(w->IsOpen(), 1);
    EXPECT_EQ(w->Handle(), 1);
    EXPECT_EQ(w->LastError(), 0u);
    std::int32_t level = 44;
    std::uint8_t v[44];
    EXPECT_EQ(w->GetSysAttributes(0, 1, 0, &level, v), 1);  // a file has information
    WriteRecords(*w, data, {3333});
    ASSERT_EQ(w->Close(), 1);
    EXPECT_NE(::fcntl(1, F_GETFD), -1);
  }
  ::close(fd);
  EXPECT_EQ(fiotest::ReadFileBytes(dir / "out"), data);
}

TEST(BufferedWriter, NoStandardOutput) {
  fiotest::Redirect out(1, -1);
  Io w(BasicStdIoCreate(kBasicIoOutput));
  ASSERT_TRUE(w);
  EXPECT_EQ(BasicIsOpen(w.get()), 0);
  std::uint32_t n = 0;
  EXPECT_EQ(BasicWrite(w.get(), "x", 1, &n), 0);
  EXPECT_EQ(BasicLastError(w.get()), kIoErrorInvalidHandle);
}

TEST(BufferedWriter, NothingLeaks) {
  ScratchDir dir;
  const std::uint32_t before = rmGetHeapCount();
  {
    Io w = CreateWriter(dir / "out");
    WriteRecords(*w, Pattern(100000), {999});
  }
  EXPECT_EQ(rmGetHeapCount(), before);
}

}  // namespace
