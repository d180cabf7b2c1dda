// Opening a TORQFILE through the record interface: the handle (trqopn), the container file
// (trqopd), the container with its matrix buffer and coder (trqopf), the options and the
// coder switch between members on reading.
#include <cstring>

#include "cmp/buffer_sizes.h"
#include "cmp/cmp.h"
#include "cmp/record_interface.h"
#include "cmp/record_matrix_buffer.h"
#include "cmp/record_release.h"
#include "cmp/security_calls.h"
#include "fio/fio.h"
#include "support/heap.h"

namespace {

constexpr std::int32_t kFormatVar2b = 0;
constexpr std::int32_t kFormatFix = 1;
constexpr std::int32_t kFormatText = 3;
constexpr std::int32_t kContainerFormats = 256;  // the record layer's container representations
constexpr std::int32_t kNotGivenWord = static_cast<std::int32_t>(0x80000001u);
constexpr std::int32_t kMinRecordLength = 80;
constexpr std::int32_t kMaxRecordLength = 32760;
constexpr std::int32_t kMaxBlockLength = 65532;
constexpr std::int32_t kMax7BitRecordLength = 4095;
constexpr std::int32_t kDefaultBufferSize = 32768;
constexpr std::int32_t kDefaultRecordLength = 512;
constexpr std::int32_t kCryptTorq = 16;
constexpr std::int32_t kCryptAes = 32;
constexpr std::uint8_t kOriginWindows = 224;

constexpr std::uint32_t Tag(std::uint32_t code) { return code | kTrqTag; }
constexpr std::int32_t kBadFileType = static_cast<std::int32_t>(Tag(33));
constexpr std::int32_t kBadRecordFormat = static_cast<std::int32_t>(Tag(34));
constexpr std::int32_t kBadContainerLength = static_cast<std::int32_t>(Tag(35));
constexpr std::int32_t kBadBlockLength = static_cast<std::int32_t>(Tag(36));

// The ModeWords a container can carry; any other low byte is taken as ADC.
constexpr bool AcceptedModeWord(std::int32_t w) {
  switch (w) {
    case 0x00: case 0x01: case 0x02: case 0x03: case 0x13: case 0x23:
    case 0x04: case 0x14: case 0x24: case 0x08: case 0x09:
      return true;
    default:
      return false;
  }
}

// The container file's defaults when the caller gives none: fixed 512-byte records on writing
// (the record layer's own recognition on reading).
struct FileDefaults {
  std::int32_t nameLength = kTrqFileNameCapacity;
  std::int32_t organisation = 0;
  std::int32_t recordFormat = kFormatFix;
  std::int32_t recordLength = kDefaultRecordLength;
  std::uint32_t delimiter = 0;
  std::int32_t passThrough = 0;
  std::int32_t blockLength = 0;
  std::int32_t closeDisposition = 0;
  std::int32_t device = 0;
};

struct ContainerDefaults {
  std::int32_t formatLevel = 0;
  std::int32_t charCode = 1;
  std::int32_t modeWord = 0;
  std::int32_t bufferSize = kDefaultBufferSize;
  std::int32_t security = 0;
  std::int32_t mostRecords = 0;
  std::int32_t fixedBlock = 1;
};

void OpenFileWithDefaults(RecordHandle*& slot, std::int32_t& rc, std::int32_t containerOnly) {
  FileDefaults d;
  trqopd(slot, rc, containerOnly, d.nameLength, nullptr, d.organisation, d.recordFormat,
         d.recordLength, d.delimiter, d.passThrough, d.blockLength, d.closeDisposition, d.device);
}

void OpenContainerWithDefaults(RecordHandle*& slot, std::int32_t& rc) {
  ContainerDefaults d;
  d.modeWord = slot->cryptMode;
  trqopf(slot, rc, d.formatLevel, d.charCode, d.modeWord, d.bufferSize, d.security,
         d.mostRecords, nullptr, d.fixedBlock, nullptr, nullptr);
}

void CopyExitName(char (&field)[kTrqExitNameSize], const char* name) {
  field[0] = '\0';
  if (!name || name[0] == '\0' || name[0] == ' ') return;
  std::size_t n = 0;
  while (n + 1 < kTrqExitNameSize && name[n] != '\0') {
    field[n] = name[n];
    ++n;
  }
  field[n] = '\0';
}

// Closes what trqopf made before it failed: the control block and the container file.
void UndoContainer(RecordHandle& h) {
  std::uint32_t blocks = 0, low = 0, high = 0;
  std::int32_t rc = 0;
  if (h.container) {
    cmpcls(h.container, rc, blocks, low, high);
    h.closeCounters[0] = static_cast<std::int32_t>(blocks);
    h.closeCounters[1] = static_cast<std::int32_t>(low);
    h.closeCounters[2] = static_cast<std::int32_t>(high);
  }
  if (h.file) fiocls(h.file, rc);
}

}  // namespace

