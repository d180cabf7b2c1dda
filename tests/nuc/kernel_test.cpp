#include <gtest/gtest.h>

#include <cstring>

#include "nuc/cx7.h"
#include "nuc/cx8.h"
#include "nuc/matrix.h"
#include "nuc/matrix_buffer.h"
#include "nuc/vr8.h"
#include "nuc_test_util.h"
#include "support/heap.h"

using namespace nuctest;

TEST(NucOpen, ChecksArgumentsInOrderWithoutTakingMemory) {
  struct Case {
    int direction, mode, code;
    std::int32_t rc;
  } cases[] = {{4, 5, 3, 20}, {-1, -1, -1, 20}, {0, 3, 2, 22}, {1, -1, 0, 22},
               {2, 1, 2, 26}, {3, 0, -1, 26}};
  for (const Case& c : cases) {
    NucContext* slot = reinterpret_cast<NucContext*>(0x1234);
    std::int32_t rc = 0;
    const std::uint32_t before = rmGetHeapCount();
    nucopn(slot, rc, c.direction, c.mode, c.code, 0);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(slot, reinterpret_cast<NucContext*>(0x1234));
    EXPECT_EQ(rmGetHeapCount(), before);
  }
}

TEST(NucOpen, NoMemoryGivesMinusOneAndANullSlot) {
  NucContext* slot = reinterpret_cast<NucContext*>(0x1234);
  std::int32_t rc = 0;
  rmHeapInjectFailure(1);
  nucopn(slot, rc, 0, 0, 0, 0);
  rmHeapInjectFailure(0);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(slot, nullptr);
}

TEST(NucOpen, RoutinesAndCharactersByDirection) {
  for (int mode = 0; mode < 3; ++mode) {
    for (int code = 0; code < 2; ++code) {
      Context dec(mode, code, 0), enc(mode, code, 1), both2(mode, code, 2), both3(mode, code, 3);
      ASSERT_EQ(dec.rc, 0);
      ASSERT_EQ(enc.rc, 0);
      EXPECT_EQ(dec.slot->self, dec.slot);
      EXPECT_EQ(dec.slot->compressBlock, nullptr);
      EXPECT_EQ(dec.slot->compressRecord, nullptr);
      EXPECT_NE(dec.slot->decompressBlock, nullptr);
      EXPECT_EQ(enc.slot->decompressBlock, nullptr);
      EXPECT_EQ(enc.slot->decompressRecord, nullptr);
      EXPECT_EQ(enc.slot->spaceChar, 0u);
      EXPECT_EQ(enc.slot->zeroChar, 0u);
      for (NucContext* both : {both2.slot, both3.slot}) {
        EXPECT_EQ(both->decompressBlock, dec.slot->decompressBlock);
        EXPECT_EQ(both->decompressRecord, dec.slot->decompressRecord);
        EXPECT_EQ(both->compressBlock, enc.slot->compressBlock);
        EXPECT_EQ(both->compressRecord, enc.slot->compressRecord);
        EXPECT_EQ(0, std::memcmp(both->decodeTables, dec.slot->decodeTables, kNucDecodeTablesSize));
        EXPECT_EQ(0, std::memcmp(both->encodeTables, enc.slot->encodeTables, kNucEncodeTablesSize));
        EXPECT_EQ(both->spaceChar, dec.slot->spaceChar);
        EXPECT_EQ(both->zeroChar, dec.slot->zeroChar);
      }
      EXPECT_EQ(dec.slot->compressionMode, mode);
      EXPECT_EQ(dec.slot->charCode, code);
      EXPECT_EQ(both3.slot->direction, 3);
      if (mode == 2) {
        EXPECT_EQ(dec.slot->spaceChar, 0u);
        EXPECT_EQ(dec.slot->zeroChar, 0u);
      } else {
        EXPECT_EQ(dec.slot->spaceChar, code == 0 ? 0x40u : 0x20u);
        EXPECT_EQ(dec.slot->zeroChar, code == 0 ? 0xF0u : 0x30u);
      }
    }
  }
}

