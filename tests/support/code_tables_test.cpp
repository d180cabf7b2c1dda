#include "support/code_tables.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/heap.h"
#include "support/last_error.h"
#include "support/platform/file_io.h"

namespace {

// The tables as printed, row by row.
const char* const kCe2aRows[16] = {
    "00 01 02 03 9C 09 86 7F 97 8D 8E 0B 0C 0D 0E 0F", "10 11 12 13 9D 85 08 87 18 19 92 8F 1C 1D 1E 1F",
    "80 81 82 83 84 0A 17 1B 88 89 8A 8B 8C 05 06 07", "90 91 16 93 94 95 96 04 98 99 9A 9B 14 15 9E 1A",
    "20 A0 A1 A2 A3 A4 A5 A6 A7 A8 5B 2E 3C 28 2B 21", "26 A9 AA AB AC AD AE AF B0 B1 5D 24 2A 29 3B 5E",
    "2D 2F B2 B3 B4 B5 B6 B7 B8 B9 7C 2C 25 5F 3E 3F", "BA BB BC BD BE BF C0 C1 C2 60 3A 23 40 27 3D 22",
    "C3 61 62 63 64 65 66 67 68 69 C4 C5 C6 C7 C8 C9", "CA 6A 6B 6C 6D 6E 6F 70 71 72 CB CC CD CE CF D0",
    "D1 7E 73 74 75 76 77 78 79 7A D2 D3 D4 D5 D6 D7", "D8 D9 DA DB DC DD DE DF E0 E1 E2 E3 E4 E5 E6 E7",
    "7B 41 42 43 44 45 46 47 48 49 E8 E9 EA EB EC ED", "7D 4A 4B 4C 4D 4E 4F 50 51 52 EE EF F0 F1 F2 F3",
    "5C 9F 53 54 55 56 57 58 59 5A F4 F5 F6 F7 F8 F9", "30 31 32 33 34 35 36 37 38 39 FA FB FC FD FE FF"};
const char* const kCa2eRows[16] = {
    "00 01 02 03 37 2D 2E 2F 16 05 25 0B 0C 0D 0E 0F", "10 11 12 13 3C 3D 32 26 18 19 3F 27 1C 1D 1E 1F",
    "40 4F 7F 7B 5B 6C 50 7D 4D 5D 5C 4E 6B 60 4B 61", "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 7A 5E 4C 7E 6E 6F",
    "7C C1 C2 C3 C4 C5 C6 C7 C8 C9 D1 D2 D3 D4 D5 D6", "D7 D8 D9 E2 E3 E4 E5 E6 E7 E8 E9 4A E0 5A 5F 6D",
    "79 81 82 83 84 85 86 87 88 89 91 92 93 94 95 96", "97 98 99 A2 A3 A4 A5 A6 A7 A8 A9 C0 6A D0 A1 07",
    "20 21 22 23 24 15 06 17 28 29 2A 2B 2C 09 0A 1B", "30 31 1A 33 34 35 36 08 38 39 3A 3B 04 14 3E E1",
    "41 42 43 44 45 46 47 48 49 51 52 53 54 55 56 57", "58 59 62 63 64 65 66 67 68 69 70 71 72 73 74 75",
    "76 77 78 80 8A 8B 8C 8D 8E 8F 90 9A 9B 9C 9D 9E", "9F A0 AA AB AC AD AE AF B0 B1 B2 B3 B4 B5 B6 B7",
    "B8 B9 BA BB BC BD BE BF CA CB CC CD CE CF DA DB", "DC DD DE DF EA EB EC ED EE EF FA FB FC FD FE FF"};

void ExpectRows(const std::uint8_t* table, const char* const (&rows)[16]) {
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c) {
      const unsigned expected = std::stoul(std::string(rows[r] + 3 * c, 2), nullptr, 16);
      EXPECT_EQ(table[r * 16 + c], expected) << "index " << r * 16 + c;
    }
}

class CodeTableFile : public ::testing::Test {
 protected:
  void SetUp() override {
    F_FreeTorqTranslateTable();
    dir_ = std::filesystem::temp_directory_path() / ("torq_codetab_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    F_FreeTorqTranslateTable();
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = (dir_ / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
  std::filesystem::path dir_;
};

std::vector<std::uint8_t> Filled(std::size_t n, std::uint8_t base) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(base + i);
  return v;
}

}  // namespace

TEST(CodeTables, DefaultsAreTheTablesByteForByte) {
  ExpectRows(ce2a, kCe2aRows);
  ExpectRows(ca2e, kCa2eRows);
}

TEST(CodeTables, DefaultsAreInverse) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(ca2e[ce2a[b]], b);
    EXPECT_EQ(ce2a[ca2e[b]], b);
  }
  EXPECT_EQ(ca2e[0x7C], 0x6A);
  EXPECT_EQ(ce2a[0xBB], 0xE3);
}

