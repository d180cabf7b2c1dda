#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "fio/buffered_file.h"
#include "fio/buffered_file_api.h"
#include "fio_test_util.h"
#include "support/heap.h"

namespace {

using fiotest::Pattern;
using fiotest::ScratchDir;

struct ReaderDeleter {
  void operator()(TBasicIo* io) const { BasicIoDelete(io); }
};
using Reader = std::unique_ptr<TBasicIo, ReaderDeleter>;

Reader OpenReader(const std::string& path) {
  Reader r(BasicIoCreate(kBasicIoInput));
  EXPECT_TRUE(r);
  EXPECT_EQ(r->Open(path.c_str(), 1), 1) << path;
  return r;
}

// Reads everything in pieces of `piece` bytes and checks that every Get delivers the full
// piece until the data ends.
std::vector<std::uint8_t> ReadAll(TBasicIo& io, std::uint32_t piece) {
  std::vector<std::uint8_t> out;
  for (;;) {
    void* p = nullptr;
    std::uint32_t got = 0;
    if (!io.Get(&p, piece, &got)) {
      ADD_FAILURE() << "Get failed with " << io.LastError();
      break;
    }
    if (got == 0) break;
    const auto* b = static_cast<const std::uint8_t*>(p);
    out.insert(out.end(), b, b + got);
    if (got < piece) {  // a short piece only at the very end
      std::uint32_t more = 1;
      EXPECT_EQ(io.Get(&p, piece, &more), 1);
      EXPECT_EQ(more, 0u);
      break;
    }
  }
  return out;
}

TEST(BufferedReader, EmptyFileGivesEndAtOnce) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "empty", {});
  Reader r = OpenReader(dir / "empty");
  void* p = nullptr;
  std::uint32_t got = 99;
  EXPECT_EQ(r->Get(&p, 100, &got), 1);
  EXPECT_EQ(got, 0u);
}

TEST(BufferedReader, PiecesAcrossTheBufferHalves) {
  ScratchDir dir;
  const std::size_t sizes[] = {1, 18, 65535, 65536, 65537, 131071, 131072, 200003, 327680};
  const std::uint32_t pieces[] = {1, 7, 18, 4096, 30000, 65535, 65536};
  for (std::size_t size : sizes) {
    const auto data = Pattern(size, static_cast<std::uint32_t>(size));
    fiotest::WriteFileBytes(dir / "f", data);
    for (std::uint32_t piece : pieces) {
      if (piece == 1 && size > 70000) continue;  // covered by the smaller files
      Reader r = OpenReader(dir / "f");
      EXPECT_EQ(ReadAll(*r, piece), data) << "size " << size << " piece " << piece;
    }
  }
}

TEST(BufferedReader, RecordCrossingTheReadAreaComesInOnePiece) {
  ScratchDir dir;
  const auto data = Pattern(140000);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 0;
  ASSERT_EQ(r->Get(&p, 65000, &got), 1);
  ASSERT_EQ(r->Get(&p, 65536, &got), 1);  // starts 65000 into a 65536-byte read area
  ASSERT_EQ(got, 65536u);
  EXPECT_EQ(0, std::memcmp(p, data.data() + 65000, 65536));
}

TEST(BufferedReader, GetUpdateThenUngetDeliversTheProbeAgain) {
  ScratchDir dir;
  const auto data = Pattern(1000);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 0;
  ASSERT_EQ(r->GetUpdate(&p, 18, &got), 1);
  ASSERT_EQ(got, 18u);
  EXPECT_EQ(0, std::memcmp(p, data.data(), 18));
  EXPECT_EQ(r->Unget(), 1);
  ASSERT_EQ(r->Get(&p, 18, &got), 1);
  EXPECT_EQ(0, std::memcmp(p, data.data(), 18));
  // GetUpdate delivers the current record again with a new length.
  ASSERT_EQ(r->GetUpdate(&p, 30, &got), 1);
  EXPECT_EQ(got, 30u);
  EXPECT_EQ(0, std::memcmp(p, data.data(), 30));
}

