// torqcmd copied beside the stand-in, run as a user runs it (output to a file, not a terminal).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "launcher_test_util.h"
#include "launchers/torqcmd/file_name.h"
#include "launchers/torqcmd/launcher.h"

using launchertest::ReadRecord;
using launchertest::ReadText;
using launchertest::Scratch;

namespace {

struct Outcome {
  int status = -1;       // the exit status
  std::string output;    // standard output and error
  std::string rc;        // what it wrote to TORQ_RC_FD
};

class Torqcmd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Dir().empty());
    ASSERT_TRUE(scratch_.Copy("torqcmd", "torqcmd"));
    ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "torq4"));
  }
  // Runs torqcmd from a script in `folder`, with the arguments single-quoted, the environment
  // settings, output to a file and descriptor 3 as its TORQ_RC_FD.
  Outcome Run(const std::vector<std::string>& args, const std::string& environment = "LANG=C",
              const std::string& folder = "/") {
    const std::string script = scratch_.Path("run.sh");
    {
      std::FILE* f = std::fopen(script.c_str(), "w");
      std::fprintf(f, "cd '%s' && TORQ_RC_FD=3 env %s STANDIN_RECORD='%s' '%s'", folder.c_str(), environment.c_str(),
                   scratch_.Path("record.txt").c_str(), scratch_.Path("torqcmd").c_str());
      for (const std::string& a : args) std::fprintf(f, " '%s'", a.c_str());
      std::fprintf(f, " > '%s' 2>&1 < /dev/null 3> '%s'\n", scratch_.Path("out.txt").c_str(),
                   scratch_.Path("rc.txt").c_str());
      std::fclose(f);
    }
    Outcome o;
    const int raw = std::system(("sh '" + script + "'").c_str());
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.output = ReadText(scratch_.Path("out.txt"));
    o.rc = ReadText(scratch_.Path("rc.txt"));
    return o;
  }
  std::map<std::string, std::string> Record() { return ReadRecord(scratch_.Path("record.txt")); }

  Scratch scratch_;
};

}  // namespace

TEST(TorqcmdSwitches, AnyCaseAndOnlyTheFive) {
  for (const char* s : {"/newcon", "/NOWAIT", "/NoCon", "/nopause", "/Stat"}) EXPECT_EQ(IsSwitch(s), 1) << s;
  for (const char* s : {"/reg", "/x", "nowait", "", "/stats"}) EXPECT_EQ(IsSwitch(s), 0) << s;
  EXPECT_EQ(IsSwitch(nullptr), 0);
}

TEST(TorqcmdFileName, CopyCatAndBounds) {
  TFileName name("/opt/torq/", 7, 1);
  name.Cat("torq4");
  EXPECT_STREQ(name.c_str(), "/opt/torq/torq4");
  EXPECT_EQ(name.Length(), 15);
  EXPECT_EQ(name.LastChar(), '4');
  EXPECT_EQ(name.Id(), 7);
  EXPECT_EQ(name.Src(), 1);
  name.SetLength(10);
  EXPECT_STREQ(name.c_str(), "/opt/torq/");
  name.SetLength(50);  // never lengthens
  EXPECT_EQ(name.Length(), 10);
  const TFileName copy(name);
  EXPECT_STREQ(copy.c_str(), "/opt/torq/");
  EXPECT_TRUE(copy.Fits());
  TFileName longName;
  longName = std::string(TFileName::kCapacity + 5, 'a').c_str();
  EXPECT_EQ(longName.Length(), TFileName::kCapacity);
  EXPECT_FALSE(longName.Fits());  // a cut path would name another file
}

TEST_F(Torqcmd, ParametersPassedOnUpToTheStopMark) {
  const Outcome o = Run({"mode=adc", "/NOPAUSE", "/reg", "/x", "", "torqin=a b", "!stop", "after", "/stat"});
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_EQ(o.output, "stand-in error output\n*SUCCESS*\n");  // no /stat: it stands after '!'
  const auto r = Record();
  EXPECT_EQ(r.at("argc"), "6");
  EXPECT_EQ(r.at("arg0"), scratch_.Path("torq4"));
  EXPECT_EQ(r.at("arg1"), "mode=adc");
  EXPECT_EQ(r.at("arg2"), "/reg");
  EXPECT_EQ(r.at("arg3"), "/x");
  EXPECT_EQ(r.at("arg4"), "");
  EXPECT_EQ(r.at("arg5"), "torqin=a b");
  EXPECT_EQ(r.at("nice"), "19");
  EXPECT_EQ(r.at("session"), "0");
  EXPECT_EQ(r.at("fds"), "0,1,2,3,");
  EXPECT_EQ(o.rc, "0");

  Run({"", "mode=adc"});  // an empty first argument: no parameters
  EXPECT_EQ(Record().at("argc"), "1");
}

