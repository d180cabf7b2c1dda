#include "support/message_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/message_catalog.h"

namespace {

void FixedClock(std::tm* now) {
  *now = {};
  now->tm_year = 2026 - 1900;
  now->tm_mon = 11;
  now->tm_mday = 10;
  now->tm_hour = 14;
  now->tm_min = 5;
  now->tm_sec = 9;
}
std::uint32_t FixedThread() { return 0x1234ABCD; }

class MessageOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    MsgSetPrefixSources(FixedClock, FixedThread);
    gMsgLfdNr = 1;
    testing::internal::CaptureStderr();
  }
  void TearDown() override {
    if (capturing_) testing::internal::GetCapturedStderr();
    MsgSetPrefixSources(nullptr, nullptr);
  }
  std::string Output() {
    capturing_ = false;
    return testing::internal::GetCapturedStderr();
  }
  bool capturing_ = true;
};

constexpr char kStamp[] = "2026-12-10 14:05:09 abcd";

}  // namespace

TEST_F(MessageOutput, PrefixForEachLevel) {
  MsgPut(2011, "a.tqf");
  MsgPutError(1, 2048, 512);
  MsgPutError(2, 2048, 512);
  MsgPutError(3, 2048, 512);
  MsgPutError(1, 2011, "x");
  EXPECT_EQ(Output(), std::string(kStamp) + "0001 torqfile=a.tqf\n" + kStamp +
                          "0002 *WARN* 2048: recsize=512\n" + kStamp + "0003 *ERROR*2048: recsize=512\n" +
                          kStamp + "0004 ?? recsize=512\n" + kStamp + "0005 *WARN* 2011: torqfile=x\n");
}

TEST_F(MessageOutput, SmallNumbersArePaddedToFourColumns) {
  char buffer[kMsgPrefixSize];
  const int n = MsgPrefix(buffer, 2, 45);
  EXPECT_STREQ(buffer, "2026-12-10 14:05:09 abcd0001 *ERROR*  45: ");
  EXPECT_EQ(n, 42);
  MsgPrefix(buffer, 1, 105);
  EXPECT_STREQ(buffer, "2026-12-10 14:05:09 abcd0002 *WARN*  105: ");
  MsgPrefix(buffer, 0, 105);
  EXPECT_STREQ(buffer, "2026-12-10 14:05:09 abcd0003 ");
  EXPECT_EQ(Output(), "");
}

TEST_F(MessageOutput, PrefixIsCutToTheBuffer) {
  char small[10];
  EXPECT_EQ(MsgPrefix(small, 0, 0), 9);
  EXPECT_STREQ(small, "2026-12-1");
  EXPECT_EQ(gMsgLfdNr, 2u);
  Output();
}

TEST_F(MessageOutput, SequenceWrapsAt10000) {
  gMsgLfdNr = 9999;
  MsgPutF("a\n");
  MsgPutF("b\n");
  MsgPutF("c\n");
  EXPECT_EQ(Output(), std::string(kStamp) + "9999 a\n" + kStamp + "0000 b\n" + kStamp + "0001 c\n");
}

TEST_F(MessageOutput, ListingsHaveNoPrefixAndDoNotCount) {
  MsgList(2048, 80);
  MsgListF("%s=%d\n", "x", 3);
  EXPECT_EQ(gMsgLfdNr, 1u);
  EXPECT_EQ(Output(), "recsize=80\nx=3\n");
}

TEST_F(MessageOutput, Delimiters) {
  MsgListDelim(2045, 0);
  MsgListDelim(2045, 0x0100000A);
  MsgListDelim(2021, 0x02000A0D);
  MsgListDelim(2038, 0x01000025);
  MsgPutDelim(2045, 0);
  EXPECT_EQ(Output(), std::string("recdelim=0d0a\nrecdelim=0a\ninrecdelim=0d0a\noutrecdelim=25\n") +
                          kStamp + "0001 recdelim=0d0a\n");
}

TEST_F(MessageOutput, RawDataAsTextEbcdicOrHex) {
  MsgPutText("ABCDEFGHIJ", 10);
  MsgPutText("ABC", 3);
  const unsigned char ebcdic[] = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1};
  MsgPutText(ebcdic, sizeof ebcdic);
  const unsigned char binary[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF};
  MsgPutText(binary, sizeof binary);
  MsgPutText("Hello\tWorld, nine of ten printable", 34);  // one '.' is below length / 10
  MsgPutText(nullptr, 5);
  MsgPutText("x", 0);
  EXPECT_EQ(Output(), std::string(kStamp) + "0001 ABCDEFGHIJ\n" + kStamp + "0002 414243\n" + kStamp +
                          "0003 ABCDEFGHIJ\n" + kStamp + "0004 000102030405060708FF\n" + kStamp +
                          "0005 Hello.World, nine of ten printable\n");
}

TEST_F(MessageOutput, RawDataShowsAtMost199Bytes) {
  const std::string data(500, 'x');
  MsgPutText(data.data(), static_cast<std::int32_t>(data.size()));
  EXPECT_EQ(Output(), std::string(kStamp) + "0001 " + std::string(199, 'x') + "\n");
}

