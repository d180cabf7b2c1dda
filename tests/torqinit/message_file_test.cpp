#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "data_files.h"
#include "support/crc.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/message_catalog.h"
#include "support/message_catalog_format.h"
#include "support/message_output.h"
#include "support/message_table.h"

using torqtest::DataFiles;
using torqtest::ReadBytes;
using torqtest::WriteBytes;

namespace {

std::int32_t GermanLength() {
  std::int32_t n = 0, c = 0;
  CalcLenAndCount(kMsgColumnGerman, &n, &c);
  return n;
}

std::uint16_t Word(const std::vector<unsigned char>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

TEST(MessageFileWriter, BlockSizesFollowFromTheTexts) {
  std::int32_t n = 0, c = 0;
  CalcLenAndCount(kMsgColumnEnglish, &n, &c);
  EXPECT_EQ(n, 4969);
  EXPECT_EQ(c, 140);
  CalcLenAndCount(kMsgColumnGerman, &n, &c);
  std::int32_t sum = 1;
  for (const ErrMsgRow& row : ErrMsg) sum += static_cast<std::int32_t>(std::strlen(row.lang[0].text) + 7);
  EXPECT_EQ(n, sum);
  EXPECT_EQ(c, 140);
}

TEST(MessageFileWriter, BufferIsCheckedAgainstItsLength) {
  std::int32_t n = 0, c = 0;
  CalcLenAndCount(kMsgColumnEnglish, &n, &c);
  std::vector<char> buffer(static_cast<std::size_t>(n), 'z');
  EXPECT_EQ(MakeMsgBuf(buffer.data(), kMsgColumnEnglish, n), buffer.data());
  EXPECT_EQ(MakeMsgBuf(buffer.data(), kMsgColumnEnglish, n - 1), nullptr);
  const auto before = rmGetHeapCount();
  char* taken = MakeMsgBuf(nullptr, kMsgColumnEnglish, n);
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(std::memcmp(taken, buffer.data(), buffer.size()), 0);
  rmHeapFree(taken);
  EXPECT_EQ(MakeMsgBuf(nullptr, kMsgColumnEnglish, 100), nullptr);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST_F(DataFiles, CatalogueLayout) {
  const std::string out = WriteBoth();
  const std::int32_t de = GermanLength();
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "DEU (0x07) Len= %d  (+ Header= %d) Count=140\n"
                "ENG (0x09) Len= 4969  (+ Header= 4977) Count=140\n"
                "%s: %d *OK*\n",
                de, de + 8, msg_.c_str(), de + 8 + 4977);
  EXPECT_EQ(out.substr(0, std::strlen(expected)), expected);

  const auto b = ReadBytes(msg_);
  ASSERT_EQ(b.size(), static_cast<std::size_t>(de + 8 + 4977));
  EXPECT_EQ(Word(b, 0), de + 8);
  EXPECT_EQ(Word(b, 2), 140);
  EXPECT_EQ(std::string(b.begin() + 4, b.begin() + 7), "DEU");
  EXPECT_EQ(b[7], 0x07);
  const std::size_t en = static_cast<std::size_t>(de) + 8;  // the English block begins there
  EXPECT_EQ(Word(b, en), 4977);
  EXPECT_EQ(Word(b, en + 2), 140);
  EXPECT_EQ(std::string(b.begin() + en + 4, b.begin() + en + 7), "ENG");
  EXPECT_EQ(b[en + 7], 0x09);
  EXPECT_EQ(std::string(b.begin() + 9, b.begin() + 18), "0000:TORQ");
  EXPECT_EQ(std::string(b.begin() + en + 9, b.begin() + en + 18), "0000:TORQ");

  // Message 45: L, the digits 002d, a colon and the text.
  const std::string entry45 = std::string("\x23") + "002d:Message table cannot be loaded" + '\0';
  EXPECT_NE(std::search(b.begin() + en, b.end(), entry45.begin(), entry45.end()), b.end());
  // The closing entry is the only one ending in two NULs.
  const std::string closing = "ffff:Function not available, doesn't exist, or illegal";
  EXPECT_EQ(std::string(b.end() - 2 - closing.size(), b.end() - 2), closing);
  EXPECT_EQ(b[b.size() - 1], 0);
  EXPECT_EQ(b[b.size() - 2], 0);
  EXPECT_EQ(b[b.size() - 3 - closing.size()], closing.size());
  EXPECT_EQ(b[en - 1], 0);
  EXPECT_EQ(b[en - 2], 0);
}

// The English block is pinned whole: its CRC-32 was computed from the published rows, so any
// changed byte of any English text, number or length shows here.
TEST_F(DataFiles, EnglishBlockIsPinned) {
  WriteBoth();
  const auto b = ReadBytes(msg_);
  ASSERT_EQ(b.size(), static_cast<std::size_t>(GermanLength() + 8 + 4977));
  const unsigned char* english = b.data() + b.size() - 4977;
  EXPECT_EQ(calc_crc32(english, 4977), 0xA1C08D5Cu);
  // The German block is our own wording; its seal only shows that a change was meant.
  EXPECT_EQ(calc_crc32(b.data(), static_cast<std::int32_t>(b.size() - 4977)), 0x2F7585B6u);
  const auto d = ReadBytes(def_);
  ASSERT_EQ(d.size(), 3068u);
  EXPECT_EQ(calc_crc32(d.data(), 3064), 0xA3361843u);  // the factory record's seal
}

TEST_F(DataFiles, WritingTwiceGivesTheSameFiles) {
  WriteBoth();
  const auto msg = ReadBytes(msg_), def = ReadBytes(def_);
  WriteBoth();
  EXPECT_EQ(ReadBytes(msg_), msg);
  EXPECT_EQ(ReadBytes(def_), def);
}

TEST_F(DataFiles, LoadEnvironmentAcceptsWhatTorqinitWrote) {
  WriteBoth();
  gLaguageId = 0x0409;
  ASSERT_EQ(LoadEnvironment((dir_ + "/torq4").c_str()), 0);
  EXPECT_EQ(GetLastTorqError(), 0);
  ASSERT_NE(gDefstr, nullptr);
  EXPECT_EQ(AnzMsg, 140);
  for (const ErrMsgRow& row : ErrMsg) {
    const MsgText& m = row.lang[kMsgColumnEnglish];
    if (m.nr == -1) continue;
    EXPECT_STREQ(FindMsgText(m.nr), m.text) << m.nr;
  }
  EXPECT_STREQ(FindMsgText(45), "Message table cannot be loaded");
  EXPECT_STREQ(FindMsgText(69), "***unknown***");
  EXPECT_STREQ(FindMsgText(0xFFFF), "***unknown***");
  EXPECT_STREQ(FindMsgText(1999), "***unknown***");
  EXPECT_STREQ(FindMsgText(2000), "attributes=%s");
  EXPECT_STREQ(FindMsgText(-1), "***unknown***");
}

TEST_F(DataFiles, EveryGermanEntryIsFoundByNumber) {
  WriteBoth();
  const std::uint16_t saved = gLaguageId;
  gLaguageId = 0x0407;
  ASSERT_EQ(LoadMessageTab(msg_.c_str()), 0);
  for (const ErrMsgRow& row : ErrMsg) {
    const MsgText& m = row.lang[kMsgColumnGerman];
    if (m.nr == -1) continue;
    EXPECT_STREQ(FindMsgText(m.nr), m.text) << m.nr;
  }
  EXPECT_STREQ(FindMsgText(47), "Default-Daten nicht erkannt");
  gLaguageId = 0x0C07;  // every German variant reads the German block
  ASSERT_EQ(LoadMessageTab(msg_.c_str()), 0);
  EXPECT_STREQ(FindMsgText(0), "TORQ erfolgreich beendet");
  gLaguageId = 0x0809;
  ASSERT_EQ(LoadMessageTab(msg_.c_str()), 0);
  EXPECT_STREQ(FindMsgText(0), "TORQ completetd successfully");
  gLaguageId = saved;
}

TEST_F(DataFiles, MessageLinesWithTheCatalogue) {
  WriteBoth();
  gLaguageId = 0x0409;
  ASSERT_EQ(LoadMessageTab(msg_.c_str()), 0);
  MsgSetPrefixSources([](std::tm* t) { *t = {}; t->tm_year = 126; t->tm_mon = 0; t->tm_mday = 2;
                                       t->tm_hour = 3; t->tm_min = 4; t->tm_sec = 5; },
                      [] { return std::uint32_t{0x00FF0042}; });
  gMsgLfdNr = 1;
  testing::internal::CaptureStderr();
  MsgPutError(2, 45);
  MsgPutError(1, 105);
  MsgPut(105);
  MsgPut(369, 7);
  MsgPut(81, "abc", "def");
  MsgList(1124, "75.00");
  const std::string out = testing::internal::GetCapturedStderr();
  MsgSetPrefixSources(nullptr, nullptr);
  EXPECT_EQ(out,
            "2026-01-02 03:04:05 00420001 *ERROR*  45: Message table cannot be loaded\n"
            "2026-01-02 03:04:05 00420002 *WARN*  105: No delimiter at end of file\n"
            "2026-01-02 03:04:05 00420003 No delimiter at end of file\n"
            "2026-01-02 03:04:05 00420004 Member number: 0007\n"
            "2026-01-02 03:04:05 00420005 Unknown argument or qualifier: abcdef\n"
            "Compression efficiency: 75.00%\n");
}

// Damage of every kind gives 45 (or -1 when there is no file) and leaves nothing loaded.
class CatalogueCorruption : public DataFiles {
 protected:
  void SetUp() override {
    DataFiles::SetUp();
    WriteBoth();
    good_ = ReadBytes(msg_);
    de_ = static_cast<std::size_t>(GermanLength()) + 8;
    gLaguageId = 0x0409;
  }
  int Load(const std::vector<unsigned char>& bytes) {
    WriteBytes(msg_, bytes.data(), bytes.size());
    return LoadMessageTab(msg_.c_str());
  }
  // The offset of the English entry of a number.
  std::size_t EnglishEntry(const char* digits) {
    const std::string key = std::string(digits) + ":";
    auto it = std::search(good_.begin() + de_, good_.end(), key.begin(), key.end());
    return static_cast<std::size_t>(it - good_.begin()) - 1;
  }
  std::vector<unsigned char> good_;
  std::size_t de_ = 0;
};

TEST_F(CatalogueCorruption, EveryTruncation) {
  ASSERT_EQ(Load(good_), 0);
  for (std::size_t n = 0; n < good_.size(); ++n) {
    std::vector<unsigned char> cut(good_.begin(), good_.begin() + n);
    ASSERT_EQ(Load(cut), 45) << n;
    ASSERT_EQ(ErrorMap, nullptr);
    ASSERT_EQ(gTorqMsgText, nullptr);
    ASSERT_EQ(GetLastTorqError(), 45);
    ASSERT_STREQ(GetLastTorqErrorHint(), msg_.c_str());
  }
}

TEST_F(CatalogueCorruption, EveryFlippedByteIsRefusedOrHarmless) {
  for (std::size_t i = 0; i < good_.size(); ++i) {
    auto bad = good_;
    bad[i] ^= 0xFF;
    const int rc = Load(bad);
    ASSERT_TRUE(rc == 0 || rc == 45) << i << " gave " << rc;
    if (rc == 0) {
      // Only a text byte can change harmlessly; the lookups stay inside the loaded block.
      for (const ErrMsgRow& row : ErrMsg) ASSERT_NE(FindMsgText(row.lang[1].nr), nullptr);
    }
  }
}

TEST_F(CatalogueCorruption, StructuralDamage) {
  const std::size_t en = de_;
  const std::size_t e45 = EnglishEntry("002d");
  const std::size_t e81 = EnglishEntry("0051");
  const std::size_t e2 = EnglishEntry("0002");
  const std::size_t last = good_.size() - 2 - std::strlen("ffff:Function not available, doesn't exist, or illegal") - 1;
  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> damage;
  };
  auto setWord = [](std::vector<unsigned char>& b, std::size_t at, unsigned v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
  };
  const std::vector<Case> cases = {
      {"first length + 1", [&](auto& b) { setWord(b, 0, Word(good_, 0) + 1); }},
      {"first length - 1", [&](auto& b) { setWord(b, 0, Word(good_, 0) - 1); }},
      {"first length 0", [&](auto& b) { setWord(b, 0, 0); }},
      {"first length 7", [&](auto& b) { setWord(b, 0, 7); }},
      {"first length 0xffff", [&](auto& b) { setWord(b, 0, 0xFFFF); }},
      {"second length + 1", [&](auto& b) { setWord(b, en, Word(good_, en) + 1); }},
      {"second length - 1", [&](auto& b) { setWord(b, en, Word(good_, en) - 1); }},
      {"count 0", [&](auto& b) { setWord(b, en + 2, 0); }},
      {"count 0 in the other block", [&](auto& b) { setWord(b, 2, 0); }},
      {"count + 1", [&](auto& b) { setWord(b, en + 2, 141); }},
      {"count - 1", [&](auto& b) { setWord(b, en + 2, 139); }},
      {"count 0xffff", [&](auto& b) { setWord(b, en + 2, 0xFFFF); }},
      {"bad magic", [&](auto& b) { b[en + 8 + 6] = 'X'; }},
      {"first number not 0000", [&](auto& b) { b[en + 8 + 4] = '1'; }},
      {"entry length + 1", [&](auto& b) { b[e45] += 1; }},
      {"entry length - 1", [&](auto& b) { b[e45] -= 1; }},
      {"entry length negative", [&](auto& b) { b[e45] = 0x80; }},
      {"entry length 4", [&](auto& b) { b[e45] = 4; }},
      {"digit not hex", [&](auto& b) { b[e45 + 3] = 'g'; }},
      {"colon missing", [&](auto& b) { b[e45 + 5] = ';'; }},
      {"NUL inside a text", [&](auto& b) { b[e45 + 8] = 0; }},
      {"closing number not ffff", [&](auto& b) { b[last + 1] = 'e'; }},
      {"early closing number", [&](auto& b) { std::memcpy(&b[e45 + 1], "ffff", 4); }},
      {"closing NUL missing", [&](auto& b) { b[b.size() - 1] = 'x'; }},
      {"trailing byte", [&](auto& b) { b.push_back(0); }},
      {"byte before the file", [&](auto& b) { b.insert(b.begin(), 0); }},
      {"only one block", [&](auto& b) { b.resize(en); }},
      {"a conversion changed", [&](auto& b) { b[e81 + 6 + std::strlen("Unknown argument or qualifier: %")] = 'd'; }},
      {"%n smuggled in", [&](auto& b) { b[e81 + 6 + std::strlen("Unknown argument or qualifier: %")] = 'n'; }},
      {"a conversion added", [&](auto& b) { b[e2 + 6] = '%'; b[e2 + 7] = 's'; }},
      {"a conversion dropped", [&](auto& b) { b[e81 + 6 + std::strlen("Unknown argument or qualifier: ")] = 'x'; }},
      {"a dangling percent", [&](auto& b) { b[e2 + 6 + std::strlen("End of Fil")] = '%'; }},
      {"german block damaged", [&](auto& b) { b[8] = 0x80; }},
      {"last block one entry too short for TORQ", [&](auto& b) {
         // Header and one entry "0000:" with an empty text, ending the file: the check of the
         // first entry must stay inside it.
         const unsigned char tail[] = {16, 0, 1, 0, 'E', 'N', 'G', 9, 5, '0', '0', '0', '0', ':', 0, 0};
         b.resize(en);
         b.insert(b.end(), std::begin(tail), std::end(tail));
       }},
      {"empty file", [&](auto& b) { b.clear(); }},
      {"oversized file", [&](auto& b) { b.resize(2 * 65535 + 1, 0); }},
  };
  for (const Case& c : cases) {
    auto bad = good_;
    c.damage(bad);
    EXPECT_EQ(Load(bad), 45) << c.what;
    EXPECT_EQ(ErrorMap, nullptr) << c.what;
    EXPECT_STREQ(FindMsgText(45), "*ERROR* No MsgTab loaded***") << c.what;
  }
  EXPECT_EQ(Load(good_), 0);
  std::remove(msg_.c_str());
  EXPECT_EQ(LoadMessageTab(msg_.c_str()), -1);
  EXPECT_EQ(LoadMessageTab(dir_.c_str()), -1);  // a directory cannot be opened as a file
}

TEST_F(CatalogueCorruption, NoMemoryGivesMinusOne) {
  for (std::uint32_t n = 1; n <= 3; ++n) {
    rmHeapInjectFailure(n);
    EXPECT_EQ(LoadMessageTab(msg_.c_str()), -1) << n;
    rmHeapInjectFailure(0);
    EXPECT_EQ(ErrorMap, nullptr);
    EXPECT_EQ(gTorqMsgText, nullptr);
  }
  EXPECT_EQ(LoadMessageTab(msg_.c_str()), 0);
}

// The first load settles the language as soon as the file is open, even when its contents are
// then refused.
TEST_F(DataFiles, FirstLoadSettlesTheLanguageOnceTheFileIsOpen) {
  struct SavedVariable {
    const char* name;
    std::string value;
    bool set;
  };
  std::vector<SavedVariable> saved;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    saved.push_back({name, value ? value : "", value != nullptr});
    ::unsetenv(name);
  }
  ::setenv("LANG", "de_DE.UTF-8", 1);
  const std::uint16_t before = gLaguageId;

  gLaguageId = 0;
  EXPECT_EQ(LoadMessageTab((dir_ + "/missing.dat").c_str()), -1);
  EXPECT_EQ(gLaguageId, 0);  // nothing was opened
  const unsigned char junk[3] = {1, 2, 3};
  WriteBytes(msg_, junk, sizeof junk);
  EXPECT_EQ(LoadMessageTab(msg_.c_str()), 45);
  EXPECT_EQ(gLaguageId, 0x0407);

  gLaguageId = before;
  for (const SavedVariable& v : saved) {
    if (v.set)
      ::setenv(v.name, v.value.c_str(), 1);
    else
      ::unsetenv(v.name);
  }
}
