// Secured containers through the record interface: security headers and trailers written,
// checked on reading, and a container cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <cstdio>
#include <string>
#include <vector>

#include "cmp/block_io.h"
#include "cmp/matrix_frame.h"
#include "cmp/security_records.h"
#include "secured_roundtrip.h"

namespace {

using namespace trqtest;
using securedtest::ReadWithPassword;
using securedtest::WriteSecured;

struct Files {
  std::vector<std::string> paths;
  ~Files() {
    for (const std::string& p : paths) std::remove(p.c_str());
  }
  const std::string& Add(const std::string& stem) { return paths.emplace_back(TempPath(stem)); }
};

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::vector<Member> SomeMembers() {
  std::vector<Member> members;
  for (int i = 0; i < 3; ++i) {
    Member m;
    m.name = "member" + std::to_string(i);
    m.userHeader = {1, 2, 3};
    for (int j = 0; j < 40 + 300 * i; ++j)
      m.records.push_back(B("record " + std::to_string(j) + std::string(j % 50, 'x')));
    members.push_back(m);
  }
  return members;
}

std::size_t Count(const Bytes& file, const Bytes& what) {
  std::size_t n = 0;
  for (auto it = file.begin(); (it = std::search(it, file.end(), what.begin(), what.end())) != file.end(); ++it) ++n;
  return n;
}

TEST(SecuredContainer, RoundTripsFixedAndVariableBlocks) {
  struct Case {
    const char* what;
    Layout layout;
  };
  const Case cases[] = {
      {"ADC fixed 512", Layout{1, 512, 3, 1, 65536, 255, 1}},
      {"ADC variable 2048", Layout{0, 2048, 3, 1, 65536, 255, 0}},
      {"NDC fixed 100", Layout{1, 100, 4, 1, 65536, 255, 1}},
      {"ADC variable 120", Layout{0, 120, 3, 0, 65536, 255, 0}},
  };
  const std::vector<Member> members = SomeMembers();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Files files;
    const std::string& path = files.Add("sec");
    const Result w = WriteSecured(path, c.layout, members);
    ASSERT_EQ(w.rc, 0) << w.step;
    const Bytes file = ReadFile(path);
    // Three member trailers and one file trailer, 45-byte records without crypt mode.
    EXPECT_EQ(Count(file, {0x00, 0x80, 0x2D, 0x07}), 3u);
    EXPECT_EQ(Count(file, {0x00, 0x80, 0x2D, 0x0F}), 1u);
    const ReadBack back = ReadContainer(path);
    ASSERT_EQ(back.result.rc, 0) << back.result.step;
    ASSERT_EQ(back.members.size(), members.size());
    for (std::size_t i = 0; i < members.size(); ++i) EXPECT_EQ(back.members[i].records, members[i].records);
  }
}

// A password on ADC and NDC: TORQenc frames (trailers of 52 bytes), or AES with crypt mode 32
// (60 bytes with MACs); the wrong password reads nothing back.
TEST(SecuredContainer, PasswordRoundTrips) {
  struct Case {
    Layout layout;
    std::uint8_t l, type;
  };
  const std::vector<Member> members = SomeMembers();
  for (const Case& c : {Case{Layout{1, 512, 3, 1, 65536, 255, 1}, 0x31, 0x10},
                        Case{Layout{0, 2048, 4, 1, 65536, 255, 0}, 0x31, 0x10},
                        Case{Layout{1, 512, 0x23, 1, 65536, 255, 1}, 0x39, 0x20},
                        Case{Layout{0, 120, 0x24, 0, 65536, 255, 0}, 0x39, 0x20}}) {
    SCOPED_TRACE(c.layout.modeWord);
    Files files;
    const std::string path = files.Add("pw");
    const Result w = WriteSecured(path, c.layout, members, "secret");
    ASSERT_EQ(w.rc, 0) << w.step;
    const Bytes file = ReadFile(path);
    if (c.layout.recordLength >= 512) {  // trailers whole in one block
      EXPECT_EQ(Count(file, {0x00, 0x80, c.l, static_cast<std::uint8_t>(c.type | 7)}), 3u);
      EXPECT_EQ(Count(file, {0x00, 0x80, c.l, static_cast<std::uint8_t>(c.type | 0xF)}), 1u);
    }
    EXPECT_EQ(Count(file, B("record 1")), 0u);
    const ReadBack back = ReadWithPassword(path, "secret");
    ASSERT_EQ(back.result.rc, 0) << back.result.step;
    ASSERT_EQ(back.members.size(), members.size());
    for (std::size_t i = 0; i < members.size(); ++i) EXPECT_EQ(back.members[i].records, members[i].records);
    const ReadBack wrong = ReadWithPassword(path, "secreT");
    EXPECT_NE(wrong.result.rc, 0);
    EXPECT_TRUE(wrong.members.empty() || wrong.members[0].records.empty());
  }
}

