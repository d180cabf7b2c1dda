// fiopen and fiocls: open modes, organisation, standard I/O, normalised arguments, attribute
// vectors both ways, the DTAUS tables, closing rules, failures and what they release.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "fio/buffered_file_api.h"
#include "fio/name_expansion.h"
#include "record_test_util.h"
#include "support/heap.h"

using fiotest::ReadFileBytes;
using fiotest::ScratchDir;
using fiotest::WriteFileBytes;
using rectest::B;
using rectest::Bytes;
using rectest::Open;

namespace {

TEST(FiOpen, BadOpenModeIsRefusedAndReleased) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  const std::uint32_t heap = rmGetHeapCount();
  for (std::int32_t mode : {-1, 4, 5, 8, 10}) {
    Open in(mode, dir / "in", 2);
    EXPECT_EQ(in.Run(), kFioBadOpenMode) << mode;
    EXPECT_EQ(in.fcb, nullptr);
  }
  EXPECT_EQ(rmGetHeapCount(), heap);
}

TEST(FiOpen, InputAndOutputModes) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  for (std::int32_t mode : {kOpenInput, kOpenInputUpdate}) {
    Open in(mode, dir / "in", 2);
    ASSERT_EQ(in.Run(), kFioOk);
    EXPECT_EQ(in.fcb->direction, kFcbInput);
  }
  for (std::int32_t mode : {kOpenOutput, kOpenOutputUpdate, kOpenAppend}) {
    Open out(mode, dir / "out", 2);
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.fcb->direction, kFcbOutput);
  }
}

TEST(FiOpen, InputOrganisationAboveZeroIsBadFileType) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  struct Case {
    std::int32_t organisation;
    std::int32_t rc;
  };
  for (const Case c : {Case{1, kFioBadFileType}, Case{12, kFioBadFileType}, Case{0, kFioOk},
                       Case{-5, kFioOk}, Case{kNotGiven, kFioOk}}) {
    Open in(kOpenInput, dir / "in", 2);
    in.organisation = c.organisation;
    EXPECT_EQ(in.Run(), c.rc) << c.organisation;
  }
}

TEST(FiOpen, OutputOrganisationAlwaysBecomesZero) {
  ScratchDir dir;
  for (std::int32_t organisation : {1, 4, -3, kNotGiven}) {
    Open out(kOpenOutput, dir / "out", 2);
    out.organisation = organisation;
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.organisation, 0);
  }
}

TEST(FiOpen, MissingInputIsSystemError) {
  ScratchDir dir;
  Open in(kOpenInput, dir / "missing", 2);
  EXPECT_EQ(in.Run(), FioSystemError(ENOENT));
  EXPECT_EQ(in.fcb, nullptr);
}

TEST(FiOpen, OutputCreateFailureIsSystemError) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "no/such/dir/out", 2);
  testing::internal::CaptureStderr();
  EXPECT_EQ(out.Run(), FioSystemError(ENOENT));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("*ERROR* " + (dir / "no/such/dir/out")), std::string::npos) << err;
  EXPECT_EQ(out.fcb, nullptr);
}

TEST(FiOpen, EmptyOrBlankNameIsStandardInput) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("line one\nline two\n"));
  const int fd = ::open((dir / "in").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  fiotest::Redirect redirect(0, fd);
  ::close(fd);
  Open in(kOpenInput, " ignored", 3);
  ASSERT_EQ(in.Run(), kFioOk);
  EXPECT_STREQ(in.name, "STDIN$");
  EXPECT_EQ(in.nameLength, 6);
  EXPECT_STREQ(in.fcb->fileName, "STDIN$");
  EXPECT_EQ(in.fcb->stdio, kFcbStdio);
  Bytes r;
  EXPECT_EQ(in.Get(r, 100), kFioOk);
  EXPECT_EQ(r, B("line one"));
}

