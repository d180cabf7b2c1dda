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

}  // namespace
