// torq4 run end to end on files in a temporary folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cmp/trq_roundtrip.h"
#include "torqup/torq4_runner.h"
#include "fio/dtaus_generator.h"

extern char** environ;
namespace fs = std::filesystem;
using torq4test::ReadFile;
using torq4test::WriteFile;
using torq4test::RunResult;
using torq4test::Torq4;

namespace {

std::string Ebcdic80(int records) {
  std::string bytes;
  for (int i = 0; i < records; ++i) {
    std::string card(80, '\x40');
    for (int j = 0; j < 10 + i; ++j) card[j] = static_cast<char>(0xC1 + j % 9);
    card[79] = static_cast<char>(0xF0 + i % 10);
    bytes += card;
  }
  return bytes;
}

struct Input {
  const char* name;
  std::string bytes;
  std::vector<std::string> compressArgs;
  std::string restored;  // expected bytes when restored under its own attributes
  std::vector<std::string> decompressArgs = {};
};

std::string DtausDisk() {
  dtausgen::Generator generator(7);
  const dtausgen::Bytes bytes =
      dtausgen::Concat(dtausgen::RenderAll(generator.File({0, 2, 15}), dtausgen::Form::kDisk, dtausgen::Charset::kAscii));
  return std::string(bytes.begin(), bytes.end());
}

const std::vector<Input>& Inputs() {
  static const std::vector<Input> inputs = {
      // The container keeps DTAUS records as variable records: the output format is named.
      {"payments.dta", DtausDisk(), {"informat=dtaus_d"}, DtausDisk(), {"outrecformat=dtaus_d"}},
      {"elements.ber", std::string("\x30\x03\x02\x01\x05\x30\x06\x04\x04" "abcd" "\x04\x00", 15), {"informat=asn1"},
       std::string("\x30\x03\x02\x01\x05\x30\x06\x04\x04" "abcd" "\x04\x00", 15), {"outrecformat=asn1"}},
      {"lines.txt", "first line\nsecond line\n\n   indented\nlast\n", {}, "first line\nsecond line\n\n   indented\nlast\n"},
      {"nolf.txt", "a\nb", {}, "a\nb\n"},
      {"cards.dat", Ebcdic80(7), {"informat=fix", "inrecsize=80"}, Ebcdic80(7)},
      {"empty.txt", "", {}, ""},
      {"var.bin", std::string("\x00\x05" "abc" "\x00\x02" "\x00\x0D" "hello world", 20), {"informat=var_2b"},
       std::string("\x00\x05" "abc" "\x00\x02" "\x00\x0D" "hello world", 20)},
  };
  return inputs;
}

TEST_F(Torq4, RestoresEveryInputUnderEveryMethodAndCode) {
  for (const char* method : {"cx8", "cx7", "vr8", "adc", "ndc", "dc8"}) {
    for (const char* code : {"ascii", "ebcdic"}) {
      for (const Input& input : Inputs()) {
        const std::string label = std::string(method) + " " + code + " " + input.name;
        WriteFile(P(input.name), input.bytes);
        std::vector<std::string> args{"compress", "torqin=" + S(input.name), "torqfile=" + S("c.tq"),
                                      std::string("mode=") + method, std::string("torqcode=") + code, "show=none"};
        args.insert(args.end(), input.compressArgs.begin(), input.compressArgs.end());
        RunResult r = Run(args);
        ASSERT_EQ(r.status, 0) << label << "\n" << r.err;
        fs::remove_all(P("out"));
        std::vector<std::string> back{"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"};
        back.insert(back.end(), input.decompressArgs.begin(), input.decompressArgs.end());
        r = Run(back);
        ASSERT_EQ(r.status, 0) << label << "\n" << r.err;
        EXPECT_EQ(ReadFile(P("out") / input.name), input.restored) << label;
      }
    }
  }
}

// indelete deletes an input of every format once it was read whole and is unchanged: formats
// that end at their own end record (DTAUS, ASN.1) read the file to its end as well.
TEST_F(Torq4, IndeleteTakesEveryFormatReadWhole) {
  for (const Input& input : Inputs()) {
    WriteFile(P(input.name), input.bytes);
    std::vector<std::string> args{"compress", "torqin=" + S(input.name), "torqfile=" + S("c.tq"), "indelete",
                                  "show=error"};
    args.insert(args.end(), input.compressArgs.begin(), input.compressArgs.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << input.name << "\n" << r.err;
    EXPECT_FALSE(fs::exists(P(input.name))) << input.name;
  }
}

TEST_F(Torq4, LastLineWithoutDelimiterIsAWarning) {
  WriteFile(P("nolf.txt"), "x\ny");
  const RunResult r = Run({"compress", "torqin=" + S("nolf.txt"), "torqfile=" + S("c.tq")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("105: No delimiter at end of file"), std::string::npos) << r.err;
}

// A password protects the container in every crypt mode, with and without security trailers:
// the right one restores the file, a wrong one gives 29 and no output.
TEST_F(Torq4, PasswordsProtectTheContainer) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "record " + std::to_string(i) + " of the protected file\n";
  WriteFile(P("a.txt"), text);
  const std::vector<std::vector<std::string>> settings = {
      {"cryptkey=Secret-1"},
      {"cryptkey=Secret-1", "cryptmode=torq"},
      {"cryptkey=Secret-1", "cryptmode=aes", "mode=ndc"},
      {"cryptkey=Secret-1", "secureinfo=yes"},
  };
  for (const auto& s : settings) {
    const std::string label = s.back();
    std::vector<std::string> args{"compress", "torqin=" + S("a.txt"), "torqfile=" + S("p.tq"), "show=none"};
    args.insert(args.end(), s.begin(), s.end());
    if (std::none_of(s.begin(), s.end(), [](const std::string& a) { return a.starts_with("mode="); }))
      args.push_back("mode=adc");
    RunResult r = Run(args);
    ASSERT_EQ(r.status, 0) << label << "\n" << r.err;
    fs::remove(P("back.txt"));
    r = Run({"decompress", "torqfile=" + S("p.tq"), "torqout=" + S("back.txt"), "show=none", "cryptkey=Secret-1"});
    EXPECT_EQ(r.status, 0) << label << "\n" << r.err;
    EXPECT_EQ(ReadFile(P("back.txt")), text) << label;
    fs::remove(P("wrong.txt"));
    r = Run({"decompress", "torqfile=" + S("p.tq"), "torqout=" + S("wrong.txt"), "show=none", "cryptkey=secret-1"});
    EXPECT_EQ(r.status, 29) << label << "\n" << r.err;
    EXPECT_FALSE(fs::exists(P("wrong.txt"))) << label;
  }
}

TEST_F(Torq4, DecompressIsTheDefaultFunction) {
  WriteFile(P("a.txt"), "alpha\n");
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  const RunResult r = Run({"torqfile=" + S("c.tq"), "torqout=" + S("back.txt"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("back.txt")), "alpha\n");
}

class Torq4Members : public Torq4 {
 protected:
  void SetUp() override {
    Torq4::SetUp();
    if (IsSkipped()) return;
    WriteFile(P("in/a.txt"), "aaa\n");
    WriteFile(P("in/b.txt"), "bbb\nbbb\n");
    WriteFile(P("in/c.dat"), "ccc\n");
    const RunResult r = Run({"compress", "torqin=" + S("in/*"), "torqfile=" + S("m.tq"), "options=nopath", "show=none"});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // The files below `out`, relative, with their contents.
  std::map<std::string, std::string> Outputs() {
    std::map<std::string, std::string> files;
    if (!fs::exists(P("out"))) return files;
    for (const auto& e : fs::recursive_directory_iterator(P("out"))) {
      if (e.is_regular_file()) files[fs::relative(e.path(), P("out")).string()] = ReadFile(e.path());
    }
    return files;
  }
};

TEST_F(Torq4Members, OutputPatternsNameAndSelect) {
  using Files = std::map<std::string, std::string>;
  const std::pair<std::string, Files> cases[] = {
      {"[]", {{"a.txt", "aaa\n"}, {"b.txt", "bbb\nbbb\n"}, {"c.dat", "ccc\n"}}},
      {"[*]", {{"a.txt", "aaa\n"}, {"b.txt", "bbb\nbbb\n"}, {"c.dat", "ccc\n"}}},
      {"[#]", {{"Member#0001", "aaa\n"}, {"Member#0002", "bbb\nbbb\n"}, {"Member#0003", "ccc\n"}}},
      {"[#2]", {{"b.txt", "bbb\nbbb\n"}}},
      {"[#2=new.txt]", {{"new.txt", "bbb\nbbb\n"}}},
      {"[*.txt]", {{"a.txt", "aaa\n"}, {"b.txt", "bbb\nbbb\n"}}},
      {"[b]=y", {{"y.txt", "bbb\nbbb\n"}}},
      {"all.txt", {{"all.txt", "aaa\nbbb\nbbb\nccc\n"}}},
  };
  for (const auto& [pattern, expected] : cases) {
    fs::remove_all(P("out"));
    const RunResult r = Run({"decompress", "torqfile=" + S("m.tq"), "torqout=" + pattern, "outpath=" + S("out"), "show=none"});
    EXPECT_EQ(r.status, 0) << pattern << "\n" << r.err;
    EXPECT_EQ(Outputs(), expected) << pattern;
  }
}

TEST_F(Torq4Members, NoSelectedMemberGives104) {
  const RunResult r = Run({"decompress", "torqfile=" + S("m.tq"), "torqout=[#9]", "outpath=" + S("out")});
  EXPECT_EQ(r.status, 104);
  EXPECT_NE(r.err.find("*ERROR* 0x00000068"), std::string::npos) << r.err;
  EXPECT_TRUE(Outputs().empty());
}

TEST_F(Torq4Members, PlainOutputFedByTwoContainersHoldsTheSecondUnlessAppending) {
  ASSERT_EQ(Run({"compress", "torqin=" + S("in/a.txt"), "torqfile=" + S("a.tq"), "show=none"}).status, 0);
  RunResult r = Run({"decompress", "torqfile=(" + S("a.tq") + "," + S("m.tq") + ")", "torqout=" + S("all.txt"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("all.txt")), "aaa\nbbb\nbbb\nccc\n");
  fs::remove(P("all.txt"));
  r = Run({"decompress", "torqfile=(" + S("a.tq") + "," + S("m.tq") + ")", "torqout=" + S("all.txt"), "append", "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("all.txt")), "aaa\naaa\nbbb\nbbb\nccc\n");
}

TEST_F(Torq4, ListsOfInputsPairWithContainers) {
  WriteFile(P("a1"), "a1\n");
  WriteFile(P("a2"), "a2\n");
  WriteFile(P("b1"), "b1\n");
  RunResult r = Run({"compress", "torqin=(" + S("a*") + "," + S("b*") + ")", "torqfile=(" + S("x.tq") + "," + S("y.tq") + ")",
                     "options=nopath", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  fs::remove_all(P("out"));
  r = Run({"decompress", "torqfile=" + S("x.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(P("out/a1")) && fs::exists(P("out/a2")) && !fs::exists(P("out/b1")));
  r = Run({"compress", "torqin=(" + S("a*") + "," + S("b*") + ")", "torqfile=" + S("z.tq"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = Run({"compress", "torqin=(" + S("a*") + "," + S("b*") + ")",
           "torqfile=(" + S("p.tq") + "," + S("q.tq") + "," + S("r.tq") + ")", "show=none"});
  EXPECT_EQ(r.status, 102);
  EXPECT_TRUE(fs::exists(P("p.tq")) && fs::exists(P("q.tq")));
}

TEST_F(Torq4, AddAppendsMembersToAContainer) {
  WriteFile(P("a.txt"), "a\n");
  WriteFile(P("b.txt"), "b\n");
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "options=nopath", "show=none"}).status, 0);
  RunResult r = Run({"compress", "torqin=" + S("b.txt"), "torqfile=" + S("c.tq"), "options=nopath", "add", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("out/a.txt")), "a\n");
  EXPECT_EQ(ReadFile(P("out/b.txt")), "b\n");
}

TEST_F(Torq4, BracketContainerPatternOpensOneContainerPerInput) {
  WriteFile(P("a.txt"), "a\n");
  WriteFile(P("b.txt"), "b\n");
  const RunResult r = Run({"compress", "torqin=" + S("*.txt"), "torqfile=[.txt=.tq]", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(P("a.tq")) && fs::exists(P("b.tq")));
}

TEST_F(Torq4, PipesCarryTheContainer) {
  WriteFile(P("a.txt"), "piped\n");
  RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=", "options=nopath", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_FALSE(r.out.empty());
  WriteFile(P("c.tq"), r.out);
  r = Run({"decompress", "torqfile=", "torqout=", "show=none"}, S("c.tq"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "piped\n");
}

TEST_F(Torq4, FailuresEndWithTheirCodes) {
  WriteFile(P("a.txt"), "a\n");
  RunResult r = Run({"compress", "torqin=" + S("none*"), "torqfile=" + S("c.tq")});
  EXPECT_EQ(r.status, 31);
  EXPECT_NE(r.err.find("*ERROR* 0x0000001F"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1130") == std::string::npos ? r.err.find(S("none*")) : 0, std::string::npos);
  r = Run({"compress", "torqin=" + S("none*"), "torqfile=" + S("c.tq"), "show=none"});
  EXPECT_EQ(r.status, 31);
  EXPECT_EQ(r.err, "");

  fs::create_hard_link(P("a.txt"), P("hard.tq"));
  fs::create_symlink(P("a.txt"), P("soft.tq"));
  for (const char* same : {"hard.tq", "soft.tq", "a.txt"}) {
    r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S(same), "show=none"});
    EXPECT_EQ(r.status, 85) << same;
    EXPECT_EQ(ReadFile(P("a.txt")), "a\n");
  }
  r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=[zzz]=y", "show=none"});
  EXPECT_EQ(r.status, 92);
  r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=[]", "show=none"});
  EXPECT_EQ(r.status, 0x27);
  r = Run({"compress", "torqin=" + S("a.txt"), "nosuchkeyword=1"});
  EXPECT_NE(r.status, 0);
}

TEST_F(Torq4, DamagedContainersFailWithoutHarm) {
  std::string text;
  for (int i = 0; i < 400; ++i) text += "record number " + std::to_string(i) + " of the damaged container test\n";
  WriteFile(P("a.txt"), text);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "options=nopath", "show=none"}).status, 0);
  const std::string good = ReadFile(P("c.tq"));
  std::vector<std::string> damaged;
  for (std::size_t cut : {good.size() / 2, good.size() - 1, std::size_t{10}}) damaged.push_back(good.substr(0, cut));
  for (std::size_t at : {std::size_t{5}, good.size() / 3, good.size() - 20}) {
    std::string flipped = good;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
    damaged.push_back(flipped);
  }
  for (const std::string& bytes : damaged) {
    WriteFile(P("bad.tq"), bytes);
    fs::remove_all(P("out"));
    const RunResult r = Run({"decompress", "torqfile=" + S("bad.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"});
    EXPECT_LT(r.status, 256) << r.err;
    if (r.status != 0) {
      EXPECT_FALSE(fs::exists(P("out/a.txt")) && ReadFile(P("out/a.txt")) != text);
    }
  }
}

TEST_F(Torq4, HostileStoredNamesStayInsideTheFolder) {
  trqtest::Layout layout;
  std::vector<trqtest::Member> members;
  for (const char* name : {"/abs/x.txt", "../up.txt", "C:\\dir\\win.txt", "a/..", "fine.txt"}) {
    trqtest::Member m;
    m.name = name;
    m.recordFormat = 3;
    m.recordLength = 0;
    m.systemHeader = {3, 0x0A};
    m.records = {{'o', 'k'}};
    members.push_back(m);
  }
  ASSERT_EQ(trqtest::WriteContainer(S("h.tq"), layout, members).rc, 0);
  fs::create_directories(P("work"));
  for (const char* pattern : {"[*]", "[]", "[#]"}) {
    fs::remove_all(P("work/out"));
    const RunResult r = Run({"decompress", "torqfile=" + S("h.tq"), std::string("torqout=") + pattern,
                             "outpath=" + S("work/out"), "show=none"});
    EXPECT_TRUE(r.status == 0 || r.status == 0x27) << pattern << " " << r.status << "\n" << r.err;
    EXPECT_FALSE(fs::exists(P("up.txt")) || fs::exists(P("work/up.txt")) || fs::exists("/abs/x.txt")) << pattern;
    EXPECT_EQ(ReadFile(P("work/out/fine.txt")).empty() && std::string(pattern) != "[#]", false) << pattern;
  }
  fs::remove_all(P("work/out"));
  const RunResult r = Run({"decompress", "torqfile=" + S("h.tq"), "torqout=[*]", "outpath=" + S("work/out"), "show=none"});
  EXPECT_EQ(r.status, 0x27) << r.err;
  EXPECT_EQ(ReadFile(P("work/out/abs/x.txt")), "ok\n");
  EXPECT_EQ(ReadFile(P("work/out/dir/win.txt")), "ok\n");
  EXPECT_EQ(ReadFile(P("work/out/fine.txt")), "ok\n");
}

TEST_F(Torq4, DeleteRemovesExactlyTheProcessedFiles) {
  const std::string odd = "name with blanks;$(touch x)&.txt";
  WriteFile(P(odd), "odd\n");
  WriteFile(P("keep.dat"), "keep\n");
  RunResult r = Run({"compress", "torqin=" + S("*.txt"), "torqfile=" + S("c.tq"), "indelete", "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(P(odd)));
  EXPECT_TRUE(fs::exists(P("keep.dat")));
  EXPECT_FALSE(fs::exists(P("x")));
  WriteFile(P("b.txt"), "b\n");
  r = Run({"compress", "torqin=(" + S("b.txt") + "," + S("missing.txt") + ")", "torqfile=" + S("d.tq"), "indelete",
           "show=none"});
  EXPECT_EQ(r.status, 31);
  EXPECT_TRUE(fs::exists(P("b.txt")));
}

TEST_F(Torq4, ReturnCodeGoesWholeToTheDescriptor) {
  // A descriptor of the test's own, left open across the start as a launcher's pipe is.
  const auto codeOf = [&](const std::vector<std::string>& args) {
    const int fd = ::open(S("rc.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GT(fd, STDERR_FILENO);
    const RunResult r = Run(args, "", {"TORQ_RC_FD=" + std::to_string(fd)});
    ::close(fd);
    return std::make_pair(r.status, ReadFile(P("rc.txt")));
  };
  EXPECT_EQ(codeOf({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "show=none"}),
            std::make_pair(31, std::string("31")));
  WriteFile(P("a.txt"), "a\n");
  EXPECT_EQ(codeOf({"compress", "torqin=" + S("a.txt"), "torqfile=[]", "show=none"}),
            std::make_pair(0x27, std::to_string(static_cast<std::int32_t>(0xF0000027u))));
}

TEST_F(Torq4, ReturnCodeNeverGoesToAStandardStream) {
  // A restore to standard output: the code must not join the restored bytes.
  WriteFile(P("a.txt"), "a\nb\n");
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("a.tq"), "show=none"}).status, 0);
  for (const char* fd : {"0", "1", "2"}) {
    const RunResult r = Run({"decompress", "torqfile=" + S("a.tq"), "torqout=", "show=none"}, S("a.txt"),
                            {std::string("TORQ_RC_FD=") + fd});
    EXPECT_EQ(r.status, 0) << fd << r.err;
    EXPECT_EQ(r.out, "a\nb\n") << fd;
    EXPECT_EQ(r.err, "") << fd;
    EXPECT_EQ(ReadFile(P("a.txt")), "a\nb\n") << fd;
  }
}

TEST_F(Torq4, DecompressDeletesTheContainersItRead) {
  WriteFile(P("a.txt"), "a\n");
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c 1.tq"), "show=none"}).status, 0);
  WriteFile(P("other.tq"), "not a container");
  RunResult r = Run({"decompress", "torqfile=" + S("other.tq"), "torqout=" + S("x.txt"), "delete", "show=none"});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(fs::exists(P("other.tq")));
  r = Run({"decompress", "torqfile=" + S("c 1.tq"), "torqout=" + S("b.txt"), "delete", "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("b.txt")), "a\n");
  EXPECT_FALSE(fs::exists(P("c 1.tq")));
}

TEST_F(Torq4, ListAndRegistration) {
  RunResult r = Run({"list"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Default Code Table ascii_ebcic:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("decompress\n"), std::string::npos) << r.err;
  r = Run({"/REG"}, "", {"XDG_CONFIG_HOME=" + S("config"), "PATH=/usr/bin:/bin"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(P("config")));
}

TEST_F(Torq4, VersionLineWithoutArguments) {
  const RunResult r = Run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("TORQ(R) Version ", 0), 0u) << r.err;
}

}  // namespace

namespace {

class Torq4Exit : public Torq4 {
 protected:
  std::string Module() const { return fs::absolute("torqkme_test.so").string(); }
  std::string Log() const { return S("kme.log"); }
  std::vector<std::string> Env() const { return {"TORQKME_LOG=" + Log()}; }
};

TEST_F(Torq4Exit, KeyDataBecomesEveryMembersUserHeader) {
  WriteFile(P("a.txt"), "a\n");
  WriteFile(P("b.txt"), "b\n");
  RunResult r = Run({"compress", "torqin=" + S("*.txt"), "torqfile=" + S("c.tq"), "kmdll=" + Module(),
                     "kmparam=key=KEY-1;msg=128", "show=none"},
                    "", Env());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(std::string(128, 'M') + "\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(std::string(129, 'M')), std::string::npos);
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + S("out"), "kmdll=" + Module(),
           "kmparam=x", "show=none"},
          "", Env());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("out/a.txt")), "a\n");
  EXPECT_EQ(ReadFile(Log()), "-1\n1\n-1\n0 KEY-1\n");
  fs::remove_all(P("out"));
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("out/b.txt")), "b\n");
}

TEST_F(Torq4Exit, FailuresOfTheExit) {
  WriteFile(P("a.txt"), "a\n");
  const std::string in = "torqin=" + S("a.txt"), out = "torqfile=" + S("c.tq");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* line;
  };
  const Case cases[] = {
      {{"kmdll=" + S("nothere.dll"), "kmparam=x"}, 40, "TKME DLL: "},
      {{"kmdll=" + Module(), "kmexit=nothere"}, 41, "TKME DLL: "},
      {{"kmdll=" + Module(), "kmparam=rc=5"}, 43, "*ERROR* TORQKMEXIT 5 (0x00000005)"},
      {{"kmdll=" + Module(), "kmparam=keylen=513"}, 43, "key length 513"},
      {{"kmdll=" + Module(), "kmparam=keylen=-1"}, 43, "key length -1"},
      {{"kmdll=" + Module(), "kmparam=pwdlen=67"}, 43, "password length 67"},
      {{"kmdll=" + Module(), "kmparam=msglen=129"}, 43, "message length 129"},
      {{"kmdll=" + Module(), "kmparam=x", "password=secret", "mode=adc"}, 348 & 0xFF, "Password + KmExit"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"compress", in, out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = Run(args, "", Env());
    EXPECT_EQ(r.status, c.status) << c.line << "\n" << r.err;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err;
  }
}

TEST_F(Torq4Exit, DefaultModuleIsLookedForBesideTheProgram) {
  fs::create_directories(P("bin"));
  for (const char* file : {"torq4", "torqmsg.dat", "torqdef.dat"}) fs::copy_file(file, P("bin") / file);
  fs::copy_file("torqkme_test.so", P("bin/torqkme.so"));
  program_ = P("bin/torq4");
  WriteFile(P("a.txt"), "a\n");
  const RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "kmparam=key=K", "show=none"},
                          "", Env());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(Log()), "-1\n1\n");
}

}  // namespace

namespace {

TEST_F(Torq4Members, AttributeListingWritesNothing) {
  const RunResult r = Run({"decompress", "torqfile=" + S("m.tq"), "torqout=[]", "outpath=" + S("out"), "show=attributes"});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const char* name : {"a.txt", "b.txt", "c.dat"}) {
    EXPECT_NE(r.err.find(std::string("Source file name: ") + name + "\n"), std::string::npos) << r.err;
  }
  EXPECT_NE(r.err.find("Member #0003"), std::string::npos) << r.err;
  EXPECT_TRUE(Outputs().empty());
}

}  // namespace
