// The letter set of the 7-bit form: 16 letters for the values 0-15, the space, and the
// record letters "f", "b", "t", in ASCII or EBCDIC.
#pragma once
#include <cstdint>

#include "cmp/control_block.h"

inline constexpr std::uint8_t kRecordLetterHeader = 0;   // index of "f"
inline constexpr std::uint8_t kRecordLetterMatrix = 1;   // index of "b"
inline constexpr std::uint8_t kRecordLetterTrailer = 2;  // index of "t"

// Sets alphabet, letter values, letter base, space and record letters for a character code.
void SetLetters(CmpControlBlock& cb, std::uint32_t charCode);
// The letter base of a block from its first byte: 0x41 when it is an ASCII letter, else 0xC1.
std::uint32_t BlockLetterBase(std::uint8_t first);
// True for "f", "b", "t" of the block's set.
inline bool IsRecordLetter(const CmpControlBlock& cb, std::uint8_t c) {
  return c == cb.recordLetters[0] || c == cb.recordLetters[1] || c == cb.recordLetters[2];
}
