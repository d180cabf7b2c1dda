#include "support/torqutil.h"

#include <array>
#include <cstddef>

namespace torqutil {

const char gInfo[] = "TorqUtil       : " __DATE__ " " __TIME__;

namespace {

// A letter c decodes as table[(c - base) mod 32]; any byte is a valid index this way, and the
// lower-case letters of either code decode like the upper-case ones.
constexpr std::array<std::uint8_t, 32> MakeDeco(int gapAfter9) {
  std::array<std::uint8_t, 32> t{};
  for (int i = 0; i < 9; ++i) t[i] = static_cast<std::uint8_t>(i);
  for (int i = 9; i < 16; ++i) t[i + gapAfter9] = static_cast<std::uint8_t>(i);
  return t;
}
// 'J' follows 'I' directly in ASCII; in EBCDIC it sits 7 positions later (0xD1 after 0xC9).
constexpr auto HexDecoA = MakeDeco(0);
constexpr auto HexDecoE = MakeDeco(7);

struct Form {
  const std::array<std::uint8_t, 32>& table;
  std::uint8_t base;
  constexpr unsigned Nibble(std::uint8_t c) const {
    return table[static_cast<std::uint8_t>(c - base) & 31u];
  }
  // The value of `letters` letters, the most significant nibble first.
  constexpr std::uint32_t Value(const std::uint8_t* p, int letters) const {
    std::uint32_t v = 0;
    for (int i = 0; i < letters; ++i) v = v << 4 | Nibble(p[i]);
    return v;
  }
  void ToBytes(const std::uint8_t* letters, std::uint8_t* out, int n) const {
    // Byte i depends only on letters 2i and 2i+1, so the in-place form (out == letters)
    // never overwrites a letter it still needs.
    for (int i = 0; i < n; ++i)
      out[i] = static_cast<std::uint8_t>(Nibble(letters[2 * i]) << 4 | Nibble(letters[2 * i + 1]));
  }
};
constexpr Form kAscii{HexDecoA, ConvCx7A};
constexpr Form kEbcdic{HexDecoE, ConvCx7E};

std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
bool IsAsciiLetter(std::uint8_t c) { return c >= 0x41 && c <= 0x50; }
bool IsEbcdicLetter(std::uint8_t c) { return (c >= 0xC1 && c <= 0xC9) || (c >= 0xD1 && c <= 0xD7); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

char* StrLower(char* text) {
  if (text)
    for (char* p = text; *p; ++p) *p = Lower(*p);
  return text;
}

const char* stristr(const char* text, const char* pattern) {
  if (!text || !pattern) return nullptr;
  for (const char* start = text;; ++start) {
    std::size_t i = 0;
    while (pattern[i] && start[i] && Lower(start[i]) == Lower(pattern[i])) ++i;
    if (!pattern[i]) return start;
    if (!start[i]) return nullptr;
  }
}

std::uint8_t Cx7ToByteA(const std::uint8_t* p) { return static_cast<std::uint8_t>(kAscii.Value(p, 2)); }
std::uint8_t Cx7ToByteE(const std::uint8_t* p) { return static_cast<std::uint8_t>(kEbcdic.Value(p, 2)); }
std::uint16_t Cx7ToShortA(const std::uint8_t* p) { return static_cast<std::uint16_t>(kAscii.Value(p, 4)); }
std::uint16_t Cx7ToShortE(const std::uint8_t* p) { return static_cast<std::uint16_t>(kEbcdic.Value(p, 4)); }
std::uint32_t Cx7ToLongA(const std::uint8_t* p) { return kAscii.Value(p, 8); }
std::uint32_t Cx7ToLongE(const std::uint8_t* p) { return kEbcdic.Value(p, 8); }
std::uint32_t Cx7ToLong3A(const std::uint8_t* p) { return kAscii.Value(p, 3); }
std::uint32_t Cx7ToLong3E(const std::uint8_t* p) { return kEbcdic.Value(p, 3); }
std::uint32_t Cx7RecSizeA(const std::uint8_t* p) { return kAscii.Value(p, 3) + 4; }
std::uint32_t Cx7RecSizeE(const std::uint8_t* p) { return kEbcdic.Value(p, 3) + 4; }

void Cx7ToCx8A(const std::uint8_t* letters, std::uint8_t* out, int n) { kAscii.ToBytes(letters, out, n); }
void Cx7ToCx8E(const std::uint8_t* letters, std::uint8_t* out, int n) { kEbcdic.ToBytes(letters, out, n); }
void Cx7ToCx8IpA(std::uint8_t* buffer, int n) { kAscii.ToBytes(buffer, buffer, n); }
void Cx7ToCx8IpE(std::uint8_t* buffer, int n) { kEbcdic.ToBytes(buffer, buffer, n); }
void Cx7ToCx8A8(const std::uint8_t* letters, std::uint8_t* out) { kAscii.ToBytes(letters, out, 4); }
void Cx7ToCx8E8(const std::uint8_t* letters, std::uint8_t* out) { kEbcdic.ToBytes(letters, out, 4); }
void Cx7ToCx8A4(const std::uint8_t* letters, std::uint8_t* out) { kAscii.ToBytes(letters, out, 2); }
void Cx7ToCx8E4(const std::uint8_t* letters, std::uint8_t* out) { kEbcdic.ToBytes(letters, out, 2); }
void Cx7ToCx8A2(const std::uint8_t* letters, std::uint8_t* out) { kAscii.ToBytes(letters, out, 1); }
void Cx7ToCx8E2(const std::uint8_t* letters, std::uint8_t* out) { kEbcdic.ToBytes(letters, out, 1); }
void Cx7ToCx8IpA8(std::uint8_t* buffer) { kAscii.ToBytes(buffer, buffer, 4); }
void Cx7ToCx8IpE8(std::uint8_t* buffer) { kEbcdic.ToBytes(buffer, buffer, 4); }
void Cx7ToCx8IpA4(std::uint8_t* buffer) { kAscii.ToBytes(buffer, buffer, 2); }
void Cx7ToCx8IpE4(std::uint8_t* buffer) { kEbcdic.ToBytes(buffer, buffer, 2); }
void Cx7ToCx8IpA2(std::uint8_t* buffer) { kAscii.ToBytes(buffer, buffer, 1); }
void Cx7ToCx8IpE2(std::uint8_t* buffer) { kEbcdic.ToBytes(buffer, buffer, 1); }

int TorqFileIsBinary(const std::uint8_t* h) { return h[2] == 0x80 && h[3] == 0x04 && h[4] <= 2; }

int TorqFileIsBinaryVar(const std::uint8_t* h) {
  return h[4] == 0x80 && h[5] == 0x04 && h[6] <= 2 && Be16(h) == Be16(h + 2) + 4;
}

int TorqFileIsCx7Ascii(const std::uint8_t* h) {
  return (h[3] == 'f' || h[3] == 'b') && IsAsciiLetter(h[0]) && IsAsciiLetter(h[1]) &&
         IsAsciiLetter(h[2]);
}

int TorqFileIsCx7Ebcdic(const std::uint8_t* h) {
  return (h[3] == 0x86 || h[3] == 0x82) && IsEbcdicLetter(h[0]) && IsEbcdicLetter(h[1]) &&
         IsEbcdicLetter(h[2]);
}

int TorqFileIsSplited(const std::uint8_t* h) {
  constexpr std::uint8_t kProduct[] = {0xE3, 0xD6, 0xD9, 0xD8};  // the product word in EBCDIC
  constexpr char kSplit[] = "SPLIT";
  if (h[2] != 0x80 || h[3] != 0x04 || (h[4] != 0x00 && h[4] != 0x04) || h[7] != 0x71) return 0;
  for (int i = 0; i < 4; ++i)
    if (h[9 + i] != kProduct[i]) return 0;
  for (int i = 0; i < 5; ++i)
    if (h[13 + i] != static_cast<std::uint8_t>(kSplit[i])) return 0;
  const int l1 = Be16(h);
  const int l2 = (h[5] & 0x7F) << 8 | h[6];
  return (h[8] == 1 && l1 - l2 == 7) || (h[8] == 2 && l1 - l2 == 9);
}

int TorqFileIsSerialSplit(const std::uint8_t* h) { return TorqFileIsSplited(h) && h[8] == 1; }
int TorqFileIsParallelSplit(const std::uint8_t* h) { return TorqFileIsSplited(h) && h[8] == 2; }

int GetTorqfileType(const std::uint8_t* h) {
  if (TorqFileIsSerialSplit(h)) return 6;
  if (TorqFileIsParallelSplit(h)) return 5;
  if (TorqFileIsBinary(h)) return 1;
  if (TorqFileIsCx7Ascii(h)) return 3;
  if (TorqFileIsCx7Ebcdic(h)) return 4;
  if (TorqFileIsBinaryVar(h)) return 2;
  return 0;
}

}  // namespace torqutil
