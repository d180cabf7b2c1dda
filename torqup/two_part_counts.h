// Record and byte counts as the record interface hands them out: {records, bytes low, bytes
// high}, the bytes being high * 2,000,000,000 + low.
#pragma once
#include <cstdint>

inline constexpr std::int32_t kTwoPartUnit = 2000000000;

// out = now - previous (records and bytes); the byte difference borrows across the unit.
void TwoPartDifference(const std::int32_t* now, const std::int32_t* previous, std::int32_t* out);
// running += now - previous, carrying the low part into the high part past the unit.
void TwoPartAccumulate(std::int32_t* running, const std::int32_t* now, const std::int32_t* previous);
