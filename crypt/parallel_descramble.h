// Restoring bytes whitened by the scrambling CRC-32 (the inverse of trqcro3) in several
// interleaved streams. One register per byte makes the plain restore a single long chain;
// the step is affine in the register, so segments can run from a zero register side by side
// and be corrected once the true register at each segment start is known.
#pragma once
#include <cstddef>
#include <cstdint>

namespace torq::crypt {

// Same bytes and result as trqcri3 over n bytes from `start`.
std::uint32_t DescrambleCrc32(std::uint8_t* p, std::size_t n, std::uint32_t start);

}  // namespace torq::crypt
