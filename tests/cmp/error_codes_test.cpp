// The codes of the container layer: opens that fail, damaged blocks and records, limits of
// the writers, and calls on blocks that are no control blocks.
#include <gtest/gtest.h>

#include "cmp_test_util.h"

using namespace cmptest;

namespace {

// A plain CX8 matrix record of one segment.
const Bytes kMatrix = {0x00, 0x03, 0x8A, 0x08, 0x02, 0x03, 0x41, 0x42, 0x43};

std::int32_t OpenRc(const Bytes& file) {
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "c", file);
  Reader r(dir / "c");
  return r.openRc != 0 ? r.openRc : r.rc;
}

TEST(OpenCodes, FirstBlock) {
  Bytes split = {0x00, 0x16, 0x80, 0x04, 0x00, 0x00, 0x00, 'q', 2, 0, 0, 0, 0, 'S', 'P', 'L', 'I', 'T'};
  split.resize(24, 0);
  Bytes serial = split, other = split;
  serial[8] = 1;
  other[8] = 3;
  Bytes badSum = Block8(HeaderRecord8("a"));
  badSum.back() ^= 1;
  Bytes versionRecord = HeaderRecord8("a");
  versionRecord[4] = 0xF3;
  const Bytes badVersion = Block8(versionRecord);
  const Bytes abc = HeaderRecord8("abc");
  const struct {
    const char* what;
    Bytes file;
    std::int32_t rc;
  } cases[] = {
      {"empty file", {}, 30},
      {"no container", B("This is a plain text file and no container at all.\n"), 10},
      {"parallel split piece", split, 18},
      {"serial split piece", serial, 19},
      {"split piece of another kind", other, 10},
      {"first checksum wrong", badSum, 14},
      {"family byte unknown", Block8(Bytes{0x05, 0x30, 0x41, 0xF2, 0x1D, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 10},
      {"file header cut by the end", Block8(Bytes(abc.begin(), abc.begin() + 20)), 13},
      {"file header of another version", badVersion, 70},
      {"bytes behind the user header", Block8(HeaderRecord8("a", {0, 0, 1, 2, 3})), 11},
      {"security header of another member", Block8(HeaderRecord8("a", Cat({{0, 0}, Bytes(15, 1)}))), 351},
      {"letter block with a wrong check letter",
       B("AEDfADO0A2BNAAOAFDIIAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAEABAAABaOX\n"), 10},
      {"letter header with a wrong check letter",
       B("AEDfADO0A2BNAAOAFDIIAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAEABAAABaXD\n"), 74},
      {"letter header with a bad magic",
       B("AEDfADO0X2BNAAOAFDIIAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAEABAAABaOD\n"), 11},
  };
  for (const auto& c : cases) EXPECT_EQ(OpenRc(c.file), c.rc) << c.what;
}

TEST(OpenCodes, VersionOneBlock) {
  ScratchDir dir;
  Bytes file(900, 0x20);
  file[0] = '0';
  file[3] = 1;
  fiotest::WriteFileBytes(dir / "c", file);
  Reader r(dir / "c", 1, 900);
  ASSERT_EQ(r.openRc, 0);
  EXPECT_EQ(r.rc, 17);
  EXPECT_EQ(r.cb, nullptr);
}

TEST(OpenCodes, BlockCoderFamilies) {
  // Byte 4 of the first block names the family and is taken back to 0 before the checksum.
  for (std::uint8_t family : {1, 2}) {
    Bytes block = Block8(HeaderRecord8("a"));
    block[4] = family;
    ScratchDir dir;
    fiotest::WriteFileBytes(dir / "c", block);
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.mode, family == 2 ? 3 : 9);
    EXPECT_EQ(r.Next(), 2);
  }
}

TEST(OpenCodes, Arguments) {
  ScratchDir dir;
  const std::uint8_t exitName[] = {3, 'e', 'x', 't', 0};
  struct Case {
    const char* what;
    std::int32_t direction, modeWord, blockSize, security;
    const std::uint8_t* exit1;
    std::int32_t rc;
  };
  const Case cases[] = {
      {"direction 2", 2, 0, 512, 0, nullptr, 20},
      {"letter form above 4095", 1, 1, 4096, 0, nullptr, 12},
      {"binary block too short", 1, 0, 6, 0, nullptr, 12},
      {"binary block too long", 1, 0, 32768, 0, nullptr, 12},
      {"exit routine", 1, 0, 512, 0, exitName, 43},
      {"secured members of an unknown crypt mode", 1, 0x30, 512, 2, nullptr, 22},
      {"unknown method", 1, 5, 512, 0, nullptr, 22},
  };
  for (const Case& c : cases) {
    rectest::Open out(kOpenOutput, dir / "c", 256);
    ASSERT_EQ(out.Run(), 0);
    CmpControlBlock* cb = reinterpret_cast<CmpControlBlock*>(1);
    std::int32_t rc = -99, level = 0, code = 1, size = 0, mode = c.modeWord, sec = c.security,
                 block = c.blockSize;
    cmpopn(cb, rc, c.direction, level, code, size, mode, sec, 0, block, out.fcb, 0, nullptr,
           c.exit1, nullptr);
    EXPECT_EQ(rc, c.rc) << c.what;
    EXPECT_EQ(cb, nullptr) << c.what;
  }
  // Exit name 2 on reading; a buffer size of 100 kilobytes and block size 0 on writing.
  {
    rectest::Open out(kOpenOutput, dir / "d", 256);
    ASSERT_EQ(out.Run(), 0);
    CmpControlBlock* cb = nullptr;
    std::int32_t rc = -99, level = 0, code = 7, size = 100, mode = 0, sec = 0, block = 0;
    cmpopn(cb, rc, 1, level, code, size, mode, sec, 0, block, out.fcb, 0, nullptr, nullptr, exitName);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(size, 114688);
    EXPECT_EQ(block, 32767);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(level, 200);
    std::uint32_t a = 0, b = 0, h = 0;
    cmpcls(cb, rc, a, b, h);
  }
  fiotest::WriteFileBytes(dir / "e", Block8(HeaderRecord8("a")));
  rectest::Open in(kOpenInput, dir / "e", 256);
  ASSERT_EQ(in.Run(), 0);
  CmpControlBlock* cb = nullptr;
  std::int32_t rc = -99, level = 0, code = 1, size = 0, mode = 0, sec = 0, block = 0;
  cmpopn(cb, rc, 0, level, code, size, mode, sec, 0, block, in.fcb, 0, nullptr, nullptr, exitName);
  EXPECT_EQ(rc, 43);
}

TEST(RecordCodes, BinaryRecords) {
  const Bytes header = HeaderRecord8("a");
  Bytes reservedBits = kMatrix;
  reservedBits[2] |= 0x40;
  Bytes tooLong = {0x00, 0x82, 0x15, 0x88};
  tooLong.resize(540, 0x01);
  const struct {
    const char* what;
    Bytes file;
    std::int32_t rc;
  } cases[] = {
      {"lead byte not zero", Block8(Cat({header, {0x07, 0x01, 0x02}})), 11},
      {"matrix header above 532 bytes", Block8(Cat({header, tooLong})), 11},
      {"matrix header of 1 byte", Block8(Cat({header, {0x00, 0x01, 0x88}})), 11},
      {"reserved bits of the matrix header", Block8(Cat({header, reservedBits})), 70},
      {"record cut by the end of the file", Block8(Cat({header, {0x00, 0x05, 0x8A, 0x08}})), 13},
      {"next block without a lead byte", Cat({Block8(Cat({header, {0x00, 0x00}})), Block8({0x05, 0x8A, 0x08, 0x02}, 0x8000)}), 11},
      {"matrix in the second block", Cat({Block8(header), Block8(kMatrix)}), 0},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    fiotest::WriteFileBytes(dir / "c", c.file);
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0) << c.what;
    EXPECT_EQ(r.Next(), c.rc) << c.what;
  }
  // A lead byte that ends its block: the next block begins with the length.
  {
    ScratchDir dir;
    fiotest::WriteFileBytes(dir / "c", Cat({Block8(Cat({header, {0x00}})), Block8({0x03, 0x8A, 0x08, 0x02, 0x01, 0x41}, 0x8000)}));
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Next(), 0);
    Bytes coded;
    std::int32_t flag = 0, records = 0;
    EXPECT_EQ(r.Get(coded, flag, records), 0);
    EXPECT_EQ(coded, (Bytes{0x00, 0x01, 0x41}));
    EXPECT_EQ(records, 2);
  }
  // A checksum error in a later block.
  {
    Bytes second = Block8(kMatrix);
    second[second.size() - 1] ^= 0x10;
    ScratchDir dir;
    fiotest::WriteFileBytes(dir / "c", Cat({Block8(header), second}));
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Next(), 14);
  }
}

