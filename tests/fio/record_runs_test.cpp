// Runs of records (FioGetRun, FioPutRun) against the record-by-record road: every record, rc
// and output byte must come out as fioget and fioput give them, at the edges of the file
// object's pieces, with short reads as pipes give them, at the end of the file and on errors.
#include <gtest/gtest.h>

#include <string>

#include "fio/record_formats.h"
#include "record_test_util.h"

using fiotest::Pattern;
using fiotest::ReadFileBytes;
using fiotest::ScopedHooks;
using fiotest::ScratchDir;
using fiotest::WriteFileBytes;
using rectest::B;
using rectest::Bytes;
using rectest::Got;
using rectest::Open;

namespace {

constexpr std::size_t kPiece = 65536;

// Reads as the compress step does: runs while there are any, fioget for what they leave.
std::vector<Got> ReadWithRuns(Open& in, std::int32_t capacity, std::int32_t most) {
  std::vector<Got> out;
  std::vector<RecordRef> run(static_cast<std::size_t>(most));
  for (std::size_t guard = 0; guard < 1000000; ++guard) {
    std::int32_t rc = -99, count = -1;
    FioGetRun(in.fcb, rc, capacity, run.data(), most, count);
    if (rc != kFioOk) {
      out.push_back({rc, {}});
      return out;
    }
    for (std::int32_t i = 0; i < count; ++i) {
      const RecordRef& r = run[static_cast<std::size_t>(i)];
      out.push_back({kFioOk, Bytes(r.data, r.data + r.length)});
    }
    if (count > 0) continue;
    Got g{0, {}};
    g.rc = in.Get(g.data, capacity);
    out.push_back(g);
    if (g.rc != kFioOk && g.rc != kFioLengthError && g.rc != kFioNoDelimiter && g.rc != kFioTruncated) return out;
  }
  ADD_FAILURE() << "no end";
  return out;
}

struct ReadCase {
  const char* what;
  std::int32_t format;
  std::int32_t recordLength;
  std::uint32_t delimiter;
  std::int32_t capacity;
  std::size_t readChunk;  // short reads as a pipe gives them (0: whole pieces)
  std::int32_t most;
  Bytes file;
};

// Text lines of many lengths (empty ones and ones longer than the capacities used below),
// with lone first delimiter characters inside, ending without a delimiter.
Bytes Lines(const std::string& delimiter, std::size_t size) {
  Bytes file;
  const Bytes noise = Pattern(size, 7);
  std::size_t i = 0;
  for (std::uint32_t n = 0; file.size() < size; ++n) {
    const std::size_t length = (n * 37u) % 190u;
    for (std::size_t k = 0; k < length; ++k, ++i) {
      std::uint8_t b = static_cast<std::uint8_t>('a' + noise[i % noise.size()] % 26);
      if (noise[i % noise.size()] % 50 == 0) b = static_cast<std::uint8_t>(delimiter[0]);  // lone
      file.push_back(b);
    }
    if (delimiter.size() == 1 && !file.empty() && file.back() == delimiter[0]) file.back() = 'z';
    file.insert(file.end(), delimiter.begin(), delimiter.end());
  }
  file.insert(file.end(), {'e', 'n', 'd'});
  return file;
}

// Text whose delimiters sit on the 64 KB edges: CR last of a piece with LF first of the next,
// and a lone CR last of a piece.
Bytes CrLfOnEdges() {
  return B(std::string(kPiece - 1, 'y') + "\r\n" + std::string(kPiece - 3, 'x') + "\rq\r\na\r\n\r");
}

}  // namespace

