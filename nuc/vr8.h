// The VR8 method: its record routines and the tables nucopn puts into a VR8 context.
#pragma once
#include <cstdint>

// Unrank table, unfold table, 224 zero bytes, quad table, by character code.
void Vr8FillDecodeTables(std::uint8_t* decodeTables, std::uint8_t charCode);
// Rank table, fold table, by character code.
void Vr8FillEncodeTables(std::uint8_t* encodeTables, std::uint8_t charCode);

void rlcvr8(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength);
void rldvr8(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t spaceChar,
            std::uint32_t zeroChar, const std::uint8_t* decodeTables, std::uint8_t* output,
            std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength);
