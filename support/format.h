// Number, time and size formatting for statistics and run-time lines: grouped counts,
// efficiencies, process times, a stop watch on the monotonic counter, and an 8-byte BCD time
// stamp. Each formatter writes into the caller's buffer or, given none, into a static buffer
// of its own that its next such call overwrites.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>

// Sizes a caller's buffer must have.
inline constexpr std::size_t kFormatNumberSize = 32;       // FormatInt64 and friends (27 used at most)
inline constexpr std::size_t kFormatEfficiencySize = 32;   // FormatEffizienz...
inline constexpr std::size_t kFormatProcessTimeSize = 32;  // FormatProcessTime, F_GetProcessTimes

// Stop-watch state: counter frequency (read on first use), default start and total.
extern std::int64_t gFrequency;
extern std::int64_t glStartZeit;
extern std::int64_t glGesamtZeit;

// The value in decimal with '.' between groups of three digits: 1234567 gives 1.234.567.
char* FormatInt64(std::uint64_t value, char* buffer = nullptr);
char* FormatUint32(std::uint32_t value, char* buffer = nullptr);
// FormatInt64 of high * 2,000,000,000 + low (signed 64-bit).
char* FormatOfl(int high, int low, char* buffer = nullptr);
// 100 - 100 * compressed / uncompressed with "%4.2f"; the empty text when either is 0.
char* FormatEffizienzInt64(std::uint64_t compressed, std::uint64_t uncompressed, char* buffer = nullptr);
// FormatEffizienzInt64 of two two-part counters (high * 2,000,000,000 + low).
char* FormatEffizienzOfl(std::uint32_t compressedHigh, std::uint32_t compressedLow, std::uint32_t uncompressedHigh,
                         std::uint32_t uncompressedLow, char* buffer = nullptr);
// Fills both texts (kFormatProcessTimeSize bytes each) with the run time and the processor
// time of the process. Returns 0, or 1 (writing nothing) when the times cannot be read.
int F_GetProcessTimes(char* runTime, char* cpuTime);
// A duration in units of 100 ns as "h:mm:ss.mmm", or ":mm:ss.mmm" below one hour.
char* FormatProcessTime(const std::uint64_t* duration, char* buffer = nullptr);

// Stores the current counter value in *start (glStartZeit when null); 1 on success.
int TorqStartWatchClock(std::int64_t* start = nullptr);
// *total += current counter - *start (glGesamtZeit and glStartZeit when null).
void TorqStopWatchClock(std::int64_t* total = nullptr, const std::int64_t* start = nullptr);
// Ticks (glGesamtZeit when null) as "%.3f sec".
const char* TorqFormatSeconds(const std::int64_t* ticks = nullptr);
// Ticks (glGesamtZeit when null) as "hh:mm:ss.mmm".
const char* TorqFormatTime(const std::int64_t* ticks);

// The runtime's zone offset in seconds west of UTC (standard time).
long TIMEZONE();
// Writes the 8-byte BCD time stamp of *time (now when null); returns 15.
int BcdTime(std::uint8_t* out, const std::time_t* time);
// Writes the stamp as 16 upper-case hex digits and NUL; returns 16.
int BcdTimeToHex(const std::uint8_t* stamp, char* out);
// The calendar time of a stamp.
std::time_t BcdMktime(const std::uint8_t* stamp);
