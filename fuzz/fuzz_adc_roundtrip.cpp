// Fuzz target for the ADC block writer: arbitrary bytes cut into arbitrary records, written
// with nuccmp_adc (ADC or NDC, under each data-part coder of the environment) and read back
// with nucdcm_adc. Buffers are sized to what the writer may touch, so every stray access is
// caught; the records and the bytes behind them are never changed; the round trip is exact.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "coders/adc_context.h"

namespace {

struct Contexts {
  AdcContext* adc = nullptr;
  AdcContext* ndc = nullptr;
  AdcContext* reader = nullptr;
  Contexts() {
    if (nucopn_adc(adc, 1, 0, 3) != 0 || nucopn_adc(ndc, 1, 0, 4) != 0 ||
        nucopn_adc(reader, 0, 0, 3) != 0)
      std::abort();
  }
};

void SetEnvironment(int which) {
  // 0 ADC code, 1 deflate, 2 fast LZ, 3 both set (deflate), 4 lower case (ADC code).
  const char* zedc[] = {nullptr, "ON", nullptr, "ON", "on"};
  const char* fast[] = {nullptr, nullptr, "ON", "ON", "on"};
  if (zedc[which]) setenv("TQ_ZEDC_SUPPORT", zedc[which], 1);
  else unsetenv("TQ_ZEDC_SUPPORT");
  if (fast[which]) setenv("TQ_FAST_SUPPORT", fast[which], 1);
  else unsetenv("TQ_FAST_SUPPORT");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Contexts contexts;
  if (size < 3) return 0;
  const std::uint8_t flags = data[0];
  const std::uint32_t wanted = (std::uint32_t{data[1]} << 8 | data[2]) % 4096 + 1;
  data += 3;
  size -= 3;
  if (size > kAdcMaxData) size = kAdcMaxData;
  const auto d = static_cast<std::uint32_t>(size);
  const std::uint32_t n = d == 0 ? (wanted % 4) : wanted;
  SetEnvironment((flags >> 1) % 5);

  // Lengths from a small generator seeded by the flags and the data length.
  std::unique_ptr<std::uint8_t[]> matrix(new std::uint8_t[kAdcLengthArea + d + 4]);
  auto* lengths = reinterpret_cast<std::uint32_t*>(matrix.get());
  std::memset(lengths, 0, kAdcLengthArea);
  std::uint32_t x = flags * 2654435761u + d;
  std::uint32_t left = d;
  for (std::uint32_t i = 0; i + 1 < n && left > 0; ++i) {
    x = x * 1103515245u + 12345u;
    const std::uint32_t take = (x >> 8) % (left + 1) / ((x >> 28) + 1);
    lengths[i] = take;
    left -= take;
  }
  if (n > 0) lengths[n - 1] += left;
  std::uint8_t* records = matrix.get() + kAdcLengthArea;
  std::memcpy(records, data, d);
  std::memcpy(records + d, "\x5A\xA5\x5A\xA5", 4);

  constexpr std::size_t kHead = 21;
  const std::size_t area = kHead + 8 * std::size_t{n} + 4 + d + 5;
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[area]);
  std::int32_t length = static_cast<std::int32_t>(d);
  AdcContext*& writer = flags & 1 ? contexts.ndc : contexts.adc;
  if (nuccmp_adc(writer, lengths, static_cast<std::int32_t>(n), block.get() + kHead, length) != 0)
    std::abort();
  if (std::memcmp(records, data, d) != 0 || std::memcmp(records + d, "\x5A\xA5\x5A\xA5", 4) != 0)
    std::abort();
  if (length < 0 || static_cast<std::size_t>(length) + kHead > area) std::abort();

  std::unique_ptr<std::uint32_t[]> back(new std::uint32_t[(kAdcLengthArea + kAdcMaxData) / 4]);
  const std::int32_t count = static_cast<std::int32_t>(n);
  if (nucdcm_adc(contexts.reader, block.get() + kHead, length, back.get(), count) != 0)
    std::abort();
  if (std::memcmp(back.get(), lengths, 4 * std::size_t{n}) != 0) std::abort();
  if (n > 0 &&
      std::memcmp(reinterpret_cast<std::uint8_t*>(back.get()) + kAdcLengthArea, data, d) != 0)
    std::abort();
  return 0;
}
