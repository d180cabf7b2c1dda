// The process-wide last-error state: the last program error and the last system error,
// each with a hint text (a file name or a short word) that start-up prints after a failure.
#pragma once
#include <cstddef>
#include <cstdint>

// Room for a hint, NUL included; longer hints are cut.
inline constexpr std::size_t kLastErrorHintSize = 4096;

extern std::int32_t LastTorqError;
extern char LastTorqHint[kLastErrorHintSize];  // a copy of the caller's hint
extern std::uint32_t LastSysError;
extern char LastSysHint[kLastErrorHintSize];   // a copy of the caller's hint
extern std::uint32_t LastErrorType;            // bit 0 program error, bit 1 system error

// Records a program error; returns the code. A null hint records the empty text.
std::int32_t TorqSetLastError(std::int32_t code, const char* hint);
// Records a system error; a code of exactly -1 takes the thread's last system error.
// Returns the stored code.
std::uint32_t TorqSetLastSysError(std::int32_t code, const char* hint);
void TorqClearErrors();
void TorqClearTorqError();
void TorqClearSysError();
std::int32_t GetLastTorqError();
std::uint32_t GetLastSysError();
const char* GetLastTorqErrorHint();
const char* GetLastSysErrorHint();
