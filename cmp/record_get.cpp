// Reading records: TrqGetRecord walks the container's headers and matrices member by member
// and hands out the decoded records; trqget copies them; trqpos skips to the next member.
#include <algorithm>
#include <cstring>

#include "cmp/cmp.h"
#include "cmp/record_interface.h"
#include "cmp/record_methods.h"
#include "cmp/security_calls.h"

namespace {

// A member's attributes as a header gives them.
struct MemberAttributes {
  std::int32_t mode = 0;  // method | crypt mode
  std::int32_t charCode = 0;
  std::int32_t formatLevel = 0;
  std::int32_t bufferSize = 0;
  std::int32_t password = 0;
  bool operator==(const MemberAttributes&) const = default;
};

MemberAttributes Kept(const RecordHandle& h) {
  return {h.memberMode, h.memberCharCode, h.memberFormatLevel, h.memberBufferSize,
          h.passwordNeeded};
}

void Keep(RecordHandle& h, const MemberAttributes& a) {
  h.memberMode = a.mode;
  h.memberCharCode = a.charCode;
  h.memberFormatLevel = a.formatLevel;
  h.memberBufferSize = a.bufferSize;
  h.passwordNeeded = a.password;
}

// A handle open for reading with its container and matrix buffer; null otherwise.
RecordHandle* Reader(RecordHandle*& slot) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h || h->direction != 0 || !h->container || !h->matrixBuffer ||
      !(h->callState & kTrqContainerOpen))
    return nullptr;
  return h;
}

// The handle of a record-taking call, marked as taking records; a bad call answers -1.
RecordHandle* RecordTaker(RecordHandle*& slot, std::int32_t& rc) {
  RecordHandle* const h = Reader(slot);
  if (!h) {
    rc = kTrqBadCall;
    return nullptr;
  }
  rc = 0;
  h->callState |= kTrqRecords;
  return h;
}

// A new member begins with the attributes a: kept for the next call.
std::int32_t NewMember(RecordHandle& h, const MemberAttributes& a, std::int32_t headerState) {
  Keep(h, a);
  h.headerState = headerState;
  h.matricesRead = 0;
  h.memberContent = kTrqNewMember;
  return kTrqNewMember;
}

// A matrix whose attributes begin a member of their own. A secured member ends only behind its
// member trailer: while that is still to come, the member was cut short or altered.
std::int32_t MatrixBeginsMember(RecordHandle& h, const MemberAttributes& a) {
  if (h.container->secinf == 1) return kTrqBadFormat;
  return NewMember(h, a, 128);
}

