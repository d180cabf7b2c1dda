#include "launchers/torqupex/argument_vector.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "support/heap.h"

namespace {

constexpr std::int32_t kGrowth = 32;

// Trimmed at line ends: blanks and control characters, never the bytes of UTF-8 names.
bool IsTrimmed(unsigned char c) { return c <= 0x20; }

}  // namespace

TArgv::TArgv(std::int32_t initialCapacity) {
  if (initialCapacity > 0) {
    items_ = static_cast<char**>(rmHeapAlloc(static_cast<std::uint32_t>(initialCapacity) * sizeof(char*)));
    if (items_) capacity_ = initialCapacity - 1;
  }
}

TArgv::~TArgv() {
  Clear();
  rmHeapFree0(&items_);
}

void TArgv::Clear() {
  while (count_ > 0) {
    --count_;
    rmHeapFree0(&items_[count_]);
  }
  rmHeapFree0(&line_);
}

int TArgv::ReallocArgv() {
  const std::int32_t entries = capacity_ + 1 + kGrowth;
  auto* grown = static_cast<char**>(rmHeapAlloc(static_cast<std::uint32_t>(entries) * sizeof(char*)));
  if (!grown) return 0;
  if (items_) std::memcpy(grown, items_, static_cast<std::size_t>(count_ + 1) * sizeof(char*));
  rmHeapFree0(&items_);
  items_ = grown;
  capacity_ = entries - 1;
  return 1;
}

char* TArgv::StrDupArg(const char* text) { return StrDupArg(text, std::strlen(text)); }

char* TArgv::StrDupArg(const char* text, std::size_t length) {
  if (length >= 0xFFFFFFFFu) return nullptr;
  auto* copy = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(length + 1)));
  if (copy) std::memcpy(copy, text, length);  // the heap's zero fill terminates it
  return copy;
}

int TArgv::AddOwned(char* copy) {
  if (!copy) return 0;
  if (count_ >= capacity_ && !ReallocArgv()) {
    rmHeapFree(copy);
    return 0;
  }
  items_[count_++] = copy;
  items_[count_] = nullptr;
  return 1;
}

int TArgv::Add(const char* text) { return text ? AddOwned(StrDupArg(text)) : 1; }

int TArgv::Add(const char* text, std::size_t length) { return text ? AddOwned(StrDupArg(text, length)) : 1; }

int TArgv::Add(std::int32_t count, const char* const* texts) {
  for (std::int32_t i = 0; i < count; ++i)
    if (!Add(texts[i])) return 0;
  return 1;
}

int TArgv::OddQuotes(const char* text) {
  std::size_t n = 0;
  while (text && text[n] == '(') ++n;
  return n % 2;
}

int TArgv::AddParString(const char* parameters, std::size_t length, const char* program) {
  rmHeapFree0(&line_);
  if (!Add(program ? program : "torq4")) return 0;
  if (!parameters) return 1;
  const std::size_t size = strnlen(parameters, length);
  std::string item;
  std::size_t i = 0;
  for (;;) {
    // One item: up to a ',' that is not inside a bracketed value.
    while (i < size && parameters[i] != ',') {
      const char c = parameters[i++];
      item += c;
      if (c != '=' || !OddQuotes(std::string(parameters + i, size - i).c_str())) continue;
      // A bracketed value: its commas belong to the item, "((" and "))" stand for one bracket
      // each, and the first single ')' ends it. Every character is kept as it stands.
      item += parameters[i++];
      while (i < size) {
        const char b = parameters[i];
        if ((b == '(' || b == ')') && i + 1 < size && parameters[i + 1] == b) {
          item.append(2, b);
          i += 2;
          continue;
        }
        item += b;
        ++i;
        if (b == ')') break;
      }
    }
    if (!Add(item.c_str(), item.size())) return 0;
    item.clear();
    if (i >= size) break;
    ++i;  // the ','; a string that ends with one ends with an empty item
  }
  return 1;
}

const char* TArgv::GetCmdLine() {
  if (line_) return line_;
  std::string joined;
  for (std::int32_t i = 1; i < count_; ++i) {
    joined += items_[i];
    joined += ' ';
  }
  while (!joined.empty() && IsTrimmed(static_cast<unsigned char>(joined.back()))) joined.pop_back();
  line_ = StrDupArg(joined.c_str(), joined.size());
  return line_ ? line_ : "";
}

char* TArgv::GetLine(char* position, char** end) {
  for (;;) {
    while (*position != 0x1A && IsTrimmed(static_cast<unsigned char>(*position))) {
      if (*position == '\0') return nullptr;
      ++position;
    }
    if (*position == 0x1A) return nullptr;
    char* lineEnd = std::strchr(position, '\n');
    if (!lineEnd) lineEnd = position + std::strlen(position);
    if (*position == ';') {
      position = *lineEnd ? lineEnd + 1 : lineEnd;
      continue;
    }
    char* last = lineEnd;
    const bool more = *lineEnd != '\0';
    while (last > position && IsTrimmed(static_cast<unsigned char>(last[-1]))) --last;
    *last = '\0';
    if (last - position > 1) {
      *end = more ? lineEnd : last;
      return position;
    }
    position = more ? lineEnd + 1 : lineEnd;  // a single character is no argument
  }
}

int TArgv::Assign(const char* path) {
  Clear();
  if (!path) return 0;
  std::FILE* f = std::fopen(path, "rbe");
  if (!f) return 0;
  std::string text;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) return 0;
  text += "\n\x1a";
  if (!Add(path)) return 0;
  char* position = text.data();
  char* end = nullptr;
  while (char* line = GetLine(position, &end)) {
    if (!Add(line)) return 0;
    position = end + 1;
    if (position > text.data() + text.size()) break;
  }
  return 1;
}
