// Fuzz target: arbitrary bytes as a TORQFILE read through the record interface: headers,
// records taken with TrqGetRecord and with trqget into small buffers, and positioning to the
// next member, down through the container layer and the kernel's decoders. The first byte
// chooses the reading; with its bit 0 set every fixed-length block gets its right checksum,
// so the fuzzer reaches what lies behind it. With its bit 5 set the file is first written
// through the record interface from records taken out of the input, and then the input's
// last bytes flip bytes of it: damaged containers without a corpus to start from.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cmp/record_interface.h"
#include "support/crc.h"
#include "tests/cmp/trq_roundtrip.h"

namespace {

// The record layer reads a file whose byte 3 is 4 as fixed records of bytes 0-1 + 2 bytes.
void FixChecksums(std::vector<std::uint8_t>& file) {
  if (file.size() < 6) return;
  const std::size_t size = ((std::size_t{file[0]} << 8) | file[1]) + 2;
  if (size < 6) return;
  for (std::size_t at = 0; at + size <= file.size(); at += size) {
    std::uint8_t* block = file.data() + at;
    const std::size_t declared = ((std::size_t{block[0]} << 8) | block[1]) + 2;
    const std::size_t length = declared < size ? declared : size;
    if (length < 6 || !(block[2] & 0x80)) continue;
    const std::uint16_t sum = TorqChecksum(block, static_cast<std::int32_t>(length - 2));
    block[length - 2] = static_cast<std::uint8_t>(sum >> 8);
    block[length - 1] = static_cast<std::uint8_t>(sum);
  }
}

// Records from the input (a length byte, then the bytes), written into a container of the
// form `how` chooses; then pairs (position, mask) from the tail of the input damage it.
std::vector<std::uint8_t> Written(std::uint8_t how, const std::uint8_t* data, std::size_t size,
                                  const std::string& path) {
  const std::size_t flips = size / 4;
  std::size_t at = 0, end = size - flips * 3 < size ? size - flips * 3 : 0;
  trqtest::Layout l;
  static constexpr std::int32_t kModes[] = {0, 1, 2, 3, 8};
  l.modeWord = kModes[((how >> 6) + 4 * (how & 1)) % 5];
  l.charCode = (how >> 1) & 1;
  l.recordFormat = l.modeWord == 1 ? 3 : 1;
  l.recordLength = 80 + 48 * ((how >> 2) & 3);
  l.bufferSize = 2048;
  trqtest::Member m;
  m.name = "f";
  m.systemHeader = {1};
  while (at < end) {
    const std::size_t n = data[at++] % 64;
    trqtest::Bytes r(data + at, data + (at + n < end ? at + n : end));
    at += r.size();
    m.records.push_back(std::move(r));
  }
  trqtest::WriteContainer(path, l, {m, m});
  std::vector<std::uint8_t> file = trqtest::ReadFile(path);
  for (std::size_t i = end; i + 3 <= size && !file.empty(); i += 3) {
    const std::size_t position = ((std::size_t{data[i]} << 8) | data[i + 1]) % file.size();
    file[position] ^= data[i + 2];
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t how = data[0];
  static const std::string path = "/tmp/fuzz_trq_read_" + std::to_string(::getpid());
  std::vector<std::uint8_t> file = (how & 0x20) ? Written(how, data + 1, size - 1, path)
                                                : std::vector<std::uint8_t>(data + 1, data + size);
  if (how & 1) FixChecksums(file);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  } else {
    return 0;
  }

  RecordHandle* slot = nullptr;
  if (trqtest::OpenForReading(slot, path).rc == 0) {
    const std::int32_t small = (how >> 1) & 7;  // trqget buffers of 0 to 7 bytes, or none
    const bool position = how & 0x10;
    std::uint8_t buffer[8];
    trqtest::Member m;
    trqtest::GetHeaders(slot, m);
    for (int step = 0; step < 100000; ++step) {
      std::int32_t rc = 0, length = 0;
      if (small == 7) {
        std::uint8_t* record = nullptr;
        TrqGetRecord(slot, rc, length, record);
        if (rc == 0 && length > 0 && (record[0] ^ record[length - 1]) == 0x5A && position)
          trqpos(slot, rc, kTrqNextMember);
      } else {
        trqget(slot, rc, length, buffer, small);
        if (length > small) std::abort();
      }
      if (rc == kTrqNewMember) {
        trqtest::Member next;
        trqtest::GetHeaders(slot, next);
        if (position && step % 2) trqpos(slot, rc, kTrqNextMember);
        continue;
      }
      if (rc != 0 && rc != kTrqGap && rc != kTrqTruncated) break;
    }
  }
  if (slot) trqtest::Close(slot);
  if (slot) std::abort();  // trqcls always frees the handle
  return 0;
}
