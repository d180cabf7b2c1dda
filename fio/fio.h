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

// A record handed out in place: its bytes stay where they are until the next call on the file
// (or record handle) that gave them.
struct RecordRef {
  const std::uint8_t* data;
  std::int32_t length;
};

// Runs of records without a call per record, for fix, undefined and text files.
//
// FioGetRun hands out, in place in the file object's buffer, up to `most` records that lie
// whole in it (one refill when nothing is left), each exactly as fioget with this capacity
// would return it with rc 0. count 0 with rc 0 means the next record needs fioget: nothing
// buffered, the end of the file, a short or cut record, a line longer than the capacity, a
// delimiter split across pieces, another format or device. rc otherwise: a read failure, as
// fioget would report it. The records are valid until the next call on the file.
void FioGetRun(FileControlBlock*& slot, std::int32_t& rc, const std::int32_t& capacity,
               RecordRef* records, std::int32_t most, std::int32_t& count);
// FioPutRun writes records in order as fioput would, straight into the file object's buffer,
// and stops before the first one fioput would answer with anything but 0 (fix: a length other
// than the record length); `done` counts the records written. rc: a write failure, as fioput
// reports it (the system error line printed).
void FioPutRun(FileControlBlock*& slot, std::int32_t& rc, const RecordRef* records,
               std::int32_t count, std::int32_t& done);

// The smallest capacity fioget takes for a block's record format; a smaller one is refused
// with rc 51 and nothing is read.
std::int32_t FioMinCapacity(std::int32_t recordFormat);
