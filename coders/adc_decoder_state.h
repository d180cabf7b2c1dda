// Working state of the ADC decoder, kept in the ADC context and set afresh for every stream.
#pragma once
#include <cstdint>

#include "coders/adc_tables.h"

namespace adc {

// A prediction as the decoder reads it.
struct PredictionEntry {
  std::uint32_t end;
  std::uint32_t distance;
  std::uint32_t length;
};

// A prediction-table slot: the end in the low 32 bits; above it the distance (10 bits, every
// distance is below 1024) and the length (22 bits). A length field of all ones means the length
// does not fit: the slot's entry then stands in full in the wide table.
inline constexpr std::uint32_t kSlotDistanceBits = 10;
inline constexpr std::uint32_t kSlotWideLength = (1u << (32 - kSlotDistanceBits)) - 1;

struct DecoderState {
  Phrase phrases[kPhraseEntries];              // start offset and length of earlier phrases
  alignas(16) std::uint64_t predictions[kPredictionSlots + 1];  // by offset mod 1024; one spare
  PredictionEntry widePredictions[kPredictionSlots];  // read only where a slot says so
  std::uint8_t ranks[256];                     // the byte of rank r is entry 255 - r
  std::uint32_t classBase[kClasses];           // first reference of each class
  std::uint32_t selectorBase[16];              // per 4-bit selector: its first reference
  std::uint8_t selectorWidth[16];              // and the bits that follow the selector
  std::uint16_t classSize[kClasses];
  std::uint16_t classWidth[kClasses];
  std::uint16_t growthOrder[kClasses];
};

}  // namespace adc
