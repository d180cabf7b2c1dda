#include "fio/buffered_file.h"

#include <cstring>
#include <new>

#include "support/debug_log.h"
#include "support/platform/file_system.h"

namespace {

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutLe64(std::uint8_t* p, std::uint64_t v) {
  PutLe32(p, static_cast<std::uint32_t>(v));
  PutLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace

bool TBasicIo::KeepName(const char* name) {
  m_FileName.reset();
  if (!name) return true;
  const std::size_t n = std::strlen(name);
  try {
    m_FileName.reset(new char[n + 1]);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::memcpy(m_FileName.get(), name, n + 1);
  return true;
}

bool TBasicIo::StartOpen(const char* name) {
  if (IsOpen()) {
    SetIoError(kIoErrorBusy);
    return false;
  }
  if (!KeepName(name)) {
    SetSystemError(ENOMEM);
    return false;
  }
  return true;
}

std::uint32_t TBasicIo::IoErrorAsSystemError(std::uint32_t code) {
  switch (code) {
    case kIoErrorInvalidHandle:  // not open
    case kIoErrorInvalidAccess:  // the other direction: what the descriptor itself would say
      return EBADF;
    case kIoErrorBadDevType:  // no going back or to the end on a pipe or device
      return ESPIPE;
    case kIoErrorBusy:
      return EBUSY;
    default:
      return code;
  }
}

void TCustomIo::ClearError() {
  if (IsOpen())
    SetSystemError(0);
  else
    SetIoError(kIoErrorInvalidHandle);
}

std::uint32_t TCustomIo::SetError(std::uint32_t code) {
  if (IsOpen())
    SetSystemError(static_cast<int>(code));
  else
    SetIoError(kIoErrorInvalidHandle);
  return m_LastError;
}

std::uint32_t TCustomIo::GetSysError() { return static_cast<std::uint32_t>(errno); }

FileHandle TCustomIo::Handle() { return m_hFile; }

int TCustomIo::IsOpen() { return m_hFile != torq::platform::kInvalidFile ? 1 : 0; }

int TCustomIo::GetPosition(std::int64_t* basePosition, std::uint32_t* offset) {
  if (!IsOpen()) return 0;
  if (basePosition) *basePosition = m_BasePos;
  // A reader record that starts in the lower half gives a negative distance.
  if (offset) *offset = static_cast<std::uint32_t>(m_Crp - m_Base);
  return 1;
}

void TCustomIo::WipeBuffer() {
  if (m_Buffer) std::memset(m_Buffer.get(), 0, m_BufferSize);
}

void TCustomIo::FetchFileInformation() {
  int error = 0;
  m_InfoValid = torq::platform::FileGetInformation(m_hFile, m_FileInfo, error) ? 1 : 0;
  if (m_InfoValid && m_Type == torq::platform::kFileTypeDisk) {
    m_FileSize = static_cast<std::int64_t>((static_cast<std::uint64_t>(m_FileInfo.sizeHigh) << 32) |
                                           m_FileInfo.sizeLow);
    return;
  }
  m_FileSize = -1;
  m_FileInfo.lastWriteTime = torq::platform::SystemTimeAsFileTime();
  m_FileInfo.sizeHigh = 0xFFFFFFFF;
  m_FileInfo.sizeLow = 0xFFFFFFFF;
  SetSystemError(error);
}

int TCustomIo::LoadLastPiece(std::uint64_t& size, std::uint64_t& boundary, std::size_t& got) {
  namespace platform = torq::platform;
  got = 0;
  if (!platform::FileSizeOfHandle(m_hFile, &size)) {
    SetSystemError(errno);
    return 0;
  }
  const std::uint64_t tail = size % kIoPieceSize;
  if (!platform::SeekHandle(m_hFile, static_cast<std::int64_t>(size - tail), 0, &boundary)) {
    SetSystemError(errno);
    return 0;
  }
  if (tail != 0) {
    if (const int error = platform::FileReadFull(m_hFile, m_Base, tail, got)) {
      SetSystemError(error);
      return 0;
    }
  }
  return 1;
}

int TCustomIo::GetSysAttributes(std::uint32_t delimiter, std::int32_t recordFormat,
                                std::int32_t fillByte, std::int32_t* level, void* vector) {
  if (!level || !vector || *level < kIoAttributeLevel) return 0;
  auto* v = static_cast<std::uint8_t*>(vector);
  std::memset(v, 0, kIoAttributeLevel);
  if (!m_InfoValid) return 0;

  const std::uint32_t count = delimiter >> 24;
  v[0] = static_cast<std::uint8_t>(recordFormat);
  v[1] = static_cast<std::uint8_t>(fillByte);
  if (count == 1 || count == 2) {
    v[1] = static_cast<std::uint8_t>(delimiter);
    v[3] = static_cast<std::uint8_t>(count);
  }
  if (count == 2) v[2] = static_cast<std::uint8_t>(delimiter >> 8);
  v[4] = 2;
  PutLe32(v + 8, m_FileInfo.attributes);
  PutLe64(v + 12, m_FileInfo.creationTime);
  PutLe64(v + 20, m_FileInfo.lastAccessTime);
  PutLe64(v + 28, m_FileInfo.lastWriteTime);
  PutLe32(v + 36, m_FileInfo.sizeHigh);
  PutLe32(v + 40, m_FileInfo.sizeLow);
  *level = kIoAttributeLevel;
  OutputDebugLog("GetSysAttributes format %d size %u:%u", recordFormat, m_FileInfo.sizeHigh,
                 m_FileInfo.sizeLow);
  return 1;
}
