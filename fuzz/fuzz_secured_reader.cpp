// Fuzz target: secured containers with a password, read back through the record interface:
// security headers and trailers through the record reader, TORQenc and AES frames through
// the frame reader. The first byte chooses crypt mode, method and block layout; records come
// from the input, and pairs (position, mask) from its tail change the written file, whose
// fixed-length blocks then get their right checksums again. Bit 7 gives the reader another
// password.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cmp/block_io.h"
#include "tests/cmp/secured_roundtrip.h"

namespace {

void FixChecksums(std::vector<std::uint8_t>& file, std::size_t size) {
  for (std::size_t at = 0; at + size <= file.size(); at += size) {
    std::vector<std::uint8_t> summed(file.begin() + static_cast<std::ptrdiff_t>(at),
                                     file.begin() + static_cast<std::ptrdiff_t>(at + size - 2));
    if ((summed[4] == 1 || summed[4] == 2) && (summed[2] & 0x7F) == 0 && summed[3] == 4) summed[4] = 0;
    const std::uint16_t sum = BlockChecksum(summed.data(), summed.size());
    file[at + size - 2] = static_cast<std::uint8_t>(sum >> 8);
    file[at + size - 1] = static_cast<std::uint8_t>(sum);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t how = data[0];
  ++data;
  --size;
  static const std::string path = "/tmp/fuzz_secured_reader_" + std::to_string(::getpid());
  securedtest::Layout l;
  l.modeWord = ((how & 1) ? 3 : 4) | ((how & 2) ? 0x20 : 0x10);
  if ((l.modeWord & 0xF0) == 0x10) l.modeWord &= 0x0F;  // TORQenc comes with the password
  l.fixedBlock = (how >> 2) & 1;
  l.recordFormat = l.fixedBlock ? 1 : 0;
  l.recordLength = 100 + 156 * ((how >> 3) & 3);
  l.bufferSize = 65536;
  const std::size_t flips = size / 4;
  const std::size_t end = size - flips * 3;
  securedtest::Member m;
  m.name = "f";
  for (std::size_t at = 0; at < end;) {
    const std::size_t n = data[at++] % 64;
    const std::size_t stop = at + n < end ? at + n : end;
    m.records.emplace_back(data + at, data + stop);
    at = stop;
  }
  if (securedtest::WriteSecured(path, l, {m, m}, "pw").rc != 0) return 0;
  std::vector<std::uint8_t> file = securedtest::ReadFile(path);
  if (file.empty()) return 0;
  for (std::size_t i = 0; i < flips; ++i) {
    const std::uint8_t* p = data + end + 3 * i;
    file[((std::size_t{p[0]} << 8) | p[1]) % file.size()] ^= p[2];
  }
  if (l.fixedBlock) FixChecksums(file, static_cast<std::size_t>(l.recordLength));
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  securedtest::ReadWithPassword(path, (how & 0x80) ? "pW" : "pw");
  std::remove(path.c_str());
  return 0;
}
