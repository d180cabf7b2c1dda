// What the parameters ask for is done whole or refused before anything is written: encryption
// is never dropped, names and paths are never cut, a code-table file must be there, and no
// message shows a password or key.
#include <set>

#include "torq4_runner.h"

namespace torq4test {
namespace {

class Torq4Guards : public Torq4 {
 protected:
  // Everything under the run's folder, so a refused run can be shown to have left nothing.
  std::set<std::string> Tree() const {
    std::set<std::string> all;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) all.insert(entry.path().string());
    return all;
  }
  // An absolute path of exactly `length` characters below the run's folder, in components
  // a file system accepts.
  std::string PathOfLength(std::size_t length) const {
    std::string path = dir_.string() + "/long";
    while (path.size() < length) {
      const std::size_t left = length - path.size() - 1;
      // The last component keeps a few characters, so a name cut by one is still a name.
      path += "/" + std::string(left <= 200 ? left : std::min<std::size_t>(200, left - 10), 'p');
    }
    return path;
  }
  const std::string text_ = "alpha\nbeta\ngamma\n";
};

// Each way of naming a password source or a cipher that leaves the compress run without a
// password writes nothing (no container, no temporary file): a source that yields nothing ends
// it with 90 and names the source, a cipher with no source at all with 29.
TEST_F(Torq4Guards, CompressAskedToEncryptWithoutPasswordWritesNothing) {
  WriteFile(P("a.txt"), text_);
  WriteFile(P("pw"), "secret\n");           // a password file without a password= line
  WriteFile(P("pw-empty"), "password=\n");
  WriteFile(P("pw-aes"), "cryptmode=aes\n");
  const std::string missing = "29: Password wrong or missing";
  const struct {
    std::vector<std::string> items;
    int status;
    std::string message;
  } cases[] = {
      {{"pafile=" + S("pw")}, 90, "pafile=" + S("pw")},
      {{"pafile=" + S("pw-empty")}, 90, "pafile=" + S("pw-empty")},
      {{"pafile=" + S("pw-aes")}, 90, "pafile=" + S("pw-aes")},
      {{"pafile="}, 90, "pafile="},
      {{"password="}, 90, "password="},
      {{"paxword="}, 90, "paxword="},
      {{"paebcdic="}, 90, "paebcdic="},
      {{"cryptkey="}, 90, "cryptkey="},
      {{"cryptmode=aes", "pafile=" + S("pw")}, 90, "pafile=" + S("pw")},
      {{"cryptmode=torq"}, 29, missing},
      {{"cryptmode=aes"}, 29, missing},
      {{"aes"}, 29, missing},
      {{"mode=aes"}, 29, missing},
      {{"password=x", "cryptmode=none", "cryptmode=torq"}, 29, missing},
  };
  const std::set<std::string> before = Tree();
  for (const auto& c : cases) {
    std::vector<std::string> args{"compress", "torqin=" + S("a.txt"), "torqfile=" + S("a.tq"), "mode=adc"};
    args.insert(args.end(), c.items.begin(), c.items.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, c.status) << c.items.back() << "\n" << r.err;
    const std::string message = c.status == 90 ? "Invalid qualifier value: " + c.message + ": no password" : c.message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("secret"), std::string::npos);
    EXPECT_EQ(Tree(), before) << c.items.back();
  }
}

