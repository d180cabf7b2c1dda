// Delimited text records. Input scans the file object's own buffer with memchr and copies each
// record once, straight into the caller's buffer; `cursor` and `bufferEnd` keep the unread
// part of the current piece between calls.
#include <algorithm>
#include <cstring>

#include "fio/buffered_file_api.h"
#include "fio/record_format_handlers.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"

namespace {

// The most the file object hands out at once.
constexpr std::uint32_t kTextPiece = 65536;

// Fetches the next piece of the file as the window. Its size; 0 at the end of the file; -1
// on a read failure (rc set).
std::int32_t Refill(FileControlBlock& fcb, std::int32_t& rc) {
  void* data = nullptr;
  std::uint32_t n = 0;
  if (!BasicGet(fcb.io, &data, kTextPiece, &n)) {
    rc = FioSystemError(BasicSystemError(fcb.io));
    fcb.cursor = fcb.bufferEnd = fcb.buffer;
    return -1;
  }
  fcb.cursor = static_cast<std::uint8_t*>(data);
  fcb.bufferEnd = fcb.cursor + n;
  return static_cast<std::int32_t>(n);
}

// The end of the file: the last line may lack its delimiter. It is still delivered, with 105
// for the caller to warn about: only the caller can name the file the warning is about.
std::int32_t EndOfText(std::uint8_t* buffer, std::int32_t capacity, std::int32_t copied,
                       std::int32_t& length) {
  if (copied < capacity) buffer[copied] = 0;
  length = copied;
  if (copied == 0) return kFioEndOfFile;
  return kFioNoDelimiter;
}

// A record ended by its delimiter.
std::int32_t Delimited(std::uint8_t* buffer, std::int32_t capacity, std::int32_t copied,
                       std::int32_t& length) {
  if (copied < capacity) buffer[copied] = 0;
  length = copied;
  return kFioOk;
}

void Take(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t& copied, std::size_t count) {
  if (count) std::memcpy(buffer + copied, fcb.cursor, count);
  copied += static_cast<std::int32_t>(count);
  fcb.cursor += count;
}

}  // namespace

std::int32_t ReadWithDelim1(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t capacity,
                            std::int32_t& length) {
  if (capacity < 1) {  // a read must be able to move on
    length = 0;
    return kFioLengthError;
  }
  const std::uint8_t d = DelimFirst(fcb.delimiter);
  std::int32_t copied = 0;
  std::int32_t rc = kFioOk;
  for (;;) {
    if (fcb.cursor == fcb.bufferEnd) {
      const std::int32_t n = Refill(fcb, rc);
      if (n < 0) {
        length = copied;
        return rc;
      }
      if (n == 0) return EndOfText(buffer, capacity, copied, length);
    }
    const auto avail = static_cast<std::size_t>(fcb.bufferEnd - fcb.cursor);
    const auto room = static_cast<std::size_t>(capacity - copied);
    // A delimiter right behind a full buffer still ends the record.
    const std::size_t scan = std::min(avail, room + 1);
    if (const void* p = std::memchr(fcb.cursor, d, scan)) {
      Take(fcb, buffer, copied,
           static_cast<std::size_t>(static_cast<const std::uint8_t*>(p) - fcb.cursor));
      ++fcb.cursor;
      return Delimited(buffer, capacity, copied, length);
    }
    if (avail > room) {  // the buffer is full: the rest of the line is the next record
      Take(fcb, buffer, copied, room);
      length = copied;
      return kFioLengthError;
    }
    Take(fcb, buffer, copied, avail);
  }
}

std::int32_t ReadWithDelim2(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t capacity,
                            std::int32_t& length) {
  if (capacity < 1) {  // a read must be able to move on
    length = 0;
    return kFioLengthError;
  }
  const std::uint8_t first = DelimFirst(fcb.delimiter);
  const std::uint8_t second = DelimSecond(fcb.delimiter);
  std::int32_t copied = 0;
  std::int32_t rc = kFioOk;
  if (fcb.textCarry) {  // a lone first character that did not fit last time
    buffer[copied++] = first;
    fcb.textCarry = 0;
  }
  // A first character consumed at the end of a piece whose follower is not seen yet.
  bool pending = false;
  // A pending first character turned out to be data.
  auto keepFirst = [&]() {
    if (copied < capacity) {
      buffer[copied++] = first;
      return true;
    }
    fcb.textCarry = 1;
    length = copied;
    return false;
  };
  for (;;) {
    if (fcb.cursor == fcb.bufferEnd) {
      const std::int32_t n = Refill(fcb, rc);
      if (n < 0) {
        length = copied;
        return rc;
      }
      if (n == 0) {
        if (pending && !keepFirst()) return kFioLengthError;
        return EndOfText(buffer, capacity, copied, length);
      }
    }
    if (pending) {
      pending = false;
      if (*fcb.cursor == second) {
        ++fcb.cursor;
        return Delimited(buffer, capacity, copied, length);
      }
      if (!keepFirst()) return kFioLengthError;
    }
    const auto avail = static_cast<std::size_t>(fcb.bufferEnd - fcb.cursor);
    const auto room = static_cast<std::size_t>(capacity - copied);
    const std::uint8_t* scanEnd = fcb.cursor + std::min(avail, room + 1);
    const std::uint8_t* from = fcb.cursor;
    bool refill = false;
    while (const void* hit = std::memchr(from, first, static_cast<std::size_t>(scanEnd - from))) {
      const auto* p = static_cast<const std::uint8_t*>(hit);
      const auto before = static_cast<std::size_t>(p - fcb.cursor);
      if (p + 1 == fcb.bufferEnd) {  // its follower lies in the next piece
        Take(fcb, buffer, copied, before);
        ++fcb.cursor;
        pending = true;
        refill = true;
        break;
      }
      if (p[1] == second) {
        Take(fcb, buffer, copied, before);
        fcb.cursor += 2;
        return Delimited(buffer, capacity, copied, length);
      }
      from = p + 1;  // a lone first character is data
    }
    if (refill) continue;
    if (avail > room) {
      Take(fcb, buffer, copied, room);
      length = copied;
      return kFioLengthError;
    }
    Take(fcb, buffer, copied, avail);
  }
}

