// Inside the VR8 method: the pool coder writing into a buffer with slack, and the pool decoder
// working on a code the caller has already copied.
#pragma once
#include <cstddef>
#include <cstdint>

// The longest pool code (a pool of 2048 bytes, every group raw alone), and the scratch bytes the
// coder needs after the end of its code.
constexpr std::size_t kVr8PoolCodeMax = (19 + 512 * 38 + 7) / 8;
constexpr std::size_t kVr8PoolCodeSlack = 8;

// torqflc into out, which needs kVr8PoolCodeMax + kVr8PoolCodeSlack bytes of room; returns the
// code's length.
std::uint32_t Vr8CodePool(const std::uint8_t* encodeTables, std::uint8_t* pool,
                          std::int32_t length, std::uint8_t* out);

// A pool code of at most 2048 pool bytes never reads further than this from its start.
constexpr std::size_t kVr8PoolReadBound = 2816;
// Zero bytes a pool code needs after its copied part: no single group code reaches 256 bytes
// past the end of its input, once in the zeros the decoder meets an end code, and the reader
// loads 8 bytes at a time.
constexpr std::size_t kVr8PoolZeroPad = 320;

// Decodes the pool code at code[0, codeLength) into output (poolLength + 3 bytes of room) and
// returns 0 or a pool return code (70 to 74). The bytes from code + min(codeLength,
// kVr8PoolReadBound) on, kVr8PoolZeroPad of them, must be readable zeros.
std::int32_t Vr8DecodePool(const std::uint8_t* decodeTables, std::uint8_t* code,
                           std::size_t codeLength, std::uint8_t* output,
                           std::uint16_t poolLength);

// Whether pools are rebuilt 64 bytes at a time with AVX-512 VBMI (the default where the processor
// has it) or by the plain loop; a request the processor cannot serve selects the plain loop.
// Returns the choice in force before. For tests that compare both.
bool Vr8SelectWideRebuild(bool wanted);
