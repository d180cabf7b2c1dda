// The VR8 method: its record routines and the tables nucopn puts into a VR8 context.
#pragma once
#include <cstddef>
#include <cstdint>

#include "nuc/kernel.h"

// Unrank table, unfold table, 224 zero bytes, quad table, by character code.
void Vr8FillDecodeTables(std::uint8_t* decodeTables, std::uint8_t charCode);
// Rank table, fold table, by character code.
void Vr8FillEncodeTables(std::uint8_t* encodeTables, std::uint8_t charCode);

// Codes one piece of 1 to 2048 bytes. Borrows the 4 bytes after the source and restores them.
CompressRecordRoutine rlcvr8;
// Decodes one coded piece into at most outputCapacity bytes. Reads only input[0, inputLength)
// and writes only output[0, outputCapacity); on failure sets rc and leaves outLength alone.
DecompressRecordRoutine rldvr8;

// Literal pool code. torqflc codes a pool of 16 to 2048 bytes in place: the pool buffer needs 4
// writable bytes after the pool and is overwritten. torqfld decodes a pool code of poolLength
// bytes (16 to 2048) into output, which needs room for poolLength + 3 bytes; it reads only
// input[0, inputLength) and sets rc only on failure (70 to 74).
void torqflc(const std::uint8_t* encodeTables, std::uint8_t* pool, std::int32_t length,
             std::uint8_t* destination, std::uint16_t& outLength);
void torqfld(std::int32_t& rc, const std::uint8_t* decodeTables, const std::uint8_t* input,
             std::uint16_t inputLength, std::uint8_t* output, std::uint16_t poolLength);

// Where the VR8 tables lie in the kernel context's table areas.
constexpr std::size_t kVr8RankOffset = 0;     // encode tables: rank table, 256 bytes
constexpr std::size_t kVr8FoldOffset = 256;   // encode tables: fold table, 256 bytes
constexpr std::size_t kVr8UnrankOffset = 0;   // decode tables: unrank table, 256 bytes
constexpr std::size_t kVr8UnfoldOffset = 256; // decode tables: unfold table, 32 bytes
constexpr std::size_t kVr8QuadOffset = 512;   // decode tables: quad table, 256 x 4 bytes
constexpr std::size_t kVr8MaxPool = 2048;     // the largest pool a piece of 2048 bytes can have