std::int32_t ReadTextRun(FileControlBlock& fcb, std::int32_t capacity, RecordRef* records,
                         std::int32_t most, std::int32_t& count) {
  count = 0;
  const std::uint32_t delimiters = DelimCount(fcb.delimiter);
  // A first character carried over belongs to the next record: ReadWithDelim2 takes it.
  if (capacity < 1 || (delimiters != 1 && delimiters != 2) || fcb.textCarry) return kFioOk;
  std::int32_t rc = kFioOk;
  if (fcb.cursor == fcb.bufferEnd && Refill(fcb, rc) <= 0) return rc;  // 0: the end, for fioget
  const std::uint8_t first = DelimFirst(fcb.delimiter);
  const std::uint8_t second = DelimSecond(fcb.delimiter);
  const std::uint8_t* const end = fcb.bufferEnd;
  const std::uint8_t* line = fcb.cursor;
  // A line of up to `capacity` bytes and its delimiter, as the readers scan it.
  const auto scanEnd = [&](const std::uint8_t* from) {
    return from + std::min(static_cast<std::size_t>(end - from),
                           static_cast<std::size_t>(capacity) + 1);
  };
  if (delimiters == 1) {
    while (count < most) {
      const void* hit = std::memchr(line, first, static_cast<std::size_t>(scanEnd(line) - line));
      if (!hit) break;
      const auto* p = static_cast<const std::uint8_t*>(hit);
      records[count++] = {line, static_cast<std::int32_t>(p - line)};
      line = p + 1;
    }
  } else {
    while (count < most) {
      const std::uint8_t* const limit = scanEnd(line);
      const std::uint8_t* from = line;
      const std::uint8_t* p = nullptr;
      while (const void* hit = std::memchr(from, first, static_cast<std::size_t>(limit - from))) {
        p = static_cast<const std::uint8_t*>(hit);
        if (p + 1 == end || p[1] == second) break;
        from = p + 1;  // a lone first character is data
        p = nullptr;
      }
      // No delimiter in reach, or its second character lies in the next piece: fioget.
      if (!p || p + 1 == end) break;
      records[count++] = {line, static_cast<std::int32_t>(p - line)};
      line = p + 2;
    }
  }
  fcb.cursor = const_cast<std::uint8_t*>(line);
  return kFioOk;
}

namespace {

// Writes the delimiter's characters; false when the write failed or the count is no count.
bool WriteDelimiter(FileControlBlock& fcb, std::int32_t& rc) {
  const std::uint32_t count = DelimCount(fcb.delimiter);
  if (count == 0) return true;
  if (count > 2) {
    rc = kFioBadRecordFormat;
    return false;
  }
  const std::uint8_t bytes[2] = {DelimFirst(fcb.delimiter), DelimSecond(fcb.delimiter)};
  return FioWrite(fcb, rc, bytes, count);
}

}  // namespace

void PutText(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
             const std::uint8_t* buffer) {
  if (DelimCount(fcb.delimiter) > 2) {
    rc = kFioBadRecordFormat;
    return;
  }
  if (length > 0 && !FioWrite(fcb, rc, buffer, static_cast<std::uint32_t>(length))) return;
  WriteDelimiter(fcb, rc);
}

void PutDtext(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
              const std::uint8_t* buffer) {
  if (DelimCount(fcb.delimiter) > 2) {
    rc = kFioBadRecordFormat;
    return;
  }
  if (fcb.dtextStarted && !WriteDelimiter(fcb, rc)) return;
  fcb.dtextStarted = 1;
  if (length > 0) FioWrite(fcb, rc, buffer, static_cast<std::uint32_t>(length));
}
