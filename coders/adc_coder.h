// The ADC coder's entry below trqadcc, and its steps, for the block writer and the tests.
#pragma once
#include <cstdint>

#include "coders/adc_coder_state.h"

namespace adc {

// Codes length bytes of input (the 4 bytes behind it are borrowed for a sentinel and given
// back) into output. Returns the coded size, or -1 when the coder gave up: the input does not
// compress, or the coded size would reach room. The output needs room + 3 bytes.
std::int32_t encode(CoderState& c, std::uint8_t* input, std::int32_t length,
                    std::uint8_t* output, std::uint32_t room);

void ADCCNEQU(CoderState& c, bool atPrediction);
void ADCCSTOE(CoderState& c);
void ADCCVOR(CoderState& c, std::uint32_t d, std::uint32_t len);
void ADCCKONN(CoderState& c);
void HOMONYM1(CoderState& c);

}  // namespace adc
