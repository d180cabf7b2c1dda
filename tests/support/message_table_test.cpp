#include "support/message_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/message_catalog_format.h"
#include "support/message_conversions.h"

TEST(MessageTable, RowsAscendBothNumbersEqualAndTheLastCloses) {
  ASSERT_EQ(kErrMsgRows, 140u);
  for (std::size_t i = 0; i < kErrMsgRows; ++i) {
    const ErrMsgRow& row = ErrMsg[i];
    EXPECT_EQ(row.lang[kMsgColumnGerman].nr, row.lang[kMsgColumnEnglish].nr) << i;
    if (i + 1 < kErrMsgRows) {
      EXPECT_GE(row.lang[1].nr, 0) << i;
      if (i > 0) {
        EXPECT_GT(row.lang[1].nr, ErrMsg[i - 1].lang[1].nr) << i;
      }
    }
  }
  EXPECT_EQ(ErrMsg[kErrMsgRows - 1].lang[0].nr, -1);
  EXPECT_EQ(ErrMsg[0].lang[0].nr, 0);
}

TEST(MessageTable, TextsArePlainAsciiAndFitAnEntry) {
  for (const ErrMsgRow& row : ErrMsg)
    for (const MsgText& m : row.lang) {
      const std::size_t n = std::strlen(m.text);
      EXPECT_LE(n, kMsgMaxTextLength) << m.nr;
      for (std::size_t k = 0; k < n; ++k)
        EXPECT_TRUE(m.text[k] >= 0x20 && m.text[k] <= 0x7E) << m.nr << " at " << k;
    }
  // The first entry of each block must read "0000:TORQ".
  EXPECT_EQ(std::strncmp(ErrMsg[0].lang[0].text, "TORQ", 4), 0);
  EXPECT_EQ(std::strncmp(ErrMsg[0].lang[1].text, "TORQ", 4), 0);
}

// Every German text takes the same arguments in the same order as its English twin.
TEST(MessageTable, GermanAndEnglishRowsTakeTheSameConversions) {
  for (const ErrMsgRow& row : ErrMsg) {
    char de[128], en[128];
    ASSERT_GE(MsgConversionTypes(row.lang[0].text, de), 0) << row.lang[0].nr;
    ASSERT_GE(MsgConversionTypes(row.lang[1].text, en), 0) << row.lang[1].nr;
    EXPECT_STREQ(de, en) << row.lang[0].nr << ": " << row.lang[0].text << " / " << row.lang[1].text;
  }
}

TEST(MessageTable, KeepsTheGivenTextsExactly) {
  struct Case { int nr; int column; const char* text; };
  const Case cases[] = {
      {0, 1, "TORQ completetd successfully"},
      {0, 0, "TORQ erfolgreich beendet"},
      {1, 0, "*ABEND* Programm agebrochen"},
      {45, 0, "Meldungstabelle kann nicht geladen werden"},
      {46, 0, "Meldungsdatei kann nicht geoeffnet werden"},
      {47, 0, "Default-Daten nicht erkannt"},
      {62, 0, "TORQFILE corruptedd"},
      {62, 1, "Length error"},
      {93, 0, "Org.indexed ist fuer eine Komprimatsdatei mit mehreren Dateien nicht erlaubt"},
      {93, 1, "No substitution characters in input file name"},
      {100, 0, "Torqcode ungleich ASCII / EBCDIC "},
      {340, 1, "Min. number of not decompressed records: %d "},
      {342, 0, "S K I P _ T O R Q  -  ueber fehlerhaften Block positionieren"},
      {342, 1, "S K I P _ T O R Q  -  position over corrupted block "},
      {1342, 0, "S K I P _ T O R Q  -  ueber fehlerhaften Block positionieren"},
      {343, 0, "mode = ADC"},
      {1126, 0, "TORQ (R) Version %d.%d.%d"},
      {1120, 0, "Anzahl komprimierte Saetze:%+14s"},
      {1121, 0, "Anzahl komprimierte Bytes:%+15s"},
      {1122, 0, "Anzahl unkomprimierte Saetze:%+12s"},
      {1123, 0, "Anzahl unkomprimierte Bytes:%+13s"},
      {1120, 1, "Number of compressed records:%+12s"},
      {-1, 0, "Funktion nicht verfuegbar / vorhanden / erlaubt"},
      {-1, 1, "Function not available, doesn't exist, or illegal"},
  };
  for (const Case& c : cases) {
    const ErrMsgRow* found = nullptr;
    for (const ErrMsgRow& row : ErrMsg)
      if (row.lang[c.column].nr == c.nr) found = &row;
    ASSERT_NE(found, nullptr) << c.nr;
    EXPECT_STREQ(found->lang[c.column].text, c.text) << c.nr;
  }
}

