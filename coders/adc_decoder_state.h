// Working state of the ADC decoder, kept in the ADC context and set afresh for every stream.
#pragma once
#include <cstdint>

#include "coders/adc_tables.h"

namespace adc {

// A prediction-table entry of the decoder, padded so that one wide store fills it.
struct alignas(16) PredictionEntry {
  std::uint32_t end;
  std::uint32_t distance;
  std::uint32_t length;
  std::uint32_t unused;
};

struct DecoderState {
  Phrase phrases[kPhraseEntries];              // start offset and length of earlier phrases
  PredictionEntry predictions[kPredictionSlots + 1];  // by output offset modulo 1024; one spare
  std::uint8_t ranks[256];                     // the byte of rank r is entry 255 - r
  std::uint32_t classBase[kClasses];           // first reference of each class
  std::uint32_t selectorBase[16];              // per 4-bit selector: its first reference
  std::uint8_t selectorWidth[16];              // and the bits that follow the selector
  std::uint16_t classSize[kClasses];
  std::uint16_t classWidth[kClasses];
  std::uint16_t growthOrder[kClasses];
};

}  // namespace adc
