// The writer: records collect from the buffer start; a Write that starts at or beyond 64 KB
// first writes 64 KB to the file, and the buffered data always stays below 96 KB.
#include <cerrno>
#include <cstring>

#include "fio/buffered_file.h"
#include "fio/buffered_file_api.h"
#include "support/debug_log.h"
#include "support/platform/file_system.h"

namespace platform = torq::platform;

TBasicIoWrite::TBasicIoWrite() {
  m_BufferSize = kIoBufferSize;
  m_Buffer.reset(new char[kIoBufferSize]);
  m_Base = m_Buffer.get();
  m_BaseEnd = m_Base + kIoPieceSize;
  m_Limit = m_Base + kIoWriteLimit;
  m_Nrp = m_Crp = m_DataEnd = m_Base;
  m_LastCount = 0;
  m_IoType = 1;
  m_Dirty = false;
}

TBasicIoWrite::TBasicIoWrite(int StdIo) : TBasicIoWrite() {
  SetSystemError(0);
  if (StdIo) {
    FileHandle fd = platform::kInvalidFile;
    if (const int error = platform::FileStdHandle(1, fd)) {
      SetSystemError(error);
    } else {
      m_hFile = fd;
      m_StdIo = 1;
      m_BasePos = m_DataPos = 0;
      int infoError = 0;
      m_InfoValid = platform::FileGetInformation(m_hFile, m_FileInfo, infoError) ? 1 : 0;
      const int typeError = platform::FileGetType(m_hFile, m_Type);
      if (m_Type == platform::kFileTypeUnknown) SetSystemError(typeError);
    }
  }
  m_FlushEachWrite = m_Type == platform::kFileTypeChar;
  OutputDebugLog("TBasicIoWrite(StdIo) type %u", m_Type);
}

TBasicIoWrite::~TBasicIoWrite() {
  // A failed final write is reported through the interface's last error, never thrown.
  if (IsOpen() && !TBasicIoWrite::Close()) LastBasicIoError = static_cast<std::int32_t>(m_LastError);
}

int TBasicIoWrite::Create(const char* name, std::uint32_t flags) {
  if (!StartOpen(name)) return 0;
  std::uint32_t attributes = 0;
  const int probe = platform::PathAttributes(name, attributes);
  SetSystemError(probe);
  const bool exists = probe == 0;
  const bool append = (flags & kIoCreateAppend) != 0 && exists;

  FileHandle fd = platform::kInvalidFile;
  if (const int error = platform::FileOpenWrite(name, !append, fd)) {
    SetSystemError(error);
    OutputDebugLog("TBasicIoWrite::Create %s failed %d", name ? name : "", error);
    return 0;
  }
  m_hFile = fd;
  m_StdIo = 0;
  m_InfoValid = 0;
  m_FileInfo = platform::FileInformation{};
  if (exists) {
    int infoError = 0;
    m_InfoValid = platform::FileGetInformation(m_hFile, m_FileInfo, infoError) ? 1 : 0;
  }
  m_Dirty = false;
  platform::FileGetType(m_hFile, m_Type);
  m_FlushEachWrite = m_Type == platform::kFileTypeChar;
  m_Nrp = m_Crp = m_Base;
  m_LastCount = 0;
  m_BasePos = m_DataPos = m_FileSize = 0;
  if (append && !Endwind()) {
    // A failed Create leaves the object closed.
    platform::FileClose(m_hFile);
    m_hFile = platform::kInvalidFile;
    return 0;
  }
  OutputDebugLog("TBasicIoWrite::Create %s flags %u type %u", name, flags, m_Type);
  return 1;
}

int TBasicIoWrite::FlushBuffer() {
  if (m_Nrp <= m_Base || !m_Dirty) {
    m_Nrp = m_Crp = m_Base;
    return 1;
  }
  std::size_t count = static_cast<std::size_t>(m_Nrp - m_Base);
  if (count > kIoPieceSize) count = kIoPieceSize;
  std::size_t written = 0;
  const int error = platform::FileWrite(m_hFile, m_Base, count, written);
  m_LastCount = static_cast<std::uint32_t>(written);
  if (error) {
    SetSystemError(error);
    // What did go out is dropped from the buffer, so a later flush never writes it twice.
    if (written) {
      std::memmove(m_Base, m_Base + written, static_cast<std::size_t>(m_Nrp - m_Base) - written);
      m_Nrp -= written;
      m_Crp = m_Crp - m_Base >= static_cast<std::ptrdiff_t>(written) ? m_Crp - written : m_Base;
      m_BasePos += static_cast<std::int64_t>(written);
    }
    OutputDebugLog("TBasicIoWrite::FlushBuffer write error %d", error);
    return 0;
  }
  if (m_Nrp > m_BaseEnd) {
    const std::size_t rest = static_cast<std::size_t>(m_Nrp - m_BaseEnd);
    std::memmove(m_Base, m_BaseEnd, rest);
    m_Nrp = m_Crp = m_Base + rest;
  } else {
    m_Dirty = false;
    m_Nrp = m_Crp = m_Base;
  }
  m_BasePos += static_cast<std::int64_t>(count);
  return 1;
}

bool TBasicIoWrite::Takes(const void* data, std::uint32_t length) {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return false;
  }
  if (!data && length) {
    SetSystemError(EINVAL);
    return false;
  }
  return true;
}

