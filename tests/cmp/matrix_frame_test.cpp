// Matrix frames of the block coders: the worked frames, the damage a reader finds, and the
// refusals of lengths that cannot be framed.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cmp/cmp.h"
#include "cmp/matrix_frame.h"
#include "support/crc.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

CmpControlBlock FrameBlock() {
  CmpControlBlock cb{};
  cb.blockId = 0x12345678;
  cb.machineId = 0xEFEFEFEF;
  cb.prevFrameCrc = 0;
  return cb;
}

// A frame area: 26 prefix bytes, the data, and room behind for the chain CRC and end mark.
struct Area {
  Bytes bytes;
  std::uint8_t* frame() { return bytes.data(); }
  std::uint8_t* data() { return bytes.data() + kFramePrefix; }
};

Area MakeArea(const Bytes& data, std::uint32_t d, std::uint16_t partLength) {
  Area a;
  a.bytes.assign(kFramePrefix + data.size() + 64, 0);
  a.bytes[5] = static_cast<std::uint8_t>(d >> 16);
  a.bytes[6] = static_cast<std::uint8_t>(d >> 8);
  a.bytes[7] = static_cast<std::uint8_t>(d);
  a.bytes[24] = static_cast<std::uint8_t>(partLength >> 8);
  a.bytes[25] = static_cast<std::uint8_t>(partLength);
  std::copy(data.begin(), data.end(), a.data());
  return a;
}

Bytes Built(CmpControlBlock& cb, Area& a, std::uint32_t length) {
  const std::uint32_t n = BuildMatrixFrame(cb, a.frame(), length);
  return Bytes(a.bytes.begin(), a.bytes.begin() + n);
}

const Bytes kData = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};

TEST(MatrixFrame, WorkedFrames) {
  CmpControlBlock cb = FrameBlock();
  Area first = MakeArea(kData, 8, 3);
  EXPECT_EQ(Built(cb, first, 8),
            (Bytes{0x00, 0x00, 0x00, 0x26, 0x00, 0x00, 0x00, 0x08, 0x12, 0x34, 0x56, 0x78, 0x97, 0xFD,
                   0xDB, 0xB9, 0xDF, 0x32, 0xA1, 0x32, 0x72, 0x95, 0x9F, 0xFA, 0x11, 0xDB, 0x0D, 0xF8,
                   0x09, 0xD5, 0xB7, 0x01, 0x8E, 0x8C, 0x93, 0x9A, 0xC5, 0x9D, 0x54, 0x4F, 0x52, 0x51}));
  Area second = MakeArea(kData, 8, 3);
  const Bytes next = Built(cb, second, 8);
  EXPECT_EQ(Bytes(next.begin(), next.begin() + 8), (Bytes{0, 0, 0, 0x26, 0, 0, 0, 0x08}));
  EXPECT_EQ(Bytes(next.begin() + 8, next.end()),
            (Bytes{0x12, 0x34, 0x56, 0x79, 0x2D, 0xFB, 0xB7, 0x73, 0x1A, 0x3E, 0x84, 0x5A, 0x4A,
                   0x54, 0x07, 0xE7, 0xE9, 0x94, 0xF9, 0xED, 0x09, 0xDC, 0x18, 0x0B, 0xE1, 0x1B,
                   0xE0, 0x90, 0xF4, 0x89, 0x54, 0x4F, 0x52, 0x51}));
  CmpControlBlock empty = FrameBlock();
  Area none = MakeArea({}, 0, 0);
  EXPECT_EQ(Built(empty, none, 0),
            (Bytes{0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78,
                   0x97, 0xFD, 0xDB, 0xB9, 0x62, 0xE0, 0x0A, 0x3E, 0xFD, 0x89, 0x1E, 0x67,
                   0xE3, 0x1C, 0x85, 0x8B, 0x29, 0x4B, 0x54, 0x4F, 0x52, 0x51}));

  // Reading each restores the prefix bytes the coder wrote and the data; the chain follows.
  CmpControlBlock reader{};
  std::uint32_t length = 99;
  ASSERT_EQ(CheckMatrixFrame(reader, first.frame(), length, false), 0);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(Bytes(first.data(), first.data() + 8), kData);
  EXPECT_EQ(first.bytes[24] << 8 | first.bytes[25], 3);
  EXPECT_EQ(first.bytes[7], 8);
  ASSERT_EQ(CheckMatrixFrame(reader, second.frame(), length, false), 0);
  EXPECT_EQ(Bytes(second.data(), second.data() + 8), kData);
  EXPECT_EQ(reader.prevFrameCrc, cb.prevFrameCrc);
  ASSERT_EQ(CheckMatrixFrame(reader, none.frame(), length, false), 0);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(none.bytes[22] << 8 | none.bytes[23], 0);
}

