// CX8: the 8-bit run-length byte code of the record-matrix kernel.
#pragma once
#include <cstdint>

// Run-code table for a character code: the group base of each byte's runs (0x80 for 0x00,
// 0xA0 for the space character, 0xC0 for the zero character, 0xE0 for every other byte).
void Cx8FillRunCodeTable(std::uint8_t* table, std::uint8_t charCode);

std::uint32_t NucSpaceChar(std::uint8_t charCode);
std::uint32_t NucZeroChar(std::uint8_t charCode);

// The destination needs 32 bytes of room after the coded bytes: literals are moved in wide
// pieces.
void rlccx8(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength);
// Bytes after the ones produced, up to the output capacity, may be overwritten.
void rldcx8(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t spaceChar,
            std::uint32_t zeroChar, const std::uint8_t* decodeTables, std::uint8_t* output,
            std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength);
