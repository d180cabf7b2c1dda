// Trace hook and diagnostic output lines.
#pragma once

// The system-wide trace hook called at every trace point; it does nothing at all.
void OutputDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Formats into 120 bytes (longer text is cut) and passes it to the debugger output channel.
void OutputString(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes "*DLOG: " and the formatted text (224 bytes in all, longer text is cut).
void TorqDebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
