// Runs of records through the record interface (TrqPutRun, TrqGetRun) against trqput and
// TrqGetRecord: the same container bytes, the same records, codes and counts, for every kind
// of coder, across matrices and members, and stopping where TrqGetRecord has to answer.
#include <gtest/gtest.h>

#include "trq_roundtrip.h"

using namespace trqtest;

namespace {

std::vector<Bytes> Records(std::size_t count, std::uint32_t seed) {
  std::vector<Bytes> records;
  std::uint32_t x = seed;
  for (std::size_t i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    const std::size_t n = (x >> 16) % 9 == 0 ? (x >> 8) % 300 : 80;  // mostly cards
    Bytes r(n);
    for (auto& b : r) b = static_cast<std::uint8_t>('A' + (x = x * 69069u + 1) % 7);
    records.push_back(r);
  }
  return records;
}

// PutMember with the records handed over in runs of `run`.
Result PutMemberInRuns(RecordHandle*& slot, const Member& m, std::size_t run) {
  Result r;
  std::int32_t rc = PutFileHeader(slot, m, false);
  if (!r.Note(rc, "trqphd")) return r;
  std::vector<RecordRef> refs;
  for (const Bytes& b : m.records) refs.push_back({b.data(), static_cast<std::int32_t>(b.size())});
  for (std::size_t i = 0; i < refs.size(); i += run) {
    const auto count = static_cast<std::int32_t>(std::min(run, refs.size() - i));
    std::int32_t taken = -1;
    TrqPutRun(slot, rc, refs.data() + i, count, taken);
    if (rc == 0 && taken != count) return r.Note(kTrqBadCall, "taken"), r;
    if (!r.Note(rc, "TrqPutRun")) return r;
  }
  Counts c;
  trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
  r.Note(rc, "trqflu");
  return r;
}

// The records of a member as the decompress step takes them: runs, TrqGetRecord for the
// record a run leaves. The code that ended them.
std::int32_t GetRecordsInRuns(RecordHandle*& slot, std::vector<Bytes>& records,
                              std::int32_t most) {
  std::vector<RecordRef> run(static_cast<std::size_t>(most));
  bool first = true;
  for (;;) {
    std::int32_t rc = 0, count = 0;
    if (!first) {
      TrqGetRun(slot, rc, run.data(), most, count);
      if (rc != 0) return rc;
      for (std::int32_t i = 0; i < count; ++i) {
        const RecordRef& r = run[static_cast<std::size_t>(i)];
        records.emplace_back(r.data, r.data + r.length);
      }
      if (count > 0) continue;
    }
    first = false;
    std::int32_t length = 0;
    std::uint8_t* record = nullptr;
    TrqGetRecord(slot, rc, length, record);
    if (rc != 0) return rc;
    records.emplace_back(record, record + length);
  }
}

}  // namespace

TEST(TrqRuns, PutAndGetMatchTheRecordByRecordRoad) {
  struct Method {
    const char* name;
    std::int32_t modeWord;
  };
  for (const Method& method : {Method{"CX8", 0}, Method{"CX7", 1}, Method{"VR8", 2},
                               Method{"ADC", 3}, Method{"DC8", 8}}) {
    Layout layout;
    layout.modeWord = method.modeWord;
    std::vector<Member> members(2);
    members[0].name = "first";
    members[0].records = Records(3000, 1);
    members[1].name = "second";
    members[1].records = Records(700, 2);
    members[1].records.push_back({});  // an empty last record
    for (Member& m : members) m.moreHeaders = false;

    const std::string plain = TempPath("plain"), runs = TempPath("runs");
    ASSERT_EQ(WriteContainer(plain, layout, members).rc, 0) << method.name;
    {
      RecordHandle* slot = nullptr;
      Layout l = layout;
      ASSERT_EQ(OpenForWriting(slot, runs, l).rc, 0) << method.name;
      for (const Member& m : members) ASSERT_EQ(PutMemberInRuns(slot, m, 97).rc, 0) << method.name;
      ASSERT_EQ(Close(slot).rc, 0) << method.name;
    }
    // Byte for byte where the coder's output is reproducible (ADC frames carry the time).
    const std::string again = TempPath("again");
    ASSERT_EQ(WriteContainer(again, layout, members).rc, 0) << method.name;
    if (ReadFile(again) == ReadFile(plain)) {
      EXPECT_EQ(ReadFile(runs), ReadFile(plain)) << method.name;
    }
    std::remove(again.c_str());
    const ReadBack back = ReadContainer(runs);
    ASSERT_EQ(back.result.rc, 0) << method.name;
    ASSERT_EQ(back.members.size(), members.size()) << method.name;
    for (std::size_t k = 0; k < members.size(); ++k)
      EXPECT_EQ(back.members[k].records, members[k].records) << method.name << " member " << k;

    // Reading in runs of 1, 5 and 256: the same records, end codes and counts.
    for (const std::int32_t most : {1, 5, 256}) {
      RecordHandle* slot = nullptr;
      ASSERT_EQ(OpenForReading(slot, plain).rc, 0);
      for (std::size_t k = 0; k < members.size(); ++k) {
        Member m;
        ASSERT_EQ(GetHeaders(slot, m).rc, 0) << method.name;
        std::vector<Bytes> records;
        const std::int32_t end = GetRecordsInRuns(slot, records, most);
        EXPECT_EQ(end, k + 1 < members.size() ? kTrqNewMember : kTrqEndOfFile) << method.name;
        EXPECT_EQ(records, members[k].records) << method.name << " member " << k << " most " << most;
        Counts c;
        std::int32_t rc = 0;
        trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
        std::size_t expected = 0;
        for (std::size_t j = 0; j <= k; ++j) expected += members[j].records.size();
        EXPECT_EQ(c.records, expected) << method.name;
      }
      Close(slot);
    }
    std::remove(plain.c_str());
    std::remove(runs.c_str());
  }
}

