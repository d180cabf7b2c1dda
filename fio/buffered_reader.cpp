// The reader: the upper half of the buffer is the read area; the lower half takes the
// unconsumed rest of earlier data, so a record that crosses the end of the read area is
// delivered in one piece without copying it anywhere else.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fio/buffered_file.h"
#include "support/debug_log.h"
#include "support/platform/file_system.h"

namespace platform = torq::platform;

TBasicIoRead::TBasicIoRead() {
  m_BufferSize = kIoBufferSize;
  m_Buffer.reset(new char[kIoBufferSize]);
  m_Base = m_Buffer.get() + kIoPieceSize;
  m_BaseEnd = m_Base + kIoPieceSize;
  m_Nrp = m_Crp = m_DataEnd = m_Base;
  m_LastCount = 0;
  m_IoType = 0;
}

TBasicIoRead::TBasicIoRead(int StdIo) : TBasicIoRead() {
  m_BasePos = m_DataPos = 0;
  if (!StdIo) {
    m_FileSize = -1;
    return;
  }
  SetSystemError(0);
  FileHandle fd = platform::kInvalidFile;
  if (const int error = platform::FileStdHandle(0, fd)) {
    SetSystemError(error);
    return;
  }
  m_hFile = fd;
  m_StdIo = 1;
  const int error = platform::FileGetType(m_hFile, m_Type);
  if (m_Type == platform::kFileTypeUnknown) SetSystemError(error);
  FetchFileInformation();
  OutputDebugLog("TBasicIoRead(StdIo) type %u size %lld", m_Type,
                 static_cast<long long>(m_FileSize));
}

TBasicIoRead::~TBasicIoRead() { TBasicIoRead::Close(); }

int TBasicIoRead::Open(const char* name, std::uint32_t /*flags*/) {
  if (!StartOpen(name)) return 0;
  FileHandle fd = platform::kInvalidFile;
  if (const int error = platform::FileOpenRead(name, fd)) {
    SetSystemError(error);
    OutputDebugLog("TBasicIoRead::Open %s failed %d", name ? name : "", error);
    return 0;
  }
  m_hFile = fd;
  m_StdIo = 0;
  platform::FileGetType(m_hFile, m_Type);
  FetchFileInformation();
  m_BasePos = m_DataPos = 0;
  m_DataEnd = m_Nrp = m_Crp = m_Base;
  m_AtEnd = false;
  OutputDebugLog("TBasicIoRead::Open %s type %u size %lld", name, m_Type,
                 static_cast<long long>(m_FileSize));
  return 1;
}

int TBasicIoRead::Close() {
  SetSystemError(0);
  if (IsOpen() && !m_StdIo) {
    // The descriptor is gone after close even when it reports an error.
    const int error = platform::FileClose(m_hFile);
    m_hFile = platform::kInvalidFile;
    if (error) {
      SetSystemError(error);
      return 0;
    }
  }
  m_hFile = platform::kInvalidFile;
  m_StdIo = 0;
  return 1;
}

int TBasicIoRead::RefreshBuffer() {
  m_DataEnd = m_Base;
  while (m_DataEnd < m_BaseEnd) {
    std::size_t got = 0;
    const int error =
        platform::FileRead(m_hFile, m_DataEnd, static_cast<std::size_t>(m_BaseEnd - m_DataEnd), got);
    m_LastCount = static_cast<std::uint32_t>(got);
    if (error) {
      // Reported, never taken for the end of the data: a truncated input must not pass.
      SetSystemError(error);
      OutputDebugLog("TBasicIoRead::RefreshBuffer read error %d", error);
      return 0;
    }
    if (got == 0) {
      m_AtEnd = true;
      break;
    }
    m_DataEnd += got;
    m_DataPos += static_cast<std::int64_t>(got);
  }
  return 1;
}

int TBasicIoRead::ReorgBuffer() {
  if (m_AtEnd || m_FileSize == m_DataPos) return 1;
  const std::size_t rest = m_DataEnd > m_Crp ? static_cast<std::size_t>(m_DataEnd - m_Crp) : 0;
  if (rest > kIoPieceSize) {  // the lower half cannot take it; Get's limit rules this out
    SetSystemError(kIoErrorReadLen);
    return 0;
  }
  if (rest) {
    std::memmove(m_Base - rest, m_Crp, rest);
    m_Crp = m_Base - rest;
  } else {
    m_Crp = m_Base;
  }
  m_DataEnd = m_Base;
  m_Nrp = m_Crp;
  m_BasePos = m_DataPos;
  return RefreshBuffer();
}

int TBasicIoRead::Deliver(void** data, std::uint32_t length, std::uint32_t* got) {
  if (length > kIoPieceSize) {
    SetSystemError(kIoErrorReadLen);
    return 0;
  }
  if (length > static_cast<std::size_t>(m_DataEnd - m_Crp) && !ReorgBuffer()) return 0;
  const auto available = static_cast<std::size_t>(m_DataEnd - m_Crp);
  if (length > available) length = static_cast<std::uint32_t>(available);
  if (data) *data = m_Crp;
  m_Nrp = m_Crp + length;
  if (got) *got = length;
  return 1;
}

