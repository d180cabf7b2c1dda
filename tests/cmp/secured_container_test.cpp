// Secured containers through the record interface: security headers and trailers written,
// checked on reading, and a container cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cmp/big_endian.h"
#include "cmp/block_io.h"
#include "cmp/matrix_frame.h"
#include "cmp/security_records.h"
#include "crypt/sampled_crc.h"
#include "secured_roundtrip.h"
#include "support/crc.h"

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

// A member written without a user header (the file header alone, or closed by the system
// header) still carries its security header: written as with an empty user header, so that
// the reader counts the member and derives its keys. The three ways give the same bytes and
// read back, with and without AES.
TEST(SecuredContainer, HeaderRecordWithoutUserHeader) {
  enum How { kFileHeaderOnly, kSystemHeaderLast, kEmptyUserHeader };
  const auto write = [](const std::string& path, std::int32_t mode, How how, const std::vector<Member>& members) {
    std::vector<Member> plain = members;
    for (Member& m : plain) m.moreHeaders = how == kEmptyUserHeader;
    if (how != kSystemHeaderLast) return WriteSecured(path, Layout{1, 512, mode, 1, 65536, 255, 1}, plain, "pw").rc;
    // The system header closes the record: write the members' headers by hand.
    RecordHandle* slot = nullptr;
    std::int32_t rc = 0;
    const std::int32_t one = 1, direction = 1, option = 0, what = 2, on = 1;
    trqopn(slot, rc, one, direction, path.c_str(), option);
    char name[1024];
    std::snprintf(name, sizeof name, "%s", path.c_str());
    std::int32_t nameLength = 254, organisation = 0, format = 1, length = 512, block = 0, close = 0, device = 0;
    std::uint32_t delimiter = 0;
    const std::int32_t pass = 0;
    if (rc == 0)
      trqopd(slot, rc, one, nameLength, name, organisation, format, length, delimiter, pass, block, close, device);
    if (rc == 0) trqset(slot, rc, what, on);
    std::int32_t level = 2, charCode = 1, modeWord = mode, bufferSize = 65536, security = 0, most = 255, fixed = 1;
    if (rc == 0) trqopf(slot, rc, level, charCode, modeWord, bufferSize, security, most, nullptr, fixed, "", "");
    if (rc == 0) trqpwd(slot, rc, 2, reinterpret_cast<const std::uint8_t*>("pw"));
    for (const Member& m : members) {
      std::int32_t n = static_cast<std::int32_t>(m.name.size()), org = m.organisation, recordFormat = m.recordFormat,
                   recordLength = m.recordLength, blockSize = m.blockSize, more = 1, kind = 0, last = 0;
      const std::uint8_t origin[2] = {0x00, 0xE0};
      if (rc == 0)
        trqphd(slot, rc, n, m.name.c_str(), org, recordFormat, recordLength, nullptr, nullptr, blockSize, nullptr,
               origin, more);
      if (rc == 0) trqpsh(slot, rc, kind, nullptr, last);
      for (const Bytes& r : m.records)
        if (rc == 0) trqput(slot, rc, static_cast<std::int32_t>(r.size()), r.data());
      Counts c;
      if (rc == 0) trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
    }
    const std::int32_t closed = Close(slot).rc;
    return rc != 0 ? rc : closed;
  };
  std::vector<Member> members = SomeMembers();
  for (Member& m : members) m.userHeader.clear();
  std::tm t{};
  t.tm_year = 126;
  torq::cmp::SetFixedStampTime(&t);
  CmpFixFrameIds(true, 0x01020304, 0x0A0B0C0D);
  for (const std::int32_t mode : {0x03, 0x23}) {
    Files files;
    std::vector<Bytes> written;
    for (const How how : {kEmptyUserHeader, kFileHeaderOnly, kSystemHeaderLast}) {
      SCOPED_TRACE(testing::Message() << mode << " " << how);
      const std::string& path = files.Add("hdr");
      ASSERT_EQ(write(path, mode, how, members), 0);
      written.push_back(ReadFile(path));
      EXPECT_EQ(written.back(), written.front());
      const ReadBack back = ReadWithPassword(path, "pw");
      ASSERT_EQ(back.result.rc, 0) << back.result.step;
      ASSERT_EQ(back.members.size(), members.size());
      for (std::size_t i = 0; i < members.size(); ++i) EXPECT_EQ(back.members[i].records, members[i].records);
    }
  }
  CmpFixFrameIds(false, 0, 0);
  torq::cmp::SetFixedStampTime(nullptr);
}

