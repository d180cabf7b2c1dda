// CX7: the run-length byte code whose every code byte is a letter or digit of the records'
// character code, and the letter tables the CX7 block routines use for the header planes.
#pragma once
#include <cstdint>

#include "nuc/kernel.h"

// Encode tables: high-letter table (256), low-letter table (256), control-letter table (64).
void Cx7FillEncodeTables(std::uint8_t* encodeTables, std::uint8_t charCode);
// Decode tables: high-nibble table (256), low-nibble table (256), indexed by a letter.
void Cx7FillDecodeTables(std::uint8_t* decodeTables, std::uint8_t charCode);

// The header letters of `count` bytes, as the encode tables give them: high letters to
// high[0..count), low letters to low[0..count).
void Cx7BytesToLetters(std::uint8_t charCode, const std::uint8_t* bytes, int count,
                       std::uint8_t* high, std::uint8_t* low);
// The inverse, as the decode tables give it: byte i from letters[i] (high) and
// letters[count + i] (low), written over letters[i]; a byte that is no nibble letter counts 0.
void Cx7LettersToBytes(std::uint8_t charCode, std::uint8_t* letters, int count);

// The destination needs 32 bytes of room after the coded bytes: literals are moved in wide
// pieces.
CompressRecordRoutine rlccx7;
// One decoder per character code. Bytes after the ones produced, up to the output capacity,
// may be overwritten.
DecompressRecordRoutine rldcx7a, rldcx7e;
