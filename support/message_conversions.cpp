#include "support/message_conversions.h"

#include "support/build_stamp.h"

#include <cstring>

TORQ_BUILD_STAMP("TorqMsgConv")

namespace {

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\''; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLength(char c) {
  return c == 'h' || c == 'l' || c == 'L' || c == 'q' || c == 'j' || c == 'z' || c == 't';
}
bool IsConversion(char c) { return c != 0 && std::strchr("diouxXeEfFgGaAcsp", c) != nullptr; }

// A width or precision of more digits would let one message take gigabytes (or overflow).
constexpr int kMaxFieldDigits = 3;

// Skips a run of digits; false when it is longer than a sound field.
bool SkipField(const char*& p) {
  int digits = 0;
  while (IsDigit(*p)) {
    ++p;
    if (++digits > kMaxFieldDigits) return false;
  }
  return true;
}

// Appends one code; false when it does not fit.
bool Put(std::span<char> out, std::size_t& pos, int count, const char* code, std::size_t n) {
  const std::size_t need = (count > 0 ? 1 : 0) + n + 1;
  if (pos + need > out.size()) return false;
  if (count > 0) out[pos++] = ',';
  std::memcpy(out.data() + pos, code, n);
  pos += n;
  out[pos] = '\0';
  return true;
}

}  // namespace

int MsgConversionTypes(const char* text, std::span<char> types) {
  if (types.empty()) return -1;
  types[0] = '\0';
  if (!text) return -1;
  std::size_t pos = 0;
  int count = 0;
  for (const char* p = text; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (IsFlag(*p)) ++p;
    if (*p == '*') {
      if (!Put(types, pos, count++, "*", 1)) return -1;
      ++p;
    } else {
      if (!SkipField(p) || *p == '$') return -1;
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        if (!Put(types, pos, count++, "*", 1)) return -1;
        ++p;
      } else if (!SkipField(p)) {
        return -1;
      }
    }
    char code[4];
    std::size_t n = 0;
    while (IsLength(*p)) {
      if (n == 2) return -1;
      code[n++] = *p++;
    }
    if (!IsConversion(*p)) return -1;  // also an incomplete one at the end of the text
    code[n++] = *p == 'i' ? 'd' : *p;
    if (!Put(types, pos, count++, code, n)) return -1;
  }
  return count;
}

bool SameConversionTypes(const char* a, const char* b) {
  char ta[128], tb[128];
  const int na = MsgConversionTypes(a, ta);
  const int nb = MsgConversionTypes(b, tb);
  return na >= 0 && na == nb && std::strcmp(ta, tb) == 0;
}
