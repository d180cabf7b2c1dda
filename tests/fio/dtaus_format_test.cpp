// DTAUS files through fiopen, fioget, fioput and fiocls: every code on generated files in both
// forms and character codes, the sequence rules, lengths, cut records and round trips.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dtaus_generator.h"
#include "fio/fio.h"
#include "record_test_util.h"

namespace {

using dtausgen::Charset;
using dtausgen::Form;
using rectest::Bytes;
using rectest::Got;

constexpr Form D = Form::kDisk;
constexpr Form T = Form::kTape;
constexpr Charset A = Charset::kAscii;
constexpr Charset E = Charset::kEbcdic;

struct CodeCase {
  std::int32_t code;
  Form taken;
  Charset in;
  Form delivered;
  Charset out;
};

// Every code with the form and character code it takes and the ones it delivers; the codes
// without translation in both character codes.
const CodeCase kCodes[] = {
    {96, D, A, D, A},  {96, D, E, D, E},  {104, D, A, D, E}, {112, D, E, D, A}, {120, D, E, D, A},
    {152, T, A, T, A}, {152, T, E, T, E}, {160, T, A, T, E}, {168, T, E, T, A}, {184, T, E, T, A},
    {128, D, A, T, A}, {128, D, E, T, E}, {88, D, A, T, E},  {136, D, E, T, A}, {144, D, E, T, A},
    {192, T, A, D, A}, {192, T, E, D, E}, {200, T, A, D, E}, {80, T, E, D, A},  {176, T, E, D, A},
};

std::string Describe(const CodeCase& c) {
  return "code " + std::to_string(c.code) + (c.taken == D ? " disk" : " tape") +
         (c.in == A ? "/ascii" : "/ebcdic");
}

// Two logical files: A, C with 0 to 15 extensions, E; then A, C with 3, E.
std::vector<dtausgen::Record> SampleFile(std::uint32_t seed) {
  dtausgen::Generator g(seed);
  std::vector<int> ks;
  for (int k = 0; k <= 15; ++k) ks.push_back(k);
  auto records = g.File(ks);
  auto second = g.File({3});
  records.insert(records.end(), second.begin(), second.end());
  return records;
}

class DtausFormat : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir_ / name; }
  fiotest::ScratchDir dir_;
};

TEST_F(DtausFormat, EveryCodeReadsGeneratedFiles) {
  const auto records = SampleFile(7);
  for (const CodeCase& c : kCodes) {
    SCOPED_TRACE(Describe(c));
    const std::string path = Path("in.dta");
    fiotest::WriteFileBytes(path, dtausgen::Concat(dtausgen::RenderAll(records, c.taken, c.in)));
    rectest::Open in(kOpenInput, path, c.code);
    ASSERT_EQ(in.Run(), kFioOk);
    const auto got = rectest::ReadAll(in, 1024);
    ASSERT_EQ(got.size(), records.size() + 1);
    for (std::size_t i = 0; i < records.size(); ++i)
      EXPECT_EQ(got[i], (Got{kFioOk, dtausgen::Render(records[i], c.delivered, c.out)})) << i;
    EXPECT_EQ(got.back().rc, kFioEndOfFile);
    EXPECT_EQ(in.Close(), kFioOk);
  }
}

TEST_F(DtausFormat, EveryCodeWritesGeneratedRecords) {
  const auto records = SampleFile(11);
  for (const CodeCase& c : kCodes) {
    SCOPED_TRACE(Describe(c));
    const std::string path = Path("out.dta");
    const auto rcs = rectest::WriteFile(path, c.code, dtausgen::RenderAll(records, c.taken, c.in));
    EXPECT_EQ(rcs, std::vector<std::int32_t>(records.size() + 1, kFioOk));
    EXPECT_EQ(fiotest::ReadFileBytes(path),
              dtausgen::Concat(dtausgen::RenderAll(records, c.delivered, c.out)));
  }
}


