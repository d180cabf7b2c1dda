// Fuzz target for the VR8 decoders: arbitrary bytes as a coded piece (rldvr8) and as a pool
// code (torqfld), each in buffers of exactly their size; and the round trip rlcvr8 -> rldvr8 on
// arbitrary pieces, which must give the piece back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "nuc/vr8.h"

namespace {

struct Tables {
  std::uint8_t decode[1548] = {};
  std::uint8_t encode[772] = {};
  explicit Tables(std::uint8_t code) {
    Vr8FillDecodeTables(decode, code);
    Vr8FillEncodeTables(encode, code);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Tables tables[2] = {Tables(0), Tables(1)};
  if (size < 3) return 0;
  const std::uint8_t mode = data[0] % 3;
  const Tables& t = tables[(data[0] >> 2) & 1];
  const std::uint16_t word = static_cast<std::uint16_t>((data[1] << 8) | data[2]);
  data += 3;
  size -= 3;
  if (size > 0xFFFF) size = 0xFFFF;

  if (mode == 0) {  // a coded piece, into an output area of the given size
    std::vector<std::uint8_t> in(data, data + size);
    const std::uint32_t capacity = word % 4200;
    std::vector<std::uint8_t> out(capacity);
    std::int32_t rc = 0;
    std::uint16_t outLength = 0;
    rldvr8(in.data(), static_cast<std::uint16_t>(size), 0, 0, t.decode, out.data(), capacity, rc,
           outLength);
    if (rc == 0 && outLength > capacity) std::abort();
    if (size > 0 && std::memcmp(in.data(), data, size) != 0) std::abort();
  } else if (mode == 1) {  // a pool code
    std::vector<std::uint8_t> in(data, data + size);
    const std::uint16_t poolLength = static_cast<std::uint16_t>(word % 2100);
    std::vector<std::uint8_t> out(std::size_t{poolLength} + 3);
    std::int32_t rc = 0;
    torqfld(rc, t.decode, in.data(), static_cast<std::uint16_t>(size), out.data(), poolLength);
    if (size > 0 && std::memcmp(in.data(), data, size) != 0) std::abort();
  } else {  // round trip of a piece
    const std::size_t len = size > 2048 ? 2048 : size;
    if (len == 0) return 0;
    std::vector<std::uint8_t> src(data, data + len);
    src.insert(src.end(), {0x5A, 0xA5, 0x00, 0xFF});
    std::vector<std::uint8_t> coded(3200);
    std::uint16_t codedLength = 0;
    rlcvr8(src.data(), static_cast<std::int32_t>(len), t.encode, coded.data(), codedLength);
    if (src[len] != 0x5A || src[len + 1] != 0xA5 || src[len + 2] != 0x00 || src[len + 3] != 0xFF)
      std::abort();
    coded.resize(codedLength);
    std::vector<std::uint8_t> out(len);
    std::int32_t rc = 0;
    std::uint16_t outLength = 0;
    rldvr8(coded.data(), codedLength, 0, 0, t.decode, out.data(), static_cast<std::uint32_t>(len),
           rc, outLength);
    if (rc != 0 || outLength != len || std::memcmp(out.data(), data, len) != 0) std::abort();
  }
  return 0;
}
