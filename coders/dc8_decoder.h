// The DC8 phrase code decoder.
#pragma once
#include <cstdint>
#include <span>

// A phrase: where its text begins in the output, and how long it is.
struct Dc8Phrase {
  std::uint16_t position;
  std::uint16_t length;
};

namespace dc8 {

// The phrase list in reference order, each entry the phrase itself (kDc8MaxPhrases entries).
struct PhraseTables {
  Dc8Phrase* list;
};

// Rebuilds exactly output.size() bytes from a phrase code. 0, or 60 for a code that is damaged
// in any way the decoder can see (it never writes outside output nor reads beyond the guard).
std::int32_t DecodePhrases(const PhraseTables& tables, std::span<const std::uint8_t> payload,
                           std::span<std::uint8_t> output);

}  // namespace dc8
