// Record matrices through nucopn, nuccmp and nucdcm with VR8: round trips over record counts,
// lengths, trailing repeats and both character codes, and corrupt VR8 chunks inside a matrix.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "nuc/matrix_buffer.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

constexpr int kVr8 = 2;

struct Coded {
  std::int32_t rc = -9;
  std::int32_t length = 0;
  std::int32_t kind = 1;
  Bytes block;
};

std::uint32_t Room(const std::vector<Bytes>& records) {
  std::uint32_t room = 0;
  for (const Bytes& r : records) room += static_cast<std::uint32_t>(r.size()) + 7;
  return room < 2048 ? 2048 : room;
}

Coded Compress(Context& ctx, const std::vector<Bytes>& records) {
  NucMatrixBuffer m(Room(records));
  Coded c;
  if (!m.Valid()) return c;
  for (const Bytes& r : records) {
    if (!m.Add(r)) return c;
  }
  m.Compress(ctx.slot, c.rc, c.length, c.kind);
  if (c.rc == 0) c.block.assign(m.CodedBlock(), m.CodedBlock() + c.length);
  return c;
}

// Decodes a coded matrix into a fresh buffer; returns rc and, on success, the records.
std::int32_t Decompress(Context& ctx, const Coded& c, std::int32_t count, std::uint32_t room,
                        std::vector<Bytes>& out) {
  NucMatrixBuffer m(room);
  if (!m.Valid() || c.block.size() > m.CodedCapacity()) return -99;
  std::memcpy(m.CodedBlock(), c.block.data(), c.block.size());
  std::memset(m.Buffer(), 0xDB, kNucDescriptorArea + m.DataSize());
  std::int32_t rc = 0;
  m.Decompress(ctx.slot, rc, static_cast<std::int32_t>(c.block.size()), c.kind, count);
  if (rc != 0) return rc;
  out.clear();
  for (int i = 0; i < count; ++i) {
    const auto r = m.Record(i);
    out.emplace_back(r.begin(), r.end());
  }
  return 0;
}

void RoundTrip(int charCode, const std::vector<Bytes>& records) {
  Context ctx(kVr8, charCode);
  ASSERT_EQ(ctx.rc, 0);
  const Coded c = Compress(ctx, records);
  ASSERT_EQ(c.rc, 0);
  std::vector<Bytes> back;
  ASSERT_EQ(Decompress(ctx, c, static_cast<std::int32_t>(records.size()), Room(records), back), 0);
  ASSERT_EQ(back.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) ASSERT_EQ(back[i], records[i]) << "record " << i;
}

Bytes RandomRecord(std::mt19937& rng, std::size_t length, int charCode) {
  const std::uint8_t space = charCode == 0 ? 0x40 : 0x20;
  const std::uint8_t zero = charCode == 0 ? 0xF0 : 0x30;
  const std::uint8_t upperA = charCode == 0 ? 0xC1 : 0x41;
  Bytes r(length);
  const int shape = static_cast<int>(rng() % 5);
  for (std::size_t i = 0; i < length; ++i) {
    switch (shape) {
      case 0: r[i] = static_cast<std::uint8_t>(rng()); break;
      case 1: r[i] = rng() % 3 == 0 ? space : static_cast<std::uint8_t>(zero + rng() % 10); break;
      case 2: r[i] = static_cast<std::uint8_t>(rng() % 3); break;
      case 3: r[i] = rng() % 5 == 0 ? space : static_cast<std::uint8_t>(upperA + rng() % 9); break;
      default: r[i] = i % 7 == 0 ? 0x00 : static_cast<std::uint8_t>('a' + i % 5); break;
    }
  }
  if (length > 0 && rng() % 2) {  // a trailing repeat
    const std::size_t tail = rng() % (length + 1);
    const std::uint8_t fill = rng() % 2 ? space : static_cast<std::uint8_t>(rng());
    std::fill(r.end() - static_cast<std::ptrdiff_t>(tail), r.end(), fill);
  }
  return r;
}

TEST(Vr8Matrix, WorkedMatrix) {
  for (int code = 0; code < 2; ++code) {
    RoundTrip(code, {Text("hello world"), Text("hi"), Text("hello there!!!!!"), Text("abc")});
  }
}

TEST(Vr8Matrix, RandomMatrices) {
  std::mt19937 rng(808);
  for (int iteration = 0; iteration < 300; ++iteration) {
    const int code = static_cast<int>(rng() % 2);
    const int n = 1 + static_cast<int>(rng() % 255);
    const std::size_t maxLength = rng() % 4 == 0 ? 2000 : 120;
    const bool sameLength = rng() % 4 == 0;
    const std::size_t fixed = rng() % maxLength;
    std::vector<Bytes> records;
    for (int i = 0; i < n; ++i)
      records.push_back(RandomRecord(rng, sameLength ? fixed : rng() % maxLength, code));
    SCOPED_TRACE(::testing::Message() << "iteration " << iteration << " n " << n);
    RoundTrip(code, records);
  }
}

TEST(Vr8Matrix, RecordCountsOneTo255) {
  std::mt19937 rng(1);
  for (int n : {1, 2, 3, 4, 7, 8, 9, 64, 127, 128, 254, 255}) {
    std::vector<Bytes> cards;
    for (int i = 0; i < n; ++i) cards.push_back(RandomRecord(rng, 80, 0));
    SCOPED_TRACE(n);
    RoundTrip(0, cards);
  }
}

TEST(Vr8Matrix, LongRecords) {
  std::mt19937 rng(7);
  for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 2047u, 2048u, 2049u, 4096u, 20000u, 32764u}) {
    SCOPED_TRACE(length);
    RoundTrip(1, {RandomRecord(rng, length, 1)});
    RoundTrip(0, {Repeat(0x40, length)});
    RoundTrip(1, {RandomRecord(rng, length, 1), RandomRecord(rng, length / 2, 1),
                  RandomRecord(rng, 32764, 1)});
  }
}