TEST(CodeTables, CovertRoundTripsEveryByte) {
  std::uint8_t buf[256];
  for (int i = 0; i < 256; ++i) buf[i] = static_cast<std::uint8_t>(i);
  torqutil::CovertA2E(nullptr, buf, 256);
  torqutil::CovertE2A(nullptr, buf, 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(buf[i], i);
  std::uint8_t abc[3] = {'A', 'B', 'C'};
  torqutil::CovertA2E(nullptr, abc, 3);
  EXPECT_EQ(abc[0], 0xC1);
  EXPECT_EQ(abc[1], 0xC2);
  EXPECT_EQ(abc[2], 0xC3);
  torqutil::CovertE2A(nullptr, abc, 3);
  EXPECT_EQ(std::memcmp(abc, "ABC", 3), 0);
  // A table of one's own.
  std::uint8_t shift[256];
  for (int i = 0; i < 256; ++i) shift[i] = static_cast<std::uint8_t>(i + 1);
  torqutil::CovertA2E(shift, abc, 2);
  EXPECT_EQ(std::memcmp(abc, "BCC", 3), 0);
}

TEST(CodeTables, CovertWithNoLengthTouchesNothing) {
  std::uint8_t abc[3] = {'A', 'B', 'C'};
  torqutil::CovertA2E(nullptr, abc, 0);
  torqutil::CovertA2E(nullptr, abc, -5);
  torqutil::CovertE2A(nullptr, abc, -1);
  EXPECT_EQ(std::memcmp(abc, "ABC", 3), 0);
}

TEST_F(CodeTableFile, OneTableServesBothDirections) {
  const auto path = Write("t256", Filled(256, 3));
  EXPECT_EQ(F_LoadTorqTranslateTable(path.c_str()), 0);
  ASSERT_NE(gCodeTab, nullptr);
  EXPECT_EQ(gCodeTabEA, gCodeTab);
  EXPECT_EQ(gCodeTabAE, gCodeTab);
  EXPECT_EQ(gCodeTabEA[0], 3);
  EXPECT_EQ(GetLastTorqError(), 0);
  EXPECT_STREQ(GetLastTorqErrorHint(), "LaodTorqCodeTable");
}

TEST_F(CodeTableFile, TwoTablesGiveTheDefaultsTranslation) {
  std::vector<std::uint8_t> bytes(ce2a, ce2a + 256);
  bytes.insert(bytes.end(), ca2e, ca2e + 256);
  const auto path = Write("t512", bytes);
  EXPECT_EQ(F_LoadTorqTranslateTable(path.c_str()), 0);
  EXPECT_EQ(gCodeTabEA, gCodeTab);
  EXPECT_EQ(gCodeTabAE, gCodeTab + 256);
  std::uint8_t a[256], b[256];
  for (int i = 0; i < 256; ++i) a[i] = b[i] = static_cast<std::uint8_t>(i);
  torqutil::CovertA2E(gCodeTabAE, a, 256);
  torqutil::CovertA2E(nullptr, b, 256);
  EXPECT_EQ(std::memcmp(a, b, 256), 0);
  torqutil::CovertE2A(gCodeTabEA, a, 256);
  torqutil::CovertE2A(nullptr, b, 256);
  EXPECT_EQ(std::memcmp(a, b, 256), 0);
}

TEST_F(CodeTableFile, WrongSizesChangeNothing) {
  const auto good = Write("good", Filled(256, 9));
  ASSERT_EQ(F_LoadTorqTranslateTable(good.c_str()), 0);
  const auto* kept = gCodeTab;
  TorqClearErrors();
  for (std::size_t n : {0u, 255u, 257u, 511u, 513u}) {
    const auto path = Write("bad" + std::to_string(n), Filled(n, 0));
    EXPECT_EQ(F_LoadTorqTranslateTable(path.c_str()), 112) << n;
  }
  EXPECT_EQ(F_LoadTorqTranslateTable((dir_ / "missing").c_str()), 112);
  EXPECT_EQ(F_LoadTorqTranslateTable(dir_.c_str()), 112);  // a directory
  EXPECT_EQ(gCodeTab, kept);
  EXPECT_EQ(gCodeTabEA, kept);
  EXPECT_EQ(GetLastTorqError(), 0);
  EXPECT_EQ(GetLastSysError(), 0u);
}

TEST_F(CodeTableFile, ASecondLoadReleasesTheFirstBlock) {
  const auto first = Write("first", Filled(512, 1));
  const auto second = Write("second", Filled(512, 2));
  const auto before = rmGetHeapCount();
  ASSERT_EQ(F_LoadTorqTranslateTable(first.c_str()), 0);
  const auto withFirst = rmGetHeapCount();
  EXPECT_GT(withFirst, before);
  ASSERT_EQ(F_LoadTorqTranslateTable(second.c_str()), 0);
  EXPECT_EQ(rmGetHeapCount(), withFirst);
  EXPECT_EQ(gCodeTabEA[0], 2);
  F_FreeTorqTranslateTable();
  EXPECT_EQ(rmGetHeapCount(), before);
  EXPECT_EQ(gCodeTab, nullptr);
  EXPECT_EQ(gCodeTabEA, nullptr);
  EXPECT_EQ(gCodeTabAE, nullptr);
}

TEST_F(CodeTableFile, NoMemoryKeepsNothing) {
  const auto path = Write("t", Filled(256, 1));
  ASSERT_EQ(F_LoadTorqTranslateTable(path.c_str()), 0);
  F_FreeTorqTranslateTable();
  const auto before = rmGetHeapCount();
  ASSERT_EQ(F_LoadTorqTranslateTable(path.c_str()), 0);
  rmHeapInjectFailure(1);
  EXPECT_EQ(F_LoadTorqTranslateTable(path.c_str()), 999);
  rmHeapInjectFailure(0);
  EXPECT_STREQ(GetLastSysErrorHint(), "CodeTab");
  EXPECT_EQ(gCodeTab, nullptr);
  EXPECT_EQ(gCodeTabEA, nullptr);
  EXPECT_EQ(gCodeTabAE, nullptr);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST_F(CodeTableFile, UnreadableFileGives113AndKeepsNoBlock) {
  const auto path = Write("locked", Filled(256, 1));
  const auto before = rmGetHeapCount();
  torq::platform::SetFileOpenHook([](const char*, int, mode_t) -> int {
    errno = EACCES;
    return -1;
  });
  EXPECT_EQ(F_LoadTorqTranslateTable(path.c_str()), 113);
  torq::platform::SetFileOpenHook(nullptr);
  EXPECT_EQ(GetLastSysError(), static_cast<std::uint32_t>(EACCES));
  EXPECT_EQ(GetLastTorqError(), 113);
  EXPECT_STREQ(GetLastTorqErrorHint(), path.c_str());
  EXPECT_EQ(gCodeTab, nullptr);
  EXPECT_EQ(rmGetHeapCount(), before);
}

// A read that fails part-way counts as a file that could not be read completely: 112, the
// system error kept, and nothing loaded or left allocated.
TEST_F(CodeTableFile, ReadErrorGives112AndKeepsNothing) {
  const auto path = Write("t", Filled(512, 1));
  ASSERT_EQ(F_LoadTorqTranslateTable(path.c_str()), 0);
  const auto before = rmGetHeapCount();
  static const torq::platform::FileIoHooks failingRead = {
      [](int, void*, std::size_t) -> ssize_t {
        errno = EIO;
        return -1;
      },
      nullptr};
  torq::platform::SetFileIoHooks(&failingRead);
  const std::int32_t rc = F_LoadTorqTranslateTable(path.c_str());
  torq::platform::SetFileIoHooks(nullptr);
  EXPECT_EQ(rc, 112);
  EXPECT_EQ(GetLastTorqError(), 112);
  EXPECT_STREQ(GetLastTorqErrorHint(), "LaodTorqCodeTable");
  EXPECT_EQ(GetLastSysError(), static_cast<std::uint32_t>(EIO));
  EXPECT_STREQ(GetLastSysErrorHint(), path.c_str());
  EXPECT_EQ(gCodeTab, nullptr);
  EXPECT_EQ(gCodeTabEA, nullptr);
  EXPECT_EQ(gCodeTabAE, nullptr);
  EXPECT_LT(rmGetHeapCount(), before);  // the earlier table went too
}
