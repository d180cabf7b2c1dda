// Fuzz target for runs of records: arbitrary bytes as a fix, undefined or text file, read once
// record by record with fioget and once in runs (FioGetRun, fioget for what a run leaves), with
// the same capacity; both must give the same records and codes. The records are then written
// back both ways (fioput, FioPutRun) and the two files must be equal byte for byte. Text
// without a final delimiter writes message 105: -close_fd_mask=2 keeps the log short.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fio/fio.h"

namespace {

constexpr std::int32_t kFormats[] = {1, 2, 3, 12};
constexpr std::uint32_t kDelimiters[] = {0x0100000A, 0x02000A0D, 0x0100007C, 0x02003B3B};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string Path(const char* what) {
  return "/tmp/fuzz_runs_" + std::to_string(::getpid()) + "_" + what;
}

struct Got {
  std::int32_t rc;
  std::vector<std::uint8_t> data;
  bool operator==(const Got&) const = default;
};

FileControlBlock* Open(const std::string& path, std::int32_t mode, std::int32_t format,
                       std::int32_t recordLength, std::uint32_t delimiter) {
  FileControlBlock* fcb = nullptr;
  std::int32_t rc = -99, closeDisposition = 0, nameLength = 0, organisation = 0, blockSize = 0,
               device = 0, attributeLevel = 0;
  const std::int32_t zero = 0;
  std::uint8_t fillPair[2] = {0x20, 0xFF};
  std::uint8_t origin[2];
  char name[300];
  std::snprintf(name, sizeof name, "%s", path.c_str());
  std::int32_t recordFormat = format, length = recordLength;
  std::uint32_t delim = delimiter;
  fiopen(fcb, rc, mode, zero, closeDisposition, fillPair, "=TORQIN", nameLength, name,
         organisation, recordFormat, length, delim, zero, blockSize, zero, device, attributeLevel,
         nullptr, origin);
  Check(rc == 0 && fcb != nullptr);
  return fcb;
}

std::vector<Got> Read(const std::string& path, std::int32_t format, std::int32_t recordLength,
                      std::uint32_t delimiter, std::int32_t capacity, std::int32_t most,
                      bool runs, std::size_t limit) {
  FileControlBlock* fcb = Open(path, 0, format, recordLength, delimiter);
  std::vector<Got> out;
  std::vector<std::uint8_t> area(static_cast<std::size_t>(capacity));
  std::vector<RecordRef> run(static_cast<std::size_t>(most));
  std::int32_t rc = 0;
  for (;;) {
    Check(out.size() <= limit);  // more would be a read that does not move on
    if (runs) {
      std::int32_t count = -1;
      FioGetRun(fcb, rc, capacity, run.data(), most, count);
      Check(count >= 0 && count <= most);
      if (rc != 0) {
        out.push_back({rc, {}});
        break;
      }
      for (std::int32_t i = 0; i < count; ++i) {
        const RecordRef& r = run[static_cast<std::size_t>(i)];
        Check(r.length >= 0 && r.length <= capacity);
        out.push_back({0, std::vector<std::uint8_t>(r.data, r.data + r.length)});
      }
      if (count > 0) continue;
    }
    std::int32_t got = -1;
    fioget(fcb, rc, got, area.data(), capacity);
    out.push_back({rc, std::vector<std::uint8_t>(area.data(), area.data() + got)});
    if (rc != 0 && rc != 51 && rc != 111) break;
  }
  fiocls(fcb, rc);
  return out;
}

std::vector<std::uint8_t> Write(const std::string& path, std::int32_t format,
                                std::int32_t recordLength, std::uint32_t delimiter,
                                const std::vector<Got>& records, bool runs,
                                std::vector<std::int32_t>& rcs) {
  FileControlBlock* fcb = Open(path, 1, format, recordLength, delimiter);
  std::vector<RecordRef> refs;
  for (const Got& g : records) refs.push_back({g.data.data(), static_cast<std::int32_t>(g.data.size())});
  std::int32_t rc = 0;
  const auto count = static_cast<std::int32_t>(refs.size());
  for (std::int32_t i = 0; i < count;) {
    if (runs) {
      std::int32_t done = -1;
      FioPutRun(fcb, rc, refs.data() + i, count - i, done);
      Check(done >= 0 && done <= count - i);
      rcs.insert(rcs.end(), static_cast<std::size_t>(done), 0);
      i += done;
      Check(rc == 0);
      if (i == count) break;
    }
    std::vector<std::uint8_t> copy = records[static_cast<std::size_t>(i)].data;
    std::int32_t length = static_cast<std::int32_t>(copy.size());
    std::uint8_t empty = 0;
    fioput(fcb, rc, length, copy.empty() ? &empty : copy.data());
    rcs.push_back(rc);
    ++i;
  }
  fiocls(fcb, rc);
  Check(rc == 0);
  std::vector<std::uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::int32_t format = kFormats[data[0] & 3];
  const std::uint32_t delimiter = kDelimiters[(data[0] >> 2) & 3];
  // Fix needs a record length (an open refuses 0); undefined takes 0 as 512 bytes.
  const std::int32_t recordLength = format != 1 && data[1] % 4 == 0 ? 0 : 1 + data[2] % 200;
  const std::int32_t capacity = 1 + (data[3] | (data[4] << 8)) % 3000;
  const std::int32_t most = 1 + data[5] % 300;
  data += 6;
  size -= 6;
  // Repeated to reach beyond the file object's 64 KB pieces now and then.
  const std::string in = Path("in");
  const std::size_t copies = size > 0 && (data[0] & 1) ? 1 + 70000 / (size + 1) : 1;
  if (std::FILE* f = std::fopen(in.c_str(), "wb")) {
    for (std::size_t i = 0; i < copies && size > 0; ++i) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  // Every record but the last moves on by a byte at least.
  const std::size_t limit = copies * size + 8;
  const std::vector<Got> plain = Read(in, format, recordLength, delimiter, capacity, most, false, limit);
  const std::vector<Got> runs = Read(in, format, recordLength, delimiter, capacity, most, true, limit);
  Check(plain == runs);

  // Written back with an output record length for fix (padding and cuts among them).
  const std::int32_t outFormat = format == 2 ? 1 : format;
  const std::int32_t outLength = outFormat == 1 ? (recordLength > 0 ? recordLength : 80) : 0;
  std::vector<std::int32_t> rcsPlain, rcsRuns;
  const std::vector<std::uint8_t> a = Write(Path("a"), outFormat, outLength, delimiter, plain, false, rcsPlain);
  const std::vector<std::uint8_t> b = Write(Path("b"), outFormat, outLength, delimiter, plain, true, rcsRuns);
  Check(a == b);
  Check(rcsPlain == rcsRuns);
  std::remove(in.c_str());
  std::remove(Path("a").c_str());
  std::remove(Path("b").c_str());
  return 0;
}