TEST(FiOpen, EmptyNameIsStandardOutput) {
  ScratchDir dir;
  const int fd = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  {
    fiotest::Redirect redirect(1, fd);
    Open out(kOpenOutput, "", 3);
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_STREQ(out.name, "STDOUT$");
    EXPECT_EQ(out.nameLength, 7);
    EXPECT_EQ(out.Put(B("hello")), kFioOk);
    EXPECT_EQ(out.Close(), kFioOk);
  }
  ::close(fd);
  EXPECT_EQ(ReadFileBytes(dir / "out"), B("hello\n"));
}

TEST(FiOpen, NameLengthAndOriginPair) {
  ScratchDir dir;
  WriteFileBytes(dir / "input.dat", B("x"));
  Open in(kOpenInput, dir / "input.dat", 2);
  ASSERT_EQ(in.Run(), kFioOk);
  EXPECT_EQ(in.nameLength, static_cast<std::int32_t>((dir / "input.dat").size()));
  EXPECT_EQ(in.origin[0], 0x00);
  EXPECT_EQ(in.origin[1], 0xE0);
  EXPECT_EQ(in.device, 0);
  EXPECT_STREQ(in.fcb->fileName, (dir / "input.dat").c_str());
}

TEST(FiOpen, UndefinedInputWithoutLengthReads512ByteBlocks) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", fiotest::Pattern(1000));
  Open in(kOpenInput, dir / "in", 2);
  ASSERT_EQ(in.Run(), kFioOk);
  EXPECT_EQ(in.recordLength, 512);
  Bytes r;
  EXPECT_EQ(in.Get(r, 4096), kFioOk);
  EXPECT_EQ(r.size(), 512u);
  EXPECT_EQ(in.Get(r, 4096), kFioOk);
  EXPECT_EQ(r.size(), 488u);
  EXPECT_EQ(in.Get(r, 4096), kFioEndOfFile);
  EXPECT_TRUE(r.empty());
}

TEST(FiOpen, OutputMarkersBecomeZeroAndTextGetsDefaultDelimiter) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 3);
  out.organisation = kNotGiven;
  out.recordLength = kNotGiven;
  out.blockSize = kNotGiven;
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.organisation, 0);
  EXPECT_EQ(out.recordLength, 0);
  EXPECT_EQ(out.blockSize, 0);
  EXPECT_EQ(out.delimiter, kDelimDefault);
  EXPECT_EQ(out.delimiter, 0x0100000Au);  // LF, the local line end
  EXPECT_EQ(out.fcb->recordFormat, kFmtTextStored);
  EXPECT_EQ(out.fcb->bufferSize, kFcbMinBufferSize);
}

TEST(FiOpen, OutputLengthsAreMadePositiveAndCapped) {
  ScratchDir dir;
  struct Case {
    std::int32_t in;
    std::int32_t out;
  };
  for (const Case c : {Case{-80, 80}, Case{32768, 32768}, Case{32769, 0}, Case{INT32_MIN, 0}}) {
    Open out(kOpenOutput, dir / "out", 2);
    out.recordLength = c.in;
    out.blockSize = c.in;
    ASSERT_EQ(out.Run(), kFioOk) << c.in;
    EXPECT_EQ(out.recordLength, c.out) << c.in;
  }
  Open out(kOpenOutput, dir / "out", 2);
  out.blockSize = -100;
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.blockSize, 100);
  EXPECT_EQ(out.fcb->blockFree, 100);
}

TEST(FiOpen, FixWithoutRecordLengthIsRefused) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("abcdef"));
  struct Case {
    std::int32_t mode;
    std::int32_t length;
  };
  for (const Case c : {Case{kOpenOutput, 0}, Case{kOpenOutput, 40000}, Case{kOpenOutput, kNotGiven},
                       Case{kOpenInput, 0}, Case{kOpenInput, -4}, Case{kOpenInput, kNotGiven}}) {
    Open f(c.mode, dir / (c.mode == kOpenInput ? "in" : "out"), 1);
    f.recordLength = c.length;
    EXPECT_EQ(f.Run(), kFioBadRecordLength) << c.mode << " " << c.length;
    EXPECT_EQ(f.fcb, nullptr);
  }
}