TEST(NucOpen, RoutinesAndTablesByMode) {
  Context cx8(0, 1), cx7e(1, 0), cx7a(1, 1), vr8(2, 0);
  EXPECT_EQ(cx8.slot->compressBlock, nuccx8);
  EXPECT_EQ(cx8.slot->compressRecord, rlccx8);
  EXPECT_EQ(cx8.slot->decompressBlock, nudcx8);
  EXPECT_EQ(cx8.slot->decompressRecord, rldcx8);
  EXPECT_EQ(cx7e.slot->compressBlock, nuccx7);
  EXPECT_EQ(cx7e.slot->compressRecord, rlccx7);
  EXPECT_EQ(cx7e.slot->decompressBlock, nudcx7);
  EXPECT_EQ(cx7e.slot->decompressRecord, rldcx7e);
  EXPECT_EQ(cx7a.slot->decompressRecord, rldcx7a);
  EXPECT_EQ(vr8.slot->compressBlock, nuccx8);
  EXPECT_EQ(vr8.slot->compressRecord, rlcvr8);
  EXPECT_EQ(vr8.slot->decompressBlock, nudcx8);
  EXPECT_EQ(vr8.slot->decompressRecord, rldvr8);

  // CX8: the run-code table only; CX8 writes no decode table.
  std::uint8_t runCode[256];
  Cx8FillRunCodeTable(runCode, 1);
  EXPECT_EQ(0, std::memcmp(cx8.slot->encodeTables, runCode, 256));
  for (std::size_t i = 256; i < kNucEncodeTablesSize; ++i) ASSERT_EQ(cx8.slot->encodeTables[i], 0);
  for (std::size_t i = 0; i < kNucDecodeTablesSize; ++i) ASSERT_EQ(cx8.slot->decodeTables[i], 0);
  // CX7: 576 encode bytes and 512 decode bytes, the rest 0.
  std::uint8_t enc[kNucEncodeTablesSize] = {}, dec[kNucDecodeTablesSize] = {};
  Cx7FillEncodeTables(enc, 0);
  Cx7FillDecodeTables(dec, 0);
  EXPECT_EQ(0, std::memcmp(cx7e.slot->encodeTables, enc, sizeof enc));
  EXPECT_EQ(0, std::memcmp(cx7e.slot->decodeTables, dec, sizeof dec));
  // VR8: the tables come from the VR8 fill routines.
  std::uint8_t venc[kNucEncodeTablesSize] = {}, vdec[kNucDecodeTablesSize] = {};
  Vr8FillEncodeTables(venc, 0);
  Vr8FillDecodeTables(vdec, 0);
  EXPECT_EQ(0, std::memcmp(vr8.slot->encodeTables, venc, sizeof venc));
  EXPECT_EQ(0, std::memcmp(vr8.slot->decodeTables, vdec, sizeof vdec));
}

TEST(NucClose, CloseFlagAndDamagedContext) {
  NucContext* slot = nullptr;
  std::int32_t rc = -7;
  const std::uint32_t heapBefore = rmGetHeapCount();
  nucopn(slot, rc, 1, 0, 1, 0);
  ASSERT_EQ(rc, 0);
  EXPECT_GE(rmGetHeapCount(), heapBefore + sizeof(NucContext));
  std::int32_t closeWord = 55;
  nuccls(slot, rc, closeWord);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(closeWord, 0);
  EXPECT_EQ(slot, nullptr);

  nucopn(slot, rc, 1, 0, 1, 0x101);  // low byte 1
  closeWord = 55;
  nuccls(slot, rc, closeWord);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(closeWord, 55);

  nucopn(slot, rc, 0, 1, 0, 0);
  NucContext* const kept = slot;
  slot->self = nullptr;  // damaged
  closeWord = 55;
  nuccls(slot, rc, closeWord);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(slot, kept);
  EXPECT_EQ(closeWord, 55);
  slot->self = slot;
  nuccls(slot, rc, closeWord);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(rmGetHeapCount(), heapBefore);  // every context went back to the heap
}

