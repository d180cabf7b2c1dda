#include "support/environment.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/code_tables.h"
#include "support/crc.h"
#include "support/event_log.h"
#include "support/heap.h"
#include "support/last_error.h"

namespace {

std::string MakeTempDir() {
  char dir[] = "/tmp/torq_env_XXXXXX";
  if (!mkdtemp(dir)) return "";
  return dir;
}

void WriteFile(const std::string& name, const void* data, std::size_t n) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
}

// A record as the factory writes it, sealed with its CRC.
DefStruct FactoryLikeRecord() {
  DefStruct r;
  std::memset(&r, 0, sizeof r);
  std::memcpy(r.magic, "QDEF", 4);
  r.blkmode = 1;
  r.maxbuffer = 32768;
  std::memcpy(r.ce2a, ce2a, 256);
  std::memcpy(r.ca2e, ca2e, 256);
  r.padchar = 0x20;
  return r;
}

void Seal(DefStruct& r) { r.crc = calc_crc32(&r, static_cast<std::int32_t>(kDefCrcOffset)); }

class Environment : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir(); ASSERT_FALSE(dir_.empty()); }
  void TearDown() override {
    TorqFreeEnvironment();
    for (const char* f : {"/torqdef.dat", "/torqmsg.dat", "/d.dat"}) std::remove((dir_ + f).c_str());
    rmdir(dir_.c_str());
  }
  std::string dir_;
};

struct LoggedEntry {
  std::string source;
  std::uint32_t type = 0;
  std::string text;
};
std::vector<LoggedEntry> gLogged;
void CollectLog(const char* source, std::uint32_t type, const char* text) {
  gLogged.push_back({source, type, text});
}

}  // namespace

TEST_F(Environment, ProgramDirectoryAndDataFileNames) {
  struct Case { const char* exe; const char* dir; };
  const Case cases[] = {{"/opt/tools/torq4", "/opt/tools/"}, {"torqinit", ""}, {"/torq4", "/"},
                        {"rel/dir/torq4", "rel/dir/"}, {"/a/b/", "/a/b/"}};
  for (const Case& c : cases) {
    ASSERT_EQ(GetTorqPath(c.exe), 0) << c.exe;
    EXPECT_STREQ(gTorqPath, c.dir) << c.exe;
  }
  EXPECT_EQ(LoadEnvironment("/opt/tools/torq4"), -1);
  EXPECT_STREQ(TorqMgsdatName, "/opt/tools/torqmsg.dat");
  EXPECT_STREQ(TorqDefdatName, "/opt/tools/torqdef.dat");
}

TEST_F(Environment, TooLongAProgramPathIsRefused) {
  const std::string longPath = "/" + std::string(5000, 'a') + "/torq4";
  EXPECT_EQ(GetTorqPath(longPath.c_str()), -1);
  const std::string nearlyTooLong = "/" + std::string(4086, 'a') + "/torq4";
  EXPECT_EQ(LoadEnvironment(nearlyTooLong.c_str()), -1);
  EXPECT_STREQ(GetLastTorqErrorHint(), "torqmsg.dat");
  EXPECT_EQ(TorqMgsdatName, nullptr);
}

TEST_F(Environment, MissingDataFilesAreNamedInTheHint) {
  const std::string exe = dir_ + "/torq4";
  EXPECT_EQ(LoadEnvironment(exe.c_str()), -1);  // both missing: the catalogue is checked first
  EXPECT_EQ(GetLastTorqError(), -1);
  const std::string msg = dir_ + "/torqmsg.dat";
  EXPECT_EQ(GetLastTorqErrorHint(), msg);  // the full path where it was looked for
  EXPECT_EQ(GetLastSysError(), static_cast<std::uint32_t>(ENOENT));
  // The start-up line the utility prints for a negative result.
  char line[256];
  std::snprintf(line, sizeof line,
                "*ERROR* %d: LoadEnvironment failed (%s missing), call torqinit before first usage\n",
                GetLastTorqError(), GetLastTorqErrorHint());
  EXPECT_EQ(std::string(line), "*ERROR* -1: LoadEnvironment failed (" + msg +
                                   " missing), call torqinit before first usage\n");

  WriteFile(msg, "x", 1);
  EXPECT_EQ(LoadEnvironment(exe.c_str()), -1);
  EXPECT_EQ(GetLastTorqErrorHint(), dir_ + "/torqdef.dat");
}