TEST(FiOpen, OutputFillPairNotGivenBecomesGiven) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 1);
  out.recordLength = 4;
  out.fillPair[0] = 0x40;
  out.fillPair[1] = 0xFF;
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.fillPair[0], 0x40);
  EXPECT_EQ(out.fillPair[1], 1);
  EXPECT_EQ(out.fcb->fillByte, 0x40);
  EXPECT_EQ(out.Put(B("a")), kFioPadded);
  out.Close();
  EXPECT_EQ(ReadFileBytes(dir / "out"), (Bytes{'a', 0x40, 0x40, 0x40}));
}

TEST(FiOpen, OutputCloseDispositionAndDeviceBecomeZero) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 2);
  out.closeDisposition = 2;
  out.device = 3;
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.closeDisposition, 0);
  EXPECT_EQ(out.device, 0);
}

TEST(FiOpen, OutputFormatNormalisation) {
  ScratchDir dir;
  struct Case {
    std::int32_t given;
    std::int32_t argument;  // the argument afterwards
    std::int32_t stored;    // the block's code
  };
  for (const Case c : {Case{-3, 3, 11}, Case{kNotGiven, 3, 11}, Case{208, 2, 2}, Case{300, 3, 11},
                       Case{257, 1, 1}, Case{256, 0, 0}, Case{12, 12, 12}, Case{8, 0, 0},
                       Case{24, 0, 0}, Case{25, 1, 1}, Case{96, 96, 96}, Case{99, 3, 11}}) {
    Open out(kOpenOutput, dir / "out", c.given);
    out.recordLength = 10;
    ASSERT_EQ(out.Run(), kFioOk) << c.given;
    EXPECT_EQ(out.recordFormat, c.argument) << c.given;
    EXPECT_EQ(out.fcb->recordFormat, c.stored) << c.given;
  }
}

TEST(FiOpen, OutputAsn1WritesRecordsUnchangedAndUnknownWritesText) {
  ScratchDir dir;
  EXPECT_EQ(rectest::WriteFile(dir / "a", 208, {B("ab"), B("cd")}),
            (std::vector<std::int32_t>{0, 0, 0}));
  EXPECT_EQ(ReadFileBytes(dir / "a"), B("abcd"));
  EXPECT_EQ(rectest::WriteFile(dir / "t", 300, {B("ab"), B("cd")}),
            (std::vector<std::int32_t>{0, 0, 0}));
  EXPECT_EQ(ReadFileBytes(dir / "t"), B("ab\ncd\n"));
}

TEST(FiOpen, AppendModeKeepsTheFile) {
  ScratchDir dir;
  WriteFileBytes(dir / "out", B("old\n"));
  rectest::WriteFile(dir / "new", 3, {B("x")});
  {
    Open out(kOpenAppend, dir / "out", 3);
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.Put(B("new")), kFioOk);
  }
  EXPECT_EQ(ReadFileBytes(dir / "out"), B("old\nnew\n"));
  {
    Open out(kOpenOutput, dir / "out", 3);  // replaces
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.Put(B("only")), kFioOk);
  }
  EXPECT_EQ(ReadFileBytes(dir / "out"), B("only\n"));
}

TEST(FiOpen, UserIoDeviceGoesToTheExitWhichRefuses) {
  ScratchDir dir;
  const std::uint32_t heap = rmGetHeapCount();
  Open f(kOpenInput, dir / "in", 2);
  f.device = kDeviceUserIo;
  EXPECT_EQ(f.Run(), kFioBadBlock);
  EXPECT_EQ(f.fcb, nullptr);
  EXPECT_EQ(rmGetHeapCount(), heap);
}

