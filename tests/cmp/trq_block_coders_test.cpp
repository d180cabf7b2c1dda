// ADC, NDC and DC8 members written through the record interface and read back: both
// character codes, fixed and variable blocks, containers of every family one after the other,
// positioning, the member-start marks the blocks carry, and the record limits.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "cmp/block_io.h"
#include "trq_roundtrip.h"

using namespace trqtest;

namespace {

struct TempFiles {
  std::vector<std::string> paths;
  ~TempFiles() {
    for (const std::string& p : paths) std::remove(p.c_str());
  }
  const std::string& Add(const std::string& stem) { return paths.emplace_back(TempPath(stem)); }
};

// Card-like records with runs and some noise, a few long ones.
std::vector<Bytes> Cards(unsigned seed, std::size_t n, std::size_t longest) {
  std::mt19937 rng(seed);
  std::vector<Bytes> out;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t length = rng() % 100;
    if (rng() % 32 == 0) length = rng() % (longest + 1);
    Bytes r(length, ' ');
    for (std::size_t j = 0; j < length; ++j)
      if (rng() % 3) r[j] = rng() % 4 ? static_cast<std::uint8_t>('A' + (i + j / 5) % 26)
                                      : static_cast<std::uint8_t>(rng());
    out.push_back(std::move(r));
  }
  return out;
}

Member Named(const std::string& name, std::vector<Bytes> records) {
  Member m;
  m.name = name;
  m.recordFormat = 3;
  m.recordLength = 0;
  m.systemHeader = {3, 0x0A, 0x00};
  m.userHeader = {'u'};
  m.records = std::move(records);
  return m;
}

void ExpectSame(const std::vector<Member>& written, const ReadBack& back, const std::string& what) {
  ASSERT_EQ(back.result.rc, 0) << what << ": " << back.result.step;
  ASSERT_EQ(back.members.size(), written.size()) << what;
  for (std::size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(back.members[i].name, written[i].name) << what;
    ASSERT_EQ(back.members[i].records.size(), written[i].records.size()) << what << " member " << i;
    for (std::size_t j = 0; j < written[i].records.size(); ++j)
      ASSERT_EQ(back.members[i].records[j], written[i].records[j])
          << what << " member " << i << " record " << j;
  }
}

// The 8-bit blocks of a container file (fixed or variable), as written.
std::vector<Bytes> Blocks(const Bytes& file, std::size_t fixedSize) {
  std::vector<Bytes> out;
  std::size_t at = 0;
  while (at + 4 <= file.size()) {
    std::size_t n = fixedSize;
    if (n == 0) {
      at += 2;  // the var_2b record prefix; the block tells its own length
      if (at + 2 > file.size()) break;
      n = static_cast<std::size_t>(file[at] << 8 | file[at + 1]) + 2;
    }
    if (at + n > file.size()) break;
    out.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at),
                     file.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  }
  return out;
}

TEST(TrqBlockCoders, RoundTrips) {
  struct Case {
    const char* what;
    std::int32_t modeWord, recordFormat, recordLength, fixedBlock, charCode;
  };
  const Case cases[] = {
      {"ADC fix 512", 3, 1, 512, 1, 1},         {"ADC var_2b 32760", 3, 0, 32760, 0, 0},
      {"ADC var_2b 1000 fixed", 3, 0, 1000, 1, 1}, {"NDC fix 80", 4, 1, 80, 1, 0},
      {"NDC var_2b 4000", 4, 0, 4000, 0, 1},      {"DC8 fix 512", 8, 1, 512, 1, 1},
      {"DC8 var_2b 32760", 8, 0, 32760, 0, 0},    {"DC8 fix 80 EBCDIC", 8, 1, 80, 1, 0},
  };
  for (const Case& c : cases) {
    TempFiles files;
    const std::string& path = files.Add("bc");
    // DC8 matrices of 64 KB take the longest records.
    Layout l{c.recordFormat, c.recordLength, c.modeWord, c.charCode, c.modeWord == 8 ? 65536 : 32768, 0, c.fixedBlock};
    const std::size_t longest = c.modeWord == 8 ? 65496 : 65536;
    const auto seed = static_cast<unsigned>(c.modeWord * 1000 + c.recordLength);
    const std::vector<Member> members = {
        Named("first", Cards(seed, 3000, 2000)),
        Named("", {}),
        Named("long", {Bytes(longest, 'x'), Bytes(1, 'y'), Bytes(), Bytes(longest / 2, 'z')}),
        Named("last", Cards(seed + 1, 50, 500)),
    };
    const Result r = WriteContainer(path, l, members);
    ASSERT_EQ(r.rc, 0) << c.what << ": " << r.step;
    ExpectSame(members, ReadContainer(path), c.what);
  }
}

