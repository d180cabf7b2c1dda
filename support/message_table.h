// The numbered message texts in German and English. torqinit writes them into "torqmsg.dat";
// the catalogue loader holds the English row of each number against what it loads.
#pragma once
#include <cstddef>
#include <cstdint>

// One language's side of a row: the message number and its text (7-bit ASCII, often a
// printf format).
struct MsgText {
  std::int32_t nr;
  const char* text;
};

// Column 0 is German, column 1 English; both numbers of a row are equal.
struct ErrMsgRow {
  MsgText lang[2];
};

inline constexpr int kMsgColumnGerman = 0;
inline constexpr int kMsgColumnEnglish = 1;
inline constexpr std::size_t kErrMsgRows = 140;

// Ascending by number; the last row (number -1) closes the table and is written as "ffff".
extern const ErrMsgRow ErrMsg[kErrMsgRows];

// The built-in English text of a catalogue number, or null when the table has no such row.
// The closing row answers for 0xFFFF.
const char* BuiltinEnglishText(std::uint32_t number);
