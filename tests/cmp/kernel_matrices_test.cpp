// Matrices coded by the kernel go through the container and decode back to their records.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "cmp_test_util.h"
#include "nuc/kernel.h"
#include "nuc/matrix_buffer.h"

using namespace cmptest;

namespace {

class Kernel {
 public:
  Kernel(int mode, int charCode) { nucopn(slot, rc, 2, mode, charCode, 0); }
  ~Kernel() {
    std::int32_t r = 0, word = 0;
    if (slot) nuccls(slot, r, word);
  }
  NucContext* slot = nullptr;
  std::int32_t rc = -99;
};

std::vector<Bytes> Records(std::uint32_t seed, std::size_t count) {
  std::vector<Bytes> out;
  std::uint32_t x = seed;
  for (std::size_t i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    Bytes r(1 + (x >> 8) % 200, 0);
    for (std::size_t j = 0; j < r.size(); ++j) {
      x = x * 1103515245u + 12345u;
      r[j] = (x >> 20) % 5 == 0 ? static_cast<std::uint8_t>(' ') : static_cast<std::uint8_t>('a' + (x >> 8) % 8);
    }
    out.push_back(r);
  }
  return out;
}

TEST(KernelMatrices, HelloWorldIsTheWorkedExample) {
  Kernel k(0, 1);
  ASSERT_EQ(k.rc, 0);
  NucMatrixBuffer m(32768);
  ASSERT_TRUE(m.Add(B("HELLO")));
  ASSERT_TRUE(m.Add(B("WORLD")));
  std::int32_t rc = 0, length = 0, kind = 1;
  m.Compress(k.slot, rc, length, kind);
  ASSERT_EQ(rc, 0);
  const Bytes coded(m.CodedBlock(), m.CodedBlock() + length);
  EXPECT_EQ(coded, Segments({{0x07, 0x00, 0x00, 0x09, 0x09, 0x01, 0x02, 0x00, 0x00},
                             {0x09, 0x48, 0x57, 0x45, 0x4F, 0x4C, 0x52, 0x4C, 0x4C, 0x4F, 0x44}}));
  EXPECT_EQ(kind, 1);
}

TEST(KernelMatrices, RoundTrip) {
  for (int mode : {0, 1, 2}) {
    for (int charCode : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " code " << charCode);
      Kernel k(mode, charCode);
      ASSERT_EQ(k.rc, 0);
      const std::vector<Bytes> records = Records(static_cast<std::uint32_t>(mode * 2 + charCode + 1), 2000);
      std::vector<std::vector<Bytes>> matrices(1);
      ScratchDir dir;
      {
        Options o;
        o.modeWord = mode;
        o.charCode = charCode;
        o.blockSize = mode == 1 ? 4095 : 32767;
        Writer w(dir / "c", o);
        ASSERT_EQ(w.rc, 0);
        ASSERT_EQ(w.Header("records"), 0);
        auto m = std::make_unique<NucMatrixBuffer>(32768);
        auto put = [&]() {
          std::int32_t rc = 0, length = 0, kind = 1;
          m->Compress(k.slot, rc, length, kind);
          ASSERT_EQ(rc, 0);
          ASSERT_EQ(w.Put(Bytes(m->CodedBlock(), m->CodedBlock() + length), kind, m->Count()), 0);
          m->Clear();
        };
        for (const Bytes& r : records) {
          if (!m->Add(r)) {
            put();
            matrices.emplace_back();
            ASSERT_TRUE(m->Add(r));
          }
          matrices.back().push_back(r);
        }
        put();
        ASSERT_EQ(w.Close(), 0);
      }
      Reader r(dir / "c");
      ASSERT_EQ(r.rc, 0);
      for (const auto& expect : matrices) {
        ASSERT_EQ(r.Next(), 0);
        NucMatrixBuffer m(32768);
        std::int32_t rc = -99, length = 0, flag = 0, records = 0, bl = 0;
        cmpget(r.cb, rc, length, m.CodedBlock(), flag, records, bl, nullptr,
               static_cast<std::int32_t>(m.CodedCapacity()));
        ASSERT_EQ(rc, 0);
        ASSERT_EQ(records, static_cast<std::int32_t>(expect.size()));
        m.Decompress(k.slot, rc, length, flag, records);
        ASSERT_EQ(rc, 0);
        for (int i = 0; i < records; ++i) {
          const auto got = m.Record(i);
          ASSERT_EQ(Bytes(got.begin(), got.end()), expect[static_cast<std::size_t>(i)]);
        }
      }
      EXPECT_EQ(r.Next(), 2);
    }
  }
}

}  // namespace