TEST_F(Environment, DefaultsRecordSizes) {
  const std::string name = dir_ + "/d.dat";
  const DefStruct good = [] { DefStruct r = FactoryLikeRecord(); Seal(r); return r; }();
  WriteFile(name, "", 0);
  EXPECT_EQ(GetDefaults(name.c_str()), 30);
  EXPECT_STREQ(GetLastTorqErrorHint(), name.c_str());
  WriteFile(name, &good, kDefStructSize - 1);
  EXPECT_EQ(GetDefaults(name.c_str()), 47);
  std::vector<char> longer(kDefStructSize + 1, 0);
  std::memcpy(longer.data(), &good, kDefStructSize);
  WriteFile(name, longer.data(), longer.size());
  EXPECT_EQ(GetDefaults(name.c_str()), 47);
  EXPECT_EQ(gDefstr, nullptr);
  WriteFile(name, &good, kDefStructSize);
  ASSERT_EQ(GetDefaults(name.c_str()), 0);
  ASSERT_NE(gDefstr, nullptr);
  EXPECT_EQ(std::memcmp(gDefstr, &good, kDefStructSize), 0);
  EXPECT_EQ(GetDefaults((dir_ + "/none.dat").c_str()), -1);
  EXPECT_EQ(gDefstr, nullptr);
  EXPECT_EQ(GetDefaults(dir_.c_str()), -1);  // a directory is no record
  EXPECT_EQ(GetLastSysError(), static_cast<std::uint32_t>(EISDIR));
}

TEST_F(Environment, RefusedRecordsAreReleased) {
  const std::string name = dir_ + "/d.dat";
  struct Case {
    const char* what;
    void (*damage)(DefStruct&);
    bool reseal;
  };
  const Case cases[] = {
      {"magic", [](DefStruct& r) { r.magic[0] = 'X'; }, true},
      {"crc", [](DefStruct& r) { r.maxbuffer = 1; }, false},
      {"crc word", [](DefStruct& r) { r.crc ^= 1; }, false},
      {"name slot without NUL",
       [](DefStruct& r) { r.torqfile[0] = 3; std::memset(r.torqfile + 1, 'a', 259); }, true},
      {"name slot length too big", [](DefStruct& r) { r.paramfile[0] = 255; r.paramfile[1] = 'a'; }, false},
      {"name slot NUL inside", [](DefStruct& r) { r.torqin[0] = 3; r.torqin[1] = 'a'; }, true},
      {"exit name too long",
       [](DefStruct& r) { r.exk20[0] = 33; std::memset(r.exk20 + 1, 'e', 33); }, true},
      {"exit name without NUL",
       [](DefStruct& r) { r.exd10[0] = 2; r.exd10[1] = 'a'; r.exd10[2] = 'b'; r.exd10[3] = 'c'; }, true},
  };
  for (const Case& c : cases) {
    DefStruct r = FactoryLikeRecord();
    Seal(r);
    c.damage(r);
    if (c.reseal) Seal(r);
    WriteFile(name, &r, sizeof r);
    EXPECT_EQ(GetDefaults(name.c_str()), 47) << c.what;
    EXPECT_EQ(gDefstr, nullptr) << c.what;
    EXPECT_EQ(GetLastTorqError(), 47) << c.what;
  }
  // The longest names a slot can hold are sound.
  DefStruct r = FactoryLikeRecord();
  r.outpath[0] = 255;
  std::memset(r.outpath + 1, 'p', 255);
  r.exd20[0] = 32;
  std::memset(r.exd20 + 1, 'x', 32);
  Seal(r);
  WriteFile(name, &r, sizeof r);
  EXPECT_EQ(GetDefaults(name.c_str()), 0);
}

TEST_F(Environment, NoMemoryForTheRecordIsLogged) {
  const std::string name = dir_ + "/d.dat";
  DefStruct r = FactoryLikeRecord();
  Seal(r);
  WriteFile(name, &r, sizeof r);
  gLogged.clear();
  SetEventLogSink(CollectLog);
  rmHeapInjectFailure(1);
  EXPECT_EQ(GetDefaults(name.c_str()), -1);
  rmHeapInjectFailure(0);
  SetEventLogSink(nullptr);
  EXPECT_EQ(gDefstr, nullptr);
  ASSERT_EQ(gLogged.size(), 1u);
  EXPECT_EQ(gLogged[0].source, "TORQ4");
  EXPECT_EQ(gLogged[0].type, 1u);
  EXPECT_EQ(gLogged[0].text.rfind("allocate buffer Def failed with error ", 0), 0u) << gLogged[0].text;
}

