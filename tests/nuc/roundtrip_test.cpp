#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "nuc/matrix_buffer.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

// A record of the given length drawn from a few shapes: text-like, digits, repeated bytes,
// with or without a trailing repeat.
Bytes RandomRecord(std::mt19937& rng, std::size_t length, int charCode) {
  const std::uint8_t space = charCode == 0 ? 0x40 : 0x20;
  const std::uint8_t zero = charCode == 0 ? 0xF0 : 0x30;
  Bytes r(length);
  const int shape = static_cast<int>(rng() % 4);
  for (std::size_t i = 0; i < length; ++i) {
    switch (shape) {
      case 0: r[i] = static_cast<std::uint8_t>(rng()); break;
      case 1: r[i] = rng() % 3 == 0 ? space : static_cast<std::uint8_t>(zero + rng() % 10); break;
      case 2: r[i] = static_cast<std::uint8_t>(rng() % 3); break;
      default: r[i] = i % 7 == 0 ? 0x00 : static_cast<std::uint8_t>('a' + i % 5); break;
    }
  }
  if (length > 0 && rng() % 2) {
    const std::size_t tail = rng() % (length + 1);
    const std::uint8_t fill = rng() % 2 ? space : static_cast<std::uint8_t>(rng());
    std::fill(r.end() - static_cast<std::ptrdiff_t>(tail), r.end(), fill);
  }
  return r;
}

void RoundTrip(int mode, int charCode, const std::vector<Bytes>& records, std::int32_t wantKind = -1) {
  Context ctx(mode, charCode);
  ASSERT_EQ(ctx.rc, 0);
  std::uint32_t room = 0;
  for (const Bytes& r : records) room += static_cast<std::uint32_t>(r.size()) + 7;
  NucMatrixBuffer m(room < 2048 ? 2048 : room);
  ASSERT_TRUE(m.Valid());
  for (const Bytes& r : records) ASSERT_TRUE(m.Add(r));
  std::int32_t rc = -9, length = 0, kind = 1;
  m.Compress(ctx.slot, rc, length, kind);
  ASSERT_EQ(rc, 0);
  ASSERT_LE(static_cast<std::uint32_t>(length), m.CodedCapacity());
  if (wantKind >= 0) {
    EXPECT_EQ(kind, wantKind);
  }
  // Scramble the record area so nothing of the input survives by chance.
  std::memset(m.Buffer(), 0xDB, kNucDescriptorArea + m.DataSize());
  m.Decompress(ctx.slot, rc, length, kind, static_cast<std::int32_t>(records.size()));
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(m.Count(), static_cast<std::int32_t>(records.size()));
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto got = m.Record(static_cast<int>(i));
    ASSERT_EQ(Bytes(got.begin(), got.end()), records[i]) << "record " << i;
    ASSERT_EQ(m.Descriptor(static_cast<int>(i)).position, 0);
    ASSERT_EQ(m.Descriptor(static_cast<int>(i)).repeatCount, 0);
  }
}

}  // namespace

TEST(RoundTrip, RandomMatrices) {
  std::mt19937 rng(2026);
  for (int iteration = 0; iteration < 300; ++iteration) {
    const int mode = static_cast<int>(rng() % 2);
    const int code = static_cast<int>(rng() % 2);
    const int n = 1 + static_cast<int>(rng() % 255);
    const std::size_t maxLength = rng() % 4 == 0 ? 2000 : 120;
    std::vector<Bytes> records;
    const bool sameLength = rng() % 4 == 0;
    const std::size_t fixed = rng() % maxLength;
    for (int i = 0; i < n; ++i)
      records.push_back(RandomRecord(rng, sameLength ? fixed : rng() % maxLength, code));
    SCOPED_TRACE(::testing::Message() << "iteration " << iteration << " mode " << mode << " n " << n);
    RoundTrip(mode, code, records);
  }
}

TEST(RoundTrip, LongRecords) {
  std::mt19937 rng(7);
  for (int mode = 0; mode < 2; ++mode) {
    for (std::size_t length : {0u, 1u, 2047u, 2048u, 2049u, 4096u, 20000u, 32764u}) {
      SCOPED_TRACE(length);
      RoundTrip(mode, 1, {RandomRecord(rng, length, 1)});
      RoundTrip(mode, 0, {Repeat(0x40, length)});
      RoundTrip(mode, 1, {RandomRecord(rng, length, 1), RandomRecord(rng, length / 2, 1),
                          RandomRecord(rng, 32764, 1)});
    }
  }
}

TEST(RoundTrip, SortedAndUnsortedMatrices) {
  for (int mode = 0; mode < 2; ++mode) {
    for (int code = 0; code < 2; ++code) {
      RoundTrip(mode, code, std::vector<Bytes>(255, Text("same record")), 0);
      RoundTrip(mode, code, std::vector<Bytes>(255, Bytes{}), 0);
      std::vector<Bytes> records;
      for (int i = 0; i < 255; ++i) records.push_back(Cat({Text("rec"), Repeat('0' + i % 10, i % 40)}));
      RoundTrip(mode, code, records, 1);
    }
  }
}

TEST(RoundTrip, TrailingRepeatsOfEveryLength) {
  for (int mode = 0; mode < 2; ++mode) {
    std::vector<Bytes> records;
    for (std::size_t tail = 0; tail < 255; ++tail) records.push_back(Cat({Text("x"), Repeat('#', tail)}));
    RoundTrip(mode, 1, records);
    std::vector<Bytes> longTails;
    for (std::size_t tail : {253u, 254u, 255u, 256u, 257u, 300u, 1000u}) {
      longTails.push_back(Repeat('#', tail));
      longTails.push_back(Cat({Text("ab"), Repeat(0x20, tail)}));
    }
    RoundTrip(mode, 1, longTails);
  }
}