TEST_F(MessageOutput, LongLinesAreCutAtTheBoundAndStillEndTheirLine) {
  const std::string big(20000, 'q');
  MsgPut(2011, big.c_str());
  MsgPutF("%s|%s\n", big.c_str(), big.c_str());
  MsgList(2011, big.c_str());
  const std::string longFormat = big + "%d\n";
  MsgListF(longFormat.c_str(), 7);
  MsgListF("%9999999d", 1);  // a width that would otherwise write ten megabytes
  const std::string out = Output();
  std::istringstream lines(out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(line.size(), kMaxMessageLine - 1) << count;  // every line cut, line end kept
  }
  EXPECT_EQ(count, 5);
  const std::string head = std::string(kStamp) + "0001 torqfile=qq";
  EXPECT_EQ(out.substr(0, head.size()), head);
}

TEST_F(MessageOutput, LinesBelowTheBoundAreWrittenWhole) {
  const std::string text(kMaxMessageLine - 2, 'w');
  MsgListF("%s\n", text.c_str());
  EXPECT_EQ(Output(), text + "\n");
}

TEST_F(MessageOutput, KeepsThePendingSystemError) {
  errno = EACCES;
  MsgPutF("line\n");
  MsgList(2000, "all");
  EXPECT_EQ(errno, EACCES);
  Output();
}

TEST_F(MessageOutput, SystemErrorLines) {
  MsgPutSystemError(0);
  MsgPutSystemError(ENOENT);
  MsgPutSystemError(0x0F000000 | EACCES);
  errno = EBADF;
  MsgPutSystemError(-1);
  MsgPutSystemError(-5);  // other negative codes are taken as they are
  const std::string out = Output();
  std::istringstream lines(out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, std::string(kStamp) + "0001 Success");
  std::getline(lines, line);
  EXPECT_EQ(line, std::string(kStamp) + "0002 *ERROR*   2: No such file or directory");
  std::getline(lines, line);
  EXPECT_EQ(line, std::string(kStamp) + "0003 *ERROR*251658253: Permission denied");
  std::getline(lines, line);
  EXPECT_EQ(line, std::string(kStamp) + "0004 *ERROR*   9: Bad file descriptor");
  std::getline(lines, line);
  EXPECT_EQ(line, std::string(kStamp) + "0005 *ERROR*  -5: unkown error");
}

TEST_F(MessageOutput, CodeTableListing) {
  unsigned char table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(255 - i);
  MsgListCodeTab("Title", table);
  const std::string out = Output();
  EXPECT_EQ(out.substr(0, 6), "Title\n");
  EXPECT_EQ(out.substr(6, 54), "      00:ff 01:fe 02:fd 03:fc 04:fb 05:fa 06:f9 07:f8\n");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 33);
  EXPECT_NE(out.find("      f8:07 f9:06 fa:05 fb:04 fc:03 fd:02 fe:01 ff:00\n"), std::string::npos);
}

TEST_F(MessageOutput, MonthRepair) {
  MsgListOemF("10. M \x1ex 2026\n");
  MsgListOemF("no mark %d\n", 5);
  MsgListOemF("X \x1ey\n");       // not after "M "
  MsgListOemF("M \x1e");          // no byte after the mark to overwrite
  MsgListOemF("%s\n", "50%");     // the result is written as text, not used as a format
  EXPECT_EQ(Output(), "10. Mrz  2026\nno mark 5\nX \x1ey\nM \x1e" "50%\n");
}

TEST(MessageOutputFile, MsgOpnAppendsToTheFileAndRestartsTheSequence) {
  char dir[] = "/tmp/torq_msgopn_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string name = std::string(dir) + "/messages.txt";
  { std::ofstream(name) << "old\n"; }
  MsgSetPrefixSources(FixedClock, FixedThread);
  gMsgLfdNr = 50;
  const int saved = dup(2);
  MsgOpn(name.c_str());
  MsgPutF("first\n");
  MsgOpn(nullptr);  // nothing happens
  MsgPutF("second\n");
  const std::string missing = std::string(dir) + "/no/such/dir/m.txt";
  MsgOpn(missing.c_str());  // stays on the file, sequence restarts all the same
  MsgPutF("third\n");
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  MsgSetPrefixSources(nullptr, nullptr);
  std::ifstream in(name);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), std::string("old\n") + kStamp + "0001 first\n" + kStamp + "0002 second\n" + kStamp +
                               "0001 third\n");
  std::remove(name.c_str());
  rmdir(dir);
}

TEST(MessageOutputPredicates, RecordFormats) {
  for (int f = -1; f < 300; ++f) {
    EXPECT_EQ(RecformDelimeted(f), f == 3 || f == 12 || f == 224) << f;
    EXPECT_EQ(RecformPadded(f), f == 0 || f == 1 || f == 32 || f == 216) << f;
  }
}
