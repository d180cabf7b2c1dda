// Rebuilding the records of a flagged ADC block: record marks inside the data, vertical fill
// bytes standing for the previous record's bytes, and short fields carried in the upper bytes
// of the length words. Flags sit in the top byte of the first length.
#pragma once
#include <cstdint>

inline constexpr std::uint32_t kRebuildWorkArea = 16384;  // also the most lines of the line form

// Rewrites the count lengths and the dataLength bytes of data in place; work is the 16384-byte
// plane area. rc 0, or 60 for a malformed flagged block.
void TRQREBLD(std::int32_t& rc, const std::int32_t& count, std::uint32_t* lengths,
              const std::int32_t& dataLength, std::uint8_t* data, std::uint8_t* work);

// Vertical fill: in records 1 .. count-1, a run of 0xAA from `column` on stands for the bytes
// of the record before at the same offsets. rmovAA1 takes one-byte lengths of records that a
// mark byte separates; rmovAA4 the low bytes of length words of adjoining records. The caller
// makes sure the records lie inside the data.
void rmovAA1(std::uint8_t* data, const std::uint8_t* lengths, std::int32_t count,
             std::uint32_t column);
void rmovAA4(std::uint8_t* data, const std::uint32_t* lengths, std::int32_t count,
             std::uint32_t column);