// The four statistics lines are 41 columns wide in each language.
TEST(MessageTable, StatisticsLinesAreFortyOneColumnsWide) {
  for (int nr = 1120; nr <= 1123; ++nr)
    for (int column : {0, 1}) {
      const char* text = nullptr;
      for (const ErrMsgRow& row : ErrMsg)
        if (row.lang[column].nr == nr) text = row.lang[column].text;
      ASSERT_NE(text, nullptr);
      char line[128];
      std::snprintf(line, sizeof line, text, "1.234");
      EXPECT_EQ(std::strlen(line), 41u) << nr << " " << column;
    }
}

TEST(MessageTable, BuiltinEnglishTextByNumber) {
  EXPECT_STREQ(BuiltinEnglishText(45), "Message table cannot be loaded");
  EXPECT_STREQ(BuiltinEnglishText(0xFFFF), "Function not available, doesn't exist, or illegal");
  EXPECT_EQ(BuiltinEnglishText(69), nullptr);
  EXPECT_EQ(BuiltinEnglishText(0x1FFFF), nullptr);
}

TEST(MessageConversions, CodesPerArgument) {
  struct Case { const char* text; int count; const char* codes; };
  const Case cases[] = {
      {"plain text", 0, ""},
      {"100%% done", 0, ""},
      {"%s", 1, "s"},
      {"Unknown argument or qualifier: %s%s", 2, "s,s"},
      {"Member number: %04d", 1, "d"},
      {"%+12s and %-3i", 2, "s,d"},
      {"%ld %lu %hhx %zu", 4, "ld,lu,hhx,zu"},
      {"%*d %.*s", 4, "*,d,*,s"},
      {"%4.2f%%", 1, "f"},
      {"%999d %.999s %-123.456f", 3, "d,s,f"},
      {"%p %c %X", 3, "p,c,X"},
  };
  for (const Case& c : cases) {
    char codes[64];
    EXPECT_EQ(MsgConversionTypes(c.text, codes), c.count) << c.text;
    EXPECT_STREQ(codes, c.codes) << c.text;
  }
}

TEST(MessageConversions, RefusesWhatCannotBeAFormat) {
  for (const char* text : {"50%", "%n", "%1$s", "%y", "%lllld", "abc %", "%-", "%9999d",
                           "%.9999d", "%999999999s", "%2147483647d", "%4.1234f"}) {
    char codes[64];
    EXPECT_EQ(MsgConversionTypes(text, codes), -1) << text;
  }
  char small[3];
  EXPECT_EQ(MsgConversionTypes("%s%s", small), -1);  // the codes do not fit
  EXPECT_EQ(MsgConversionTypes(nullptr, small), -1);
}

TEST(MessageConversions, SameTypesIgnoreFlagsAndWidths) {
  EXPECT_TRUE(SameConversionTypes("Number:%+12s", "Anzahl:%+14s"));
  EXPECT_TRUE(SameConversionTypes("%d", "%i"));
  EXPECT_TRUE(SameConversionTypes("no args", "keine Argumente %%"));
  EXPECT_FALSE(SameConversionTypes("%s", "%d"));
  EXPECT_FALSE(SameConversionTypes("%s %d", "%d %s"));
  EXPECT_FALSE(SameConversionTypes("%s", "%s%s"));
  EXPECT_FALSE(SameConversionTypes("%d", "%ld"));
  EXPECT_FALSE(SameConversionTypes("%n", "%n"));
}
