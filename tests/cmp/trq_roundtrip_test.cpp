// Members written through the record interface and read back equal: over the methods, both
// character codes, both block forms, fixed and variable blocks, the container record formats,
// buffer sizes, record lengths up to the limits, record counts around a full matrix, and
// positioning to each member.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <span>

#include "support/heap.h"
#include "trq_roundtrip.h"

using namespace trqtest;

namespace {

struct Cleanup {
  std::vector<std::string> paths;
  ~Cleanup() {
    for (const std::string& p : paths) std::remove(p.c_str());
  }
  const std::string& Add(const std::string& stem) { return paths.emplace_back(TempPath(stem)); }
};

// n records of lengths up to `longest`, text-like with runs, from a seed.
std::vector<Bytes> Records(unsigned seed, std::size_t n, std::size_t longest) {
  std::mt19937 rng(seed);
  std::vector<Bytes> out;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t length = rng() % 120;
    if (rng() % 16 == 0) length = rng() % (longest + 1);
    Bytes r(length);
    for (std::size_t j = 0; j < length; ++j)
      r[j] = rng() % 3 ? static_cast<std::uint8_t>('A' + (j * 7 + i) % 26)
                       : static_cast<std::uint8_t>(rng());
    out.push_back(std::move(r));
  }
  return out;
}

Member MakeMember(const std::string& name, std::vector<Bytes> records) {
  Member m;
  m.name = name;
  m.recordFormat = 3;
  m.recordLength = 0;
  m.systemHeader = {3, 0x0A, 0x00};
  m.userHeader = {'u', 's', 'e', 'r'};
  m.records = std::move(records);
  return m;
}

void ExpectSame(const std::vector<Member>& written, const ReadBack& back, const std::string& what) {
  ASSERT_EQ(back.result.rc, 0) << what << ": " << back.result.step;
  ASSERT_EQ(back.members.size(), written.size()) << what;
  for (std::size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(back.members[i].name, written[i].name) << what;
    EXPECT_EQ(back.members[i].systemHeader, written[i].systemHeader) << what;
    EXPECT_EQ(back.members[i].userHeader, written[i].userHeader) << what;
    ASSERT_EQ(back.members[i].records.size(), written[i].records.size()) << what << " member " << i;
    for (std::size_t j = 0; j < written[i].records.size(); ++j)
      ASSERT_EQ(back.members[i].records[j], written[i].records[j])
          << what << " member " << i << " record " << j;
  }
}

struct FormCase {
  const char* what;
  std::int32_t recordFormat, recordLength, fixedBlock, bufferSize;
};

// The container layouts of both block forms.
const FormCase kEightBit[] = {
    {"fix 80", 1, 80, 1, 2048},
    {"fix 512", 1, 512, 1, 32768},
    {"var_2b 32760", 0, 32760, 0, 2621440},
    {"var_2b 80 fixed", 0, 80, 1, 16384},
    {"var_2b 1000", 0, 1000, 0, 65536},
};
const FormCase kSevenBit[] = {
    {"text 80", 3, 80, 0, 2048},
    {"text 4095 fixed", 3, 4095, 1, 32768},
    {"fix 80", 1, 80, 1, 114688},
    {"fix 4095", 1, 4095, 0, 6144},
};

TEST(TrqRoundTrip, MethodsFormsAndLayouts) {
  for (std::int32_t method = 0; method <= 2; ++method) {
    for (std::int32_t charCode = 0; charCode <= 1; ++charCode) {
      const std::span<const FormCase> forms =
          method == 1 ? std::span<const FormCase>(kSevenBit) : std::span<const FormCase>(kEightBit);
      for (const FormCase& f : forms) {
        Cleanup files;
        const std::string& path = files.Add("rt");
        Layout l{f.recordFormat, f.recordLength, method, charCode, f.bufferSize, 255,
                 f.fixedBlock};
        const std::size_t longest = std::min(f.bufferSize - 7, 32764);
        const unsigned seed = static_cast<unsigned>(method * 100 + charCode * 10 + f.recordLength);
        const std::vector<Member> members = {
            MakeMember("first", Records(seed, 700, longest)),
            MakeMember("", {}),
            MakeMember("third", Records(seed + 1, 40, longest)),
        };
        const std::string what = std::string(f.what) + " method " + std::to_string(method) +
                                 " code " + std::to_string(charCode);
        const Result r = WriteContainer(path, l, members);
        ASSERT_EQ(r.rc, 0) << what << ": " << r.step;
        ExpectSame(members, ReadContainer(path), what);
      }
    }
  }
}

