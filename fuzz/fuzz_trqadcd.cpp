// Fuzz target for trqadcd: any stream into any room (0 to 70,000 bytes). The output is sized
// exactly; the stream is never changed; a decoded part fits its room and its input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "adc_fuzz_context.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t room = (std::uint32_t{data[0]} << 8 | data[1]) * 70000u / 65535u;
  const std::size_t len = size - 2;
  std::unique_ptr<std::uint8_t[]> stream(new std::uint8_t[len]);
  std::memcpy(stream.get(), data + 2, len);
  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[room]);
  std::int32_t rc = -99, produced = -1;
  std::uint32_t length = static_cast<std::uint32_t>(len);
  trqadcd(FuzzAdcContext(), rc, stream.get(), length, out.get(), produced, room);
  if (std::memcmp(stream.get(), data + 2, len) != 0) std::abort();
  if (rc == 0 && (produced < 0 || static_cast<std::uint32_t>(produced) > room || length > len))
    std::abort();
  if (rc != 0 && rc != 60 && rc != 73) std::abort();
  return 0;
}