void trqopn(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& attributesGiven,
            const std::int32_t& openMode, const char* fileName, const std::int32_t& optionWord) {
  slot = static_cast<RecordHandle*>(rmHeapAlloc(sizeof(RecordHandle)));
  if (!slot) {
    rc = kTrqBadCall;
    return;
  }
  RecordHandle& h = *slot;
  h.self = slot;
  h.callState = kTrqOpened;
  h.optionWord = optionWord;
  rc = 0;
  const std::size_t length = fileName ? std::strlen(fileName) : 0;
  if (length >= kTrqFileNameSize) {
    rc = kTrqBadName;
  } else {
    if (length) std::memcpy(h.fileName, fileName, length);
    h.nameLength = static_cast<std::int32_t>(length);
    if (openMode < 0 || (openMode > 2 && openMode != 9)) rc = kTrqBadOpenMode;
  }
  if (rc == 0) {
    h.openMode = openMode;
    h.direction = openMode != 0 ? 1 : 0;
    h.mostRecords = 255;
    h.gapMapLength = h.direction ? 0 : kTrqGapMapCapacity;
    if (attributesGiven == 0) {
      OpenFileWithDefaults(slot, rc, 0);
      rc = TrqTagged(rc);
    }
  }
  if (rc != 0 && slot) TrqRelease(slot);
}

void trqopd(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& containerOnly,
            std::int32_t& nameLength, char* fileName, std::int32_t& organisation,
            std::int32_t& recordFormat, std::int32_t& recordLength, std::uint32_t& delimiter,
            const std::int32_t& passThrough, std::int32_t& blockLength,
            std::int32_t& closeDisposition, std::int32_t& device) {
  RecordHandle* const hp = TrqHandle(&slot);
  if (!hp || hp->callState >= 5 || !(hp->callState & kTrqOpened)) {
    rc = kTrqBadCall;
    return;
  }
  RecordHandle& h = *hp;
  h.callState |= kTrqFileOpen;
  rc = 0;
  h.organisation = h.recordFormat = h.recordLength = h.blockLength = 0;
  h.closeDisposition = h.device = h.systemHeaderKind = 0;
  h.delimiter = 0;
  h.origin[0] = 0;
  h.origin[1] = kOriginWindows;
  if (fileName && fileName[0] != '\0') {
    const std::size_t length = std::strlen(fileName);
    if (length >= kTrqFileNameSize) {
      rc = kTrqBadName;
      return;
    }
    std::memcpy(h.fileName, fileName, length + 1);
    h.nameLength = static_cast<std::int32_t>(length);
  }

  if (h.direction == 0) recordFormat = kContainerFormats;
  const bool var2b = recordFormat == kFormatVar2b || recordFormat == kNotGivenWord;
  if (var2b) recordLength += recordLength < 1 ? 2 : -2;  // the 2-byte prefix counts itself
  if (h.direction != 0) {
    if (recordFormat >= 0)
      recordFormat += kContainerFormats;
    else
      recordFormat = (recordFormat == kNotGivenWord ? 0 : recordFormat) - kContainerFormats;
  }
  if (closeDisposition < -3 || closeDisposition > 3) closeDisposition = 0;
  if (device < -4 || device > 7) device = 0;

  std::int32_t capacity = kTrqFileNameCapacity;
  std::int32_t attributeLevel = h.direction == 0 ? 44 : 0;
  static const char kDefaultName[] = "=TORQFILE";
  fiopen(h.file, rc, h.openMode, h.exitWord1, closeDisposition, h.fillPair, kDefaultName,
         capacity, h.fileName, organisation, recordFormat, recordLength, delimiter, passThrough,
         blockLength, h.exitWord2, device, attributeLevel, h.attributes, h.origin);
  h.fileName[kTrqFileNameSize - 1] = '\0';
  if (rc != 0) {
    rc = TrqTagged(rc);
    if (h.file) {
      std::int32_t ignored = 0;
      fiocls(h.file, ignored);
    }
    return;
  }
  if (device != 7) {
    if (organisation != 0)
      rc = kBadFileType;
    else if (recordFormat != kFormatVar2b && recordFormat != kFormatFix &&
             recordFormat != kFormatText)
      rc = kBadRecordFormat;
    else if (blockLength != 0 && (blockLength < 80 || blockLength > kMaxBlockLength))
      rc = kBadBlockLength;
  }
  const std::int32_t blockSize = recordLength;
  if (rc == 0 && recordFormat == kFormatVar2b) recordLength += 2;
  if (rc == 0 && h.direction != 0 &&
      (recordLength < kMinRecordLength || recordLength > kMaxRecordLength))
    rc = kBadContainerLength;
  if (rc != 0) {
    std::int32_t ignored = 0;
    fiocls(h.file, ignored);
    return;
  }

  h.organisation = organisation;
  h.recordFormat = recordFormat;
  h.recordLength = recordLength;
  h.containerRecordLength = blockSize;
  h.blockLength = blockLength;
  h.closeDisposition = closeDisposition;
  h.device = device;
  h.delimiter = delimiter;
  h.passThrough = passThrough;
  h.systemHeaderKind = attributeLevel;
  h.nameLength = static_cast<std::int32_t>(std::strlen(h.fileName));
  if (fileName && nameLength > 0) {
    const std::int32_t n = h.nameLength < nameLength ? h.nameLength : nameLength;
    std::memcpy(fileName, h.fileName, static_cast<std::size_t>(n));
    fileName[n] = '\0';
    nameLength = n;
  }
  if (containerOnly == 0) OpenContainerWithDefaults(slot, rc);
}