// Two containers under one password differ in their frames (the block id starts at random);
// with the ids and the time fixed they are the same bytes.
TEST(SecuredContainer, FrameKeysApartUnlessFixed) {
  Files files;
  const std::string a = files.Add("a"), b = files.Add("b");
  const Layout layout{1, 512, 0x23, 1, 65536, 255, 1};
  ASSERT_EQ(WriteSecured(a, layout, SomeMembers(), "pw").rc, 0);
  ASSERT_EQ(WriteSecured(b, layout, SomeMembers(), "pw").rc, 0);
  EXPECT_NE(ReadFile(a), ReadFile(b));
  std::tm t{};
  t.tm_year = 126;
  torq::cmp::SetFixedStampTime(&t);
  CmpFixFrameIds(true, 0x01020304, 0x0A0B0C0D);
  ASSERT_EQ(WriteSecured(a, layout, SomeMembers(), "pw").rc, 0);
  ASSERT_EQ(WriteSecured(b, layout, SomeMembers(), "pw").rc, 0);
  CmpFixFrameIds(false, 0, 0);
  torq::cmp::SetFixedStampTime(nullptr);
  EXPECT_EQ(ReadFile(a), ReadFile(b));
}

// Positioned onto each member of a secured container (none, one record, or all of the first
// member taken): the member reads whole and the rest of the container reads to its end; the
// trailers passed over keep their block counts checked.
TEST(SecuredContainer, PositionToEachMember) {
  const std::vector<Member> members = SomeMembers();
  for (const std::int32_t mode : {0x03, 0x23}) {
    Files files;
    const std::string path = files.Add("pos");
    ASSERT_EQ(WriteSecured(path, Layout{1, 512, mode, 1, 65536, 255, 1}, members, "pw").rc, 0);
    for (std::size_t target = 1; target < members.size(); ++target) {
      for (const int taken : {0, 1, 40}) {
        SCOPED_TRACE(testing::Message() << mode << " " << target << " " << taken);
        RecordHandle* slot = nullptr;
        ASSERT_EQ(OpenForReading(slot, path).rc, 0);
        std::int32_t rc = 0, length = 0;
        trqpwd(slot, rc, 2, reinterpret_cast<const std::uint8_t*>("pw"));
        ASSERT_EQ(rc, 0);
        std::uint8_t* record = nullptr;
        for (int i = 0; i < taken; ++i) TrqGetRecord(slot, rc, length, record);
        for (std::size_t i = 0; i < target; ++i) {
          trqpos(slot, rc, kTrqNextMember);
          ASSERT_EQ(rc, 0);
        }
        for (std::size_t i = target; i < members.size(); ++i) {
          Member m;
          ASSERT_EQ(GetHeaders(slot, m).rc, 0);
          EXPECT_EQ(m.name, members[i].name);
          const std::int32_t end = GetRecords(slot, m.records);
          EXPECT_EQ(end, i + 1 < members.size() ? kTrqNewMember : kTrqEndOfFile);
          EXPECT_TRUE(m.records == members[i].records);
        }
        EXPECT_EQ(Close(slot).rc, 0);
      }
    }
  }
}

