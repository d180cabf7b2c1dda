// Matrix buffer sizes: the 32 sizes a TORQFILE can name by a 5-bit id in its matrix headers.
#pragma once
#include <array>
#include <cstdint>

inline constexpr std::array<std::int32_t, 32> buftab = {
    2048,   4096,   6144,   8192,   10240,  12288,  14336,   16384,   32768,   49152,   65536,
    81920,  98304,  114688, 131072, 147456, 180224, 229376,  262144,  294912,  327680,  360448,
    393216, 425984, 524288, 655360, 786432, 917504, 1048576, 1572864, 2097152, 2621440};

inline constexpr std::int32_t kDefaultBufSizeId = 8;  // 32,768 bytes

// The size of an id 0-31; any other id gives the default 32,768.
std::int32_t GetBufSize(std::int32_t id);
// The id of the smallest size that holds `size` (sign ignored; 0 means 32,768, and a value of
// 256 or less counts kilobytes); 31 when none does.
std::int32_t GetBufSizeId(std::int32_t size);

// DC8 matrices of a container being written: a value below 257 counts kilobytes and is capped
// at 64, any other counts bytes and is capped at 65,536 (the coder's block limit).
constexpr std::int32_t Dc8BufferSize(std::int32_t bufferSize) {
  return bufferSize < 257 ? (bufferSize < 64 ? bufferSize : 64) : (bufferSize < 65536 ? bufferSize : 65536);
}
// The matrix buffer size a container written with the ModeWord uses when `bufferSize` is asked
// for: 65,536 for ADC and NDC, the DC8 cap for DC8, rounded to the sizes a container can name.
std::int32_t WriteBufferSize(std::int32_t modeWord, std::int32_t bufferSize);
