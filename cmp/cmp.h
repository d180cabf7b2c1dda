// The container layer: open a TORQFILE for writing or reading (cmpopn), write or read each
// member's headers and matrix records, position to the next member, end a member (cmpflu)
// and the file (cmpcls). Every operation but the record reader takes the slot that holds the
// control block first and the return code second; all arguments are by reference.
#pragma once
#include <cstdint>

#include "cmp/buffer_sizes.h"
#include "cmp/control_block.h"

// Opens the container on an open file control block. Direction 0 reads (the first header is
// read, and the member's ModeWord, character code, format level, buffer size come back, the
// record kind in `security`), 1 writes. rc 0, 2 (opened with trailers), or an error; on error
// the slot is cleared. The thirteenth and sixteenth arguments are not used.
void cmpopn(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& direction,
            std::int32_t& formatLevel, std::int32_t& charCode, std::int32_t& bufferSize,
            std::int32_t& modeWord, std::int32_t& security, const std::int32_t& fixedBlock,
            std::int32_t& blockSize, FileControlBlock*& fcb, const std::int32_t& optionWord,
            const void* unused13, const std::uint8_t* exitName1, const std::uint8_t* exitName2,
            const void* unused16 = nullptr);
// what 1, value 1: the member MAC of the member being read is not checked.
void cmpset(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& what,
            const std::int32_t& value);
// Position 99999998: skips to the next member's file header.
void cmppos(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& position,
            std::int32_t& recordKind, std::int32_t& method, std::int32_t& charCode,
            std::int32_t& formatLevel);
// Codes 351 and 352: the member counter.
void cmpinfo(CmpControlBlock*& slot, std::int32_t& rc, const std::int32_t& code,
             std::int32_t& value);
// Reads the body of the matrix record whose header the record reader has read: the coded
// segments each with a 2-byte big-endian length, at most `capacity` bytes into `data`.
// `bitmapLength` is the bitmap's capacity on entry and its length on return.
void cmpget(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* data,
            std::int32_t& flag, std::int32_t& records, std::int32_t& bitmapLength,
            std::uint8_t* bitmap, const std::int32_t& capacity);
// Writes one matrix record of the coded output `data` (length bytes).
void cmpput(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* data,
            std::int32_t& flag, std::int32_t& records, std::int32_t& bitmapLength,
            std::uint8_t* bitmap);
// Ends a member; hands out the block count and the block bytes as a two-part counter.
void cmpflu(CmpControlBlock*& slot, std::int32_t& rc, std::uint32_t& blocks,
            std::uint32_t& bytesLow, std::uint32_t& bytesHigh);
// Ends the container, frees the control block and clears the slot.
void cmpcls(CmpControlBlock*& slot, std::int32_t& rc, std::uint32_t& blocks,
            std::uint32_t& bytesLow, std::uint32_t& bytesHigh);

// File header. Arguments 8, 9 and 11 are not used. With *moreHeaders not 0 the header waits
// for cmppsh/cmppuh; otherwise it is written as a record of its own. A name longer than 255
// bytes (or a negative length) is refused with 56.
void cmpphd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& nameLength, const char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* unused8, const void* unused9, std::int32_t& blockSize,
            const void* unused11, const std::uint8_t* originPair, std::int32_t& moreHeaders);
// The fields of the file header last read; *nameLength is the capacity on entry (the name
// buffer needs one more byte for the NUL), the length copied on return.
void cmpghd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& nameLength, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* unused8, const void* unused9, std::int32_t& blockSize,
            const void* unused11, std::uint8_t* originPair);

// System and user headers: written into the member's header record.
void cmppsh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* data, std::int32_t& moreHeaders);
void cmppuh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* data);
// Copies of the headers last read; *length is the capacity on entry, the length on return.
void cmpgsh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer);
void cmpguh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer);
// 7-bit form: closes the current piece of a long header record and opens the next.
std::int32_t newrec(CmpControlBlock*& slot, std::int32_t& lettersLeft, std::int32_t& pieceLength);

// The record reader: reads records until a file header or matrix header can be reported
// (kind 1, 0, or 8 for the first DC8-family matrix header). Takes the block itself.
void cmp_gethdr(CmpControlBlock& cb, std::int32_t& rc, std::int32_t& kind, std::int32_t& mode,
                std::int32_t& charCode, std::int32_t& formatLevel, std::int32_t& bufferSize,
                std::int32_t& encrypted);
// Skip to the next file header (8-bit, 7-bit form) and leave it read.
std::int32_t getfh8(CmpControlBlock& cb);
std::int32_t getfh7(CmpControlBlock& cb);

// The matrix readers behind cmpget.
std::int32_t getma8(CmpControlBlock& cb, std::int32_t& length, std::uint8_t* data,
                    std::int32_t capacity, std::int32_t& flag, std::int32_t& records,
                    std::int32_t& bitmapLength, std::uint8_t* bitmap);
std::int32_t getma7(CmpControlBlock& cb, std::int32_t& length, std::uint8_t* data,
                    std::int32_t capacity, std::int32_t& flag, std::int32_t& records,
                    std::int32_t& bitmapLength, std::uint8_t* bitmap);
