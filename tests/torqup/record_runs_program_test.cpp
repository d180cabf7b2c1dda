// torq4 end to end on the roads where records move in runs: files of many 64 KB pieces, lines
// with CR LF and lone CRs, a last line without delimiter, a short last card, pipes, and an old
// output replaced only by a complete new one.
#include <random>

#include "torq4_runner.h"

using namespace torq4test;

namespace {

// Lines of 0 to 150 bytes; `lone` puts lone CRs inside them.
std::string Lines(int count, const std::string& delimiter, bool lone, unsigned seed) {
  std::mt19937 random(seed);
  const std::string letters = lone ? "abc\rxyz" : "abcdxyz";
  std::string text;
  for (int i = 0; i < count; ++i) {
    const int n = static_cast<int>(random() % 151);
    for (int k = 0; k < n; ++k) text += letters[random() % letters.size()];
    text += delimiter;
  }
  return text;
}

std::string Bytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string b(size, '\0');
  for (char& c : b) c = static_cast<char>(random());
  return b;
}

}  // namespace

TEST_F(Torq4, TextInRunsRestoresAcrossPieces) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> args;  // compress and decompress
    std::string restored;  // the text written back
    bool warns;            // message 105: the last line had no delimiter
  };
  const std::string lf = Lines(6000, "\n", false, 1), crlf = Lines(6000, "\r\n", true, 2);
  const std::vector<Case> cases = {
      {"LF", lf, {}, lf, false},
      {"LF, last line without delimiter", lf + "end", {}, lf + "end\n", true},
      {"CR LF with lone CRs", crlf, {"indelim=0d0a", "outdelim=0d0a"}, crlf, false},
      {"CR LF ending in a lone CR", crlf + "x\r", {"indelim=0d0a", "outdelim=0d0a"}, crlf + "x\r\r\n", true},
  };
  for (const Case& c : cases) {
    WriteFile(P("in.txt"), c.text);
    std::vector<std::string> args{"compress", "torqin=" + S("in.txt"), "torqfile=" + S("c.tq")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    EXPECT_EQ(r.err.find("105: No delimiter at end of file") != std::string::npos, c.warns) << c.what << "\n" << r.err;
    args = {"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("back.txt"), "show=none"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    r = Run(args);
    EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    EXPECT_TRUE(ReadFile(P("back.txt")) == c.restored) << c.what;
  }
}

// Cards in runs: a short last card ends the compress run with 111 as the record-by-record
// road does; written back as longer or shorter cards, every card is padded (4) or cut (111).
TEST_F(Torq4, CardsInRunsKeepTheirCodes) {
  const std::string cards = Bytes(80 * 3000, 3);
  WriteFile(P("cards"), cards);
  WriteFile(P("short"), cards + "seventeen bytes..");
  const std::vector<std::string> fix{"informat=fix", "inrecsize=80", "show=none"};
  auto compress = [&](const std::string& in) {
    std::vector<std::string> args{"compress", "torqin=" + S(in), "torqfile=" + S(in + ".tq")};
    args.insert(args.end(), fix.begin(), fix.end());
    return Run(args);
  };
  EXPECT_EQ(compress("short").status, 111);
  ASSERT_EQ(compress("cards").status, 0);
  RunResult r = Run({"decompress", "torqfile=" + S("cards.tq"), "torqout=" + S("back"), "outformat=fix",
                     "outrecsize=80", "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(P("back")) == cards);
  r = Run({"decompress", "torqfile=" + S("cards.tq"), "torqout=" + S("wide"), "outformat=fix", "outrecsize=100",
           "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("4: Decompressed record(s) extended"), std::string::npos) << r.err;
  const std::string wide = ReadFile(P("wide"));
  ASSERT_EQ(wide.size(), 100u * 3000);
  EXPECT_EQ(wide.substr(100 * 2999, 80), cards.substr(80 * 2999));
  EXPECT_EQ(wide.substr(100 * 2999 + 80), std::string(20, ' '));
  r = Run({"decompress", "torqfile=" + S("cards.tq"), "torqout=" + S("narrow"), "outformat=fix", "outrecsize=60",
           "show=none"});
  EXPECT_EQ(r.status, 72) << r.err;  // a record cut short without `cut`
  EXPECT_FALSE(fs::exists(P("narrow")));
}

TEST_F(Torq4, PipedTextInRuns) {
  const std::string text = Lines(5000, "\n", false, 4);
  WriteFile(P("in.txt"), text);
  RunResult r = Run({"compress", "torqin=", "torqfile=" + S("c.tq"), "show=none"}, S("in.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"decompress", "torqfile=", "torqout=", "show=none"}, S("c.tq"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out == text);
}

// The old output stays whole until the new one is complete, then the new one takes its name
// and nothing else is left in the folder.
TEST_F(Torq4, OldOutputIsReplacedOnlyByACompleteNewOne) {
  const std::string text = Lines(4000, "\n", false, 5);
  WriteFile(P("in.txt"), text);
  ASSERT_EQ(Run({"compress", "torqin=" + S("in.txt"), "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  const std::string old = Bytes(3 << 20, 6);
  WriteFile(P("out/back.txt"), old);
  const std::string good = ReadFile(P("c.tq"));
  WriteFile(P("bad.tq"), good.substr(0, good.size() - 100));
  RunResult r = Run({"decompress", "torqfile=" + S("bad.tq"), "torqout=" + S("out/back.txt"), "show=none"});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(ReadFile(P("out/back.txt")) == old);
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("out/back.txt"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(P("out/back.txt")) == text);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(P("out"))) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"back.txt"});
}