TEST(TrqRoundTrip, LengthsAndCountsAtTheLimits) {
  struct LimitCase {
    std::int32_t method, bufferSize, recordFormat, recordLength;
  };
  for (const LimitCase c : {LimitCase{0, 2048, 1, 80}, LimitCase{2, 65536, 0, 32760},
                            LimitCase{0, 2621440, 0, 4000}, LimitCase{1, 2048, 3, 4095},
                            LimitCase{1, 65536, 1, 1000}}) {
    Cleanup files;
    const std::string& path = files.Add("limits");
    Layout l{c.recordFormat, c.recordLength, c.method, 1, c.bufferSize, 255, 1};
    const std::int32_t longest = std::min(c.bufferSize - 7, 32764);
    std::vector<Bytes> edges;
    for (std::int32_t n : {0, 1, longest, longest - 1, 0, longest - 2, longest - 3, 5, longest})
      edges.push_back(Bytes(static_cast<std::size_t>(n), static_cast<std::uint8_t>('a' + n % 26)));
    // Lengths that are no multiples of 4 fill a matrix to its last byte.
    std::vector<Bytes> fill;
    for (int i = 0; i < 900; ++i) fill.push_back(Bytes(static_cast<std::size_t>(5 + i % 3), 'f'));
    std::vector<Member> members = {
        MakeMember("edges", edges),     MakeMember("none", {}),
        MakeMember("one", Records(1, 1, 10)), MakeMember("255", Records(2, 255, 10)),
        MakeMember("256", Records(3, 256, 10)), MakeMember("fill", fill),
    };
    const Result r = WriteContainer(path, l, members);
    ASSERT_EQ(r.rc, 0) << c.method << " " << c.bufferSize << ": " << r.step;
    ExpectSame(members, ReadContainer(path),
               std::to_string(c.method) + " " + std::to_string(c.bufferSize));
  }
}

// A matrix never holds more than 255 records (or the most records asked for), and a record
// that takes the whole buffer gets a matrix of its own.
TEST(TrqRoundTrip, MatrixBoundaries) {
  struct BoundaryCase {
    std::int32_t mostRecords, bufferSize;
    std::vector<std::size_t> lengths;
    std::vector<std::int32_t> matrixRecords;  // records of each matrix read back
  };
  const BoundaryCase cases[] = {
      {255, 32768, std::vector<std::size_t>(256, 3), {255, 1}},
      {1000, 32768, std::vector<std::size_t>(511, 0), {255, 255, 1}},
      {10, 32768, std::vector<std::size_t>(25, 9), {10, 10, 5}},
      {255, 32768, {1, 32758, 2}, {1, 1, 1}},
      {255, 32768, {1, 32761, 2}, {1, 1, 1}},
      {255, 32768, {32750, 0}, {2}},
      {255, 32768, {32751, 0}, {1, 1}},
      {255, 2048, {2041, 2041}, {1, 1}},
  };
  for (const BoundaryCase& c : cases) {
    Cleanup files;
    const std::string& path = files.Add("bounds");
    Layout l{1, 512, 0, 1, c.bufferSize, c.mostRecords, 1};
    std::vector<Bytes> records;
    for (std::size_t n : c.lengths) records.push_back(Bytes(n, 'z'));
    ASSERT_EQ(WriteContainer(path, l, {MakeMember("b", records)}).rc, 0);
    RecordHandle* slot = nullptr;
    ASSERT_EQ(OpenForReading(slot, path).rc, 0);
    Member m;
    ASSERT_EQ(GetHeaders(slot, m).rc, 0);
    std::vector<std::int32_t> matrices;
    for (std::size_t i = 0; i < records.size(); ++i) {
      std::int32_t rc = 0, length = 0;
      std::uint8_t* record = nullptr;
      TrqGetRecord(slot, rc, length, record);
      ASSERT_EQ(rc, 0);
      ASSERT_EQ(Bytes(record, record + length), records[i]);
      if (slot->recordsInMatrix == 1) matrices.push_back(slot->matrixRecords);
    }
    EXPECT_EQ(matrices, c.matrixRecords) << c.lengths.size() << " records, most " << c.mostRecords;
    EXPECT_EQ(Close(slot).rc, 0);
  }
}

