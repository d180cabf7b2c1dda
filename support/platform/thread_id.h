// The identifier of the calling thread.
#pragma once
#include <cstdint>

namespace torq::platform {

std::uint32_t CurrentThreadId();

}  // namespace torq::platform
