// DTAUS files record by record: the disk and tape forms, conversion between them on the way in
// or out, and translation between the character codes. Input goes through a window at the
// start of the block's buffer (`cursor`, `blockFree`), so that a record is looked at whole
// before any of it is delivered and a record cut to the caller's buffer is still consumed whole.
#include "fio/dtaus_format.h"

#include <algorithm>
#include <cstring>

#include "fio/dtaus_convert.h"
#include "fio/dtaus_fields.h"
#include "fio/packed_decimal.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"

namespace {

constexpr std::int32_t kWindow = 2048;          // input window at the start of `buffer`
constexpr std::int32_t kWorkArea = kWindow;     // a converted record too large for the caller
constexpr std::int32_t kReadAhead = 512;        // the least a top-up reads
constexpr std::int32_t kTrailingIgnored = 5;    // line ends or an end-of-file character
static_assert(kWorkArea + kDtausDiskMax <= kFcbMinBufferSize);
static_assert(kDtausDiskMax + kReadAhead <= kWindow);

enum class Form : std::uint8_t { kDisk, kTape };

constexpr std::uint8_t kAsciiLetters[3] = {0x41, 0x43, 0x45};
constexpr std::uint8_t kEbcdicLetters[3] = {0xC1, 0xC3, 0xC5};

enum State : std::uint8_t { kBeforeFile = 0, kInsideFile = 1, kAfterFile = 2 };

struct Code {
  Form taken;       // form read (input) or given (output)
  Form delivered;   // form delivered (input) or written (output)
  bool translated;  // same form with translation
};

Code CodeOf(std::int32_t f) {
  switch (f) {
    case kFmtDtausD:
      return {Form::kDisk, Form::kDisk, false};
    case kFmtDtausDAe:
    case kFmtDtausDEa0:
    case kFmtDtausDEa1:
      return {Form::kDisk, Form::kDisk, true};
    case kFmtDtausT:
      return {Form::kTape, Form::kTape, false};
    case kFmtDtausTAe:
    case kFmtDtausTEa0:
    case kFmtDtausTEa1:
      return {Form::kTape, Form::kTape, true};
    case kFmtDtausDt:
    case kFmtDtausDtAe:
    case kFmtDtausDtEa0:
    case kFmtDtausDtEa1:
      return {Form::kDisk, Form::kTape, false};
    default:  // 80, 176, 192, 200
      return {Form::kTape, Form::kDisk, false};
  }
}

bool KindOf(std::uint8_t letter, DtausRecord& kind) {
  switch (letter) {
    case 0x41:
    case 0xC1:
      kind = DtausRecord::kA;
      return true;
    case 0x43:
    case 0xC3:
      kind = DtausRecord::kC;
      return true;
    case 0x45:
    case 0xC5:
      kind = DtausRecord::kE;
      return true;
    default:
      return false;
  }
}

void SetCharacterCode(FileControlBlock& fcb, bool ebcdic) {
  const std::uint8_t* letters = ebcdic ? kEbcdicLetters : kAsciiLetters;
  fcb.dtausBlank = ebcdic ? 0x40 : 0x20;
  fcb.dtausZero = ebcdic ? 0xF0 : 0x30;
  std::memcpy(fcb.dtausLetters, letters, 3);
  std::memcpy(fcb.dtausLetters + 3, letters, 3);
}

// The letter and sequence rules for a record of `kind` whose letter is `letter`. False: the
// record is out of place (rc 50).
bool Accept(const FileControlBlock& fcb, DtausRecord kind, std::uint8_t letter) {
  const std::int32_t f = fcb.recordFormat;
  switch (kind) {
    case DtausRecord::kA:
      if (fcb.dtausState == kInsideFile) return false;
      if (CodeOf(f).translated && letter != fcb.dtausLetters[3]) return false;
      break;
    case DtausRecord::kC:
      if (fcb.dtausState != kInsideFile || letter != fcb.dtausLetters[4]) return false;
      break;
    case DtausRecord::kE:
      if (fcb.dtausState != kInsideFile || letter != fcb.dtausLetters[5]) return false;
      break;
  }
  return true;
}

// After an accepted A record: the files without translation learn their character code.
void LearnCharacterCode(FileControlBlock& fcb, std::uint8_t letter, const std::uint8_t* record,
                        Form taken) {
  const std::int32_t f = fcb.recordFormat;
  if (f == kFmtDtausD || f == kFmtDtausT) {
    if (letter == 0xC1) SetCharacterCode(fcb, true);
  } else if ((f == kFmtDtausDt || f == kFmtDtausTd) && fcb.dtausBlank == 0) {
    // Decided once, by the first A: the disk form by its first length digit, the tape form by
    // its letter.
    const bool ascii = taken == Form::kDisk ? record[0] == 0x30 : letter == 0x41;
    SetCharacterCode(fcb, !ascii);
  }
}

void Advance(FileControlBlock& fcb, DtausRecord kind) {
  fcb.dtausState = kind == DtausRecord::kE ? kAfterFile : kInsideFile;
}

// The extension count of a disk C record: its length field must be 187 + 29k with k 0..15 and
// agree with the count field. -1 when not.
std::int32_t DiskExtensions(const std::uint8_t* record) {
  const std::int32_t length = DigitValue(record, 4);
  if (length < kDtausDiskCFixed || (length - kDtausDiskCFixed) % kDtausExtension != 0) return -1;
  const std::int32_t k = (length - kDtausDiskCFixed) / kDtausExtension;
  if (k > kDtausMaxExtensions) return -1;
  if (DigitValue(record + kDtausDiskCountOffset, 2) != k) return -1;
  return k;
}

// The extension count of a tape C record from its packed count; -1 when it is no number or
// 16 or more.
std::int32_t TapeExtensions(const std::uint8_t* record) {
  const std::int32_t k = PackedValue(record + kDtausTapeCountOffset, 2);
  return k > kDtausMaxExtensions ? -1 : k;
}

DtausCharset CharsetFor(const FileControlBlock& fcb, DtausRecord kind) {
  return {fcb.codeTable, fcb.dtausZero, fcb.dtausBlank,
          fcb.dtausLetters[static_cast<std::size_t>(kind)]};
}

// Makes at least `need` bytes held at `cursor`, moving what is held to the start of the window
// and reading behind it. rc 0; 2 when the file ended first; a system error.
std::int32_t Hold(FileControlBlock& fcb, std::int32_t need) {
  std::int32_t held = fcb.blockFree;
  if (held >= need) return kFioOk;
  if (fcb.cursor != fcb.buffer && held > 0)
    std::memmove(fcb.buffer, fcb.cursor, static_cast<std::size_t>(held));
  fcb.cursor = fcb.buffer;
  std::int32_t rc = kFioOk;
  while (held < need) {
    const std::int32_t want = std::min(std::max(need - held, kReadAhead), kWindow - held);
    const RawRead r = FioReadExact(fcb, fcb.buffer + held, want);
    held += r.got;
    if (r.rc != kFioOk && r.rc != kFioTruncated) {
      rc = r.rc;
      break;
    }
    if (r.got < want && held < need) {
      rc = kFioEndOfFile;
      break;
    }
  }
  fcb.blockFree = held;
  return rc;
}

// Maps a read outcome inside a record: the end of the file there is incomplete data.
std::int32_t InsideRecord(std::int32_t rc) { return rc == kFioEndOfFile ? kFioBadData : rc; }

// Delivers `size` bytes built by `build` into the caller's buffer, going through the work area
// when the caller's buffer is smaller; the rc says whether the record was cut.
template <typename Build>
std::int32_t Deliver(FileControlBlock& fcb, std::int32_t size, std::uint8_t* buffer,
                     std::int32_t capacity, std::int32_t& length, Build build) {
  if (capacity >= size) {
    build(std::span<std::uint8_t>(buffer, static_cast<std::size_t>(size)));
    length = size;
    return kFioOk;
  }
  std::uint8_t* work = fcb.buffer + kWorkArea;
  build(std::span<std::uint8_t>(work, static_cast<std::size_t>(size)));
  length = std::max(capacity, 0);
  if (length > 0) std::memcpy(buffer, work, static_cast<std::size_t>(length));
  return kFioTruncated;
}

}  // namespace

