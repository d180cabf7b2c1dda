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

}  // namespace