// A secured member still open at the close is ended there with its member trailer: the same
// bytes as a member ended before the close, and they read back.
TEST(SecuredContainer, OpenMemberEndedByClose) {
  std::vector<Member> members = SomeMembers();
  members.resize(1);
  members[0].moreHeaders = false;
  std::tm t{};
  t.tm_year = 126;
  torq::cmp::SetFixedStampTime(&t);
  CmpFixFrameIds(true, 0x01020304, 0x0A0B0C0D);
  for (const std::int32_t mode : {0x03, 0x23}) {
    SCOPED_TRACE(mode);
    Files files;
    const std::string ended = files.Add("ended"), open = files.Add("open");
    const Layout layout{1, 512, mode, 1, 65536, 255, 1};
    ASSERT_EQ(WriteSecured(ended, layout, members, "pw").rc, 0);
    ASSERT_EQ(WriteSecured(open, layout, members, "pw", false).rc, 0);
    EXPECT_EQ(ReadFile(open), ReadFile(ended));
    const ReadBack back = ReadWithPassword(open, "pw");
    ASSERT_EQ(back.result.rc, 0) << back.result.step;
    ASSERT_EQ(back.members.size(), 1u);
    EXPECT_EQ(back.members[0].records, members[0].records);
  }
  CmpFixFrameIds(false, 0, 0);
  torq::cmp::SetFixedStampTime(nullptr);
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

// Gives the block of `size` bytes its right checksum again (taken with a member-start mark
// in byte 4 as 0).
void Resum(std::uint8_t* block, std::size_t size) {
  Bytes summed(block, block + size - 2);
  if ((summed[4] == 1 || summed[4] == 2) && (summed[2] & 0x7F) == 0 && summed[3] == 4) summed[4] = 0;
  const std::uint16_t sum = BlockChecksum(summed.data(), size - 2);
  block[size - 2] = static_cast<std::uint8_t>(sum >> 8);
  block[size - 1] = static_cast<std::uint8_t>(sum);
}

// Writes the file with the block that holds byte `at` given its right checksum again.
void WriteResummed(const std::string& path, Bytes& f, std::size_t at, std::size_t size) {
  Resum(f.data() + at / size * size, size);
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

// ---- frames moved between places, every checksum and CRC made right ----------------------

// A container in var_2b records (one block each), split into its blocks by member.
struct Parts {
  struct MemberBlocks {
    Bytes header;
    std::vector<Bytes> frames;  // one matrix record per block
    Bytes trailer;
  };
  std::vector<MemberBlocks> members;
  Bytes fileTrailer;
};

bool IsTrailer(const Bytes& b) { return b.size() > 8 && b[4] == 0x00 && b[5] == 0x80 && b[6] == 0x39; }

Parts Split(const Bytes& file) {
  std::vector<Bytes> blocks;
  for (std::size_t at = 0; at + 2 <= file.size();) {
    const std::size_t n = (std::size_t{file[at]} << 8 | file[at + 1]) - 2;  // the length counts itself
    blocks.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(at + 2),
                        file.begin() + static_cast<std::ptrdiff_t>(at + 2 + n));
    at += n + 2;
  }
  Parts parts;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (IsTrailer(blocks[i]) && blocks[i][7] == 0x2F) {
      parts.fileTrailer = blocks[i];
    } else if (parts.members.empty() || !parts.members.back().trailer.empty()) {
      parts.members.push_back({blocks[i], {}, {}});
    } else if (IsTrailer(blocks[i])) {
      parts.members.back().trailer = blocks[i];
    } else {
      parts.members.back().frames.push_back(blocks[i]);
    }
  }
  return parts;
}

void Join(const Parts& parts, const std::string& path) {
  std::vector<Bytes> blocks;
  for (const auto& m : parts.members) {
    blocks.push_back(m.header);
    blocks.insert(blocks.end(), m.frames.begin(), m.frames.end());
    blocks.push_back(m.trailer);
  }
  blocks.push_back(parts.fileTrailer);
  Bytes file;
  for (Bytes& b : blocks) {
    Resum(b.data(), b.size());
    file.push_back(static_cast<std::uint8_t>((b.size() + 2) >> 8));
    file.push_back(static_cast<std::uint8_t>(b.size() + 2));
    file.insert(file.end(), b.begin(), b.end());
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);
}