TEST(FiOpen, NoMemoryForTheBlock) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  const std::uint32_t heap = rmGetHeapCount();
  for (std::uint32_t n = 1; n <= 3; ++n) {
    Open in(kOpenInput, dir / "in", 3);
    rmHeapInjectFailure(n);
    const std::int32_t rc = in.Run();
    rmHeapInjectFailure(0);
    if (rc == kFioOk) {
      in.Close();
    } else {
      EXPECT_EQ(rc, kFioBadBlock) << n;
      EXPECT_EQ(in.fcb, nullptr);
    }
  }
  EXPECT_EQ(rmGetHeapCount(), heap);
}

TEST(FiOpen, OpenAndCloseReleaseEverything) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x\n"));
  const std::uint32_t heap = rmGetHeapCount();
  {
    Open in(kOpenInput, dir / "in", 3);
    ASSERT_EQ(in.Run(), kFioOk);
    EXPECT_EQ(FioBasicHandle(in.fcb), in.fcb->io);
    EXPECT_EQ(in.Close(), kFioOk);
    EXPECT_EQ(in.fcb, nullptr);
  }
  {
    Open out(kOpenOutput, dir / "out", 1);
    out.recordLength = 8;
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.Put(B("ab")), kFioPadded);  // makes the pad buffer
    EXPECT_EQ(out.Close(), kFioOk);
  }
  EXPECT_EQ(rmGetHeapCount(), heap);
  EXPECT_EQ(FioBasicHandle(nullptr), nullptr);
}

TEST(FiOpen, BadSlotsAreRefused) {
  ScratchDir dir;
  FileControlBlock* none = nullptr;
  std::int32_t rc = 0;
  fiocls(none, rc);
  EXPECT_EQ(rc, kFioBadBlock);
  std::int32_t length = 0;
  std::uint8_t buffer[16];
  fioget(none, rc, length, buffer, 16);
  EXPECT_EQ(rc, kFioBadBlock);
  fioput(none, rc, 4, buffer);
  EXPECT_EQ(rc, kFioBadBlock);

  WriteFileBytes(dir / "in", B("x"));
  Open in(kOpenInput, dir / "in", 2);
  ASSERT_EQ(in.Run(), kFioOk);
  FileControlBlock copy = *in.fcb;  // a block that is not where its self word says
  FileControlBlock* foreign = &copy;
  fioget(foreign, rc, length, buffer, 16);
  EXPECT_EQ(rc, kFioBadBlock);
  fioput(foreign, rc, 1, buffer);
  EXPECT_EQ(rc, kFioBadBlock);
  fiocls(foreign, rc);
  EXPECT_EQ(rc, kFioBadBlock);
  EXPECT_EQ(foreign, &copy);
}

// Input attribute vectors: the full form from the file, the short forms otherwise.
TEST(FiOpen, InputFullAttributeVector) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", fiotest::Pattern(300));
  Open in(kOpenInput, dir / "in", 3);
  in.delimiter = kDelimCrLf;
  in.attributeLevel = 44;
  std::memset(in.attributes, 0x55, sizeof in.attributes);
  ASSERT_EQ(in.Run(), kFioOk);
  EXPECT_EQ(in.attributeLevel, 44);
  EXPECT_EQ(in.attributes[0], 11);  // the block's code
  EXPECT_EQ(in.attributes[1], 0x0D);
  EXPECT_EQ(in.attributes[2], 0x0A);
  EXPECT_EQ(in.attributes[3], 2);
  EXPECT_EQ(in.attributes[4], 2);
  EXPECT_EQ(in.attributes[40] | (in.attributes[41] << 8), 300);
  EXPECT_EQ(in.attributes[44], 0x55);  // nothing behind the vector
}

