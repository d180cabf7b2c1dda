// Arbitrary bytes as "torqmsg.dat" and as "torqdef.dat": the loaders must refuse damage with
// their codes and never read out of bounds; a loaded catalogue must answer every lookup, and
// every loaded text, formatted with arguments of the built-in types, stays short.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/environment.h"
#include "support/heap.h"
#include "support/message_catalog.h"
#include "support/message_conversions.h"

namespace {

// One argument of the conversion code's type.
template <typename... Star>
int FormatOne(char* out, std::size_t size, const char* piece, const char* code, Star... stars) {
  const std::string c = code;
  if (c == "s") return std::snprintf(out, size, piece, stars..., "an argument of 32 characters....");
  if (c == "p") return std::snprintf(out, size, piece, stars..., static_cast<void*>(out));
  if (c == "f" || c == "e" || c == "E" || c == "g" || c == "G" || c == "F" || c == "a" || c == "A")
    return std::snprintf(out, size, piece, stars..., -1.25e300);
  if (c == "Lf" || c == "Le" || c == "Lg") return std::snprintf(out, size, piece, stars..., -1.25e300L);
  if (c.size() >= 2 && c.compare(0, 2, "ll") == 0) return std::snprintf(out, size, piece, stars..., -1234567890123LL);
  if (c[0] == 'l' || c[0] == 'z' || c[0] == 'j' || c[0] == 't' || c[0] == 'q')
    return std::snprintf(out, size, piece, stars..., -1234567890123L);
  return std::snprintf(out, size, piece, stars..., -123456);  // int and the shorter types
}

// The length of a text formatted piece by piece: each piece holds the literal text before one
// conversion and that conversion, formatted with an argument of the conversion's type.
std::size_t FormattedLength(const char* text) {
  std::size_t total = 0;
  std::string rest = text;
  char out[4096];
  while (!rest.empty()) {
    // The end of the first conversion: the start of the next '%' that is not "%%".
    std::size_t next = std::string::npos, p = 0;
    bool seen = false;
    while ((p = rest.find('%', p)) != std::string::npos) {
      if (p + 1 < rest.size() && rest[p + 1] == '%') { p += 2; continue; }
      if (seen) { next = p; break; }
      seen = true;
      ++p;
    }
    const std::string piece = rest.substr(0, next);
    rest = next == std::string::npos ? std::string() : rest.substr(next);
    char codes[64];
    const int n = MsgConversionTypes(piece.c_str(), codes);
    if (n < 0 || n > 3) __builtin_trap();  // a loaded text is a sound format
    const char* conversion = std::strrchr(codes, ',') ? std::strrchr(codes, ',') + 1 : codes;
    int got = 0;
    if (n == 0) got = std::snprintf(out, sizeof out, piece.c_str(), 0);
    else if (n == 1) got = FormatOne(out, sizeof out, piece.c_str(), conversion);
    else if (n == 2) got = FormatOne(out, sizeof out, piece.c_str(), conversion, 7);
    else got = FormatOne(out, sizeof out, piece.c_str(), conversion, 7, 7);
    if (got < 0) __builtin_trap();
    total += static_cast<std::size_t>(got);
  }
  return total;
}

std::string TempFile() {
  static const std::string name = "/tmp/torq-fuzz-data-" + std::to_string(::getpid());
  return name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name = TempFile();
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  const std::uint32_t before = rmGetHeapCount();
  // Both language blocks: German and English readers pick different blocks of the file.
  for (const std::uint16_t language : {std::uint16_t{0x0407}, std::uint16_t{0x0409}}) {
    gLaguageId = language;
    const int rc = LoadMessageTab(name.c_str());
    if (rc != 0 && rc != 45 && rc != -1) __builtin_trap();
    if (rc == 0) {
      for (int n = 0; n < 2100; ++n) (void)FindMsgText(n);
      // Widths and precisions of at most three digits keep every message short.
      for (std::int32_t i = 0; i < AnzMsg; ++i) {
        const char* text = ErrorMap[i].text;
        if (FormattedLength(text) > std::strlen(text) + 8 * (999 + 64)) __builtin_trap();
      }
      FreeMessageTab();
    }
  }
  const int drc = GetDefaults(name.c_str());
  if (drc != 0 && drc != 30 && drc != 47 && drc != -1) __builtin_trap();
  if (drc != 0 && gDefstr) __builtin_trap();
  TorqFreeEnvironment();
  if (rmGetHeapCount() != before) __builtin_trap();  // nothing leaks on any path
  return 0;
}
