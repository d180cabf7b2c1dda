#include <gtest/gtest.h>

#include "coders/adc_context.h"
#include "coders_test_util.h"

namespace {

struct Decoded {
  std::int32_t rc;
  std::uint32_t consumed;
  Bytes out;
};

Decoded Decode(const Bytes& code, std::uint32_t room) {
  AdcContextHolder h;
  Decoded d{-99, static_cast<std::uint32_t>(code.size()), Bytes(room + 16, 0xCD)};
  std::int32_t produced = -1;
  trqadcd(h.ctx, d.rc, code.data(), d.consumed, d.out.data(), produced, room);
  // Nothing may land past the room.
  for (std::size_t i = room; i < d.out.size(); ++i) EXPECT_EQ(d.out[i], 0xCD) << i;
  d.out.resize(d.rc == 0 ? static_cast<std::size_t>(produced) : 0);
  return d;
}

struct Vector {
  const char* name;
  const char* code;
  Bytes expected;
};

Bytes Zipped() {
  Bytes b = Hex("1F A2 C3");
  b.insert(b.end(), 200, 'x');
  return b;
}

TEST(AdcDecoder, WorkedStreams) {
  const Vector vectors[] = {
      {"one byte", "41 F0 00", Text("A")},
      {"two literals", "41 80 FF 80", Text("AB")},
      {"phrase copy into its own output", "41 F0 7C 00", Text("AAAA")},
      {"sixteen", "41 DA 83 E0 00", Repeat("A", 16)},
      {"period two", "41 80 FE 80 BC 00", Text("ABABABAB")},
      {"predictions and disturbances", "41 81 F8 1F 08 1C 06 72 07 E2 80 3F 28 F0 00",
       Text("AxAyAzAwAvAuA")},
      {"inflate fails, ADC code follows", "1F 8B 08 01 FE F8 00 A8 3E 00", Zipped()},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.name);
    const Bytes code = Hex(v.code);
    for (std::uint32_t room : {static_cast<std::uint32_t>(v.expected.size()), 70000u}) {
      const Decoded d = Decode(code, room);
      EXPECT_EQ(d.rc, 0);
      EXPECT_EQ(d.out, v.expected);
      EXPECT_EQ(d.consumed, code.size());
    }
  }
}

// A bit string ("0100 0001 ..."), padded with zero bits to whole bytes.
Bytes Bits(std::string_view text) {
  Bytes out;
  int n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= static_cast<std::uint8_t>(0x80 >> (n % 8));
    ++n;
  }
  return out;
}

std::string Zeros(int n) { return std::string(static_cast<std::size_t>(n), '0'); }

// n class growths (each a phrase value 0 without extension), then a reference to entry 1 and
// the end code, after the first byte 'A'.
std::string Growths(int n) {
  static constexpr int order[] = {3, 0, 7, 2, 1, 4, 5, 6};
  int widthOfClass0 = 2;
  int g = 1;
  std::string bits = "01000001";
  for (int i = 0; i < n; ++i) {
    bits += "0 0000" + Zeros(widthOfClass0);
    if (g == 0) ++widthOfClass0;
    g = order[g];
  }
  bits += "0 0000" + Zeros(widthOfClass0 - 1) + "1";
  bits += "1111 0000" + Zeros(widthOfClass0);
  return bits;
}

TEST(AdcDecoder, DamagedStreamsAndTheirNeighbours) {
  const std::string a = "01000001";
  const std::string fiveNarrow = "10 10000 0 10000 0 10000 0 10000 0 10000 0";
  const std::string fiveWide = "10 0000 0000000 0 100000 0 100000 0 100000 0 100000 0";
  // "AB", a copy of 2 at distance 2, its prediction taken, then a continuation code.
  const std::string predicted =
      a + "10 0000 0011111 1" + "110 11 0000000010 0001";
  // 'A', 199 more by a copy of distance 1 (its prediction reaches past the table entries),
  // then a run-form reference to entry 1.
  const std::string runForm =
      a + "1110 11 0000000001 111 0010010111" + "110 00 0000 01";
  struct Case {
    const char* name;
    Bytes code;
    std::uint32_t room;
    std::int32_t rc;
    Bytes out;
  } cases[] = {
      {"end code", Bits(a + "1111 0000 00"), 8, 0, Text("A")},
      {"copy of distance 0", Bits(a + "1110 11 0000000000 0001"), 8, 60, {}},
      {"copy from before the start", Bits(a + "1110 11 0000000101 0001"), 8, 60, {}},
      {"copy distance flag 10", Bits(a + "1110 10"), 8, 60, {}},
      {"phrase entry 1", Bits(a + "0 0000 01 1111 0000 00"), 8, 0, Text("AAA")},
      {"phrase entry not yet made", Bits(a + "0 0000 10 1111 0000 00"), 8, 60, {}},
      {"sixth narrow literal 00000", Bits(a + fiveNarrow + "00000"), 8, 60, {}},
      {"sixth wide literal 0000 before 0", Bits(a + fiveWide + "0000 0"), 8, 60, {}},
      {"sixth wide literal 0000 before 1 ends the run",
       Bits(a + fiveWide + "0000 111 0000 00"), 8, 0, Hex("41 9C 40 40 40 40")},
      {"prediction not continued", Bits(predicted + "00 1111 0000 00"), 8, 0,
       Text("ABABAB")},
      {"prediction continued shorter by 1", Bits(predicted + "01 1 0" + "00 1111 0000 00"), 8, 0,
       Text("ABABABA")},
      {"continuation to a negative length", Bits(predicted + "01 1 1011"), 8, 60, {}},
      {"run form scan reaching the cursor", Bits(runForm), 400, 60, {}},
      {"output past the room", Hex("41 DA 83 E0 00"), 15, 60, {}},
      {"stream ends before the end code", Hex("41 DA 83"), 16, 60, {}},
      {"empty stream", {}, 16, 60, {}},
      {"64 class growths", Bits(Growths(64)), 8, 0, Text("AAA")},
      {"65 class growths", Bits(Growths(65)), 8, 60, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(c.code, c.room);
    EXPECT_EQ(d.rc, c.rc);
    EXPECT_EQ(d.out, c.out);
  }
}

}  // namespace