TEST(FiOpen, InputShortAttributeVectors) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  struct Case {
    std::int32_t format;
    std::uint32_t delimiter;
    std::int32_t levelIn;
    std::int32_t levelOut;
    Bytes bytes;
  };
  const Case cases[] = {
      {3, 0, 3, 3, {3, 0x0A, 0}},  // the LF default, count 1
      {12, kDelimCrLf, 5, 3, {12, 0x0D, 0x0A}},
      {3, 0, 2, 1, {3}},
      {1, 0, 3, 1, {1}},
      {0, 0, 43, 1, {0}},
      {216, 0, 3, 3, {216, 0x40, 0}},
  };
  for (const Case& c : cases) {
    Open in(kOpenInput, dir / "in", c.format);
    in.recordLength = 10;
    in.blockSize = 64;
    in.delimiter = c.delimiter;
    in.fillPair[0] = 0x40;
    in.attributeLevel = c.levelIn;
    ASSERT_EQ(in.Run(), kFioOk) << c.format;
    EXPECT_EQ(in.attributeLevel, c.levelOut) << c.format;
    EXPECT_EQ(Bytes(in.attributes, in.attributes + c.bytes.size()), c.bytes) << c.format;
  }
}

TEST(FiOpen, InputDelimiterWithOneCharacterRepeatsIt) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  Open in(kOpenInput, dir / "in", 3);
  in.delimiter = 0x0100007C;
  ASSERT_EQ(in.Run(), kFioOk);
  EXPECT_EQ(in.fcb->delimiter, 0x01007C7Cu);
  EXPECT_EQ(in.delimiter, 0x0100007Cu);
}

// Output attribute vectors carry the delimiter of the member.
TEST(FiOpen, OutputDelimiterFromAttributeVector) {
  ScratchDir dir;
  struct Case {
    std::int32_t level;
    Bytes vector;
    std::uint32_t delimiter;  // the block's delimiter afterwards
  };
  const Case cases[] = {
      {3, {11, 0x0D, 0x0A}, kDelimCrLf},
      {4, {11, 0x7C, 0x00}, 0x0100007C},
      {3, {0, 0x0D, 0x0A}, kDelimDefault},  // a var_2b member carries none
      {5, {11, '0', 'd', '0', 'a'}, kDelimCrLf},
      {5, {11, '7', 'c', 0, 0}, 0x0100007C},
      {5, {0, '0', 'a', 0, 0}, kDelimDefault},
      {5, {11, 'x', 'y', 0, 0}, kDelimDefault},  // no hexadecimal digits
      {3, {2, 0x0D, 0x0A}, kDelimDefault},
      {3, {32, 0x0D, 0x0A}, kDelimDefault},
      {3, {16, 0x0D, 0x0A}, kDelimDefault},
      {1, {11}, kDelimDefault},
      {44, {11, 0x0D, 0x0A, 2, 2}, kDelimDefault},  // the full form does not carry it
  };
  for (const Case& c : cases) {
    Open out(kOpenOutput, dir / "out", 3);
    out.delimiter = 0x0100003B;  // the caller's own is replaced
    out.attributeLevel = c.level;
    std::memcpy(out.attributes, c.vector.data(), c.vector.size());
    ASSERT_EQ(out.Run(), kFioOk) << c.level;
    EXPECT_EQ(out.fcb->delimiter, c.delimiter) << c.level << " " << int(c.vector[0]);
    EXPECT_EQ(out.delimiter, c.delimiter);
  }
  // Record format -3 acts as 3.
  Open out(kOpenOutput, dir / "out", -3);
  out.attributeLevel = 3;
  const std::uint8_t v[3] = {11, 0x0D, 0x0A};
  std::memcpy(out.attributes, v, 3);
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.Put(B("ab")), kFioOk);
  out.Close();
  EXPECT_EQ(ReadFileBytes(dir / "out"), B("ab\r\n"));
}

TEST(FiOpen, OutputAsn1BlockFillByteFromAttributeVector) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 216);
  out.blockSize = 16;
  out.fillPair[0] = 0;
  out.fillPair[1] = 0xFF;
  out.attributeLevel = 3;
  const std::uint8_t v[3] = {216, 0x5A, 0};
  std::memcpy(out.attributes, v, 3);
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.fcb->fillByte, 0x5A);
  EXPECT_EQ(out.fillPair[0], 0x5A);
  EXPECT_EQ(out.fillPair[1], 1);
  EXPECT_EQ(out.fcb->delimiter, 0u);
}

