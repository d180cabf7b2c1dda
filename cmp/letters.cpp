#include "cmp/letters.h"

#include <cstring>

#include "fio/record_formats.h"

void SetLetters(CmpControlBlock& cb, std::uint32_t charCode) {
  const bool ascii = charCode == 1;
  const std::uint16_t base = ascii ? kLetterBaseAscii : kLetterBaseEbcdic;
  const std::uint8_t* table = LetterDecodeTable(base);
  for (std::uint32_t v = 0; v < 16; ++v)
    cb.alphabet[v] = static_cast<std::uint8_t>(ascii ? 0x41 + v : (v < 9 ? 0xC1 + v : 0xD1 + v - 9));
  for (std::uint32_t i = 0; i < sizeof(cb.letterValues); ++i) cb.letterValues[i] = table[base + i];
  cb.letterBase = base;
  cb.readLetterBase = base;
  cb.space = ascii ? 0x20 : 0x40;
  static constexpr std::uint8_t kAsciiLetters[3] = {0x66, 0x62, 0x74};
  static constexpr std::uint8_t kEbcdicLetters[3] = {0x86, 0x82, 0xA3};
  std::memcpy(cb.recordLetters, ascii ? kAsciiLetters : kEbcdicLetters, 3);
}

std::uint32_t BlockLetterBase(std::uint8_t first) {
  return first >= 0x41 && first <= 0x50 ? kLetterBaseAscii : kLetterBaseEbcdic;
}
