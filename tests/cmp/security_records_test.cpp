// Security header and trailer images, and the reader's trailer check.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "cmp/security_records.h"
#include "crypt/password_setup.h"
#include "crypt/trailer_macs.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::tm Dec9() {
  std::tm t{};
  t.tm_year = 126;
  t.tm_yday = 342;
  t.tm_hour = 10;
  t.tm_min = 5;
  t.tm_sec = 3;
  return t;
}

struct FixedStamp {
  FixedStamp() {
    const std::tm t = Dec9();
    torq::cmp::SetFixedStampTime(&t);
  }
  ~FixedStamp() { torq::cmp::SetFixedStampTime(nullptr); }
};

std::unique_ptr<CmpControlBlock> Block(std::uint32_t cryptMode) {
  auto cb = std::make_unique<CmpControlBlock>();
  std::memset(cb.get(), 0, sizeof(CmpControlBlock));
  cb->self = cb.get();
  cb->cryptMode = cryptMode;
  cb->securityHeader[2] = static_cast<std::uint8_t>(cryptMode + 1);
  return cb;
}

Bytes Span(const std::uint8_t* p, std::size_t n) { return Bytes(p, p + n); }

TEST(SecurityRecords, PackedTimeStamp) {
  std::uint8_t out[7] = {0x0A};
  TmstampOf(Dec9(), out);
  EXPECT_EQ(Span(out, 7), (Bytes{0xA2, 0x02, 0x63, 0x43, 0x10, 0x05, 0x03}));
  // Exactly 7 bytes change, whatever the text's length; day 1 of year 10000 still packs 7.
  std::uint8_t room[9] = {0x55, 0x0A, 0, 0, 0, 0, 0, 0, 0x55};
  std::tm far{};
  far.tm_year = 10000 - 1900;
  TmstampOf(far, std::span<std::uint8_t, 7>(room + 1, 7));
  EXPECT_EQ(room[0], 0x55);
  EXPECT_EQ(room[8], 0x55);
  EXPECT_EQ(room[1], 0xA1);
}