std::vector<std::size_t> Lengths(const std::vector<Got>& got) {
  std::vector<std::size_t> out;
  for (const Got& g : got) out.push_back(g.data.size());
  return out;
}

TEST_F(DtausFormat, DiskFileReadsWithItsSizesInBothForms) {
  dtausgen::Generator g(3);
  const auto records = g.File({0, 3});
  const std::string path = Path("a.dta");
  fiotest::WriteFileBytes(path, dtausgen::Concat(dtausgen::RenderAll(records, D, A)));
  auto got = rectest::ReadFile(path, 96, 1024);
  EXPECT_EQ(Lengths(got), (std::vector<std::size_t>{128, 256, 384, 128, 0}));
  EXPECT_EQ(got.back().rc, kFioEndOfFile);
  got = rectest::ReadFile(path, 128, 1024);
  EXPECT_EQ(Lengths(got), (std::vector<std::size_t>{146, 146, 233, 146, 0}));
  EXPECT_EQ(got.back().rc, kFioEndOfFile);
}

TEST_F(DtausFormat, TapeToDiskGivesTheZeroDigitAndTheSegmentLayout) {
  dtausgen::Generator g(5);
  auto records = g.File({3});
  // A thirteenth digit on the tape side cannot exist; whatever the disk record held there.
  std::vector<dtausgen::Record> raw = records;
  const std::string path = Path("t.dta");
  fiotest::WriteFileBytes(path, dtausgen::Concat(dtausgen::RenderAll(records, T, A)));
  const auto got = rectest::ReadFile(path, 192, 1024);
  ASSERT_EQ(got.size(), 4u);
  const Bytes& c = got[1].data;
  ASSERT_EQ(c.size(), 384u);
  EXPECT_EQ(Bytes(c.begin(), c.begin() + 5), rectest::B("0274C"));
  EXPECT_EQ(c[43], 0x30);
  EXPECT_EQ(Bytes(c.begin() + 245, c.begin() + 256), Bytes(11, 0x20));
  for (int slot = 1; slot < 4; ++slot) {
    const auto at = c.begin() + 256 + 29 * slot;
    EXPECT_EQ(Bytes(at, at + 29), rectest::B("00" + std::string(27, ' '))) << slot;
  }
  EXPECT_EQ(Bytes(c.begin() + 372, c.end()), Bytes(12, 0x20));
}

TEST_F(DtausFormat, LastByteOfDiskAGoesToTape111OnReadingAnd145OnWriting) {
  dtausgen::Generator g(9);
  const auto records = g.File({}, /*canonical=*/false);
  auto disk = dtausgen::RenderAll(records, D, A);
  disk[0][127] = 'Q';
  const std::string path = Path("a.dta");
  fiotest::WriteFileBytes(path, dtausgen::Concat(disk));
  const auto got = rectest::ReadFile(path, 128, 1024);
  ASSERT_GE(got.size(), 1u);
  ASSERT_EQ(got[0].data.size(), 146u);
  EXPECT_EQ(got[0].data[111], 'Q');
  EXPECT_EQ(got[0].data[145], 0x20);

  const std::string out = Path("t.dta");
  EXPECT_EQ(rectest::WriteFile(out, 128, disk), (std::vector<std::int32_t>{0, 0, 0}));
  const Bytes tape = fiotest::ReadFileBytes(out);
  ASSERT_GE(tape.size(), 146u);
  EXPECT_EQ(tape[111], 0x20);
  EXPECT_EQ(tape[145], 'Q');
}

TEST_F(DtausFormat, EndOfFile) {
  dtausgen::Generator g(13);
  const Bytes file = dtausgen::Concat(dtausgen::RenderAll(g.File({1, 2}), D, A));
  struct Case {
    std::string name;
    Bytes tail;
    std::int32_t lastRc;
  } cases[] = {
      {"nothing", {}, kFioEndOfFile},
      {"CR LF", {0x0D, 0x0A}, kFioEndOfFile},
      {"five bytes", {0x0D, 0x0A, 0x1A, 0x20, 0x20}, kFioEndOfFile},
      {"six bytes", {0x0D, 0x0A, 0x1A, 0x20, 0x20, 0x20}, kFioBadData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = file;
    bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
    const std::string path = Path("e.dta");
    fiotest::WriteFileBytes(path, bytes);
    const auto got = rectest::ReadFile(path, 96, 1024);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got.back().rc, c.lastRc);
  }
}

