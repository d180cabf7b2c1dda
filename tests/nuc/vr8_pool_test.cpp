// VR8 tables and the literal pool code: worked pools, hand-made pool codes, return codes 70-74.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "nuc/vr8_pool.h"
#include "tests/nuc/vr8_test_support.h"

namespace {

using namespace vr8test;

TEST(Vr8Tables, RankTablesArePermutationsAndUnrankInvertsThem) {
  for (std::uint8_t code : {0, 1}) {
    const Tables& t = TablesFor(code);
    const std::set<std::uint8_t> rank(t.encode.begin(), t.encode.begin() + 256);
    const std::set<std::uint8_t> unrank(t.decode.begin(), t.decode.begin() + 256);
    EXPECT_EQ(rank.size(), 256u) << int(code);
    EXPECT_EQ(unrank.size(), 256u) << int(code);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(t.decode[t.encode[b]], b) << int(code);
  }
}

TEST(Vr8Tables, RankValues) {
  const Tables& a = TablesFor(1);
  EXPECT_EQ(a.encode['0'], 0x00);
  EXPECT_EQ(a.encode['1'], 0x80);
  EXPECT_EQ(a.encode['2'], 0x40);
  EXPECT_EQ(a.encode['3'], 0xC0);
  EXPECT_EQ(a.encode['4'], 0x20);
  EXPECT_EQ(a.encode['8'], 0x60);
  EXPECT_EQ(a.encode[' '], 0x08);
  EXPECT_EQ(a.encode['E'], 0x88);
  EXPECT_EQ(a.encode['A'], 0x58);
  EXPECT_EQ(a.encode[0xEF], 0xFF);  // the last rank
  const Tables& e = TablesFor(0);
  EXPECT_EQ(e.encode[0xF0], 0x00);
  EXPECT_EQ(e.encode[0xF8], 0x60);
  EXPECT_EQ(e.encode[0x40], 0x08);
  EXPECT_EQ(e.encode[0xC5], 0x88);
  EXPECT_EQ(e.encode[0x4B], 0x50);  // rank 10, the point
  EXPECT_EQ(e.encode[0xEF], 0xFF);
}

TEST(Vr8Tables, FoldUnfoldQuadAndZeroBytes) {
  for (std::uint8_t code : {0, 1}) {
    const Tables& t = TablesFor(code);
    for (int b = 0; b < 256; ++b) {
      const int expect = (b % 16 == 0) ? b : (b % 16 == 4) ? b + 4 : 0;
      EXPECT_EQ(t.encode[256 + b], expect) << b;
    }
    for (std::size_t i = 512; i < t.encode.size(); ++i) EXPECT_EQ(t.encode[i], 0) << i;
    for (int k = 0; k < 32; ++k) EXPECT_EQ(t.decode[256 + k], 16 * (k / 2) + 4 * (k % 2)) << k;
    for (int i = 288; i < 512; ++i) EXPECT_EQ(t.decode[i], 0) << i;
    for (int k = 0; k < 256; ++k) {
      EXPECT_EQ(t.decode[512 + 4 * k + 0], k & 0xC0);
      EXPECT_EQ(t.decode[512 + 4 * k + 1], (k << 2) & 0xC0);
      EXPECT_EQ(t.decode[512 + 4 * k + 2], (k << 4) & 0xC0);
      EXPECT_EQ(t.decode[512 + 4 * k + 3], (k << 6) & 0xC0);
    }
    for (std::size_t i = 1536; i < t.decode.size(); ++i) EXPECT_EQ(t.decode[i], 0) << i;
    // Every folded byte comes back through the unfold table.
    for (int b = 0; b < 256; ++b) {
      if ((b & 0x0B) == 0) {
        EXPECT_EQ(t.decode[256 + (t.encode[256 + b] >> 3)], b) << b;
      }
    }
  }
}

Bytes CodePool(const Bytes& pool, std::uint8_t code = 1) {
  Bytes buf(pool);
  buf.resize(pool.size() + 4, 0xEE);  // the coder's 4 bytes of room
  Bytes dst(4096, 0);
  std::uint16_t outLength = 0;
  torqflc(TablesFor(code).encode.data(), buf.data(), static_cast<std::int32_t>(pool.size()),
          dst.data(), outLength);
  dst.resize(outLength);
  return dst;
}

struct PoolResult {
  std::int32_t rc = 0;
  Bytes pool;
  Bytes beyond;  // the 3 bytes after the pool
};

// Decodes from an input of exactly its size; the output has the 3 bytes of room after the pool,
// preset to 0xEE.
PoolResult DecodePool(const Bytes& code, std::uint16_t poolLength, std::uint8_t charCode = 1) {
  Bytes in(code);
  Bytes out(std::size_t{poolLength} + 3, 0xEE);
  PoolResult r;
  torqfld(r.rc, TablesFor(charCode).decode.data(), in.data(),
          static_cast<std::uint16_t>(in.size()), out.data(), poolLength);
  r.pool.assign(out.begin(), out.begin() + poolLength);
  r.beyond.assign(out.begin() + poolLength, out.end());
  return r;
}

Bytes Alternate(std::size_t n, std::uint8_t a, std::uint8_t b) {
  Bytes p(n);
  for (std::size_t i = 0; i < n; ++i) p[i] = (i % 2 == 0) ? a : b;
  return p;
}

TEST(Vr8Pool, WorkedPools) {
  struct Case {
    const char* name;
    Bytes pool;
    Bytes code;
  };
  const Case cases[] = {
      {"digits", Text("0123456789012345"), Hex("00 06 BD 34 EC 5C 7F 4F 37 4F 28")},
      {"two-bit groups", Text("0011001100110011"), Hex("00 06 22 44 24 42 44 24 40")},
      {"letters A to T", Text("ABCDEFGHIJKLMNOPQRST"),
       Hex("0B 0A 96 FA E9 51 BA 9D F3 4B AA 81 F6 1C 4A 2F E9 78 40")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CodePool(c.pool), c.code) << c.name;
    const PoolResult r = DecodePool(c.code, static_cast<std::uint16_t>(c.pool.size()));
    EXPECT_EQ(r.rc, 0) << c.name;
    EXPECT_EQ(r.pool, c.pool) << c.name;
  }
}

TEST(Vr8Pool, RawLastGroupDropsItsFillBytes) {
  // '0' and 0xFF alternate: every difference is odd, so every group is raw. 18 bytes: 17
  // differences in 5 groups, the last with 3 fill bytes. 19 + 10 + 160 bits make 24 bytes; the
  // last 3 hold only fill.
  const Bytes pool = Alternate(18, '0', 0xFF);
  const Bytes code = CodePool(pool);
  EXPECT_EQ(code.size(), 21u);
  EXPECT_EQ(DecodePool(code, 18).pool, pool);
}

TEST(Vr8Pool, NoFillBytesNothingDropped) {
  // 17 bytes: 16 differences, 4 raw groups: 19 + 9 + 128 bits make 20 bytes, all kept.
  const Bytes pool = Alternate(17, '0', 0xFF);
  const Bytes code = CodePool(pool);
  EXPECT_EQ(code.size(), 20u);
  EXPECT_EQ(DecodePool(code, 17).pool, pool);
}

TEST(Vr8Pool, EqualBytesBecomeZeroGroups) {
  const Bytes pool(30, 'Q');
  const Bytes code = CodePool(pool);
  const PoolResult r = DecodePool(code, 30);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.pool, pool);
}

