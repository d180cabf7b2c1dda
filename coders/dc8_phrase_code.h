// What the DC8 phrase coder and its decoder agree on: start values of the shared state, the
// code classes and the limits of the phrase code.
#pragma once
#include <bit>
#include <cstdint>

namespace dc8 {

// Reference range: K grows in half steps toggled by T.
inline constexpr int kStartK = 6;
inline constexpr int kStartT = 1;
inline constexpr int kMaxK = 18;  // no valid code takes K further
// Literal mode: the decoder's short-form width and the threshold of the long form; the coder
// counts the width one higher (it includes the leading bit).
inline constexpr int kStartLiteralWidth = 5;
inline constexpr std::uint32_t kStartThreshold = 48;
// A move-to-front index above this switches literal mode on.
inline constexpr std::uint32_t kLiteralSwitchIndex = 95;
// New bytes sent as 8 raw bits; the 16th takes position-list index 0 as its bucket.
inline constexpr int kMaxRawBytes = 16;
// The 16th byte of a high nibble takes over the nibble's bucket entry.
inline constexpr int kNibbleBytes = 16;
inline constexpr int kMaxPositions = 255;  // the position list's highest index
inline constexpr std::uint16_t kNoBucket = 0xFFFF;
// Length codes cover runs of 2 to 4,311 bytes.
inline constexpr std::uint32_t kMaxRun = 4311;

// Code classes (3 bits, then a unary extension for 7 to 12).
inline constexpr int kClassNewByte = 6;
inline constexpr int kClassRepeat = 5;  // the class whose extra bit asks for a repeat
inline constexpr int kClassLength2 = 7;
inline constexpr int kClassLength8 = 8;
inline constexpr int kClassLength88 = 9;
inline constexpr int kClassStep = 12;   // half step of the reference range
inline constexpr int kClassesRead = 3;  // bits of the class number before the extension

// Written codes: a class-12 code, leaving literal mode, the repeat request, the closing code.
inline constexpr std::uint32_t kStepCode = 0xFF;
inline constexpr int kStepBits = 8;
inline constexpr std::uint32_t kLeaveLiteral = 7;
inline constexpr int kLeaveLiteralBits = 3;
inline constexpr std::uint32_t kRepeatCode = 11;  // class 5 and a 1 bit
inline constexpr int kRepeatBits = 4;
inline constexpr std::uint32_t kClosingCode = 127;
inline constexpr int kClosingBits = 7;

inline int BitLength(std::uint32_t v) { return std::bit_width(v); }

}  // namespace dc8
