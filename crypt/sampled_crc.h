// The sampled CRC-32 of a frame's AES block: every 30th byte from six start offsets, then
// the last byte once more.
#pragma once
#include <cstdint>

// n = 0 feeds nothing and gives the complement of the start value.
std::uint32_t storchen(const std::uint8_t* data, std::uint32_t n);