TEST_F(DtausFormat, FilesEndingEarlyAreIncomplete) {
  dtausgen::Generator g(17);
  const auto records = g.File({2, 7});
  for (Form form : {D, T}) {
    const auto parts = dtausgen::RenderAll(records, form, A);
    const Bytes whole = dtausgen::Concat(parts);
    const std::size_t aSize = parts[0].size();
    const std::size_t c1End = aSize + parts[1].size();
    const std::size_t c2End = c1End + parts[2].size();
    struct Case {
      std::size_t cut;
      std::size_t records;  // delivered before the error
    } cases[] = {{0, 0},         {3, 0},          {aSize - 1, 0}, {aSize + 100, 1},
                 {c1End, 2},     {c1End + 150, 2}, {c2End - 1, 2}, {c2End, 3},
                 {whole.size() - 1, 3}};
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(form == D ? "disk " : "tape ") + std::to_string(c.cut));
      const std::string path = Path("cut.dta");
      fiotest::WriteFileBytes(path, Bytes(whole.begin(), whole.begin() + static_cast<long>(c.cut)));
      rectest::Open in(kOpenInput, path, form == D ? 96 : 152);
      ASSERT_EQ(in.Run(), kFioOk);
      const auto got = rectest::ReadAll(in, 1024);
      ASSERT_EQ(got.size(), c.records + 1);
      EXPECT_EQ(got.back().rc, kFioBadData);
      EXPECT_EQ(in.Close(), kFioBadData);  // no E record
    }
  }
}

// Letter sequences and where they fail, reading and writing alike.
TEST_F(DtausFormat, SequenceErrors) {
  struct Case {
    std::string letters;
    std::size_t failsAt;  // index of the record refused; letters.size() for none
  } cases[] = {
      {"ACE", 3},  {"ACCEACE", 7}, {"AEAE", 4}, {"C", 0},   {"E", 0},   {"AA", 1},
      {"ACA", 2},  {"ACEC", 3},    {"ACEE", 3}, {"AXE", 1}, {"ACECE", 3}, {"B", 0},
  };
  dtausgen::Generator g(19);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.letters);
    std::vector<Bytes> records;
    for (char letter : c.letters) {
      const char kind = letter == 'A' || letter == 'C' || letter == 'E' ? letter : 'E';
      Bytes r = dtausgen::Disk(g.Make(kind, 0), A);
      r[4] = static_cast<std::uint8_t>(letter);
      records.push_back(r);
    }
    const std::string path = Path("s.dta");
    fiotest::WriteFileBytes(path, dtausgen::Concat(records));
    const auto got = rectest::ReadFile(path, 96, 1024);
    ASSERT_EQ(got.size(), std::min(c.failsAt, c.letters.size()) + 1);
    if (c.failsAt < c.letters.size()) {
      EXPECT_EQ(got.back().rc, kFioBadData);
    }

    // Writing stops at the refused record.
    rectest::Open out(kOpenOutput, Path("w.dta"), 128);
    ASSERT_EQ(out.Run(), kFioOk);
    const std::size_t puts = std::min(c.failsAt + 1, records.size());
    for (std::size_t i = 0; i < puts; ++i)
      EXPECT_EQ(out.Put(records[i]), i == c.failsAt ? kFioBadData : kFioOk) << i;
    const std::string accepted = c.letters.substr(0, std::min(c.failsAt, c.letters.size()));
    const bool ended = !accepted.empty() && accepted.back() == 'E';
    EXPECT_EQ(out.Close(), ended ? kFioOk : kFioBadData);
  }
}

