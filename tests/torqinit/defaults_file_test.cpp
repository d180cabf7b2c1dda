#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "data_files.h"
#include "support/code_tables.h"
#include "support/crc.h"
#include "support/last_error.h"

using torqtest::DataFiles;
using torqtest::ReadBytes;
using torqtest::WriteBytes;

namespace {

std::int32_t WordAt(const std::vector<unsigned char>& b, std::size_t at) {
  std::int32_t v;
  std::memcpy(&v, &b[at], 4);
  return v;
}

}  // namespace

TEST(DefaultsWriter, FactoryRecord) {
  const std::uint32_t crc = InitDefaults();
  std::vector<unsigned char> b(sizeof fdt);
  std::memcpy(b.data(), &fdt, sizeof fdt);
  ASSERT_EQ(b.size(), 3068u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "QDEF");
  EXPECT_EQ(crc, calc_crc32(b.data(), 3064));
  EXPECT_EQ(static_cast<std::uint32_t>(WordAt(b, 3064)), crc);

  struct Expected { std::size_t at; std::int32_t value; };
  const Expected words[] = {{12, 1}, {20, 1}, {24, 1}, {28, 1}, {32, 32768}, {36, 3}, {44, 4095},
                            {52, 1}, {84, 1}, {88, 512}, {260, 3}, {432, 3}};
  std::set<std::size_t> named;
  for (const Expected& w : words) {
    EXPECT_EQ(WordAt(b, w.at), w.value) << w.at;
    for (std::size_t k = 0; k < 4; ++k) named.insert(w.at + k);
  }
  EXPECT_EQ(b[3056], 0x20);
  EXPECT_EQ(b[3057], 1);
  named.insert({0, 1, 2, 3, 3056, 3057});
  EXPECT_EQ(std::memcmp(&b[2544], ce2a, 256), 0);
  EXPECT_EQ(std::memcmp(&b[2800], ca2e, 256), 0);
  for (std::size_t i = 0; i < 3064; ++i) {
    if (named.count(i) || (i >= 2544 && i < 3056)) continue;
    EXPECT_EQ(b[i], 0) << i;
  }
  for (int e = 0; e < 256; ++e) EXPECT_EQ(b[2800 + b[2544 + e]], e);  // inverse tables
}

TEST(DefaultsWriter, AnyChangedByteBreaksTheSeal) {
  InitDefaults();
  ASSERT_TRUE(DefStructIsSound(fdt));
  for (std::size_t i = 0; i < sizeof fdt; ++i) {
    DefStruct copy = fdt;
    reinterpret_cast<unsigned char*>(&copy)[i] ^= 0x01;
    ASSERT_FALSE(DefStructIsSound(copy)) << i;
  }
}

TEST_F(DataFiles, DefaultsFileIsTheRecordAndLoads) {
  const std::string out = WriteBoth();
  EXPECT_NE(out.find(def_ + ":  3068 *OK*\n"), std::string::npos) << out;
  const auto b = ReadBytes(def_);
  ASSERT_EQ(b.size(), 3068u);
  InitDefaults();
  EXPECT_EQ(std::memcmp(b.data(), &fdt, sizeof fdt), 0);
  ASSERT_EQ(GetDefaults(nullptr), 0);
  ASSERT_NE(gDefstr, nullptr);
  EXPECT_EQ(gDefstr->mode, 3);
  EXPECT_EQ(gDefstr->general.recsize, 512);
  EXPECT_EQ(gDefstr->output.recform, 3);
  EXPECT_EQ(gDefstr->padchar, 0x20);
}

// Every truncation, every flipped byte and a longer file: 30 for an empty file, else 47;
// never a crash, and a refused record is not kept.
TEST_F(DataFiles, DefaultsCorruptionTable) {
  WriteBoth();
  const auto good = ReadBytes(def_);
  for (std::size_t n = 0; n < good.size(); ++n) {
    WriteBytes(def_, good.data(), n);
    ASSERT_EQ(GetDefaults(nullptr), n == 0 ? 30 : 47) << n;
    ASSERT_EQ(gDefstr, nullptr);
    ASSERT_STREQ(GetLastTorqErrorHint(), def_.c_str());
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    auto bad = good;
    bad[i] ^= 0x5A;
    WriteBytes(def_, bad.data(), bad.size());
    ASSERT_EQ(GetDefaults(nullptr), 47) << i;
    ASSERT_EQ(gDefstr, nullptr);
  }
  auto longer = good;
  longer.push_back(0);
  WriteBytes(def_, longer.data(), longer.size());
  EXPECT_EQ(GetDefaults(nullptr), 47);
  WriteBytes(def_, good.data(), good.size());
  EXPECT_EQ(GetDefaults(nullptr), 0);
  std::remove(def_.c_str());
  EXPECT_EQ(GetDefaults(nullptr), -1);
}

TEST_F(DataFiles, LoadEnvironmentResults) {
  WriteBoth();
  const std::string exe = dir_ + "/torq4";
  ASSERT_EQ(LoadEnvironment(exe.c_str()), 0);
  EXPECT_EQ(GetLastTorqError(), 0);
  const auto good = ReadBytes(def_);
  WriteBytes(def_, good.data(), 0);
  EXPECT_EQ(LoadEnvironment(exe.c_str()), 30);
  EXPECT_EQ(GetLastTorqError(), 30);
  WriteBytes(def_, good.data(), 3067);
  EXPECT_EQ(LoadEnvironment(exe.c_str()), 47);
  EXPECT_STREQ(GetLastTorqErrorHint(), def_.c_str());
  std::remove(def_.c_str());
  EXPECT_EQ(LoadEnvironment(exe.c_str()), -1);
  EXPECT_STREQ(GetLastTorqErrorHint(), def_.c_str());
  WriteBytes(def_, good.data(), good.size());
  const auto msg = ReadBytes(msg_);
  WriteBytes(msg_, msg.data(), 100);
  EXPECT_EQ(LoadEnvironment(exe.c_str()), 45);  // the catalogue is loaded first
  EXPECT_STREQ(GetLastTorqErrorHint(), msg_.c_str());
}
