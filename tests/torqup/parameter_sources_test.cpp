#include <sys/stat.h>

#include <fstream>

#include "parser_test_util.h"
#include "support/crc.h"

namespace torqtest {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  for (const auto& l : lines)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

TEST_F(ParserTest, StringOverFileOverRecord) {
  const std::string file = File("p.par", "mode=cx7,show=none\nmaxrec=7,secureinfo=yes\ncryptkey=defg\n");
  record_.fileinfo = 0;
  EXPECT_EQ(Parse("comp,mode=ndc,secureinfo=no,cryptkey=abc,parfile=" + file), 0) << Lines();
  EXPECT_EQ(ctx_->mode, 4);           // the string's
  EXPECT_EQ(ctx_->show, 0);           // the file's
  EXPECT_EQ(ctx_->maxrecords, 7);
  EXPECT_EQ(ctx_->secureinfo, 1);     // written at once: the last one wins
  EXPECT_EQ(ctx_->passwordLength, 4);
  EXPECT_EQ(ctx_->cryptmode, 32);
  EXPECT_EQ(ctx_->fileinfo, 0);       // the record's 0 is a value
  EXPECT_EQ(ctx_->torqcode, 1);
  EXPECT_EQ(ctx_->maxbuffer, 32768);
  EXPECT_EQ(ctx_->trimchar, 32);
  EXPECT_EQ(ctx_->fillPair[0], 0x20);
  EXPECT_EQ(ctx_->fillPair[1], 255);
  EXPECT_EQ(ctx_->pass, 1);
  EXPECT_EQ(Slot(ctx_->parFileFullName), file);
  // Container attributes the record gives are negative on compress; output ones on decompress.
  EXPECT_EQ(ctx_->kRecform, -1);
  EXPECT_EQ(ctx_->kRecsize, -512);
  EXPECT_EQ(ctx_->iRecform, 3);
  EXPECT_EQ(Parse("decomp,recformat=text"), 0);
  EXPECT_EQ(ctx_->kRecform, 3);
  EXPECT_EQ(ctx_->oRecform, -3);
  EXPECT_EQ(ctx_->attrGiven, ' ' - ' ');
  EXPECT_EQ(Parse("decomp,orecformat=fix,orecsize=80"), 0);
  EXPECT_EQ(ctx_->oRecform, 1);
  EXPECT_EQ(ctx_->attrGiven, 'd');
  EXPECT_EQ(Parse("comp,padchar=2e"), 0);
  EXPECT_EQ(ctx_->fillPair[0], 0x2e);
  EXPECT_EQ(ctx_->fillPair[1], 1);
  record_.padgiven = 0;
  EXPECT_EQ(Parse("comp"), 0);
  EXPECT_EQ(ctx_->fillPair[1], 0);
}

TEST_F(ParserTest, EditedRecordFileTakesEffect) {
  DefStruct edited = FactoryRecord();
  edited.function = 1;
  edited.mode = 1;
  edited.show = 0;
  edited.blkmode = 0;
  edited.input.delim = 0x0100007C;
  edited.general.delim = 0x02000A0D;
  SetSlot(edited.torqin, "in.txt");
  SetSlot(edited.torqfile, "out.tq");
  edited.crc = calc_crc32(&edited, static_cast<std::int32_t>(kDefCrcOffset));
  const std::string path = dir_ + "/torqdef.dat";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(&edited), sizeof edited);
  gDefstr = nullptr;
  ASSERT_EQ(GetDefaults(path.c_str()), 0);
  EXPECT_EQ(Parse("show=all"), 0) << Lines();
  EXPECT_EQ(ctx_->function, 1);
  EXPECT_EQ(ctx_->mode, 1);
  EXPECT_EQ(ctx_->show, 1);
  EXPECT_EQ(ctx_->blkmode, 0);
  EXPECT_EQ(ctx_->iDelim, 0x0100007Cu);
  EXPECT_EQ(ctx_->kDelim, 0x02000A0Du);
  EXPECT_EQ(Slot(ctx_->inputName), "in.txt");
  EXPECT_EQ(ctx_->inputCount, 0);
  EXPECT_EQ(Slot(ctx_->containerName), "out.tq");
  Release();
  rmHeapFree0(&gDefstr);
}

TEST_F(ParserTest, RoadChecks) {
  record_.function = 5;
  EXPECT_EQ(Parse("show=none"), 20);
  EXPECT_TRUE(lines_.empty());
  EXPECT_EQ(Parse("decomp,list,x"), 1);
  EXPECT_EQ(Parse("decomp,kmexit=p,cryptmode=aes,cx8"), 22);
}

