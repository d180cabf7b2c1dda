// The debugger output channel: diagnostic lines the user does not see in normal use.
#pragma once

namespace torq::platform {

// Appends the line to the file named by TORQ_DEBUG_OUTPUT; does nothing when it is not set.
void DebugOutput(const char* text);

}  // namespace torq::platform
