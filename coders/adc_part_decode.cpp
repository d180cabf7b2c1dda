// trqadcd: one length or data part. A block method prefix selects deflate or fast LZ; a part
// that does not decode behind its prefix to exactly its room is read again as ADC code from its
// first byte, since genuine ADC code can begin with the same three bytes.
#include <cstring>

#include "coders/adc_context.h"
#include "coders/adc_decoder.h"
#include "coders/deflate_part.h"
#include "coders/fast_lz.h"

namespace {

constexpr std::uint8_t kDeflatePrefix[3] = {0x1F, 0x8B, 0x08};
constexpr std::uint8_t kFastLzPrefix[3] = {0xFF, 0xFA, 0x51};

enum class Prefixed { kExact, kOtherSize, kFailed, kNoMemory };

Prefixed Inflate(const std::uint8_t* in, std::uint32_t len, std::uint8_t* out,
                 std::uint32_t room) {
  z_stream* z = pvGzpOpn(0, 0, 0);
  if (z == nullptr) return Prefixed::kNoMemory;
  const char* message = nullptr;
  const std::int32_t got = siGzpDco(message, z, static_cast<std::int32_t>(len - 3), in + 3, out,
                                    static_cast<std::int32_t>(room));
  fvGzpCls(z, 0);
  if (got < 0) return Prefixed::kFailed;
  if (got >= 1 && static_cast<std::uint32_t>(got) == room) return Prefixed::kExact;
  return got >= 1 ? Prefixed::kOtherSize : Prefixed::kFailed;
}

Prefixed FastLz(const std::uint8_t* in, std::uint32_t len, std::uint8_t* out,
                std::uint32_t room) {
  const std::int32_t got = siFfwDco(static_cast<std::int32_t>(len - 3), in + 3, out,
                                    static_cast<std::int32_t>(room));
  if (got < 0) return Prefixed::kFailed;
  if (got >= 1 && static_cast<std::uint32_t>(got) == room) return Prefixed::kExact;
  return got >= 1 ? Prefixed::kOtherSize : Prefixed::kFailed;
}

}  // namespace

void trqadcd(AdcContext*& slot, std::int32_t& rc, const std::uint8_t* input,
             std::uint32_t& inputLength, std::uint8_t* output, std::int32_t& outputLength,
             std::uint32_t room) {
  AdcContext* ctx = slot;
  if (ctx == nullptr || ctx->self != ctx) {
    rc = -1;
    return;
  }
  const std::uint32_t len = inputLength;
  Prefixed prefixed = Prefixed::kFailed;
  bool hasPrefix = false;
  if (len >= 3 && std::memcmp(input, kDeflatePrefix, 3) == 0) {
    hasPrefix = true;
    prefixed = Inflate(input, len, output, room);
  } else if (len >= 3 && std::memcmp(input, kFastLzPrefix, 3) == 0) {
    hasPrefix = true;
    prefixed = FastLz(input, len, output, room);
  }
  if (prefixed == Prefixed::kNoMemory) {
    rc = -1;
    return;
  }
  if (prefixed == Prefixed::kExact) {
    outputLength = static_cast<std::int32_t>(room);
    rc = 0;
    return;
  }
  const adc::DecodeResult r = adc::DecodeStream(ctx->decoder, input, len, output, room);
  if (r.rc == 0) {
    inputLength = r.consumed;
    outputLength = static_cast<std::int32_t>(r.produced);
    rc = 0;
    return;
  }
  // Neither reading holds: a prefixed stream that ended cleanly at another size is a length
  // fault, anything else damage.
  rc = hasPrefix && prefixed == Prefixed::kOtherSize ? 73 : 60;
}