TEST_F(Torqcmd, ResultLinesCarryTheWholeCode) {
  struct Case {
    const char* result;
    const char* line;
    const char* rc;
  };
  const Case cases[] = {
      {"code:0", "*SUCCESS*\n", "0"},
      {"code:300", "*ERROR* 300 (0x12c)\n", "300"},
      {"code:0xF0000027", "*ERROR* 39 (0xf0000027)\n", "-268435417"},
      {"signal:9", "*Process aborted: *ERROR* 268435453 (0xfffffffd)\n", "-3"},
      {"signal:2", "*Process Console aborted: *ERROR* 268435453 (0xfffffffd)\n", "-3"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run({"mode=adc"}, std::string("LANG=C STANDIN_RESULT=") + c.result);
    EXPECT_EQ(o.output, std::string("stand-in error output\n") + c.line) << c.result;
    EXPECT_EQ(o.rc, c.rc) << c.result;
    EXPECT_EQ(o.status, std::atoi(c.rc) & 0xFF) << c.result;
  }
  const Outcome german = Run({"mode=adc"}, "LANG=de_DE.UTF-8");
  EXPECT_EQ(german.output, "stand-in error output\n*ERFOLG*\n");
}

TEST_F(Torqcmd, NewConsoleAndDetachedRuns) {
  Outcome o = Run({"/newcon", "mode=adc"});
  EXPECT_EQ(o.output, "/newcon: no new console window on this system\n*SYSERROR* 95 (0x5f)\n");
  EXPECT_EQ(o.status, 95);
  o = Run({"/newcon", "mode=adc"}, "LANG=de_DE");
  EXPECT_EQ(o.output, "/newcon: kein neues Konsolenfenster auf diesem System\n*SYSERROR* 95 (0x5f)\n");
  o = Run({"/nocon", "/NEWCON", "mode=adc"});
  EXPECT_EQ(o.output, "*SYSERROR* 22 (0x16)\n");
  EXPECT_EQ(o.status, 22);
  EXPECT_FALSE(std::filesystem::exists(scratch_.Path("record.txt")));  // nothing was started

  o = Run({"/nocon", "mode=adc"});
  EXPECT_EQ(o.output, "*SUCCESS*\n");  // the child's error output goes nowhere
  auto r = Record();
  EXPECT_EQ(r.at("session"), "1");
  EXPECT_EQ(r.at("stdin"), "/dev/null");
  EXPECT_EQ(r.at("stdout"), "/dev/null");

  std::filesystem::remove(scratch_.Path("record.txt"));
  o = Run({"/nowait", "mode=adc"}, "LANG=C STANDIN_RESULT=code:7");
  EXPECT_EQ(o.status, 0);
  for (int i = 0; i < 1000 && !std::filesystem::exists(scratch_.Path("record.txt")); ++i) ::usleep(10000);
  EXPECT_TRUE(std::filesystem::exists(scratch_.Path("record.txt")));
}

TEST_F(Torqcmd, Torq4ThatCannotBeStartedEndsWithMinusOne) {
  // Found beside torqcmd, but the start fails: the result is -1, never the bare error number,
  // which could be one of torq4's own codes.
  struct Case {
    const char* what;
    void (*make)(const std::string& torq4);
    const char* line;
  };
  const Case cases[] = {
      {"not executable", [](const std::string& torq4) { ::chmod(torq4.c_str(), 0644); },
       "*SYSERROR* 13 (0xd) Permission denied\n"},
      {"no program",
       [](const std::string& torq4) {
         std::filesystem::remove(torq4);
         std::ofstream(torq4) << std::string(64, '\x7f');
         ::chmod(torq4.c_str(), 0755);
       },
       "*SYSERROR* 8 (0x8) Exec format error\n"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(scratch_.Path("torq4"));
    ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "torq4"));
    c.make(scratch_.Path("torq4"));
    const Outcome o = Run({"mode=adc"});
    EXPECT_EQ(o.output, c.line) << c.what;
    EXPECT_EQ(o.rc, "-1") << c.what;
    EXPECT_EQ(o.status, 255) << c.what;
  }
}

