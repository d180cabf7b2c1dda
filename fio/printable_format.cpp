// Records of a printable TORQFILE (codes 768 and 800): three length letters, then the
// record's letters, delivered still letter-coded. Everything below the letter "A" between
// records (line ends, blanks, an end-of-file character) is skipped.
#include "fio/buffered_file_api.h"
#include "fio/record_format_handlers.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"

void read_cx7_record(FileControlBlock*& slot, std::int32_t& rc, std::uint8_t* buffer,
                     std::int32_t& length, const std::int32_t& capacity) {
  length = 0;
  if (!FcbValid(slot)) {
    rc = kFioBadBlock;
    return;
  }
  FileControlBlock& fcb = *slot;
  if (capacity < 3) {  // no room for the length letters
    rc = kFioLengthError;
    return;
  }
  // Only the two forms the detection sets up have letters.
  const std::uint8_t* letters = LetterDecodeTable(fcb.letterBase);
  if (!letters) {
    rc = kFioBadRecordFormat;
    return;
  }
  for (;;) {
    void* data = nullptr;
    std::uint32_t n = 0;
    if (!BasicGet(fcb.io, &data, 1, &n)) {
      rc = FioSystemError(BasicSystemError(fcb.io));
      return;
    }
    if (n == 0) {
      rc = kFioEndOfFile;
      return;
    }
    if (*static_cast<const std::uint8_t*>(data) >= fcb.letterBase) break;
  }
  BasicUnget(fcb.io);  // the first letter is read again with the other two

  const RawRead head = FioReadExact(fcb, buffer, 3);
  if (head.rc != kFioOk) {
    // The file ends inside the length letters: a cut record.
    rc = head.rc == kFioTruncated ? kFioBadData : head.rc;
    length = head.got;
    return;
  }
  length = 3;
  const std::uint8_t v1 = letters[buffer[0]];
  const std::uint8_t v2 = letters[buffer[1]];
  const std::uint8_t v3 = letters[buffer[2]];
  if (v1 == kNoLetter || v2 == kNoLetter || v3 == kNoLetter) {
    rc = kFioBadData;
    return;
  }
  const std::int32_t count = 256 * v1 + 16 * v2 + v3 + 1;
  const std::int32_t room = capacity - 3;
  const RawRead body = FioReadRest(fcb, buffer + 3, count, room);
  length = 3 + body.got;
  if (body.rc != kFioOk && body.rc != kFioTruncated && body.rc != kFioEndOfFile) {
    rc = body.rc;
    return;
  }
  if (!body.complete) {
    rc = kFioBadData;
    return;
  }
  rc = count > room ? kFioTruncated : kFioOk;
}