TEST(Vr8Matrix, SameAndEmptyRecords) {
  for (int code = 0; code < 2; ++code) {
    RoundTrip(code, std::vector<Bytes>(255, Text("same record")));
    RoundTrip(code, std::vector<Bytes>(255, Bytes{}));
    std::vector<Bytes> records;
    for (int i = 0; i < 255; ++i) records.push_back(Cat({Text("rec"), Repeat('0' + i % 10, i % 40)}));
    RoundTrip(code, records);
  }
}

TEST(Vr8Matrix, TrailingRepeats) {
  std::vector<Bytes> records;
  for (std::size_t tail = 0; tail < 255; ++tail) records.push_back(Cat({Text("x"), Repeat('#', tail)}));
  RoundTrip(1, records);
  std::vector<Bytes> longTails;
  for (std::size_t tail : {253u, 254u, 255u, 256u, 257u, 300u, 1000u, 32764u}) {
    longTails.push_back(Repeat('#', tail));
    longTails.push_back(Cat({Text("ab"), Repeat(0x40, tail > 32762 ? 32762 : tail)}));
  }
  RoundTrip(0, longTails);
}

// A corrupt chunk inside a matrix ends decoding with the VR8 return code, unchanged.
TEST(Vr8Matrix, CorruptChunksPassTheirCodeUp) {
  Context ctx(kVr8, 1);
  ASSERT_EQ(ctx.rc, 0);
  const std::vector<Bytes> records = {Text("ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
                                      Text("0123456789012345678901234567890123")};
  const Coded c = Compress(ctx, records);
  ASSERT_EQ(c.rc, 0);
  // The first chunk is the header planes; the second holds the columns.
  const std::size_t header = 2 + static_cast<std::size_t>((c.block[0] << 8) | c.block[1]);
  ASSERT_LT(header + 2, c.block.size());
  std::vector<Bytes> back;
  {
    Coded bad = c;
    bad.block[header + 2] = 0x00;  // first bit 0
    EXPECT_EQ(Decompress(ctx, bad, 2, Room(records), back), 60);
  }
  {
    Coded bad = c;
    bad.block[2] = 0x7F;  // header chunk's first bit 0
    EXPECT_EQ(Decompress(ctx, bad, 2, Room(records), back), 60);
  }
}

// One record of the letters A to T: its data chunk is the worked piece 89 FE 0B 0A ... 78 40.
// Changed as in the piece tests, it fails with the pool decoder's code inside the matrix too.
TEST(Vr8Matrix, PoolCodesPassUp) {
  Context ctx(kVr8, 1);
  const std::vector<Bytes> records = {Text("ABCDEFGHIJKLMNOPQRST")};
  const Coded c = Compress(ctx, records);
  ASSERT_EQ(c.rc, 0);
  const Bytes piece = Of({0x89, 0xFE, 0x0B, 0x0A, 0x96, 0xFA, 0xE9, 0x51, 0xBA, 0x9D, 0xF3, 0x4B,
                          0xAA, 0x81, 0xF6, 0x1C, 0x4A, 0x2F, 0xE9, 0x78, 0x40});
  const std::size_t entry = 2 + static_cast<std::size_t>((c.block[0] << 8) | c.block[1]);
  ASSERT_EQ(c.block.size(), entry + 2 + piece.size());
  ASSERT_EQ(Bytes(c.block.begin() + static_cast<long>(entry) + 2, c.block.end()), piece);
  auto withPiece = [&](const Bytes& p) {
    Coded bad = c;
    bad.block.resize(entry);
    bad.block.push_back(static_cast<std::uint8_t>(p.size() >> 8));
    bad.block.push_back(static_cast<std::uint8_t>(p.size()));
    bad.block.insert(bad.block.end(), p.begin(), p.end());
    return bad;
  };
  std::vector<Bytes> back;
  Bytes version = piece;
  version[2] |= 0x20;
  EXPECT_EQ(Decompress(ctx, withPiece(version), 1, 2048, back), 70);
  EXPECT_EQ(Decompress(ctx, withPiece(Cat({piece, Of({0xFF, 0xFF})})), 1, 2048, back), 73);
  EXPECT_EQ(Decompress(ctx, withPiece(Bytes(piece.begin(), piece.end() - 3)), 1, 2048, back), 74);
  ASSERT_EQ(Decompress(ctx, withPiece(piece), 1, 2048, back), 0);
  EXPECT_EQ(back[0], records[0]);
}

// A data chunk that decodes to more than the room after it is refused by the VR8 decoder.
TEST(Vr8Matrix, ChunkLongerThanTheRoomIsRefused) {
  Context ctx(kVr8, 1);
  Coded c;
  c.kind = 0;
  // One record of 4 data bytes: the entry 00 08 00 00 coded as a literal of 4 (83 F0 and the
  // stored pool), then a chunk with a run of 2134 spaces (8E FF FF and the pool byte 20).
  c.block = Of({0x00, 0x06, 0x83, 0xF0, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0x8E, 0xFF, 0xFF,
                0x20});
  std::vector<Bytes> back;
  EXPECT_EQ(Decompress(ctx, c, 1, 2048, back), 60);
  // The same record with a chunk of a run of 4 spaces (85 F0 20) decodes.
  c.block = Of({0x00, 0x06, 0x83, 0xF0, 0x00, 0x08, 0x00, 0x00, 0x00, 0x03, 0x85, 0xF0, 0x20});
  ASSERT_EQ(Decompress(ctx, c, 1, 2048, back), 0);
  EXPECT_EQ(back[0], Text("    "));
}

}  // namespace
