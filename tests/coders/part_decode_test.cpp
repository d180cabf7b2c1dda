#include <gtest/gtest.h>

#include "coders/adc_context.h"
#include "coders/deflate_part.h"
#include "coders_test_util.h"
#include "support/heap.h"

namespace {

Bytes Deflated(const Bytes& in) {
  Bytes out(in.size() + 64);
  z_stream* z = pvGzpOpn(1, 0, 6);
  // A room beyond the input, so that short inputs also give a complete stream.
  z->next_in = const_cast<Bytef*>(in.data());
  z->avail_in = static_cast<uInt>(in.size());
  z->next_out = out.data();
  z->avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(z, Z_FINISH), Z_STREAM_END);
  out.resize(z->total_out);
  fvGzpCls(z, 1);
  out.insert(out.begin(), {0x1F, 0x8B, 0x08});
  return out;
}

struct Part {
  std::int32_t rc;
  Bytes out;
};

Part DecodePart(const Bytes& code, std::uint32_t room) {
  AdcContextHolder h;
  Part p{-99, Bytes(room + 8, 0xCD)};
  std::uint32_t length = static_cast<std::uint32_t>(code.size());
  std::int32_t produced = -1;
  trqadcd(h.ctx, p.rc, code.data(), length, p.out.data(), produced, room);
  for (std::size_t i = room; i < p.out.size(); ++i) EXPECT_EQ(p.out[i], 0xCD);
  p.out.resize(p.rc == 0 ? static_cast<std::size_t>(produced) : 0);
  return p;
}

TEST(PartDecode, PrefixesAndTheirFallback) {
  const Bytes hello = Text("hello hello hello");
  const Bytes zipped = Deflated(hello);
  const Bytes fast = Hex("FF FA 51 05 68 65 6C 6C 6F 00");
  struct Case {
    const char* name;
    Bytes code;
    std::uint32_t room;
    std::int32_t rc;
    Bytes out;
  } cases[] = {
      {"deflate to its room", zipped, 17, 0, hello},
      {"deflate short of its room, not ADC code either", zipped, 18, 73, {}},
      {"deflate beyond its room", zipped, 16, 60, {}},
      {"fast LZ to its room", fast, 5, 0, Text("hello")},
      {"fast LZ short of its room", fast, 9, 73, {}},
      {"fast LZ of no bytes", Hex("FF FA 51 00"), 4, 60, {}},
      {"fast LZ without end token", Hex("FF FA 51 05 68 65"), 4, 60, {}},
      {"deflate prefix before ADC code", Hex("1F 8B 08 01 FE F8 00 A8 3E 00"), 203, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Part p = DecodePart(c.code, c.room);
    EXPECT_EQ(p.rc, c.rc);
    if (!c.out.empty()) {
      EXPECT_EQ(p.out, c.out);
    }
  }
}

TEST(PartDecode, ForeignContextAndNoMemory) {
  AdcContextHolder h;
  const Bytes zipped = Deflated(Text("abc"));
  Bytes out(8);
  std::int32_t rc = 0, produced = 0;
  std::uint32_t length = static_cast<std::uint32_t>(zipped.size());
  ForeignAdcContext foreign;
  trqadcd(foreign.ctx, rc, zipped.data(), length, out.data(), produced, 3);
  EXPECT_EQ(rc, -1);
  rmHeapInjectFailure(1);
  trqadcd(h.ctx, rc, zipped.data(), length, out.data(), produced, 3);
  rmHeapInjectFailure(0);
  EXPECT_EQ(rc, -1);
  trqadcd(h.ctx, rc, zipped.data(), length, out.data(), produced, 3);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + produced), Text("abc"));
}

}  // namespace
