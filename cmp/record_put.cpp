// Writing records: trqput fills the record matrices and has each full one coded and written;
// trqflu ends a member, trqcls the container.
#include <cstring>

#include "cmp/cmp.h"
#include "cmp/record_interface.h"
#include "cmp/record_matrix_buffer.h"
#include "cmp/record_release.h"
#include "cmp/security_calls.h"
#include "fio/fio.h"
#include "support/heap.h"

namespace {

void TwoPart(std::uint64_t value, std::uint32_t& low, std::uint32_t& high) {
  high = static_cast<std::uint32_t>(value / kTwoPartUnit);
  low = static_cast<std::uint32_t>(value % kTwoPartUnit);
}

// A handle open for writing with its container and matrix buffer; null otherwise.
RecordHandle* Writer(RecordHandle*& slot) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h || h->direction == 0 || !h->container || !h->matrixBuffer ||
      !(h->callState & kTrqContainerOpen))
    return nullptr;
  return h;
}

void ClearGapMap(RecordHandle& h) {
  if (h.gapMapLength > 0) std::memset(h.gapMap, 0, sizeof h.gapMap);
  h.gapMapLength = 0;
}

// Codes the current matrix and writes it as a matrix record, then starts an empty one.
std::int32_t WriteMatrix(RecordHandle& h, const RecordMethod& method) {
  h.recordCount += static_cast<std::uint32_t>(h.recordsInMatrix);
  h.byteCount += h.matrixDataBytes;
  h.memberRecords += h.recordsInMatrix;
  std::int32_t kind = 0;
  if (const std::int32_t rc = method.code(h, kind)) return rc;
  std::int32_t records = h.recordsInMatrix;
  if (h.gapMapLength != 0) {
    h.gapMapLength = (records + 15) / 8;
    h.gapMap[0] |= 1;
  }
  std::int32_t rc = 0;
  cmpput(h.container, rc, h.codedLength, h.codedArea, kind, records, h.gapMapLength, h.gapMap);
  if (rc != 0) return rc;
  method.startMatrix(h);
  ClearGapMap(h);
  h.memberContent = 2;
  return 0;
}

// The end of a member: the matrix still open goes out (an empty one too where the method
// wants every member to have a matrix).
std::int32_t FlushMatrix(RecordHandle& h) {
  const RecordMethod* const method = TrqMethod(h.method);
  if (!method) return kTrqBadCall;
  // ADC and NDC members have at least one matrix record.
  const bool blockCoder = h.method == 3 || h.method == 4;
  if (h.recordsInMatrix > 0 || (blockCoder && h.memberRecords == 0))
    return WriteMatrix(h, *method);
  return 0;
}

}  // namespace

namespace {

// The start of trqput: the handle, its call-state and the password. The handle, or null with
// rc set.
RecordHandle* PutEnter(RecordHandle*& slot, std::int32_t& rc) {
  RecordHandle* const hp = Writer(slot);
  const std::uint16_t headerBits = kTrqFileHeader | kTrqHeadersDone;
  if (!hp || ((hp->callState & headerBits) != 0 && (hp->callState & headerBits) != headerBits)) {
    rc = kTrqBadCall;
    return nullptr;
  }
  rc = 0;
  hp->callState |= kTrqRecords;
  if (hp->cryptMode != 0 && hp->passwordGiven == 0) {
    rc = kTrqPassword;
    return nullptr;
  }
  return hp;
}

// Adds one record to the matrix, writing the full matrix first; rc or 0.
std::int32_t PutOne(RecordHandle& h, const RecordMethod& method, std::int32_t n,
                    const std::uint8_t* record) {
  if (n < 0) return kTrqBadRecordLength;
  if (n > 0 && !record) return kTrqBadCall;
  if (const std::int32_t rc = method.checkLength(h, n)) return rc;
  if (method.full(h, n)) {
    if (h.recordsInMatrix > 0 || method.writesEmptyMatrix) {
      if (const std::int32_t rc = WriteMatrix(h, method)) return rc;
    } else {
      method.startMatrix(h);
    }
  }
  method.add(h, n, record);
  ++h.recordsInMatrix;
  return 0;
}

}  // namespace

void trqput(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& length,
            const std::uint8_t* record) {
  RecordHandle* const hp = PutEnter(slot, rc);
  if (!hp) return;
  rc = PutOne(*hp, *TrqMethod(hp->method), length, record);
}