// Hand-made codes for a pool of 17 '0' bytes: first byte 0x00, check byte 0x30, 16 differences.
std::string Head17() { return "000 00000000 00110000 "; }

TEST(Vr8Pool, HandMadeCodes) {
  const std::string zeros16 = std::string(16 * 8, '0');
  const std::string z4 = "11011 11011 11011 11011 ";  // four single zero groups: all 16 arrived
  struct Case {
    const char* name;
    std::string bits;
    std::int32_t rc;
  };
  const Case cases[] = {
      {"raw with 6-bit count 4", Head17() + "00001 000100 " + zeros16, 0},
      {"raw with 6-bit count 0", Head17() + "00001 000000 " + zeros16, 73},
      {"raw with 6-bit count 5", Head17() + "00001 000101 " + zeros16 + std::string(32, '0'), 73},
      {"zero run of six groups, cut to 16 bytes", Head17() + "11010 00001", 0},
      {"zero runs of three and two groups, cut", Head17() + "11010 01 11010 1", 0},
      {"zero runs of two and two groups", Head17() + "11010 1 11010 1", 0},
      {"four one-zero-group codes", Head17() + "11011 11011 11011 11011", 0},
      {"raw code of four groups", Head17() + "00000 0001 " + zeros16, 0},
      {"raw code of five groups", Head17() + "00000 00001 " + zeros16 + std::string(32, '0'), 73},
      {"raw code of six groups", Head17() + "00000 000001 " + zeros16 + std::string(64, '0'), 73},
      {"ends after the check byte", Head17(), 72},
      {"zero run with five zero bits", Head17() + "11010 00000", 71},
      {"version 001", "001 00000000 00110000 11010 00001", 70},
      {"version 100", "100 00000000 00110000 11010 00001", 70},
      {"wrong check byte", "000 00000000 00110001 11010 00001", 74},
      {"zero run when nothing is expected", Head17() + z4 + "11010 1", 73},
      {"group when nothing is expected", Head17() + z4 + "11011", 73},
      {"7-bit group when nothing is expected", Head17() + z4 + "1111 0000001", 73},
      {"raw when nothing is expected", Head17() + z4 + "00001 000001 " + zeros16, 73},
  };
  for (const auto& c : cases) {
    const PoolResult r = DecodePool(Bits(c.bits), 17);
    EXPECT_EQ(r.rc, c.rc) << c.name;
    if (c.rc == 0) {
      EXPECT_EQ(r.pool, Bytes(17, '0')) << c.name;
    }
  }
}

