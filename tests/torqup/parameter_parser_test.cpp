#include <functional>

#include "parser_test_util.h"

namespace torqtest {
namespace {

using Check = std::function<bool(const RunContext&)>;

struct Case {
  std::string text;
  std::int32_t rc;
  Check check;
  const char* line;  // the last printed line, or null for none
};

// A compress run with the factory record around the item under test.
std::string Compress(const std::string& item) { return "compress,torqin=a,torqfile=b," + item; }

TEST_F(ParserTest, HandlersLimitsAndRefusals) {
  const Case cases[] = {
      {"compress,cx8", 22 - 22, [](auto& c) { return c.mode == 0 && c.function == 1; }, nullptr},
      {"decompress,seven_bit", 0, [](auto& c) { return c.mode == 1 && c.function == 0 && c.functionLetter == 'd'; }, nullptr},
      {"comp,vr8", 0, [](auto& c) { return c.mode == 2; }, nullptr},
      {"comp,ndc", 0, [](auto& c) { return c.mode == 4; }, nullptr},
      {"comp,aes,password=x", 0, [](auto& c) { return c.mode == 3 && c.cryptmode == 32; }, nullptr},
      {"comp,mode=aes,pas=x", 0, [](auto& c) { return c.mode == 3 && c.cryptmode == 32; }, nullptr},
      {"comp,mode=dc8", 0, [](auto& c) { return c.mode == 8; }, nullptr},
      {"comp,dc8", 81, nullptr, "*ERROR*  81: Unknown argument or qualifier: dc8"},
      {"comp,mode=", 90, nullptr, "*ERROR*  90: Invalid qualifier value: "},
      {"comp,mode=xyz", 90, nullptr, "*ERROR*  90: Invalid qualifier value: xyz"},
      {"comp,nocut,nosuppress,nopath", 0, [](auto& c) { return c.cut == 0 && c.suppress == 0 && c.nopath == 1; }, nullptr},
      {"comp,truncate,suppress,option=append,opt=add", 0, [](auto& c) { return c.cut == 1 && c.suppress == 1 && c.append == 1 && c.add == 1 && c.containerOpenMode == 9; }, nullptr},
      {"comp,option=path,option=noadd", 0, [](auto& c) { return c.nopath == 0 && c.add == 0; }, nullptr},
      {"decomp,delete,idelete,nofinfo,noheader", 0, [](auto& c) { return c.kDelete == 1 && c.iDelete == 1 && c.fileinfo == 0 && c.header == 0; }, nullptr},
      {"decomp,nodelete,noidelete,finfo,header", 0, [](auto& c) { return c.kDelete == 0 && c.iDelete == 0 && c.fileinfo == 1 && c.header == 1; }, nullptr},
      {"comp,user_io,iuser_io,outuser_io", 0, [](auto& c) { return c.kUserio == 1 && c.iUserio == 1 && c.oUserio == 1; }, nullptr},
      {"comp,oduplicate_key", 90, nullptr, "*ERROR*  90: Invalid qualifier value: oduplicate_key"},
      {"comp,duplicate_key,noduplicate_key", 0, nullptr, nullptr},
      {"comp,duplicate_key=yes", 90, nullptr, "*ERROR*  90: Invalid qualifier value: yes"},
      {"comp,notest", 0, [](auto& c) { return c.notest == 1; }, nullptr},
      {"comp,pos_over_error,x", 90, nullptr, "*ERROR*  90: Invalid qualifier value: pos_over_error,x"},
      {"comp,keylength=10", 82, nullptr, "*ERROR*  82: Invalid argument value: 10"},
      {"comp,okeysize=0", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 0"},
      {"comp,irecsize=32767,orsize=1", 0, [](auto& c) { return c.iRecsize == 32767 && c.oRecsize == 1; }, nullptr},
      {"comp,inrecsize=32768", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 32768"},
      {"comp,orecsize=0", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 0"},
      {"comp,insize=10", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 10"},
      {"comp,recsize=79", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 79"},
      {"comp,recsize=80", 0, [](auto& c) { return c.kRecsize == 80; }, nullptr},
      {"comp,maxsize=32768", 0, [](auto& c) { return c.kRecsize == 32768; }, nullptr},
      {"comp,recsize=32769", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 32769"},
      {"comp,blksize=65532,iblksize=65532,outblocksize=0", 0, [](auto& c) { return c.kBlksize == 65532 && c.iBlksize == 65532 && c.oBlksize == 0; }, nullptr},
      {"comp,blksize=65533", 82, nullptr, "*ERROR*  82: Invalid argument value: 65533"},
      {"comp,blksize=-1", 82, nullptr, "*ERROR*  82: Invalid argument value: -1"},
      {"comp,inblksize=65533", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 65533"},
      {"comp,maxrecords=65535", 0, [](auto& c) { return c.maxrecords == 65535; }, nullptr},
      {"comp,records_in_buffer=-1", 90, nullptr, "*ERROR*  90: Invalid qualifier value: -1"},
      {"comp,maxrec=99999999999", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 99999999999"},
      {"comp,attributes=none", 0, [](auto& c) { return c.header == 0 && c.fileinfo == 0; }, nullptr},
      {"comp,attr=common", 0, [](auto& c) { return c.header == 1 && c.fileinfo == 0; }, nullptr},
      {"comp,attr=all,header=no", 0, [](auto& c) { return c.header == 0 && c.fileinfo == 1; }, nullptr},
      {"comp,character_set=ebcdic", 0, [](auto& c) { return c.torqcode == 0; }, nullptr},
      {"comp,torqcode=a", 0, [](auto& c) { return c.torqcode == 1; }, nullptr},
      {"comp,device=tape,idevice=floppy,outdevice=streamer", 0, [](auto& c) { return c.kDevice == 1 && c.iDevice == 2 && c.oDevice == 3; }, nullptr},
      {"comp,info=statistic", 0, [](auto& c) { return c.show == 3; }, nullptr},
      {"comp,show=attributes", 0, [](auto& c) { return c.show == 2; }, nullptr},
      {"comp,blkmode=no,fileinfo=ja", 0, [](auto& c) { return c.blkmode == 0 && c.fileinfo == 1; }, nullptr},
      {"comp,organisation=relative,iorg=is,outorganization=unstructured_odd", 0, [](auto& c) { return c.kOrg == 2 && c.iOrg == 1 && c.oOrg == 12; }, nullptr},
      {"comp,recformat=var_4b,irecformat=dtaus_d_ae,orformat=vfc", 0, [](auto& c) { return c.kRecform == 32 && c.iRecform == 104 && c.oRecform == 24; }, nullptr},
      {"comp,streamformat=asn1_blk", 0, [](auto& c) { return c.streamformat == 216; }, nullptr},
      {"comp,keytype=stg", 90, nullptr, "*ERROR*  90: Invalid qualifier value: stg"},
      {"comp,closdisp=unload,iclosdisp=leave,outclosdisp=rew", 0, [](auto& c) { return c.kClosedisp == 1 && c.iClosedisp == 2 && c.oClosedisp == 0; }, nullptr},
      {"comp,trimchar=2e", 0, [](auto& c) { return c.trimchar == 0x2e && c.suppress == 1; }, nullptr},
      {"comp,trimchar=0d0a", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 0d0a"},
      {"comp,recdelim=0d0a,indelim=\"0A\",outdelim=7c", 0, [](auto& c) { return c.kDelim == 0x02000A0Du && c.iDelim == 0x0100000Au && c.oDelim == 0x0100007Cu; }, nullptr},
      {"comp,recdelim=0", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 0"},
      {"comp,recdelim=0d0", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 0d0"},
      {"comp,recdelim=0g", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 0g"},
      {"comp,padchar=2A", 0, [](auto& c) { return c.fillPair[0] == 0x2A && c.fillPair[1] == 1; }, nullptr},
      {"comp,pad_char=2a2a", 90, nullptr, "*ERROR*  90: Invalid qualifier value: 2a2a"},
      {"comp,paebcdic=AB", 0, [](auto& c) { return c.passwordLength == 2 && c.password[0] == 0xC1 && c.cryptmode == 16; }, nullptr},
      {"comp,paxword=41FF", 0, [](auto& c) { return c.passwordLength == 2 && c.password[1] == 0xFF; }, nullptr},
      {"comp,paxword=4", 82, nullptr, "*ERROR*  82: Invalid argument value: paxword"},
      {"comp,paxword=4g", 82, nullptr, "*ERROR*  82: Invalid argument value: paxword"},
      {"comp,password='a,b'", 0, [](auto& c) { return c.passwordLength == 5 && std::string(reinterpret_cast<const char*>(c.password)) == "'a,b'"; }, nullptr},
      {"comp,ascii_ebcdic=41:c1", 0, nullptr, nullptr},
      {"comp,ebcdic_ascii=(41:c1,0042:00c2),show=none", 0, [](auto& c) { return c.show == 0; }, nullptr},
      {"comp,ascii_ebcdic=(41:c1,42:c2),show=none", 0, [](auto& c) { return c.show == 0; }, nullptr},
      {"comp,ascii_ebcdic=(41:c1,42:c2", 0, nullptr, nullptr},
      {"comp,ascii_ebcdic=(41:c1,4:c2)", 90, nullptr, "*ERROR*  90: Invalid qualifier value"},
      {"comp,ascii_ebcdic=0100:c1", 90, nullptr, "*ERROR*  90: Invalid qualifier value"},
      {"comp,ascii_ebcdic=41c1", 90, nullptr, "*ERROR*  90: Invalid qualifier value"},
      {"comp,cryptmode=torq,cryptmode=none,pas=x", 0, [](auto& c) { return c.cryptmode == 16; }, nullptr},
      {"comp,cryptmode=x", 90, nullptr, "*ERROR*  90: Invalid qualifier value: x"},
      {"comp,cryptkey=", 90, nullptr, "*ERROR*  90: Invalid qualifier value: cryptkey=: no password"},
      {"comp,cryptmode=aes", 29, nullptr, "*ERROR*  29: Password wrong or missing"},
      {"comp,cryptmode=torq", 29, nullptr, "*ERROR*  29: Password wrong or missing"},
      {"comp,aes", 29, nullptr, "*ERROR*  29: Password wrong or missing"},
      {"decomp,cryptkey=", 29, nullptr, "*ERROR*  29: Password wrong or missing"},
      {"decomp,cryptmode=aes", 29, nullptr, "*ERROR*  29: Password wrong or missing"},
      {"comp,password=x,cryptmode=none", 0, [](auto& c) { return c.cryptmode == 0 && c.passwordLength == 0; }, nullptr},
      {"comp,cryptmode=aes,kmexit=p", 0, [](auto& c) { return c.cryptmode == 32 && std::string(c.exitProcName) == "p"; }, nullptr},
      {"comp,pas=x,kmdll=m.so", 0, [](auto& c) { return c.cryptmode == 32 && Slot(c.exitModuleName) == "m.so"; }, nullptr},
      {"comp,secureinfo=yes", 0, [](auto& c) { return c.secureinfo == 1; }, nullptr},
      {"comp,secureinfo=yes,cx8", 114, nullptr, "*ERROR* 114: Secure with given mode not allowed"},
      {"comp,secureinfo=yes,add", 115, nullptr, "*ERROR* 115: Add not allowed with secure"},
      {"comp,pas=x,vr8", 22, nullptr, "*ERROR*  22: Invalid compression mode"},
      {"comp,comment=(a,b),label=c", 0, [](auto& c) { return std::string(c.comment) == "c" && c.commentLength == 1; }, nullptr},
      {"comp,keyname=x", 90, nullptr, "*ERROR*  90: Invalid qualifier value: keyname=x"},
      {"comp,exk10=abcdefgh,exd20=\"x\"", 0, [](auto& c) { return Slot(c.exk10) == "abcdefgh" && Slot(c.exd20) == "x"; }, nullptr},
      {"comp,exk10=abcdefghi", 82, nullptr, "*ERROR*  82: Invalid argument value: exk10=abcdefghi"},
      {"comp,exk20=\"", 82, nullptr, "*ERROR*  82: Invalid argument value: exk20=\""},
      {"comp,kmexit=proc(lib.so)parm", 0, [](auto& c) { return std::string(c.exitProcName) == "proc" && Slot(c.exitModuleName) == "lib.so" && std::string(c.exitParm) == "parm"; }, nullptr},
      {"comp,kmexit=proc(lib.so", 81, nullptr, "*ERROR*  81: Unknown argument or qualifier: kmexit=proc(lib.so"},
      {"comp,kmexit=p)(m", 82, nullptr, "*ERROR*  82: Invalid argument value: kmexit=p)(m"},
      {"comp,kmexit=" + std::string(34, 'p'), 82, nullptr, "*ERROR*  82: Invalid argument value: kmexit=ppp"},
      {"comp,kmexit=" + std::string(33, 'p'), 0, nullptr, nullptr},
      {"comp,kmparam=(a,b)", 0, [](auto& c) { return std::string(c.exitParm) == "a,b"; }, nullptr},
      {"comp,priority=x", 90, nullptr, "*ERROR*  90: Invalid qualifier value: x"},
      {"comp,translate=A", 0, [](auto& c) { return c.translate == 1 && c.codeTable == gDefstr->ca2e; }, nullptr},
      {"comp,translate=e", 0, [](auto& c) { return c.translate == 2 && c.codeTable == gDefstr->ce2a && c.trimchar == 0x40; }, nullptr},
      {"comp,translate=TAB2,trimchar=2e", 0, [](auto& c) { return c.translate == 4 && c.trimchar == 0x2e; }, nullptr},
      {"comp,translate=tab3", 90, nullptr, "*ERROR*  90: Invalid qualifier value: tab3"},
      {"comp,translate=x", 90, nullptr, "*ERROR*  90: Invalid qualifier value: x"},
      {"comp,maxbuffer=64", 0, [](auto& c) { return c.maxbuffer == 65536; }, nullptr},
      {"comp,maxbuffer=100", 0, [](auto& c) { return c.maxbuffer == 114688; }, nullptr},
      {"comp,maxbuffer=1", 0, [](auto& c) { return c.maxbuffer == 2048; }, nullptr},
      {"comp,buffer_size=2561", 0, [](auto& c) { return c.maxbuffer == 4096; }, nullptr},
      {"comp,format=x", -1, nullptr, "*ERROR*  90: Invalid qualifier value: format=x"},
      {"comp,offset=1", 81, nullptr, "*ERROR*  81: Unknown argument or qualifier: offset=1"},
      {"comp,list,xyz", 1, nullptr, nullptr},
      {"comp,,x", 81, nullptr, "*ERROR*  81: Unknown argument or qualifier: ,x"},
      {"comp,torqf=(c,d),torqin=(x,y,z)", 0, [](auto& c) { return c.containerCount == 2 && c.inputCount == 3 && c.containerCursor == c.containerList && c.inputList[0] == 1 && c.inputList[1] == 'x'; }, nullptr},
      {"comp,torqin=(a", 0, [](auto& c) { return c.inputCount == 1 && !c.inputList && Slot(c.inputName) == "a"; }, nullptr},
      {"comp,torqout=(a,,b)", 82, nullptr, "*ERROR*  82: Invalid argument value"},
      {"comp,input_file=" + std::string(256, 'n'), 82, nullptr, "*ERROR*  82: Invalid argument value"},
      {"comp,kmlib=" + std::string(256, 'n'), 82, nullptr, "*ERROR*  82: Invalid argument value"},
      {"comp,torqin=(a," + std::string(256, 'n') + ")", 82, nullptr, "*ERROR*  82: Invalid argument value"},
      {"comp,torqin=(a" + std::string(200, ',') + ")", 82, nullptr, "*ERROR*  82: Invalid argument value"},
      {"comp,torqin=(" + std::string(250, 'n') + "," + std::string(250, 'o') + "," + std::string(250, 'p') + "," + std::string(250, 'q') + "," + std::string(14, 'r') + ")", 82, nullptr, "*ERROR*  82: Invalid argument value"},
      {"comp,torqin=(" + std::string(250, 'n') + "," + std::string(250, 'o') + "," + std::string(250, 'p') + "," + std::string(250, 'q') + "," + std::string(13, 'r') + ")", 0, [](auto& c) { return c.inputCount == 5 && c.inputList[1008] == 13 && c.inputList[1023] == 0; }, nullptr},
      {"comp,comment=" + std::string(600, 'c'), 89, nullptr, "*ERROR*  89: Qualifier too long or too big: comment"},
      {"comp," + std::string(600, 'c'), 89, nullptr, "*ERROR*  89: Qualifier too long or too big: ccc"},
      {"comp,password=" + std::string(64, 'p'), 0, [](auto& c) { return c.passwordLength == 64; }, nullptr},
      {"comp,password=" + std::string(65, 'p'), 89, nullptr, "*ERROR*  89: Qualifier too long or too big: password"},
      {"comp,paxword=" + std::string(128, 'a'), 0, [](auto& c) { return c.passwordLength == 64 && c.password[63] == 0xAA; }, nullptr},
      {"comp,paxword=" + std::string(129, 'a'), 89, nullptr, "*ERROR*  89: Qualifier too long or too big: paxword"},
      {"comp,paxword=" + std::string(127, 'a'), 82, nullptr, "*ERROR*  82: Invalid argument value: paxword"},
      {"decomp,torqout=[x|y]", 0, [](auto& c) { return Slot(c.outputName) == "[x,y]"; }, nullptr},
      {"comp,pafile=(a,b)", 90, nullptr, "*ERROR*  90: Invalid qualifier value: pafile=(a,b)"},
      {"comp,code_table=/nonexistent/x", 90, nullptr, "*ERROR*  90: Invalid qualifier value: code_table=/nonexistent/x"},
      {"comp,xq=1", 81, nullptr, "*ERROR*  81: Unknown argument or qualifier: xq=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    EXPECT_EQ(Parse(Compress(c.text)), c.rc) << Lines();
    if (c.check) {
      EXPECT_TRUE(c.check(*ctx_));
    }
    if (c.line) {
      ASSERT_FALSE(lines_.empty());
      EXPECT_EQ(lines_.back().substr(0, std::strlen(c.line)), c.line);
    } else if (c.rc == 0) {
      EXPECT_TRUE(lines_.empty()) << Lines();
    }
  }
}

// No message shows a character of a password or key, whichever keyword form carries it and
// wherever the message quotes the text: after an unknown or refused item, inside a malformed
// value, in a parameter file, in a defaults request.
TEST_F(ParserTest, MessagesNeverShowASecret) {
  const std::string par = File("p.par", "mode=adc\nbogus=1,password=TopSecret99\n");
  const struct {
    std::string text;
    std::int32_t rc;
    const char* line;  // the line that quotes the text
  } cases[] = {
      {"comp,bogus=1,cryptkey=TopSecret99", 81, "81: Unknown argument or qualifier: bogus=1,cryptkey=*"},
      {"comp,Bogus=1,CRYK=TopSecret99,show=none", 81, "81: Unknown argument or qualifier: bogus=1,CRYK=*,show=none"},
      {"comp,keyname=x,pas=TopSecret99,cryptok=TopSecret99", 90, "90: Invalid qualifier value: keyname=x,pas=*,cryptok=*"},
      {"comp,pos_over_error,paeword=TopSecret99", 90, "90: Invalid qualifier value: pos_over_error,paeword=*"},
      {"comp,exk10=abcdefghi,paebcdic=TopSecret99", 82, "82: Invalid argument value: exk10=abcdefghi,paebcdic=*"},
      {"comp,torqin=(a,,b),pahexword=546F7053", 82, "90: Invalid qualifier value: torqin=(a,,b),pahexword=*"},
      // A value the parser cuts short leaves the rest of the secret looking like an item.
      {"comp,cryptkey=(TopS,ecret99)", 81, "81: Unknown argument or qualifier: *"},
      {"comp,cryptkey=TopS)ecret99,show=none", 81, "81: Unknown argument or qualifier: *,show=none"},
      {"comp,cryptkey=(TopS," + std::string(600, 'e') + ")", 89, "89: Qualifier too long or too big: *"},
      {"comp,password='TopSecret99,show=none", 81, "81: Unknown argument or qualifier: password=*"},
      {"comp,parfile=" + par, 81, "81: Unknown argument or qualifier: bogus=1,password=*,"},
      {"defaults=(password=TopSecret99,xx=1", 81, "81: Unknown argument or qualifier: (password=*,xx=1"},
      {"defaults=(paascii=TopSecret99,xx=1)", 81, "81: Unknown argument or qualifier: xx=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 80));
    EXPECT_EQ(Parse(c.text), c.rc) << Lines();
    bool quoted = false;
    for (const auto& line : lines_) {
      EXPECT_EQ(line.find("TopS"), std::string::npos) << line;
      EXPECT_EQ(line.find("ecret99"), std::string::npos) << line;
      EXPECT_EQ(line.find("546F"), std::string::npos) << line;
      if (line.find(c.line) != std::string::npos && line.size() == line.find(c.line) + std::strlen(c.line)) quoted = true;
    }
    EXPECT_TRUE(quoted) << Lines();
  }
}

}  // namespace
}  // namespace torqtest
