// The record interface's rows for the block coders: ADC and NDC (one block of records and
// their lengths per matrix, framed by the container) and DC8 (records and a length list coded
// as one phrase block).
#include <algorithm>
#include <cstring>

#include "cmp/record_methods.h"
#include "coders/adc_context.h"
#include "coders/dc8_block.h"
#include "cmp/big_endian.h"

namespace {

// ADC and NDC: 16,384 bytes of record lengths, 65,536 of record data, room in front of the
// coded-block area for the block head and the frame prefix, and the coded-block area itself
// (a block coded worse than stored, and the frame's tail behind it, fit).
constexpr std::uint32_t kAdcMatrixBytes = 184840;
constexpr std::uint32_t kAdcCodedStart = 82184;
constexpr std::uint32_t kAdcFrontClear = 256;
constexpr std::int32_t kAdcLongest = static_cast<std::int32_t>(kAdcMaxData);

AdcContext*& AdcSlot(RecordHandle& h) { return reinterpret_cast<AdcContext*&>(h.blockCoder); }
Dc8Context*& Dc8Slot(RecordHandle& h) { return reinterpret_cast<Dc8Context*&>(h.blockCoder); }

std::uint64_t AdcMatrixBytes(std::uint32_t) { return kAdcMatrixBytes; }

void AdcLayOut(RecordHandle& h) {
  h.lengthArray = h.matrixBuffer;
  h.dataArea = h.matrixBuffer + kAdcLengthArea;
  h.dataLimit = h.dataArea + kAdcMaxData;
  h.codedArea = h.matrixBuffer + kAdcCodedStart;
  h.codedCapacity = kAdcMatrixBytes - kAdcCodedStart;
  h.matrixEnd = h.matrixBuffer + kAdcMatrixBytes;
  h.longestRecord = kAdcLongest;
}

std::int32_t AdcOpen(RecordHandle& h) {
  return nucopn_adc(AdcSlot(h), h.direction, h.charCode, h.method);
}

std::int32_t AdcClose(RecordHandle& h, std::int32_t&) {
  if (!h.blockCoder) return 0;
  return nuccls_adc(AdcSlot(h));
}

std::int32_t AdcCheckLength(const RecordHandle&, std::int32_t n) {
  return n > kAdcLongest ? kTrqRecordTooLarge : 0;
}

bool AdcFull(const RecordHandle& h, std::int32_t n) {
  return n > h.matrixRoom || h.recordsInMatrix >= h.mostRecords;
}

void AdcStart(RecordHandle& h) {
  h.matrixRoom = h.longestRecord;
  h.dataCursor = h.dataArea;
  h.lastRecord = h.dataArea;
  h.lengthCursor = reinterpret_cast<std::uint32_t*>(h.lengthArray);
  h.recordsInMatrix = 0;
  h.matrixDataBytes = 0;
}

void AdcAdd(RecordHandle& h, std::int32_t n, const std::uint8_t* record) {
  h.lastRecord = h.dataCursor;
  if (n > 0) std::memcpy(h.dataCursor, record, static_cast<std::size_t>(n));
  h.dataCursor += n;
  *h.lengthCursor++ = static_cast<std::uint32_t>(n);
  h.matrixDataBytes += static_cast<std::uint32_t>(n);
  h.matrixRoom -= n;
}

std::int32_t AdcCode(RecordHandle& h, std::int32_t& matrixKind) {
  matrixKind = 0;
  // The block head and frame prefix bytes the coder does not write start out clear.
  std::memset(h.codedArea - kAdcFrontClear, 0, kAdcFrontClear);
  h.codedLength = static_cast<std::int32_t>(h.matrixDataBytes);
  return nuccmp_adc(AdcSlot(h), reinterpret_cast<std::uint32_t*>(h.lengthArray), h.recordsInMatrix,
                    h.codedArea, h.codedLength);
}

std::int32_t AdcDecode(RecordHandle& h, std::int32_t) {
  if (h.matrixRecords > static_cast<std::int32_t>(kAdcMaxRecords)) return kTrqBadFormat;
  const std::int32_t rc = nucdcm_adc(AdcSlot(h), h.codedArea, h.codedLength,
                                     reinterpret_cast<std::uint32_t*>(h.lengthArray), h.matrixRecords);
  h.dataCursor = h.dataArea;
  h.lengthCursor = reinterpret_cast<std::uint32_t*>(h.lengthArray);
  return rc;
}

void AdcNext(RecordHandle& h, std::int32_t& length, std::uint8_t*& record) {
  length = static_cast<std::int32_t>(*h.lengthCursor++);
  record = h.dataCursor;
  h.dataCursor += length;
}

// DC8: the record matrix layout of the kernel (the descriptor area stays unused); records
// from the data area's start, their lengths below its end, 4 bytes each.
constexpr std::int32_t kDc8Longest = 65500;
constexpr std::uint32_t kDescriptors = 4096;

std::uint64_t Dc8MatrixBytes(std::uint32_t bufferSize) {
  return std::uint64_t{kDescriptors} + 2ull * bufferSize + bufferSize / 8 + kDc8HeaderSize +
         kDc8CoderSlack;
}

void Dc8LayOut(RecordHandle& h) {
  const auto size = static_cast<std::uint32_t>(h.bufferSize);
  h.lengthArray = h.matrixBuffer;
  h.dataArea = h.matrixBuffer + kDescriptors;
  h.codedArea = h.dataArea + size;
  h.codedCapacity = size + size / 8 + kDc8HeaderSize + kDc8CoderSlack;
  h.matrixEnd = h.codedArea + h.codedCapacity;
  h.longestRecord = std::min(h.bufferSize - 4, kDc8Longest);
}

std::int32_t Dc8Open(RecordHandle& h) { return nucopn_dc8(Dc8Slot(h), h.direction, h.charCode); }

std::int32_t Dc8Close(RecordHandle& h, std::int32_t&) {
  if (!h.blockCoder) return 0;
  return nuccls_dc8(Dc8Slot(h));
}

// A record and its length word must fit an empty matrix.
std::int32_t Dc8CheckLength(const RecordHandle& h, std::int32_t n) {
  return static_cast<std::int64_t>(n) + 4 > h.longestRecord ? kTrqRecordTooLarge : 0;
}

bool Dc8Full(const RecordHandle& h, std::int32_t n) {
  return n + 3 >= h.matrixRoom || h.recordsInMatrix >= h.mostRecords;
}

void Dc8Start(RecordHandle& h) {
  h.matrixRoom = h.longestRecord;
  h.dataCursor = h.dataArea;
  h.lastRecord = h.dataArea;
  h.dataLimit = h.dataArea + h.longestRecord + 4;
  h.recordsInMatrix = 0;
  h.matrixDataBytes = 0;
}

void Dc8Add(RecordHandle& h, std::int32_t n, const std::uint8_t* record) {
  h.lastRecord = h.dataCursor;
  if (n > 0) std::memcpy(h.dataCursor, record, static_cast<std::size_t>(n));
  h.dataCursor += n;
  h.dataLimit -= 4;
  PutBe32(h.dataLimit, static_cast<std::uint32_t>(n));
  h.matrixDataBytes += static_cast<std::uint32_t>(n);
  h.matrixRoom -= n + 4;
}

std::int32_t Dc8Code(RecordHandle& h, std::int32_t& matrixKind) {
  matrixKind = 0;
  // Data, the length list (last record first) and the count, one behind the other.
  const auto lengths = static_cast<std::size_t>(h.recordsInMatrix) * 4;
  std::memmove(h.dataCursor, h.dataLimit, lengths);
  PutBe32(h.dataCursor + lengths, static_cast<std::uint32_t>(h.recordsInMatrix));
  const auto input = static_cast<std::int32_t>(h.matrixDataBytes + lengths + 4);
  h.codedLength = static_cast<std::int32_t>(h.codedCapacity);
  return nuccmp_dc8(Dc8Slot(h), h.dataArea, input, h.codedArea, h.codedLength);
}

// The decoded block is taken apart from its end: the count, then the lengths, first record
// nearest the count. Every length lies in the data, and together they cover it.
std::int32_t Dc8Decode(RecordHandle& h, std::int32_t) {
  if (h.codedLength < kDc8HeaderSize - 2) return kTrqBadFormat;
  std::int32_t decoded = 0;
  const auto room = static_cast<std::int32_t>(h.codedArea - h.dataArea);
  if (const std::int32_t rc = nucdcm_dc8(Dc8Slot(h), h.codedArea, h.codedLength, h.dataArea,
                                         room, decoded))
    return rc;
  if (decoded < 4) return kDc8Corrupted;
  const std::uint32_t count = Be32(h.dataArea + decoded - 4);
  const std::uint64_t listBytes = std::uint64_t{count} * 4 + 4;
  if (listBytes > static_cast<std::uint64_t>(decoded)) return kDc8Corrupted;
  const std::uint64_t data = static_cast<std::uint64_t>(decoded) - listBytes;
  const std::uint8_t* length = h.dataArea + decoded - 4;
  std::uint64_t sum = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    length -= 4;
    const std::uint32_t n = Be32(length);
    if (n > data) return kTrqBadRecordLength;
    sum += n;
  }
  if (sum != data) return kDc8Corrupted;
  h.matrixRecords = static_cast<std::int32_t>(count);
  h.dataCursor = h.dataArea;
  h.dataLimit = h.dataArea + decoded - 4;  // the next length lies just below
  return 0;
}

void Dc8Next(RecordHandle& h, std::int32_t& length, std::uint8_t*& record) {
  h.dataLimit -= 4;
  length = static_cast<std::int32_t>(Be32(h.dataLimit));
  record = h.dataCursor;
  h.dataCursor += length;
}

}  // namespace

extern constinit const RecordMethod kTrqAdcRow{4095,     AdcMatrixBytes, AdcLayOut, AdcOpen,  AdcClose,
                                  AdcCheckLength, AdcFull,  true,      AdcStart, AdcAdd,
                                  AdcCode,  AdcDecode,      AdcNext, nullptr, nullptr};
extern constinit const RecordMethod kTrqDc8Row{65535,    Dc8MatrixBytes, Dc8LayOut, Dc8Open,  Dc8Close,
                                  Dc8CheckLength, Dc8Full,  true,      Dc8Start, Dc8Add,
                                  Dc8Code,  Dc8Decode,      Dc8Next, nullptr, nullptr};