void trqopf(RecordHandle*& slot, std::int32_t& rc, std::int32_t& formatLevel,
            std::int32_t& charCode, std::int32_t& modeWord, std::int32_t& bufferSize,
            std::int32_t& security, std::int32_t& mostRecords, const void*,
            std::int32_t& fixedBlock, const char* exitName1, const char* exitName2) {
  RecordHandle* const hp = TrqHandle(&slot);
  if (!hp || hp->callState > kTrqContainerOpen) {
    rc = kTrqBadCall;
    return;
  }
  RecordHandle& h = *hp;
  rc = 0;
  if (h.callState <= kTrqFileOpen) {
    OpenFileWithDefaults(slot, rc, 1);
    if (rc != 0) {
      rc = TrqTagged(rc);
      return;
    }
  }
  if (!h.file) {  // a trqopd that failed
    rc = kTrqBadCall;
    return;
  }
  h.callState |= kTrqContainerOpen;

  if (charCode != 0 && charCode != 1) charCode = 1;
  const bool writing = h.direction != 0;
  if (!AcceptedModeWord(modeWord & 0xFF)) {
    // A crypt mode must not fall away unnoticed into an unencrypted method.
    const std::int32_t crypt = modeWord & 0xF0;
    if (writing && (crypt == kCryptTorq || crypt == kCryptAes)) rc = kTrqBadMethod;
    modeWord = 3;
  }
  const RecordMethod* method = TrqMethod(modeWord & 15);
  if (rc == 0 && writing) {
    h.method = modeWord & 15;
    h.cryptMode = modeWord & 0xF0;
    if (h.cryptMode == kCryptAes) h.securityFlag = 1;
    if (h.method == 1 && h.containerRecordLength > kMax7BitRecordLength) rc = kTrqBadRecordLength;
    if (security < 0 || security > 1) security = 0;
    const std::int32_t top = method ? method->mostRecords : 255;
    if (mostRecords < 1 || mostRecords > top) mostRecords = top;
  }
  if (fixedBlock != 0 && fixedBlock != 1) fixedBlock = 1;
  CopyExitName(h.exitName1, exitName1);
  CopyExitName(h.exitName2, exitName2);
  if (rc == 0 && writing) {
    const bool sevenBit = modeWord == 1;
    const std::int32_t f = h.recordFormat;
    if (sevenBit ? (f != kFormatFix && f != kFormatText) : (f != kFormatVar2b && f != kFormatFix))
      rc = kBadRecordFormat;
    // A short fixed record would be padded outside the block; the reader cannot tell it.
    if (!sevenBit && f == kFormatFix) fixedBlock = 1;
    if (h.method == 3 || h.method == 4) {
      bufferSize = 65536;
      if (h.securityFlag) security = 2;
    } else if (modeWord == 8) {
      bufferSize = Dc8BufferSize(bufferSize);
    }
    if (rc == 0 && !TrqMethodHasCoder(h.method)) rc = kTrqBadMethod;
  }
  if (rc != 0) {
    UndoContainer(h);
    return;
  }

  std::int32_t blockSize = h.containerRecordLength;
  cmpopn(h.container, rc, h.direction, formatLevel, charCode, bufferSize, modeWord, security,
         fixedBlock, blockSize, h.file, h.optionWord, nullptr,
         reinterpret_cast<const std::uint8_t*>(h.exitName1),
         reinterpret_cast<const std::uint8_t*>(h.exitName2));
  if (rc == kCmpSecurityOn) {
    h.securityFlag = 1;
    rc = 0;
    if (h.memberMacSkip == 1) {
      const std::int32_t one = 1;
      cmpset(h.container, rc, one, one);
    }
  } else if (rc == kCmpNoPassword && !writing) {
    h.passwordNeeded = 1;
    rc = 0;
  }
  if (rc != 0) {
    UndoContainer(h);
    return;
  }

  h.charCode = h.memberCharCode = charCode;
  h.formatLevel = h.memberFormatLevel = formatLevel;
  h.method = modeWord & 15;
  h.memberMode = modeWord;
  h.cryptMode = modeWord & 0xF0;
  h.memberBufferSize = bufferSize;
  h.fixedBlock = fixedBlock;
  h.passwordGiven = 0;
  h.securityOption = security;
  h.headerState = (security == 0 || security == 8) ? 128 : security;
  if (writing) h.mostRecords = mostRecords;

  method = TrqMethod(h.method);
  if (!TrqMethodHasCoder(h.method)) {
    rc = kTrqBadMethod;
  } else {
    rc = TrqAllocateMatrix(h, *method, bufferSize);
    if (rc == 0) rc = method->openCoder(h);
  }
  if (rc != 0) {
    TrqFreeMatrix(h);
    UndoContainer(h);
    return;
  }
  bufferSize = h.bufferSize;
  h.recordsInMatrix = 0;
}

