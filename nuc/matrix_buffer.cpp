#include "nuc/matrix_buffer.h"

#include <cstring>

#include "support/heap.h"

NucMatrixBuffer::NucMatrixBuffer(std::uint32_t dataSize)
    : dataSize_(dataSize), codedSize_(dataSize + dataSize / 8 + 4096) {
  // The coded-block area has the record interface's size plus room for the letter code of
  // the header planes of very small records.
  const std::uint64_t total = std::uint64_t{kNucDescriptorArea} + dataSize_ + codedSize_;
  if (total <= 0xFFFFFFFFu) buffer_ = static_cast<std::uint8_t*>(rmHeapAlloc(static_cast<std::uint32_t>(total)));
}

NucMatrixBuffer::~NucMatrixBuffer() { rmHeapFree(buffer_); }

void NucMatrixBuffer::Clear() {
  used_ = 0;
  charged_ = 0;
  count_ = 0;
}

bool NucMatrixBuffer::Add(std::span<const std::uint8_t> record) {
  // Each record is charged its length + 7 although its data takes only length + 4: the decoder
  // rounds every record's space up to a multiple of 4 and needs those 3 bytes.
  if (!buffer_ || count_ >= kNucMaxRecords || record.size() > 32764 ||
      charged_ + record.size() + 7 > dataSize_)
    return false;
  auto* d = reinterpret_cast<RecordDescriptor*>(buffer_) + count_;
  std::uint8_t* slot = buffer_ + kNucDescriptorArea + used_;
  d->length = static_cast<std::uint16_t>(record.size() + 4);
  d->position = 0;
  d->repeatCount = 0;
  d->reserved = 0;
  d->data = slot;
  if (!record.empty()) std::memcpy(slot + 4, record.data(), record.size());
  used_ += static_cast<std::uint32_t>(record.size() + 4);
  charged_ += static_cast<std::uint32_t>(record.size() + 7);
  ++count_;
  return true;
}

const RecordDescriptor& NucMatrixBuffer::Descriptor(int i) const {
  return reinterpret_cast<const RecordDescriptor*>(buffer_)[i];
}

std::span<const std::uint8_t> NucMatrixBuffer::Record(int i) const {
  const RecordDescriptor& d = Descriptor(i);
  return {d.data + 4, static_cast<std::size_t>(d.length - 4)};
}

void NucMatrixBuffer::Compress(NucContext*& slot, std::int32_t& rc, std::int32_t& codedLength,
                               std::int32_t& matrixKind) {
  std::int32_t count = count_;
  matrixKind = 1;
  nuccmp(slot, rc, codedLength, CodedBlock(), matrixKind, count, buffer_);
}

void NucMatrixBuffer::Decompress(NucContext*& slot, std::int32_t& rc, std::int32_t codedLength,
                                 std::int32_t matrixKind, std::int32_t recordCount) {
  rc = 0;
  nucdcm(slot, rc, codedLength, CodedBlock(), matrixKind, recordCount, buffer_);
  if (rc == 0) count_ = recordCount <= 1 ? 1 : recordCount;
}
