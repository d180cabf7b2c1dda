// One decompressing ADC context per fuzz process.
#pragma once
#include <cstdlib>

#include "coders/adc_context.h"

inline AdcContext*& FuzzAdcContext() {
  static AdcContext* slot = [] {
    AdcContext* ctx = nullptr;
    if (nucopn_adc(ctx, 0, 0, 3) != 0) std::abort();
    return ctx;
  }();
  return slot;
}
