#include "cmp/record_methods.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// CX8, CX7 and VR8: the record-matrix kernel. The matrix buffer holds 4,096 bytes of record
// descriptors, the data area of the buffer size, and the coded-block area of the buffer size
// + 1/8. The kernel's coded matrix of very small records can run a little past that (its
// letter-coded header planes), so the coded-block area has 4,096 bytes more; readers accept
// what fits there.
constexpr std::uint32_t kCodedSlack = 4096;
// A record's 4-byte prefix slot, and the 3 bytes beyond it the decoder needs when it rounds
// each record's space up to a multiple of 4.
constexpr std::int32_t kPrefix = 4;
constexpr std::int32_t kRecordCost = 7;
constexpr std::int32_t kLongestSource = 32764;

std::uint64_t KernelMatrixBytes(std::uint32_t bufferSize) {
  return std::uint64_t{kNucDescriptorArea} + 2ull * bufferSize + bufferSize / 8 + kCodedSlack;
}

void KernelLayOut(RecordHandle& h) {
  const auto size = static_cast<std::uint32_t>(h.bufferSize);
  h.lengthArray = h.matrixBuffer;
  h.dataArea = h.matrixBuffer + kNucDescriptorArea;
  h.codedArea = h.dataArea + size;
  h.codedCapacity = size + size / 8 + kCodedSlack;
  h.matrixEnd = h.codedArea + h.codedCapacity;
  h.dataLimit = h.codedArea;
  h.longestRecord = h.bufferSize - kRecordCost;
}

std::int32_t KernelOpen(RecordHandle& h) {
  std::int32_t rc = 0;
  nucopn(h.kernel, rc, h.direction, h.method, h.charCode, h.optionWord);
  return rc;
}

std::int32_t KernelClose(RecordHandle& h, std::int32_t& closeWord) {
  std::int32_t rc = 0;
  if (h.kernel) nuccls(h.kernel, rc, closeWord);
  return rc;
}

std::int32_t KernelCheckLength(const RecordHandle& h, std::int32_t n) {
  if (n > h.longestRecord) return kTrqRecordTooLarge;
  if (n > kLongestSource) return kTrqRecordTooLong;
  return 0;
}

bool KernelFull(const RecordHandle& h, std::int32_t n) {
  return n + 3 >= h.matrixRoom || h.recordsInMatrix >= h.mostRecords;
}

void KernelStart(RecordHandle& h) {
  h.matrixRoom = h.longestRecord;
  h.dataCursor = h.dataArea;
  h.descriptorCursor = reinterpret_cast<RecordDescriptor*>(h.lengthArray);
  h.recordsInMatrix = 0;
  h.matrixDataBytes = 0;
}

void KernelAdd(RecordHandle& h, std::int32_t n, const std::uint8_t* record) {
  RecordDescriptor* d = h.descriptorCursor++;
  d->length = static_cast<std::uint16_t>(n + kPrefix);
  d->position = 0;
  d->repeatCount = 0;
  d->reserved = 0;
  d->data = h.dataCursor;
  if (n > 0) std::memcpy(h.dataCursor + kPrefix, record, static_cast<std::size_t>(n));
  h.dataCursor += n + kPrefix;
  h.matrixRoom -= n + kRecordCost;
  h.matrixDataBytes += static_cast<std::uint32_t>(n);
}

std::int32_t KernelCode(RecordHandle& h, std::int32_t& matrixKind) {
  // The descriptor behind the last one marks the end of the data; with a full descriptor area
  // it would lie on the first record, and the kernel does not need it.
  if (h.recordsInMatrix < kNucMaxRecords) {
    RecordDescriptor* end = h.descriptorCursor;
    *end = RecordDescriptor{0, 0, 0, 0, h.dataCursor};
  }
  std::int32_t rc = 0;
  std::int32_t count = h.recordsInMatrix;
  matrixKind = 1;
  nuccmp(h.kernel, rc, h.codedLength, h.codedArea, matrixKind, count, h.lengthArray);
  if (rc == 0 && (h.codedLength < 0 || static_cast<std::uint32_t>(h.codedLength) > h.codedCapacity))
    rc = kTrqBadCall;
  return rc;
}

