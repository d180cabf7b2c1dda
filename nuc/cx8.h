// CX8: the 8-bit run-length byte code of the record-matrix kernel.
#pragma once
#include <cstdint>

#include "nuc/kernel.h"

// Run-code table for a character code: the group base of each byte's runs (0x80 for 0x00,
// 0xA0 for the space character, 0xC0 for the zero character, 0xE0 for every other byte).
void Cx8FillRunCodeTable(std::uint8_t* table, std::uint8_t charCode);

std::uint32_t NucSpaceChar(std::uint8_t charCode);
std::uint32_t NucZeroChar(std::uint8_t charCode);

// The destination needs 32 bytes of room after the coded bytes: literals are moved in wide
// pieces.
CompressRecordRoutine rlccx8;
// Bytes after the ones produced, up to the output capacity, may be overwritten.
DecompressRecordRoutine rldcx8;

// A chunk for Cx8DecodeTwo: its coded bytes, how far the input may be read (at least to the
// chunk's end; reading on into the following bytes lets the fast path run to the end), the
// output with rldcx8's capacity and the room that may be written there (at least the
// capacity), and rldcx8's results.
struct Cx8Chunk {
  const std::uint8_t* input;
  std::uint16_t length;
  const std::uint8_t* readEnd;
  std::uint8_t* output;
  std::uint32_t capacity;
  std::uint32_t room;
  std::int32_t rc;
  std::uint16_t outLength;
};
// rldcx8 on a and, when b is given, on b at the same time (two independent code chains keep the
// core busier than one); each gets the results rldcx8 would give it.
void Cx8DecodeTwo(Cx8Chunk& a, Cx8Chunk* b, std::uint32_t spaceChar, std::uint32_t zeroChar);