TEST_F(DtausFormat, BadLengthsAndCountsOnReading) {
  dtausgen::Generator g(23);
  const auto records = g.File({3});
  const auto disk = dtausgen::RenderAll(records, D, A);
  const auto tape = dtausgen::RenderAll(records, T, A);
  struct Case {
    std::string name;
    bool isDisk;
    std::size_t record;
    std::size_t offset;
    Bytes bytes;
  } cases[] = {
      {"A length 0129", true, 0, 0, rectest::B("0129")},
      {"A length not digits", true, 0, 0, rectest::B("01:8")},
      {"E length 0256", true, 2, 0, rectest::B("0256")},
      {"C length 0275", true, 1, 0, rectest::B("0275")},
      {"C length 0651 (16 parts)", true, 1, 0, rectest::B("0651")},
      {"C length 0158", true, 1, 0, rectest::B("0158")},
      {"C count 04 for length 0274", true, 1, 185, rectest::B("04")},
      {"C count 0x for length 0274", true, 1, 185, rectest::B("0x")},
      {"tape C count 16", false, 1, 144, {0x01, 0x6F}},
      {"tape C count 0A", false, 1, 144, {0x00, 0xAF}},
      {"tape C count 103", false, 1, 144, {0x10, 0x3F}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto parts = c.isDisk ? disk : tape;
    std::copy(c.bytes.begin(), c.bytes.end(), parts[c.record].begin() + static_cast<long>(c.offset));
    const std::string path = Path("l.dta");
    fiotest::WriteFileBytes(path, dtausgen::Concat(parts));
    for (std::int32_t code : c.isDisk ? std::vector<std::int32_t>{96, 120, 128}
                                      : std::vector<std::int32_t>{152, 184, 192}) {
      SCOPED_TRACE(code);
      if (code == 120 || code == 184) continue;  // these take EBCDIC only
      const auto got = rectest::ReadFile(path, code, 1024);
      ASSERT_EQ(got.size(), c.record + 1);
      EXPECT_EQ(got.back().rc, kFioBadData);
    }
  }
}

TEST_F(DtausFormat, BadLengthsOnWriting) {
  dtausgen::Generator g(29);
  const auto records = g.File({4});
  const auto disk = dtausgen::RenderAll(records, D, A);
  const auto tape = dtausgen::RenderAll(records, T, A);
  auto resized = [](Bytes b, std::size_t n) {
    b.resize(n, 0x20);
    return b;
  };
  auto patched = [](Bytes b, std::size_t offset, const Bytes& with) {
    std::copy(with.begin(), with.end(), b.begin() + static_cast<long>(offset));
    return b;
  };
  struct Case {
    std::string name;
    std::int32_t code;
    Bytes c;  // the C record given between the good A and E
  } cases[] = {
      {"disk C one segment short", 96, resized(disk[1], 256)},
      {"disk C one byte long", 96, resized(disk[1], 385)},
      {"disk C count disagrees", 96, patched(disk[1], 185, rectest::B("05"))},
      {"disk C length field off", 128, patched(disk[1], 0, rectest::B("0304"))},
      {"disk C too short for its letter", 96, Bytes{0x30, 0x32}},
      {"tape C one byte long", 152, resized(tape[1], tape[1].size() + 1)},
      {"tape C count disagrees", 152, patched(tape[1], 144, {0x00, 0x3F})},
      {"tape C above 581", 192, resized(tape[1], 610)},
      {"tape C count disagrees, translated", 160, patched(tape[1], 144, {0x00, 0x5F})},
      {"empty record", 96, Bytes{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool isDisk = c.code == 96 || c.code == 128;
    const bool writesDisk = c.code == 96 || c.code == 192;
    rectest::Open out(kOpenOutput, Path("w.dta"), c.code);
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.Put(isDisk ? disk[0] : tape[0]), kFioOk);
    EXPECT_EQ(out.Put(c.c), kFioBadData);
    EXPECT_EQ(out.Put(isDisk ? disk[2] : tape[2]), kFioOk);
    EXPECT_EQ(out.Close(), kFioOk);
    // Nothing of the refused record was written.
    EXPECT_EQ(fiotest::ReadFileBytes(Path("w.dta")).size(), writesDisk ? 256u : 292u);
  }
  // A and E of the wrong size.
  for (std::int32_t code : {96, 152}) {
    const auto& form = code == 96 ? disk : tape;
    rectest::Open out(kOpenOutput, Path("w.dta"), code);
    ASSERT_EQ(out.Run(), kFioOk);
    EXPECT_EQ(out.Put(resized(form[0], form[0].size() - 1)), kFioBadData);
    EXPECT_EQ(out.Put(form[0]), kFioOk);
    EXPECT_EQ(out.Put(resized(form[2], form[2].size() + 1)), kFioBadData);
    EXPECT_EQ(out.Close(), kFioBadData);
  }
}

// A record cut to the caller's buffer is consumed whole; converted records up to 768 bytes are
// built apart from the caller's buffer.
TEST_F(DtausFormat, CutRecordsAreConsumedWhole) {
  const auto records = SampleFile(31);
  for (const CodeCase& c : kCodes) {
    for (std::int32_t capacity : {1, 100, 146, 200, 767}) {
      SCOPED_TRACE(Describe(c) + " capacity " + std::to_string(capacity));
      const std::string path = Path("c.dta");
      fiotest::WriteFileBytes(path, dtausgen::Concat(dtausgen::RenderAll(records, c.taken, c.in)));
      const auto got = rectest::ReadFile(path, c.code, capacity);
      ASSERT_EQ(got.size(), records.size() + 1);
      for (std::size_t i = 0; i < records.size(); ++i) {
        const Bytes whole = dtausgen::Render(records[i], c.delivered, c.out);
        const auto n = std::min<std::size_t>(whole.size(), static_cast<std::size_t>(capacity));
        EXPECT_EQ(got[i], (Got{whole.size() > n ? kFioTruncated : kFioOk,
                               Bytes(whole.begin(), whole.begin() + static_cast<long>(n))}))
            << i;
      }
      EXPECT_EQ(got.back().rc, kFioEndOfFile);
    }
  }
}

TEST_F(DtausFormat, DiskToTapeToDiskReproducesTheFile) {
  const auto records = SampleFile(37);
  for (Charset cs : {A, E}) {
    const Bytes disk = dtausgen::Concat(dtausgen::RenderAll(records, D, cs));
    // Converted while reading, written plain, converted back while reading.
    fiotest::WriteFileBytes(Path("d.dta"), disk);
    const auto tape = rectest::ReadFile(Path("d.dta"), 128, 768);
    std::vector<Bytes> tapeRecords;
    for (std::size_t i = 0; i + 1 < tape.size(); ++i) tapeRecords.push_back(tape[i].data);
    ASSERT_EQ(tapeRecords.size(), records.size());
    rectest::WriteFile(Path("t.dta"), 152, tapeRecords);
    const auto back = rectest::ReadFile(Path("t.dta"), 192, 768);
    Bytes again;
    for (std::size_t i = 0; i + 1 < back.size(); ++i)
      again.insert(again.end(), back[i].data.begin(), back[i].data.end());
    EXPECT_EQ(again, disk);

    // Converted while writing, both ways.
    std::vector<Bytes> diskRecords = dtausgen::RenderAll(records, D, cs);
    rectest::WriteFile(Path("t2.dta"), 128, diskRecords);
    const auto tape2 = rectest::ReadFile(Path("t2.dta"), 152, 768);
    std::vector<Bytes> tape2Records;
    for (std::size_t i = 0; i + 1 < tape2.size(); ++i) tape2Records.push_back(tape2[i].data);
    rectest::WriteFile(Path("d2.dta"), 192, tape2Records);
    EXPECT_EQ(fiotest::ReadFileBytes(Path("d2.dta")), disk);
  }
}

TEST_F(DtausFormat, EbcdicDiskDecidesBlanksAndLettersOfTheTapeOutput) {
  dtausgen::Generator g(41);
  const auto records = g.File({0});
  fiotest::WriteFileBytes(Path("d.dta"), dtausgen::Concat(dtausgen::RenderAll(records, D, E)));
  const auto got = rectest::ReadFile(Path("d.dta"), 128, 1024);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].data[0], 0xC1);
  EXPECT_EQ(got[0].data[120], 0x40);
  EXPECT_EQ(got[1].data[0], 0xC3);
  EXPECT_EQ(got[2].data[0], 0xC5);
  EXPECT_EQ(got[2].data[100], 0x40);
  // The same with an ASCII file: 0x20 and 41 43 45.
  fiotest::WriteFileBytes(Path("d.dta"), dtausgen::Concat(dtausgen::RenderAll(records, D, A)));
  const auto ascii = rectest::ReadFile(Path("d.dta"), 128, 1024);
  ASSERT_EQ(ascii.size(), 4u);
  EXPECT_EQ(ascii[0].data[0], 0x41);
  EXPECT_EQ(ascii[0].data[120], 0x20);
}

