// Names as messages show them: control bytes and bytes outside well-formed UTF-8 escaped,
// printable text (UTF-8 included) kept.
#include <gtest/gtest.h>

#include <string>

#include "torqup/shown_names.h"

namespace {

TEST(ShownNames, ControlBytesAreEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain/name.txt", "plain/name.txt"},
      {"C:\\data\\a.txt", "C:\\data\\a.txt"},
      {"e\x1b[31mx\ny.txt", "e\\x1b[31mx\\x0ay.txt"},
      {std::string("nul\0x", 5), "nul\\x00x"},
      {"tab\tdel\x7f", "tab\\x09del\\x7f"},
      {"gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80", "gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"c1 \xc2\x9b" "31m", "c1 \\xc2\\x9b31m"},          // a C1 control coded in UTF-8
      {"raw \x9b" "31m", "raw \\x9b31m"},                  // a raw C1 control byte
      {"latin1 \xe4", "latin1 \\xe4"},                    // a lead byte without continuation
      {"overlong \xc0\xaf \xe0\x80\xaf", "overlong \\xc0\\xaf \\xe0\\x80\\xaf"},
      {"surrogate \xed\xa0\x80", "surrogate \\xed\\xa0\\x80"},
      {"cut \xe2\x82", "cut \\xe2\\x82"},
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(ShownName(name), shown) << shown;
}

TEST(ShownNames, SlotTextUpToItsLength) {
  const std::uint8_t slot[] = {3, 'a', '\n', 'b', 'c', 0};
  EXPECT_EQ(ShownSlot(slot), "a\\x0ab");
}

}  // namespace
