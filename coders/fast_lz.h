// The fast byte-oriented LZ coder of the ADC data part, in two variants with one token format:
// 0 ends the stream, 1-127 a literal run of that many bytes, 128-255 a match of (t - 128) bytes
// followed by a 16-bit big-endian source: the absolute output position (Ffw) or the distance
// back from the current position (Fsw).
#pragma once
#include <cstdint>

inline constexpr std::uint32_t kFastLzSlots = 16384;

// The hash table of the coders (a nonzero flag), or a dummy block (0); null without memory.
std::uint32_t* pvFswOpn(std::int32_t flag);
void fvFswCls(std::uint32_t* table);

// Code input into output. The result is the coded size with the end token, or inputLength
// when the coded form would not be smaller. The output needs room for inputLength + 2 bytes.
std::int32_t siFfwCmp(std::uint32_t* table, std::int32_t inputLength, const std::uint8_t* input,
                      std::uint8_t* output);
std::int32_t siFswCmp(std::uint32_t* table, std::int32_t inputLength, const std::uint8_t* input,
                      std::uint8_t* output);

// Decode into at most `room` bytes. The result is the number of bytes decoded, -73 for an end
// token before the last byte, or -60 for any other damage (no end token, a token past the
// input, a match source not yet written, output past the room).
std::int32_t siFfwDco(std::int32_t inputLength, const std::uint8_t* input, std::uint8_t* output,
                      std::int32_t room);
std::int32_t siFswDco(std::int32_t inputLength, const std::uint8_t* input, std::uint8_t* output,
                      std::int32_t room);