TEST(RecordCodes, MatrixBodies) {
  const Bytes header = HeaderRecord8("a");
  // A matrix of the block coders whose frame the end of the file cuts.
  const Bytes adc = Block8(Cat({header, {0x00, 0x02, 0x8E, 0x20, 0x00, 0x00, 0x00, 0x20}}));
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "c", adc);
  {
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Next(), 0);
    EXPECT_EQ(r.mode, 3);
    EXPECT_EQ(r.bufferSize, 65536);
    Bytes coded;
    std::int32_t flag = 0, records = 0;
    EXPECT_EQ(r.Get(coded, flag, records), 11);
  }
  {
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Next(), 0);
    EXPECT_EQ(r.Position(), 13);
  }
  // An encrypted block-coder matrix while no password is set: 7, the attributes still set.
  fiotest::WriteFileBytes(dir / "p", Block8(Cat({header, {0x00, 0x02, 0x8E, 0x30, 0x00, 0x00, 0x00, 0x20}})));
  {
    Reader r(dir / "p");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Next(), 7);
    EXPECT_EQ(r.mode, 3 | 16);
    EXPECT_EQ(r.encrypted, 1);
    EXPECT_EQ(r.charCode, 1);
  }
  // Segments that do not fit the caller's area, and a bitmap above its capacity.
  fiotest::WriteFileBytes(dir / "d", Block8(Cat({header, {0x00, 0x05, 0x8A, 0x08, 0x02, 0x01, 0x02, 0x03, 0x41, 0x42, 0x43}})));
  {
    Reader r(dir / "d");
    ASSERT_EQ(r.Next(), 0);
    Bytes coded;
    std::int32_t flag = 0, records = 0;
    EXPECT_EQ(r.Get(coded, flag, records, nullptr, 4), 11);
  }
  {
    Reader r(dir / "d");
    ASSERT_EQ(r.Next(), 0);
    std::uint8_t area[16], map[1];
    std::int32_t rc = 0, n = 0, flag = 0, records = 0, bl = 1;
    cmpget(r.cb, rc, n, area, flag, records, bl, map, 16);
    EXPECT_EQ(rc, -1);
  }
}

