// Working state of the ADC coder, kept in the ADC context and set afresh for every input.
#pragma once
#include <cstdint>

#include "coders/adc_tables.h"

namespace adc {

inline constexpr std::uint32_t kPairSlots = 34816;  // pair hash table; keys address 0-32767

struct CoderState {
  std::uint16_t pairTable[kPairSlots];         // phrase-list indices, 0 = empty
  Phrase phrases[kPhraseEntries];              // start offset and last-seen offset or length
  Prediction predictions[kPredictionSlots];
  std::uint8_t ranks[256];                     // the decoder's rank table
  std::uint8_t rankOf[256];                    // its inverse: the current rank of each byte
  std::uint16_t classSize[kClasses];
  std::uint16_t classCode[kClasses];
  std::uint16_t classBits[kClasses];
  std::uint16_t growthClass;
  std::uint16_t nextEntry;
  std::uint8_t savedTail[4];                   // the bytes under the sentinel
  std::uint32_t lastDistance;
  std::uint32_t distance;
  std::uint32_t horizon;
  std::int32_t balance;
  std::uint32_t wideLiterals;
  std::uint32_t rankUpdates;
};

}  // namespace adc
