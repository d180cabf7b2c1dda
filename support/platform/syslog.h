// The system log, in place of an event log: entries go to syslog(3).
#pragma once
#include <cstdint>

namespace torq::platform {

// Event types in the numbering of the callers: 1 error, 2 warning, 4 information.
inline constexpr std::uint32_t kEventError = 1;
inline constexpr std::uint32_t kEventWarning = 2;
inline constexpr std::uint32_t kEventInformation = 4;

// Opens the log under the ident (kept: the text must live for the process).
void SyslogOpen(const char* ident);
// Closes the log; the next entry opens it again under the program's name.
void SyslogClose();
// Writes one entry; the event type chooses the priority (error, warning, else information).
void SyslogWrite(std::uint32_t eventType, const char* text);

}  // namespace torq::platform
