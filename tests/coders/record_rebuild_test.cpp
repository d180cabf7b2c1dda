#include <gtest/gtest.h>

#include "coders/record_rebuild.h"
#include "coders_test_util.h"

namespace {

using Lengths = std::vector<std::uint32_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

constexpr std::uint32_t kFill = 0x80000000u;
constexpr std::uint32_t Column(std::uint32_t c) { return c << 17; }
constexpr std::uint32_t Form(std::uint32_t f) { return f << 28; }

TEST(RecordRebuild, FormsAndFaults) {
  struct Case {
    const char* name;
    Lengths lengths;
    Bytes data;
    std::int32_t rc;
    Lengths rebuiltLengths;
    Bytes rebuilt;
  } cases[] = {
      {"vertical fill only", {kFill | Column(2) | 6, 6}, Cat({Text("ABCDEF"), Hex("41 42 AA AA AA 46")}),
       0, {6, 6}, Text("ABCDEFABCDEF")},
      {"fill run longer than the previous record",
       {kFill | Column(1) | 3, 5}, Cat({Text("ABC"), Hex("58 AA AA AA AA")}), 0, {3, 5},
       Text("ABCXBCXB")},
      {"previous record not longer than the column", {kFill | Column(2) | 2, 4},
       Cat({Text("AB"), Hex("58 59 AA AA")}), 0, {2, 4}, Cat({Text("ABXY"), Hex("AA AA")})},
      {"trailing marks with an empty record", {Form(6) | 'C', 0xEE, 'Z'}, Hex("41 42 EE 58 59 EE"),
       0, {3, 0, 3}, Text("ABCXYZ")},
      {"trailing mark missing", {Form(6) | 'C', 'Z'}, Hex("41 42 EE 58 59"), 60, {}, {}},
      {"trailing marks leave bytes over", {Form(6) | 'C'}, Hex("41 42 EE 58"), 60, {}, {}},
      {"leading marks, the last record takes the rest", {Form(5) | 'A', 'X'},
       Hex("EE 42 43 EE 59 5A 57"), 0, {3, 4}, Text("ABCXYZW")},
      {"leading marks leave bytes over", {Form(5) | 0xEE, 0xEE}, Text("AB"), 60, {}, {}},
      {"leading marks, a record after the data", {Form(5) | 'A', 'X'}, Hex("EE 42"), 60, {}, {}},
      {"one line", {Form(1) | Column(3) | 5}, Text("HELLO"), 0, {5}, Text("HELLO")},
      {"lines with vertical fill", {Form(1) | Column(1) | 0x10007, 99},
       Cat({Text("ABC\n"), Hex("58 AA AA")}), 0, {0x10007, 99}, Text("ABC\nXBC")},
      {"lines ended by 0x25", {Form(2) | Column(0) | 5}, Hex("41 25 AA 42 25"), 0, {5},
       Hex("41 25 41 42 25")},
      {"line above 255 bytes", {Form(1) | 256}, Repeat("x", 256), 60, {}, {}},
      {"more than 16384 lines", {Form(1) | 16385}, Repeat("\n", 16385), 60, {}, {}},
      {"form 3", {Form(3) | 1}, Text("A"), 60, {}, {}},
      {"form 4", {Form(4) | 1}, Text("A"), 60, {}, {}},
      {"form 7", {Form(7) | 1}, Text("A"), 60, {}, {}},
      {"records beyond the data", {kFill | 200, 200}, Text("ABCDEFGHIJ"), 60, {}, {}},
      {"packed field of 4 bytes", {(1u << 26) | (3u << 24) | Column(1) | 1, 0x12F34506},
       Text("-......"), 0, {1, 6}, Cat({Text("-."), Hex("F1 F2 F3 45"), Text(".")})},
      {"field of 3 bytes in a record too short", {(1u << 26) | (2u << 24) | Column(1) | 1, 0x11223302},
       Text("-.."), 0, {1, 0x11223302}, Text("-..")},
      {"field of 2 bytes", {(1u << 26) | (1u << 24) | Column(0) | 1, 0x11223302}, Text("-.."),
       0, {1, 2}, Cat({Text("-"), Hex("11 22")})},
      {"three single-byte fields",
       {(2u << 26) | (3u << 20) | (2u << 14) | (1u << 8) | 1, 0x11223308, 0x11223304},
       Text("-............"), 0, {1, 8, 4},
       Cat({Text("-..."), Hex("11"), Text("."), Hex("22 33"), Text("...."), Hex("11")})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lengths lengths = c.lengths;
    Bytes data = c.data;
    Bytes work(kRebuildWorkArea);
    std::int32_t rc = -1;
    const auto n = static_cast<std::int32_t>(lengths.size());
    const auto d = static_cast<std::int32_t>(data.size());
    TRQREBLD(rc, n, lengths.data(), d, data.data(), work.data());
    EXPECT_EQ(rc, c.rc);
    if (c.rc == 0) {
      EXPECT_EQ(lengths, c.rebuiltLengths);
      EXPECT_EQ(data, c.rebuilt);
    }
  }
}

}  // namespace