TEST_F(Torqcmd, RunsTorq4ElseTorqBesideItselfOnly) {
  // Programs planted in the current folder are never run.
  const std::string planted = scratch_.Path("planted");
  std::filesystem::create_directory(planted);
  ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "planted/torq4"));
  ASSERT_TRUE(scratch_.Copy("torq4_stand_in", "planted/torq"));
  struct Case {
    std::vector<std::string> beside;
    const char* runs;  // null: none
  };
  const Case cases[] = {
      {{"torq4", "torq"}, "torq4"},
      {{"torq"}, "torq"},
      {{}, nullptr},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(scratch_.Path("torq4"));
    std::filesystem::remove(scratch_.Path("torq"));
    std::filesystem::remove(scratch_.Path("record.txt"));
    for (const std::string& name : c.beside) ASSERT_TRUE(scratch_.Copy("torq4_stand_in", name));
    const Outcome o = Run({"mode=adc"}, "LANG=C", planted);
    if (c.runs) {
      EXPECT_EQ(o.status, 0) << c.runs << o.output;
      EXPECT_EQ(Record().at("exe"), scratch_.Path(c.runs));
      EXPECT_EQ(Record().at("arg0"), scratch_.Path(c.runs));
    } else {
      EXPECT_EQ(o.output, "\nTORQ4 or TORQ not found.\n...");
      EXPECT_EQ(o.status, 254);  // -2
      EXPECT_EQ(o.rc, "-2");
      EXPECT_FALSE(std::filesystem::exists(scratch_.Path("record.txt")));
    }
  }
}

TEST_F(Torqcmd, StatisticsLines) {
  const Outcome o = Run({"/stat", "mode=adc"});
  const std::regex lines(
      "stand-in error output\n\\*SUCCESS\\*\n"
      "Started: [A-Z][a-z]+day, \\d\\d\\. [A-Z][a-z][a-z] \\d{4} \\d\\d:\\d\\d:\\d\\d\n"
      "Ended  : [A-Z][a-z]+day, \\d\\d\\. [A-Z][a-z][a-z] \\d{4} \\d\\d:\\d\\d:\\d\\d\n"
      "RunTime     ms : {0,22}[0-9.]+\n"
      "KernelTime  ms : {0,22}[0-9.]+\n"
      "UserTime    ms : {0,22}[0-9.]+\n"
      "ReadOps        : {0,22}[0-9.]+\n"
      "WriteOps       : {0,22}[0-9.]+\n"
      "ReadBytes      : {0,22}[0-9.]+\n"
      "WriteBytes     : {0,22}[0-9.]+\n"
      "Maximum Memory : {0,22}[1-9][0-9.]+\n");
  EXPECT_TRUE(std::regex_match(o.output, lines)) << o.output;
  for (const char* label : {"RunTime     ms :", "Maximum Memory :"}) {
    const std::size_t at = o.output.find(label);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(o.output.find('\n', at) - at, 16u + 23u) << label;  // numbers right-aligned in 23
  }
}

TEST_F(Torqcmd, HelpAndAMissingProgram) {
  Outcome o = Run({});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.output.rfind("\nTorqCmd Version ", 0), 0u) << o.output;
  EXPECT_NE(o.output.find("TorqCmd /nocon /nowait /nopause : TORQ starts in the backgroung without console.\n..."),
            std::string::npos);
  std::filesystem::remove(scratch_.Path("torq4"));
  o = Run({"mode=adc"});
  EXPECT_EQ(o.output, "\nTORQ4 or TORQ not found.\n...");
  EXPECT_EQ(o.status, 254);  // -2
  o = Run({"mode=adc"}, "LANG=de_DE");
  EXPECT_EQ(o.output, "\nTORQ4 bzw. TORQ nicht gefunden.\n...");
}