TEST(RecordCodes, LetterRecords) {
  const std::string head = "AEDfADO0A2BNAAOAFDII" + std::string(40, 'A') + "AEABAAABaOD\n";
  const struct {
    const char* what;
    std::string block;
    std::int32_t next, get;
  } cases[] = {
      {"plain", "ACFbAAMICAIAB      MAAGiACJAAGAAGEHELLOGF\n", 0, 0},
      {"no space in the header", "ACFbAAMICAIABX     MAAGiACJAAGAAGEHELLOGF\n", 0, 11},
      {"header check letter", "ACFbAAMICAIAB      XAAGiACJAAGAAGEHELLOGF\n", 74, 0},
      {"segment check letter", "ACFbAAMICAIAB      MAAGiACJAAXAAGEHELLOGF\n", 0, 74},
      {"first segment empty", "ACFbAAMICAIAB      MAAAAAAGEHELLOGGGGGGGF\n", 0, 11},
      {"header of 3 letters", "AAIbAADICADI\n", 11, 0},
      {"unknown record letter", "AAFxAAMIF\n", 11, 0},
      {"segment cut in its length letters", "ABDbAAMICAIAB      MAFD\n", 0, 13},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    const std::string text = head + c.block;
    fiotest::WriteFileBytes(dir / "c", Bytes(text.begin(), text.end()));
    Reader r(dir / "c");
    ASSERT_EQ(r.rc, 0) << c.what;
    ASSERT_EQ(r.Next(), c.next) << c.what;
    if (c.next != 0) continue;
    Bytes coded;
    std::int32_t flag = 0, records = 0;
    EXPECT_EQ(r.Get(coded, flag, records), c.get) << c.what;
  }
  // A segment of 2,520 letters is read; one more gives 57.
  for (std::uint32_t n : {2520u, 2521u}) {
    ScratchDir dir;
    const char* L = "ABCDEFGHIJKLMNOP";
    const std::uint32_t content = 1 + 3 + 12 + 1 + 3 + n + 1;
    std::string block = {L[content >> 8], L[(content >> 4) & 15], L[content & 15]};
    block += "bAAMICAIAB      M";
    block += {L[n >> 8], L[(n >> 4) & 15], L[n & 15]};
    block += std::string(n, 'A') + L[n & 15] + L[content & 15] + "\n";
    const std::string text = head + block;
    fiotest::WriteFileBytes(dir / "c", Bytes(text.begin(), text.end()));
    Reader r(dir / "c");
    ASSERT_EQ(r.Next(), 0);
    Bytes coded;
    std::int32_t flag = 0, records = 0;
    EXPECT_EQ(r.Get(coded, flag, records), n == 2520 ? 0 : 57);
  }
}

