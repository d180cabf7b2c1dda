// Joining command-line items into one parameter string, and the readable form of that string
// for the run's title listing.
#include <cstring>
#include <string>

#include "support/build_stamp.h"

#include "support/heap.h"
#include "torqup/run_context.h"
#include "torqup/secret_values.h"

TORQ_BUILD_STAMP("TorqParString")

namespace {

// The item without its one leading sign; null or empty stays as it is.
const char* ItemText(const char* item) {
  if (item && (*item == '-' || *item == '+')) ++item;
  return item;
}

}  // namespace

char* ParCpy(char* dest, const char* item) {
  const char* text = ItemText(item);
  if (!text || !*text) {
    *dest = '\0';
    return dest;
  }
  const std::size_t n = std::strlen(text);
  std::memcpy(dest, text, n + 1);
  return dest + n;
}

char* ParCat(char* dest, const char* item) {
  if (!item || !*item) return dest;
  char* end = dest + std::strlen(dest);
  const char* text = ItemText(item);
  if (!*text) return end;
  // An empty text takes the item without a separator, so no item is ever empty.
  if (end != dest) *end++ = ',';
  const std::size_t n = std::strlen(text);
  std::memcpy(end, text, n + 1);
  return end + n;
}

char* MakeParString(int argc, char** argv, std::uint32_t& length) {
  length = 0;
  if (argc < 2 || !argv) return nullptr;
  std::size_t sum = 0;
  for (int i = 1; i < argc; ++i)
    if (argv[i]) sum += std::strlen(argv[i]) + 1;
  if (sum >= 0xFFFFFFFFu) return nullptr;
  auto* text = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(sum + 1)));
  if (!text) return nullptr;
  char* end = text;
  for (int i = 1; i < argc; ++i) {
    const char* item = ItemText(argv[i]);
    if (!item || !*item) continue;
    if (end == text) {
      end = ParCpy(text, argv[i]);
    } else {
      // Appending to the text's last character is appending to the whole text, without
      // measuring it again for every item.
      end = ParCat(end - 1, argv[i]);
    }
  }
  length = static_cast<std::uint32_t>(end - text);
  return text;
}

char* ParRmc(char* text, int mask) {
  if (!text) return text;
  if (mask) {
    // Every password or key value becomes one "*", wherever its item stands.
    const std::string shown = MaskSecrets(text);
    std::memcpy(text, shown.c_str(), shown.size() + 1);
  }
  int level = 0;
  bool quoted = false;
  for (char* p = text; *p; ++p) {
    const char c = *p;
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '(') {
      ++level;
    } else if (!quoted && c == ')' && level > 0) {
      --level;
    } else if (!quoted && level == 0 && c == ',') {
      *p = ' ';
    }
  }
  return text;
}