TEST(BufferedReader, UngetTwiceActsOnce) {
  ScratchDir dir;
  const auto data = Pattern(100);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 0;
  ASSERT_EQ(r->Get(&p, 10, &got), 1);
  ASSERT_EQ(r->Get(&p, 10, &got), 1);
  EXPECT_EQ(r->Unget(), 1);
  EXPECT_EQ(r->Unget(), 1);
  ASSERT_EQ(r->Get(&p, 10, &got), 1);
  EXPECT_EQ(0, std::memcmp(p, data.data() + 10, 10));
}

TEST(BufferedReader, GetLongerThanOnePieceIsRefused) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(300000));
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 5;
  EXPECT_EQ(r->Get(&p, 65537, &got), 0);
  EXPECT_EQ(r->LastError(), kIoErrorReadLen);
  EXPECT_EQ(r->GetUpdate(&p, 0xFFFFFFFFu, &got), 0);
  EXPECT_EQ(r->LastError(), kIoErrorReadLen);
  // Nothing was consumed.
  ASSERT_EQ(r->Get(&p, 65536, &got), 1);
  EXPECT_EQ(got, 65536u);
}

TEST(BufferedReader, RewindOnDiskAfterTheFirstPiece) {
  ScratchDir dir;
  const auto data = Pattern(200000);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 0;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(r->Get(&p, 60000, &got), 1);
  ASSERT_EQ(r->Rewind(), 1);
  EXPECT_EQ(ReadAll(*r, 4000), data);
}

TEST(BufferedReader, EndwindLeavesNothingToRead) {
  ScratchDir dir;
  for (std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{65536},
                           std::size_t{65536 * 2 + 5}}) {
    fiotest::WriteFileBytes(dir / "f", Pattern(size));
    Reader r = OpenReader(dir / "f");
    ASSERT_EQ(r->Endwind(), 1) << size;
    void* p = nullptr;
    std::uint32_t got = 9;
    EXPECT_EQ(r->Get(&p, 100, &got), 1);
    EXPECT_EQ(got, 0u) << size;
    std::int64_t base = 0;
    std::uint32_t offset = 0;
    ASSERT_EQ(r->GetPosition(&base, &offset), 1);
    EXPECT_EQ(base + static_cast<std::int32_t>(offset), static_cast<std::int64_t>(size));
    // And back to the start.
    ASSERT_EQ(r->Rewind(), 1);
    EXPECT_EQ(ReadAll(*r, 1000), Pattern(size)) << size;
  }
}

TEST(BufferedReader, PositionOfTheCurrentRecord) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(200000));
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 0;
  std::int64_t expected = 0;
  for (std::uint32_t len : {1000u, 64000u, 3000u, 50000u, 65536u}) {
    ASSERT_EQ(r->Get(&p, len, &got), 1);
    std::int64_t base = 0;
    std::uint32_t offset = 0;
    ASSERT_EQ(r->GetPosition(&base, &offset), 1);
    EXPECT_EQ(base + static_cast<std::int32_t>(offset), expected);
    expected += got;
  }
}

TEST(BufferedReader, SetPositionMovesTheReadPoint) {
  ScratchDir dir;
  const auto data = Pattern(200000);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  void* p = nullptr;
  std::uint32_t got = 0;
  std::int64_t at = 0;

  ASSERT_EQ(r->SetPosition(70000, kIoMoveBegin, nullptr, &at), 1);
  EXPECT_EQ(at, 70000);
  ASSERT_EQ(r->Get(&p, 100, &got), 1);
  EXPECT_EQ(0, std::memcmp(p, data.data() + 70000, 100));

  ASSERT_EQ(r->SetPosition(50, kIoMoveCurrent, nullptr, &at), 1);  // from the next record
  EXPECT_EQ(at, 70150);
  ASSERT_EQ(r->Get(&p, 100, &got), 1);
  EXPECT_EQ(0, std::memcmp(p, data.data() + 70150, 100));

  std::uint32_t high = 0xFFFFFFFFu;  // -10 as a 64-bit distance
  ASSERT_EQ(r->SetPosition(static_cast<std::uint32_t>(-10), kIoMoveEnd, &high, &at), 1);
  EXPECT_EQ(at, 200000 - 10);
  ASSERT_EQ(r->Get(&p, 100, &got), 1);
  EXPECT_EQ(got, 10u);
  EXPECT_EQ(0, std::memcmp(p, data.data() + 199990, 10));

  ASSERT_EQ(r->SetPosition(0, 7, nullptr, nullptr), 0);
  EXPECT_EQ(r->LastError(), static_cast<std::uint32_t>(EINVAL));
}