TEST(WriterCodes, Limits) {
  ScratchDir dir;
  Options o;
  Writer w(dir / "c", o);
  ASSERT_EQ(w.rc, 0);
  EXPECT_EQ(w.Header(std::string(256, 'x')), 56);
  EXPECT_EQ(w.Header(std::string(255, 'x'), 1), 0);
  EXPECT_EQ(w.System(Bytes(32767 - 287 + 1, 1)), 56);
  EXPECT_EQ(w.System(Bytes(44, 1), 1), 0);
  EXPECT_EQ(w.User(Bytes(32763 - 287 - 44 + 1, 2)), 56);
  EXPECT_EQ(w.User(Bytes(32763 - 287 - 44, 2)), 0);
  EXPECT_EQ(w.Put(Segments({B("AB"), {}}), 0, 2), 60);
  EXPECT_EQ(w.Put({0x00, 0x05, 0x41}, 0, 2), 60);
  EXPECT_EQ(w.Put(Segments({B("AB")}), 0, 256), 60);
  EXPECT_EQ(w.Close(), 0);
  Reader r(dir / "c");
  ASSERT_EQ(r.rc, 0);
  Bytes s, u;
  EXPECT_EQ(r.System(s), 0);
  EXPECT_EQ(s, Bytes(44, 1));
  EXPECT_EQ(r.User(u), 0);
  EXPECT_EQ(u.size(), 32763u - 287 - 44);
  EXPECT_EQ(r.Next(), 2);
}

TEST(WriterCodes, LetterFormSystemHeaderLimit) {
  ScratchDir dir;
  Options o;
  o.modeWord = 1;
  o.blockSize = 4095;
  {
    Writer w(dir / "c", o);
    ASSERT_EQ(w.rc, 0);
    EXPECT_EQ(w.Header("name", 1), 0);
    // 61 + 4 + 2S must stay below 4,091 letters; refused before anything changes.
    EXPECT_EQ(w.System(Bytes(2013, 1)), 56);
    EXPECT_EQ(w.System(Bytes(2012, 1)), 0);
  }
  Reader r(dir / "c");
  ASSERT_EQ(r.rc, 0);
  Bytes s;
  EXPECT_EQ(r.System(s, 3000), 0);
  EXPECT_EQ(s, Bytes(2012, 1));
}

TEST(ControlCodes, HandlesAndRequests) {
  CmpControlBlock fake{};
  fake.self = nullptr;
  CmpControlBlock* bad = &fake;
  CmpControlBlock* none = nullptr;
  std::int32_t rc = 0, v = 0, a = 0, b = 0, c = 0, d = 0;
  std::uint32_t x = 0, y = 0, z = 0;
  for (CmpControlBlock** slot : {&bad, &none}) {
    cmpset(*slot, rc, 1, 1);
    EXPECT_EQ(rc, -1);
    cmpinfo(*slot, rc, 351, v);
    EXPECT_EQ(rc, -1);
    cmppos(*slot, rc, kCmpPositionNext, a, b, c, d);
    EXPECT_EQ(rc, -1);
    cmpflu(*slot, rc, x, y, z);
    EXPECT_EQ(rc, -1);
    cmpcls(*slot, rc, x, y, z);
    EXPECT_EQ(rc, -1);
    std::int32_t n = 0;
    cmpgsh(*slot, rc, n, nullptr);
    EXPECT_EQ(rc, -1);
    cmpguh(*slot, rc, n, nullptr);
    EXPECT_EQ(rc, -1);
    cmppuh(*slot, rc, n, nullptr);
    EXPECT_EQ(rc, -1);
  }
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "c", Cat({Block8(HeaderRecord8("a")), Block8(kMatrix, 0x8004)}));
  Reader r(dir / "c");
  ASSERT_EQ(r.rc, 0);
  cmpset(r.cb, rc, 2, 1);
  EXPECT_EQ(rc, 81);
  cmpset(r.cb, rc, 1, 2);
  EXPECT_EQ(rc, 82);
  cmpset(r.cb, rc, 1, 1);
  EXPECT_EQ(rc, 0);
  cmpinfo(r.cb, rc, 352, v);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(v, 1);
  cmpinfo(r.cb, rc, 350, v);
  EXPECT_EQ(rc, -1);
  cmppos(r.cb, rc, 1, a, b, c, d);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(r.Next(), 0);
  Header h;
  EXPECT_EQ(r.GetHeader(h), 9);
  cmpflu(r.cb, rc, x, y, z);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(x, 2u);
}

