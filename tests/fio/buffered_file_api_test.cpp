#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "fio/buffered_file_api.h"
#include "fio_test_util.h"
#include "support/heap.h"

namespace {

using fiotest::Pattern;
using fiotest::ScratchDir;

TEST(BufferedFileApi, BadTypeIsRefusedWith12) {
  for (int type : {2, -1, 7}) {
    LastBasicIoError = 0;
    EXPECT_EQ(BasicIoCreate(type), nullptr);
    EXPECT_EQ(LastBasicError(), 12);
    LastBasicIoError = 0;
    EXPECT_EQ(BasicStdIoCreate(type), nullptr);
    EXPECT_EQ(LastBasicError(), 12);
  }
}

TEST(BufferedFileApi, NullHandle) {
  void* p = nullptr;
  std::uint32_t n = 4711;
  std::uint8_t buf[8];
  std::int32_t level = 44;
  struct Case {
    const char* what;
    std::function<int()> call;
  };
  const Case cases[] = {
      {"BasicOpenFile", [&] { return BasicOpenFile(nullptr, "x", 1); }},
      {"BasicCreateFile", [&] { return BasicCreateFile(nullptr, "x", 4); }},
      {"BasicRead", [&] { return BasicRead(nullptr, buf, 8, &n); }},
      {"BasicReadUpdate", [&] { return BasicReadUpdate(nullptr, buf, 8, &n); }},
      {"BasicGet", [&] { return BasicGet(nullptr, &p, 8, &n); }},
      {"BasicGetUpdate", [&] { return BasicGetUpdate(nullptr, &p, 8, &n); }},
      {"BasicWrite", [&] { return BasicWrite(nullptr, buf, 8, &n); }},
      {"BasicWriteUpdate", [&] { return BasicWriteUpdate(nullptr, buf, 8, &n); }},
      {"BasicUnget", [&] { return BasicUnget(nullptr); }},
      {"BasicRewind", [&] { return BasicRewind(nullptr); }},
      {"BasicEndwind", [&] { return BasicEndwind(nullptr); }},
      {"BasicClose", [&] { return BasicClose(nullptr); }},
      {"BasicSysAttributes",
       [&] { return BasicSysAttributes(nullptr, 0, 1, 0, &level, buf); }},
  };
  for (const Case& c : cases) {
    LastBasicIoError = 0;
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(LastBasicError(), 6) << c.what;
  }
  EXPECT_EQ(n, 4711u);  // the count output is not touched

  LastBasicIoError = 99;
  EXPECT_EQ(BasicLastError(nullptr), 6u);
  EXPECT_EQ(BasicIsOpen(nullptr), 0);
  EXPECT_EQ(BasicHandle(nullptr), torq::platform::kInvalidFile);
  BasicWipeBuffer(nullptr);
  BasicIoDelete(nullptr);
  EXPECT_EQ(LastBasicError(), 99);  // these leave it alone
}

TEST(BufferedFileApi, ReadCopiesAndReportsTheEnd) {
  ScratchDir dir;
  const auto data = Pattern(30);
  fiotest::WriteFileBytes(dir / "f", data);
  TBasicIo* io = BasicIoCreate(kBasicIoInput);
  ASSERT_NE(io, nullptr);
  EXPECT_EQ(BasicIsOpen(io), 0);
  ASSERT_EQ(BasicOpenFile(io, (dir / "f").c_str(), 1), 1);
  EXPECT_EQ(BasicIsOpen(io), 1);
  EXPECT_GT(BasicHandle(io), 2);

  std::uint8_t probe[18] = {};
  std::uint32_t got = 0;
  ASSERT_EQ(BasicReadUpdate(io, probe, 18, &got), 1);
  ASSERT_EQ(got, 18u);
  EXPECT_EQ(0, std::memcmp(probe, data.data(), 18));
  ASSERT_EQ(BasicUnget(io), 1);
  std::uint8_t first[10] = {};
  ASSERT_EQ(BasicRead(io, first, 10, &got), 1);
  ASSERT_EQ(got, 10u);
  EXPECT_EQ(0, std::memcmp(first, data.data(), 10));

  std::uint8_t rest[64];
  ASSERT_EQ(BasicRead(io, rest, 64, &got), 1);
  EXPECT_EQ(got, 20u);
  ASSERT_EQ(BasicRead(io, rest, 64, &got), 1);
  EXPECT_EQ(got, 0u);  // the end of the file

  void* p = nullptr;
  ASSERT_EQ(BasicRewind(io), 1);
  ASSERT_EQ(BasicGet(io, &p, 1, &got), 1);
  EXPECT_EQ(*static_cast<std::uint8_t*>(p), data[0]);
  ASSERT_EQ(BasicGetUpdate(io, &p, 5, &got), 1);
  EXPECT_EQ(got, 5u);
  ASSERT_EQ(BasicEndwind(io), 1);
  ASSERT_EQ(BasicRead(io, rest, 64, &got), 1);
  EXPECT_EQ(got, 0u);
  BasicWipeBuffer(io);
  ASSERT_EQ(BasicClose(io), 1);
  BasicIoDelete(io);
}

TEST(BufferedFileApi, FailedReadSetsTheGlobalError) {
  TBasicIo* io = BasicIoCreate(kBasicIoInput);
  std::uint8_t buf[4];
  std::uint32_t got = 9;
  LastBasicIoError = 0;
  EXPECT_EQ(BasicRead(io, buf, 4, &got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(LastBasicError(), 6);  // the object's error: not open
  BasicIoDelete(io);

  // The forwarding functions leave the global error alone.
  TBasicIo* w = BasicIoCreate(kBasicIoOutput);
  LastBasicIoError = 0;
  EXPECT_EQ(BasicWrite(w, buf, 4, &got), 0);
  EXPECT_EQ(BasicLastError(w), 6u);
  EXPECT_EQ(LastBasicError(), 0);
  BasicIoDelete(w);
}

TEST(BufferedFileApi, CreateFileExGivesNullForEveryArgument) {
  ScratchDir dir;
  for (int type : {0, 1}) {
    LastBasicIoError = 0;
    EXPECT_EQ(BasicCreateFileEx((dir / "x").c_str(), type, 1, 2, 3), nullptr);
    EXPECT_EQ(LastBasicError(), -1);  // the object's error after construction
  }
  EXPECT_EQ(BasicCreateFileEx((dir / "x").c_str(), 5, 0, 0, 0), nullptr);
  EXPECT_EQ(LastBasicError(), 12);
  EXPECT_FALSE(fiotest::Exists(dir / "x"));
}

TEST(BufferedFileApi, WriterRoundTripThroughTheInterface) {
  ScratchDir dir;
  TBasicIo* w = BasicIoCreate(kBasicIoOutput);
  ASSERT_EQ(BasicCreateFile(w, (dir / "f").c_str(), 4), 1);
  std::uint32_t n = 0;
  ASSERT_EQ(BasicWrite(w, "hello ", 6, &n), 1);
  ASSERT_EQ(BasicWrite(w, "world", 5, &n), 1);
  ASSERT_EQ(BasicWriteUpdate(w, "WORLD", 5, &n), 1);
  ASSERT_EQ(BasicEndwind(w), 1);
  ASSERT_EQ(BasicWrite(w, "!", 1, &n), 1);
  ASSERT_EQ(BasicClose(w), 1);
  BasicIoDelete(w);
  const auto got = fiotest::ReadFileBytes(dir / "f");
  EXPECT_EQ(std::string(got.begin(), got.end()), "hello WORLD!");
}

TEST(BufferedFileApi, NoMemoryGivesNull) {
  const std::uint32_t before = rmGetHeapCount();
  for (std::uint32_t failing : {1u, 2u}) {  // the object, then its buffer
    for (int type : {0, 1}) {
      LastBasicIoError = 0;
      rmHeapInjectFailure(failing);
      EXPECT_EQ(BasicIoCreate(type), nullptr) << failing << " " << type;
      rmHeapInjectFailure(0);
      EXPECT_EQ(LastBasicError(), ENOMEM);
      EXPECT_EQ(rmGetHeapCount(), before);
    }
  }
  // The name copy of an open.
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "f", Pattern(10));
  TBasicIo* io = BasicIoCreate(kBasicIoInput);
  const std::string name = dir / "f";
  rmHeapInjectFailure(1);
  EXPECT_EQ(BasicOpenFile(io, name.c_str(), 1), 0);
  rmHeapInjectFailure(0);
  EXPECT_EQ(BasicLastError(io), static_cast<std::uint32_t>(ENOMEM));
  BasicIoDelete(io);
}

}  // namespace