// Takes the next matrix: reads the header (or takes the pending one), fits the coder, reads
// and decodes the matrix. 0 with records to deliver, or the answer.
std::int32_t NextMatrix(RecordHandle& h) {
  for (;;) {
    std::int32_t kind = 0;
    MemberAttributes a;
    if (h.headerState > 1) {
      kind = h.headerState - 128;
      a = Kept(h);
      if (h.passwordNeeded != h.passwordGiven && h.passwordNeeded > 0 && h.passwordLength == 0) {
        h.passwordGiven = h.passwordNeeded;
        return kTrqNoPassword;
      }
    } else {
      if (h.securityFlag) passcount(h.container, h.recordCount, h.byteCount, 0);
      std::int32_t rc = 0;
      cmp_gethdr(*h.container, rc, kind, a.mode, a.charCode, a.formatLevel, a.bufferSize,
                 a.password);
      if (rc == kTrqNoPassword) {
        Keep(h, a);
        h.headerState = 128 + kind;
        return rc;
      }
      if (rc == kTrqEndOfFile) h.memberContent = kTrqEndOfFile;
      if (rc != 0) return rc;
    }

    if (kind == 1) {
      a.bufferSize = h.bufferSize;  // a file header names no buffer size
      return NewMember(h, a, 1);
    }
    if (kind == 8) return MatrixBeginsMember(h, a);
    if (kind != 0) return kTrqBadFormat;

    // Every matrix is compared with the one before it, the first with its file header.
    const MemberAttributes member = Kept(h);
    if (h.matricesRead > 0 && !(a == member)) return MatrixBeginsMember(h, a);
    std::int32_t rc = 0;
    if (h.headerState == 1) {
      if (a.charCode != member.charCode || a.formatLevel != member.formatLevel)
        return MatrixBeginsMember(h, a);
      if ((a.mode & 15) != (member.mode & 15) && ((member.mode & 15) != 0 || a.mode == 9))
        return MatrixBeginsMember(h, a);
      Keep(h, a);
      rc = new_file(&h, a.mode, a.charCode, a.formatLevel, a.bufferSize);
    } else {
      Keep(h, a);
      rc = new_file(&h, a.mode, a.charCode, a.formatLevel, a.bufferSize);
      h.headerState = 0;
    }
    if (rc != 0) return rc;

    ++h.matricesRead;
    h.gapMapLength = kTrqGapMapCapacity;
    h.gapMap[0] = 0;
    // Records count as there only once their matrix is decoded.
    h.matrixRecords = 0;
    h.recordsInMatrix = 0;
    std::int32_t records = 0;
    const auto capacity = static_cast<std::int32_t>(h.codedCapacity);
    cmpget(h.container, rc, h.codedLength, h.codedArea, h.matrixKind, records, h.gapMapLength,
           h.gapMap, capacity);
    if (rc == kTrqEndOfFile || rc == kTrqNewMember) h.memberContent = static_cast<std::uint16_t>(rc);
    if (rc != 0) return rc;
    if (h.gapMapLength < 0 || h.gapMapLength > kTrqGapMapCapacity) h.gapMapLength = 0;
    // An empty matrix is passed over. A DC8 block carries its own count (its header may
    // give none), so it is decoded whenever it is there.
    const bool dc8 = h.method == 8 || h.method == 9;
    if (h.codedLength == 0 || (records == 0 && !dc8)) continue;
    const RecordMethod* const method = TrqMethod(h.method);
    if (!method || !method->decode) return kTrqBadMethod;
    h.matrixRecords = records;
    rc = method->decode(h, h.matrixKind);
    if (rc != 0) h.matrixRecords = 0;
    if (rc == 0 && h.matrixRecords == 0) continue;
    return rc;
  }
}

// The gap bit of record c (1-based) of the matrix; a record beyond the map has none.
bool IsGap(const RecordHandle& h, std::int32_t c) {
  if (h.gapMapLength == 0 || (h.gapMap[0] & 1) == 0) return false;
  const std::int32_t byte = (c + 7) / 8;
  return byte < h.gapMapLength && (h.gapMap[byte] & (0x80 >> ((c - 1) & 7))) != 0;
}

}  // namespace

void TrqGetRecord(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length,
                  std::uint8_t*& record) {
  length = 0;
  record = nullptr;
  RecordHandle* const hp = RecordTaker(slot, rc);
  if (!hp) return;
  RecordHandle& h = *hp;
  if (h.recordsInMatrix >= h.matrixRecords) {
    if ((rc = NextMatrix(h)) != 0) return;
  }
  const RecordMethod* const method = TrqMethod(h.method);
  std::int32_t n = 0;
  std::uint8_t* p = nullptr;
  method->next(h, n, p);
  ++h.recordsRead;
  ++h.recordsInMatrix;
  ++h.recordCount;
  if (n < 0) {
    rc = kTrqBadRecordLength;
    return;
  }
  h.byteCount += static_cast<std::uint32_t>(n);
  length = n;
  record = p;
  if (n == 0 && IsGap(h, h.recordsInMatrix)) rc = kTrqGap;
}

