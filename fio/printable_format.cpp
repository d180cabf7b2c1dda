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
  if (!FcbEnter(slot, rc)) return;
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
    std::uint8_t b = 0;
    if (!FioReadByte(fcb, b, rc)) return;
    if (b >= fcb.letterBase) break;
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
  rc = FioReadRecordRest(fcb, buffer, 3, 256 * v1 + 16 * v2 + v3 + 1, capacity, length);
}
