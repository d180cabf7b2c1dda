// nuccmp_adc and trqxadcc: a record matrix into an ADC or NDC block.
#include <cstdlib>
#include <cstring>

#include "coders/adc_coder.h"
#include "coders/adc_context.h"
#include "coders/deflate_part.h"
#include "coders/fast_lz.h"
#include "nuc/byte_copy.h"

namespace {

constexpr std::uint8_t kDeflatePrefix[3] = {0x1F, 0x8B, 0x08};
constexpr std::uint8_t kFastLzPrefix[3] = {0xFF, 0xFA, 0x51};

bool EnvironmentOn(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "ON") == 0;
}

void PutBe(std::uint8_t* p, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    p[i] = static_cast<std::uint8_t>(v);
    v >>= 8;
  }
}

}  // namespace

void trqxadcc(AdcContext*& slot, std::uint8_t* input, const std::int32_t& inputLength,
              std::uint8_t* output, std::int32_t& outputLength) {
  const std::int32_t n = inputLength;
  outputLength = n;  // stored unless a coder makes it smaller
  if (slot == nullptr || slot->self != slot || n <= 0) return;
  if (EnvironmentOn("TQ_ZEDC_SUPPORT")) {
    z_stream* stream = pvGzpOpn(1, 0, 6);
    if (stream == nullptr) return;
    std::memcpy(output, kDeflatePrefix, 3);
    const char* message = nullptr;
    const std::int32_t coded = siGzpCmp(message, stream, n, input, output + 3);
    fvGzpCls(stream, 1);
    if (coded >= 0) outputLength = coded + 3;
    return;
  }
  if (EnvironmentOn("TQ_FAST_SUPPORT")) {
    std::uint32_t* table = pvFswOpn(1);
    if (table == nullptr) return;
    std::memcpy(output, kFastLzPrefix, 3);
    outputLength = siFfwCmp(table, n, input, output + 3) + 3;
    fvFswCls(table);
    return;
  }
  std::int32_t coded = n;
  trqadcc(slot, input, n, output, coded, static_cast<std::uint32_t>(n));
  // A reader tries inflate first on these three bytes; rather store than depend on its fallback.
  if (coded < n && coded >= 3 && std::memcmp(output, kDeflatePrefix, 3) == 0) coded = n;
  outputLength = coded;
}

std::int32_t nuccmp_adc(AdcContext*& slot, std::uint32_t* lengths, std::int32_t n,
                        std::uint8_t* blockStart, std::int32_t& length) {
  AdcContext* ctx = slot;
  if (ctx == nullptr || ctx->self != ctx) return -1;
  const std::int32_t d = length;
  // A block that could not be read back is never written.
  if (n < 0 || n > static_cast<std::int32_t>(kAdcMaxRecords) || d < 0 ||
      d > static_cast<std::int32_t>(kAdcMaxData))
    return -1;
  std::uint64_t sum = 0;
  for (std::int32_t i = 0; i < n; ++i) sum += lengths[i];
  if (sum != static_cast<std::uint64_t>(d)) return -1;

  PutBe(blockStart + kAdcDataLengthAt, static_cast<std::uint32_t>(d), 3);
  std::int32_t l = 0;
  if (n == 1) {
    PutBe(blockStart, lengths[0], 4);
    l = 4;
  } else if (n > 1) {
    std::uint8_t* planes = ctx->planeArea;
    for (std::int32_t i = 0; i < n; ++i) {
      const std::uint32_t v = lengths[i];
      planes[i] = static_cast<std::uint8_t>(v >> 24);
      planes[n + i] = static_cast<std::uint8_t>(v >> 16);
      planes[2 * n + i] = static_cast<std::uint8_t>(v >> 8);
      planes[3 * n + i] = static_cast<std::uint8_t>(v);
    }
    // The planes always shrink (the top plane is zero); twice their size is room enough.
    const std::int32_t coded =
        adc::encode(ctx->coder, planes, 4 * n, blockStart, 8 * static_cast<std::uint32_t>(n));
    if (coded < 0) return -1;
    l = coded;
  }
  PutBe(blockStart + kAdcPartLengthAt, static_cast<std::uint32_t>(l), 2);

  std::uint8_t* records = reinterpret_cast<std::uint8_t*>(lengths) + kAdcLengthArea;
  std::uint8_t* part = blockStart + l;
  std::int32_t size = d;
  if (d > 0 && ctx->compressionMode == kAdcModeAdc) trqxadcc(slot, records, d, part, size);
  if (size >= d) {
    size = d;
    if (d > 0) nuc::CopyBytes(part, records, static_cast<std::size_t>(d));
  }
  length = l + size;
  return 0;
}
