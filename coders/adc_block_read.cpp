// nucdcm_adc: an ADC or NDC block back into record lengths and record bytes.
#include <cstring>

#include "coders/adc_context.h"
#include "coders/record_rebuild.h"
#include "nuc/byte_copy.h"

namespace {

constexpr std::int32_t kCorrupt = 60;
constexpr std::int32_t kBadLength = 73;

inline std::uint32_t Be(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

std::int32_t nucdcm_adc(AdcContext*& slot, const std::uint8_t* blockStart,
                        std::int32_t blockLength, std::uint32_t* output,
                        const std::int32_t& count) {
  AdcContext* ctx = slot;
  if (ctx == nullptr || ctx->self != ctx) return -1;
  const std::int32_t n = count;
  if (n < 0 || n > static_cast<std::int32_t>(kAdcMaxRecords) || blockLength < 0) return kCorrupt;
  const std::uint32_t d = Be(blockStart + kAdcDataLengthAt, 3);
  if (n == 0) return d == 0 ? 0 : kCorrupt;
  if (d > kAdcMaxData) return kCorrupt;
  const auto blockLen = static_cast<std::uint32_t>(blockLength);
  std::uint8_t* records = reinterpret_cast<std::uint8_t*>(output) + kAdcLengthArea;

  std::uint32_t l;
  if (n == 1) {
    l = 4;
    if (l > blockLen) return kCorrupt;
    output[0] = Be(blockStart, 4);
  } else {
    l = Be(blockStart + kAdcPartLengthAt, 2);
    if (l > blockLen) return kCorrupt;
    const auto planes = 4 * static_cast<std::uint32_t>(n);
    std::int32_t rc = 0;
    std::uint32_t consumed = l;
    std::int32_t produced = 0;
    trqadcd(slot, rc, blockStart, consumed, ctx->planeArea, produced, planes);
    if (rc == -1) return rc;
    // The length part must give exactly its four planes.
    if (rc != 0 || static_cast<std::uint32_t>(produced) != planes) return kCorrupt;
    const std::uint8_t* p = ctx->planeArea;
    for (std::int32_t i = 0; i < n; ++i) {
      output[i] = (std::uint32_t{p[i]} << 24) | (std::uint32_t{p[n + i]} << 16) |
                  (std::uint32_t{p[2 * n + i]} << 8) | p[3 * n + i];
    }
  }

  const std::uint32_t r = blockLen - l;
  const std::uint8_t* part = blockStart + l;
  if (d > r) {
    std::int32_t rc = 0;
    std::uint32_t consumed = r;
    std::int32_t produced = 0;
    trqadcd(slot, rc, part, consumed, records, produced, d);
    if (rc != 0) return rc;
    if (static_cast<std::uint32_t>(produced) != d) return kBadLength;
  } else {
    nuc::CopyBytes(records, part, d);
  }

  if ((output[0] >> 24) != 0) {
    std::int32_t rc = 0;
    const auto dataLength = static_cast<std::int32_t>(d);
    TRQREBLD(rc, n, output, dataLength, records, ctx->planeArea);
    if (rc != 0) return rc;
  }
  // In 64 bits: a wrapped 32-bit sum could match D while a length points outside the data.
  std::uint64_t sum = 0;
  for (std::int32_t i = 0; i < n; ++i) sum += output[i];
  return sum == d ? 0 : kBadLength;
}