// Whitening reaches the last 64 bytes only; a long frame comes back whole.
TEST(MatrixFrame, LongDataAndUnrotatedIds) {
  Bytes data(300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 1);
  CmpControlBlock cb = FrameBlock();
  cb.blockId = 0x40;  // low five bits 0: machine word not rotated
  Area a = MakeArea(data, 300, 7);
  const Bytes framed = Built(cb, a, 300);
  EXPECT_EQ(Bytes(framed.begin() + 12, framed.begin() + 16), (Bytes{0xEF, 0xEF, 0xEF, 0xAF}));
  CmpControlBlock reader{};
  std::uint32_t length = 0;
  ASSERT_EQ(CheckMatrixFrame(reader, a.frame(), length, false), 0);
  EXPECT_EQ(Bytes(a.data(), a.data() + 300), data);
}

TEST(MatrixFrame, DamageFound) {
  Bytes data(100);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i ^ 0x5A);
  CmpControlBlock writer = FrameBlock();
  Area clean = MakeArea(data, 100, 4);
  const std::uint32_t total = BuildMatrixFrame(writer, clean.frame(), 100);
  struct Case {
    std::uint32_t from, to;
    std::int32_t rc;
  };
  // Prefix bytes 4-17: the prefix CRC; 18 to 29 + L: the chain CRC; the end mark.
  const Case cases[] = {{4, 18, 64}, {18, 130, 63}, {total - 4, total, 11}};
  for (const Case& c : cases) {
    for (std::uint32_t at = c.from; at < c.to; ++at) {
      for (const std::uint8_t bit : {0x01, 0x80}) {
        Area a = clean;
        a.bytes[at] ^= bit;
        CmpControlBlock reader{};
        std::uint32_t length = 0;
        EXPECT_EQ(CheckMatrixFrame(reader, a.frame(), length, false), c.rc) << "byte " << at;
      }
    }
  }
  // An encrypted frame while no password is set.
  Area a = clean;
  CmpControlBlock reader{};
  std::uint32_t length = 0;
  EXPECT_EQ(CheckMatrixFrame(reader, a.frame(), length, true), 29);
}

// Byte 4 must agree with the crypt mode, K must hold the frame, and L of 1 to 3 is no frame.
TEST(MatrixFrame, FieldsOutsideTheirRange) {
  auto framed = [](std::uint32_t k, std::uint8_t byte4) {
    Area a;
    a.bytes.assign(200, 0);
    a.bytes[0] = static_cast<std::uint8_t>(k >> 24);
    a.bytes[1] = static_cast<std::uint8_t>(k >> 16);
    a.bytes[2] = static_cast<std::uint8_t>(k >> 8);
    a.bytes[3] = static_cast<std::uint8_t>(k);
    a.bytes[4] = byte4;
    std::uint16_t c16 = 0;
    const std::int32_t n = 16;
    torqcrc(a.bytes.data(), &n, &c16);
    a.bytes[16] = static_cast<std::uint8_t>(c16 >> 8);
    a.bytes[17] = static_cast<std::uint8_t>(c16);
    std::memcpy(a.bytes.data() + k, kFrameEndMark, 4);
    return a;
  };
  struct Case {
    const char* what;
    std::uint32_t k;
    std::uint8_t byte4;
    std::uint32_t cryptMode;
    std::int32_t rc;
  };
  const Case cases[] = {
      {"AES block without crypt mode 32", 64, 0x22, 0, 11},
      {"no AES block with crypt mode 32", 64, 0x00, 32, 11},
      {"K below the prefix", 29, 0x00, 0, 11},
      {"L of 1", 31, 0x00, 0, 11},
      {"L of 3", 33, 0x00, 0, 11},
      {"L of 4: reaches the chain CRC", 34, 0x00, 0, 63},
  };
  for (const Case& c : cases) {
    Area a = framed(c.k, c.byte4);
    CmpControlBlock reader{};
    reader.cryptMode = c.cryptMode;
    std::uint32_t length = 0;
    EXPECT_EQ(CheckMatrixFrame(reader, a.frame(), length, false), c.rc) << c.what;
  }
}

}  // namespace