// A sealed record with values no parameter can give is refused with the parameter's message,
// unless the parameter itself is given.
TEST_F(ParserTest, RecordValuesOutOfRangeAreRefused) {
  const DefStruct factory = record_;
  struct Case {
    void (*edit)(DefStruct&);
    const char* shown;
    const char* overriding;
  };
  const Case cases[] = {
      {[](DefStruct& r) { r.mode = 99; }, "mode=99 (torqdef.dat)", "mode=cx8"},
      {[](DefStruct& r) { r.maxbuffer = -5; }, "maxbuffer=-5 (torqdef.dat)", "maxbuffer=64"},
      {[](DefStruct& r) { r.maxrecords = -7; }, "maxrecords=-7 (torqdef.dat)", "maxrecords=9"},
      {[](DefStruct& r) { r.torqcode = 9; }, "torqcode=9 (torqdef.dat)", "torqcode=ascii"},
      {[](DefStruct& r) { r.cryptmode = 7; }, "cryptmode=7 (torqdef.dat)", "cryptmode=none"},
      {[](DefStruct& r) { r.show = 5; }, "show=5 (torqdef.dat)", "show=none"},
      {[](DefStruct& r) { r.header = 2; }, "header=2 (torqdef.dat)", "header=yes"},
  };
  for (const Case& c : cases) {
    record_ = factory;
    c.edit(record_);
    EXPECT_EQ(Parse("comp"), 90) << c.shown;
    EXPECT_NE(Lines().find(std::string("Invalid qualifier value: ") + c.shown), std::string::npos) << Lines();
    EXPECT_EQ(Parse(std::string("comp,") + c.overriding), 0) << c.shown << Lines();
  }
}