TEST_F(Environment, SetExeNameRecordsTheRunningProgram) {
  ASSERT_EQ(SetExeName(), 0);
  ASSERT_NE(gTorqExe, nullptr);
  EXPECT_EQ(gTorqExe[0], '/');
  EXPECT_NE(std::strstr(gTorqExe, "torq_support_tests"), nullptr);
  ASSERT_EQ(GetTorqPath(nullptr), 0);
  EXPECT_EQ(std::string(gTorqExe).rfind(gTorqPath, 0), 0u);
}

TEST_F(Environment, FreeLeavesEveryPointerNull) {
  const auto before = rmGetHeapCount();
  LoadEnvironment((dir_ + "/torq4").c_str());
  SetExeName();
  TorqFreeEnvironment();
  EXPECT_EQ(gTorqExe, nullptr);
  EXPECT_EQ(gTorqPath, nullptr);
  EXPECT_EQ(TorqMgsdatName, nullptr);
  EXPECT_EQ(TorqDefdatName, nullptr);
  EXPECT_EQ(gDefstr, nullptr);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(EventLog, ErrorEntryNamesTheOperationAndTheSystemText) {
  gLogged.clear();
  SetEventLogSink(CollectLog);
  errno = ENOENT;
  LogErrorMessage("open file");
  EXPECT_EQ(errno, ENOENT);
  const std::string longName(1000, 'n');
  LogErrorMessage(longName.c_str());
  LogMessage("plain", 0x10002, 3, 77);
  SetEventLogSink(nullptr);
  ASSERT_EQ(gLogged.size(), 3u);
  EXPECT_EQ(gLogged[0].text, "open file failed with error 2: No such file or directory");
  EXPECT_EQ(gLogged[0].type, 1u);
  EXPECT_EQ(gLogged[1].text.size(), kLogEntrySize - 1);
  EXPECT_EQ(gLogged[2].text, "plain");
  EXPECT_EQ(gLogged[2].type, 2u);  // the low 16 bits of the type
}

TEST(EventLog, EntriesCarryTheProgramSourceTypeAndText) {
  gLogged.clear();
  SetEventLogSink(CollectLog);
  LogMessage("TORQ event log test entry", 4, 0, 0);
  LogMessage(std::string(kLogEntrySize + 100, 'e').c_str(), 0x20001, 0, 0);
  SetEventLogSink(nullptr);
  ASSERT_EQ(gLogged.size(), 2u);
  EXPECT_EQ(gLogged[0].source, "TORQ4");
  EXPECT_EQ(gLogged[0].type, 4u);
  EXPECT_EQ(gLogged[0].text, "TORQ event log test entry");
  EXPECT_EQ(gLogged[1].type, 1u);
  EXPECT_EQ(gLogged[1].text, std::string(kLogEntrySize + 100, 'e'));
}

TEST(EventLog, ReportEventMapsTypesUnderItsOwnSource) {
  gLogged.clear();
  SetEventLogSink(CollectLog);
  struct Case { int type; std::uint32_t entry; };
  const Case cases[] = {{0, 4u}, {2, 1u}, {1, 2u}, {-5, 2u}, {7, 2u}};
  for (const auto& c : cases) EXPECT_EQ(TorqReportEvent(c.type, "report", 9, "OTHER"), 0);
  EXPECT_EQ(TorqReportEvent(0, "x", 0, nullptr), EINVAL);
  EXPECT_EQ(TorqReportEvent(0, "x", 0, ""), EINVAL);
  SetEventLogSink(nullptr);
  ASSERT_EQ(gLogged.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(gLogged[i].source, "OTHER");
    EXPECT_EQ(gLogged[i].type, cases[i].entry) << cases[i].type;
  }
  // The program's own source keeps working after a report under another.
  gLogged.clear();
  SetEventLogSink(CollectLog);
  LogMessage("after a report", 4, 0, 0);
  SetEventLogSink(nullptr);
  ASSERT_EQ(gLogged.size(), 1u);
  EXPECT_EQ(gLogged[0].source, "TORQ4");
}
