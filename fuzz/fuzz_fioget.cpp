// Fuzz target for the record readers: arbitrary bytes as a file, read through fioget in one
// of the readable formats (or through the TORQFILE framing detection) with capacities that
// change from call to call. Every call must keep its length within the capacity (and write
// nothing behind it: the buffer has exactly that size), return a documented code, and the reading must reach the end of the
// file (or stop at corrupt data) in a number of calls bounded by the file size. Text without
// a final delimiter writes message 105 on every run: -close_fd_mask=2 keeps the log short.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fio/fio.h"

namespace {

constexpr std::int32_t kFormats[] = {0, 16, 32, 40, 48, 56, 64, 72, 1, 2, 3, 12, 18, 256, 257, 288};
constexpr std::uint32_t kDelimiters[] = {0, 0x02000A0D, 0x0100007C, 0x02003B3B};
constexpr std::int32_t kMaxCapacity = 5000;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

const std::string& FilePath() {
  static const std::string path = "/tmp/fuzz_fioget_" + std::to_string(::getpid()) + ".bin";
  return path;
}

bool WriteFile(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(FilePath().c_str(), "wb");
  if (!f) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::int32_t format = kFormats[data[0] % (sizeof kFormats / sizeof kFormats[0])];
  const std::uint32_t delimiter = kDelimiters[data[1] & 3];
  const std::int32_t recordLength = 1 + data[2] % 200;
  std::uint32_t rng = 0x9E3779B9u * (data[3] + 1u);
  data += 4;
  size -= 4;
  if (!WriteFile(data, size)) return 0;

  FileControlBlock* fcb = nullptr;
  std::int32_t rc = -99;
  const std::int32_t openMode = 0;
  const std::int32_t zero = 0;
  std::int32_t closeDisposition = 0;
  std::uint8_t fillPair[2] = {0x20, 0xFF};
  std::int32_t nameLength = 0;
  char name[300];
  std::snprintf(name, sizeof name, "%s", FilePath().c_str());
  std::int32_t organisation = 0;
  std::int32_t recordFormat = format;
  std::int32_t length = recordLength;
  std::uint32_t delim = delimiter;
  std::int32_t blockSize = 0;
  std::int32_t device = 0;
  std::int32_t attributeLevel = 0;
  std::uint8_t origin[2];
  fiopen(fcb, rc, openMode, zero, closeDisposition, fillPair, "=TORQIN", nameLength, name,
         organisation, recordFormat, length, delim, zero, blockSize, zero, device, attributeLevel,
         nullptr, origin);
  if (format == 256 && rc != 0) {
    Check(rc == kFioEmpty || rc == kFioNotTorqfile);
    Check(fcb == nullptr);
    return 0;
  }
  Check(rc == 0 && fcb != nullptr);

  const std::int32_t minimum = FioMinCapacity(fcb->recordFormat);
  const std::size_t limit = 2 * size + 8;
  std::size_t calls = 0;
  bool ended = false;
  for (std::size_t round = 0; round < 8 * limit + 64 && !ended; ++round) {
    rng = rng * 1664525u + 1013904223u;
    std::int32_t capacity;
    switch (rng >> 30) {
      case 0:
        capacity = static_cast<std::int32_t>((rng >> 8) % 8);  // tiny, sometimes below the minimum
        break;
      case 1:
        capacity = static_cast<std::int32_t>((rng >> 8) % 64);
        break;
      default:
        capacity = static_cast<std::int32_t>((rng >> 8) % kMaxCapacity);
        break;
    }
    // A buffer of exactly the capacity: the sanitizer sees any byte written behind it.
    std::unique_ptr<std::uint8_t[]> area(new std::uint8_t[static_cast<std::size_t>(capacity)]);
    std::int32_t got = -1;
    fioget(fcb, rc, got, area.get(), capacity);
    Check(got >= 0 && got <= capacity);
    if (capacity < minimum) {  // refused, nothing read
      Check(rc == kFioLengthError && got == 0);
      continue;
    }
    ++calls;
    Check(calls <= limit);  // every accepted call moves on
    switch (rc) {
      case kFioOk:
      case kFioNoDelimiter:
      case kFioTruncated:
      case kFioLengthError:
        break;
      case kFioEndOfFile:
        Check(got == 0);
        fioget(fcb, rc, got, area.get(), capacity);
        Check(rc == kFioEndOfFile);  // the end stays the end
        ended = true;
        break;
      case kFioBadData:
        ended = true;
        break;
      default:
        Check(false);
    }
  }
  Check(ended);
  fiocls(fcb, rc);
  Check(fcb == nullptr);
  return 0;
}
