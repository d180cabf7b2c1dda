#include "support/message_catalog.h"

#include <gtest/gtest.h>

TEST(MessageCatalog, HexToDecReadsLeadingHexDigits) {
  struct Case { const char* text; std::uint32_t value; };
  const Case cases[] = {{"002d:Message", 45}, {"ffff", 0xFFFF}, {"FfFf:", 0xFFFF}, {"", 0},
                        {":12", 0}, {"1g", 1}, {"123456789", 0x23456789}};
  for (const Case& c : cases) EXPECT_EQ(HexToDec(c.text), c.value) << c.text;
  EXPECT_EQ(HexToDec(nullptr), 0u);
}

TEST(MessageCatalog, ListMapHasTheLabelsFrom2000To2052) {
  for (int i = 0; i < kListMapRows - 1; ++i) EXPECT_EQ(ListMap[i].key, 2000 + i);
  EXPECT_EQ(ListMap[kListMapRows - 1].key, -1);
  EXPECT_EQ(ListMap[kListMapRows - 1].text, nullptr);
  EXPECT_STREQ(FindMsgText(2000), "attributes=%s");
  EXPECT_STREQ(FindMsgText(2011), "torqfile=%s");
  EXPECT_STREQ(FindMsgText(2014), "%s");
  EXPECT_STREQ(FindMsgText(2028), "messagefiel=%s");
  EXPECT_STREQ(FindMsgText(2052), "userio=%s");
  EXPECT_STREQ(FindMsgText(2053), "***unknown***");
  EXPECT_STREQ(FindMsgText(-1), "***unknown***");
}

TEST(MessageCatalog, FindEntryTxtStopsAtTheClosingRow) {
  const MapEntry map[] = {{1, "one"}, {0x10002, "wide"}, {7, "seven"}, {7, "again"},
                          {0x1FFFF, nullptr}, {8, "behind the end"}};
  EXPECT_STREQ(FindEntryTxt(map, 1), "one");
  EXPECT_STREQ(FindEntryTxt(map, 0x10002), "wide");
  EXPECT_STREQ(FindEntryTxt(map, 2), "***unknown***");  // all 32 bits are compared
  EXPECT_STREQ(FindEntryTxt(map, 7), "seven");
  EXPECT_STREQ(FindEntryTxt(map, 8), "***unknown***");
  EXPECT_STREQ(FindEntryTxt(map, 0x1FFFF), "***unknown***");
  EXPECT_STREQ(FindEntryTxt(nullptr, 1), "*ERROR* No MsgTab loaded***");
}

TEST(MessageCatalog, WithoutACatalogueNumbersBelow2000AskForIt) {
  FreeMessageTab();
  EXPECT_STREQ(FindMsgText(0), "*ERROR* No MsgTab loaded***");
  EXPECT_STREQ(FindMsgText(1999), "*ERROR* No MsgTab loaded***");
  EXPECT_STREQ(FindMsgText(2000), "attributes=%s");
}

TEST(MessageCatalog, MissingFileGivesMinusOneWithTheNameAsHint) {
  EXPECT_EQ(LoadMessageTab("/nonexistent/dir/torqmsg.dat"), -1);
  EXPECT_EQ(ErrorMap, nullptr);
  EXPECT_EQ(gTorqMsgText, nullptr);
}
