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