// Containers of different buffer sizes and methods one after the other in one file: each
// member takes its own coder and buffer, a smaller buffer after a larger one too.
TEST(TrqRoundTrip, ConcatenatedContainers) {
  Cleanup files;
  struct Part {
    std::int32_t method, bufferSize;
  };
  const Part parts[] = {{0, 2621440}, {0, 2048}, {2, 16384}, {0, 2048}, {2, 2621440}};
  std::vector<Member> all;
  Bytes joined;
  for (const Part& p : parts) {
    const std::string& path = files.Add("part");
    Layout l{1, 512, p.method, 1, p.bufferSize, 255, 1};
    std::vector<Member> members = {
        MakeMember("m" + std::to_string(all.size()),
                   Records(static_cast<unsigned>(all.size()), 600,
                           static_cast<std::size_t>(std::min(p.bufferSize - 7, 32764)))),
        MakeMember("n" + std::to_string(all.size()), Records(99, 3, 50))};
    ASSERT_EQ(WriteContainer(path, l, members).rc, 0);
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

TEST(TrqRoundTrip, PositionToEachMember) {
  for (const std::int32_t method : {0, 1}) {
    Cleanup files;
    const std::string& path = files.Add("pos");
    Layout l{method == 1 ? 3 : 1, 512, method, 1, 4096, 255, 1};
    std::vector<Member> members;
    for (int i = 0; i < 5; ++i)
      members.push_back(MakeMember("p" + std::to_string(i), Records(10 + i, i * 150, 1000)));
    ASSERT_EQ(WriteContainer(path, l, members).rc, 0);
    for (std::size_t target = 0; target < members.size(); ++target) {
      RecordHandle* slot = nullptr;
      ASSERT_EQ(OpenForReading(slot, path).rc, 0);
      std::int32_t rc = 0;
      // Records half taken from the first member do not leak into the next.
      std::int32_t length = 0;
      std::uint8_t* record = nullptr;
      if (target > 0 && !members[0].records.empty()) TrqGetRecord(slot, rc, length, record);
      for (std::size_t i = 0; i < target; ++i) {
        trqpos(slot, rc, kTrqNextMember);
        ASSERT_EQ(rc, 0) << target;
      }
      Member m;
      ASSERT_EQ(GetHeaders(slot, m).rc, 0);
      EXPECT_EQ(m.name, members[target].name);
      const std::int32_t end = GetRecords(slot, m.records);
      EXPECT_EQ(end, target + 1 == members.size() ? kTrqEndOfFile : kTrqNewMember);
      EXPECT_EQ(m.records, members[target].records) << "method " << method << " member " << target;
      // Beyond the last member.
      if (target + 1 == members.size()) {
        trqpos(slot, rc, kTrqNextMember);
        EXPECT_NE(rc, 0);
      }
      EXPECT_EQ(Close(slot).rc, 0);
    }
  }
}

// The heap does not grow while records flow, and is back where it was after the close.
TEST(TrqRoundTrip, MemoryStaysFlat) {
  Cleanup files;
  const std::string& path = files.Add("flat");
  const std::vector<Bytes> records = Records(5, 5000, 2000);
  Layout l{0, 32760, 0, 1, 32768, 255, 0};
  const std::uint32_t start = rmGetHeapCount();
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForWriting(slot, path, l).rc, 0);
  std::uint32_t open = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::int32_t rc = 0;
    const auto n = static_cast<std::int32_t>(records[i].size());
    trqput(slot, rc, n, records[i].data());
    ASSERT_EQ(rc, 0);
    if (i == 0) open = rmGetHeapCount();
    ASSERT_EQ(rmGetHeapCount(), open);
  }
  ASSERT_EQ(Close(slot).rc, 0);
  EXPECT_EQ(rmGetHeapCount(), start);

  ASSERT_EQ(OpenForReading(slot, path).rc, 0);
  std::int32_t rc = 0, length = 0;
  std::uint8_t* record = nullptr;
  TrqGetRecord(slot, rc, length, record);
  ASSERT_EQ(rc, 0);
  open = rmGetHeapCount();
  for (std::size_t i = 1; i < records.size(); ++i) {
    TrqGetRecord(slot, rc, length, record);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(Bytes(record, record + length), records[i]);
    ASSERT_EQ(rmGetHeapCount(), open);
  }
  TrqGetRecord(slot, rc, length, record);
  EXPECT_EQ(rc, kTrqEndOfFile);
  ASSERT_EQ(Close(slot).rc, 0);
  EXPECT_EQ(rmGetHeapCount(), start);
}

}  // namespace
