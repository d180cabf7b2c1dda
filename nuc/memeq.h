// The kernel's equal-byte scans. Both stop on a differing byte that the caller guarantees to
// exist, and read a little beyond it (see each function).
#pragma once
#include <cstdint>

// The first byte after p that differs from *p. Reads up to 3 bytes past the byte it returns.
const std::uint8_t* memeqi(const std::uint8_t* p);
// The nearest byte before p that differs from *p. Reads up to 3 bytes below the byte it
// returns.
const std::uint8_t* memeqd(const std::uint8_t* p);
