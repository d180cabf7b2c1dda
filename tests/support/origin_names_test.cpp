#include "support/origin_names.h"

#include <gtest/gtest.h>

TEST(OriginNames, SystemsMakersAndUnknownCodes) {
  struct Case { std::uint8_t first, second; const char* name; };
  const Case cases[] = {
      {0x00, 0xE0, "WINDOWS 9x/NT/200x/XP"},
      {0x00, 0x80, "MS-DOS"},
      {0x00, 0x00, "unknown"},
      {0x01, 0x05, "IBM DPPX/370"},
      {0x01, 0x09, "IBM"},                   // no system row: the maker
      {0x15, 0x01, "MOTOROLA 68000 XENIX"},  // system table numbering
      {0x15, 0x07, "INTEL Pentium"},         // maker table numbering
      {0x14, 0x07, "0714"},                  // in neither table
      {0x31, 0x10, "SEQUENT DYNIX/ptx"},
      {0x31, 0x20, "SYQUENT"},
  };
  for (const auto& c : cases) {
    const std::uint8_t pair[2] = {c.first, c.second};
    EXPECT_STREQ(GetBetriebsSystem(pair), c.name) << std::hex << int(c.first) << " " << int(c.second);
  }
  EXPECT_STREQ(GetHersteller(0xABCD), "abcd");
  EXPECT_STREQ(GetHersteller(0x0016), "MOTOROLA 68000");
}

TEST(OriginNames, TablesHaveTheirRowCounts) {
  int systems = 0, makers = 0;
  while (BsHerstellerMap[systems].key >= 0) ++systems;
  while (HerstellerMap[makers].key >= 0) ++makers;
  EXPECT_EQ(systems, 78);
  EXPECT_EQ(makers, 24);
}