int TBasicIoRead::Get(void** data, std::uint32_t length, std::uint32_t* got) {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  if (length > kIoPieceSize) {
    SetSystemError(kIoErrorReadLen);
    return 0;
  }
  m_Crp = m_Nrp;
  return Deliver(data, length, got);
}

int TBasicIoRead::GetRun(void** data, std::uint32_t unit, std::uint32_t most,
                         std::uint32_t* got) {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  if (unit == 0 || unit > most || most > kIoPieceSize) {
    SetSystemError(kIoErrorReadLen);
    return 0;
  }
  m_Crp = m_Nrp;
  // Only a rest shorter than one unit is moved; the run itself is never copied.
  if (static_cast<std::size_t>(m_DataEnd - m_Crp) < unit && !ReorgBuffer()) return 0;
  std::size_t length = std::min(static_cast<std::size_t>(m_DataEnd - m_Crp), std::size_t{most});
  length -= length % unit;
  if (data) *data = m_Crp;
  m_Nrp = m_Crp + length;
  if (got) *got = static_cast<std::uint32_t>(length);
  return 1;
}

int TBasicIoRead::GetUpdate(void** data, std::uint32_t length, std::uint32_t* got) {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  return Deliver(data, length, got);
}

int TBasicIoRead::Unget() {
  m_Nrp = m_Crp;
  return 1;
}

int TBasicIoRead::Rewind() {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  if (m_BasePos != 0) {
    // The start of the file has left the buffer: only a disk file can go back.
    if (m_Type != platform::kFileTypeDisk) {
      SetIoError(kIoErrorBadDevType);
      return 0;
    }
    std::uint64_t position = 0;
    if (!platform::SeekHandle(m_hFile, 0, 0, &position)) {
      SetSystemError(errno);
      return 0;
    }
    m_BasePos = m_DataPos = 0;
    m_DataEnd = m_Base;
    m_AtEnd = false;
  }
  m_Crp = m_Nrp = m_Base;
  return 1;
}

int TBasicIoRead::Endwind() {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  m_LastCount = 0;
  if (m_Type != platform::kFileTypeDisk) {
    SetIoError(kIoErrorBadDevType);
    return 0;
  }
  // The last 64 KB boundary of the file, and the tail behind it in the read area.
  std::uint64_t size = 0;
  std::uint64_t boundary = 0;
  std::size_t got = 0;
  if (!LoadLastPiece(size, boundary, got)) return 0;
  m_LastCount = static_cast<std::uint32_t>(got);
  // The file pointer stays behind the tail, so positions and data agree even when the file
  // changed size in between.
  m_FileSize = static_cast<std::int64_t>(size);
  m_BasePos = static_cast<std::int64_t>(boundary);
  m_DataPos = m_BasePos + static_cast<std::int64_t>(got);
  m_Nrp = m_Crp = m_DataEnd = m_Base + got;
  m_AtEnd = false;
  return 1;
}

int TBasicIoRead::SetPosition(std::uint32_t distanceLow, std::uint32_t moveMethod,
                              std::uint32_t* distanceHigh, std::int64_t* newPosition) {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  if (m_Type != platform::kFileTypeDisk) {
    SetIoError(kIoErrorBadDevType);
    return 0;
  }
  const auto distance = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(distanceHigh ? *distanceHigh : 0) << 32) | distanceLow);
  std::int64_t target = distance;
  int origin = 0;
  switch (moveMethod) {
    case kIoMoveBegin:
      break;
    case kIoMoveCurrent: {
      // Relative to the logical read position: where the next Get starts.
      const std::int64_t here = m_BasePos + (m_Nrp - m_Base);
      if (__builtin_add_overflow(here, distance, &target)) {
        SetSystemError(EINVAL);
        return 0;
      }
      break;
    }
    case kIoMoveEnd:
      origin = 2;
      break;
    default:
      SetSystemError(EINVAL);
      return 0;
  }
  std::uint64_t position = 0;
  if (target < 0 && origin == 0) {
    SetSystemError(EINVAL);
    return 0;
  }
  if (!platform::SeekHandle(m_hFile, target, origin, &position)) {
    SetSystemError(errno);
    return 0;
  }
  if (newPosition) *newPosition = static_cast<std::int64_t>(position);
  m_BasePos = m_DataPos = static_cast<std::int64_t>(position);
  m_DataEnd = m_Nrp = m_Crp = m_Base;
  m_AtEnd = false;
  return 1;
}


int TBasicIoRead::Create(const char*, std::uint32_t) {
  SetIoError(kIoErrorInvalidAccess);
  return 0;
}

int TBasicIoRead::CreateFileEx(const char*, std::uint32_t, std::uint32_t, std::uint32_t,
                               std::uint32_t) {
  return 0;
}

int TBasicIoRead::Write(const void*, std::uint32_t, std::uint32_t*) {
  SetIoError(kIoErrorInvalidAccess);
  return 0;
}

int TBasicIoRead::WriteUpdate(const void*, std::uint32_t, std::uint32_t*) {
  SetIoError(kIoErrorInvalidAccess);
  return 0;
}
