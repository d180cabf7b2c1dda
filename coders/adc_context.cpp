// Opening and closing the ADC context.
#include "coders/adc_context.h"

#include <algorithm>

#include "support/heap.h"

std::int32_t nucopn_adc(AdcContext*& slot, std::int32_t direction, std::int32_t charCode,
                        std::int32_t compressionMode) {
  // The record interface has checked mode and character code; they are stored as given.
  auto* ctx = static_cast<AdcContext*>(rmHeapAlloc(sizeof(AdcContext)));
  slot = ctx;
  if (ctx == nullptr) return -1;
  ctx->self = ctx;
  ctx->direction = static_cast<std::uint32_t>(direction);
  ctx->compressionMode = static_cast<std::uint32_t>(compressionMode);
  ctx->charCode = static_cast<std::uint32_t>(charCode);
  std::copy(adc::stab.begin(), adc::stab.end(), ctx->stab);
  std::copy(adc::ctab.begin(), adc::ctab.end(), ctx->ctab);
  ctx->stateWord = 0;
  return 0;
}

std::int32_t nuccls_adc(AdcContext*& slot) {
  if (slot == nullptr || slot->self != slot) return -1;
  rmHeapFree0(&slot);
  return 0;
}
