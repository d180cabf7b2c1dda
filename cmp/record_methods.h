// One row per compression method: how the record interface opens and closes its coder, lays
// out the matrix buffer, fills a matrix, codes it, and hands the decoded records out again.
// A method whose row has no coder answers "Invalid compression mode".
#pragma once
#include <cstdint>

#include "cmp/record_handle.h"
#include "fio/fio.h"

struct RecordMethod {
  // Top of the range of most records per matrix; values outside the range become it.
  std::int32_t mostRecords;
  // Bytes of the matrix buffer for a buffer size.
  std::uint64_t (*matrixBytes)(std::uint32_t bufferSize);
  // Points the data area, coded-block area, coded capacity and longest record at the handle's
  // matrix buffer (of the handle's buffer size).
  void (*layOut)(RecordHandle& h);
  // Opens the coder for the handle's direction, method and character code; rc or 0.
  std::int32_t (*openCoder)(RecordHandle& h);
  // Closes the coder; the close word is the kernel's.
  std::int32_t (*closeCoder)(RecordHandle& h, std::int32_t& closeWord);
  // 0, or the code that refuses a record of n bytes.
  std::int32_t (*checkLength)(const RecordHandle& h, std::int32_t n);
  // True when a record of n bytes does not go into the current matrix.
  bool (*full)(const RecordHandle& h, std::int32_t n);
  // True: a matrix found full while it holds no record is written (empty) all the same.
  bool writesEmptyMatrix;
  // Empties the matrix: room, cursors, counts.
  void (*startMatrix)(RecordHandle& h);
  // Adds a record to the matrix.
  void (*add)(RecordHandle& h, std::int32_t n, const std::uint8_t* record);
  // Codes the matrix into the coded-block area: codedLength and the matrix kind; rc or 0.
  std::int32_t (*code)(RecordHandle& h, std::int32_t& matrixKind);
  // Decodes the coded-block area (codedLength, matrixRecords, the kind given); rc or 0.
  std::int32_t (*decode)(RecordHandle& h, std::int32_t matrixKind);
  // The next decoded record.
  void (*next)(RecordHandle& h, std::int32_t& length, std::uint8_t*& record);
  // Optional, for runs of records: adds records from the front of `records` while each passes
  // checkLength and fits the current matrix, as add would, and gives their number (the first
  // one left needs the record-by-record road).
  std::int32_t (*addRun)(RecordHandle& h, const RecordRef* records, std::int32_t count);
  // Optional: hands out up to `count` next decoded records as next would, stopping before one
  // with a negative length; gives their number and their bytes.
  std::int32_t (*nextRun)(RecordHandle& h, RecordRef* records, std::int32_t count,
                          std::uint64_t& bytes);
};

// The rows of the block coders: ADC and NDC, and DC8 (methods 8 and 9).
extern const RecordMethod kTrqAdcRow;
extern const RecordMethod kTrqDc8Row;

// The row of a method (ModeWord & 15), or null for a number that names none.
const RecordMethod* TrqMethod(std::int32_t method);
// True when the method's coder is there.
bool TrqMethodHasCoder(std::int32_t method);