std::int32_t KernelDecode(RecordHandle& h, std::int32_t matrixKind) {
  std::int32_t rc = 0;
  std::int32_t count = h.matrixRecords;
  nucdcm(h.kernel, rc, h.codedLength, h.codedArea, matrixKind, count, h.matrixBuffer);
  if (rc != 0) return rc;
  if (h.matrixRecords < 1) h.matrixRecords = 1;
  h.descriptorCursor = reinterpret_cast<RecordDescriptor*>(h.lengthArray);
  return 0;
}

void KernelNext(RecordHandle& h, std::int32_t& length, std::uint8_t*& record) {
  const RecordDescriptor* d = h.descriptorCursor++;
  length = std::int32_t{d->length} - kPrefix;
  record = d->data + kPrefix;
}

std::int32_t KernelAddRun(RecordHandle& h, const RecordRef* records, std::int32_t count) {
  std::int32_t i = 0;
  // Local copies: the loop keeps them in registers.
  RecordDescriptor* d = h.descriptorCursor;
  std::uint8_t* data = h.dataCursor;
  std::int32_t room = h.matrixRoom;
  std::int32_t inMatrix = h.recordsInMatrix;
  std::uint32_t bytes = h.matrixDataBytes;
  const std::int32_t longest = std::min(h.longestRecord, kLongestSource);
  for (; i < count; ++i) {
    const std::int32_t n = records[i].length;
    if (n < 0 || n > longest || (n > 0 && !records[i].data)) break;
    if (n + 3 >= room || inMatrix >= h.mostRecords) break;  // full: the matrix goes out first
    *d++ = RecordDescriptor{static_cast<std::uint16_t>(n + kPrefix), 0, 0, 0, data};
    if (n > 0) std::memcpy(data + kPrefix, records[i].data, static_cast<std::size_t>(n));
    data += n + kPrefix;
    room -= n + kRecordCost;
    bytes += static_cast<std::uint32_t>(n);
    ++inMatrix;
  }
  h.descriptorCursor = d;
  h.dataCursor = data;
  h.matrixRoom = room;
  h.recordsInMatrix = inMatrix;
  h.matrixDataBytes = bytes;
  return i;
}

std::int32_t KernelNextRun(RecordHandle& h, RecordRef* records, std::int32_t count,
                           std::uint64_t& bytes) {
  const RecordDescriptor* d = h.descriptorCursor;
  std::int32_t i = 0;
  std::uint64_t sum = 0;
  for (; i < count; ++i, ++d) {
    const std::int32_t n = std::int32_t{d->length} - kPrefix;
    if (n < 0) break;
    records[i] = {d->data + kPrefix, n};
    sum += static_cast<std::uint32_t>(n);
  }
  h.descriptorCursor = const_cast<RecordDescriptor*>(d);
  bytes = sum;
  return i;
}

constexpr RecordMethod kKernel{255,          KernelMatrixBytes, KernelLayOut, KernelOpen,
                               KernelClose,  KernelCheckLength, KernelFull,   false,
                               KernelStart,  KernelAdd,         KernelCode,   KernelDecode,
                               KernelNext,   KernelAddRun,      KernelNextRun};

constexpr std::array<const RecordMethod*, 16> kMethods{
    &kKernel,    &kKernel,    &kKernel, &kTrqAdcRow, &kTrqAdcRow, nullptr, nullptr, nullptr,
    &kTrqDc8Row, &kTrqDc8Row, nullptr,  nullptr,     nullptr,     nullptr, nullptr, nullptr};

}  // namespace

const RecordMethod* TrqMethod(std::int32_t method) {
  if (method < 0 || method >= static_cast<std::int32_t>(kMethods.size())) return nullptr;
  return kMethods[static_cast<std::size_t>(method)];
}

bool TrqMethodHasCoder(std::int32_t method) {
  const RecordMethod* m = TrqMethod(method);
  return m && m->openCoder && m->matrixBytes && m->layOut;
}
