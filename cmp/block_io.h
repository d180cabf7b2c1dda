// The block routines and the byte and letter streams over them: the writers place bytes into
// the current block and write it out the moment it fills; the readers take bytes from the
// current block and fetch the next one when it is used up.
#pragma once
#include <cstddef>
#include <cstdint>

#include "cmp/control_block.h"

// True when the slot holds a control block that holds its own address.
inline bool CmpValid(const CmpControlBlock* cb) { return cb != nullptr && cb->self == cb; }

// Block checksum over the first *length - 2 bytes of a block of *length bytes.
void checksum(const std::uint8_t* buffer, const std::int32_t* length, std::uint16_t* result);
// The same as a value: the checksum of `count` bytes.
std::uint16_t BlockChecksum(const std::uint8_t* data, std::size_t count);

// Write the current block (binary, letter form) and start the next.
std::int32_t recout8(CmpControlBlock& cb);
std::int32_t recout7(CmpControlBlock& cb);
// Read the next block (binary, letter form); cursor and room left address its content.
std::int32_t recin8(CmpControlBlock& cb);
std::int32_t recin7(CmpControlBlock& cb);

// Codes of the record layer handed up: tagged when in [low, 39] or an operating-system error.
std::int32_t TagFileCode(std::int32_t rc, std::int32_t low);

// True when the block being written holds something.
inline bool BlockHoldsData(const CmpControlBlock& cb) {
  return cb.roomLeft >= 0 && static_cast<std::uint32_t>(cb.roomLeft) < cb.dataCapacity;
}
// Sets the first-record word to the cursor's offset unless a record already begins here.
void MarkRecordStart(CmpControlBlock& cb);
// Fills the rest of the current block (zero bytes or spaces) and writes it when it holds
// something; a padded write counts as success.
std::int32_t FlushBlock(CmpControlBlock& cb);
// The block routine of the container's form.
inline bool Is7Bit(const CmpControlBlock& cb) { return cb.method == 1; }
inline std::int32_t WriteBlock(CmpControlBlock& cb) { return Is7Bit(cb) ? recout7(cb) : recout8(cb); }

// Writers: copy into the current block, writing each block the moment it fills.
std::int32_t PutBytes(CmpControlBlock& cb, const std::uint8_t* data, std::size_t count);
std::int32_t PutByte(CmpControlBlock& cb, std::uint8_t b);
// 7-bit form: each byte as two letters, high half first.
std::int32_t PutLetterPairs(CmpControlBlock& cb, const std::uint8_t* data, std::size_t count);
// 7-bit form: three length letters of a 12-bit value; the third becomes the check letter.
std::int32_t PutLength3(CmpControlBlock& cb, std::uint32_t value);

// Readers. At the end of a block the next one is read; its code is returned (2 end of file).
// Each returns 0 on success.
std::int32_t GetByte(CmpControlBlock& cb, std::uint8_t& b);
std::int32_t GetBytes(CmpControlBlock& cb, std::uint8_t* out, std::size_t count);
std::int32_t SkipBytes(CmpControlBlock& cb, std::size_t count);
// Reads a next block when the current one is used up (binary or letter form).
std::int32_t EnsureRoom(CmpControlBlock& cb);
// Inside a record, the end of the file or a cut block is an unexpected end.
inline std::int32_t InsideRecord(std::int32_t rc) {
  return rc == kCmpEndOfFile || rc == kCmpBadFormat ? kCmpUnexpectedEnd : rc;
}
// 7-bit form: the value of one letter, or -1 when the byte is no letter of the block's set.
inline std::int32_t LetterValue(const CmpControlBlock& cb, std::uint8_t c) {
  const std::uint32_t d = static_cast<std::uint32_t>(c) - cb.letterBase;
  if (d >= sizeof(cb.letterValues)) return -1;
  return cb.letterValues[d];
}
// 7-bit form: three length letters across blocks; the third is kept as check letter.
std::int32_t GetLength3(CmpControlBlock& cb, std::uint32_t& value, std::int32_t badLetter);

// 8-bit form: passes over the unread body of a block-coder frame or a DC8 matrix whose header
// the record reader took; the cursor stands on the body (a block holds it).
std::int32_t SkipMatrixBody8(CmpControlBlock& cb);
