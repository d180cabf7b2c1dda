// Layout of the message catalogue file "torqmsg.dat": a German block at offset 0 and an
// English block directly behind it. Numbers are little-endian.
//
// Block: an 8-byte MsgHeader, then the entries in table order without padding.
// Entry: L (text length + 5), four lower-case hex digits of the number, ':', the text, NUL;
// L + 2 bytes in all. The closing entry (number "ffff") carries one more NUL.
#pragma once
#include <cstddef>
#include <cstdint>

struct MsgHeader {
  std::uint16_t length;  // block length, header included
  std::uint16_t count;   // entries, the closing one included
  char letters[3];       // "DEU" or "ENG"
  std::uint8_t language; // low byte of the language identifier
};
static_assert(sizeof(MsgHeader) == 8);

inline constexpr std::uint8_t kMsgLanguageGerman = 0x07;
inline constexpr std::uint8_t kMsgLanguageEnglish = 0x09;
inline constexpr std::size_t kMsgHeaderSize = sizeof(MsgHeader);
inline constexpr std::size_t kMsgEntryOverhead = 7;      // L, 4 digits, ':', NUL
inline constexpr std::size_t kMsgMaxTextLength = 122;    // L must stay below 128
inline constexpr std::uint32_t kMsgClosingNumber = 0xFFFF;
inline constexpr std::size_t kMsgMaxBlockLength = 0xFFFF;
