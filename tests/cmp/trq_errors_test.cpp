// The record interface's answers to bad arguments, bad order and failed allocations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/heap.h"
#include "trq_roundtrip.h"

using namespace trqtest;

namespace {

constexpr std::int32_t Tagged(std::uint32_t code) {
  return static_cast<std::int32_t>(code | 0xF0000000u);
}

// A handle opened for writing a container file (fix records of 80 bytes unless said).
class Writing : public ::testing::Test {
 protected:
  void TearDown() override {
    if (slot) Close(slot);
    std::remove(path.c_str());
  }
  Result Open(Layout l) {
    layout = l;
    return OpenForWriting(slot, path, layout);
  }
  Result Open() {
    Layout l;
    l.recordLength = 80;
    return Open(l);
  }
  std::string path = TempPath("w");
  RecordHandle* slot = nullptr;
  Layout layout;
};

TEST(TrqOpen, OpenModes) {
  const std::string path = TempPath("modes");
  for (std::int32_t mode : {-1, 3, 4, 8, 10}) {
    RecordHandle* slot = nullptr;
    std::int32_t rc = 0;
    const std::int32_t one = 1, option = 0;
    trqopn(slot, rc, one, mode, path.c_str(), option);
    EXPECT_EQ(rc, kTrqBadOpenMode) << mode;
    EXPECT_EQ(slot, nullptr);
  }
  for (std::int32_t mode : {0, 1, 2, 9}) {
    RecordHandle* slot = nullptr;
    std::int32_t rc = 5;
    const std::int32_t one = 1, option = 0;
    trqopn(slot, rc, one, mode, path.c_str(), option);
    ASSERT_EQ(rc, 0) << mode;
    EXPECT_EQ(slot->direction, mode == 0 ? 0 : 1);
    EXPECT_EQ(Close(slot).rc, kTrqBadCall);  // nothing was opened: freed all the same
    EXPECT_EQ(slot, nullptr);
  }
  // A name longer than the handle can hold.
  const std::string longName(kTrqFileNameSize, 'x');
  RecordHandle* slot = nullptr;
  std::int32_t rc = 0;
  const std::int32_t one = 1, mode = 1, option = 0;
  trqopn(slot, rc, one, mode, longName.c_str(), option);
  EXPECT_EQ(rc, kTrqBadName);
  EXPECT_EQ(slot, nullptr);
}

TEST(TrqOpen, DefaultsWriteTheFactoryLayout) {
  const std::string path = TempPath("defaults");
  RecordHandle* slot = nullptr;
  std::int32_t rc = 0;
  const std::int32_t zero = 0, mode = 1;
  trqopn(slot, rc, zero, mode, path.c_str(), zero);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(slot->recordFormat, 1);
  EXPECT_EQ(slot->containerRecordLength, 512);
  EXPECT_EQ(slot->bufferSize, 32768);
  EXPECT_EQ(slot->callState, kTrqOpened | kTrqFileOpen | kTrqContainerOpen);
  EXPECT_EQ(Close(slot).rc, 0);
  EXPECT_EQ(ReadFile(path).size(), 512u);
  std::remove(path.c_str());
}

struct FileCase {
  std::int32_t recordFormat, recordLength, blockLength, want;
};

TEST(TrqOpen, ContainerFileAttributes) {
  const FileCase cases[] = {
      {2, 512, 0, Tagged(34)},     {1, 79, 0, Tagged(35)},    {1, 32761, 0, Tagged(35)},
      {0, 32762, 0, Tagged(35)},   {1, 512, 70, Tagged(36)},  {1, 512, 65533, Tagged(36)},
      {1, 80, 0, 0},               {0, 32760, 0, 0},          {3, 32760, 65532, 0},
  };
  for (const FileCase& c : cases) {
    const std::string path = TempPath("attr");
    RecordHandle* slot = nullptr;
    std::int32_t rc = 0;
    const std::int32_t one = 1, mode = 1, option = 0, pass = 0;
    trqopn(slot, rc, one, mode, path.c_str(), option);
    ASSERT_EQ(rc, 0);
    char name[300];
    std::snprintf(name, sizeof name, "%s", path.c_str());
    std::int32_t nameLength = 254, organisation = 0, format = c.recordFormat,
                 length = c.recordLength, block = c.blockLength, close = 0, device = 0;
    std::uint32_t delimiter = 0;
    trqopd(slot, rc, one, nameLength, name, organisation, format, length, delimiter, pass, block,
           close, device);
    EXPECT_EQ(rc, c.want) << c.recordFormat << " " << c.recordLength << " " << c.blockLength;
    if (rc == 0) {
      EXPECT_EQ(length, c.recordLength);
      EXPECT_EQ(slot->containerRecordLength, c.recordLength - (c.recordFormat == 0 ? 2 : 0));
    } else {
      EXPECT_EQ(slot->file, nullptr);  // the file is closed again
      // No container on a file that did not open.
      Layout l;
      std::int32_t level = 2, security = 0;
      trqopf(slot, rc, level, l.charCode, l.modeWord, l.bufferSize, security, l.mostRecords,
             nullptr, l.fixedBlock, "", "");
      EXPECT_EQ(rc, kTrqBadCall);
    }
    EXPECT_EQ(Close(slot).rc, kTrqBadCall);
    std::remove(path.c_str());
  }
}

struct ContainerCase {
  const char* what;
  std::int32_t recordFormat, recordLength;
  std::int32_t modeWord, mostRecords, fixedBlock, charCode, bufferSize;
  std::int32_t want, wantMode, wantMost, wantFixed, wantCharCode, wantBufferSize;
};

TEST(TrqOpen, ContainerOptions) {
  const ContainerCase cases[] = {
      {"ADC with crypt 0x30 becomes ADC", 1, 80, 0x33, 255, 1, 1, 32768, 0, 3, 255, 1, 1, 65536},
      {"0x05 becomes ADC", 1, 80, 0x05, 5000, 1, 1, 32768, 0, 3, 4095, 1, 1, 65536},
      {"DC8 keeps the top of its range", 1, 80, 0x08, -1, 1, 1, 65536, 0, 8, 65535, 1, 1, 65536},
      {"DC8 below 257 counts kilobytes", 1, 80, 0x08, 9, 1, 1, 12, 0, 8, 9, 1, 1, 12288},
      {"DC8 takes at most 64 KB", 1, 80, 0x08, 9, 1, 1, 100, 0, 8, 9, 1, 1, 65536},
      {"DC8 takes at most 65,536 bytes", 1, 80, 0x08, 9, 1, 1, 100000, 0, 8, 9, 1, 1, 65536},
      {"DC8 in bytes", 1, 80, 0x08, 9, 1, 1, 32768, 0, 8, 9, 1, 1, 32768},
      {"a crypt mode CX8 cannot carry", 1, 80, 0x10, 255, 1, 1, 32768, 22, 3, 255, 1, 1, 32768},
      {"CX7 with a crypt mode", 3, 80, 0x21, 255, 1, 1, 32768, 22, 3, 255, 1, 1, 32768},
      {"CX7 record length 4096", 3, 4096, 0x01, 255, 1, 1, 32768, 25, 1, 255, 1, 1, 32768},
      {"CX7 record length 4095", 3, 4095, 0x01, 255, 0, 1, 32768, 0, 1, 255, 0, 1, 32768},
      {"CX7 in var_2b", 0, 4000, 0x01, 255, 1, 1, 32768, Tagged(34), 1, 255, 1, 1, 32768},
      {"CX8 in text", 3, 4000, 0x00, 255, 1, 1, 32768, Tagged(34), 0, 255, 1, 1, 32768},
      {"CX8 most 1000", 1, 80, 0x00, 1000, 1, 1, 32768, 0, 0, 255, 1, 1, 32768},
      {"CX8 most 0", 1, 80, 0x00, 0, 1, 1, 32768, 0, 0, 255, 1, 1, 32768},
      {"VR8 most 17", 1, 80, 0x02, 17, 1, 1, 32768, 0, 2, 17, 1, 1, 32768},
      {"fix blocks are full", 1, 80, 0x00, 255, 0, 1, 32768, 0, 0, 255, 1, 1, 32768},
      {"var_2b blocks vary", 0, 1000, 0x00, 255, 0, 1, 32768, 0, 0, 255, 0, 1, 32768},
      {"fixed-block flag 5", 0, 1000, 0x00, 255, 5, 1, 32768, 0, 0, 255, 1, 1, 32768},
      {"character code 7", 1, 80, 0x00, 255, 1, 7, 32768, 0, 0, 255, 1, 1, 32768},
      {"EBCDIC", 1, 80, 0x00, 255, 1, 0, 32768, 0, 0, 255, 1, 0, 32768},
      {"buffer 100 KB", 1, 80, 0x00, 255, 1, 1, 100, 0, 0, 255, 1, 1, 114688},
      {"buffer 0", 1, 80, 0x00, 255, 1, 1, 0, 0, 0, 255, 1, 1, 32768},
      {"buffer 3,000,000", 1, 80, 0x00, 255, 1, 1, 3000000, 0, 0, 255, 1, 1, 2621440},
  };
  for (const ContainerCase& c : cases) {
    const std::string path = TempPath("opt");
    RecordHandle* slot = nullptr;
    Layout l{c.recordFormat, c.recordLength, c.modeWord, c.charCode,
             c.bufferSize,   c.mostRecords,  c.fixedBlock};
    const Result r = OpenForWriting(slot, path, l);
    EXPECT_EQ(r.rc, c.want) << c.what;
    EXPECT_EQ(l.modeWord, c.wantMode) << c.what;
    EXPECT_EQ(l.mostRecords, c.wantMost) << c.what;
    EXPECT_EQ(l.fixedBlock, c.wantFixed) << c.what;
    EXPECT_EQ(l.charCode, c.wantCharCode) << c.what;
    if (r.rc == 0) {
      EXPECT_EQ(l.bufferSize, c.wantBufferSize) << c.what;
      // ADC and NDC take records as long as their buffer, DC8 leaves room for a length word.
      const std::int32_t method = l.modeWord & 15;
      const std::int32_t longest = method == 3 || method == 4 ? 65536
                                   : method == 8              ? std::min(c.wantBufferSize - 4, 65500)
                                                              : c.wantBufferSize - 7;
      EXPECT_EQ(slot->longestRecord, longest) << c.what;
    } else {
      // The control block and the file are closed; the handle waits for trqcls.
      ASSERT_NE(slot, nullptr);
      EXPECT_EQ(slot->container, nullptr);
      EXPECT_EQ(slot->file, nullptr);
    }
    if (slot) {
      EXPECT_EQ(Close(slot).rc, r.rc == 0 ? 0 : kTrqBadCall) << c.what;
    }
    std::remove(path.c_str());
  }
}

TEST_F(Writing, OptionsAndPassword) {
  ASSERT_EQ(Open().rc, 0);
  struct SetCase {
    std::int32_t what, value, want;
  };
  for (const SetCase c : {SetCase{1, 16, 0}, SetCase{1, 32, 0}, SetCase{1, 0, 82},
                          SetCase{2, 2, 82}, SetCase{2, 0, 0}, SetCase{2, 3, 0}, SetCase{2, 1, 0},
                          SetCase{3, 1, 81}, SetCase{0, 1, 81}}) {
    std::int32_t rc = -7;
    trqset(slot, rc, c.what, c.value);
    EXPECT_EQ(rc, c.want) << c.what << " " << c.value;
  }
  // Only the block coders take a password; nothing changes.
  std::int32_t rc = 0;
  const std::uint8_t secret[] = "secret";
  const std::int32_t six = 6;
  slot->cryptMode = 0;
  trqpwd(slot, rc, six, secret);
  EXPECT_EQ(rc, kTrqPassword);
  EXPECT_EQ(slot->passwordGiven, 0);
  EXPECT_EQ(slot->cryptMode, 0);
  // A crypt mode without a password refuses records.
  const std::int32_t sixteen = 16, one = 1;
  trqset(slot, rc, one, sixteen);
  const std::uint8_t record[] = "x";
  trqput(slot, rc, one, record);
  EXPECT_EQ(rc, kTrqPassword);
}

TEST_F(Writing, RecordLengthLimits) {
  struct LimitCase {
    std::int32_t bufferSize, length, want;
  };
  for (const LimitCase c : {LimitCase{32768, 32761, 0}, LimitCase{32768, 32762, 16},
                            LimitCase{65536, 32764, 0}, LimitCase{65536, 32765, 15},
                            LimitCase{2048, 2041, 0}, LimitCase{2048, 2042, 16},
                            LimitCase{2048, -1, 25}}) {
    Layout l;
    l.bufferSize = c.bufferSize;
    ASSERT_EQ(Open(l).rc, 0);
    const Bytes record(c.length > 0 ? static_cast<std::size_t>(c.length) : 0, 'r');
    std::int32_t rc = 0;
    trqput(slot, rc, c.length, record.data());
    EXPECT_EQ(rc, c.want) << c.bufferSize << " " << c.length;
    EXPECT_EQ(slot->recordsInMatrix, c.want == 0 ? 1 : 0);
    // Leave without writing anything.
    slot->recordsInMatrix = 0;
    slot->memberContent = 1;
    Close(slot);
  }
}

TEST_F(Writing, CallsOutOfOrder) {
  ASSERT_EQ(Open().rc, 0);
  std::int32_t rc = 0, length = 0, zero = 0;
  std::uint8_t* record = nullptr;
  std::uint8_t buffer[16];
  // Reading calls on a handle for writing, and an open that was done already.
  TrqGetRecord(slot, rc, length, record);
  EXPECT_EQ(rc, kTrqBadCall);
  trqget(slot, rc, length, buffer, 16);
  EXPECT_EQ(rc, kTrqBadCall);
  trqpos(slot, rc, kTrqNextMember);
  EXPECT_EQ(rc, kTrqBadCall);
  trqpos(slot, rc, kTrqNoPosition);  // names no record on any handle
  EXPECT_EQ(rc, kTrqNoRecord);
  trqpos(slot, rc, -4);
  EXPECT_EQ(rc, kTrqNoRecord);
  trqgsh(slot, rc, length, buffer);
  EXPECT_EQ(rc, kTrqBadCall);
  Layout l = layout;
  std::int32_t level = 2, security = 0;
  trqopf(slot, rc, level, l.charCode, l.modeWord, l.bufferSize, security, l.mostRecords, nullptr,
         l.fixedBlock, "", "");
  EXPECT_EQ(rc, kTrqBadCall);
  char name[300] = {};
  std::int32_t nameLength = 254, f = 1, rl = 80, blk = 0, cl = 0, dev = 0;
  std::uint32_t delimiter = 0;
  trqopd(slot, rc, zero, nameLength, name, zero, f, rl, delimiter, zero, blk, cl, dev);
  EXPECT_EQ(rc, kTrqBadCall);
  std::int32_t info = 0;
  trqinfo(slot, rc, 7, info);
  EXPECT_EQ(rc, kTrqBadCall);
  // A null slot, and a block that does not hold its own address.
  RecordHandle* none = nullptr;
  RecordHandle fake{};
  RecordHandle* forged = &fake;
  for (RecordHandle** s : {&none, &forged}) {
    rc = 0;
    trqput(*s, rc, zero, buffer);
    EXPECT_EQ(rc, kTrqBadCall);
    rc = 0;
    TrqGetRecord(*s, rc, length, record);
    EXPECT_EQ(rc, kTrqBadCall);
    rc = 0;
    trqset(*s, rc, zero, zero);
    EXPECT_EQ(rc, kTrqBadCall);
    rc = 0;
    trqrdmod(*s, rc, length);
    EXPECT_EQ(rc, kTrqBadCall);
    Counts c;
    rc = 0;
    trqflu(*s, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
    EXPECT_EQ(rc, kTrqBadCall);
    EXPECT_EQ(Close(*s).rc, kTrqBadCall);
    EXPECT_EQ(new_file(*s, 0, 1, 200, 32768), kTrqBadCall);
  }
}

// Every allocation of an open may fail: the open answers -1 and leaves nothing behind. (The
// record layer reports its own lack of memory as the system's error number.)
TEST(TrqOpen, FailedAllocationsLeakNothing) {
  constexpr std::int32_t kNoMemoryFromSystem = Tagged(0x0F00000Cu);
  for (const std::int32_t mode : {1, 0}) {
    const std::string path = TempPath("alloc");
    if (mode == 0) {
      Layout l;
      Member m;
      m.records = {Bytes(80, 'x')};
      ASSERT_EQ(WriteContainer(path, l, {m}).rc, 0);
    }
    // The first pass lets the message output make its one-time allocations.
    for (int pass = 0; pass < 2; ++pass) {
      bool opened = false;
      for (std::uint32_t k = 1; !opened && k < 64; ++k) {
        const std::uint32_t before = rmGetHeapCount();
        RecordHandle* slot = nullptr;
        std::int32_t rc = 0;
        const std::int32_t zero = 0;
        rmHeapInjectFailure(k);
        trqopn(slot, rc, zero, mode, path.c_str(), zero);
        rmHeapInjectFailure(0);
        if (rc == 0) {
          opened = true;
          ASSERT_NE(slot, nullptr);
          EXPECT_EQ(Close(slot).rc, 0);
        } else {
          EXPECT_TRUE(rc == kTrqBadCall || rc == kNoMemoryFromSystem) << rc << " at " << k;
          EXPECT_EQ(slot, nullptr);
        }
        if (pass == 1) {
          EXPECT_EQ(rmGetHeapCount(), before) << "allocation " << k;
        }
      }
      EXPECT_TRUE(opened);
    }
    std::remove(path.c_str());
  }
}

TEST_F(Writing, HeaderOrder) {
  ASSERT_EQ(Open().rc, 0);
  std::int32_t rc = 0, nameLength = 1, organisation = 0, format = 1, length = 80, block = 0,
               more = 1;
  const std::uint8_t origin[2] = {0x00, 0xE0};
  trqphd(slot, rc, nameLength, "a", organisation, format, length, nullptr, nullptr, block,
         nullptr, origin, more);
  ASSERT_EQ(rc, 0);
  // Records before the last header, and a second file header.
  const std::uint8_t record[] = "abc";
  const std::int32_t three = 3;
  trqput(slot, rc, three, record);
  EXPECT_EQ(rc, kTrqBadCall);
  trqphd(slot, rc, nameLength, "a", organisation, format, length, nullptr, nullptr, block,
         nullptr, origin, more);
  EXPECT_EQ(rc, kTrqBadCall);
  // A system header kind that is none: refused, the header still written without one.
  std::int32_t kind = 5, none = 0;
  trqpsh(slot, rc, kind, record, none);
  EXPECT_EQ(rc, kTrqNoSystemHeader);
  EXPECT_EQ(kind, 0);
  trqput(slot, rc, three, record);
  EXPECT_EQ(rc, 0);
  std::int32_t userLength = 0;
  trqpuh(slot, rc, userLength, record);
  EXPECT_EQ(rc, kTrqBadCall);
}

// A member with a gap bitmap, a record longer than the caller's buffer, positions the reader
// does not know, and an origin without system headers.
TEST(TrqRead, ReaderAnswers) {
  const std::string path = TempPath("answers");
  {
    RecordHandle* slot = nullptr;
    Layout l;
    l.recordLength = 80;
    ASSERT_EQ(OpenForWriting(slot, path, l).rc, 0);
    std::int32_t rc = 0, nameLength = 1, organisation = 0, format = 1, length = 80, block = 0,
                 more = 0;
    const std::uint8_t origin[2] = {0x01, 0x00};
    trqphd(slot, rc, nameLength, "g", organisation, format, length, nullptr, nullptr, block,
           nullptr, origin, more);
    ASSERT_EQ(rc, 0);
    const Bytes twelve(12, 'w');
    for (const std::int32_t n : {12, 3, 0}) {
      trqput(slot, rc, n, twelve.data());
      ASSERT_EQ(rc, 0);
    }
    // The third record is a gap of a relative file: the map 01 20.
    slot->gapMapLength = 1;
    slot->gapMap[1] = 0x20;
    ASSERT_EQ(Close(slot).rc, 0);
  }
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForReading(slot, path).rc, 0);
  std::int32_t rc = 0, length = 0;
  std::uint8_t buffer[512];
  char name[260];
  std::int32_t nameLength = 255, organisation = 0, format = 0, recordLength = 0, block = 0;
  std::uint8_t origin[2] = {};
  trqghd(slot, rc, nameLength, name, organisation, format, recordLength, nullptr, nullptr, block,
         nullptr, origin);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(origin[0], 1);
  std::int32_t capacity = 512;
  trqgsh(slot, rc, capacity, buffer);
  EXPECT_EQ(rc, kTrqNoSystemHeader);
  const std::int32_t ten = 10;
  std::memset(buffer, 0, sizeof buffer);
  trqget(slot, rc, length, buffer, ten);
  EXPECT_EQ(rc, kTrqTruncated);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(buffer[9], 'w');
  EXPECT_EQ(buffer[10], 0);
  trqget(slot, rc, length, buffer, ten);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(length, 3);
  trqget(slot, rc, length, buffer, ten);
  EXPECT_EQ(rc, kTrqGap);
  EXPECT_EQ(length, 0);
  for (const std::int32_t position : {12, 0, 99999997}) {
    trqpos(slot, rc, position);
    EXPECT_EQ(rc, kTrqBadCall) << position;
  }
  for (const std::int32_t position : {-1, 0x7FFFFFFF, 99999999}) {
    trqpos(slot, rc, position);
    EXPECT_EQ(rc, kTrqNoRecord) << position;
  }
  trqget(slot, rc, length, buffer, ten);
  EXPECT_EQ(rc, kTrqEndOfFile);
  std::int32_t value = -5;
  trqinfo(slot, rc, 351, value);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(value, 1);
  // Writing calls on a handle for reading.
  const std::int32_t one = 1;
  trqput(slot, rc, one, buffer);
  EXPECT_EQ(rc, kTrqBadCall);
  std::int32_t userLength = 1;
  trqpuh(slot, rc, userLength, buffer);
  EXPECT_EQ(rc, kTrqBadCall);
  EXPECT_EQ(Close(slot).rc, 0);
  std::remove(path.c_str());
}

// What the container layer and the record layer refuse at the open comes back from it.
TEST(TrqOpen, LowerLayersRefuse) {
  const std::string text = TempPath("text");
  FILE* f = std::fopen(text.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("this is no container at all, only a line of text\n", f);
  std::fclose(f);
  RecordHandle* slot = nullptr;
  EXPECT_EQ(OpenForReading(slot, text).rc, 10);  // "File is not a TORQFILE"
  EXPECT_EQ(Close(slot).rc, kTrqBadCall);

  // An organisation the record layer does not read.
  std::int32_t rc = 0;
  const std::int32_t one = 1, zero = 0;
  trqopn(slot, rc, one, zero, text.c_str(), zero);
  ASSERT_EQ(rc, 0);
  char name[300];
  std::snprintf(name, sizeof name, "%s", text.c_str());
  std::int32_t nameLength = 254, organisation = 1, format = 0, length = 0, block = 0, close = 0,
               device = 0;
  std::uint32_t delimiter = 0;
  trqopd(slot, rc, one, nameLength, name, organisation, format, length, delimiter, zero, block,
         close, device);
  EXPECT_EQ(rc, Tagged(33));
  EXPECT_EQ(Close(slot).rc, kTrqBadCall);

  // An exit routine named for the container.
  const std::string path = TempPath("exit");
  trqopn(slot, rc, one, one, path.c_str(), zero);
  ASSERT_EQ(rc, 0);
  Layout l;
  std::int32_t level = 2, security = 0;
  trqopf(slot, rc, level, l.charCode, l.modeWord, l.bufferSize, security, l.mostRecords, nullptr,
         l.fixedBlock, "EXIT1", "");
  EXPECT_EQ(rc, 43);
  EXPECT_EQ(Close(slot).rc, kTrqBadCall);
  std::remove(text.c_str());
  std::remove(path.c_str());
}

// The member's ModeWord once its first record is read, and stepping from header to header.
TEST(TrqRead, ModeAndHeaderSteps) {
  const std::string path = TempPath("steps");
  Layout l;
  l.modeWord = 2;
  Member m;
  m.name = "v";
  m.records = {Bytes(20, 'v'), Bytes(3, 'w')};
  ASSERT_EQ(WriteContainer(path, l, {m, m}).rc, 0);

  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForReading(slot, path).rc, 0);
  std::int32_t rc = 0, length = 0, mode = 0;
  std::uint8_t* record = nullptr;
  TrqGetRecord(slot, rc, length, record);
  ASSERT_EQ(rc, 0);
  trqrdmod(slot, rc, mode);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(mode, 2);
  mode = 5;
  trqrdmod(slot, rc, mode);
  EXPECT_EQ(mode, 5);
  EXPECT_EQ(Close(slot).rc, 0);

  ASSERT_EQ(OpenForReading(slot, path).rc, 0);
  std::vector<std::int32_t> kinds;
  for (int i = 0; i < 3; ++i) {
    std::int32_t kind = -1;
    mode = -1;
    trqrdblh(slot, rc, kind, mode);
    ASSERT_EQ(rc, 0);
    kinds.push_back(kind);
    EXPECT_EQ(mode, kind == 0 ? 2 : 0);
  }
  EXPECT_EQ(kinds, (std::vector<std::int32_t>{0, 1, 0}));
  std::int32_t kind = -1;
  trqrdblh(slot, rc, kind, mode);
  EXPECT_EQ(rc, kTrqEndOfFile);
  EXPECT_EQ(Close(slot).rc, 0);
  std::remove(path.c_str());
}

// A member that needs a larger matrix buffer than the open made, when there is no memory for
// it: the handle is left without a buffer, answers -1, and trqcls frees it all.
TEST(TrqRead, NoMemoryForALargerBuffer) {
  const std::string path = TempPath("grow");
  Layout l;
  l.bufferSize = 2621440;
  Member m;
  m.records = {Bytes(100, 'g')};
  ASSERT_EQ(WriteContainer(path, l, {m}).rc, 0);
  const std::uint32_t start = rmGetHeapCount();
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForReading(slot, path).rc, 0);
  ASSERT_EQ(GetHeaders(slot, m).rc, 0);
  std::int32_t rc = 0, length = 0;
  std::uint8_t* record = nullptr;
  rmHeapInjectFailure(1);
  TrqGetRecord(slot, rc, length, record);
  rmHeapInjectFailure(0);
  EXPECT_EQ(rc, kTrqBadCall);
  EXPECT_EQ(slot->matrixBuffer, nullptr);
  EXPECT_EQ(slot->codedArea, nullptr);
  TrqGetRecord(slot, rc, length, record);
  EXPECT_EQ(rc, kTrqBadCall);
  EXPECT_EQ(Close(slot).rc, kTrqBadCall);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(rmGetHeapCount(), start);
  std::remove(path.c_str());
}

TEST_F(Writing, CountsAsTwoParts) {
  ASSERT_EQ(Open().rc, 0);
  slot->byteCount = 6500000000u;
  slot->recordCount = 7;
  Counts c;
  std::int32_t rc = 0;
  trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(c.records, 7u);
  EXPECT_EQ(c.bytesHigh, 3u);
  EXPECT_EQ(c.bytesLow, 500000000u);
}

}  // namespace
