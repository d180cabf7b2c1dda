// The record-matrix compression kernel: one context per open CX8, CX7 or VR8 method, and the
// four entry points the container's record interface calls.
#pragma once
#include <cstddef>
#include <cstdint>

struct NucContext;

// Codes one piece of at most 2048 bytes into one coded chunk. It borrows the 4 bytes after the
// source (they must be writable) and restores them. The block routines give it a destination
// of their own with 32 bytes of room after the largest coded piece.
using CompressRecordRoutine = void(std::uint8_t* source, std::int32_t sourceLength,
                                   const std::uint8_t* encodeTables, std::uint8_t* destination,
                                   std::uint16_t& outLength);
// Decodes one coded chunk. Never reads beyond input + inputLength nor writes more than
// outputCapacity bytes: a chunk that would is corrupt data. On failure it sets rc. Bytes after
// the ones produced, up to the capacity, may be overwritten: the block routines decode into
// work buffers of their own.
using DecompressRecordRoutine = void(const std::uint8_t* input, std::uint16_t inputLength,
                                     std::uint32_t spaceChar, std::uint32_t zeroChar,
                                     const std::uint8_t* decodeTables, std::uint8_t* output,
                                     std::uint32_t outputCapacity, std::int32_t& rc,
                                     std::uint16_t& outLength);
// The block routines take the arguments of nuccmp and nucdcm, with the context in place of
// the slot.
using CompressBlockRoutine = void(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength,
                                  std::uint8_t* codedBlock, std::int32_t& matrixKind,
                                  std::int32_t& recordCount, std::uint8_t* descriptors);
using DecompressBlockRoutine = void(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength,
                                    std::uint8_t* codedBlock, std::int32_t& matrixKind,
                                    std::int32_t& recordCount, std::uint8_t* matrixBuffer);
using CompressRecordFn = CompressRecordRoutine*;
using DecompressRecordFn = DecompressRecordRoutine*;
using CompressBlockFn = CompressBlockRoutine*;
using DecompressBlockFn = DecompressBlockRoutine*;

constexpr std::size_t kNucDecodeTablesSize = 1548;
constexpr std::size_t kNucEncodeTablesSize = 772;

struct NucContext {
  NucContext* self;  // the block's own address; checked by every entry point but nucopn
  std::uint8_t charCode;         // 0 EBCDIC, 1 ASCII
  std::uint8_t compressionMode;  // 0 CX8, 1 CX7, 2 VR8
  std::uint8_t direction;        // 0 decompress, 1 compress, 2 or 3 both
  std::uint8_t closeFlag;
  std::uint32_t spaceChar;
  std::uint32_t zeroChar;
  DecompressBlockFn decompressBlock;
  DecompressRecordFn decompressRecord;
  CompressBlockFn compressBlock;
  CompressRecordFn compressRecord;
  std::uint8_t decodeTables[kNucDecodeTablesSize];
  std::uint8_t encodeTables[kNucEncodeTablesSize];
};

// One entry of the descriptor array at the start of a record matrix buffer. The length counts
// the record's 4-byte prefix slot; the data pointer addresses that slot.
struct RecordDescriptor {
  std::uint16_t length;
  std::uint8_t position;     // input position (1-255) of a record in a reordered matrix
  std::uint8_t repeatCount;  // trailing repeats cut off the record
  std::uint32_t reserved;
  std::uint8_t* data;
};
static_assert(sizeof(RecordDescriptor) == 16);

// Layout of a record matrix buffer: the descriptor array, then the data area, then the
// coded-block area. The decoders take the data area to end where the coded block begins.
constexpr std::size_t kNucDescriptorArea = 4096;
constexpr std::int32_t kNucMaxRecords = 255;
// The longest record length (record bytes plus the prefix slot) a matrix can carry.
constexpr std::int32_t kNucMaxLength = 32769;

// Entry points: the context slot first, the return code second.
void nucopn(NucContext*& slot, std::int32_t& rc, const std::int32_t& direction,
            const std::int32_t& compressionMode, const std::int32_t& charCode,
            const std::int32_t& closeWord);
void nuccmp(NucContext*& slot, std::int32_t& rc, std::int32_t& codedLength,
            std::uint8_t* codedBlock, std::int32_t& matrixKind, std::int32_t& recordCount,
            std::uint8_t* descriptors);
void nucdcm(NucContext*& slot, std::int32_t& rc, std::int32_t& codedLength,
            std::uint8_t* codedBlock, std::int32_t& matrixKind, std::int32_t& recordCount,
            std::uint8_t* matrixBuffer);
void nuccls(NucContext*& slot, std::int32_t& rc, std::int32_t& closeWord);
