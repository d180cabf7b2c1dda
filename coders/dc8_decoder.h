// The DC8 phrase code decoder.
#pragma once
#include <cstdint>
#include <span>

namespace dc8 {

// Per phrase its length and output offset, and the phrase list in reference order
// (kDc8MaxPhrases entries each).
struct PhraseTables {
  std::uint16_t* lengths;
  std::uint16_t* positions;
  std::uint16_t* list;
};

// Rebuilds exactly output.size() bytes from a phrase code. 0, or 60 for a code that is damaged
// in any way the decoder can see (it never writes outside output nor reads beyond the guard).
std::int32_t DecodePhrases(const PhraseTables& tables, std::span<const std::uint8_t> payload,
                           std::span<std::uint8_t> output);

}  // namespace dc8
