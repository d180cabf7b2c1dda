// Runs of records for the formats whose records lie in the file as they are (fix, undefined)
// or are found with a vector search (text): read in place from the file object's buffer and
// written straight into it, without the call chain of fioget and fioput per record. Anything
// these runs do not take exactly as fioget and fioput would is left to them.
#include <algorithm>
#include <cstring>

#include "fio/buffered_file_api.h"
#include "fio/fio.h"
#include "fio/record_format_handlers.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"
#include "support/message_output.h"

namespace {

// A block whose records can go in runs: open, not a user-exit file.
FileControlBlock* RunBlock(FileControlBlock* slotValue, std::int32_t& rc) {
  if (!FcbEnter(slotValue, rc)) return nullptr;
  if (slotValue->device == kDeviceUserIo || !slotValue->io) return nullptr;
  return slotValue;
}

// Fix and undefined records: whole units of the record length, straight from the buffer.
std::int32_t ReadUnitRun(FileControlBlock& fcb, std::int32_t unit, RecordRef* records,
                         std::int32_t most, std::int32_t& count) {
  const auto piece = static_cast<std::int32_t>(kIoPieceSize);
  const std::int32_t units = std::min(most, piece / unit);
  void* data = nullptr;
  std::uint32_t got = 0;
  if (!BasicGetRun(fcb.io, &data, static_cast<std::uint32_t>(unit),
                   static_cast<std::uint32_t>(units * unit), &got))
    return FioSystemError(BasicSystemError(fcb.io));
  const auto* p = static_cast<const std::uint8_t*>(data);
  count = static_cast<std::int32_t>(got) / unit;
  for (std::int32_t i = 0; i < count; ++i) records[i] = {p + static_cast<std::ptrdiff_t>(i) * unit, unit};
  return kFioOk;
}

}  // namespace

void FioGetRun(FileControlBlock*& slot, std::int32_t& rc, const std::int32_t& capacity,
               RecordRef* records, std::int32_t most, std::int32_t& count) {
  count = 0;
  FileControlBlock* const fcb = RunBlock(slot, rc);
  if (!fcb || !records || most <= 0 || capacity < FioMinCapacity(fcb->recordFormat)) return;
  const auto piece = static_cast<std::int32_t>(kIoPieceSize);
  switch (fcb->recordFormat) {
    case kFmtFix:
      // A record longer than the capacity is cut (111): fioget.
      if (fcb->recordLength > 0 && fcb->recordLength <= std::min(capacity, piece))
        rc = ReadUnitRun(*fcb, fcb->recordLength, records, most, count);
      break;
    case kFmtUndefined: {
      const std::int32_t block = std::min(fcb->recordLength > 0 ? fcb->recordLength : 512, capacity);
      if (block <= piece) rc = ReadUnitRun(*fcb, block, records, most, count);
      break;
    }
    case kFmtTextStored:
      rc = ReadTextRun(*fcb, capacity, records, most, count);
      break;
    default:
      break;
  }
}

void FioPutRun(FileControlBlock*& slot, std::int32_t& rc, const RecordRef* records,
               std::int32_t count, std::int32_t& done) {
  done = 0;
  FileControlBlock* const fcb = RunBlock(slot, rc);
  if (!fcb || !records || count <= 0) return;
  const std::int32_t format = fcb->recordFormat;
  if (format != kFmtFix && format != kFmtTextStored && format != kFmtDtext) return;
  const bool fix = format == kFmtFix;
  const bool dtext = format == kFmtDtext;
  const std::uint32_t delimiters = fix ? 0 : DelimCount(fcb->delimiter);
  if (delimiters > 2) return;  // fioput answers 34
  const std::uint8_t first = DelimFirst(fcb->delimiter), second = DelimSecond(fcb->delimiter);
  while (done < count) {
    void* room = nullptr;
    std::uint32_t size = 0;
    std::uint32_t starts = 0;
    if (!BasicWriteRoom(fcb->io, &room, &size, &starts)) {
      const std::uint32_t error = BasicSystemError(fcb->io);
      rc = FioSystemError(error);
      MsgPutSystemError(static_cast<std::int32_t>(error));
      return;
    }
    auto* const base = static_cast<std::uint8_t*>(room);
    std::uint8_t* out = base;
    // Records begin below the flush mark and end below the limit, as Write takes them.
    const std::uint8_t* const flushMark = base + starts;
    const std::uint8_t* const limit = base + size;
    while (done < count && out < flushMark) {
      const RecordRef& r = records[done];
      const std::int32_t n = r.length;
      if (n < 0 || (n > 0 && !r.data)) break;
      // A fix record of another length is padded or cut by fioput (4, 111).
      if (fix && n != fcb->recordLength) break;
      if (static_cast<std::int64_t>(n) + delimiters > limit - out) break;
      if (dtext) {
        if (fcb->dtextStarted && delimiters) {
          out[0] = first;
          if (delimiters == 2) out[1] = second;
          out += delimiters;
        }
        fcb->dtextStarted = 1;
      }
      if (n > 0) std::memcpy(out, r.data, static_cast<std::size_t>(n));
      out += n;
      if (!fix && !dtext && delimiters) {
        out[0] = first;
        if (delimiters == 2) out[1] = second;
        out += delimiters;
      }
      ++done;
    }
    const auto used = static_cast<std::uint32_t>(out - base);
    if (used == 0) return;  // the next record is fioput's
    if (!BasicWriteCommit(fcb->io, used)) {
      const std::uint32_t error = BasicSystemError(fcb->io);
      rc = FioSystemError(error);
      MsgPutSystemError(static_cast<std::int32_t>(error));
      return;
    }
  }
}
