// Raw reads and writes under the record formats, and the length-prefix builders. Every read
// and write of a record goes through the block's buffered file object in pieces the object
// accepts; a failed write reports the system error line.
#pragma once
#include <array>
#include <cstdint>

#include "fio/file_control_block.h"

// Reads exactly `length` bytes. rc 0 all came; 2 none came (length then 0); 111 fewer came
// (length := bytes read); 0x0F000000 + system error. A length of 0 (or less) does nothing.
void read_record(FileControlBlock*& slot, std::int32_t& rc, std::uint8_t* buffer,
                 std::int32_t& length);
// Reads `length` bytes of which at most `capacity` are delivered; the excess is read and
// dropped. rc as read_record, and 111 when the record was cut (length := capacity).
void read_record_rest(FileControlBlock*& slot, std::int32_t& rc, std::uint8_t* buffer,
                      std::int32_t& length, const std::int32_t& capacity);

// The outcome of a raw read as the formats need it.
struct RawRead {
  std::int32_t rc;   // 0, 2 (nothing came), 111 (cut or short), or a system error
  std::int32_t got;  // bytes placed in the buffer
  bool complete;     // every byte asked for was in the file (cut bytes included)
};
// Reads `length` bytes into buffer.
RawRead FioReadExact(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t length);
// Reads `length` bytes, delivers the first `capacity` of them and drops the rest.
RawRead FioReadRest(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t length,
                    std::int32_t capacity);

// Reads the `rest` bytes of a record behind the `inHand` bytes already at the buffer start,
// delivering at most `capacity` bytes in all and dropping the others. length := the bytes
// delivered (those in hand included). Returns 0; 111 the record was cut to the capacity; 50 the
// file ended inside the record; a system error.
std::int32_t FioReadRecordRest(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t inHand,
                               std::int32_t rest, std::int32_t capacity, std::int32_t& length);

// Reads one byte. False when none came: rc 2 at the end of the file, or a system error.
bool FioReadByte(FileControlBlock& fcb, std::uint8_t& byte, std::int32_t& rc);

// Writes bytes through the block's file object. On failure rc := 0x0F000000 + the system
// error, the system error line is printed and false comes back.
bool FioWrite(FileControlBlock& fcb, std::int32_t& rc, const void* data, std::uint32_t length);

// Length prefixes, returned by value.
// The value's low 16 bits, high byte first.
std::array<std::uint8_t, 2> Len2Byte(std::uint32_t value);
// High byte, low byte of the value's low 16 bits, then the fill byte twice.
std::array<std::uint8_t, 4> Len4Byte(std::uint32_t value, std::uint8_t fillByte);
// The value as 4 decimal digits with leading zeros on the zero digit (0x30 or 0xF0); a value
// above 9999 or below 0 gives 0000.
std::array<std::uint8_t, 4> Len4VarPrnt(std::int32_t value, std::uint8_t zeroDigit);