TEST_F(ParserTest, DefaultsRequests) {
  const struct {
    const char* text;
    std::int32_t rc;
    std::vector<const char*> lines;
  } cases[] = {
      {"defaults=(organisation=relative)", 33, {"organization=relative", "33: Bad file type"}},
      {"defaults=(recformat=var_4b)", 34, {"organization=sequential", "recformat=var_4b", "34: Invalid record format"}},
      {"Defaults=(recformat=fix)", 35, {"recsize=0", "35: Invalid record length"}},
      {"defaults=(orecformat=undefined)", 35, {"outrecsize=0", "35: Invalid record length"}},
      {"defaults=(irecformat=fix,irecsize=0)", 35, {"inrecsize=0", "35: Invalid record length"}},
      {"defaults=(recformat=fix,recsize=10,torqout=NONE)", 0, {}},
      {"defaults=recformat=text", 0, {}},
      {"defaults", 81, {"81: Unknown argument or qualifier: defaults"}},
      {"defaults=(recsize=10", 81, {"81: Unknown argument or qualifier: (recsize=10"}},
      {"defaults=(torqin=(a,b))", 82, {"90: Invalid qualifier value: torqin=(a,b)", "82: Invalid argument value"}},
      {"defaults=(torqfile=/nonexistent/x)", 82, {"82: Invalid argument value: /nonexistent/x"}},
      {"defaults=(torqin=/nonexistent/x)", 2, {"90: Invalid qualifier value: /nonexistent/x", "2: End of File"}},
      {"defaults=(exk10=abc)", 90, {"90: Invalid qualifier value: abc"}},
      {"defaults=(user_io)", 90, {"90: Invalid qualifier value: user_io"}},
      {"comp,defaults=(x)", 81, {"81: Unknown argument or qualifier: defaults"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Parse(c.text), c.rc) << Lines();
    ASSERT_EQ(lines_.size(), c.lines.size()) << Lines();
    for (std::size_t i = 0; i < c.lines.size(); ++i)
      EXPECT_NE(lines_[i].find(c.lines[i]), std::string::npos) << lines_[i];
  }
}

TEST_F(ParserTest, ParameterFileLines) {
  const std::string good = File("good.par",
                                "  ! a comment\n; another\n\n\t mode=ndc  ignored after a blank\r\n"
                                "show=none,maxrec=9 ! comment\nfinfo,\n,nocut\nmaxb=64");
  EXPECT_EQ(Parse("comp,parfile=" + good), 0) << Lines();
  EXPECT_EQ(ctx_->mode, 4);
  EXPECT_EQ(ctx_->show, 0);
  EXPECT_EQ(ctx_->maxrecords, 9);
  EXPECT_EQ(ctx_->fileinfo, 1);
  EXPECT_EQ(ctx_->cut, 0);
  EXPECT_EQ(ctx_->maxbuffer, 65536);

  EXPECT_EQ(Parse("comp,parfile=" + File("empty.par", "show=none,,mode=ndc\n")), 81);
  EXPECT_EQ(Parse("comp,parfile=" + File("long.par", "!" + std::string(300, 'x') + "\n")), 51);
  EXPECT_TRUE(Contains(lines_, "paramfile=")) << Lines();
  EXPECT_EQ(Parse("comp,parfile=" + dir_ + "/missing.par"), 0x0F000002);
  ASSERT_EQ(lines_.size(), 2u);
  EXPECT_NE(lines_[0].find("paramfile=" + dir_ + "/missing.par"), std::string::npos);
  EXPECT_EQ(Parse("comp,parfile=" + File("nul.par", std::string("show=none\0mode=cx8\nmode=ndc\n", 28))), 0);
  EXPECT_EQ(ctx_->mode, 4);
}

TEST_F(ParserTest, ParameterFileBlocksAndSelfInclusion) {
  std::string many;
  for (int i = 0; i < 400; ++i) many += "show=none\n";
  many += "maxrec=3\n";
  EXPECT_EQ(Parse("comp,show=all,parfile=" + File("many.par", many)), 0) << Lines();
  EXPECT_EQ(ctx_->show, 1);
  EXPECT_EQ(ctx_->maxrecords, 3);
  EXPECT_EQ(ctx_->pass, 3);  // three blocks
  // 170 items of 10 bytes stay at the mark; 171 pass it, and the file's end is one more pass.
  std::string at, past;
  for (int i = 0; i < 170; ++i) at += "show=none\n";
  past = at + "show=none\n";
  EXPECT_EQ(Parse("comp,parfile=" + File("at.par", at)), 0);
  EXPECT_EQ(ctx_->pass, 1);
  EXPECT_EQ(Parse("comp,parfile=" + File("past.par", past)), 0);
  EXPECT_EQ(ctx_->pass, 2);

  const std::string self = dir_ + "/self.par";
  File("self.par", "show=none,parfile=" + self + "\n");
  EXPECT_EQ(Parse("comp,parfile=" + self), 90);
  EXPECT_NE(lines_.back().find("90: Invalid qualifier value: " + self), std::string::npos);
}

TEST_F(ParserTest, RecordNamedFileAndPasswordFile) {
  const std::string pw = File("pw.txt", "  ! keys\npassword=abc,d\ncomment=hello\ncompress\npassword=zzz\n");
  SetSlot(record_.paramfile, File("rec.par", "pafile=" + pw + ",mode=cx8,torqin=q\n"));
  EXPECT_EQ(Parse("comp"), 0) << Lines();
  EXPECT_EQ(ctx_->mode, 3);  // the record's, merged before the file is read
  EXPECT_EQ(Slot(ctx_->inputName), "q");
  EXPECT_EQ(ctx_->passwordLength, 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ctx_->password)), "abc,d");
  EXPECT_EQ(ctx_->cryptmode, 16);
  EXPECT_STREQ(ctx_->comment, "hello");
  record_.paramfile[0] = 0;

  EXPECT_EQ(Parse("comp,pafile=" + File("pw2.txt", "cryptmode=aes\npaxword=4142\n")), 0) << Lines();
  EXPECT_EQ(ctx_->cryptmode, 32);
  EXPECT_EQ(ctx_->passwordLength, 2);
  EXPECT_EQ(Parse("comp,pafile=" + File("pw3.txt", "cryptmode=maybe\n")), 90);
  EXPECT_NE(lines_.back().find("90: Invalid qualifier value: cryptmode=maybe"), std::string::npos);
  EXPECT_EQ(Parse("comp,pas=given,pafile=" + File("pw4.txt", "password=other\n")), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ctx_->password)), "given");
  EXPECT_EQ(Parse("comp,pafile=" + dir_ + "/none.txt"), 0x0F000002);
}

