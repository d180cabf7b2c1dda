// Fuzz target: arbitrary bytes as a TORQFILE read through the record interface: headers,
// records taken with TrqGetRecord and with trqget into small buffers, and positioning to the
// next member, down through the container layer and the kernel's decoders. The first byte
// chooses the reading; with its bit 0 set every fixed-length block gets its right checksum,
// so the fuzzer reaches what lies behind it.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t how = data[0];
  std::vector<std::uint8_t> file(data + 1, data + size);
  if (how & 1) FixChecksums(file);
  static const std::string path = "/tmp/fuzz_trq_read_" + std::to_string(::getpid());
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