TEST(BufferedReader, ErrorCodes) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(10));
  Reader closed(BasicIoCreate(kBasicIoInput));
  void* p = nullptr;
  std::uint32_t got = 0;
  const char data[4] = {};
  struct Case {
    const char* what;
    std::function<int()> call;
    std::uint32_t error;
  };
  const Case closedCases[] = {
      {"Get", [&] { return closed->Get(&p, 1, &got); }, kIoErrorInvalidHandle},
      {"GetUpdate", [&] { return closed->GetUpdate(&p, 1, &got); }, kIoErrorInvalidHandle},
      {"Rewind", [&] { return closed->Rewind(); }, kIoErrorInvalidHandle},
      {"Endwind", [&] { return closed->Endwind(); }, kIoErrorInvalidHandle},
      {"SetPosition", [&] { return closed->SetPosition(0, 0, nullptr, nullptr); },
       kIoErrorInvalidHandle},
      {"Create", [&] { return closed->Create((dir / "x").c_str(), 0); }, kIoErrorInvalidAccess},
      {"Write", [&] { return closed->Write(data, 4, &got); }, kIoErrorInvalidAccess},
      {"WriteUpdate", [&] { return closed->WriteUpdate(data, 4, &got); }, kIoErrorInvalidAccess},
  };
  for (const Case& c : closedCases) {
    closed->SetError(0);
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(closed->LastError(), c.error) << c.what;
  }
  closed->ClearError();
  EXPECT_EQ(closed->LastError(), kIoErrorInvalidHandle);
  EXPECT_EQ(closed->SetError(77), kIoErrorInvalidHandle);
  EXPECT_EQ(closed->GetPosition(nullptr, nullptr), 0);
  EXPECT_EQ(closed->CreateFileEx("x", 0, 0, 0, 0), 0);
  EXPECT_FALSE(fiotest::Exists(dir / "x"));

  Reader r = OpenReader(dir / "f");
  EXPECT_EQ(r->Open((dir / "f").c_str(), 1), 0);
  EXPECT_EQ(r->LastError(), kIoErrorBusy);
  ASSERT_EQ(r->Get(&p, 10, &got), 1);  // the open file is untouched
  EXPECT_EQ(got, 10u);
  EXPECT_EQ(r->SetError(77), 77u);
  r->ClearError();
  EXPECT_EQ(r->LastError(), 0u);

  Reader missing(BasicIoCreate(kBasicIoInput));
  EXPECT_EQ(missing->Open((dir / "nothing").c_str(), 1), 0);
  EXPECT_EQ(missing->LastError(), static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(missing->Open(dir.path().c_str(), 1), 0);  // a directory is not a file
  EXPECT_EQ(missing->LastError(), static_cast<std::uint32_t>(EISDIR));
  EXPECT_EQ(missing->IsOpen(), 0);
}

TEST(BufferedReader, ReadErrorIsAnErrorNotTheEnd) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(200000));
  Reader r = OpenReader(dir / "f");
  fiotest::ScopedHooks hooks;
  hooks->failReadAt = 2;  // the refill of the second piece fails
  hooks->readChunk = 65536;
  void* p = nullptr;
  std::uint32_t got = 0;
  ASSERT_EQ(r->Get(&p, 65536, &got), 1);
  EXPECT_EQ(got, 65536u);
  EXPECT_EQ(r->Get(&p, 100, &got), 0);
  EXPECT_EQ(r->LastError(), static_cast<std::uint32_t>(EIO));
  std::uint32_t copied = 7;
  std::uint8_t buf[100];
  EXPECT_EQ(BasicRead(r.get(), buf, 100, &copied), 1);  // the failure was not sticky
  EXPECT_EQ(copied, 100u);
}

TEST(BufferedReader, InterruptedAndShortReadsGiveTheSameData) {
  ScratchDir dir;
  const auto data = Pattern(150001);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  fiotest::ScopedHooks hooks;
  hooks->interruptReads = 3;
  hooks->readChunk = 7;
  EXPECT_EQ(ReadAll(*r, 4099), data);
}