TEST(FiOpen, DtausCodeTables) {
  ScratchDir dir;
  struct Case {
    std::int32_t format;
    std::uint8_t blank;
    std::uint8_t zero;
    std::uint8_t outA;
    std::uint8_t inA;
    std::uint8_t map4A;  // where the table sends 0x4A
  };
  const Case cases[] = {
      {96, 0x20, 0x30, 0x41, 0x41, 0x4A},  {128, 0x00, 0x30, 0x41, 0x41, 0x4A},
      {192, 0x00, 0x30, 0x41, 0x41, 0x4A}, {104, 0x40, 0xF0, 0xC1, 0x41, 0xD1},
      {200, 0x40, 0xF0, 0xC1, 0x41, 0xD1}, {120, 0x20, 0x30, 0x41, 0xC1, 0x8E},
      {176, 0x20, 0x30, 0x41, 0xC1, 0x8E}, {112, 0x20, 0x30, 0x41, 0xC1, 0x5B},
      {80, 0x20, 0x30, 0x41, 0xC1, 0x5B},
  };
  for (const Case& c : cases) {
    Open out(kOpenOutput, dir / "out", c.format);
    ASSERT_EQ(out.Run(), kFioOk) << c.format;
    const FileControlBlock& f = *out.fcb;
    EXPECT_EQ(f.dtausBlank, c.blank) << c.format;
    EXPECT_EQ(f.dtausZero, c.zero) << c.format;
    EXPECT_EQ(f.dtausLetters[0], c.outA) << c.format;
    EXPECT_EQ(f.dtausLetters[2], c.outA + 4) << c.format;
    EXPECT_EQ(f.dtausLetters[3], c.inA) << c.format;
    EXPECT_EQ(f.codeTable[0x4A], c.map4A) << c.format;
    EXPECT_EQ(f.dtausState, 0);
  }
  // The _ea0 patch: umlauts and sharp s to DIN 66003.
  Open out(kOpenOutput, dir / "out", 168);
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.fcb->codeTable[0x5A], 0x5D);
  EXPECT_EQ(out.fcb->codeTable[0xA1], 0x7E);
  EXPECT_EQ(out.fcb->codeTable[0xE0], 0x5C);
  EXPECT_EQ(out.fcb->codeTable[0xC1], 0x41);
}

TEST(DtausCodeTables, ListedEntries) {
  EXPECT_EQ(codetabea[0x40], 0x20);
  EXPECT_EQ(codetabea[0x4A], 0x8E);
  EXPECT_EQ(codetabea[0x6C], 0x25);
  EXPECT_EQ(codetabea[0xCA], 0xBA);
  EXPECT_EQ(codetabea[0xD9], 0x52);
  EXPECT_EQ(codetabea[0xE0], 0x99);
  EXPECT_EQ(codetabea[0xF9], 0x39);
  EXPECT_EQ(codetabea[0x81], 0x81);  // unlisted: itself
  EXPECT_EQ(codetabae[0x20], 0x40);
  EXPECT_EQ(codetabae[0x39], 0xF9);
  EXPECT_EQ(codetabae[0x4A], 0xD1);
  EXPECT_EQ(codetabae[0x5C], 0xE0);
  EXPECT_EQ(codetabae[0x7E], 0xA1);
  EXPECT_EQ(codetabae[0xE1], 0xA1);
  EXPECT_EQ(codetabae[0x61], 0x61);
}

TEST(FiClose, DtausFileBeforeItsEndRecordIsIncomplete) {
  ScratchDir dir;
  const std::uint32_t heap = rmGetHeapCount();
  Open out(kOpenOutput, dir / "out", 96);
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.Close(), kFioBadData);
  EXPECT_EQ(out.fcb, nullptr);
  EXPECT_EQ(rmGetHeapCount(), heap);
  Open done(kOpenOutput, dir / "out", 152);
  ASSERT_EQ(done.Run(), kFioOk);
  done.fcb->dtausState = 2;
  EXPECT_EQ(done.Close(), kFioOk);
  // The rule covers the code range 80 to 200, also a code between the sixteen.
  WriteFileBytes(dir / "in", B("x"));
  Open between(kOpenInput, dir / "in", 84);
  ASSERT_EQ(between.Run(), kFioOk);
  EXPECT_EQ(between.Close(), kFioBadData);
}

