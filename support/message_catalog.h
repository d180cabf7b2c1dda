// The message catalogue: loading "torqmsg.dat" in the user's language, finding the text of a
// message number, and the built-in listing labels (numbers from 2000 up).
#pragma once
#include <cstdint>

// A map row: {32-bit key, text}. A map ends with a row whose key has 0xFFFF in its low
// 16 bits (the built-in maps end with key -1 and a null text).
struct MapEntry {
  std::int32_t key;
  const char* text;
};

// The loaded catalogue: the chosen block's entries as stored (4 spare zero bytes behind),
// their count, and one map row per entry (text pointing into gTorqMsgText) plus a zero row.
extern char* gTorqMsgText;
extern std::int32_t AnzMsg;
extern MapEntry* ErrorMap;
// The language identifier that chooses the block; set from the user's language on the first
// load when it is still 0.
extern std::uint16_t gLaguageId;

// The labels of the defaults and parameter listings, 2000 to 2052, closed by key -1.
inline constexpr int kListMapRows = 54;
extern const MapEntry ListMap[kListMapRows];

// Loads the catalogue (null: the catalogue name of the environment). 0; 45 when the file is
// damaged or foreign in any way; -1 when it cannot be opened or memory runs out. The whole
// file is checked before anything of it is used; on failure nothing stays loaded.
int LoadMessageTab(const char* fileName);

// The text of the first row with the key; "***unknown***" when the closing row comes first;
// "*ERROR* No MsgTab loaded***" for a null map.
const char* FindEntryTxt(const MapEntry* map, std::int32_t key);
// Numbers 0-1999 from the catalogue, all others (taken as unsigned) from ListMap.
const char* FindMsgText(std::int32_t number);
// The value of the hexadecimal digits at the start of the text (32-bit, wrapping).
std::uint32_t HexToDec(const char* text);

// Releases the loaded catalogue; lookups then answer "*ERROR* No MsgTab loaded***".
void FreeMessageTab();
