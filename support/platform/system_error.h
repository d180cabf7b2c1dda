// The thread's last system error (errno), read and set in one place.
#pragma once
#include <cstdint>

namespace torq::platform {

// The calling thread's last system error number.
std::uint32_t LastSystemError();
// Sets the calling thread's last system error number.
void SetLastSystemError(std::uint32_t code);

}  // namespace torq::platform