// A record trqput refuses ends the run there with trqput's code; the records before it are in.
TEST(TrqRuns, PutStopsAtTheRecordTrqputRefuses) {
  const std::string path = TempPath("refused");
  RecordHandle* slot = nullptr;
  Layout l;
  ASSERT_EQ(OpenForWriting(slot, path, l).rc, 0);
  Member m;
  m.name = "r";
  std::int32_t rc = PutFileHeader(slot, m, false);
  ASSERT_EQ(rc, 0);
  const Bytes card(80, 'c'), huge(40000, 'h');
  const RecordRef refs[] = {{card.data(), 80}, {card.data(), 80}, {huge.data(), 40000}, {card.data(), 80}};
  std::int32_t taken = -1;
  TrqPutRun(slot, rc, refs, 4, taken);
  std::int32_t single = 0;
  const std::int32_t n = 40000;
  trqput(slot, single, n, huge.data());
  EXPECT_EQ(rc, single);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(taken, 2);
  Close(slot);
  std::remove(path.c_str());
}

// A gap record of a relative file is left to TrqGetRecord, which answers 3 for it.
TEST(TrqRuns, GetLeavesTheGapToTrqGetRecord) {
  const std::string path = TempPath("gap");
  {
    RecordHandle* slot = nullptr;
    Layout l;
    l.recordLength = 80;
    ASSERT_EQ(OpenForWriting(slot, path, l).rc, 0);
    Member m;
    m.name = "g";
    std::int32_t rc = PutFileHeader(slot, m, false);
    ASSERT_EQ(rc, 0);
    const Bytes twelve(12, 'w');
    for (const std::int32_t n : {12, 3, 0, 12}) {
      trqput(slot, rc, n, twelve.data());
      ASSERT_EQ(rc, 0);
    }
    // The third record is a gap: the map 01 20.
    slot->gapMapLength = 1;
    slot->gapMap[1] = 0x20;
    ASSERT_EQ(Close(slot).rc, 0);
  }
  RecordHandle* slot = nullptr;
  ASSERT_EQ(OpenForReading(slot, path).rc, 0);
  Member m;
  ASSERT_EQ(GetHeaders(slot, m).rc, 0);
  std::int32_t rc = 0, length = 0, count = 0;
  std::uint8_t* record = nullptr;
  TrqGetRecord(slot, rc, length, record);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(length, 12);
  RecordRef run[8];
  TrqGetRun(slot, rc, run, 8, count);
  ASSERT_EQ(rc, 0);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(run[0].length, 3);
  TrqGetRun(slot, rc, run, 8, count);
  EXPECT_EQ(count, 0);
  TrqGetRecord(slot, rc, length, record);
  EXPECT_EQ(rc, kTrqGap);
  EXPECT_EQ(length, 0);
  TrqGetRun(slot, rc, run, 8, count);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(run[0].length, 12);
  TrqGetRecord(slot, rc, length, record);
  EXPECT_EQ(rc, kTrqEndOfFile);
  Close(slot);
  std::remove(path.c_str());
}
