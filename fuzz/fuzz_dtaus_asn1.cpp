// Fuzz target for the DTAUS and ASN.1 record formats: arbitrary bytes as a file, read through
// fioget with each of the sixteen DTAUS codes and the three ASN.1 codes, with capacities that
// change from call to call; then cut into records and written with each writable code. Every
// read must keep its length within the capacity and write nothing behind it, return a
// documented code and move on; nothing may leak.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fio/fio.h"
#include "support/heap.h"

namespace {

constexpr std::int32_t kReadFormats[] = {80,  88,  96,  104, 112, 120, 128, 136, 144, 152,
                                         160, 168, 176, 184, 192, 200, 208, 216, 224};
constexpr std::int32_t kWriteFormats[] = {80,  88,  96,  104, 112, 120, 128, 136,
                                          144, 152, 160, 168, 176, 184, 192, 200, 216};
constexpr std::uint32_t kDelimiters[] = {0, 0x02000A0D, 0x01000A0A, 0x02000000};
constexpr std::int32_t kBlockSizes[] = {0, 1, 16, 64, 512, 4096, 65536, 70000};
constexpr std::int32_t kMaxCapacity = 1200;
constexpr std::size_t kGuard = 32;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

std::string Path(const char* what) {
  return "/tmp/fuzz_dtaus_asn1_" + std::to_string(::getpid()) + what;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

struct Params {
  std::int32_t recordLength;
  std::int32_t blockSize;
  std::uint8_t fill;
  std::uint32_t delimiter;
  std::uint32_t rng;
};

std::uint32_t Next(std::uint32_t& rng) {
  rng = rng * 1664525u + 1013904223u;
  return rng >> 8;
}

FileControlBlock* Open(const std::string& path, std::int32_t mode, std::int32_t format,
                       const Params& p, std::int32_t& rc) {
  FileControlBlock* fcb = nullptr;
  const std::int32_t zero = 0;
  std::int32_t closeDisposition = 0;
  std::uint8_t fillPair[2] = {p.fill, 1};
  std::int32_t nameLength = 0;
  char name[300];
  std::snprintf(name, sizeof name, "%s", path.c_str());
  std::int32_t organisation = 0;
  std::int32_t recordFormat = format;
  std::int32_t recordLength = p.recordLength;
  std::uint32_t delimiter = p.delimiter;
  std::int32_t blockSize = p.blockSize;
  std::int32_t device = 0;
  std::int32_t attributeLevel = 0;
  std::uint8_t origin[2];
  fiopen(fcb, rc, mode, zero, closeDisposition, fillPair, "=TORQIN", nameLength, name,
         organisation, recordFormat, recordLength, delimiter, zero, blockSize, zero, device,
         attributeLevel, nullptr, origin);
  return fcb;
}

void ReadAs(std::int32_t format, std::size_t size, Params p) {
  std::int32_t rc = -99;
  FileControlBlock* fcb = Open(Path(".in"), kOpenInput, format, p, rc);
  if (rc != kFioOk) {
    Check(fcb == nullptr);
    return;
  }
  std::vector<std::uint8_t> area(kMaxCapacity + kGuard);
  // Each delivered record uses up at least one byte of the file.
  const std::size_t maxCalls = size + 4;
  std::size_t calls = 0;
  for (;;) {
    Check(++calls <= maxCalls);
    const std::int32_t capacity = static_cast<std::int32_t>(Next(p.rng) % kMaxCapacity) + 1;
    std::fill(area.begin(), area.end(), 0xA5);
    std::int32_t length = -1;
    fioget(fcb, rc, length, area.data(), capacity);
    for (std::size_t i = static_cast<std::size_t>(capacity); i < area.size(); ++i)
      Check(area[i] == 0xA5);
    Check(length >= 0 && length <= capacity);
    const bool progressed = rc == kFioOk || rc == kFioTruncated ||
                            (rc == kFioLengthError && length > 0);
    if (progressed) {
      Check(length > 0);
      continue;
    }
    Check(rc == kFioEndOfFile || rc == kFioBadData || rc == kFioLengthError ||
          rc == kFioBadRecordFormat);
    break;
  }
  std::int32_t closeRc = -99;
  fiocls(fcb, closeRc);
  Check(closeRc == kFioOk || closeRc == kFioBadData);
  Check(fcb == nullptr);
}

void WriteAs(std::int32_t format, const std::uint8_t* data, std::size_t size, Params p) {
  std::int32_t rc = -99;
  FileControlBlock* fcb = Open(Path(".out"), kOpenOutput, format, p, rc);
  if (rc != kFioOk) {
    Check(fcb == nullptr);
    return;
  }
  std::vector<std::uint8_t> record;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t n = std::min<std::size_t>(size - at, Next(p.rng) % 800);
    record.assign(data + at, data + at + n);
    const std::vector<std::uint8_t> given = record;
    std::int32_t length = static_cast<std::int32_t>(n);
    fioput(fcb, rc, length, record.data());
    Check(rc == kFioOk || rc == kFioBadData || rc == kFioBadRecordFormat);
    Check(record == given);  // the caller's record is left as it was
    at += n == 0 ? 1 : n;
  }
  std::int32_t closeRc = -99;
  fiocls(fcb, closeRc);
  Check(closeRc == kFioOk || closeRc == kFioBadData);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  Params p;
  p.recordLength = data[0] < 128 ? 0 : 2 + (data[0] - 128) * 8;
  p.blockSize = kBlockSizes[data[1] & 7];
  p.fill = static_cast<std::uint8_t>((data[1] & 8) ? 0xFF : 0x00);
  p.delimiter = kDelimiters[(data[1] >> 4) & 3];
  p.rng = 0x9E3779B9u * (data[2] + 1u) + data[3];
  data += 4;
  size -= 4;
  if (!WriteFile(Path(".in"), data, size)) return 0;

  const std::uint32_t before = rmGetHeapCount();
  for (std::int32_t format : kReadFormats) ReadAs(format, size, p);
  for (std::int32_t format : kWriteFormats) WriteAs(format, data, size, p);
  Check(rmGetHeapCount() == before);
  return 0;
}
