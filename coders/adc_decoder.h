// The ADC code decoder on its own: one stream into at most `room` bytes, with the decoder state
// of a context. trqadcd puts the block method prefix test in front of it.
#pragma once
#include <cstdint>

#include "coders/adc_decoder_state.h"

namespace adc {

struct DecodeResult {
  std::int32_t rc;         // 0 at the end code, 60 for a damaged stream
  std::uint32_t consumed;  // input bytes up to the one holding the last bit read
  std::uint32_t produced;  // output bytes
};

DecodeResult DecodeStream(DecoderState& state, const std::uint8_t* input, std::uint32_t length,
                          std::uint8_t* output, std::uint32_t room);

}  // namespace adc