// A source that yields a password still encrypts, an explicit cryptmode=none after it still
// stores plainly, and decompress keeps its codes.
TEST_F(Torq4Guards, PasswordSourcesThatYieldStillWork) {
  WriteFile(P("a.txt"), text_);
  WriteFile(P("pw"), "password=Secret-2\n");
  WriteFile(P("pw-none"), "password=Secret-2\ncryptmode=none\n");
  RunResult r = Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("e.tq"), "mode=adc", "pafile=" + S("pw"), "show=none"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run({"decompress", "torqfile=" + S("e.tq"), "torqout=" + S("e.txt"), "show=none"});
  EXPECT_EQ(r.status, 29) << r.err;
  r = Run({"decompress", "torqfile=" + S("e.tq"), "torqout=" + S("e.txt"), "pafile=" + S("pw"), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("e.txt")), text_);

  for (const std::vector<std::string>& plain :
       {std::vector<std::string>{"pafile=" + S("pw-none")}, {"cryptkey=Secret-2", "cryptmode=none"}}) {
    std::vector<std::string> args{"compress", "torqin=" + S("a.txt"), "torqfile=" + S("p.tq"), "mode=adc", "show=none"};
    args.insert(args.end(), plain.begin(), plain.end());
    r = Run(args);
    ASSERT_EQ(r.status, 0) << plain.back() << "\n" << r.err;
    fs::remove(P("p.txt"));
    r = Run({"decompress", "torqfile=" + S("p.tq"), "torqout=" + S("p.txt"), "show=none"});
    EXPECT_EQ(r.status, 0) << plain.back() << "\n" << r.err;
    EXPECT_EQ(ReadFile(P("p.txt")), text_);
  }

  // A password source that yields nothing is no reason to refuse reading a plain container.
  fs::remove(P("p.txt"));
  r = Run({"decompress", "torqfile=" + S("p.tq"), "torqout=" + S("p.txt"), "paxword=", "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("p.txt")), text_);
}

// An output path whose full form is longer than its slot holds, and a name longer than the run
// carries, are refused with 90 before anything is created; they are never cut to a shorter
// path, which may well exist.
TEST_F(Torq4Guards, LongNamesAreRefusedNotCut) {
  WriteFile(P("a.txt"), text_);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  const std::set<std::string> before = Tree();
  for (std::size_t length = 256; length <= 259; ++length) {
    // Given relative to the working folder, so only the full path is too long.
    const std::string relative = PathOfLength(length).substr(dir_.string().size() + 1);
    const RunResult r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=out.txt", "outpath=" + relative, "show=none"});
    EXPECT_EQ(r.status, 90) << length << "\n" << r.err;
    EXPECT_NE(r.err.find("Invalid qualifier value: outpath=" + relative.substr(0, 100)), std::string::npos) << r.err;
    EXPECT_EQ(Tree(), before) << length;
  }

  const std::string name255 = PathOfLength(255);
  const std::string cut = name255.substr(0, 254);
  WriteFile(cut, "untouched\n");  // what a cut name would find
  const std::set<std::string> withCut = Tree();
  const std::vector<std::vector<std::string>> refused = {
      {"compress", "torqin=" + S("a.txt"), "torqfile=" + name255},
      {"compress", "torqin=" + name255, "torqfile=" + S("d.tq")},
      {"compress", "torqin=(" + S("a.txt") + "," + name255 + ")", "torqfile=" + S("d.tq")},
      {"decompress", "torqfile=" + S("c.tq"), "torqout=" + name255},
      {"decompress", "torqfile=(" + S("c.tq") + "," + name255 + ")", "torqout=" + S("e.txt")},
  };
  for (const auto& args : refused) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 90) << args[1] << " " << args[2] << "\n" << r.err;
    EXPECT_NE(r.err.find("Invalid qualifier value: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(name255.substr(0, 100)), std::string::npos) << r.err;
    EXPECT_EQ(Tree(), withCut) << args[1] << " " << args[2];
    EXPECT_EQ(ReadFile(cut), "untouched\n");
  }
}

// An output path of exactly 255 characters is taken whole, and a long one that leaves room for
// the member's name is used as it was given.
TEST_F(Torq4Guards, OutputPathUpToItsSlotIsUsedWhole) {
  WriteFile(P("a.txt"), text_);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "options=nopath", "show=none"}).status, 0);
  RunResult r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=", "outpath=" + PathOfLength(255), "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, text_);
  EXPECT_TRUE(fs::is_directory(PathOfLength(255)));

  const std::string path = PathOfLength(254 - std::string("/a.txt").size());
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + path, "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(path + "/a.txt"), text_);
}

// A code-table file must be there when the parameters are read, on either road and whether a
// translation uses it or not: otherwise the system's text and 90, before anything is written.
// A file that is there but cannot be loaded matters only to a translation (112).
TEST_F(Torq4Guards, CodeTableMustNameAFile) {
  WriteFile(P("a.txt"), text_);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  WriteFile(P("bad.tab"), "short");
  const std::set<std::string> before = Tree();
  const struct {
    std::string item;
    const char* system;
  } refused[] = {{"codetable=" + S("missing.tab"), "No such file or directory"},
                 {"code_table=" + dir_.string(), "Is a directory"},
                 {"cod=" + S("bad.tab") + "/x", "Not a directory"}};
  for (const auto& c : refused) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"compress", "torqin=" + S("a.txt"), "torqfile=" + S("t.tq"), c.item},
          {"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("t.txt"), c.item},
          {"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("t.txt"), c.item, "translate=e"}}) {
      const RunResult r = Run(args);
      EXPECT_EQ(r.status, 90) << c.item << "\n" << r.err;
      EXPECT_NE(r.err.find(c.system), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("90: Invalid qualifier value: " + c.item), std::string::npos) << r.err;
      EXPECT_EQ(Tree(), before) << c.item;
    }
  }

  const std::string bad = "codetable=" + S("bad.tab");
  RunResult r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("back.txt"), bad, "show=none"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(P("back.txt")), text_);
  fs::remove(P("back.txt"));
  r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=" + S("t.txt"), bad, "translate=e", "show=none"});
  EXPECT_EQ(r.status, 112) << r.err;
  EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
  EXPECT_EQ(Tree(), before);
}