TEST(RecordRuns, ReadGivesWhatFiogetGives) {
  testing::internal::CaptureStderr();  // message 105 of the texts without a last delimiter
  const std::vector<ReadCase> cases = {
      {"fix, records across pieces, short last", kFmtFix, 80, 0, 80, 0, 256, Pattern(200003)},
      {"fix, larger capacity", kFmtFix, 80, 0, 4096, 0, 256, Pattern(200000)},
      {"fix, cut to the capacity", kFmtFix, 80, 0, 50, 0, 256, Pattern(1000)},
      {"fix, short reads", kFmtFix, 80, 0, 80, 4093, 256, Pattern(200003)},
      {"fix, runs of 7", kFmtFix, 100, 0, 100, 0, 7, Pattern(70050)},
      {"fix, record of a whole piece", kFmtFix, 65536, 0, 65536, 0, 256, Pattern(3 * kPiece + 9)},
      {"fix, empty file", kFmtFix, 80, 0, 80, 0, 256, {}},
      {"undefined", kFmtUndefined, 0, 0, 4096, 0, 256, Pattern(1000)},
      {"undefined, capacity below the block", kFmtUndefined, 700, 0, 300, 1000, 256, Pattern(150001)},
      {"text LF", kFmtText, 0, kDelimLf, 150, 0, 256, Lines("\n", 300000)},
      {"text LF, short reads", kFmtText, 0, kDelimLf, 150, 777, 256, Lines("\n", 300000)},
      {"text LF, long lines", kFmtText, 0, kDelimLf, 100, 0, 256, Lines("\n", 200000)},
      {"text CR LF", kFmtText, 0, kDelimCrLf, 200, 0, 256, Lines("\r\n", 300000)},
      {"text CR LF, short reads", kFmtText, 0, kDelimCrLf, 120, 1000, 5, Lines("\r\n", 200000)},
      {"text CR LF on the piece edges", kFmtText, 0, kDelimCrLf, 1000000, 0, 256, CrLfOnEdges()},
      {"text CR LF on the edges, full buffer", kFmtText, 0, kDelimCrLf,
       static_cast<std::int32_t>(kPiece - 1), 0, 256, CrLfOnEdges()},
      {"text ending with its delimiter", kFmtText, 0, kDelimLf, 150, 0, 256, B("a\n\nbc\n")},
  };
  for (const ReadCase& c : cases) {
    ScratchDir dir;
    WriteFileBytes(dir / "in", c.file);
    std::vector<Got> expect, got;
    for (const bool runs : {false, true}) {
      ScopedHooks hooks;
      hooks->readChunk = c.readChunk;
      Open in(kOpenInput, dir / "in", c.format);
      in.recordLength = c.recordLength;
      in.delimiter = c.delimiter;
      ASSERT_EQ(in.Run(), kFioOk) << c.what;
      (runs ? got : expect) = runs ? ReadWithRuns(in, c.capacity, c.most) : rectest::ReadAll(in, c.capacity);
    }
    ASSERT_GT(expect.size(), 0u) << c.what;
    EXPECT_EQ(got, expect) << c.what;
  }
  testing::internal::GetCapturedStderr();
}

TEST(RecordRuns, ReadFailureIsReportedAsFiogetReportsIt) {
  ScratchDir dir;
  WriteFileBytes(dir / "fix", Pattern(3 * kPiece));
  WriteFileBytes(dir / "text", Lines("\n", 3 * kPiece));
  for (const std::int32_t format : {kFmtFix, kFmtText}) {
    ScopedHooks hooks;
    hooks->failReadAt = 2;
    hooks->readErrno = EIO;
    Open in(kOpenInput, dir / (format == kFmtFix ? "fix" : "text"), format);
    in.recordLength = 80;
    ASSERT_EQ(in.Run(), kFioOk);
    const std::vector<Got> got = ReadWithRuns(in, 200, 256);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().rc, FioSystemError(EIO)) << format;
  }
}