TEST(NucEntryPoints, NullOrForeignSlotGivesMinusOne) {
  NucContext* slot = nullptr;
  std::int32_t rc = 0, length = 0, kind = 1, count = 1, word = 3;
  std::uint8_t buffer[64] = {};
  nuccmp(slot, rc, length, buffer, kind, count, buffer);
  EXPECT_EQ(rc, -1);
  rc = 0;
  nucdcm(slot, rc, length, buffer, kind, count, buffer);
  EXPECT_EQ(rc, -1);
  rc = 0;
  nuccls(slot, rc, word);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(word, 3);
  // A block that does not hold its own address.
  alignas(NucContext) std::uint8_t raw[sizeof(NucContext)] = {};
  slot = reinterpret_cast<NucContext*>(raw);
  rc = 0;
  nuccmp(slot, rc, length, buffer, kind, count, buffer);
  EXPECT_EQ(rc, -1);
}

TEST(NucEntryPoints, WrongDirectionIsABadCall) {
  Context dec(0, 0, 0), enc(0, 0, 1);
  NucMatrixBuffer m(4096);
  ASSERT_TRUE(m.Add(Text("record")));
  std::int32_t rc = 0, length = 0, kind = 1;
  m.Compress(dec.slot, rc, length, kind);
  EXPECT_EQ(rc, -1);
  m.Compress(enc.slot, rc, length, kind);
  ASSERT_EQ(rc, 0);
  m.Decompress(enc.slot, rc, length, kind, 1);
  EXPECT_EQ(rc, -1);
  m.Decompress(dec.slot, rc, length, kind, 1);
  EXPECT_EQ(rc, 0);
}

TEST(NucCompress, MatrixKindSetsLengths) {
  Context ctx(0, 1);
  NucMatrixBuffer m(8192);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(m.Add(Text("abcdefghijklmnopqrstuvwxyz")));
  auto* d = reinterpret_cast<RecordDescriptor*>(m.Buffer());
  std::int32_t rc = 5, length = 0, kind = 1, count = 3;
  nuccmp(ctx.slot, rc, length, m.CodedBlock(), kind, count, m.Buffer());
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(d[0].length, 30);
  kind = -20;
  nuccmp(ctx.slot, rc, length, m.CodedBlock(), kind, count, m.Buffer());
  EXPECT_EQ(rc, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(d[i].length, 20);
  // Lengths below 4 (kind 0 to -3) or above 32769, and counts outside 1-255, are refused
  // before anything is written.
  for (std::int32_t bad : {0, -3, -32770}) {
    kind = bad;
    nuccmp(ctx.slot, rc, length, m.CodedBlock(), kind, count, m.Buffer());
    EXPECT_EQ(rc, -1) << bad;
    EXPECT_EQ(d[0].length, 20);
  }
  kind = 1;
  for (std::int32_t badCount : {0, 256, -1}) {
    nuccmp(ctx.slot, rc, length, m.CodedBlock(), kind, badCount, m.Buffer());
    EXPECT_EQ(rc, -1) << badCount;
  }
  d[1].length = 3;
  nuccmp(ctx.slot, rc, length, m.CodedBlock(), kind, count, m.Buffer());
  EXPECT_EQ(rc, -1);
}

TEST(NucDecompress, StaleReturnCodeIsCleared) {
  Context ctx(1, 0);
  NucMatrixBuffer m(4096);
  ASSERT_TRUE(m.Add(Text("some record")));
  ASSERT_TRUE(m.Add(Text("another")));
  std::int32_t rc = 0, length = 0, kind = 0;
  m.Compress(ctx.slot, rc, length, kind);
  ASSERT_EQ(rc, 0);
  rc = 77;
  std::int32_t count = 2;
  nucdcm(ctx.slot, rc, length, m.CodedBlock(), kind, count, m.Buffer());
  EXPECT_EQ(rc, 0);
}
