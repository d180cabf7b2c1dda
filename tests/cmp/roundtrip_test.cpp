// Containers written with random headers and matrices read back whole, member by member,
// and by positioning from every member.
#include <gtest/gtest.h>

#include "cmp_test_util.h"

using namespace cmptest;

namespace {

struct Rng {
  std::uint32_t x;
  std::uint32_t operator()(std::uint32_t n) {
    x = x * 1103515245u + 12345u;
    return (x >> 8) % n;
  }
};

struct Matrix {
  Bytes coded;
  std::int32_t flag = 0, records = 0;
  Bytes bitmap;
};

struct Member {
  std::string name;
  std::int32_t org = 0, format = 0, recordLength = 0, blockSize = 0;
  int headers = 1;  // 1 file header alone, 2 with a system header, 3 with a user header too
  Bytes system, user;
  std::vector<Matrix> matrices;
};

struct Config {
  std::int32_t modeWord, charCode, fixed, blockSize;
};

Bytes RandomBytes(Rng& r, std::size_t n, bool letters) {
  Bytes b(n);
  for (auto& c : b) c = letters ? static_cast<std::uint8_t>('A' + r(16)) : static_cast<std::uint8_t>(r(256));
  return b;
}

std::vector<Member> MakeMembers(Rng& r, const Config& c, bool longHeaders) {
  const bool sevenBit = c.modeWord == 1;
  std::vector<Member> members(4);
  const std::size_t nameLengths[4] = {0, 255, 1 + r(60), r(256)};
  static const char kNameChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";
  for (std::size_t m = 0; m < members.size(); ++m) {
    Member& mb = members[m];
    for (std::size_t i = 0; i < nameLengths[m]; ++i) mb.name += kNameChars[r(sizeof kNameChars - 1)];
    static const std::int32_t kOrgs[] = {0, 1, 2, 3, 4, 5, 6};
    static const std::int32_t kFormats[] = {0, 1, 2, 3, 8, 9, 16, 17, 18, 24};
    mb.org = kOrgs[r(7)];
    mb.format = kFormats[r(10)];
    mb.recordLength = static_cast<std::int32_t>(r(100000));
    mb.blockSize = static_cast<std::int32_t>(r(100000));
    mb.headers = 1 + static_cast<int>(m % 3);
    if (mb.headers >= 2) mb.system = RandomBytes(r, m == 1 ? 44 : r(70), false);
    if (mb.headers == 3) {
      std::size_t u = r(300);
      if (longHeaders) u = sevenBit ? 2000 + r(14000) : 5000 + r(27000);
      mb.user = RandomBytes(r, u, false);
    }
    const std::size_t count = r(4);
    for (std::size_t k = 0; k < count; ++k) {
      Matrix mx;
      std::vector<Bytes> segs;
      const std::size_t n = 1 + r(5);
      const std::uint32_t longest = sevenBit ? 2520 : (r(3) == 0 ? 32767 : 300);
      for (std::size_t s = 0; s < n; ++s) segs.push_back(RandomBytes(r, 1 + r(longest), sevenBit));
      mx.coded = Segments(segs);
      mx.records = static_cast<std::int32_t>(r(256));
      mx.flag = static_cast<std::int32_t>(r(2));
      mx.bitmap = RandomBytes(r, r(3) == 0 ? r(200) : 0, false);
      mb.matrices.push_back(mx);
    }
  }
  return members;
}

void WriteContainer(const std::string& path, const Config& c, const std::vector<Member>& members) {
  Options o;
  o.modeWord = c.modeWord;
  o.charCode = c.charCode;
  o.fixed = c.fixed;
  o.blockSize = c.blockSize;
  Writer w(path, o);
  ASSERT_EQ(w.rc, 0);
  for (const Member& m : members) {
    const Bytes origin = {0x00, 0xE0};
    ASSERT_EQ(w.Header(m.name, m.headers > 1, m.org, m.format, m.recordLength, m.blockSize, origin), 0);
    if (m.headers >= 2) {
      ASSERT_EQ(w.System(m.system, m.headers > 2), 0);
    }
    if (m.headers == 3) {
      ASSERT_EQ(w.User(m.user), 0);
    }
    for (const Matrix& mx : m.matrices) ASSERT_EQ(w.Put(mx.coded, mx.flag, mx.records, mx.bitmap), 0);
    ASSERT_EQ(w.Flush(), 0);
  }
  ASSERT_EQ(w.Close(), 0);
}

std::int32_t FormatReadBack(std::int32_t f) { return f == 11 || f == 19 ? 3 : f; }

void CheckHeader(Reader& r, const Member& m, bool sevenBit) {
  SCOPED_TRACE(testing::Message() << "member " << m.name);
  Header h;
  ASSERT_EQ(r.GetHeader(h), 0);
  EXPECT_EQ(h.name, m.name);
  EXPECT_EQ(h.org, m.org);
  EXPECT_EQ(h.format, FormatReadBack(m.format));
  EXPECT_EQ(h.recordLength, m.recordLength);
  EXPECT_EQ(h.blockSize, m.blockSize);
  EXPECT_EQ(h.origin, (Bytes{0x00, 0xE0}));
  Bytes s, u;
  // A header record of the file header alone with an empty name holds no system header.
  const bool bare = m.name.empty() && m.system.empty() && m.headers < 3;
  EXPECT_EQ(r.System(s), bare ? 9 : 0);
  EXPECT_EQ(s, m.system);
  const std::int32_t urc = r.User(u);
  if (m.headers == 3 && (!m.user.empty() || sevenBit)) {
    EXPECT_EQ(urc, 0);
    EXPECT_EQ(u, m.user);
  } else {
    EXPECT_EQ(urc, 9);
  }
}

void ReadWhole(const std::string& path, const Config& c, const std::vector<Member>& members) {
  const bool sevenBit = c.modeWord == 1;
  Reader r(path);
  ASSERT_EQ(r.openRc, 0);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(r.charCode, c.charCode);
  EXPECT_EQ(r.level, 200);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    if (i > 0) {
      ASSERT_EQ(r.Next(), 0) << "member " << i;
      ASSERT_EQ(r.kind, 1);
    }
    CheckHeader(r, m, sevenBit);
    for (const Matrix& mx : m.matrices) {
      ASSERT_EQ(r.Next(), 0);
      ASSERT_EQ(r.kind, 0);
      EXPECT_EQ(r.mode, c.modeWord);
      EXPECT_EQ(r.bufferSize, 32768);
      Bytes coded, bitmap;
      std::int32_t flag = -1, records = -1;
      ASSERT_EQ(r.Get(coded, flag, records, &bitmap, 200000), 0);
      EXPECT_EQ(coded, mx.coded);
      EXPECT_EQ(records, mx.records);
      EXPECT_EQ(flag, mx.records == 1 && !sevenBit ? 0 : mx.flag);
      EXPECT_EQ(bitmap, mx.bitmap);
    }
  }
  EXPECT_EQ(r.Next(), 2);
}

