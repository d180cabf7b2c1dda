// CX7: the run-length byte code whose every code byte is a letter or digit of the records'
// character code, and the letter tables the CX7 block routines use for the header planes.
#pragma once
#include <cstdint>

// Encode tables: high-letter table (256), low-letter table (256), control-letter table (64).
void Cx7FillEncodeTables(std::uint8_t* encodeTables, std::uint8_t charCode);
// Decode tables: high-nibble table (256), low-nibble table (256), indexed by a letter.
void Cx7FillDecodeTables(std::uint8_t* decodeTables, std::uint8_t charCode);

// The destination needs 32 bytes of room after the coded bytes: literals are moved in wide
// pieces.
void rlccx7(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength);
// Bytes after the ones produced, up to the output capacity, may be overwritten.
void rldcx7a(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t spaceChar,
             std::uint32_t zeroChar, const std::uint8_t* decodeTables, std::uint8_t* output,
             std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength);
void rldcx7e(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t spaceChar,
             std::uint32_t zeroChar, const std::uint8_t* decodeTables, std::uint8_t* output,
             std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength);
