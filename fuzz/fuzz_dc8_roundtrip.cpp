// Fuzz target for the DC8 coder: arbitrary bytes are coded with the least room the coder
// accepts (held exactly), then decoded into exactly their length; they must come back whole.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "coders/dc8_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Dc8Context* coders[2] = {};
  static Dc8Context* decoders[2] = {};
  if (!coders[0]) {
    for (int code = 0; code < 2; ++code)
      if (nucopn_dc8(coders[code], 1, code) != 0 || nucopn_dc8(decoders[code], 0, code) != 0)
        std::abort();
  }
  if (size < 1) return 0;
  const int code = data[0] & 1;
  ++data;
  --size;
  if (size > kDc8MaxInput) size = kDc8MaxInput;
  const auto n = static_cast<std::int32_t>(size);
  std::unique_ptr<std::uint8_t[]> input(new std::uint8_t[size > 0 ? size : 1]);
  if (size > 0) std::memcpy(input.get(), data, size);

  const std::int32_t room = kDc8HeaderSize + n + kDc8CoderSlack;
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[static_cast<std::size_t>(room)]);
  std::int32_t length = room;
  const std::int32_t rc = nuccmp_dc8(coders[code], input.get(), n, block.get(), length);
  if (rc == -1 && n > 0xFFFF - 14) return 0;  // stored, but its length word would not fit
  if (rc != 0 || length < kDc8HeaderSize || length > kDc8HeaderSize + n + 3) std::abort();

  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[size > 0 ? size : 1]);
  std::int32_t outLength = -7;
  if (nucdcm_dc8(decoders[code], block.get(), length - 2, out.get(), n, outLength) != 0 ||
      outLength != n || (n > 0 && std::memcmp(out.get(), input.get(), size) != 0))
    std::abort();
  return 0;
}