int TBasicIoWrite::Write(const void* data, std::uint32_t length, std::uint32_t* written) {
  if (!Takes(data, length)) return 0;
  if (m_Nrp >= m_BaseEnd && !FlushBuffer()) return 0;
  if (length >= static_cast<std::size_t>(m_Limit - m_Nrp)) {
    SetSystemError(kIoErrorWriteLen);  // "Illegal WriteLen"; nothing is taken
    return 0;
  }
  m_Crp = m_Nrp;
  m_Nrp += length;
  m_Dirty = true;
  if (length) std::memcpy(m_Crp, data, length);
  if (written) *written = length;
  m_DataPos += length;
  if (m_FlushEachWrite) {
    if (!FlushBuffer()) return 0;
    if (m_Dirty) return FlushBuffer();
  }
  return 1;
}

int TBasicIoWrite::WriteRoom(void** room, std::uint32_t* size, std::uint32_t* starts) {
  if (!Takes(nullptr, 0)) return 0;
  if (m_Nrp >= m_BaseEnd && !FlushBuffer()) return 0;
  const bool takes = !m_FlushEachWrite;
  if (room) *room = m_Nrp;
  if (size) *size = takes ? static_cast<std::uint32_t>(m_Limit - m_Nrp - 1) : 0;
  if (starts) *starts = takes ? static_cast<std::uint32_t>(m_BaseEnd - m_Nrp) : 0;
  return 1;
}

int TBasicIoWrite::WriteCommit(std::uint32_t length) {
  if (!Takes(nullptr, 0)) return 0;
  if (length >= static_cast<std::size_t>(m_Limit - m_Nrp)) {
    SetSystemError(kIoErrorWriteLen);
    return 0;
  }
  if (length == 0) return 1;
  m_Crp = m_Nrp;
  m_Nrp += length;
  m_Dirty = true;
  m_DataPos += length;
  return 1;
}

int TBasicIoWrite::WriteUpdate(const void* data, std::uint32_t length, std::uint32_t* written) {
  if (!Takes(data, length)) return 0;
  if (length >= static_cast<std::size_t>(m_Limit - m_Crp)) {
    SetSystemError(kIoErrorWriteLen);  // the record would reach the write limit
    return 0;
  }
  m_Dirty = true;
  if (length) std::memcpy(m_Crp, data, length);
  if (written) *written = length;
  if (m_Crp + length > m_Nrp) m_Nrp = m_Crp + length;
  m_DataPos = m_BasePos + (m_Nrp - m_Base);
  return 1;
}

int TBasicIoWrite::Endwind() {
  if (!IsOpen()) {
    SetIoError(kIoErrorInvalidHandle);
    return 0;
  }
  if (m_Dirty) {
    if (!FlushBuffer()) return 0;
    if (m_Dirty && !FlushBuffer()) return 0;
  }
  m_LastCount = 0;
  if (m_Type != platform::kFileTypeDisk) {
    // A pipe or a device has no end to go to: appending is writing.
    m_Nrp = m_Crp = m_Base;
    return 1;
  }
  // The last partial piece comes into the buffer and is written again with the new data,
  // so every write starts on a 64 KB boundary of the file.
  std::uint64_t size = 0;
  std::uint64_t boundary = 0;
  std::size_t got = 0;
  if (!LoadLastPiece(size, boundary, got)) return 0;
  if (got != 0 && !platform::SeekHandle(m_hFile, static_cast<std::int64_t>(boundary), 0, nullptr)) {
    SetSystemError(errno);
    return 0;
  }
  m_LastCount = static_cast<std::uint32_t>(got);
  m_FileSize = static_cast<std::int64_t>(size);
  m_BasePos = static_cast<std::int64_t>(boundary);
  m_Nrp = m_Crp = m_Base + got;
  m_DataPos = m_BasePos + static_cast<std::int64_t>(got);
  m_Dirty = false;
  return 1;
}

int TBasicIoWrite::Close() {
  if (!IsOpen()) return 1;
  bool flushFailed = false;
  if (m_Nrp > m_Base) {
    if (FlushBuffer() && m_Nrp > m_Base) FlushBuffer();
    flushFailed = m_Nrp > m_Base;  // m_LastError holds the write's error
  }
  int closeError = 0;
  if (!m_StdIo) {
    closeError = platform::FileClose(m_hFile);
  } else {
    platform::FileFlush(m_hFile);  // the standard stream itself stays open
  }
  // The descriptor is released in every case; a failed final write is a code, not a throw.
  m_hFile = platform::kInvalidFile;
  m_StdIo = 0;
  m_Nrp = m_Crp = m_Base;
  m_Dirty = false;
  if (flushFailed) {
    OutputDebugLog("TBasicIoWrite::Close FLUSH ERROR %u", m_LastError);
    return 0;
  }
  if (closeError) {
    SetSystemError(closeError);
    return 0;
  }
  return 1;
}


int TBasicIoWrite::Rewind() { return 0; }
int TBasicIoWrite::Unget() { return 0; }

int TBasicIoWrite::CreateFileEx(const char*, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint32_t) {
  return 0;
}

int TBasicIoWrite::SetPosition(std::uint32_t, std::uint32_t, std::uint32_t*, std::int64_t*) {
  return 0;
}

int TBasicIoWrite::Open(const char*, std::uint32_t) {
  SetIoError(kIoErrorInvalidAccess);
  return 0;
}

int TBasicIoWrite::Get(void**, std::uint32_t, std::uint32_t*) {
  SetIoError(kIoErrorInvalidAccess);
  return 0;
}

int TBasicIoWrite::GetUpdate(void**, std::uint32_t, std::uint32_t*) {
  SetIoError(kIoErrorInvalidAccess);
  return 0;
}
