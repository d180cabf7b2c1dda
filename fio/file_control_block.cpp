#include "fio/file_control_block.h"

#include <algorithm>
#include <cstring>

#include "fio/buffered_file_api.h"
#include "fio/record_formats.h"
#include "fio/record_io.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/paths.h"

namespace {

constexpr char kStdinName[] = "STDIN$";
constexpr char kStdoutName[] = "STDOUT$";

// Create modes of an output file.
constexpr std::uint32_t kCreateReplace = 2;
constexpr std::uint32_t kCreateNew = 4;
constexpr std::uint32_t kCreateAppend = kIoCreateAppend;

// The block buffer never holds a whole record of the record length (records go straight to
// and from the caller's buffer), so a huge record length does not make it huge.
constexpr std::int32_t kRecordLengthBufferCap = 65536;

void CopyBounded(char* destination, std::size_t size, const char* source) {
  const std::size_t n = source ? strnlen(source, size - 1) : 0;
  if (n) std::memcpy(destination, source, n);
  destination[n] = '\0';
}

// Releases everything of a block that is being given up.
void Release(FileControlBlock* fcb) {
  if (fcb->io) {
    BasicIoDelete(fcb->io);
    fcb->io = nullptr;
  }
  rmHeapFree0(&fcb->buffer);
  rmHeapFree0(&fcb->padBuffer);
  fcb->self = nullptr;
  rmHeapFree(fcb);
}

int HexDigit(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Two hexadecimal digit characters as one byte; -1 when either is no digit.
int HexPair(const std::uint8_t* p) {
  const int high = HexDigit(p[0]);
  const int low = HexDigit(p[1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Output: the delimiter (or asn1_blk fill byte) carried by a short attribute vector.
void TakeVectorDelimiter(FileControlBlock& fcb, std::int32_t level, const std::uint8_t* v,
                         std::uint8_t* fillPair) {
  fcb.delimiter = 0;
  if (level < 2 || level > 9) return;
  if (level == 3 || level == 4) {
    if (v[0] == kFmtAsn1Blk) {
      fcb.fillByte = v[1];
      if (fillPair && fillPair[1] == 0xFF) {
        fillPair[0] = v[1];
        fillPair[1] = 1;
      }
    } else {
      fcb.delimiter = MakeDelimiter(v[1], v[2], v[2] == 0 ? 1 : 2);
    }
  } else if (level == 5) {
    const int first = HexPair(v + 1);
    if (first >= 0) {
      fcb.delimiter = MakeDelimiter(static_cast<std::uint8_t>(first), 0, 1);
      const int second = v[3] != 0 ? HexPair(v + 3) : -1;
      if (second >= 0)
        fcb.delimiter =
            MakeDelimiter(static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second), 2);
    }
  }
  const bool drop = (v[0] == 0 && level == 3) ||
                    (v[0] == 0 && level == 5 && fcb.delimiter == MakeDelimiter(0x0A, 0, 1)) ||
                    v[0] == 2 || v[0] == 32 || v[0] == 16;
  if (drop) fcb.delimiter = 0;
}

// Input: the attribute vector, full from the file object or a short form.
void FillInputAttributes(FileControlBlock& fcb, std::int32_t recordFormatArg,
                         std::int32_t& attributeLevel, std::uint8_t* v) {
  std::int32_t level = attributeLevel;
  if (BasicSysAttributes(fcb.io, fcb.delimiter, fcb.recordFormat, fcb.fillByte, &level, v)) {
    attributeLevel = level;
    return;
  }
  v[0] = static_cast<std::uint8_t>(recordFormatArg);
  if (attributeLevel < kAttrLevelDelimiter) {
    attributeLevel = kAttrLevelFormat;
  } else if (recordFormatArg == kFmtAsn1Blk) {
    v[1] = fcb.fillByte;
    v[2] = 0;
    attributeLevel = kAttrLevelDelimiter;
  } else if (fcb.delimiter != 0) {
    v[1] = DelimFirst(fcb.delimiter);
    v[2] = DelimCount(fcb.delimiter) == 1 ? 0 : DelimSecond(fcb.delimiter);
    attributeLevel = kAttrLevelDelimiter;
  } else {
    attributeLevel = kAttrLevelFormat;
  }
}

void SetUpDtausTables(FileControlBlock& fcb) {
  const std::int32_t f = fcb.recordFormat;
  for (int i = 0; i < 256; ++i) fcb.codeTable[i] = static_cast<std::uint8_t>(i);
  fcb.dtausBlank = 0x20;
  fcb.dtausZero = 0x30;
  constexpr std::uint8_t kAscii[3] = {0x41, 0x43, 0x45};
  constexpr std::uint8_t kEbcdic[3] = {0xC1, 0xC3, 0xC5};
  std::memcpy(fcb.dtausLetters, kAscii, 3);
  std::memcpy(fcb.dtausLetters + 3, kAscii, 3);
  if (f == kFmtDtausDt || f == kFmtDtausTd) fcb.dtausBlank = 0;
  if (IsDtausAe(f)) {
    std::memcpy(fcb.codeTable, codetabae.data(), 256);
    fcb.dtausBlank = 0x40;
    fcb.dtausZero = 0xF0;
    std::memcpy(fcb.dtausLetters, kEbcdic, 3);
  }
  if (IsDtausEa0(f) || IsDtausEa1(f)) {
    std::memcpy(fcb.codeTable, codetabea.data(), 256);
    std::memcpy(fcb.dtausLetters + 3, kEbcdic, 3);
  }
  if (IsDtausEa0(f)) {
    // DIN 66003 German 7-bit ASCII in place of the PC code page umlauts.
    fcb.codeTable[0x4A] = 0x5B;
    fcb.codeTable[0x5A] = 0x5D;
    fcb.codeTable[0xA1] = 0x7E;
    fcb.codeTable[0xE0] = 0x5C;
  }
}

// asn1_blk reads and writes whole blocks: a block must be something and fit one read.
bool Asn1BlockSizeUsable(std::int32_t blockSize) {
  return blockSize > 0 && blockSize <= static_cast<std::int32_t>(kIoPieceSize);
}

// The formats that keep a delimiter: text, dtext and asn1_stream. They get the local default
// when none is given; asn1_stream too, since its reader expects one and elements written
// without would merge.
bool HasDelimiter(std::int32_t recordFormat) {
  return recordFormat == kFmtText || recordFormat == kFmtDtext || recordFormat == kFmtAsn1Stream;
}

// The block's copy of the name; for standard I/O the name argument is replaced by `stdName`.
void TakeName(FileControlBlock& fcb, char* name, const char* stdName) {
  if (fcb.stdio != 0) {
    CopyBounded(fcb.fileName, sizeof fcb.fileName, stdName);
    if (name) std::memcpy(name, stdName, std::strlen(stdName) + 1);
  } else {
    CopyBounded(fcb.fileName, sizeof fcb.fileName, name);
  }
}

// Input side of fiopen; false when the open failed (rc set).
bool OpenInput(FileControlBlock& fcb, std::int32_t& rc, std::uint8_t* fillPair, char* name,
               std::int32_t organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
               std::int32_t& blockSize, std::int32_t& device, std::int32_t& attributeLevel,
               std::uint8_t* attributeVector) {
  const bool stdio = fcb.stdio != 0;
  TakeName(fcb, name, kStdinName);
  if (organisation > 0) {
    rc = kFioBadFileType;
    return false;
  }
  if (recordFormat == kFmtAsn1Blk && fillPair) fcb.fillByte = fillPair[0];

  fcb.io = stdio ? BasicStdIoCreate(kBasicIoInput) : BasicIoCreate(kBasicIoInput);
  if (!fcb.io) {
    rc = kFioBadBlock;
    return false;
  }
  if (!stdio && !BasicOpenFile(fcb.io, name, 1)) {
    rc = FioSystemError(BasicSystemError(fcb.io));
    return false;
  }

  if (recordFormat == kFmtDetect) {
    DetectContainer(fcb, rc, recordFormat, recordLength);
    if (rc != kFioOk) return false;
  } else {
    fcb.recordFormat = NormaliseInputFormat(recordFormat);
  }
  if (fcb.recordFormat == kFmtUndefined && (recordLength == 0 || recordLength == kNotGiven))
    recordLength = 512;
  fcb.recordLength = recordLength;
  // Fixed-length records need a length: with none every read would deliver nothing.
  if (fcb.recordFormat == kFmtFix && fcb.recordLength <= 0) {
    rc = kFioBadRecordLength;
    return false;
  }

  device = 0;
  if (recordFormat != kFmtAsn1Blk) blockSize = 0;
  fcb.blockSize = blockSize;
  if (fcb.recordFormat == kFmtAsn1Blk && !Asn1BlockSizeUsable(blockSize)) {
    rc = kFioBadRecordFormat;
    return false;
  }

  if (attributeLevel > 0) {
    if (attributeVector)
      FillInputAttributes(fcb, recordFormat, attributeLevel, attributeVector);
    else
      attributeLevel = 0;
  }
  if (DelimCount(fcb.delimiter) == 1)
    fcb.delimiter = MakeDelimiter(DelimFirst(fcb.delimiter), DelimFirst(fcb.delimiter), 1);
  fcb.eafDigits = 0;
  fcb.blockFree = 0;
  return true;
}

// Output side of fiopen; false when the open failed (rc set).
bool OpenOutput(FileControlBlock& fcb, std::int32_t& rc, std::int32_t openMode,
                std::int32_t& closeDisposition, std::uint8_t* fillPair, char* name,
                std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
                std::uint32_t& delimiter, std::int32_t& blockSize, std::int32_t& device,
                std::int32_t attributeLevel, const std::uint8_t* attributeVector) {
  const bool stdio = fcb.stdio != 0;
  TakeName(fcb, name, kStdoutName);
  if (attributeLevel > 0 && attributeVector)
    TakeVectorDelimiter(fcb, attributeLevel, attributeVector, fillPair);

  organisation = 0;
  if (HasDelimiter(recordFormat)) delimiter = fcb.delimiter;
  recordFormat = NormaliseOutputFormat(recordFormat);

  if (recordLength == kNotGiven) recordLength = 0;
  if (recordLength < 0) recordLength = recordLength == INT32_MIN ? 0 : -recordLength;
  if (recordLength > 32768) recordLength = 0;
  if (blockSize == kNotGiven) blockSize = 0;
  if (blockSize < 0) blockSize = blockSize == INT32_MIN ? 0 : -blockSize;
  fcb.blockSize = blockSize;

  if (fillPair) {
    if (fillPair[1] == 0xFF) fillPair[1] = 1;
    if (fillPair[1] == 1) fcb.fillByte = fillPair[0];
  }
  closeDisposition = 0;
  device = 0;

  if (recordFormat == kFmtFix && recordLength == 0) {
    rc = kFioBadRecordLength;
    return false;
  }
  if (recordFormat == kFmtAsn1Blk && !Asn1BlockSizeUsable(blockSize)) {
    rc = kFioBadRecordFormat;
    return false;
  }
  if (HasDelimiter(recordFormat) && delimiter == 0) delimiter = kDelimDefault;
  fcb.delimiter = delimiter;

  if (stdio) {
    fcb.io = BasicStdIoCreate(kBasicIoOutput);
    if (!fcb.io) {
      rc = kFioBadBlock;
      return false;
    }
  } else {
    fcb.io = BasicIoCreate(kBasicIoOutput);
    if (!fcb.io) {
      rc = kFioBadBlock;
      return false;
    }
    const bool exists = name && F_FileExists(name);
    const std::uint32_t mode =
        exists ? (openMode == kOpenAppend ? kCreateAppend : kCreateReplace) : kCreateNew;
    if (!BasicCreateFile(fcb.io, name, mode)) {
      const std::uint32_t error = BasicSystemError(fcb.io);
      rc = FioSystemError(error);
      MsgPutSystemError(static_cast<std::int32_t>(error));
      MsgPutF("*ERROR* %s\n", name ? name : "");
      return false;
    }
  }

  fcb.recordFormat = recordFormat == kFmtText ? kFmtTextStored : recordFormat;
  fcb.recordLength = recordLength;
  if (recordFormat == kFmtVarAscii) fcb.zeroDigit = 0x30;
  if (recordFormat == kFmtVarEbcdic) fcb.zeroDigit = 0xF0;
  fcb.blockFree = blockSize;
  return true;
}

}  // namespace

void fiopen(FileControlBlock*& slot, std::int32_t& rc, const std::int32_t& openMode,
            const std::int32_t& exitValue1, std::int32_t& closeDisposition, std::uint8_t* fillPair,
            const char* /*defaultName*/, std::int32_t& nameLength, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            std::uint32_t& delimiter, const std::int32_t& exitValue2, std::int32_t& blockSize,
            const std::int32_t& exitValue3, std::int32_t& device, std::int32_t& attributeLevel,
            std::uint8_t* attributeVector, std::uint8_t* originPair) {
  slot = nullptr;
  auto* fcb = static_cast<FileControlBlock*>(rmHeapAlloc(sizeof(FileControlBlock)));
  if (!fcb) {
    rc = kFioBadBlock;
    return;
  }
  fcb->self = fcb;

  switch (openMode) {
    case kOpenInput:
    case kOpenInputUpdate:
      fcb->direction = kFcbInput;
      break;
    case kOpenOutput:
    case kOpenOutputUpdate:
    case kOpenAppend:
      fcb->direction = kFcbOutput;
      break;
    default:
      rc = kFioBadOpenMode;
      Release(fcb);
      return;
  }
  rc = kFioOk;

  if (device == kDeviceUserIo) {
    fcb->device = kDeviceUserIo;
    fcb->exitArea = fcb->exitWorkArea;
    CopyBounded(reinterpret_cast<char*>(fcb->exitWorkArea), sizeof fcb->exitWorkArea, name);
    // The exit gets copies of the values that are only inputs here.
    std::int32_t mode = openMode;
    std::int32_t value1 = exitValue1;
    std::int32_t value2 = exitValue2;
    std::int32_t value3 = exitValue3;
    usropn(fcb->exitArea, rc, mode, name, organisation, recordFormat, recordLength, blockSize,
           value2, device, delimiter, fillPair, value3, closeDisposition, value1, nameLength, name);
    if (rc != kFioOk) {
      Release(fcb);
      return;
    }
    attributeLevel = 0;
    if (originPair) {
      originPair[0] = kOriginSystem0;
      originPair[1] = kOriginSystem1;
    }
    nameLength = name ? static_cast<std::int32_t>(std::strlen(name)) : 0;
    slot = fcb;
    return;
  }

  fcb->stdio = (!name || name[0] == '\0' || name[0] == ' ') ? kFcbStdio : 0;
  recordFormat = PositiveFormat(recordFormat);
  if (HasDelimiter(recordFormat)) {
    if (delimiter == 0) delimiter = kDelimDefault;
    fcb->delimiter = delimiter;
  }

  const bool opened =
      fcb->direction == kFcbInput
          ? OpenInput(*fcb, rc, fillPair, name, organisation, recordFormat, recordLength, blockSize,
                      device, attributeLevel, attributeVector)
          : OpenOutput(*fcb, rc, openMode, closeDisposition, fillPair, name, organisation,
                       recordFormat, recordLength, delimiter, blockSize, device, attributeLevel,
                       attributeVector);
  if (!opened) {
    Release(fcb);
    return;
  }

  if (originPair) {
    originPair[0] = kOriginSystem0;
    originPair[1] = kOriginSystem1;
  }
  nameLength = name ? static_cast<std::int32_t>(std::strlen(name)) : 0;
  fcb->device = device;
  fcb->dtausState = 0;
  fcb->asnPending = 0;
  fcb->asnRest = 0;
  fcb->bufferSize = std::max(
      {std::min(fcb->recordLength, kRecordLengthBufferCap), fcb->blockSize, kFcbMinBufferSize});
  fcb->buffer =
      static_cast<std::uint8_t*>(rmHeapAlloc(static_cast<std::uint32_t>(fcb->bufferSize)));
  if (!fcb->buffer) {
    rc = kFioBadBlock;
    Release(fcb);
    return;
  }
  fcb->cursor = fcb->bufferEnd = fcb->buffer;

  if (fcb->recordFormat >= kFmtDtausFirst && fcb->recordFormat <= 207) SetUpDtausTables(*fcb);
  slot = fcb;
}

void fiocls(FileControlBlock*& slot, std::int32_t& rc) {
  FileControlBlock* fcb = slot;
  if (!FcbEnter(fcb, rc)) return;
  if (fcb->device == kDeviceUserIo) {
    usrcls(fcb->exitArea, rc);
  } else {
    // The whole DTAUS code range, as the open sets up its tables for it.
    if (fcb->recordFormat >= kFmtDtausFirst && fcb->recordFormat <= kFmtDtausLast &&
        fcb->dtausState < 2)
      rc = kFioBadData;
    if (fcb->recordFormat == kFmtAsn1 && fcb->asnPending != 0) rc = kFioBadData;
    if (fcb->recordFormat == kFmtAsn1Blk && fcb->direction == kFcbOutput &&
        fcb->blockFree < fcb->blockSize && fcb->blockSize <= fcb->bufferSize) {
      // A started block is filled up to its full size and written.
      const std::int32_t used = std::max(fcb->blockSize - std::max(fcb->blockFree, 0), 0);
      std::memset(fcb->buffer + used, fcb->fillByte,
                  static_cast<std::size_t>(fcb->blockSize - used));
      std::int32_t writeRc = kFioOk;
      if (!FioWrite(*fcb, writeRc, fcb->buffer, static_cast<std::uint32_t>(fcb->blockSize)))
        rc = writeRc;
    }
    if (!BasicClose(fcb->io)) rc = FioSystemError(BasicSystemError(fcb->io));
  }
  Release(fcb);
  slot = nullptr;
}

TBasicIo* FioBasicHandle(const FileControlBlock* fcb) { return fcb ? fcb->io : nullptr; }
