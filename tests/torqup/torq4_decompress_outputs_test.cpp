// What a decompress leaves behind: a member's output takes its name only when the member was
// read whole, outputs of one name are replaced rather than mixed, and a damaged member header
// cannot make the run allocate without bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "torqup/torq4_runner.h"

namespace fs = std::filesystem;
using torq4test::ReadFile;
using torq4test::RunResult;
using torq4test::Torq4;
using torq4test::WriteFile;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

const fs::path kSourceDir = fs::path(__FILE__).parent_path();

// Lines of varied text, enough for many container blocks.
std::string Lines(const std::string& tag, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += tag + " line " + std::to_string(i * 7919 % 100003) + " of the member\n";
  return text;
}

class Torq4Outputs : public Torq4 {
 protected:
  // Runs torq4 with its address space limited to `kilobytes`.
  RunResult RunLimited(const std::string& kilobytes, const std::vector<std::string>& args) {
    const fs::path torq4 = program_;
    std::vector<std::string> all{"-c", "ulimit -v " + kilobytes + " && exec \"$0\" \"$@\"",
                                 torq4.string()};
    all.insert(all.end(), args.begin(), args.end());
    program_ = "/bin/sh";
    RunResult r = Run(all);
    program_ = torq4;
    return r;
  }

  // The regular files in `folder`, by name.
  std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    if (!fs::exists(P(folder))) return names;
    for (const auto& e : fs::directory_iterator(P(folder))) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Cuts a container inside its last member: a partial block at the end.
  void CutNearEnd(const std::string& name) {
    const std::string bytes = ReadFile(P(name));
    ASSERT_GT(bytes.size(), 4000u);
    WriteFile(P(name), bytes.substr(0, bytes.size() - 1500 + 7));
  }
};

// The fuzz seed's first byte picks the output pattern ([]); the rest is a container whose
// member header gives a block size of 0x80000004 (header bytes 12-15; record length at 8-11).
TEST_F(Torq4Outputs, MemberHeaderSizesBeyondAnyRecordFormatAreRefused) {
  const std::string seed = ReadFile(kSourceDir / "../../fuzz/seeds/fuzz_torq4_decompress/member_block_size_2gb");
  ASSERT_EQ(seed.size(), 540u);
  const std::string container = seed.substr(1);
  constexpr std::size_t kRecordLength = 14, kBlockSize = 18;  // offsets in the container
  ASSERT_EQ(container.substr(kBlockSize, 4), std::string("\x80\x00\x00\x04", 4));
  struct Case {
    const char* label;
    std::string recordLength, blockSize;
    int status;
  };
  const Case cases[] = {
      {"block size 2,147,483,644", std::string("\0\0\0\0", 4), std::string("\x80\x00\x00\x04", 4), 51},
      {"block size 65,537", std::string("\0\0\0\0", 4), std::string("\x00\x01\x00\x01", 4), 51},
      {"record length 2,147,483,644", std::string("\x7F\xFF\xFF\xFC", 4), std::string("\0\0\0\0", 4), 51},
      {"record length -65,537", std::string("\xFF\xFE\xFF\xFF", 4), std::string("\0\0\0\0", 4), 51},
      // Within bounds the member goes on to the damage further on.
      {"both 65,536", std::string("\x00\x01\x00\x00", 4), std::string("\x00\x01\x00\x00", 4), 11},
  };
  for (const Case& c : cases) {
    std::string bytes = container;
    bytes.replace(kRecordLength, 4, c.recordLength);
    bytes.replace(kBlockSize, 4, c.blockSize);
    WriteFile(P("big.tq"), bytes);
    fs::remove_all(P("out"));
    const RunResult r = Run({"decompress", "torqfile=" + S("big.tq"), "torqout=[]", "outpath=" + S("out")});
    EXPECT_EQ(r.status, c.status) << c.label << "\n" << r.err;
    if (c.status == 51) {
      EXPECT_NE(r.err.find("*ERROR* 0xA0000033"), std::string::npos) << c.label << "\n" << r.err;
    }
    EXPECT_TRUE(Files("out").empty()) << c.label;
  }
}

