#include "support/last_error.h"

#include "support/build_stamp.h"

#include <cstring>

#include "support/platform/system_error.h"

TORQ_BUILD_STAMP("TorqLastError")

std::int32_t LastTorqError = 0;
char LastTorqHint[kLastErrorHintSize] = "";
std::uint32_t LastSysError = 0;
char LastSysHint[kLastErrorHintSize] = "";
std::uint32_t LastErrorType = 0;

namespace {

constexpr std::uint32_t kTorqBit = 1;
constexpr std::uint32_t kSysBit = 2;

// Hints are copied, so a caller's buffer that goes away later cannot leave a dangling text.
void CopyHint(char (&to)[kLastErrorHintSize], const char* hint) {
  if (!hint) {
    to[0] = '\0';
    return;
  }
  const std::size_t n = strnlen(hint, kLastErrorHintSize - 1);
  std::memmove(to, hint, n);
  to[n] = '\0';
}

}  // namespace

std::int32_t TorqSetLastError(std::int32_t code, const char* hint) {
  LastTorqError = code;
  CopyHint(LastTorqHint, hint);
  LastErrorType |= kTorqBit;
  return code;
}

std::uint32_t TorqSetLastSysError(std::int32_t code, const char* hint) {
  // Read the thread's error before anything else can change it.
  LastSysError = code == -1 ? torq::platform::LastSystemError() : static_cast<std::uint32_t>(code);
  CopyHint(LastSysHint, hint);
  LastErrorType |= kSysBit;
  return LastSysError;
}

void TorqClearErrors() { LastErrorType = 0; }
void TorqClearTorqError() { LastErrorType &= ~kTorqBit; }
void TorqClearSysError() { LastErrorType &= ~kSysBit; }

std::int32_t GetLastTorqError() { return (LastErrorType & kTorqBit) ? LastTorqError : 0; }
std::uint32_t GetLastSysError() { return (LastErrorType & kSysBit) ? LastSysError : 0; }
const char* GetLastTorqErrorHint() { return (LastErrorType & kTorqBit) ? LastTorqHint : ""; }
const char* GetLastSysErrorHint() { return (LastErrorType & kSysBit) ? LastSysHint : ""; }
