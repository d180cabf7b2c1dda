#include "support/platform/system_error_text.h"

#include <cstring>

namespace torq::platform {

bool SystemErrorText(std::uint32_t code, char* buffer, std::size_t size) {
  if (!buffer || size == 0) return false;
  buffer[0] = '\0';
  if (code > 0x7FFFFFFFu) return false;
  // The GNU form returns either the buffer or a static text.
  const char* text = ::strerror_r(static_cast<int>(code), buffer, size);
  if (!text || !*text) return false;
  if (text != buffer) {
    const std::size_t n = strnlen(text, size - 1);
    std::memmove(buffer, text, n);
    buffer[n] = '\0';
  }
  return true;
}

}  // namespace torq::platform