TEST(FiClose, Asn1FileInsideALongElementIsIncomplete) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("x"));
  Open in(kOpenInput, dir / "in", 208);
  ASSERT_EQ(in.Run(), kFioOk);
  in.fcb->asnPending = 12;
  EXPECT_EQ(in.Close(), kFioBadData);
}

TEST(FiClose, StartedAsn1BlockIsFilledAndWritten) {
  ScratchDir dir;
  Open out(kOpenOutput, dir / "out", 216);
  out.blockSize = 16;
  out.fillPair[0] = 0x40;
  out.fillPair[1] = 1;
  ASSERT_EQ(out.Run(), kFioOk);
  // Three bytes in the block, as the block writer leaves them.
  std::memcpy(out.fcb->buffer, "abc", 3);
  out.fcb->cursor = out.fcb->buffer + 3;
  out.fcb->blockFree = 13;
  EXPECT_EQ(out.Close(), kFioOk);
  Bytes expect = B("abc");
  expect.resize(16, 0x40);
  EXPECT_EQ(ReadFileBytes(dir / "out"), expect);
}

TEST(FiClose, WriteFailureAtCloseIsSystemError) {
  ScratchDir dir;
  fiotest::ScopedHooks hooks;
  hooks->failWriteAt = 1;
  Open out(kOpenOutput, dir / "out", 3);
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.Put(B("buffered")), kFioOk);
  EXPECT_EQ(out.Close(), FioSystemError(ENOSPC));
  EXPECT_EQ(out.fcb, nullptr);
}

TEST(FioPut, WriteFailureIsSystemErrorWithItsLine) {
  ScratchDir dir;
  fiotest::ScopedHooks hooks;
  hooks->failWriteAt = 1;
  Open out(kOpenOutput, dir / "out", 2);
  ASSERT_EQ(out.Run(), kFioOk);
  const Bytes big(30000, 'x');
  std::int32_t rc = kFioOk;
  testing::internal::CaptureStderr();
  for (int i = 0; i < 10 && rc == kFioOk; ++i) rc = out.Put(big);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(rc, FioSystemError(ENOSPC));
  EXPECT_FALSE(err.empty());
}

TEST(FioGet, ReadFailureIsSystemError) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("abc\ndef\n"));
  for (std::int32_t format : {0, 1, 2, 3, 18, 257}) {
    Open in(kOpenInput, dir / "in", format);
    in.recordLength = 4;
    ASSERT_EQ(in.Run(), kFioOk);
    fiotest::ScopedHooks hooks;
    hooks->failReadAt = 1;
    Bytes r;
    EXPECT_EQ(in.Get(r, 100), FioSystemError(EIO)) << format;
  }
}