// Every member's first block carries the family in byte 4; the checksum is taken over 0.
TEST(TrqBlockCoders, MemberStartMarks) {
  for (const std::int32_t mode : {3, 8}) {
    for (const std::int32_t fixed : {0, 1}) {
      TempFiles files;
      const std::string& path = files.Add("mark");
      Layout l{fixed ? 1 : 0, 1000, mode, 1, 32768, 0, fixed};
      const std::vector<Member> members = {Named("a", Cards(1, 200, 300)), Named("b", {}),
                                           Named("c", Cards(2, 20, 30))};
      ASSERT_EQ(WriteContainer(path, l, members).rc, 0);
      const std::vector<Bytes> blocks = Blocks(ReadFile(path), fixed ? 1000 : 0);
      int marked = 0;
      for (const Bytes& b : blocks) {
        const bool fileHeader = b.size() > 8 && (b[2] & 0x7F) == 0 && b[3] == 4 && b[6] == 0x30;
        if (!fileHeader) {
          // A block whose first record begins behind its head carries no mark.
          if ((b[2] & 0x7F) == 0 && b[3] == 4) {
            EXPECT_EQ(b[4], 0) << "mode " << mode;
          }
          continue;
        }
        ++marked;
        EXPECT_EQ(b[4], mode == 3 ? 2 : 1) << "mode " << mode << " fixed " << fixed;
        Bytes zeroed = b;
        zeroed[4] = 0;
        const std::uint16_t sum = BlockChecksum(zeroed.data(), zeroed.size() - 2);
        EXPECT_EQ(sum, b[b.size() - 2] << 8 | b[b.size() - 1]);
      }
      EXPECT_EQ(marked, 3) << "mode " << mode << " fixed " << fixed;
      ExpectSame(members, ReadContainer(path), "marks");
    }
  }
}

// Containers of every family one after the other in one file.
TEST(TrqBlockCoders, FamiliesMixed) {
  TempFiles files;
  struct Part {
    std::int32_t mode, bufferSize;
  };
  const Part parts[] = {{0, 65536}, {3, 0}, {8, 65536}, {2, 16384}, {4, 0}, {8, 2}, {0, 2048}, {3, 0}};
  std::vector<Member> all;
  Bytes joined;
  for (const Part& p : parts) {
    const std::string& path = files.Add("part");
    Layout l{1, 512, p.mode, p.mode == 4 ? 0 : 1, p.bufferSize, 0, 1};
    // DC8 with 2 (kilobytes) codes 2 KB matrices: a record takes at most 2,040 bytes there.
    const std::size_t longest = p.mode == 8 && p.bufferSize == 2 ? 2040
                                : p.mode >= 3 ? 3000
                                              : static_cast<std::size_t>(std::min(p.bufferSize - 7, 1500));
    std::vector<Member> members = {
        Named("m" + std::to_string(all.size()), Cards(static_cast<unsigned>(all.size()), 700, longest)),
        Named("n" + std::to_string(all.size()), Cards(99, 3, 50))};
    ASSERT_EQ(WriteContainer(path, l, members).rc, 0) << p.mode;
    const Bytes b = ReadFile(path);
    joined.insert(joined.end(), b.begin(), b.end());
    all.insert(all.end(), members.begin(), members.end());
  }
  const std::string& path = files.Add("joined");
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(joined.data(), 1, joined.size(), f);
  std::fclose(f);
  ExpectSame(all, ReadContainer(path), "joined");
}

// Positioning to each member, also after some records of the first were read.
TEST(TrqBlockCoders, PositionToEachMember) {
  for (const std::int32_t mode : {3, 8}) {
    for (const std::int32_t fixed : {0, 1}) {
      TempFiles files;
      const std::string& path = files.Add("pos");
      Layout l{fixed ? 1 : 0, 4096, mode, 1, 32768, mode == 3 ? 100 : 300, fixed};
      std::vector<Member> members;
      for (int i = 0; i < 4; ++i)
        members.push_back(Named("p" + std::to_string(i), Cards(10 + i, i == 2 ? 0 : 400 + i * 300, 1000)));
      ASSERT_EQ(WriteContainer(path, l, members).rc, 0);
      for (std::size_t target = 0; target < members.size(); ++target) {
        for (const int taken : {0, 1, 150}) {
          RecordHandle* slot = nullptr;
          ASSERT_EQ(OpenForReading(slot, path).rc, 0);
          std::int32_t rc = 0, length = 0;
          std::uint8_t* record = nullptr;
          for (int i = 0; i < taken && target > 0; ++i) TrqGetRecord(slot, rc, length, record);
          for (std::size_t i = 0; i < target; ++i) {
            trqpos(slot, rc, kTrqNextMember);
            ASSERT_EQ(rc, 0) << "mode " << mode << " target " << target << " taken " << taken;
          }
          Member m;
          ASSERT_EQ(GetHeaders(slot, m).rc, 0);
          EXPECT_EQ(m.name, members[target].name);
          GetRecords(slot, m.records);
          EXPECT_TRUE(m.records == members[target].records)
              << "mode " << mode << " target " << target << " taken " << taken;
          EXPECT_EQ(Close(slot).rc, 0);
        }
      }
    }
  }
}