void dtausget(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
              std::int32_t capacity) {
  length = 0;
  if (fcb.buffer == nullptr || fcb.bufferSize < kWorkArea + kDtausDiskMax) {
    rc = kFioBadBlock;
    return;
  }
  const Code code = CodeOf(fcb.recordFormat);

  // The end of the file, with at most a few stray bytes behind the last record.
  rc = Hold(fcb, kTrailingIgnored + 1);
  if (rc == kFioEndOfFile) {
    rc = fcb.dtausState == kAfterFile ? kFioEndOfFile : kFioBadData;
    return;
  }
  if (rc != kFioOk) return;

  const bool disk = code.taken == Form::kDisk;
  const std::uint8_t letter = fcb.cursor[disk ? kDtausDiskLetterOffset : 0];
  DtausRecord kind;
  if (!KindOf(letter, kind) || !Accept(fcb, kind, letter)) {
    rc = kFioBadData;
    return;
  }

  // The whole record must be held before anything of it is delivered.
  std::int32_t k = 0;
  std::int32_t size = 0;
  if (kind != DtausRecord::kC) {
    size = disk ? kDtausDiskAE : kDtausTapeAE;
    if ((rc = InsideRecord(Hold(fcb, size))) != kFioOk) return;
    if (disk && DigitValue(fcb.cursor, 4) != kDtausDiskAE) {
      rc = kFioBadData;
      return;
    }
  } else {
    const std::int32_t fixed = disk ? DtausDiskCSize(0) : kDtausTapeCFixed;
    if ((rc = InsideRecord(Hold(fcb, fixed))) != kFioOk) return;
    k = disk ? DiskExtensions(fcb.cursor) : TapeExtensions(fcb.cursor);
    if (k < 0) {
      rc = kFioBadData;
      return;
    }
    size = disk ? DtausDiskCSize(k) : DtausTapeCSize(k);
    if ((rc = InsideRecord(Hold(fcb, size))) != kFioOk) return;
  }

  const std::uint8_t* record = fcb.cursor;
  if (kind == DtausRecord::kA) LearnCharacterCode(fcb, letter, record, code.taken);
  const std::span<const std::uint8_t> source(record, static_cast<std::size_t>(size));
  const DtausCharset cs = CharsetFor(fcb, kind);
  if (code.taken == code.delivered) {
    rc = Deliver(fcb, size, buffer, capacity, length, [&](std::span<std::uint8_t> out) {
      if (!code.translated)
        std::memcpy(out.data(), record, out.size());
      else if (disk)
        DtausTranslate(source, out, fcb.codeTable);
      else
        DtausTranslateTape(kind, k, source, out, fcb.codeTable);
    });
  } else if (disk) {
    rc = Deliver(fcb, DtausTapeSize(kind, k), buffer, capacity, length,
                 [&](std::span<std::uint8_t> out) { DtausDiskToTape(kind, k, source, out, cs, false); });
  } else {
    rc = Deliver(fcb, DtausDiskSize(kind, k), buffer, capacity, length,
                 [&](std::span<std::uint8_t> out) { DtausTapeToDisk(kind, k, source, out, cs, false); });
  }
  // Consumed whole, also when cut: the next read starts at the next record.
  fcb.cursor += size;
  fcb.blockFree -= size;
  Advance(fcb, kind);
}

