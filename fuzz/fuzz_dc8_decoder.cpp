// Fuzz target for nucdcm_dc8: arbitrary blocks for both character codes into any room. The
// block and the output are held in buffers of exactly their size, so any read or write outside
// them is caught. With bit 1 of the first byte the header is built around the payload (kind,
// lengths consistent), so the phrase decoder itself gets the bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "coders/dc8_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Dc8Context* slots[2] = {};
  if (!slots[0]) {
    if (nucopn_dc8(slots[0], 0, 0) != 0 || nucopn_dc8(slots[1], 0, 1) != 0) std::abort();
  }
  if (size < 3) return 0;
  const int code = data[0] & 1;
  const bool buildHeader = (data[0] & 2) != 0;
  const auto room = static_cast<std::int32_t>((data[1] << 8) | data[2]);
  data += 3;
  size -= 3;

  std::size_t total = size;
  std::unique_ptr<std::uint8_t[]> block;
  if (buildHeader) {
    // The input length from the first two bytes, the payload behind them.
    if (size < 2 || size - 2 > 0xFFFF - 14) return 0;
    const std::size_t payload = size - 2;
    total = 16 + payload;
    block.reset(new std::uint8_t[total]);
    static const std::uint8_t magic[2][8] = {{0xC2, 0xC4, 0xE3, 0xD6, 0xD9, 0xD8},
                                             {0x42, 0x44, 0x54, 0x4F, 0x52, 0x51}};
    block[0] = static_cast<std::uint8_t>((14 + payload) >> 8);
    block[1] = static_cast<std::uint8_t>(14 + payload);
    std::memcpy(block.get() + 2, magic[code], 6);
    block[8] = 0;
    block[9] = 1;
    block[10] = block[11] = 0;
    block[12] = data[0];
    block[13] = data[1];
    block[14] = static_cast<std::uint8_t>(payload >> 8);
    block[15] = static_cast<std::uint8_t>(payload);
    std::memcpy(block.get() + 16, data + 2, payload);
  } else {
    if (size < 2) return 0;
    block.reset(new std::uint8_t[total]);
    std::memcpy(block.get(), data, total);
  }
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[total]);
  std::memcpy(copy.get(), block.get(), total);
  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[room > 0 ? room : 1]);
  std::int32_t length = -7;
  const std::int32_t rc = nucdcm_dc8(slots[code], block.get(), static_cast<std::int32_t>(total) - 2,
                                     out.get(), room, length);
  // The block is never written; a success reports the header's input length, within the room.
  if (std::memcmp(copy.get(), block.get(), total) != 0) std::abort();
  if (rc != 0 && (rc != 60 || length != 0)) std::abort();
  if (rc == 0 && (length < 0 || length > room || length != ((block[12] << 8) | block[13])))
    std::abort();
  return 0;
}
