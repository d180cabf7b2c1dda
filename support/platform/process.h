// Process identity and scheduling priority.
#pragma once
#include <cstdint>

namespace torq::platform {

std::uint32_t ProcessId();

// Lowers the process's scheduling priority: 1 below normal, 2 idle. True on success.
bool LowerPriority(int level);

}  // namespace torq::platform