// Adds to a 64-bit big-endian count of a trailer image (image bytes 13, 21, 29, 37: original
// bytes, original records, block bytes, blocks); the image starts at block byte 7.
void AddToCount(Bytes& trailer, std::size_t imageAt, std::int64_t add) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | trailer[7 + imageAt + i];
  v += static_cast<std::uint64_t>(add);
  for (int i = 7; i >= 0; --i, v >>= 8) trailer[7 + imageAt + i] = static_cast<std::uint8_t>(v);
}

// The trailer's counts without one frame block of 4 records of 40 bytes.
void CountWithout(Bytes& trailer, const Bytes& frameBlock) {
  AddToCount(trailer, 13, -160);
  AddToCount(trailer, 21, -4);
  AddToCount(trailer, 29, -static_cast<std::int64_t>(frameBlock.size()));
  AddToCount(trailer, 37, -1);
}

// Changes byte `at` of a frame block's frame (counted from the frame start) and makes the
// frame's CRCs right again: the chain CRC over bytes 18 to 25 + L with the key word it is
// folded into, the sampled CRC and the CRC-16 of the AES frame block. Only the MACs can
// tell then.
void ChangeFrameByte(Bytes& block, std::size_t at) {
  std::uint8_t* frame = block.data() + 6 + block[5];  // behind the 0x00, H and the H header bytes
  const std::uint32_t k = Be32(frame);
  const std::uint32_t length = k - 64;
  std::uint8_t* const aes = frame + 30 + length;
  const std::int32_t n28 = 28, chained = static_cast<std::int32_t>(length + 8);
  const std::uint32_t start = 0xFFFFFFFFu;
  const std::uint16_t c16 = static_cast<std::uint16_t>(frame[16] << 8 | frame[17]);
  std::uint16_t b16 = 0;
  std::uint32_t c32 = Be32(frame + 26 + length), check = 0;
  torqcri(aes, &n28, &b16);
  PutBe32(frame + 18, Be32(frame + 18) ^ c32);
  trqcri3(frame + 18, &chained, &check, &start);
  ASSERT_EQ(check, c32);
  frame[at] ^= 0x10;
  PutBe32(aes, storchen(frame + 18, length + 8) ^ (std::uint32_t{c16} << 16));
  torqcro(aes, &n28, &b16);
  aes[28] = static_cast<std::uint8_t>(b16 >> 8);
  aes[29] = static_cast<std::uint8_t>(b16);
  trqcro3(frame + 18, &chained, &c32, &start);
  PutBe32(frame + 18, Be32(frame + 18) ^ c32);
  PutBe32(frame + 26 + length, c32);
}

