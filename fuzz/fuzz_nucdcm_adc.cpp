// Fuzz target for nucdcm_adc: any record count, the 21 head bytes, any block and block length.
// The block buffer and the matrix buffer are sized exactly, so every read or write outside them
// is caught; the block is never changed, and a matrix that decodes adds up to its data length.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "adc_fuzz_context.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHead = 21;
  if (size < 3 + kHead) return 0;
  const std::int32_t count = (data[0] << 8 | data[1]) % 4200;
  const std::uint8_t lengthMode = data[2];
  const std::size_t body = size - 3 - kHead;
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kHead + body]);
  std::memcpy(block.get(), data + 3, kHead + body);
  std::int32_t blockLength = static_cast<std::int32_t>(body);
  if (lengthMode == 0xFF) blockLength = -1;
  else if (lengthMode >= 0x80) blockLength -= (lengthMode & 0x7F) % (blockLength + 1);

  const std::size_t words = (kAdcLengthArea + kAdcMaxData) / 4;
  std::unique_ptr<std::uint32_t[]> matrix(new std::uint32_t[words]);
  const std::int32_t rc =
      nucdcm_adc(FuzzAdcContext(), block.get() + kHead, blockLength, matrix.get(), count);
  if (std::memcmp(block.get(), data + 3, kHead + body) != 0) std::abort();
  if (rc == 0 && count > 0) {
    const std::uint32_t d = std::uint32_t{data[3]} << 16 | std::uint32_t{data[4]} << 8 | data[5];
    std::uint64_t sum = 0;
    for (std::int32_t i = 0; i < count; ++i) sum += matrix[i];
    if (sum != d || d > kAdcMaxData) std::abort();
  }
  return 0;
}
