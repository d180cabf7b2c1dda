// BER files one element per record: a plain stream of elements (asn1), elements packed into
// blocks padded with a fill byte (asn1_blk), and elements separated by a delimiter byte
// (asn1_stream). Elements longer than a record come as pieces (primitive) or as their header
// followed by the inner elements (constructed); `asnRest` and `asnPending` carry that between
// calls. Input runs through a window at the start of the block's buffer (`cursor` is the next
// unread byte, `blockFree` the count held); contents beyond the window are read straight into
// the caller's buffer.
#include "fio/asn1_format.h"

#include <algorithm>
#include <cstring>

#include "fio/asn1_header.h"
#include "fio/buffered_file.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"

namespace {

constexpr std::int32_t kLowWater = 19;    // a window this short is topped up before an element
constexpr std::int32_t kReadAhead = 512;  // the least a top-up asks for
static_assert(kAsn1MaxHeader + kReadAhead <= kFcbMinBufferSize);

bool Blocked(const FileControlBlock& fcb) { return fcb.recordFormat == kFmtAsn1Blk; }

// A block size one read can deliver and the buffer can hold.
bool BlockSizeOk(const FileControlBlock& fcb) {
  return fcb.blockSize > 0 && fcb.blockSize <= static_cast<std::int32_t>(kIoPieceSize) &&
         fcb.blockSize <= fcb.bufferSize;
}

// Moves what is held to the start of the window and reads up to `want` more bytes behind it.
// `ended` tells whether the file ran out. rc 0 or a system error.
std::int32_t TopUp(FileControlBlock& fcb, std::int32_t want, bool& ended) {
  std::int32_t held = fcb.blockFree;
  if (fcb.cursor != fcb.buffer && held > 0)
    std::memmove(fcb.buffer, fcb.cursor, static_cast<std::size_t>(held));
  fcb.cursor = fcb.buffer;
  want = std::min(want, fcb.bufferSize - held);
  const RawRead r = FioReadExact(fcb, fcb.buffer + held, want);
  fcb.blockFree = held + r.got;
  ended = r.got < want;
  if (r.rc != kFioOk && r.rc != kFioEndOfFile && r.rc != kFioTruncated) return r.rc;
  return kFioOk;
}

// asn1_blk: reads the next block whole. The run of fill bytes at its end is not held; a block
// of nothing but fill bytes is passed over. rc 0; 2 no further block; 50 a short block.
std::int32_t LoadBlock(FileControlBlock& fcb) {
  for (;;) {
    fcb.cursor = fcb.buffer;
    fcb.blockFree = 0;
    const RawRead r = FioReadExact(fcb, fcb.buffer, fcb.blockSize);
    if (r.rc == kFioEndOfFile) return kFioEndOfFile;
    if (r.rc == kFioTruncated) return kFioBadData;
    if (r.rc != kFioOk) return r.rc;
    std::int32_t held = fcb.blockSize;
    while (held > 0 && fcb.buffer[held - 1] == fcb.fillByte) --held;
    fcb.blockFree = held;
    if (held > 0) return kFioOk;
  }
}

// asn1_blk: bytes of the current block from the cursor on, fill run included.
std::int32_t BlockRemaining(const FileControlBlock& fcb) {
  return static_cast<std::int32_t>(fcb.buffer + fcb.blockSize - fcb.cursor);
}

// The header of the next element, read into the window but not consumed. rc 0; 2 at a clean
// end of the file; 50 incomplete or corrupt; 51 a length out of range.
std::int32_t NextHeader(FileControlBlock& fcb, Asn1Header& header) {
  std::int32_t needed = 0;
  if (Blocked(fcb)) {
    if (fcb.blockFree <= 0) {
      const std::int32_t rc = LoadBlock(fcb);
      if (rc != kFioOk) return rc;
    }
    // The element must lie inside its block; it may reach into the fill run.
    const std::span<const std::uint8_t> rest(fcb.cursor, static_cast<std::size_t>(BlockRemaining(fcb)));
    switch (Asn1ParseHeader(rest, header, needed)) {
      case Asn1HeaderResult::kOk:
        break;
      case Asn1HeaderResult::kLengthTooLarge:
        return kFioLengthError;
      default:
        return kFioBadData;
    }
    if (header.headerLength + header.contentsLength > BlockRemaining(fcb)) return kFioBadData;
    return kFioOk;
  }

  bool ended = false;
  if (fcb.blockFree <= kLowWater) {
    const std::int32_t rc = TopUp(fcb, kReadAhead, ended);
    if (rc != kFioOk) return rc;
    if (fcb.blockFree == 0) return kFioEndOfFile;
    if (fcb.blockFree == 1 && ended) return kFioBadData;  // one stray byte
  }
  for (;;) {
    const std::span<const std::uint8_t> held(fcb.cursor, static_cast<std::size_t>(fcb.blockFree));
    switch (Asn1ParseHeader(held, header, needed)) {
      case Asn1HeaderResult::kOk:
        return kFioOk;
      case Asn1HeaderResult::kLengthTooLarge:
        return kFioLengthError;
      case Asn1HeaderResult::kBadIdentifier:
        return kFioBadData;
      case Asn1HeaderResult::kNeedMore:
        break;
    }
    if (ended) return kFioBadData;  // the file ends inside the header
    const std::int32_t rc = TopUp(fcb, std::max(needed - fcb.blockFree, kReadAhead), ended);
    if (rc != kFioOk) return rc;
    if (fcb.blockFree < needed && ended) return kFioBadData;
  }
}

// Moves n bytes of the current element to `destination`: first from the window, the rest
// straight from the file (asn1_blk: all from the block, which holds the whole element).
std::int32_t CopyOut(FileControlBlock& fcb, std::uint8_t* destination, std::int32_t n) {
  if (n <= 0) return kFioOk;
  if (Blocked(fcb)) {
    if (n > BlockRemaining(fcb)) return kFioBadData;
    std::memcpy(destination, fcb.cursor, static_cast<std::size_t>(n));
    fcb.cursor += n;
    fcb.blockFree = std::max(fcb.blockFree - n, 0);
    return kFioOk;
  }
  const std::int32_t fromWindow = std::min(n, fcb.blockFree);
  std::memcpy(destination, fcb.cursor, static_cast<std::size_t>(fromWindow));
  fcb.cursor += fromWindow;
  fcb.blockFree -= fromWindow;
  if (fromWindow == n) return kFioOk;
  fcb.cursor = fcb.buffer;
  const RawRead r = FioReadExact(fcb, destination + fromWindow, n - fromWindow);
  if (r.rc == kFioOk) return kFioOk;
  return r.rc == kFioEndOfFile || r.rc == kFioTruncated ? kFioBadData : r.rc;
}

// The bytes of the open long element still to come after a record of `size` bytes; -1 when
// the record reaches beyond it. 0 stays 0 (no long element open).
double PendingAfter(double pending, std::int64_t size) {
  if (pending == 0) return 0;
  const double left = pending - static_cast<double>(size);
  return left < 0 ? -1 : left;
}

// The delimiter an asn1_stream file uses; none given means the local default.
std::uint32_t StreamDelimiter(const FileControlBlock& fcb) {
  return DelimCount(fcb.delimiter) == 0 ? kDelimDefault : fcb.delimiter;
}

// asn1_stream, after an element ended in the record: a delimiter ends the record (the whole
// delimiter, or its second byte alone); otherwise the next element is appended. The end of
// the file ends the record too.
void FinishStreamRecord(FileControlBlock& fcb, std::int32_t& rc, std::uint8_t* buffer,
                        std::int32_t& length, std::int32_t limit) {
  const std::uint32_t delimiter = StreamDelimiter(fcb);
  const std::uint32_t count = DelimCount(delimiter);
  const std::uint8_t first = DelimFirst(delimiter);
  const std::uint8_t second = count >= 2 ? DelimSecond(delimiter) : first;
  for (;;) {
    bool ended = false;
    if (fcb.blockFree < 2) {
      const std::int32_t topUp = TopUp(fcb, kReadAhead, ended);
      if (topUp != kFioOk) {
        rc = topUp;
        return;
      }
      if (fcb.blockFree == 0) return;
    }
    const std::uint8_t next = fcb.cursor[0];
    if (count >= 2 && next == first && fcb.blockFree >= 2 && fcb.cursor[1] == second) {
      fcb.cursor += 2;
      fcb.blockFree -= 2;
      return;
    }
    if (next == second) {
      fcb.cursor += 1;
      fcb.blockFree -= 1;
      return;
    }
    Asn1Header header;
    const std::int32_t headerRc = NextHeader(fcb, header);
    if (headerRc != kFioOk) {
      rc = headerRc == kFioEndOfFile ? kFioOk : headerRc;
      return;
    }
    const std::int64_t total = header.headerLength + header.contentsLength;
    // An element that does not fit behind the others starts the next read.
    if (total > limit - length) {
      rc = kFioLengthError;
      return;
    }
    const double pending = PendingAfter(fcb.asnPending, total);
    if (pending < 0) {
      rc = kFioBadData;
      return;
    }
    const std::int32_t copyRc = CopyOut(fcb, buffer + length, static_cast<std::int32_t>(total));
    if (copyRc != kFioOk) {
      rc = copyRc;
      return;
    }
    fcb.asnPending = pending;
    length += static_cast<std::int32_t>(total);
  }
}

}  // namespace

