// torq4 end to end: the attribute listing of every member of every container, the codes at
// the end of a run (71, 72, 1369), the warning 105 naming its file, and stored names shown
// safely.
#include <regex>

#include "cmp/block_io.h"
#include "torq4_runner.h"

namespace {

using namespace torq4test;

// The lines of a report that contain `part`, in order.
std::vector<std::string> LinesWith(const std::string& report, const std::string& part) {
  std::vector<std::string> lines;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (line.find(part) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

// The text behind the message prefix (date, time, thread, sequence).
std::string Body(const std::string& line) {
  static const std::regex prefix("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [0-9a-f]{8} ");
  return std::regex_replace(line, prefix, "");
}

// The message texts that begin with `start`, in order.
std::vector<std::string> Bodies(const std::string& report, const std::string& start) {
  std::vector<std::string> out;
  for (const std::string& line : LinesWith(report, start)) {
    if (Body(line).starts_with(start)) out.push_back(Body(line));
  }
  return out;
}

using Lines = std::vector<std::string>;

// Two containers: one of three members of three methods, added one by one; one of three DC8
// members written without headers, whose matrices mark where each member begins: listed as
// three members without names, as they are restored.
TEST_F(Torq4, AttributeListingShowsEveryMemberOfEveryContainer) {
  WriteFile(P("in/a.txt"), "aaa\naaa\n");
  WriteFile(P("in/b.txt"), std::string(3000, 'b') + "\n");
  WriteFile(P("in/c.txt"), "ccc\n");
  struct Step {
    std::string input, mode, option;
  };
  const Step steps[] = {{"a.txt", "cx8", ""}, {"b.txt", "vr8", "options=add"}, {"c.txt", "dc8", "options=add"}};
  for (const Step& s : steps) {
    std::vector<std::string> args{"compress", "torqin=" + S("in/" + s.input), "torqfile=" + S("x1.tq"),
                                  "mode=" + s.mode, "options=nopath", "show=none"};
    if (!s.option.empty()) args.push_back(s.option);
    const RunResult r = Run(args);
    ASSERT_EQ(r.status, 0) << s.input << "\n" << r.err;
  }
  RunResult r = Run({"compress", "torqin=" + S("in/*"), "torqfile=" + S("x2.tq"), "mode=dc8", "noheader",
                     "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;

  // The three methods, each member by its own.
  r = Run({"decompress", "torqfile=" + S("x1.tq"), "show=attributes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(LinesWith(r.err, "Member #").size(), 3u) << r.err;
  EXPECT_EQ(Bodies(r.err, "Source file name"),
            (Lines{"Source file name: a.txt", "Source file name: b.txt", "Source file name: c.txt"}))
      << r.err;
  EXPECT_EQ(Bodies(r.err, "mode="), (Lines{"mode=CX8", "mode=VR8", "mode=DC8"})) << r.err;

  // Both containers through one pattern; nothing is written.
  r = Run({"decompress", "torqfile=" + S("x*.tq"), "torqout=[]", "outpath=" + S("out"), "show=attributes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Bodies(r.err, "torqfile="), (Lines{"torqfile=" + S("x1.tq"), "torqfile=" + S("x2.tq")})) << r.err;
  EXPECT_EQ(LinesWith(r.err, "Member #").size(), 6u) << r.err;
  EXPECT_EQ(Bodies(r.err, "Source file name"),
            (Lines{"Source file name: a.txt", "Source file name: b.txt", "Source file name: c.txt",
                   "Source file name: ", "Source file name: ", "Source file name: "}))
      << r.err;
  EXPECT_EQ(Bodies(r.err, "mode="), (Lines{"mode=CX8", "mode=VR8", "mode=DC8", "mode=DC8", "mode=DC8", "mode=DC8"}))
      << r.err;
  EXPECT_TRUE(!fs::exists(P("out")) || fs::is_empty(P("out")));

  // The members restore as listed.
  r = Run({"decompress", "torqfile=" + S("x1.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) EXPECT_EQ(ReadFile(P("out") / name), ReadFile(P("in") / name));
  r = Run({"decompress", "torqfile=" + S("x2.tq"), "torqout=[#]", "outpath=" + S("out2"), "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("out2/Member#0002")), ReadFile(P("in/b.txt")));
  EXPECT_EQ(ReadFile(P("out2/Member#0003")), ReadFile(P("in/c.txt")));
}

// A record longer than a fixed output record: without cut the run stops with 72 and keeps no
// output; with cut the record is cut, a warning tells so and the run ends 0.
TEST_F(Torq4, TruncatedRecordsEndWith72OrWarnWithCut) {
  WriteFile(P("a.txt"), "abcdef\nxy\nlonger line\n");
  RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  struct Case {
    const char* option;
    int status;
    const char* code;
    const char* message;
    const char* output;
  };
  const Case cases[] = {
      {nullptr, 72, "*ERROR* 0x00000048", "*ERROR*  72: ", nullptr},
      // With the cut option the cut records are a warning: the run ends 0.
      {"options=cut", 0, "*WARN*  111: ", "*WARN*  111: ", "abcdxy  long"},
  };
  for (const Case& c : cases) {
    fs::remove(P("o.dat"));
    std::vector<std::string> args{"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("o.dat"), "outformat=fix",
                                  "outrecsize=4", "show=error"};
    if (c.option != nullptr) args.push_back(c.option);
    r = Run(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.code), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("0xA000006F"), std::string::npos) << r.err;
    if (c.output != nullptr) {
      EXPECT_EQ(ReadFile(P("o.dat")), c.output);
    } else {
      EXPECT_FALSE(fs::exists(P("o.dat")));
    }
  }
}

// Two secured containers joined into one file: the second one's member counts as member 2 but
// says it is member 1. The run ends with 351 and names the member number first.
TEST_F(Torq4, MemberNumberLineComesWith351) {
  std::string joined;
  for (const std::string name : {"s1", "s2"}) {
    WriteFile(P(name + ".txt"), name + "\n");
    const RunResult r = Run({"compress", "torqin=" + S(name + ".txt"), "torqfile=" + S(name + ".tq"), "mode=adc",
                             "cryptkey=secret", "secureinfo=yes", "show=none"});
    ASSERT_EQ(r.status, 0) << r.err;
    joined += ReadFile(P(name + ".tq"));
  }
  WriteFile(P("joined.tq"), joined);
  const RunResult r = Run({"decompress", "torqfile=" + S("joined.tq"), "torqout=[#]", "outpath=" + S("out"),
                           "cryptkey=secret", "show=error"});
  EXPECT_EQ(r.status, 351 & 0xFF) << r.err;
  const Lines want = {"*ERROR*1369: Member number: 0002", "*ERROR* 0x0000015F",
                      "*ERROR* 351: SECURITY: Member number not contiguous"};
  Lines got;
  for (const std::string& line : LinesWith(r.err, "*ERROR*")) got.push_back(Body(line));
  EXPECT_EQ(got, want) << r.err;
  // The first member ended whole, its trailer checked, before the next header failed: its
  // output stays; the member that failed has none.
  EXPECT_EQ(ReadFile(P("out/Member#0001")), "s1\n");
  EXPECT_FALSE(fs::exists(P("out/Member#0002")));
}

// A secured member whose trailer counts one byte more than was stored (the block checksum made
// right again, as the counters lie outside the MACs): the run ends with 352 and names the member.
TEST_F(Torq4, MemberNumberLineComesWith352) {
  WriteFile(P("a.txt"), "hello world\nsecond line\n");
  RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("a.tq"), "mode=adc", "cryptkey=secret",
                     "secureinfo=yes", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string file = ReadFile(P("a.tq"));
  // The member trailer's original byte and record counts: 22 and 2, 8 bytes each, big-endian.
  const std::string counts = std::string(7, '\0') + '\x16' + std::string(7, '\0') + '\x02';
  const std::size_t at = file.find(counts);
  const std::size_t block = 512;
  ASSERT_NE(at, std::string::npos);
  ASSERT_LT(at, block);  // the member trailer lies in the first block, the file trailer after it
  file[at + 7] = '\x17';
  // The sum is taken with the member-start mark (byte 4) at 0, as the reader sees the block.
  std::string summed = file.substr(0, block - 2);
  summed[4] = '\0';
  const std::uint16_t sum = BlockChecksum(reinterpret_cast<const std::uint8_t*>(summed.data()), summed.size());
  file[block - 2] = static_cast<char>(sum >> 8);
  file[block - 1] = static_cast<char>(sum & 0xFF);
  WriteFile(P("a.tq"), file);
  r = Run({"decompress", "torqfile=" + S("a.tq"), "torqout=[#]", "outpath=" + S("out"), "cryptkey=secret",
           "show=error"});
  EXPECT_EQ(r.status, 352 & 0xFF) << r.err;
  const Lines want = {"*ERROR*1369: Member number: 0001", "*ERROR* 0x00000160",
                      "*ERROR* 352: SECURITY: Member trailer: counters wrong"};
  Lines got;
  for (const std::string& line : LinesWith(r.err, "*ERROR*")) got.push_back(Body(line));
  EXPECT_EQ(got, want) << r.err;
  EXPECT_FALSE(fs::exists(P("out/a.txt")));
}

// The compress listing shows the matrix size the container is written with.
TEST_F(Torq4, ListingShowsTheBufferSizeUsed) {
  WriteFile(P("a.txt"), "a\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"mode=dc8", "maxbuffer=16384"}, "maxbuffer=16384"}, {{"mode=dc8", "maxbuffer=16"}, "maxbuffer=16384"},
      {{"mode=dc8", "maxbuffer=100000"}, "maxbuffer=65536"}, {{"mode=dc8", "maxbuffer=100"}, "maxbuffer=65536"},
      {{"mode=cx8", "maxbuffer=100"}, "maxbuffer=114688"},   {{"mode=adc", "maxbuffer=16"}, "maxbuffer=65536"},
  };
  for (const auto& [given, shown] : cases) {
    std::vector<std::string> args{"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=statistic"};
    args.insert(args.end(), given.begin(), given.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Bodies(r.err, "maxbuffer="), Lines{shown}) << given[1];
  }
}

// The warning names its file first, once for each file that needs it.
TEST_F(Torq4, Warning105NamesTheFile) {
  WriteFile(P("in/1.txt"), "x\ny");
  WriteFile(P("in/2.txt"), "x\ny\n");
  WriteFile(P("in/3.txt"), "z");
  const RunResult r = Run({"compress", "torqin=" + S("in/*"), "torqfile=" + S("c.tq"), "show=error"});
  EXPECT_EQ(r.status, 0) << r.err;
  const Lines lines = LinesWith(r.err, "");
  const Lines want = {"Source file name: " + S("in/1.txt"), "*WARN*  105: No delimiter at end of file",
                      "Source file name: " + S("in/3.txt"), "*WARN*  105: No delimiter at end of file"};
  ASSERT_EQ(lines.size(), want.size()) << r.err;
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(Body(lines[i]).substr(0, want[i].size()), want[i]) << r.err;

  // A parameter file whose last line has no line end: the line counts, the warning names it.
  WriteFile(P("par.txt"), "compress\ntorqin=" + S("in/2.txt") + "\ntorqfile=" + S("p.tq") + "\nshow=error");
  const RunResult p = Run({"parfile=" + S("par.txt")});
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(Bodies(p.err, ""), (Lines{"paramfile=" + S("par.txt"), "*WARN*  105: No delimiter at end of file"}))
      << p.err;
  EXPECT_TRUE(fs::exists(P("p.tq")));
}

// A printable container in text lines whose last line lost its line end reads as it is.
TEST_F(Torq4, PrintableContainerWithoutLastLineEnd) {
  WriteFile(P("a.txt"), "one\ntwo\n");
  RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "mode=cx7", "recformat=text",
                     "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string container = ReadFile(P("c.tq"));
  ASSERT_EQ(container.back(), '\n');
  container.pop_back();
  WriteFile(P("c.tq"), container);
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("b.txt"), "show=error"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(P("b.txt")), "one\ntwo\n");
}

// A stored name with control bytes is shown escaped in listings and messages; the file it
// restores to keeps the name.
TEST_F(Torq4, StoredNamesAreShownEscaped) {
  const std::string name = "e\x1b[31mx\ny.txt";
  WriteFile(P("in") / name, "data\n");
  RunResult r = Run({"compress", "torqin=" + (P("in") / name).string(), "torqfile=" + S("c.tq"), "options=nopath",
                     "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* show : {"show=attributes", "show=all"}) {
    fs::remove_all(P("out"));
    r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + S("out"), show});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << show;
    EXPECT_NE(r.err.find("Source file name: e\\x1b[31mx\\x0ay.txt\n"), std::string::npos) << show << "\n" << r.err;
  }
  EXPECT_NE(r.err.find("torqout=" + S("out") + "/e\\x1b[31mx\\x0ay.txt\n"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(P("out") / name), "data\n");
}

}  // namespace
