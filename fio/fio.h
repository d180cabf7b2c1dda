// The record layer: open a file with fiopen, read or write it record by record with fioget
// and fioput in its record format, close it with fiocls.
#pragma once
#include <cstdint>

#include "fio/file_control_block.h"
#include "fio/record_formats.h"

// Reads the next record into buffer, at most `capacity` bytes; `length` receives the length
// returned. rc 0; 2 end of file; 105 a last text line without delimiter (still delivered); 111
// record cut or short; 34 format not readable; 50 corrupt or incomplete data; 51 record longer
// than the buffer (text: the rest follows) or a capacity too small for the format; -1 a bad
// block; 0x0F000000 + a system error.
void fioget(FileControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            const std::int32_t& capacity);
// Writes one record of `length` bytes. rc 0; 4 padded (fix); 111 cut (fix); 34 format not
// writable; 51 a record the format cannot carry; -1 a bad block; 0x0F000000 + a system error.
// The buffer is not const: the DTAUS formats may translate a record in place.
void fioput(FileControlBlock*& slot, std::int32_t& rc, const std::int32_t& length,
            std::uint8_t* buffer);

// The smallest capacity fioget takes for a block's record format; a smaller one is refused
// with rc 51 and nothing is read.
std::int32_t FioMinCapacity(std::int32_t recordFormat);