// Frames swapped, dropped, changed or taken from another container under the same password,
// with every block checksum, frame CRC and trailer count made right: the frame MACs (29), the
// member MACs (354) or the file MAC (355) catch it, and no frame that fails reaches the output.
TEST(SecuredContainer, MovedFramesCaughtByMacs) {
  // Two members of four frames (4 records of 40 random bytes each); the other container has
  // the same bytes XOR 0x5A, so that its blocks have the same sizes and counts.
  std::mt19937 rng(18);
  std::vector<Member> ours(2), theirs(2);
  for (int i = 0; i < 2; ++i) {
    ours[i].name = theirs[i].name = i == 0 ? "first" : "second";
    for (int j = 0; j < 16; ++j) {
      Bytes r(40);
      for (auto& b : r) b = static_cast<std::uint8_t>(rng());
      ours[i].records.push_back(r);
      for (auto& b : r) b ^= 0x5A;
      theirs[i].records.push_back(r);
    }
  }
  Files files;
  const std::string a = files.Add("a"), b = files.Add("b"), changed = files.Add("moved");
  const Layout layout{0, 2048, 0x23, 1, 65536, 4, 0};
  ASSERT_EQ(WriteSecured(a, layout, ours, "pw").rc, 0);
  ASSERT_EQ(WriteSecured(b, layout, theirs, "pw").rc, 0);
  const Parts mine = Split(ReadFile(a)), other = Split(ReadFile(b));
  ASSERT_EQ(mine.members.size(), 2u);
  ASSERT_EQ(mine.members[0].frames.size(), 4u);
  ASSERT_EQ(mine.members[1].frames.size(), 4u);
  ASSERT_FALSE(mine.fileTrailer.empty());
  for (int m = 0; m < 2; ++m)
    for (int i = 0; i < 4; ++i) ASSERT_EQ(mine.members[m].frames[i].size(), other.members[m].frames[i].size());

  struct Case {
    const char* what;
    std::function<void(Parts&)> change;
    std::int32_t code;
    std::vector<std::size_t> records;  // records read back, per member
    int foreignMember;                 // the member whose records come from the other container
  };
  const Case cases[] = {
      {"frames 2 and 3 swapped", [](Parts& p) { std::swap(p.members[0].frames[1], p.members[0].frames[2]); },
       kCmpPasswordWrong, {4}, -1},
      {"frames swapped between members",
       [](Parts& p) { std::swap(p.members[0].frames[1], p.members[1].frames[1]); }, kCmpPasswordWrong, {4}, -1},
      {"frame 2 dropped",
       [](Parts& p) {
         auto& m = p.members[0];
         CountWithout(m.trailer, m.frames[1]);
         CountWithout(p.fileTrailer, m.frames[1]);
         m.frames.erase(m.frames.begin() + 1);
       },
       kCmpPasswordWrong, {4}, -1},
      {"last frame of a member dropped",
       [](Parts& p) {
         auto& m = p.members[0];
         CountWithout(m.trailer, m.frames[3]);
         CountWithout(p.fileTrailer, m.frames[3]);
         m.frames.pop_back();
       },
       kCmpMemberMacs, {12}, -1},
      {"frame 2 from the other container",
       [&](Parts& p) { p.members[0].frames[1] = other.members[0].frames[1]; }, kCmpPasswordWrong, {4}, -1},
      {"first frame from the other container",
       [&](Parts& p) { p.members[0].frames[0] = other.members[0].frames[0]; }, kCmpPasswordWrong, {4}, 0},
      {"last frame from the other container",
       [&](Parts& p) { p.members[1].frames[3] = other.members[1].frames[3]; }, kCmpPasswordWrong, {16, 12}, -1},
      {"second member from the other container",
       [&](Parts& p) { p.members[1] = other.members[1]; }, kCmpMemberMacs, {16, 16}, 1},
      {"last member dropped",
       [](Parts& p) {
         const auto& m = p.members[1];
         std::int64_t bytes = static_cast<std::int64_t>(m.header.size() + m.trailer.size());
         for (const Bytes& f : m.frames) bytes += static_cast<std::int64_t>(f.size());
         AddToCount(p.fileTrailer, 13, -640);
         AddToCount(p.fileTrailer, 21, -16);
         AddToCount(p.fileTrailer, 29, -bytes);
         AddToCount(p.fileTrailer, 37, -static_cast<std::int64_t>(m.frames.size() + 2));
         p.fileTrailer[7 + 4] = 1;  // member number
         p.members.pop_back();
       },
       kCmpFileMacs, {16}, -1},
      {"data byte changed", [](Parts& p) { ChangeFrameByte(p.members[0].frames[2], 26 + 7); },
       kCmpPasswordWrong, {8}, -1},
      {"frame key word changed", [](Parts& p) { ChangeFrameByte(p.members[0].frames[2], 19); },
       kCmpPasswordWrong, {8}, -1},
      {"masked window CRC changed", [](Parts& p) { ChangeFrameByte(p.members[0].frames[2], 22); },
       kCmpPasswordWrong, {8}, -1},
      {"last data byte of a member changed", [](Parts& p) { ChangeFrameByte(p.members[1].frames[3], 26 + 100); },
       kCmpPasswordWrong, {16, 12}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Parts p = mine;
    c.change(p);
    Join(p, changed);
    const ReadBack back = ReadWithPassword(changed, "pw");
    EXPECT_EQ(back.result.rc, c.code) << back.result.step;
    ASSERT_EQ(back.members.size(), c.records.size());
    for (std::size_t m = 0; m < back.members.size(); ++m) {
      const auto& want = (static_cast<int>(m) == c.foreignMember ? theirs : ours)[m].records;
      const auto& got = back.members[m].records;
      ASSERT_EQ(got.size(), c.records[m]) << "member " << m;
      EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin())) << "member " << m;
    }
  }
  // Unchanged, the same parts read back whole.
  Join(mine, changed);
  EXPECT_EQ(ReadWithPassword(changed, "pw").result.rc, 0);
}

}  // namespace