TEST_F(DtausFormat, UmlautsGoToBracketsOrToThePcCodePage) {
  dtausgen::Generator g(43);
  auto disk = dtausgen::RenderAll(g.File({}), D, E);
  const Bytes umlauts{0x4A, 0xE0, 0x5A, 0xA1};
  std::copy(umlauts.begin(), umlauts.end(), disk[0].begin() + 23);
  fiotest::WriteFileBytes(Path("u.dta"), dtausgen::Concat(disk));
  const auto ea0 = rectest::ReadFile(Path("u.dta"), 112, 1024);
  const auto ea1 = rectest::ReadFile(Path("u.dta"), 120, 1024);
  ASSERT_EQ(ea0.size(), 3u);
  ASSERT_EQ(ea1.size(), 3u);
  EXPECT_EQ(Bytes(ea0[0].data.begin() + 23, ea0[0].data.begin() + 27), rectest::B("[\\]~"));
  EXPECT_EQ(Bytes(ea1[0].data.begin() + 23, ea1[0].data.begin() + 27), (Bytes{0x8E, 0x99, 0x9A, 0xE1}));
}

TEST_F(DtausFormat, TranslatingWritesLeaveTheCallersRecordAlone) {
  dtausgen::Generator g(47);
  const auto records = dtausgen::RenderAll(g.File({2}), D, A);
  rectest::Open out(kOpenOutput, Path("x.dta"), 104);
  ASSERT_EQ(out.Run(), kFioOk);
  for (const Bytes& r : records) {
    Bytes copy = r;
    std::int32_t rc = -99;
    const auto length = static_cast<std::int32_t>(copy.size());
    fioput(out.fcb, rc, length, copy.data());
    EXPECT_EQ(rc, kFioOk);
    EXPECT_EQ(copy, r);
  }
  EXPECT_EQ(out.Close(), kFioOk);
  Bytes expected;
  for (const Bytes& r : records)
    for (std::uint8_t b : r) expected.push_back(dtausgen::Ebcdic(static_cast<char>(b)));
  EXPECT_EQ(fiotest::ReadFileBytes(Path("x.dta")), expected);
}

TEST_F(DtausFormat, EmptyFileAndEarlyClose) {
  fiotest::WriteFileBytes(Path("empty.dta"), {});
  rectest::Open in(kOpenInput, Path("empty.dta"), 96);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(in.Get(r, 1024), kFioBadData);
  EXPECT_EQ(in.Close(), kFioBadData);

  dtausgen::Generator g(53);
  const auto records = dtausgen::RenderAll(g.File({1}), T, A);
  rectest::Open out(kOpenOutput, Path("early.dta"), 152);
  ASSERT_EQ(out.Run(), kFioOk);
  EXPECT_EQ(out.Put(records[0]), kFioOk);
  EXPECT_EQ(out.Put(records[1]), kFioOk);
  EXPECT_EQ(out.Close(), kFioBadData);
  EXPECT_EQ(out.fcb, nullptr);
}

}  // namespace