// A code may lean on the zero bytes right after it (its dropped fill), but one that needs more
// than 8 of them is cut short and refused, even when zeros would rebuild the pool.
TEST(Vr8Pool, CodeReachingFarPastItsInput) {
  const Bytes head = Bits(Head17() + "00001 000100");  // 30 bits: 16 raw bytes follow
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ(DecodePool(head, 17).rc, 73);
  const Bytes withEight = Concat(head, Bytes(8, 0));  // the last 8 raw bytes lie past the input
  const PoolResult r = DecodePool(withEight, 17);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.pool, Bytes(17, '0'));
}

TEST(Vr8Pool, GroupWithNoRoomWritesNothing) {
  // 16 differences arrive raw; a further group code must leave the bytes after the pool alone.
  const std::string zeros16 = std::string(16 * 8, '0');
  for (const char* extra : {"11011", "1111 1111111 1111111 1111111 1111111", "01 1111 1111 1111 1111",
                            "0001 11111111"}) {
    const PoolResult r = DecodePool(Bits(Head17() + "00001 000100 " + zeros16 + extra), 17);
    EXPECT_EQ(r.rc, 73) << extra;
    EXPECT_EQ(r.beyond, Bytes(3, 0xEE)) << extra;
  }
}

TEST(Vr8Pool, PoolLengthOutsideItsRange) {
  const Bytes code = Hex("00 06 BD 34 EC 5C 7F 4F 37 4F 28");
  EXPECT_EQ(DecodePool(code, 15).rc, 73);
  EXPECT_EQ(DecodePool(code, 2049).rc, 73);
  EXPECT_EQ(DecodePool(code, 16).rc, 0);
}

TEST(Vr8Pool, BytesAfterTheInputUnchanged) {
  const Bytes cases[] = {
      Hex("00 06 BD 34 EC 5C 7F 4F 37 4F 28"),   // good
      Hex("20 06 BD 34 EC 5C 7F 4F 37 4F 28"),   // 70
      Hex("00 06 BD 34 EC 5C 7F 4F 37"),         // 74 or 73
      Bits("000 00000000 00110101"),              // 72
  };
  for (const auto& code : cases) {
    Bytes in(code);
    in.insert(in.end(), 8, kGuard);
    Bytes out(16 + 3);
    std::int32_t rc = 0;
    torqfld(rc, TablesFor(1).decode.data(), in.data(), static_cast<std::uint16_t>(code.size()),
            out.data(), 16);
    EXPECT_EQ(Bytes(in.begin() + static_cast<long>(code.size()), in.end()), Bytes(8, kGuard));
  }
}

// Both ways of rebuilding the pool bytes: the wide one where the processor has it, and the
// plain loop, which every other processor runs.
TEST(Vr8Pool, RandomRoundTrips) {
  struct Restore {
    bool wide = Vr8SelectWideRebuild(true);
    ~Restore() { Vr8SelectWideRebuild(wide); }
  } restore;
  for (const bool wide : {true, false}) {
    Vr8SelectWideRebuild(wide);
    std::mt19937 rng(3);
    for (int round = 0; round < 400; ++round) {
      const std::size_t len = 16 + rng() % (2048 - 15);
      Bytes pool(len);
      const int kind = static_cast<int>(rng() % 4);
      for (auto& b : pool) {
        if (kind == 0) b = static_cast<std::uint8_t>('0' + rng() % 10);
        else if (kind == 1) b = static_cast<std::uint8_t>(rng());
        else if (kind == 2) b = static_cast<std::uint8_t>(rng() % 2 ? 0xF0 + rng() % 10 : 0x40);
        else b = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : 'A' + rng() % 26);
      }
      const auto code = static_cast<std::uint8_t>(rng() % 2);
      const Bytes coded = CodePool(pool, code);
      const PoolResult r = DecodePool(coded, static_cast<std::uint16_t>(len), code);
      ASSERT_EQ(r.rc, 0) << round << (wide ? " wide" : " plain");
      ASSERT_EQ(r.pool, pool) << round << (wide ? " wide" : " plain");
    }
  }
}

}  // namespace
