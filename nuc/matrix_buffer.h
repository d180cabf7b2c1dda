// A record matrix buffer laid out as the record interface lays it out: the descriptor array,
// the data area, then the coded-block area. For programs that drive the kernel directly
// (tests, benchmarks, fuzzing).
#pragma once
#include <cstdint>
#include <span>

#include "nuc/kernel.h"

class NucMatrixBuffer {
 public:
  // dataSize: the matrix buffer size, the room for records (each costs its length + 7).
  explicit NucMatrixBuffer(std::uint32_t dataSize);
  ~NucMatrixBuffer();
  NucMatrixBuffer(const NucMatrixBuffer&) = delete;
  NucMatrixBuffer& operator=(const NucMatrixBuffer&) = delete;

  bool Valid() const { return buffer_ != nullptr; }
  void Clear();
  // Appends a record; false when the matrix holds 255 records, the record is longer than
  // 32,764 bytes, or the data area has no room for it.
  bool Add(std::span<const std::uint8_t> record);
  std::int32_t Count() const { return count_; }

  std::uint8_t* Buffer() { return buffer_; }
  std::uint8_t* CodedBlock() { return buffer_ + kNucDescriptorArea + dataSize_; }
  std::uint32_t CodedCapacity() const { return codedSize_; }
  std::uint32_t DataSize() const { return dataSize_; }
  const RecordDescriptor& Descriptor(int i) const;
  // Record i as the descriptors give it (after nucdcm: in input order, repeats restored).
  std::span<const std::uint8_t> Record(int i) const;

  // nuccmp and nucdcm on this buffer.
  void Compress(NucContext*& slot, std::int32_t& rc, std::int32_t& codedLength,
                std::int32_t& matrixKind);
  void Decompress(NucContext*& slot, std::int32_t& rc, std::int32_t codedLength,
                  std::int32_t matrixKind, std::int32_t recordCount);

 private:
  std::uint8_t* buffer_ = nullptr;
  std::uint32_t dataSize_;
  std::uint32_t codedSize_;
  std::uint32_t used_ = 0;     // data bytes placed (length + 4 per record)
  std::uint32_t charged_ = 0;  // room spent (length + 7 per record)
  std::int32_t count_ = 0;
};
