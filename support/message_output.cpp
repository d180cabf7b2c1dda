#include "support/message_output.h"

#include "support/build_stamp.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/code_tables.h"
#include "support/message_catalog.h"
#include "support/platform/standard_error.h"
#include "support/platform/system_error.h"
#include "support/platform/system_error_text.h"
#include "support/platform/thread_id.h"

TORQ_BUILD_STAMP("TorqMsgOut")

std::uint32_t gMsgLfdNr = 1;
const char PrefixFmt[] = "%04d-%02d-%02d %02d:%02d:%02d %04x%04d%s";

namespace {

constexpr std::size_t kLineSize = 512;
constexpr std::int32_t kMaxTextShown = 199;

void SystemClock(std::tm* now) {
  const std::time_t t = std::time(nullptr);
  localtime_r(&t, now);
}

MsgClockFn gClock = SystemClock;
MsgThreadIdFn gThreadId = torq::platform::CurrentThreadId;

// Writes head, the formatted text and tail to the end of the standard error stream as one
// piece, keeping the thread's last system error. Every line is bounded whatever the text and
// its arguments: a longer one is cut and still ends its line, so no message can grow without
// limit.
void WriteMessage(const char* head, const char* format, va_list args, const char* tail) {
  const std::uint32_t savedError = torq::platform::LastSystemError();
  std::fseek(stderr, 0, SEEK_END);  // fails harmlessly on pipes and terminals
  torq::platform::SetLastSystemError(savedError);

  char line[kMaxMessageLine + 1];  // and the NUL of the formatting
  const std::size_t headLength = std::min(std::strlen(head), kMaxMessageLine / 2);
  const std::size_t tailLength = std::min(std::strlen(tail), kMaxMessageLine / 4);
  std::memcpy(line, head, headLength);
  // Room for the body, keeping at least one byte for the line end of a cut body.
  const std::size_t room = kMaxMessageLine - headLength - std::max<std::size_t>(tailLength, 1);
  const int bodyLength = std::vsnprintf(line + headLength, room + 1, format, args);
  if (bodyLength >= 0) {
    std::size_t used = headLength + std::min(static_cast<std::size_t>(bodyLength), room);
    if (static_cast<std::size_t>(bodyLength) > room && tailLength == 0) line[used++] = '\n';
    std::memcpy(line + used, tail, tailLength);
    std::fwrite(line, 1, used + tailLength, stderr);
  }
  std::fflush(stderr);
  torq::platform::SetLastSystemError(savedError);
}

void WritePrefixed(int level, std::int32_t number, const char* format, va_list args, const char* tail) {
  char prefix[kMsgPrefixSize];
  MsgPrefix(prefix, level, number);
  WriteMessage(prefix, format, args, tail);
}

void PutPrefixed(int level, std::int32_t number, const char* format, const char* tail, ...) {
  va_list args;
  va_start(args, tail);
  WritePrefixed(level, number, format, args, tail);
  va_end(args);
}

bool Printable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }

// Copies the bytes (translated when a table is given), unprintable ones as '.'; returns how
// many were unprintable.
int CopyShown(const unsigned char* data, std::int32_t length, const std::uint8_t* table, char* out) {
  int unprintable = 0;
  for (std::int32_t i = 0; i < length; ++i) {
    const unsigned char c = table ? table[data[i]] : data[i];
    if (Printable(c)) {
      out[i] = static_cast<char>(c);
    } else {
      out[i] = '.';
      ++unprintable;
    }
  }
  out[length] = '\0';
  return unprintable;
}

constexpr std::uint32_t kCrLf = 0x02000A0D;

struct DelimLabel {
  std::int32_t number;
  std::uint32_t value;
};

// A descriptor of 0 stands for CR LF. Two characters list under number + 1 as
// (first << 8) | second, one character under the number itself.
DelimLabel LabelOfDelim(std::int32_t number, std::uint32_t delimiter) {
  if (delimiter == 0) delimiter = kCrLf;
  const std::uint32_t first = delimiter & 0xFF, second = (delimiter >> 8) & 0xFF;
  if ((delimiter >> 24) == 2) return {number + 1, (first << 8) | second};
  return {number, first};
}

}  // namespace

void MsgSetPrefixSources(MsgClockFn clock, MsgThreadIdFn threadId) {
  gClock = clock ? clock : SystemClock;
  gThreadId = threadId ? threadId : torq::platform::CurrentThreadId;
}

int MsgPrefix(std::span<char> buffer, int level, std::int32_t number) {
  std::tm now{};
  gClock(&now);
  char tag[32];
  switch (level) {
    case 0: std::snprintf(tag, sizeof tag, " "); break;
    case 1: std::snprintf(tag, sizeof tag, " *WARN* %4d: ", number); break;
    case 2: std::snprintf(tag, sizeof tag, " *ERROR*%4d: ", number); break;
    default: std::snprintf(tag, sizeof tag, " ?? "); break;
  }
  const std::uint32_t sequence = gMsgLfdNr++;
  if (buffer.empty()) return 0;
  const int n = std::snprintf(buffer.data(), buffer.size(), PrefixFmt, now.tm_year + 1900,
                              now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec,
                              gThreadId() & 0xFFFFu, static_cast<int>(sequence % 10000), tag);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(n) < buffer.size() ? n : static_cast<int>(buffer.size() - 1);
}

void VMsgPutF(const char* format, va_list args) { WriteMessage("", format, args, ""); }

void MsgPut(std::int32_t number, ...) {
  va_list args;
  va_start(args, number);
  WritePrefixed(0, number, FindMsgText(number), args, "\n");
  va_end(args);
}