// Cut at any block boundary before its end, a secured container ends with 13.
TEST(SecuredContainer, CutAtBlockBoundaries) {
  Files files;
  const std::string path = files.Add("full");
  const std::string cut = files.Add("cut");
  ASSERT_EQ(WriteSecured(path, Layout{1, 512, 3, 1, 65536, 255, 1}, SomeMembers()).rc, 0);
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size() % 512, 0u);
  for (std::size_t end = 512; end < file.size(); end += 512) {
    SCOPED_TRACE(end);
    std::FILE* f = std::fopen(cut.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, end, f);
    std::fclose(f);
    const ReadBack back = ReadContainer(cut);
    EXPECT_EQ(back.result.rc, kCmpUnexpectedEnd) << back.result.step;
  }
}

// Writes the file with the block that holds byte `at` given its right checksum again.
void WriteResummed(const std::string& path, Bytes& f, std::size_t at, std::size_t size) {
  std::uint8_t* block = f.data() + at / size * size;
  Bytes summed(block, block + size - 2);
  if ((summed[4] == 1 || summed[4] == 2) && (summed[2] & 0x7F) == 0 && summed[3] == 4) summed[4] = 0;
  const std::uint16_t sum = BlockChecksum(summed.data(), size - 2);
  block[size - 2] = static_cast<std::uint8_t>(sum >> 8);
  block[size - 1] = static_cast<std::uint8_t>(sum);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(f.data(), 1, f.size(), out);
  std::fclose(out);
}

// A member trailer that is no longer one: the next file header comes while the trailer is due.
TEST(SecuredContainer, MemberTrailerGone) {
  Files files;
  const std::string path = files.Add("gone"), changed = files.Add("gone2");
  ASSERT_EQ(WriteSecured(path, Layout{1, 512, 3, 1, 65536, 255, 1}, SomeMembers()).rc, 0);
  Bytes f = ReadFile(path);
  const Bytes head = {0x00, 0x80, 0x2D, 0x07};
  const auto it = std::search(f.begin(), f.end(), head.begin(), head.end());
  ASSERT_NE(it, f.end());
  const auto at = static_cast<std::size_t>(it - f.begin()) + 3;
  f[at] = 0x01;  // a record the reader passes over
  WriteResummed(changed, f, at, 512);
  EXPECT_EQ(ReadContainer(changed).result.rc, kCmpBadFormat);
}

// Every byte of a small AES container changed, the block checksum made right again: the
// reader answers with a code or reads what was written, never other records.
TEST(SecuredContainer, TamperMap) {
  Files files;
  const std::string path = files.Add("aes");
  const std::string changed = files.Add("changed");
  std::vector<Member> members(2);
  for (int i = 0; i < 2; ++i) {
    members[i].name = "m" + std::to_string(i);
    for (int j = 0; j < 12; ++j) members[i].records.push_back(B("line " + std::to_string(i * 100 + j)));
  }
  ASSERT_EQ(WriteSecured(path, Layout{1, 256, 0x23, 1, 65536, 255, 1}, members, "pw").rc, 0);
  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size() % 256, 0u);
  std::set<std::int32_t> codes;
  for (std::size_t at = 0; at < file.size(); ++at) {
    Bytes f = file;
    f[at] ^= 0x10;
    WriteResummed(changed, f, at, 256);
    const ReadBack back = ReadWithPassword(changed, "pw");
    codes.insert(back.result.rc);
    ASSERT_LE(back.members.size(), members.size()) << at;
    for (std::size_t i = 0; i < back.members.size(); ++i) {
      const auto& got = back.members[i].records;
      const auto& want = members[i].records;
      ASSERT_LE(got.size(), want.size()) << at;
      EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin())) << "byte " << at;
    }
    if (back.result.rc == 0) {
      EXPECT_EQ(back.members.size(), members.size()) << at;
    }
  }
  // (357 needs the chain CRC made right as well: a changed frame fails its chain CRC first.)
  for (const std::int32_t expected : {29, 63, 64, 351, 352, 354, 355, 356})
    EXPECT_EQ(codes.count(expected), 1u) << expected;
}

}  // namespace
