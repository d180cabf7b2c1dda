// Raw deflate data parts through zlib: level 6, memory level 8, default strategy, window
// bits -15 (raw) or 31 (gzip wrapper). The stream's memory comes from the counting heap.
#pragma once
#include <cstdint>

#include <zlib.h>

// A stream for coding (compress != 0) or decoding; null without memory or when zlib refuses.
z_stream* pvGzpOpn(std::int32_t compress, std::int32_t framing, std::int32_t level);
void fvGzpCls(z_stream* stream, std::int32_t compress);

// Deflates input into an output room of inputLength bytes in one call. The result is the
// coded size (equal to inputLength when the room filled up), or -1 on a zlib error.
std::int32_t siGzpCmp(const char*& message, z_stream* stream, std::int32_t inputLength,
                      const std::uint8_t* input, std::uint8_t* output);
// Inflates input into at most `room` bytes. The result is the decoded size when the stream
// ended within the room, else -2.
std::int32_t siGzpDco(const char*& message, z_stream* stream, std::int32_t inputLength,
                      const std::uint8_t* input, std::uint8_t* output, std::int32_t room);
