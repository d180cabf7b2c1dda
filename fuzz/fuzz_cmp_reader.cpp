// Fuzz target for the container reader: arbitrary bytes opened as a TORQFILE through the
// record layer's framing detection, then walked with the record reader, matrix reads, the
// header getters and positioning in an order the input chooses. With the first byte's low bit
// set, every binary block found in the bytes gets its checksum recomputed first, so the
// fuzzer reaches the records behind it. Every call must stay inside its buffers, and the walk
// must end within a number of calls bounded by the input size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "crypt/frame_cipher.h"
#include "fio/fio.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

const std::string& FilePath() {
  static const std::string path = "/tmp/fuzz_cmp_reader_" + std::to_string(::getpid()) + ".bin";
  return path;
}

bool WriteFile(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(FilePath().c_str(), "wb");
  if (!f) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Blocks as the record layer frames them: a 2-byte length (N - 2) in front.
void FixChecksums(std::vector<std::uint8_t>& b) {
  std::size_t at = 0;
  while (at + 4 <= b.size()) {
    const std::size_t n = static_cast<std::size_t>(b[at] << 8 | b[at + 1]) + 2;
    if (n < 6 || at + n > b.size()) break;
    if (b[at + 2] & 0x80) {
      const std::uint16_t s = BlockChecksum(b.data() + at, n - 2);
      b[at + n - 2] = static_cast<std::uint8_t>(s >> 8);
      b[at + n - 1] = static_cast<std::uint8_t>(s);
    }
    at += n;
  }
}

// A buffer of exactly `size` bytes on the heap, so that a write behind it is caught.
std::vector<std::uint8_t> Area(std::int32_t size) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(size > 0 ? size : 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t mode = data[0];
  const std::uint8_t ops = data[1];
  std::vector<std::uint8_t> file(data + 2, data + size);
  if (mode & 1) FixChecksums(file);
  if (!WriteFile(file.data(), file.size())) return 0;

  FileControlBlock* fcb = nullptr;
  std::int32_t rc = -99, closeDisposition = 0, nameLength = 0, organisation = 0, format = 256,
               recordLength = 0, blockSize = 0, device = 0, attributeLevel = 0;
  const std::int32_t openMode = 0, zero = 0;
  std::uint8_t fillPair[2] = {0x20, 0xFF}, attributes[64] = {}, origin[2] = {};
  std::uint32_t delimiter = 0;
  char name[300];
  std::snprintf(name, sizeof name, "%s", FilePath().c_str());
  fiopen(fcb, rc, openMode, zero, closeDisposition, fillPair, "=TORQIN", nameLength, name,
         organisation, format, recordLength, delimiter, zero, blockSize, zero, device,
         attributeLevel, attributes, origin);
  if (rc != 0) {
    if (fcb) fiocls(fcb, rc);
    return 0;
  }

  CmpControlBlock* cb = nullptr;
  std::int32_t level = 0, charCode = 0, bufferSize = 0, modeWord = 0, kind = 0, encrypted = 0;
  std::int32_t block = recordLength;
  cmpopn(cb, rc, 0, level, charCode, bufferSize, modeWord, kind, 0, block, fcb, 0, nullptr,
         nullptr, nullptr);
  // A container with security trailers opens with its own code and a live control block.
  if (rc == 0 || rc == kCmpSecurityOn) {
    Check(cb != nullptr && cb->self == cb);
    std::uint32_t choice = ops * 0x9E3779B9u + 1;
    const std::size_t limit = 2 * file.size() + 64;
    std::size_t failures = 0;
    for (std::size_t step = 0; step < limit && failures < 4; ++step) {
      choice = choice * 1103515245u + 12345u;
      // Mostly small areas; now and then one for the largest matrix.
      const std::int32_t capacity =
          static_cast<std::int32_t>((choice >> 8) % ((choice & 0xF00) == 0 ? 70000 : 700));
      std::int32_t r = -99;
      switch ((choice >> 24) % 6) {
        case 0:
        case 1:
          cmp_gethdr(*cb, r, kind, modeWord, charCode, level, bufferSize, encrypted);
          break;
        case 2: {
          // Matrix frames are rebuilt in the room the block coder keeps in front of its data.
          auto area = Area(kFramePrefix + capacity);
          std::vector<std::uint8_t> map(64);
          std::int32_t length = -1, flag = 0, records = 0, bl = 64;
          cmpget(cb, r, length, area.data() + kFramePrefix, flag, records, bl, map.data(),
                 capacity);
          Check(length >= 0 && length <= capacity && bl >= 0 && bl <= 64);
          break;
        }
        case 3: {
          const std::int32_t cap = capacity % 300;
          auto nameArea = Area(cap + 1);
          std::uint8_t pair[2];
          std::int32_t n = cap, org = 0, fmt = 0, len = 0, bs = 0;
          cmpghd(cb, r, n, reinterpret_cast<char*>(nameArea.data()), org, fmt, len, nullptr,
                 nullptr, bs, nullptr, pair);
          Check(n >= 0 && n <= cap);
          break;
        }
        case 4: {
          const std::int32_t cap = capacity % 40000;
          auto area = Area(cap);
          std::int32_t n = cap;
          if (choice & 1)
            cmpgsh(cb, r, n, area.data());
          else
            cmpguh(cb, r, n, area.data());
          Check(n >= 0 && n <= cap);
          break;
        }
        default: {
          std::int32_t k = 0, m = 0, c = 0, l = 0;
          cmppos(cb, r, kCmpPositionNext, k, m, c, l);
          break;
        }
      }
      if (r == kCmpEndOfFile) break;
      if (r != 0 && r != kCmpNoFileHeader && r != kCmpNoPassword) ++failures;
    }
    std::uint32_t blocks = 0, low = 0, high = 0;
    cmpcls(cb, rc, blocks, low, high);
    Check(cb == nullptr);
  } else {
    Check(cb == nullptr);
  }
  fiocls(fcb, rc);
  return 0;
}