void TrqGetRun(RecordHandle*& slot, std::int32_t& rc, RecordRef* records, std::int32_t most,
               std::int32_t& count) {
  count = 0;
  RecordHandle* const hp = RecordTaker(slot, rc);
  if (!hp) return;
  RecordHandle& h = *hp;
  if (h.recordsInMatrix >= h.matrixRecords || !records) return;
  const RecordMethod* const method = TrqMethod(h.method);
  if (!method || !method->next) return;
  const bool gaps = h.gapMapLength != 0 && (h.gapMap[0] & 1) != 0;
  if (method->nextRun && !gaps) {
    std::uint64_t bytes = 0;
    count = method->nextRun(h, records, std::min(most, h.matrixRecords - h.recordsInMatrix), bytes);
    h.recordsRead += static_cast<std::uint32_t>(count);
    h.recordsInMatrix += count;
    h.recordCount += static_cast<std::uint32_t>(count);
    h.byteCount += bytes;
    return;
  }
  while (count < most && h.recordsInMatrix < h.matrixRecords) {
    // The cursors go back when the record is one for TrqGetRecord to answer.
    RecordDescriptor* const descriptor = h.descriptorCursor;
    auto* const length = h.lengthCursor;
    std::uint8_t* const data = h.dataCursor;
    std::uint8_t* const limit = h.dataLimit;
    std::int32_t n = 0;
    std::uint8_t* p = nullptr;
    method->next(h, n, p);
    if (n < 0 || (n == 0 && IsGap(h, h.recordsInMatrix + 1))) {
      h.descriptorCursor = descriptor;
      h.lengthCursor = length;
      h.dataCursor = data;
      h.dataLimit = limit;
      break;
    }
    ++h.recordsRead;
    ++h.recordsInMatrix;
    ++h.recordCount;
    h.byteCount += static_cast<std::uint32_t>(n);
    records[count++] = {p, n};
  }
}

void trqget(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            const std::int32_t& bufferLength) {
  length = 0;
  std::uint8_t* record = nullptr;
  std::int32_t n = 0;
  TrqGetRecord(slot, rc, n, record);
  if (rc != 0) return;
  const std::int32_t room = bufferLength > 0 ? bufferLength : 0;
  if (n > room) {
    n = room;
    rc = kTrqTruncated;
  }
  if (n > 0 && !buffer) {
    rc = kTrqBadCall;
    return;
  }
  if (n > 0) std::memcpy(buffer, record, static_cast<std::size_t>(n));
  length = n;
}

void trqpos(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& position) {
  if (position < 0 || position == 0x7FFFFFFF || position == kTrqNoPosition) {
    rc = kTrqNoRecord;
    return;
  }
  RecordHandle* const hp = Reader(slot);
  if (!hp || position != kTrqNextMember) {
    rc = kTrqBadCall;
    return;
  }
  RecordHandle& h = *hp;
  h.callState |= kTrqRecords;
  // The rest of the current matrix belongs to the member left behind.
  h.recordsInMatrix = h.matrixRecords = 0;
  std::int32_t kind = 0, mode = 0, charCode = 0, formatLevel = 0;
  rc = 0;
  // The member trailers passed over take these totals as the start of the members read on.
  if (h.securityFlag) passcount(h.container, h.recordCount, h.byteCount, 0);
  cmppos(h.container, rc, position, kind, mode, charCode, formatLevel);
  h.matricesRead = 0;
  if (rc != 0) return;
  h.headerState = kind;
  h.memberMode = mode;
  h.memberCharCode = charCode;
  h.memberFormatLevel = formatLevel;
  h.memberBufferSize = h.bufferSize;
}

void trqrdmod(RecordHandle*& slot, std::int32_t& rc, std::int32_t& modeWord) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h) {
    rc = kTrqBadCall;
    return;
  }
  if (h->headerState == 1 && modeWord == 0) modeWord = h->memberMode;
}

void trqrdblh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& kind, std::int32_t& modeWord) {
  RecordHandle* const h = Reader(slot);
  if (!h) {
    rc = kTrqBadCall;
    return;
  }
  std::int32_t charCode = 0, formatLevel = 0, bufferSize = 0, password = 0;
  rc = 0;
  cmp_gethdr(*h->container, rc, kind, modeWord, charCode, formatLevel, bufferSize, password);
}

void trqinfo(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& code,
             std::int32_t& value) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h || !h->container || (code != 351 && code != 352)) {
    rc = kTrqBadCall;
    return;
  }
  rc = 0;
  cmpinfo(h->container, rc, code, value);
}