void TrqPutRun(RecordHandle*& slot, std::int32_t& rc, const RecordRef* records,
               std::int32_t count, std::int32_t& taken) {
  taken = 0;
  RecordHandle* const hp = PutEnter(slot, rc);
  if (!hp || count <= 0) return;
  RecordHandle& h = *hp;
  const RecordMethod& method = *TrqMethod(h.method);
  while (taken < count) {
    // What fits the matrix at hand goes in at once; the record behind it takes trqput's road.
    if (method.addRun) taken += method.addRun(h, records + taken, count - taken);
    if (taken == count) break;
    const RecordRef& r = records[taken];
    if ((rc = PutOne(h, method, r.length, r.data)) != 0) return;
    ++taken;
  }
}

void trqflu(RecordHandle*& slot, std::int32_t& rc, std::uint32_t& records,
            std::uint32_t& bytesLow, std::uint32_t& bytesHigh, std::uint32_t& blocks,
            std::uint32_t& blockBytesLow, std::uint32_t& blockBytesHigh) {
  RecordHandle* const hp = TrqHandle(&slot);
  if (!hp || !hp->container) {
    rc = kTrqBadCall;
    return;
  }
  RecordHandle& h = *hp;
  rc = 0;
  h.callState %= 64;
  blocks = blockBytesLow = blockBytesHigh = 0;
  if (h.direction != 0) {
    if (!h.matrixBuffer) {
      rc = kTrqBadCall;
      return;
    }
    if ((rc = FlushMatrix(h)) != 0) return;
    if (h.memberContent > 0) {
      passcount(h.container, h.recordCount, h.byteCount, 0);
      cmpflu(h.container, rc, blocks, blockBytesLow, blockBytesHigh);
    }
  } else {
    cmpflu(h.container, rc, blocks, blockBytesLow, blockBytesHigh);
  }
  records = h.recordCount;
  TwoPart(h.byteCount, bytesLow, bytesHigh);
  h.memberRecords = 0;
}

void trqcls(RecordHandle*& slot, std::int32_t& rc, std::int32_t& closeWord,
            std::uint32_t& records, std::uint32_t& bytesLow, std::uint32_t& bytesHigh,
            std::uint32_t& blocks, std::uint32_t& blockBytesLow, std::uint32_t& blockBytesHigh) {
  RecordHandle* const hp = TrqHandle(&slot);
  if (!hp) {
    rc = kTrqBadCall;
    return;
  }
  RecordHandle& h = *hp;
  blocks = blockBytesLow = blockBytesHigh = 0;
  records = bytesLow = bytesHigh = 0;
  if (!h.container || !h.matrixBuffer) {
    // An open that failed half-way, or a buffer lost in a coder switch.
    TrqRelease(slot);
    rc = kTrqBadCall;
    return;
  }
  std::int32_t first = 0;
  std::int32_t code = 0;
  if (h.direction != 0) {
    // A member ended by trqflu has had its matrices; only an open one is ended here.
    const bool memberOpen = (h.callState & ~std::uint16_t{63}) != 0;
    if (memberOpen || h.recordsInMatrix > 0) first = FlushMatrix(h);
    if (first == 0 && h.recordsInMatrix == 0 && h.memberContent == 0) {
      // Nothing put since the open: one empty matrix record.
      std::int32_t length = 0, kind = 0, count = 0, gapLength = 0;
      cmpput(h.container, first, length, h.codedArea, kind, count, gapLength, h.gapMap);
    }
    // A secured member still open is ended as trqflu ends it: the reader wants its member
    // trailer in front of the file trailer.
    if (first == 0 && memberOpen && h.memberContent > 0 && h.container->secinf == 1) {
      std::uint32_t memberBlocks = 0, low = 0, high = 0;
      passcount(h.container, h.recordCount, h.byteCount, 0);
      cmpflu(h.container, first, memberBlocks, low, high);
    }
  }
  passcount(h.container, h.recordCount, h.byteCount, 1);
  cmpcls(h.container, code, blocks, blockBytesLow, blockBytesHigh);
  if (first == 0) first = code;
  code = TrqCloseCoder(h, closeWord);
  if (first == 0) first = code;
  TrqFreeMatrix(h);
  code = 0;
  if (h.file) fiocls(h.file, code);
  if (first == 0) first = code;
  if (first > 11) first = static_cast<std::int32_t>(static_cast<std::uint32_t>(first) | kTrqTag);
  rc = first;
  records = h.recordCount;
  TwoPart(h.byteCount, bytesLow, bytesHigh);
  TrqRelease(slot);
}