void asn1get(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
             std::int32_t capacity) {
  length = 0;
  rc = kFioOk;
  if (fcb.buffer == nullptr || fcb.bufferSize < kFcbMinBufferSize ||
      (Blocked(fcb) && !BlockSizeOk(fcb))) {
    rc = kFioBadRecordFormat;
    return;
  }
  if (fcb.recordLength <= 0) fcb.recordLength = capacity;
  // The record length set by an earlier read never lets a later one write past its buffer.
  const std::int32_t limit = std::min(fcb.recordLength, std::max(capacity, 0));

  if (fcb.asnRest > 0) {
    // The next piece of a long primitive element.
    const std::int32_t size = std::min(limit, fcb.asnRest);
    if (size <= 0) {
      rc = kFioLengthError;
      return;
    }
    const double pending = PendingAfter(fcb.asnPending, size);
    if (pending < 0) {
      rc = kFioBadData;
      return;
    }
    rc = CopyOut(fcb, buffer, size);
    if (rc != kFioOk) return;
    fcb.asnRest -= size;
    fcb.asnPending = pending;
    length = size;
    if (fcb.asnRest == 0 && fcb.recordFormat == kFmtAsn1Stream)
      FinishStreamRecord(fcb, rc, buffer, length, limit);
    return;
  }

  Asn1Header header;
  rc = NextHeader(fcb, header);
  if (rc != kFioOk) return;
  if (header.headerLength > limit) {
    rc = kFioLengthError;
    return;
  }
  const std::int64_t total = header.headerLength + header.contentsLength;
  std::int32_t size = static_cast<std::int32_t>(std::min<std::int64_t>(total, limit));
  double pending = fcb.asnPending;
  std::int32_t rest = 0;
  bool complete = true;
  if (total > limit) {
    complete = false;
    if (header.constructed) {
      // The header alone; the inner elements follow as records of their own.
      if (pending == 0) pending = static_cast<double>(total);
      size = header.headerLength;
    } else {
      rest = static_cast<std::int32_t>(total - limit);
    }
  }
  pending = PendingAfter(pending, size);
  if (pending < 0) {
    rc = kFioBadData;  // the element reaches beyond the open long element
    return;
  }
  rc = CopyOut(fcb, buffer, size);
  if (rc != kFioOk) return;
  fcb.asnPending = pending;
  fcb.asnRest = rest;
  length = size;
  if (complete && fcb.recordFormat == kFmtAsn1Stream)
    FinishStreamRecord(fcb, rc, buffer, length, limit);
}

