// The one-way mixing step over five chained blocks and the keyless block permutation that
// the key derivation, the frame cipher and the MACs are built from.
#pragma once
#include <cstddef>
#include <cstdint>

// A mixing state: five 16-byte blocks B0..B4 in bytes 0-79 and a work block in bytes 80-95.
inline constexpr std::size_t kMixArea = 96;
inline constexpr std::size_t kMixLast = 64;  // offset of B4, "the last block"
inline constexpr std::size_t kMixWork = 80;  // offset of the work block

// Each block becomes its encryption under the block before it (B0 under the old B4), XORed
// with itself; the work block keeps the last encryption result.
void PassPhrase(std::uint8_t* state);
// Permutes one 16-byte block: four rotated big-endian words gathered from scattered bytes.
void WrapP(std::uint8_t* block);
