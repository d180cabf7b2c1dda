// The process heap of the platform: zero-filled blocks that know their own size.
#pragma once
#include <cstdint>

namespace torq::platform {

// A zero-filled block of `size` bytes, or null when memory runs out.
void* HeapAllocZeroed(std::uint32_t size);
// Resizes a block; new bytes are zero. Null when memory runs out (the old block stays valid).
void* HeapReAllocZeroed(void* block, std::uint32_t size);
// Gives a block back; true on success.
bool HeapRelease(void* block);
// The size the heap keeps for the block, or 0xFFFFFFFF when the block is not one of ours.
std::uint32_t HeapBlockSize(const void* block);

}  // namespace torq::platform