// The buffered file layer's own codes keep their numbers for its callers, but a record layer
// code 0x0F000000 + n names a system error: there they come as the fitting system error, never
// as the unrelated one of the same number (6 ENXIO, 12 ENOMEM).
TEST(FioSystemErrors, OwnCodesOfTheFileLayerBecomeFittingSystemErrors) {
  ScratchDir dir;
  WriteFileBytes(dir / "in", B("abc\n"));
  Open in(kOpenInput, dir / "in", 3);
  ASSERT_EQ(in.Run(), kFioOk);
  testing::internal::CaptureStderr();
  EXPECT_EQ(in.Put(B("x")), FioSystemError(EBADF));  // a write on an input file
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(BasicLastError(in.fcb->io), 12u);
  EXPECT_EQ(BasicSystemError(in.fcb->io), static_cast<std::uint32_t>(EBADF));

  // Standard input missing: the object is not open (6).
  fiotest::Redirect noStdin(0, -1);
  Open console(kOpenInput, "", 3);
  ASSERT_EQ(console.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(console.Get(r, 100), FioSystemError(EBADF));
  EXPECT_EQ(BasicLastError(console.fcb->io), 6u);
}

TEST(FioSystemErrors, OwnCodesAndTheirSystemErrors) {
  EXPECT_EQ(BasicSystemError(nullptr), static_cast<std::uint32_t>(EBADF));
  EXPECT_EQ(BasicLastError(nullptr), 6u);
  TBasicIo* reader = BasicIoCreate(kBasicIoInput);
  ASSERT_NE(reader, nullptr);
  std::uint32_t got = 0;
  std::uint8_t byte = 0;
  EXPECT_EQ(BasicRead(reader, &byte, 1, &got), 0);
  EXPECT_EQ(BasicLastError(reader), 6u);
  EXPECT_EQ(BasicSystemError(reader), static_cast<std::uint32_t>(EBADF));
  EXPECT_EQ(BasicRewind(reader), 0);
  BasicIoDelete(reader);

  // A pipe cannot go to its end (66), and a second open is busy (170).
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  {
    fiotest::Redirect pipeIn(0, fds[0]);
    TBasicIo* piped = BasicStdIoCreate(kBasicIoInput);
    ASSERT_NE(piped, nullptr);
    EXPECT_EQ(BasicEndwind(piped), 0);
    EXPECT_EQ(BasicLastError(piped), 66u);
    EXPECT_EQ(BasicSystemError(piped), static_cast<std::uint32_t>(ESPIPE));
    EXPECT_EQ(BasicOpenFile(piped, "/dev/null", 1), 0);
    EXPECT_EQ(BasicLastError(piped), 170u);
    EXPECT_EQ(BasicSystemError(piped), static_cast<std::uint32_t>(EBUSY));
    BasicIoDelete(piped);
  }
  ::close(fds[0]);
  ::close(fds[1]);

  // A real system error of the same number as an own code stays what it is.
  ScratchDir dir;
  TBasicIo* writer = BasicIoCreate(kBasicIoOutput);
  ASSERT_NE(writer, nullptr);
  fiotest::ScopedHooks hooks;
  hooks->failWriteAt = 1;
  hooks->writeErrno = ENOMEM;
  ASSERT_EQ(BasicCreateFile(writer, (dir / "out").c_str(), 4), 1);
  std::uint32_t written = 0;
  ASSERT_EQ(BasicWrite(writer, "abc", 3, &written), 1);
  EXPECT_EQ(BasicClose(writer), 0);
  EXPECT_EQ(BasicLastError(writer), static_cast<std::uint32_t>(ENOMEM));
  EXPECT_EQ(BasicSystemError(writer), static_cast<std::uint32_t>(ENOMEM));
  BasicIoDelete(writer);
}

// The two codes of the table that belong to name expansion and deletion.
TEST(FioReturnCodes, WildcardsAndFailedDeletion) {
  FilpasContext* context = nullptr;
  std::int32_t rc = -99;
  std::int32_t function = kFilpasAsk;
  const std::uint8_t pattern[] = {3, 'a', '*', 'b', 0};
  std::uint8_t result[kFilpasResultSize] = {};
  filpas(context, rc, function, pattern, result);
  EXPECT_EQ(rc, kFioWildcards);
  function = kFilpasEnd;
  filpas(context, rc, function, pattern, result);

  ScratchDir dir;
  const std::string missing = dir / "missing";
  Bytes list{static_cast<std::uint8_t>(missing.size())};
  list.insert(list.end(), missing.begin(), missing.end());
  list.push_back(0);
  list.push_back(0);
  fioera(nullptr, rc, 0, std::span<const std::uint8_t>(list));
  EXPECT_EQ(rc, kFioEraseFailed);
  EXPECT_EQ(kFioEraseFailed, 103);
}

}  // namespace
