// Event-log entries under the source "TORQ4": the report of a failed system call that happens
// before messages can be written.
#pragma once
#include <cstddef>
#include <cstdint>

// Registers the source on first use and writes one entry with the text. The low 16 bits of
// the type are used (1 error, 2 warning, 4 information).
void LogMessage(const char* text, std::uint32_t eventType, std::uint16_t category, std::uint32_t eventId);
// Writes "<operation> failed with error <n>: <system text>" for the thread's last error as an
// error entry. The entry is cut to kLogEntrySize - 1 characters.
void LogErrorMessage(const char* operation);

inline constexpr std::size_t kLogEntrySize = 512;

// Writes one entry under the given source and lets the source go again: type 0 an information
// entry, 2 an error entry, any other a warning. 0, or EINVAL for a missing source name.
int TorqReportEvent(int type, const char* text, std::uint32_t eventId, const char* source);

// Test hook: receives every entry instead of the system log; null restores the system log.
using EventLogSink = void (*)(const char* source, std::uint32_t eventType, const char* text);
void SetEventLogSink(EventLogSink sink);