// No message and no listing line shows a character of a password or key, whichever keyword
// form carries it: the rest of the parameters quoted after an unknown item, a bad line of a
// password file, the parameter line of the title listing.
TEST_F(Torq4Guards, SecretsNeverShow) {
  WriteFile(P("a.txt"), text_);
  WriteFile(P("pw"), "pahexword=546F705365637265Z9\n");
  const struct {
    std::vector<std::string> items;
    int status;
    std::string shown;
  } cases[] = {
      {{"bogus=1", "cryptkey=TopSecret99"}, 81, "81: Unknown argument or qualifier: bogus=1,cryptkey=*,mode=adc"},
      {{"bogus=1", "PAX=546F705365637265"}, 81, "81: Unknown argument or qualifier: bogus=1,PAX=*,mode=adc"},
      {{"pafile=" + S("pw")}, 82, "82: Invalid argument value: pahexword=*"},
      {{"cryptkey=(TopSecret99)", "show=all"}, 0, "Parameter:compress torqin=" + S("a.txt") + " torqfile=" + S("e.tq") + " cryptkey=* show=all mode=adc\n"},
      {{"paebcdic=TopSecret99", "password=TopSecret99", "show=all"}, 0, " paebcdic=* password=* show=all mode=adc\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"compress", "torqin=" + S("a.txt"), "torqfile=" + S("e.tq")};
    args.insert(args.end(), c.items.begin(), c.items.end());
    args.push_back("mode=adc");
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, c.status) << c.items[0] << "\n" << r.err;
    EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
    for (const char* secret : {"TopS", "ecret99", "546F", "t)"}) {
      EXPECT_EQ(r.err.find(secret), std::string::npos) << secret << "\n" << r.err;
      EXPECT_EQ(r.out.find(secret), std::string::npos) << secret;
    }
  }
}

// An output path that names something other than a folder is refused with the system's text
// (never the text of "no error") and 90, before anything is written.
TEST_F(Torq4Guards, OutputPathThatIsNoFolder) {
  WriteFile(P("a.txt"), text_);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  const std::set<std::string> before = Tree();
  for (const std::string& path : {S("a.txt"), S("a.txt") + "/sub"}) {
    const RunResult r = Run({"decompress", "torqfile=" + S("c.tq"), "torqout=[]", "outpath=" + path});
    EXPECT_EQ(r.status, 90) << r.err;
    EXPECT_NE(r.err.find("Not a directory"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("90: Invalid qualifier value: " + path), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Success"), std::string::npos) << r.err;
    EXPECT_EQ(Tree(), before) << path;
  }
}

// An output name joined from an output path and a member's or a typed name is refused whole
// when its full form is longer than a name holds: 90 with the name, nothing written. So is a
// container name a compress pattern joins to the output path.
TEST_F(Torq4Guards, LongJoinedOutputNameIsRefused) {
  WriteFile(P("a.txt"), text_);
  ASSERT_EQ(Run({"compress", "torqin=" + S("a.txt"), "torqfile=" + S("c.tq"), "show=none"}).status, 0);
  // 250 characters: the output path fits, no name under it does.
  const std::string path = PathOfLength(250);
  fs::create_directories(path);
  const std::set<std::string> before = Tree();
  const std::string restore = "decompress", container = "torqfile=" + S("c.tq");
  const struct {
    std::vector<std::string> args;
    std::string name;  // the full name refused
  } cases[] = {
      {{restore, container, "torqout=[]"}, path + "/a.txt"},
      {{restore, container, "torqout=[*]"}, path + S("a.txt")},
      {{restore, container, "torqout=[#]"}, path + "/Member#0001"},
      {{restore, container, "torqout=[#1=copy.txt]"}, path + "/copy.txt"},
      {{restore, container, "torqout=plain.txt"}, path + "/plain.txt"},
      {{"compress", "torqin=" + S("a.txt"), "torqfile=[.txt]=.tq"}, path + S("a.tq")},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"outpath=" + path, "show=none"});
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 90) << c.args[2] << "\n" << r.err;
    EXPECT_NE(r.err.find("File name too long"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("90: Invalid qualifier value: " + c.name + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("No substitution"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Invalid qualifier value: \n"), std::string::npos) << r.err;  // said once, whole
    EXPECT_EQ(Tree(), before) << c.args[2];
  }
}

}  // namespace
}  // namespace torq4test