void trqset(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& what,
            const std::int32_t& value) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h) {
    rc = kTrqBadCall;
    return;
  }
  rc = 0;
  if (what == 1) {
    if (value == kCryptTorq || value == kCryptAes)
      h->cryptMode = value;
    else
      rc = kTrqBadValue;
  } else if (what == 2) {
    if (value == 1) {
      h->securityFlag = 1;
      h->memberMacSkip = 0;
    } else if (value == 0 || value == 3) {
      h->securityFlag = 0;
      h->memberMacSkip = 1;
    } else {
      rc = kTrqBadValue;
    }
  } else {
    rc = kTrqUnknownWhat;
  }
}

void trqpwd(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& length,
            const std::uint8_t* password) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h) {
    rc = kTrqBadCall;
    return;
  }
  // Only the block coders carry a password.
  if ((h->method != 3 && h->method != 4) || !TrqMethodHasCoder(h->method) || !h->container ||
      length < 0) {
    rc = kTrqPassword;
    return;
  }
  rc = 0;
  std::int32_t n = length;
  cmppwd(h->container, rc, n, password);
  // A password the container does not take changes nothing.
  if (rc != 0) return;
  if (h->direction != 0 && h->cryptMode == 0) h->cryptMode = kCryptTorq;
  h->passwordLength = length;
  h->passwordGiven = 1;
}

std::int32_t new_file(RecordHandle* handle, std::int32_t modeWord, std::int32_t charCode,
                      std::int32_t formatLevel, std::int32_t bufferSize) {
  if (!handle || handle->self != handle) return kTrqBadCall;
  RecordHandle& h = *handle;
  const std::int32_t method = modeWord & 15;
  const RecordMethod* const from = TrqMethod(h.method);
  const RecordMethod* const to = TrqMethod(method);
  if (!TrqMethodHasCoder(method)) return kTrqBadMethod;
  if (charCode != h.charCode || method != h.method) {
    std::int32_t closeWord = 0;
    if (from && from->closeCoder) from->closeCoder(h, closeWord);
    h.formatLevel = formatLevel;
    h.charCode = charCode;
    h.method = method;
    if (const std::int32_t rc = to->openCoder(h)) return rc;
  }
  // A larger buffer, or another coder family, brings a new matrix buffer.
  if (bufferSize > h.bufferSize || to != from || !h.matrixBuffer)
    return TrqAllocateMatrix(h, *to, bufferSize > h.bufferSize ? bufferSize : h.bufferSize);
  return 0;
}
