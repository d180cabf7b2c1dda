// The system's text for a system error number.
#pragma once
#include <cstddef>
#include <cstdint>

namespace torq::platform {

// Writes the text (NUL-terminated, cut to fit) into the buffer; false when the system has no
// text for the number.
bool SystemErrorText(std::uint32_t code, char* buffer, std::size_t size);

}  // namespace torq::platform