void MsgPutError(int level, std::int32_t number, ...) {
  va_list args;
  va_start(args, number);
  WritePrefixed(level, number, FindMsgText(number), args, "\n");
  va_end(args);
}

void MsgPutErrorNoInserts(int level, std::int32_t number) {
  // The text's conversions have no values here: each is left out rather than read from
  // arguments that are not there.
  const char* text = FindMsgText(number);
  char plain[512];
  std::size_t n = 0;
  for (const char* p = text; p != nullptr && *p != '\0' && n + 2 < sizeof plain; ++p) {
    if (*p != '%') {
      plain[n++] = *p;
      continue;
    }
    if (p[1] == '%') {
      plain[n++] = '%';
      plain[n++] = '%';
      ++p;
      continue;
    }
    ++p;
    while (*p != '\0' && std::strchr("-+ #0123456789.lhzjt", *p) != nullptr) ++p;
    if (*p == '\0') break;
  }
  plain[n] = '\0';
  PutPrefixed(level, number, plain, "\n");
}

void MsgPutF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WritePrefixed(0, 0, format, args, "");
  va_end(args);
}

void MsgPutSystemError(std::int32_t code) {
  if (code == -1) code = static_cast<std::int32_t>(torq::platform::LastSystemError());
  // A system error tagged into a return code carries the error number in its low 24 bits;
  // plain negative codes (all high bits set, low bits far above any error number) stay as
  // they are.
  std::uint32_t systemCode = static_cast<std::uint32_t>(code);
  if ((systemCode & 0x0F000000u) == 0x0F000000u && (systemCode & 0x00FFFFFFu) < 0x1000u)
    systemCode &= 0x00FFFFFFu;
  char text[256];
  const char* shown = "unkown error";
  if (torq::platform::SystemErrorText(systemCode, text, sizeof text)) {
    std::size_t n = std::strlen(text);
    while (n > 0 && static_cast<signed char>(text[n - 1]) <= 31) --n;
    text[n] = '\0';
    shown = text;
  }
  PutPrefixed(code != 0 ? 2 : 0, code, "%s\n", "", shown);
}

void MsgPutReturnCode(std::int32_t rc) {
  const auto code = static_cast<std::uint32_t>(rc);
  if ((code & 0x0F000000u) == 0x0F000000u && (code & 0x00FFFFFFu) != 0) {
    MsgPutSystemError(static_cast<std::int32_t>(code & 0x00FFFFFFu));
  } else {
    MsgPutErrorNoInserts(2, static_cast<std::int32_t>(code & 0x00FFFFFFu));
  }
}

void MsgPutText(const void* data, std::int32_t length) {
  if (!data || length <= 0) return;
  if (length > kMaxTextShown) length = kMaxTextShown;
  const auto* bytes = static_cast<const unsigned char*>(data);
  char shown[2 * kMaxTextShown + 1];
  if (CopyShown(bytes, length, nullptr, shown) >= length / 10 &&
      CopyShown(bytes, length, ce2a, shown) >= length / 10) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::int32_t i = 0; i < length; ++i) {
      shown[2 * i] = kHex[bytes[i] >> 4];
      shown[2 * i + 1] = kHex[bytes[i] & 0x0F];
    }
    shown[2 * length] = '\0';
  }
  MsgPutF("%s\n", shown);
}

void MsgPutDelim(std::int32_t number, std::uint32_t delimiter) {
  const DelimLabel label = LabelOfDelim(number, delimiter);
  MsgPut(label.number, label.value);
}

void MsgList(std::int32_t number, ...) {
  va_list args;
  va_start(args, number);
  WriteMessage("", FindMsgText(number), args, "\n");
  va_end(args);
}

void MsgListF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteMessage("", format, args, "");
  va_end(args);
}

void MsgListOemF(const char* format, ...) {
  char line[kLineSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // A month name whose umlaut came out as 0x1E ("M", blank, 0x1E, one more byte) reads "Mrz ".
  if (char* mark = std::strchr(line, '\x1e'); mark && mark - line >= 2 && mark[-2] == 'M' &&
                                               mark[-1] == ' ' && mark[1] != '\0') {
    mark[-1] = 'r';
    mark[0] = 'z';
    mark[1] = ' ';
  }
  MsgListF("%s", line);
}

void MsgListCodeTab(const char* title, const unsigned char* table) {
  MsgListF("%s\n", title ? title : "");
  if (!table) return;
  for (int row = 0; row < 32; ++row) {
    const int b = row * 8;
    MsgListF("      %02x:%02x %02x:%02x %02x:%02x %02x:%02x %02x:%02x %02x:%02x %02x:%02x %02x:%02x\n",
             b, table[b], b + 1, table[b + 1], b + 2, table[b + 2], b + 3, table[b + 3], b + 4,
             table[b + 4], b + 5, table[b + 5], b + 6, table[b + 6], b + 7, table[b + 7]);
  }
}

void MsgListDelim(std::int32_t number, std::uint32_t delimiter) {
  const DelimLabel label = LabelOfDelim(number, delimiter);
  MsgList(label.number, label.value);
}

void MsgOpn(const char* fileName) {
  if (!fileName) return;
  torq::platform::RedirectStandardError(fileName);
  gMsgLfdNr = 1;
}

int RecformDelimeted(std::int32_t recordFormat) {
  return recordFormat == 3 || recordFormat == 12 || recordFormat == 224;
}

int RecformPadded(std::int32_t recordFormat) {
  return recordFormat == 0 || recordFormat == 1 || recordFormat == 32 || recordFormat == 216;
}
