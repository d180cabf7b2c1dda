// The DTAUS record formats (codes 80 to 200 in steps of 8): fioget and fioput hand a valid
// block of one of these codes here with their own arguments.
#pragma once
#include <cstdint>

#include "fio/file_control_block.h"

// Reads the next record into buffer (capacity bytes); length out, rc as fioget.
void dtausget(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
              std::uint8_t* buffer, std::int32_t capacity);
// Writes one record of length bytes; rc as fioput.
void dtausput(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
              std::uint8_t* buffer);
