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
