// The record matrix: the compress-block and decompress-block routines of CX8/VR8 and CX7, the
// matrix sort and the plane and column helpers they are built from.
#pragma once
#include <cstdint>

#include "nuc/kernel.h"

// A record as the matrix sort leaves it: length after the trailing repeats are cut, input
// position (1-255, 0 when the input order is kept), the cut repeat count, the record's data,
// and its full length (the bytes that may be read).
struct SortedDescriptor {
  std::uint16_t length;
  std::uint8_t position;
  std::uint8_t repeatCount;
  std::uint16_t fullLength;
  std::uint8_t* data;
};

// Largest piece the compress-record routine is given, and the limit of a column piece.
constexpr std::int32_t kNucPieceSize = 2048;
constexpr std::int32_t kNucColumnPieceSize = 2047;
// Largest output a legal coded chunk can have: a CX8 long literal of 2049 bytes.
constexpr std::uint32_t kNucLargestChunk = 2049;

// Cuts trailing repeats off a record of length `length` (counting its prefix slot): sets the
// new length and the count cut off.
void NucCutTrailingRepeats(std::uint8_t* data, std::uint16_t length, std::uint16_t& newLength,
                           std::uint8_t& repeatCount);

// The matrix sort of n (2-255) records; sets the kind to 0 (input order kept) or 1.
void trqsort(const RecordDescriptor* descriptors, int n, SortedDescriptor* sorted,
             std::int32_t& matrixKind);
// Header planes: n length high bytes, n length low bytes, n positions, n repeat counts.
void trqkmt(std::uint8_t* planes, const SortedDescriptor* sorted, int n);
// Gathers the 8 bytes from offset c of each of the first m sorted records into slices; never
// reads past a record's full length (the unread bytes of a slice are 0).
void trqklsp(std::uint64_t* slices, const SortedDescriptor* sorted, int c, int m);
// The 8 columns of the first m slices into staged columns: byte j of slice k goes to
// stage[j * 256 + k]. Reads slices in whole steps of 16 (slices holds 256 entries); the stage
// bytes past m are left undefined.
void trqkcol(std::uint8_t* stage, const std::uint64_t* slices, int m);

// The inverse of trqkmt: length, position and repeat count of descriptors 0 to n - 1.
void trqdspi(RecordDescriptor* descriptors, const std::uint8_t* planes, int n);
// `count` (1-8) staged columns (column i at stage + i * 256) into bytes j.. of the first m
// records: byte k of column i goes to byte j + i of record k when j + i < lengths[k]; every
// record must reach j.
void trqdspp(std::uint8_t* const* records, const std::uint16_t* lengths, int j,
             const std::uint8_t* stage, int m, int count);

// The block routines: nuccx8 and nudcx8 serve CX8 and VR8, nuccx7 and nudcx7 CX7.
CompressBlockRoutine nuccx8, nuccx7;
DecompressBlockRoutine nudcx8, nudcx7;