TEST(SecurityRecords, ImagesPerCryptMode) {
  FixedStamp stamp;
  struct Case {
    std::uint32_t crypt;
    std::uint8_t type, l;
    std::uint32_t trailerLength;
  };
  for (const Case c : {Case{0, 0x01, 0x2D, 48}, Case{16, 0x11, 0x31, 52}, Case{32, 0x21, 0x39, 60}}) {
    SCOPED_TRACE(c.crypt);
    auto cb = Block(c.crypt);
    init_sec(*cb);
    const Bytes stampBytes = {0xA2, 0x02, 0x63, 0x43, 0x10, 0x05, 0x03};
    Bytes header = {0x00, 0x0D, c.type, 0, 0, 0, 0, 0};
    header.insert(header.end(), stampBytes.begin(), stampBytes.end());
    EXPECT_EQ(Span(cb->securityHeader, 15), header);
    EXPECT_EQ(cb->trailerLength, c.trailerLength);
    Bytes head = {0x00, 0x80, c.l, static_cast<std::uint8_t>(c.type | 0x06), 0, 0, 0, 0, 0};
    head.insert(head.end(), stampBytes.begin(), stampBytes.end());
    EXPECT_EQ(Span(cb->trailerImage, 16), head);

    build_memhdr(*cb);
    EXPECT_EQ(Span(cb->securityHeader + 3, 4), (Bytes{0, 0, 0, 1}));
    cb->tr_origbyt = 0x0102030405060708;
    cb->tr_origrec = 3;
    cb->zkb = 4096;
    cb->zks = 0x1122334455667788;
    build_sectlr(*cb);
    const std::uint8_t* image = cb->trailerImage + kTrailerHead;
    EXPECT_EQ(Span(image + 1, 4), (Bytes{0, 0, 0, 1}));
    EXPECT_EQ(Span(image + 13, 32),
              (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x10, 0,
                     0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
  }
}

TEST(SecurityRecords, LateCryptRaiseRefreshesTypeAndLength) {
  FixedStamp stamp;
  auto cb = Block(0);
  init_sec(*cb);
  cb->cryptMode = 16;
  RefreshCryptType(*cb);
  EXPECT_EQ(cb->securityHeader[2], 0x11);
  EXPECT_EQ(cb->trailerImage[2], 0x31);
  EXPECT_EQ(cb->trailerImage[3], 0x17);
  EXPECT_EQ(cb->trailerLength, 52u);
  EXPECT_EQ(Span(cb->securityHeader + 8, 7), Span(cb->trailerImage + 9, 7));
}

// A reader's block whose trailer image holds the given counts; the reader's own counts are
// the same unless a case changes them.
struct Counts {
  std::uint32_t member = 2;
  std::uint64_t bytes = 500, records = 7, blockBytes = 8192, blocks = 2;
};

void LoadTrailer(CmpControlBlock& cb, bool fileTrailer, const Counts& stored) {
  std::uint8_t* image = cb.trailerImage + kTrailerHead;
  image[0] = static_cast<std::uint8_t>(((cb.cryptMode + 1) & 0xF0) | (fileTrailer ? 0x0F : 0x07));
  auto put = [](std::uint8_t* p, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
  };
  put(image + 1, stored.member, 4);
  put(image + 13, stored.bytes, 8);
  put(image + 21, stored.records, 8);
  put(image + 29, stored.blockBytes, 8);
  put(image + 37, stored.blocks, 8);
  cb.secinf = fileTrailer ? 3 : 2;
}

TEST(SecurityRecords, CheckOverOptionPositioningAndKind) {
  enum Change { kNone, kMember, kOriginalBytes, kOriginalRecords, kBlockBytes, kBlocks };
  struct Case {
    std::uint32_t option, positioning;
    bool file;
    Change change;
    std::int32_t code;
  };
  const Case cases[] = {
      {0, 0, false, kNone, 0},
      {0, 0, true, kNone, 0},
      {0, 0, false, kMember, 351},
      {2, 0, false, kMember, 351},
      {0, 0, false, kOriginalBytes, 352},
      {0, 0, false, kOriginalRecords, 352},
      {0, 0, true, kOriginalRecords, 352},
      {0, 0, false, kBlockBytes, 352},
      {0, 0, true, kBlocks, 352},
      // Option word 2: only the member number.
      {2, 0, false, kOriginalBytes, 0},
      {2, 0, true, kBlocks, 0},
      // Positioned: original counts of neither trailer; the block counts still.
      {0, 1, false, kOriginalBytes, 0},
      {0, 1, true, kOriginalRecords, 0},
      {0, 1, false, kBlocks, 352},
      {0, 1, true, kBlockBytes, 352},
      // Read on after positioning: the member's original counts again, the file's not.
      {0, 2, false, kOriginalRecords, 352},
      {0, 2, true, kOriginalBytes, 0},
      {0, 2, true, kBlocks, 352},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.option << "/" << c.positioning << "/" << c.file << "/"
                                    << c.change);
    auto cb = Block(0);
    cb->optionWord = c.option;
    cb->positioning = c.positioning;
    cb->mem_cnt = 2;
    // Members before: a member trailer counts on from the earlier totals, a file trailer not.
    Counts own;
    cb->prev_origbyt = c.file ? 0 : 100;
    cb->prev_origrec = c.file ? 0 : 3;
    cb->zkb = c.file ? 0 : 4096;
    cb->zks = c.file ? 0 : 1;
    cb->tr_origbyt = own.bytes + cb->prev_origbyt;
    cb->tr_origrec = own.records + cb->prev_origrec;
    cb->byteSum = static_cast<double>(own.blockBytes + cb->zkb);
    cb->blockCount = static_cast<std::uint32_t>(own.blocks + cb->zks);
    Counts stored = own;
    if (c.change == kMember) stored.member = 1;
    if (c.change == kOriginalBytes) ++stored.bytes;
    if (c.change == kOriginalRecords) --stored.records;
    if (c.change == kBlockBytes) stored.blockBytes += 6;
    if (c.change == kBlocks) ++stored.blocks;
    LoadTrailer(*cb, c.file, stored);
    EXPECT_EQ(check_sectlr(*cb), c.code);
    if (c.code == 0 && c.option != 2) {
      // The next member counts from here.
      EXPECT_EQ(cb->zkb, static_cast<std::uint64_t>(cb->byteSum));
      EXPECT_EQ(cb->zks, cb->blockCount);
    }
  }
}

TEST(SecurityRecords, MacsOfTrailers) {
  static constexpr std::uint8_t kPassword[] = {'T', 'O', 'R', 'Q'};
  struct Case {
    bool file;
    std::uint32_t positioning;
    int flippedByte;       // of the MAC, -1 none
    bool otherFileChain;   // earlier members' MACs not taken (as after positioning)
    std::int32_t code;
  };
  const Case cases[] = {
      {false, 0, -1, false, 0},  {false, 0, 0, false, 354}, {false, 0, 5, false, 354},
      {false, 0, 11, false, 354}, {false, 1, 0, false, 0},  {false, 2, 5, false, 354},
      {false, 2, 0, false, 354}, {false, 2, -1, true, 0},   {false, 0, -1, true, 354},
      {true, 0, -1, false, 0},   {true, 0, 0, false, 0},    {true, 0, 4, false, 355},
      {true, 0, 11, false, 355}, {true, 1, 4, false, 0},    {true, 2, 4, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << "/" << c.positioning << "/" << c.flippedByte);
    auto writer = Block(32);
    auto reader = Block(32);
    ASSERT_EQ(CryptSetPassword(32, false, 1, kPassword, 4, &writer->pwdState, &writer->aes), 0);
    ASSERT_EQ(CryptSetPassword(32, true, 1, kPassword, 4, &reader->pwdState, &reader->aes), 0);
    faesm(&writer->aes, 1);
    reader->passwordLength = 4;
    reader->positioning = c.positioning;
    reader->mem_cnt = 1;
    LoadTrailer(*reader, c.file, Counts{1, 0, 0, 0, 0});
    std::uint8_t* image = reader->trailerImage + kTrailerHead;
    int bits = 0;
    std::uint8_t* mac = image + kTrailerImageSize;
    if (c.file) {
      faestf(&writer->aes, 1, &bits, image, kTrailerImageSize, mac);
    } else {
      faestm(&writer->aes, 1, &bits, image, kTrailerImageSize, mac);
    }
    if (c.flippedByte >= 0) mac[c.flippedByte] ^= 0x40;
    if (c.otherFileChain) reader->aes.fileChain[0] ^= 1;
    reader->tr_origbyt = reader->tr_origrec = 0;
    EXPECT_EQ(check_sectlr(*reader), c.code);
    CryptRelease(&writer->pwdState, &writer->aes);
    CryptRelease(&reader->pwdState, &reader->aes);
  }
}

TEST(SecurityRecords, TrailerRecordLengths) {
  struct Case {
    std::uint32_t crypt, length;
    std::int32_t code;
  };
  for (const Case c : {Case{0, 45, 0}, Case{0, 49, 11}, Case{16, 49, 0}, Case{16, 57, 11},
                       Case{32, 57, 0}, Case{32, 49, 11}, Case{32, 45, 11}, Case{0, 44, 11}}) {
    SCOPED_TRACE(testing::Message() << c.crypt << "/" << c.length);
    auto cb = Block(c.crypt);
    cb->optionWord = 2;  // only the member number
    cb->mem_cnt = 1;
    std::uint8_t content[64] = {0x07, 0, 0, 0, 1};
    EXPECT_EQ(TakeTrailer(*cb, content, c.length), c.code);
  }
}

}  // namespace