namespace {

// Writes as the decompress step does: runs, fioput for the record a run leaves. The rc of
// every record (0 for those a run wrote), then the close rc.
std::vector<std::int32_t> WriteWithRuns(Open& out, const std::vector<Bytes>& records) {
  std::vector<RecordRef> refs;
  for (const Bytes& r : records) refs.push_back({r.data(), static_cast<std::int32_t>(r.size())});
  std::vector<std::int32_t> rcs;
  std::int32_t done = 0;
  const auto count = static_cast<std::int32_t>(refs.size());
  while (done < count) {
    std::int32_t rc = -99, written = -1;
    FioPutRun(out.fcb, rc, refs.data() + done, count - done, written);
    rcs.insert(rcs.end(), static_cast<std::size_t>(written), kFioOk);
    done += written;
    if (rc != kFioOk) {
      rcs.push_back(rc);
      break;
    }
    if (done < count) rcs.push_back(out.Put(records[static_cast<std::size_t>(done++)]));
  }
  rcs.push_back(out.Close());
  return rcs;
}

std::vector<Bytes> Records(std::size_t count, std::int32_t usual, std::uint32_t seed) {
  std::vector<Bytes> records;
  const Bytes lengths = Pattern(count, seed);
  for (std::size_t i = 0; i < count; ++i) {
    // Mostly the usual length; now and then shorter, longer or empty.
    std::size_t n = static_cast<std::size_t>(usual);
    if (lengths[i] < 8) n = lengths[i] * 9u;
    if (lengths[i] > 250) n = static_cast<std::size_t>(usual) + 17;
    records.push_back(Pattern(n, seed + static_cast<std::uint32_t>(i)));
  }
  return records;
}

}  // namespace

TEST(RecordRuns, WriteGivesWhatFioputGives) {
  struct Case {
    const char* what;
    std::int32_t format;
    std::int32_t recordLength;
    std::uint32_t delimiter;
    std::vector<Bytes> records;
  };
  const std::vector<Case> cases = {
      {"fix, padded and cut records among them", kFmtFix, 80, 0, Records(9000, 80, 1)},
      {"fix, records of 32 KB", kFmtFix, 32768, 0, Records(20, 32768, 2)},
      {"text LF", kFmtText, 0, kDelimLf, Records(9000, 77, 3)},
      {"text CR LF", kFmtText, 0, kDelimCrLf, Records(9000, 120, 4)},
      {"text, records above the buffer room", kFmtText, 0, kDelimCrLf, Records(12, 40000, 5)},
      {"dtext", kFmtDtext, 0, kDelimCrLf, Records(5000, 60, 6)},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    std::vector<std::int32_t> rcs[2];
    for (const bool runs : {false, true}) {
      Open out(kOpenOutput, dir / (runs ? "runs" : "plain"), c.format);
      out.recordLength = c.recordLength;
      out.delimiter = c.delimiter;
      ASSERT_EQ(out.Run(), kFioOk) << c.what;
      if (runs) {
        rcs[1] = WriteWithRuns(out, c.records);
      } else {
        for (const Bytes& r : c.records) rcs[0].push_back(out.Put(r));
        rcs[0].push_back(out.Close());
      }
    }
    EXPECT_EQ(rcs[1], rcs[0]) << c.what;
    EXPECT_EQ(ReadFileBytes(dir / "runs"), ReadFileBytes(dir / "plain")) << c.what;
  }
}

TEST(RecordRuns, WriteFailureIsReportedAsFioputReportsIt) {
  ScratchDir dir;
  const std::vector<Bytes> records = Records(3000, 80, 9);
  std::vector<std::int32_t> rcs[2];
  testing::internal::CaptureStderr();  // the system error lines
  for (const bool runs : {false, true}) {
    ScopedHooks hooks;
    hooks->failWriteAt = 2;
    Open out(kOpenOutput, dir / (runs ? "runs" : "plain"), kFmtText);
    out.delimiter = kDelimLf;
    ASSERT_EQ(out.Run(), kFioOk);
    if (runs) {
      rcs[1] = WriteWithRuns(out, records);
    } else {
      for (const Bytes& r : records) {
        rcs[0].push_back(out.Put(r));
        if (rcs[0].back() != kFioOk) break;
      }
      rcs[0].push_back(out.Close());
    }
  }
  testing::internal::GetCapturedStderr();
  ASSERT_GE(rcs[0].size(), 2u);
  ASSERT_GE(rcs[1].size(), 2u);
  // Both stop at the first failed write with its system error; the close fails alike.
  EXPECT_EQ(rcs[1][rcs[1].size() - 2], FioSystemError(ENOSPC));
  EXPECT_EQ(rcs[1][rcs[1].size() - 2], rcs[0][rcs[0].size() - 2]);
  EXPECT_EQ(rcs[1].back(), rcs[0].back());
}
