#include "torqup/shown_names.h"

#include <cstring>

#include "support/build_stamp.h"

TORQ_BUILD_STAMP("TorqShownNames")

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s` that codes a printable
// character (not a C1 control); 0 when there is none.
std::size_t PrintableUtf8(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(0);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i) & 0x3F);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0x80 && cp <= 0x9F)) return 0;
  return n;
}

}  // namespace

std::string ShownName(std::string_view name) {
  std::string shown;
  shown.reserve(name.size());
  while (!name.empty()) {
    const auto c = static_cast<unsigned char>(name[0]);
    std::size_t n = 1;
    if (c >= 0x20 && c < 0x7F) {
      shown.push_back(static_cast<char>(c));
    } else if (c >= 0x80 && (n = PrintableUtf8(name)) > 0) {
      shown.append(name.substr(0, n));
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      n = 1;
      shown += "\\x";
      shown.push_back(kHex[c >> 4]);
      shown.push_back(kHex[c & 15]);
    }
    name.remove_prefix(n);
  }
  return shown;
}

std::string ShownSlot(const std::uint8_t* slot) {
  const char* text = reinterpret_cast<const char*>(slot + 1);
  return ShownName(std::string_view(text, strnlen(text, slot[0])));
}