// Standard input on a pipe that a writer thread feeds in small, uneven chunks.
TEST(BufferedReader, PipeWithShortChunksGivesTheSameRecords) {
  ScratchDir dir;
  const auto data = Pattern(180000, 7);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader file = OpenReader(dir / "f");
  const auto fromFile = ReadAll(*file, 333);

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread feeder([&] {
    std::size_t at = 0, step = 1;
    while (at < data.size()) {
      const std::size_t n = std::min(step, data.size() - at);
      if (::write(fds[1], data.data() + at, n) != static_cast<ssize_t>(n)) break;
      at += n;
      step = step * 3 % 1021 + 1;
    }
    ::close(fds[1]);
  });
  {
    fiotest::Redirect in(0, fds[0]);
    Reader pipe(BasicStdIoCreate(kBasicIoInput));
    ASSERT_EQ(pipe->IsOpen(), 1);
    EXPECT_EQ(ReadAll(*pipe, 333), fromFile);
    EXPECT_EQ(pipe->Close(), 1);
  }
  feeder.join();
  ::close(fds[0]);
  EXPECT_NE(::fcntl(0, F_GETFD), -1);  // standard input was never closed
}

TEST(BufferedReader, RewindOnAPipeOnlyWhileTheStartIsBuffered) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::thread feeder([&] {
    const auto big = Pattern(200000);
    (void)!::write(fds[1], big.data(), big.size());
    ::close(fds[1]);
  });
  fiotest::Redirect in(0, fds[0]);
  Reader pipe(BasicStdIoCreate(kBasicIoInput));
  void* p = nullptr;
  std::uint32_t got = 0;
  ASSERT_EQ(pipe->Get(&p, 40000, &got), 1);
  EXPECT_EQ(pipe->Rewind(), 1);  // still in the buffer: no seek needed
  ASSERT_EQ(pipe->Get(&p, 40000, &got), 1);
  EXPECT_EQ(0, std::memcmp(p, Pattern(200000).data(), 40000));
  ASSERT_EQ(pipe->Get(&p, 40000, &got), 1);  // crosses into the second piece
  EXPECT_EQ(pipe->Rewind(), 0);
  EXPECT_EQ(pipe->LastError(), kIoErrorBadDevType);
  EXPECT_EQ(pipe->Endwind(), 0);
  EXPECT_EQ(pipe->LastError(), kIoErrorBadDevType);
  std::int32_t level = 44;
  std::uint8_t vector[44];
  EXPECT_EQ(pipe->GetSysAttributes(0, 3, 0, &level, vector), 0);  // no information on a pipe
  pipe.reset();
  char sink[4096];
  while (::read(fds[0], sink, sizeof sink) > 0) {
  }
  feeder.join();
  ::close(fds[0]);
}

TEST(BufferedReader, SmallPipeRewindsAfterItsEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const auto data = Pattern(1000);
  ASSERT_EQ(::write(fds[1], data.data(), data.size()), 1000);
  ::close(fds[1]);
  fiotest::Redirect in(0, fds[0]);
  Reader pipe(BasicStdIoCreate(kBasicIoInput));
  EXPECT_EQ(ReadAll(*pipe, 64), data);
  ASSERT_EQ(pipe->Rewind(), 1);
  EXPECT_EQ(ReadAll(*pipe, 64), data);
  pipe.reset();
  ::close(fds[0]);
}

TEST(BufferedReader, StandardInputFromAFileKnowsItsSize) {
  ScratchDir dir;
  const auto data = Pattern(70000);
  fiotest::WriteFileBytes(dir / "f", data);
  const int fd = ::open((dir / "f").c_str(), O_RDONLY);
  {
    fiotest::Redirect in(0, fd);
    Reader r(BasicStdIoCreate(kBasicIoInput));
    ASSERT_EQ(r->IsOpen(), 1);
    EXPECT_EQ(r->Handle(), 0);
    EXPECT_EQ(r->LastError(), 0u);
    std::int32_t level = 44;
    std::uint8_t v[44];
    ASSERT_EQ(r->GetSysAttributes(0, 1, 0, &level, v), 1);
    EXPECT_EQ(v[40] | v[41] << 8 | v[42] << 16, 70000);
    EXPECT_EQ(ReadAll(*r, 5000), data);
  }
  ::close(fd);
}

