// The run's report at every show level, with a fixed clock and thread id.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/environment.h"
#include "support/message_output.h"
#include "torqup/listings.h"
#include "torqup/run_driver.h"

namespace fs = std::filesystem;

namespace {

void FixedClock(std::tm* now) {
  *now = {};
  now->tm_year = 126;
  now->tm_mon = 11;
  now->tm_mday = 24;
  now->tm_hour = 12;
}
std::uint32_t FixedThread() { return 0x1234; }

class Listings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadEnvironment(fs::absolute("torq_torqup_tests").c_str()), 0) << "data files beside the tests";
    dir_ = fs::temp_directory_path() / ("torq_listings_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "a.txt") << "alpha\nbeta\n";
    MsgSetPrefixSources(FixedClock, FixedThread);
  }
  void TearDown() override {
    MsgSetPrefixSources(nullptr, nullptr);
    fs::remove_all(dir_);
    TorqFreeEnvironment();
  }
  // The report of one run, the folder shown as "$D" and the run's clock readings as "T".
  std::string Report(const std::string& parameters, std::int32_t* rcOut = nullptr) {
    gMsgLfdNr = 1;
    testing::internal::CaptureStderr();
    RunContext* handle = nullptr;
    std::int32_t rc = 0;
    const std::uint32_t length = static_cast<std::uint32_t>(parameters.size());
    torqup(handle, rc, parameters.c_str(), length);
    std::string text = testing::internal::GetCapturedStderr();
    if (rcOut != nullptr) *rcOut = rc;
    text = std::regex_replace(text, std::regex(dir_.string()), "$$D");
    text = std::regex_replace(text, std::regex("Run time: .*"), "Run time: T");
    text = std::regex_replace(text, std::regex("TORQ\\(R\\) Version .*"), "TORQ(R) Version V");
    text = std::regex_replace(text, std::regex("\n[^\n]*\n-{70}\nParameter:"), "\nOS\n" + std::string(70, '-') + "\nParameter:");
    return text;
  }
  std::string D(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

const char kRule11[] = "=========================================\n";
const char kRule10[] = "+++++++++++++++++++++++++++++++++++++++++\n";

std::string Title(const std::string& parameters) {
  return std::string("TORQ(R) Version V\n(C) Copyright 2026, compression and encryption of record files\nOS\n") +
         std::string(70, '-') + "\nParameter:" + parameters + "\n" + std::string(70, '-') + "\n";
}

TEST_F(Listings, CompressAtEveryShowLevel) {
  const std::string base = "compress torqin=$D/a.txt torqfile=$D/c.tq mode=cx8 show=";
  const std::string p = "compress,torqin=" + D("a.txt") + ",torqfile=" + D("c.tq") + ",mode=cx8,show=";
  EXPECT_EQ(Report(p + "none"), "");
  EXPECT_EQ(Report(p + "error"), "");
  const std::string statistic = Report(p + "statistic");
  EXPECT_EQ(statistic,
            Title(base + "statistic") +
                "2026-12-24 12:00:00 12340001 compress\n"
                "2026-12-24 12:00:00 12340002 mode=CX8\n"
                "2026-12-24 12:00:00 12340003 maxbuffer=32768\n"
                "2026-12-24 12:00:00 12340004 maxrecords=255\n"
                "2026-12-24 12:00:00 12340005 torqcode=ascii\n"
                "2026-12-24 12:00:00 12340006 attributes=all\n"
                "2026-12-24 12:00:00 12340007 show=statistic\n"
                "2026-12-24 12:00:00 12340008 translate=none\n"
                "------------- Member #0001 --------------\n"
                "2026-12-24 12:00:00 12340009 torqin=$D/a.txt\n"
                "2026-12-24 12:00:00 12340010 Number of uncompressed records:         2\n"
                "2026-12-24 12:00:00 12340011 Number of uncompressed bytes:           9\n" +
                kRule10 +
                "2026-12-24 12:00:00 12340012 torqfile=$D/c.tq\n"
                "2026-12-24 12:00:00 12340013 Number of compressed records:           1\n"
                "2026-12-24 12:00:00 12340014 Number of compressed bytes:           512\n"
                "2026-12-24 12:00:00 12340015 Compression efficiency: -5588.89%\n" +
                kRule11 + "2026-12-24 12:00:00 12340016 Run time: T\n" + kRule11);
  const std::string all = Report(p + "all");
  for (const char* line : {"12340010 inorganization=sequential\n", "12340011 inrecformat=text\n",
                           "12340012 inrecdelim=0a\n", "12340016 organization=sequential\n",
                           "12340018 recformat=fix\n"}) {
    EXPECT_NE(all.find(line), std::string::npos) << line << all;
  }
  // Attributes alone: the title, no parameter lines of the road, no counts.
  const std::string attributes = Report(p + "attributes");
  EXPECT_EQ(attributes.rfind(Title(base + "attributes"), 0), 0u) << attributes;
  EXPECT_EQ(attributes.find("Number of"), std::string::npos) << attributes;
}

TEST_F(Listings, DecompressNamesStandardStreamsAndCutsComments) {
  const std::string comment(60, 'c');
  std::int32_t rc = -1;
  Report("compress,torqin=" + D("a.txt") + ",torqfile=" + D("c.tq") + ",mode=cx8,show=none,comment=" + comment, &rc);
  ASSERT_EQ(rc, 0);
  const std::string text = Report("decompress,torqfile=" + D("c.tq") + ",torqout=,show=all", &rc);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(text.find("torqout=STDOUT$\n"), std::string::npos) << text;
  EXPECT_NE(text.find(std::string(50, 'c') + "\n"), std::string::npos) << text;
  EXPECT_EQ(text.find(std::string(51, 'c')), std::string::npos) << text;
  EXPECT_NE(text.find("Source file name: $D/a.txt\n"), std::string::npos) << text;
}

// The attribute listing lists every member of every container with the member's own method:
// one container of three members (CX8, CX8, VR8 added), one of two DC8 members written
// without headers, which are listed without names.
TEST_F(Listings, AttributesOfEveryMemberOfEveryContainer) {
  std::ofstream(dir_ / "b.txt") << "b\n";
  std::int32_t rc = -1;
  for (const std::string& p : {"compress,torqin=(" + D("a.txt") + "," + D("b.txt") + "),torqfile=" + D("c1.tq") +
                                   ",mode=cx8,show=none",
                               "compress,torqin=" + D("a.txt") + ",torqfile=" + D("c1.tq") +
                                   ",mode=vr8,options=add,show=none",
                               "compress,torqin=(" + D("a.txt") + "," + D("b.txt") + "),torqfile=" + D("c2.tq") +
                                   ",mode=dc8,noheader,show=none"}) {
    Report(p, &rc);
    ASSERT_EQ(rc, 0) << p;
  }
  const std::string text = Report("decompress,torqfile=" + D("c*.tq") + ",show=attributes", &rc);
  EXPECT_EQ(rc, 0);
  // Message lines numbered from `line` on.
  int line = 4;
  auto numbered = [&line](std::initializer_list<std::string> texts) {
    std::string out;
    for (const std::string& t : texts) {
      char prefix[64];
      std::snprintf(prefix, sizeof prefix, "2026-12-24 12:00:00 1234%04d ", line++);
      out += prefix + t + "\n";
    }
    return out;
  };
  auto container = [&](const std::string& name) {
    return numbered({"torqfile=$D/" + name, "organization=sequential", "recformat=fix", "recsize=512"});
  };
  auto member = [&](int n, const std::string& name, const std::string& mode) {
    return "------------- Member #000" + std::to_string(n) + " --------------\n" +
           numbered({"Source file name: " + name, "Compressed on WINDOWS 9x/NT/200x/XP", "torqcode=ascii",
                     "mode=" + mode, "inorganization=sequential", "inrecformat=text"});
  };
  auto withoutHeader = [&](int n) {
    return "------------- Member #000" + std::to_string(n) + " --------------\n" +
           numbered({"Source file name: ", "Compressed on unknown", "torqcode=ascii", "mode=DC8"});
  };
  std::string listing = container("c1.tq");
  listing += member(1, "$D/a.txt", "CX8");
  listing += member(2, "$D/b.txt", "CX8");
  listing += member(3, "$D/a.txt", "VR8");
  listing += container("c2.tq");
  listing += withoutHeader(1);
  listing += withoutHeader(2);
  EXPECT_EQ(text, Title("decompress torqfile=$D/c*.tq show=attributes") +
                      "2026-12-24 12:00:00 12340001 decompress\n"
                      "2026-12-24 12:00:00 12340002 show=attributes\n"
                      "2026-12-24 12:00:00 12340003 translate=none\n" +
                      kRule11 + listing + kRule11 + numbered({"Run time: T"}) + kRule11);
}

TEST_F(Listings, MissingInputAndTaggedCodes) {
  std::int32_t rc = 0;
  const std::string text = Report("compress,torqin=" + D("none") + ",torqfile=" + D("c.tq") + ",mode=cx8,show=error", &rc);
  EXPECT_EQ(rc, 31);
  EXPECT_EQ(text,
            "2026-12-24 12:00:00 12340001 Source file name: $D/none\n"
            "2026-12-24 12:00:00 12340002 *ERROR*  31: Input file not found\n"
            "2026-12-24 12:00:00 12340003 *ERROR* 0x0000001F\n"
            "2026-12-24 12:00:00 12340004 *ERROR*  31: Input file not found\n");
}

TEST_F(Listings, DefaultsListing) {
  gMsgLfdNr = 1;
  testing::internal::CaptureStderr();
  EXPECT_EQ(torq_list(""), 0);
  const std::string text = testing::internal::GetCapturedStderr();
  for (const char* line : {"Default Code Table ascii_ebcic:\n", "Default Code Table ebcic_ ascii:\n", "torqcode=ascii\n",
                           "decompress\n", "mode=ADC\n", "show=all\n", "maxrecords=4095\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  }
  DefStruct* loaded = gDefstr;
  gDefstr = nullptr;
  EXPECT_EQ(torq_list(""), -1);
  gDefstr = loaded;
}

}  // namespace
