// The two 256-byte pads of a frame: pad B from mixing areas of the member values and the
// frame values, pad A from the member table rotated and shifted by the frame base key.
#pragma once
#include <cstdint>

#include "crypt/aes_keys.h"

namespace torq::crypt {

struct FramePads {
  std::uint8_t a[256];
  std::uint8_t b[256];
};

// v holds the frame values V1..V4 (v[0] = V1); key is the 16-byte frame base key.
void BuildFramePads(const AesKeyArea& keys, const std::uint8_t* key, const std::uint8_t (*v)[16], FramePads& pads);
// Moves both pads on after a chunk of 256 bytes.
void NextFramePads(FramePads& pads);

}  // namespace torq::crypt
