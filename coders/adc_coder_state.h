// Working state of the ADC coder, kept in the ADC context and set afresh for every input.
#pragma once
#include <cstdint>

#include "coders/adc_tables.h"

namespace adc {

inline constexpr std::uint32_t kPairSlots = 34816;  // pair hash table; keys address 0-32767

// A prediction-table entry of the coder: the offset of the last byte a prediction covers, its
// distance and its length. The coder writes only copies and continuations shorter than their
// distance, which is below 1,024, so 16 bits hold both; 8 bytes a slot let a prediction's
// entries go out in wide stores.
struct Prediction {
  std::uint32_t end;
  std::uint16_t distance;
  std::uint16_t length;
};
static_assert(sizeof(Prediction) == 8);

// How often the coder took its rarer roads; kept across inputs so that tests can see that
// every road is walked. Nothing in the code stream depends on them.
struct CoderCounts {
  std::uint64_t classGrowths;
  std::uint64_t entryWraps;     // the next entry passed 16,383 and began again at 0
  std::uint64_t runForms;
  std::uint64_t leadBytes;
  std::uint64_t relocations;    // a phrase entry moved to make room for a pair
  std::uint64_t giveUps;        // incompressible input, or the output reached its room
  std::uint64_t disturbances;
  std::uint64_t continuations;  // predictions carried on into the next period
};

struct CoderState {
  std::uint16_t pairTable[kPairSlots];         // phrase-list indices, 0 = empty
  Phrase phrases[kPhraseEntries];              // start offset and last-seen offset or length
  Prediction predictions[kPredictionSlots];
  std::uint8_t ranks[256];                     // the decoder's rank table, searched for a byte
  std::uint16_t classSize[kClasses];
  std::uint16_t classCode[kClasses];
  std::uint16_t classBits[kClasses];
  std::uint32_t classEnd[kClasses];            // the first value past each class
  std::uint16_t growthClass;
  std::uint16_t nextEntry;
  std::uint8_t savedTail[4];                   // the bytes under the sentinel
  std::uint32_t lastDistance;
  std::uint32_t distance;
  std::uint32_t horizon;
  std::int32_t balance;
  std::uint32_t wideLiterals;
  std::uint32_t rankUpdates;

  // The input (with the sentinel behind its end) and the positions in it.
  std::uint8_t* in;
  std::int32_t end;         // input length
  std::int32_t limit;       // end - 3
  std::int32_t p;           // the cursor
  std::int32_t tokenStart;  // first byte not yet covered by a written token

  // The bit writer: whole 32-bit words go out big-endian; nothing is stored at or past room.
  // Once the words reach the room, the coder gives up.
  std::uint8_t* out;
  std::uint32_t room;
  std::uint32_t stored;
  std::uint64_t bitAccu;    // waiting bits, first at the top
  std::uint32_t bitCount;

  std::uint8_t runOpen;     // 0xFF while bytes wait to be written as a literal run
  std::uint8_t afterRun;    // the decoder's after-run flag
  std::uint8_t afterPrediction;  // the decoder's after-prediction flag
  std::int32_t lead;        // lead byte code: -1 none, 0 one above, 0x10 + low 4 bits

  // Search state between the steps of one position.
  std::uint16_t foundEntry;
  std::uint16_t slotEntry;
  std::uint32_t foundSlot;
  std::uint32_t keySlot;
  std::int32_t sought;      // the phrase length an update gives the referenced entry
  std::int32_t match;       // match length g
  bool taken;

  CoderCounts counts;
};

}  // namespace adc