// The password file's last word on encryption decides: a password it gives, or an explicit
// cryptmode=none after it; a file that gives neither stops a compress run and names the file.
TEST_F(ParserTest, PasswordFileMustYieldAPasswordOnCompress) {
  const struct {
    const char* content;
    std::int32_t rc;
    std::int32_t passwordLength;
    std::int32_t cryptmode;
  } cases[] = {
      {"password=abc\ncryptmode=none\n", 0, 0, 0},
      {"cryptmode=none\npassword=abc\n", 0, 3, 16},
      {"cryptmode=none\n", 0, 0, 0},
      {"password=abc\ncryptmode=none\ncryptmode=aes\n", 90, 0, 32},
      {"password=\n", 90, 0, 0},
      {"comment=no key here\n", 90, 0, 0},
      {"secret\n", 90, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    const std::string pw = File("pw.txt", c.content);
    EXPECT_EQ(Parse("comp,pafile=" + pw), c.rc) << Lines();
    EXPECT_EQ(ctx_->passwordLength, c.passwordLength);
    if (c.rc == 0) {
      EXPECT_EQ(ctx_->cryptmode, c.cryptmode);
    } else {
      EXPECT_TRUE(Contains(lines_, "90: Invalid qualifier value: pafile=" + pw + ": no password")) << Lines();
    }
    // Decompress keeps its codes: the container says whether a password is needed.
    EXPECT_EQ(Parse("decomp,pafile=" + pw), c.rc == 90 && c.cryptmode != 0 ? 29 : 0) << Lines();
  }
}

// Names the run carries are refused, not cut, when longer than it can hold, from whatever
// source they come; a slot filled with a full name keeps the name as given instead.
TEST_F(ParserTest, OverLongNamesAreRefusedNotCut) {
  const std::string name255(255, 'n');
  SetSlot(record_.torqin, name255);
  EXPECT_EQ(Parse("comp"), 90);
  EXPECT_TRUE(Contains(lines_, "90: Invalid qualifier value: torqin=" + name255)) << Lines();
  EXPECT_EQ(Parse("comp,torqin=a"), 0) << Lines();
  record_.torqin[0] = 0;
  SetSlot(record_.torqout, name255);
  EXPECT_EQ(Parse("decomp"), 90);
  EXPECT_EQ(Parse("comp"), 0);
  record_.torqout[0] = 0;
  EXPECT_EQ(Parse("comp,torqfile=(a," + name255 + ")"), 90);
  EXPECT_TRUE(Contains(lines_, "torqfile=" + name255)) << Lines();
  EXPECT_EQ(Parse("comp,torqfile=(a," + name255.substr(1) + ")"), 0) << Lines();

  // Exit names from the record: at most 8 characters, ending where the length byte says.
  record_.exk20[0] = 8;
  std::memset(record_.exk20 + 1, 'x', sizeof record_.exk20 - 1);
  EXPECT_EQ(Parse("comp"), 0) << Lines();
  EXPECT_STREQ(reinterpret_cast<const char*>(ctx_->exk20 + 1), "xxxxxxxx");
  record_.exk20[0] = 33;
  EXPECT_EQ(Parse("comp"), 90);
  EXPECT_TRUE(Contains(lines_, "exk20=" + std::string(32, 'x') + " (")) << Lines();
  EXPECT_EQ(Parse("comp,exk20=given"), 0) << Lines();
  record_.exk20[0] = 0;

  // A parameter file named relative to the working folder whose full name is 256 characters.
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  std::string relative = std::string(200, 'd');
  ASSERT_EQ(mkdir(relative.c_str(), 0700), 0);
  relative += "/" + std::string(256 - dir_.size() - 1 - relative.size() - 1, 'f');
  File(relative, "show=none\n");
  EXPECT_EQ(Parse("comp,parfile=" + relative), 0) << Lines();
  EXPECT_EQ(Slot(ctx_->parFileFullName), relative);
  ASSERT_EQ(chdir(previous), 0);
}

TEST_F(ParserTest, PasswordMaskedInParameterString) {
  EXPECT_EQ(Parse("comp,password=secret,show=none,paxword=4142"), 0);
  EXPECT_STREQ(ctx_->parString, "comp,password=*     ,show=none,paxword=*   ");
  EXPECT_EQ(Parse("comp,paebcdic=\"a b\""), 0);
  EXPECT_STREQ(ctx_->parString, "comp,paebcdic=*    ");
  // The value as typed, brackets included, not only the part the parser keeps.
  EXPECT_EQ(Parse("comp,cryptkey=(secret),show=none"), 0);
  EXPECT_STREQ(ctx_->parString, "comp,cryptkey=*       ,show=none");
  EXPECT_STREQ(ParRmc(ctx_->parString, 1), "comp cryptkey=* show=none");
}

// A bad line of a password file is named in the message with its value masked.
TEST_F(ParserTest, PasswordFileLinesAreMaskedInMessages) {
  const struct {
    std::string line;
    std::int32_t rc;
    const char* shown;
  } cases[] = {
      {"pahexword=546F705365637265Z9", 82, "82: Invalid argument value: pahexword=*"},
      {"  PAX=546F7053656372657", 82, "82: Invalid argument value: PAX=*"},
      {"password=TopSecret99" + std::string(60, 'x'), 89, "89: Qualifier too long or too big: password=*"},
      {"cryptokey=TopSecret99,a,b" + std::string(60, 'x'), 89, "89: Qualifier too long or too big: cryptokey=*"},
      {"paebcdic=TopSecret99" + std::string(60, 'x'), 89, "89: Qualifier too long or too big: paebcdic=*"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Parse("comp,pafile=" + File("pw.txt", c.line + "\n")), c.rc) << Lines();
    ASSERT_FALSE(lines_.empty());
    EXPECT_TRUE(lines_.back().ends_with(c.shown)) << Lines();
    for (const auto& line : lines_) {
      EXPECT_EQ(line.find("TopSecret"), std::string::npos) << line;
      EXPECT_EQ(line.find("546F"), std::string::npos) << line;
    }
  }
}

TEST_F(ParserTest, CodeTablesCommentsAndOutputPath) {
  std::string table(256, '\0');
  for (int i = 0; i < 256; ++i) table[i] = static_cast<char>(255 - i);
  const std::string tab = File("tab.bin", table);
  EXPECT_EQ(Parse("comp,translate=a,code_table=" + tab + ",comment=AB"), 0) << Lines();
  EXPECT_EQ(ctx_->codeTable, gCodeTabAE);
  EXPECT_EQ(static_cast<std::uint8_t>(ctx_->comment[0]), 255 - 'A');
  EXPECT_EQ(Parse("comp,translate=a,comment=AB"), 0);
  EXPECT_EQ(std::string(ctx_->comment), "\xC1\xC2");
  EXPECT_EQ(Parse("decomp,translate=a,comment=AB"), 0);
  EXPECT_EQ(std::string(ctx_->comment), "AB");
  EXPECT_EQ(Parse("comp,translate=tab1,codetable=" + File("bad.bin", "short")), 112);
  EXPECT_TRUE(Contains(lines_, "codetable=" + dir_ + "/bad.bin")) << Lines();
  // The file must be there when the parameters are read, used or not; what it holds matters
  // only to a translation.
  EXPECT_EQ(Parse("comp,codetable=" + dir_ + "/bad.bin"), 0) << Lines();
  EXPECT_EQ(Parse("defaults=(codetable=NONE)"), 0) << Lines();
  const struct {
    std::string name;
    const char* system;
  } missing[] = {{dir_ + "/none.bin", "No such file or directory"},
                 {dir_, "Is a directory"},
                 {tab + "/x", "Not a directory"}};
  const struct {
    const char* before;
    const char* after;
  } texts[] = {{"comp,cod=", ""}, {"decomp,translate=none,code_table=", ",show=none"}, {"defaults=(codetable=", ")"}};
  for (const auto& m : missing) {
    for (const auto& t : texts) {
      SCOPED_TRACE(t.before + m.name);
      EXPECT_EQ(Parse(t.before + m.name + t.after), 90) << Lines();
      ASSERT_EQ(lines_.size(), 2u) << Lines();
      EXPECT_NE(lines_[0].find(m.system), std::string::npos) << Lines();
      EXPECT_EQ(lines_[1].find("*ERROR*  90: Invalid qualifier value: "), 0u) << Lines();
      EXPECT_TRUE(lines_[1].ends_with("=" + m.name)) << Lines();
    }
  }
  gDefstr = nullptr;
  EXPECT_EQ(Parse("comp,translate=a"), 113);
  EXPECT_EQ(Parse("translate=a"), 20);
  gDefstr = &record_;

  EXPECT_EQ(Parse("comp,opath=" + dir_ + "/o/p//"), 0) << Lines();
  EXPECT_EQ(Slot(ctx_->outpath), dir_ + "/o/p");
  struct stat st {};
  EXPECT_EQ(stat((dir_ + "/o/p").c_str(), &st), 0);
  // A system error is told by the system's own text, never by the text of "no error".
  for (const std::string& path : {tab, tab + "/sub"}) {
    EXPECT_EQ(Parse("comp,outpath=" + path), 90);
    ASSERT_EQ(lines_.size(), 2u) << Lines();
    EXPECT_NE(lines_[0].find("Not a directory"), std::string::npos) << Lines();
    EXPECT_EQ(lines_[1], "*ERROR*  90: Invalid qualifier value: " + path);
  }
  EXPECT_EQ(Parse("comp,outpath="), 90);
  EXPECT_NE(lines_[0].find("No such file or directory"), std::string::npos) << Lines();
  EXPECT_EQ(Parse("comp,opath=(a,b)"), 90);
}

}  // namespace
}  // namespace torqtest
