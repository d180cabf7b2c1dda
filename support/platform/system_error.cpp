#include "support/platform/system_error.h"

#include <cerrno>

namespace torq::platform {

std::uint32_t LastSystemError() { return static_cast<std::uint32_t>(errno); }

void SetLastSystemError(std::uint32_t code) { errno = static_cast<int>(code); }

}  // namespace torq::platform
