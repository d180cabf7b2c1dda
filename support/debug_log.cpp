#include "support/debug_log.h"

#include "support/build_stamp.h"

#include <cstdarg>
#include <cstdio>

#include "support/platform/debug_output.h"

TORQ_BUILD_STAMP("TorqDebugLog")

void OutputDebugLog(const char*, ...) {}

void OutputString(const char* format, ...) {
  static char buffer[120];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  torq::platform::DebugOutput(buffer);
}

void TorqDebugLog(const char* format, ...) {
  static char buffer[224] = "*DLOG: ";
  constexpr int kPrefix = 7;
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer + kPrefix, sizeof buffer - kPrefix, format, args);
  va_end(args);
  torq::platform::DebugOutput(buffer);
}