void PositionFromEvery(const std::string& path, const std::vector<Member>& members) {
  for (std::size_t start = 0; start < members.size(); ++start) {
    Reader r(path);
    ASSERT_EQ(r.rc, 0);
    for (std::size_t k = 1; k <= start; ++k) ASSERT_EQ(r.Position(), 0) << start << " " << k;
    Header h;
    ASSERT_EQ(r.GetHeader(h), 0);
    EXPECT_EQ(h.name, members[start].name);
    // Reading the first matrix header, and its body on every other start: positioning
    // passes over a body left unread and over none that was read.
    if (!members[start].matrices.empty()) {
      ASSERT_EQ(r.Next(), 0);
      EXPECT_EQ(r.kind, 0);
      if (start % 2 == 1) {
        Bytes coded;
        std::int32_t flag = 0, records = 0;
        ASSERT_EQ(r.Get(coded, flag, records, nullptr, 200000), 0);
        EXPECT_EQ(coded, members[start].matrices[0].coded);
      }
    }
    const std::int32_t next = r.Position();
    if (start + 1 < members.size()) {
      EXPECT_EQ(next, 0);
      ASSERT_EQ(r.GetHeader(h), 0);
      EXPECT_EQ(h.name, members[start + 1].name);
    } else {
      EXPECT_EQ(next, 2);
    }
  }
}

TEST(RoundTrip, FormsCodesAndBlocks) {
  const Config configs[] = {
      {0, 1, 0, 80},    {0, 0, 1, 80},    {0, 1, 1, 512},  {2, 0, 0, 512},   {0, 1, 0, 32767},
      {2, 1, 1, 32767}, {0, 0, 1, 7},     {1, 1, 0, 80},   {1, 0, 1, 80},    {1, 1, 1, 4095},
      {1, 0, 0, 4095},  {1, 1, 1, 5},     {0, 1, 1, 1000}, {1, 0, 1, 333},
  };
  std::uint32_t seed = 1;
  for (const Config& c : configs) {
    for (bool longHeaders : {false, true}) {
      SCOPED_TRACE(testing::Message() << "mode " << c.modeWord << " code " << c.charCode << " fixed "
                                      << c.fixed << " block " << c.blockSize << " long "
                                      << longHeaders);
      Rng r{seed++};
      const std::vector<Member> members = MakeMembers(r, c, longHeaders);
      ScratchDir dir;
      const std::string path = dir / "c";
      WriteContainer(path, c, members);
      ReadWhole(path, c, members);
      PositionFromEvery(path, members);
    }
  }
}

}  // namespace
