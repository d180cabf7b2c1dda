// The ADC coder: worked streams byte for byte, keys, blocks, and round trips through the decoder.
#include <gtest/gtest.h>

#include <cstring>

#include "coders/adc_coder.h"
#include "coders/adc_coder_steps.h"
#include "coders_test_util.h"

namespace {

// Codes input (room: no bound unless given) and checks that the 4 bytes behind it come back.
// Empty when the coder gave up.
Bytes Code(AdcContext*& ctx, const Bytes& input, std::uint32_t room = 1u << 18) {
  Bytes in(input);
  const Bytes tail = {0x11, 0x22, 0x33, 0x44};
  in.insert(in.end(), tail.begin(), tail.end());
  Bytes out(std::min<std::size_t>(room, 1u << 18) + 3);
  const std::int32_t coded = adc::encode(ctx->coder, in.data(),
                                         static_cast<std::int32_t>(input.size()), out.data(), room);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), in.end() - 4)) << "tail not restored";
  EXPECT_TRUE(std::equal(input.begin(), input.end(), in.begin()));
  if (coded < 0) return {};
  out.resize(static_cast<std::size_t>(coded));
  return out;
}

Bytes Decode(AdcContext*& ctx, const Bytes& code, std::uint32_t room) {
  Bytes out(room + 8);
  std::int32_t rc = -9;
  std::uint32_t inLength = static_cast<std::uint32_t>(code.size());
  std::int32_t outLength = -1;
  trqadcd(ctx, rc, code.data(), inLength, out.data(), outLength, room);
  EXPECT_EQ(rc, 0);
  if (rc != 0 || outLength < 0) return {};
  out.resize(static_cast<std::size_t>(outLength));
  return out;
}

struct StreamCase {
  const char* name;
  Bytes input;
  const char* code;
};

TEST(AdcCoder, WorkedStreams) {
  const StreamCase cases[] = {
      {"one byte", Text("A"), "41 F0 00"},
      {"two bytes", Text("AB"), "41 80 FF 80"},
      {"copy into itself", Text("AAAA"), "41 F0 7C 00"},
      {"sixteen A", Repeat("A", 16), "41 DA 83 E0 00"},
      {"period two", Text("ABABABAB"), "41 80 FE 80 BC 00"},
      {"predictions and disturbances", Text("AxAyAzAwAvAuA"),
       "41 81 F8 1F 08 1C 06 72 07 E2 80 3F 28 F0 00"},
  };
  AdcContextHolder h(1);
  for (const auto& c : cases) {
    EXPECT_EQ(Code(h.ctx, c.input), Hex(c.code)) << c.name;
  }
}

}  // namespace