// Refused before anything is sized by it: the run gets by in 32 MB of address space. (The
// sanitizers reserve terabytes of address space, so under them the runs go without the limit
// and show the refusal only.)
TEST_F(Torq4Outputs, MemberHeaderWith2GbBlockSizeRunsInAFewMegabytes) {
  const std::string limit = kAddressSanitizer ? "unlimited" : "32768";
  const std::string seed = ReadFile(kSourceDir / "../../fuzz/seeds/fuzz_torq4_decompress/member_block_size_2gb");
  WriteFile(P("big.tq"), seed.substr(1));
  const RunResult r = RunLimited(limit, {"decompress", "torqfile=" + S("big.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"});
  EXPECT_EQ(r.status, 51) << r.err;
  EXPECT_TRUE(Files("out").empty());
  // The same limit leaves room for an ordinary run.
  WriteFile(P("a.txt"), Lines("a", 3000));
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("a.tq"), "mode=adc", "show=none"}).status, 0);
  const RunResult ok = RunLimited(limit, {"decompress", "torqfile=" + S("a.tq"), "torqout=" + S("back.txt"), "show=none"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ReadFile(P("back.txt")), Lines("a", 3000));
}

// An AES container (secured members) whose first member's first matrix record had its byte B1
// changed, which the MACs do not cover: the member ends before its member trailer.
TEST_F(Torq4Outputs, SecuredMemberEndingBeforeItsTrailerLeavesNoFile) {
  fs::copy_file(kSourceDir / "data/aes_member_matrix_header_changed.tq", P("t.tq"));
  const RunResult r = Run({"decompress", "torqfile=" + S("t.tq"), "torqout=[]", "outpath=" + S("o"), "cryptkey=secret", "show=none"});
  EXPECT_EQ(r.status, 11) << r.err;
  EXPECT_TRUE(Files("o").empty());
  const RunResult plain = Run({"decompress", "torqfile=" + S("t.tq"), "torqout=" + S("all.txt"), "cryptkey=secret", "show=none"});
  EXPECT_EQ(plain.status, 11) << plain.err;
  EXPECT_FALSE(fs::exists(P("all.txt")));
}