TEST(BufferedReader, NoStandardInput) {
  fiotest::Redirect in(0, -1);
  Reader r(BasicStdIoCreate(kBasicIoInput));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->IsOpen(), 0);
  EXPECT_EQ(r->LastError(), static_cast<std::uint32_t>(EBADF));
  void* p = nullptr;
  std::uint32_t got = 0;
  EXPECT_EQ(r->Get(&p, 1, &got), 0);
  EXPECT_EQ(r->LastError(), kIoErrorInvalidHandle);
}

TEST(BufferedReader, SocketIsReadLikeAPipe) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  const auto data = Pattern(5000);
  ASSERT_EQ(::write(sv[1], data.data(), data.size()), 5000);
  ::close(sv[1]);
  fiotest::Redirect in(0, sv[0]);
  Reader r(BasicStdIoCreate(kBasicIoInput));
  EXPECT_EQ(ReadAll(*r, 100), data);
  r.reset();
  ::close(sv[0]);
}

struct AttributeCase {
  std::uint32_t delimiter;
  std::int32_t fill;
  std::uint8_t b1, b2, b3;
};

TEST(BufferedReader, AttributeVector) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(0x12345));
  Reader r = OpenReader(dir / "f");

  std::uint8_t v[48];
  std::memset(v, 0xEE, sizeof v);
  std::int32_t level = 43;
  EXPECT_EQ(r->GetSysAttributes(0, 1, 0, &level, v), 0);
  EXPECT_EQ(level, 43);
  EXPECT_EQ(v[0], 0xEE);  // untouched

  const AttributeCase cases[] = {
      {0x02000A0D, 0x40, 0x0D, 0x0A, 2},  // CR LF
      {0x0100000A, 0x40, 0x0A, 0x00, 1},  // LF alone; the second character is not shown
      {0x01000A25, 0x40, 0x25, 0x00, 1},
      {0x00000000, 0x40, 0x40, 0x00, 0},  // no delimiter: the fill byte
      {0x03000A0D, 0x1F5, 0xF5, 0x00, 0},  // a count beyond 2 is no delimiter
  };
  for (const AttributeCase& c : cases) {
    std::memset(v, 0xEE, sizeof v);
    level = 48;
    ASSERT_EQ(r->GetSysAttributes(c.delimiter, 0x10B, c.fill, &level, v), 1);
    EXPECT_EQ(level, 44);
    EXPECT_EQ(v[0], 0x0B);
    EXPECT_EQ(v[1], c.b1) << std::hex << c.delimiter;
    EXPECT_EQ(v[2], c.b2) << std::hex << c.delimiter;
    EXPECT_EQ(v[3], c.b3) << std::hex << c.delimiter;
    EXPECT_EQ(v[4], 2);
    EXPECT_EQ(v[5] | v[6] | v[7], 0);
    EXPECT_EQ(v[8] & 0x20, 0x20);  // a plain file
    EXPECT_EQ(v[36] | v[37] | v[38] | v[39], 0);
    EXPECT_EQ(v[40] | v[41] << 8 | v[42] << 16 | v[43] << 24, 0x12345);
    EXPECT_EQ(v[44], 0xEE);  // nothing beyond 44 bytes
    // Last write time: after 2020-01-01 in 100 ns units since 1601.
    std::uint64_t t = 0;
    for (int i = 7; i >= 0; --i) t = t << 8 | v[28 + i];
    EXPECT_GT(t, 132223104000000000ull);
  }
}

TEST(BufferedReader, WipeBufferLeavesTheFileAlone) {
  ScratchDir dir;
  const auto data = Pattern(100);
  fiotest::WriteFileBytes(dir / "f", data);
  Reader r = OpenReader(dir / "f");
  r->WipeBuffer();
  EXPECT_EQ(ReadAll(*r, 10), data);
}

TEST(BufferedReader, NothingLeaks) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(100000));
  const std::uint32_t before = rmGetHeapCount();
  {
    Reader r = OpenReader(dir / "f");
    ReadAll(*r, 1000);
  }
  EXPECT_EQ(rmGetHeapCount(), before);
}

}  // namespace
