#include "torqup/return_codes.h"

#include <gtest/gtest.h>

namespace {

TEST(ReturnCodes, OriginTagsNameTheirFile) {
  struct Case {
    std::uint32_t code, stripped;
    std::int32_t message;
  };
  const Case cases[] = {
      {0xA0000027u, 0xA0000027u, 1113}, {0xAFFFFFFFu, 0xAFFFFFFFu, 0},
      {0xE000001Fu, 0x0000001Fu, 1112}, {0xEFFFFFFFu, 0x0FFFFFFFu, 1112},
      {0xF0000027u, 0x00000027u, 1110}, {0xFFFFFFFFu, 0xFFFFFFFFu, 0},
      {0xC0000005u, 0x00000005u, 1114}, {0xD0000005u, 0x00000005u, 1115},
      {0x80000001u, 0x00000001u, 1270}, {0x80000000u, 0x80000000u, 0},
      {0x0000001Fu, 0x0000001Fu, 0},    {0x0F000002u, 0x0F000002u, 0},
  };
  for (const Case& c : cases) {
    std::int32_t code = static_cast<std::int32_t>(c.code);
    EXPECT_EQ(file_id(&code), c.message) << std::hex << c.code;
    EXPECT_EQ(static_cast<std::uint32_t>(code), c.stripped) << std::hex << c.code;
  }
}

TEST(ReturnCodes, ExitStatusKeepsFailuresVisible) {
  EXPECT_EQ(ExitStatusOf(0), 0);
  EXPECT_EQ(ExitStatusOf(31), 31);
  EXPECT_EQ(ExitStatusOf(1), 1);
  EXPECT_EQ(ExitStatusOf(999), 999 & 0xFF);
  EXPECT_EQ(ExitStatusOf(static_cast<std::int32_t>(0xA0000027u)), 0x27);
  EXPECT_EQ(ExitStatusOf(0x100), 255);
  EXPECT_EQ(ExitStatusOf(static_cast<std::int32_t>(0xF0000000u)), 255);
  EXPECT_EQ(ExitStatusOf(-3), 0xFD);
}

}  // namespace