void dtausput(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length, std::uint8_t* buffer) {
  if (fcb.buffer == nullptr || fcb.bufferSize < kDtausDiskMax) {
    rc = kFioBadBlock;
    return;
  }
  const Code code = CodeOf(fcb.recordFormat);
  const bool disk = code.taken == Form::kDisk;
  const std::int32_t letterOffset = disk ? kDtausDiskLetterOffset : 0;
  rc = kFioBadData;
  if (buffer == nullptr || length <= letterOffset) return;
  const std::uint8_t letter = buffer[letterOffset];
  DtausRecord kind;
  if (!KindOf(letter, kind) || !Accept(fcb, kind, letter)) return;

  // The record given must be whole and consistent; nothing is written otherwise.
  std::int32_t k = 0;
  if (disk) {
    if (length < 4) return;
    if (kind != DtausRecord::kC) {
      if (length != kDtausDiskAE || DigitValue(buffer, 4) != kDtausDiskAE) return;
    } else {
      if (length < DtausDiskCSize(0)) return;
      k = DiskExtensions(buffer);
      if (k < 0 || length != DtausDiskCSize(k)) return;
    }
  } else {
    if (kind != DtausRecord::kC) {
      if (length != kDtausTapeAE) return;
    } else {
      if (length < kDtausTapeCFixed || length > kDtausTapeMax ||
          (length - kDtausTapeCFixed) % kDtausExtension != 0)
        return;
      k = TapeExtensions(buffer);
      if (k != (length - kDtausTapeCFixed) / kDtausExtension) return;
    }
  }
  rc = kFioOk;

  if (kind == DtausRecord::kA) LearnCharacterCode(fcb, letter, buffer, code.taken);
  const std::span<const std::uint8_t> source(buffer, static_cast<std::size_t>(length));
  const std::span<std::uint8_t> work(fcb.buffer, static_cast<std::size_t>(fcb.bufferSize));
  const DtausCharset cs = CharsetFor(fcb, kind);
  const std::uint8_t* out = buffer;
  std::int32_t outLength = length;
  if (code.taken == code.delivered) {
    if (code.translated) {
      // Built in the block's buffer: the caller's record stays as given.
      if (disk)
        DtausTranslate(source, work, fcb.codeTable);
      else
        DtausTranslateTape(kind, k, source, work, fcb.codeTable);
      out = fcb.buffer;
    }
  } else {
    outLength = disk ? DtausDiskToTape(kind, k, source, work, cs, true)
                     : DtausTapeToDisk(kind, k, source, work, cs, true);
    out = fcb.buffer;
  }
  if (!FioWrite(fcb, rc, out, static_cast<std::uint32_t>(outLength))) return;
  Advance(fcb, kind);
}