// Record limits: ADC takes its buffer, DC8 its buffer (the size asked for, at most 64 KB) less
// the length word and its own; ADC matrices hold 4,095 records.
TEST(TrqBlockCoders, RecordLimits) {
  struct Case {
    std::int32_t mode, bufferSize, length, rc;
  };
  const Case cases[] = {{3, 0, 65536, 0},     {3, 0, 65537, 16},    {8, 65536, 65496, 0},
                        {8, 65536, 65497, 16}, {8, 32, 32760, 0},   {8, 32, 32761, 16},
                        {8, 2, 2040, 0},      {8, 2, 2041, 16}};
  for (const Case& c : cases) {
    TempFiles files;
    const std::string& path = files.Add("lim");
    Layout l{0, 32760, c.mode, 1, c.bufferSize, 0, 0};
    RecordHandle* slot = nullptr;
    ASSERT_EQ(OpenForWriting(slot, path, l).rc, 0);
    Member m = Named("x", {});
    m.moreHeaders = false;
    ASSERT_EQ(PutMember(slot, m).rc, 0);
    const Bytes record(static_cast<std::size_t>(c.length), 'r');
    std::int32_t rc = 0;
    trqput(slot, rc, c.length, record.data());
    EXPECT_EQ(rc, c.rc) << c.mode << " " << c.length;
    EXPECT_EQ(Close(slot).rc, 0);
  }
  // 4,096 records of one byte: one matrix of 4,095 and one of 1.
  TempFiles files;
  const std::string& path = files.Add("many");
  std::vector<Bytes> ones(4096, Bytes{'1'});
  const std::vector<Member> members = {Named("ones", ones)};
  ASSERT_EQ(WriteContainer(path, Layout{1, 512, 3, 1, 0, 0, 1}, members).rc, 0);
  ExpectSame(members, ReadContainer(path), "4096 ones");
}

// A password on an ADC container without crypt mode takes TORQenc.
TEST(TrqBlockCoders, PasswordOnAdcTakesTorqenc) {
  TempFiles files;
  const std::string& path = files.Add("pw");
  Layout l{1, 512, 3, 1, 0, 0, 1};
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForWriting(slot, path, l).rc, 0);
  std::int32_t rc = 0;
  const std::uint8_t password[] = {'s', 'e', 'c', 'r', 'e', 't'};
  trqpwd(slot, rc, 6, password);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(slot->cryptMode, 16);
  EXPECT_EQ(slot->passwordGiven, 1);
  EXPECT_EQ(Close(slot).rc, 0);
}

}  // namespace

namespace {

// The headers of a container after its first file header: kinds until the end of the file.
std::vector<std::int32_t> HeaderKinds(const std::string& path) {
  std::vector<std::int32_t> kinds;
  RecordHandle* slot = nullptr;
  if (OpenForReading(slot, path).rc != 0) return kinds;
  for (int i = 0; i < 20; ++i) {
    std::int32_t rc = 0, kind = -1, mode = 0;
    trqrdblh(slot, rc, kind, mode);
    if (rc != 0) break;
    kinds.push_back(kind);
  }
  Close(slot);
  return kinds;
}

// An ADC member without records has one (empty) matrix record; a DC8 member none; the close
// after the last member's end adds nothing.
TEST(TrqBlockCoders, EmptyMembers) {
  for (const std::int32_t mode : {3, 8}) {
    TempFiles files;
    const std::string& path = files.Add("empty");
    ASSERT_EQ(WriteContainer(path, Layout{1, 512, mode, 1, 0, 0, 1}, {Named("e", {}), Named("f", {})}).rc, 0);
    const std::vector<std::int32_t> want =
        mode == 3 ? std::vector<std::int32_t>{0, 1, 0} : std::vector<std::int32_t>{1};
    EXPECT_EQ(HeaderKinds(path), want) << "mode " << mode;
  }
}

}  // namespace