TEST(ControlCodes, TwoPartCounter) {
  CmpControlBlock* cb = nullptr;
  ScratchDir dir;
  rectest::Open out(kOpenOutput, dir / "c", 256);
  ASSERT_EQ(out.Run(), 0);
  std::int32_t rc = -99, level = 0, code = 1, size = 0, mode = 0, sec = 0, block = 512;
  cmpopn(cb, rc, 1, level, code, size, mode, sec, 0, block, out.fcb, 0, nullptr, nullptr, nullptr);
  ASSERT_EQ(rc, 0);
  cb->byteSum = 6500000000.0;
  std::uint32_t blocks = 0, low = 0, high = 0;
  cmpflu(cb, rc, blocks, low, high);
  EXPECT_EQ(high, 3u);
  EXPECT_EQ(low, 500000000u);
  cmpcls(cb, rc, blocks, low, high);
  EXPECT_EQ(cb, nullptr);
}

TEST(WriterCodes, FileLayerCodesTagged) {
  Options o;
  o.blockSize = 32767;
  Writer w("/dev/full", o);
  ASSERT_EQ(w.rc, 0);
  // A system error (no space left on the device) of the record layer, tagged.
  EXPECT_EQ(static_cast<std::uint32_t>(w.Header("a")), 0xFF00001Cu);
}

}  // namespace

namespace {

// Blocks read through fix records of one length: trailing bytes past the declared length,
// a block shorter than declared, and a block without checksum.
TEST(BlockReading, DeclaredLengths) {
  const Bytes header = Block8(HeaderRecord8("a"));
  const std::size_t size = header.size() + 3;
  Bytes first = header;
  first.resize(size, 0xEE);
  Bytes longer = Block8(kMatrix);
  longer.resize(size, 0xEE);
  // A block that declares more than it holds keeps the length read: its checksum fails.
  Bytes shorter = Block8(Cat({kMatrix, Bytes(size, 0x00)}));
  shorter.resize(size);
  Bytes unsummed = {0x00, 0x00, 0x00, 0x04};
  unsummed.insert(unsummed.end(), kMatrix.begin(), kMatrix.end());
  unsummed[1] = static_cast<std::uint8_t>(unsummed.size() - 2);
  unsummed.resize(size, 0x00);
  const struct {
    const char* what;
    Bytes second;
    std::int32_t next, get;
  } cases[] = {
      {"bytes past the declared length dropped", longer, 0, 0},
      {"block shorter than declared", shorter, 14, 0},
      {"no checksum: content to the end of the record", unsummed, 0, 0},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    fiotest::WriteFileBytes(dir / "c", Cat({first, c.second}));
    Reader r(dir / "c", 1, static_cast<std::int32_t>(size));
    ASSERT_EQ(r.openRc, 0);
    ASSERT_EQ(r.rc, 0) << c.what;
    ASSERT_EQ(r.Next(), c.next) << c.what;
    if (c.next != 0) continue;
    Bytes coded;
    std::int32_t flag = 0, records = 0;
    EXPECT_EQ(r.Get(coded, flag, records), c.get) << c.what;
    EXPECT_EQ(coded, (Bytes{0x00, 0x03, 0x41, 0x42, 0x43})) << c.what;
    EXPECT_EQ(r.Next(), 2) << c.what;
  }
}

TEST(BlockReading, EmptyLetterBlock) {
  const std::string text = "AEDfADO0A2BNAAOAFDII" + std::string(40, 'A') + "AEABAAABaOD\nAAAA\n" +
                           "ACFbAAMICAIAB      MAAGiACJAAGAAGEHELLOGF\n";
  ScratchDir dir;
  fiotest::WriteFileBytes(dir / "c", Bytes(text.begin(), text.end()));
  Reader r(dir / "c");
  ASSERT_EQ(r.rc, 0);
  ASSERT_EQ(r.Next(), 0);
  Bytes coded;
  std::int32_t flag = 0, records = 0;
  EXPECT_EQ(r.Get(coded, flag, records), 0);
  EXPECT_EQ(coded, Segments({B("iACJAA"), B("EHELLO")}));
  EXPECT_EQ(records, 1);
  EXPECT_EQ(r.Next(), 2);
}

}  // namespace