void asn1put(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length, std::uint8_t* buffer) {
  rc = kFioOk;
  if (fcb.buffer == nullptr || !BlockSizeOk(fcb) || fcb.blockFree < 0 ||
      fcb.blockFree > fcb.blockSize) {
    rc = kFioBadRecordFormat;
    return;
  }
  if (length < 0 || (length > 0 && buffer == nullptr)) {
    rc = kFioLengthError;
    return;
  }
  const std::int32_t block = fcb.blockSize;
  std::int32_t used = block - fcb.blockFree;
  fcb.cursor = fcb.buffer + used;
  if (length <= fcb.blockFree) {
    if (length > 0) std::memcpy(fcb.cursor, buffer, static_cast<std::size_t>(length));
    fcb.cursor += length;
    fcb.blockFree -= length;
    return;
  }
  // The record starts the next block; the current one is filled up and written.
  if (used > 0) {
    std::memset(fcb.cursor, fcb.fillByte, static_cast<std::size_t>(fcb.blockFree));
    if (!FioWrite(fcb, rc, fcb.buffer, static_cast<std::uint32_t>(block))) return;
    used = 0;
    fcb.cursor = fcb.buffer;
    fcb.blockFree = block;
  }
  // A record longer than a block: whole blocks of its leading bytes, the rest held.
  const std::uint8_t* p = buffer;
  std::int32_t left = length;
  while (left > block) {
    if (!FioWrite(fcb, rc, p, static_cast<std::uint32_t>(block))) return;
    p += block;
    left -= block;
  }
  std::memcpy(fcb.buffer, p, static_cast<std::size_t>(left));
  fcb.cursor = fcb.buffer + left;
  fcb.blockFree = block - left;
}