// Secured members that end with their trailers still restore, one after another.
TEST_F(Torq4Outputs, SecuredMembersRestoreWhole) {
  WriteFile(P("in/a.txt"), Lines("a", 2000));
  WriteFile(P("in/b.txt"), Lines("b", 10));
  WriteFile(P("in/c.txt"), "");
  struct Case {
    const char* label;
    std::vector<std::string> compress, decompress;
  };
  const Case cases[] = {
      {"aes adc", {"cryptkey=secret", "mode=adc"}, {"cryptkey=secret"}},
      {"aes ndc", {"cryptkey=secret", "mode=ndc", "secureinfo=yes"}, {"cryptkey=secret"}},
      {"trailers only", {"secureinfo=yes", "mode=adc"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"compress", "torqin=" + S("in/*"), "torqfile=" + S("s.tq"), "options=nopath", "show=none"};
    args.insert(args.end(), c.compress.begin(), c.compress.end());
    ASSERT_EQ(Run(args).status, 0) << c.label;
    fs::remove_all(P("out"));
    args = {"decompress", "torqfile=" + S("s.tq"), "torqout=[]", "outpath=" + S("out"), "show=none"};
    args.insert(args.end(), c.decompress.begin(), c.decompress.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << c.label << "\n" << r.err;
    EXPECT_EQ(ReadFile(P("out/a.txt")), Lines("a", 2000)) << c.label;
    EXPECT_EQ(ReadFile(P("out/b.txt")), Lines("b", 10)) << c.label;
    EXPECT_EQ(Files("out"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"})) << c.label;
  }
}

// Members s1/a.txt and s2/a.txt both restore to a.txt under []: the second replaces the first
// when whole, and leaves the first whole when it fails. With append the second is added to the
// first, and a failed second is cut off again.
TEST_F(Torq4Outputs, MembersOfOneOutputNameNeverLeaveAMixture) {
  const std::string first = Lines("first", 5), second = Lines("second", 20000);
  WriteFile(P("s1/a.txt"), first);
  WriteFile(P("s2/a.txt"), second);
  ASSERT_EQ(Run({"compress", "torqin=(" + S("s1/a.txt") + "," + S("s2/a.txt") + ")", "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  fs::copy_file(P("c.tq"), P("cut.tq"));
  CutNearEnd("cut.tq");
  struct Case {
    const char* container;
    bool append;
    bool fails;
    std::string expected;
  };
  const Case cases[] = {
      {"c.tq", false, false, second},
      {"cut.tq", false, true, first},
      {"c.tq", true, false, first + second},
      {"cut.tq", true, true, first},
  };
  for (const Case& c : cases) {
    const std::string label = std::string(c.container) + (c.append ? " append" : "");
    fs::remove_all(P("out"));
    std::vector<std::string> args{"decompress", "torqfile=" + S(c.container), "torqout=[]", "outpath=" + S("out"), "show=none"};
    if (c.append) args.push_back("append");
    const RunResult r = Run(args);
    if (c.fails) {
      EXPECT_NE(r.status, 0) << label;
    } else {
      EXPECT_EQ(r.status, 0) << label << "\n" << r.err;
    }
    EXPECT_EQ(Files("out"), std::vector<std::string>{"a.txt"}) << label;
    EXPECT_TRUE(ReadFile(P("out/a.txt")) == c.expected) << label << ": " << ReadFile(P("out/a.txt")).size() << " bytes";
  }
  // Appending to a file that stood there before the run: a failed member leaves it as it was.
  WriteFile(P("out/a.txt"), "before\n");
  const RunResult r = Run({"decompress", "torqfile=" + S("cut.tq"), "torqout=[#2]", "outpath=" + S("out"), "append", "show=none"});
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(ReadFile(P("out/a.txt")), "before\n");
}

// One plain output name and several containers: each container opens the output anew and its
// members replace what the one before wrote, unless append is given. A container that fails
// leaves the output of the one before.
TEST_F(Torq4Outputs, PlainOutputFedBySeveralContainers) {
  const std::string a = Lines("a", 10), b = Lines("b", 20000);
  WriteFile(P("a.txt"), a);
  WriteFile(P("b.txt"), b);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("a.tq"), "show=none"}).status, 0);
  ASSERT_EQ(Run({"compress", "torqin=" + S("b.txt"), "torqfile=" + S("b.tq"), "show=none"}).status, 0);
  fs::copy_file(P("b.tq"), P("cut.tq"));
  CutNearEnd("cut.tq");
  struct Case {
    const char* second;
    bool append;
    bool fails;
    std::string expected;
  };
  const Case cases[] = {
      {"b.tq", false, false, b},
      {"b.tq", true, false, a + b},
      {"cut.tq", false, true, a},
      {"cut.tq", true, true, a},
  };
  for (const Case& c : cases) {
    const std::string label = std::string(c.second) + (c.append ? " append" : "");
    fs::remove(P("all.txt"));
    std::vector<std::string> args{"decompress", "torqfile=(" + S("a.tq") + "," + S(c.second) + ")", "torqout=" + S("all.txt"), "show=none"};
    if (c.append) args.push_back("append");
    const RunResult r = Run(args);
    if (c.fails) {
      EXPECT_NE(r.status, 0) << label;
    } else {
      EXPECT_EQ(r.status, 0) << label << "\n" << r.err;
    }
    EXPECT_TRUE(ReadFile(P("all.txt")) == c.expected) << label << ": " << ReadFile(P("all.txt")).size() << " bytes";
  }
  // Every container of a wildcard opens the output anew too.
  fs::create_directories(P("w"));
  fs::copy_file(P("a.tq"), P("w/1.tq"));
  fs::copy_file(P("b.tq"), P("w/2.tq"));
  const RunResult r = Run({"decompress", "torqfile=" + S("w/*.tq"), "torqout=" + S("all.txt"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(P("all.txt")) == b);
  EXPECT_EQ(Files(""), (std::vector<std::string>{"a.tq", "a.txt", "all.txt", "b.tq", "b.txt", "cut.tq", "w"}));
}

}  // namespace
