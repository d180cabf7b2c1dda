// The ASN.1 record formats: fioget hands a valid block of code 208, 216 or 224 here, fioput
// one of code 216 (asn1_stream output is written as text).
#pragma once
#include <cstdint>

#include "fio/file_control_block.h"

// Reads the next record into buffer (capacity bytes); length out, rc as fioget.
void asn1get(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
             std::uint8_t* buffer, std::int32_t capacity);
// Writes one record of length bytes (asn1_blk); rc as fioput.
void asn1put(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
             std::uint8_t* buffer);
