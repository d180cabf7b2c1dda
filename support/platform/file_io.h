// File API of the platform: opening, reading, writing and closing plain files, pipes and the
// standard streams by descriptor, file type and file information.
// Every call that can fail returns 0 on success or the system error number (errno) of the
// failure; interrupted calls are repeated, so EINTR is never returned.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace torq::platform {

using FileHandle = int;
inline constexpr FileHandle kInvalidFile = -1;

// File types in the numbering the buffered file classes keep.
inline constexpr std::uint32_t kFileTypeUnknown = 0;  // a directory, a block device, ...
inline constexpr std::uint32_t kFileTypeDisk = 1;     // a regular file
inline constexpr std::uint32_t kFileTypeChar = 2;     // a terminal or another character device
inline constexpr std::uint32_t kFileTypePipe = 3;     // a pipe, a FIFO or a socket

// Attribute bits in the numbering of the container's attribute vector.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrNormal = 0x80;

// The information record of an open regular file. Times are 64-bit file times: 100-nanosecond
// units since 1601-01-01 UTC.
struct FileInformation {
  std::uint32_t attributes;  // kAttrArchive, plus kAttrReadOnly when the owner may not write
  std::uint64_t creationTime;  // birth time where the file system keeps one, else last write
  std::uint64_t lastAccessTime;
  std::uint64_t lastWriteTime;
  std::uint32_t volumeSerial;  // low 32 bits of the device number
  std::uint32_t sizeHigh;
  std::uint32_t sizeLow;
  std::uint32_t links;
  std::uint32_t indexHigh;  // inode number
  std::uint32_t indexLow;
};

// Opens an existing file for reading. A directory is refused with EISDIR.
int FileOpenRead(const char* name, FileHandle& handle);
// Opens an existing regular file for reading without ever blocking: a FIFO, socket or device
// is refused (ESPIPE for a FIFO or socket, ENODEV for a device), as is a directory (EISDIR).
// For data files, whose place another kind of file may have taken.
int FileOpenReadRegular(const char* name, FileHandle& handle);
// Opens a file for reading and writing, creating it when missing; `truncate` empties it. A
// directory is refused with EISDIR. Where the file may be written but not read (a write-only
// FIFO or device), it is opened for writing only.
int FileOpenWrite(const char* name, bool truncate, FileHandle& handle);
// The standard input (0) or standard output (1) descriptor; EBADF when the process has none.
int FileStdHandle(int which, FileHandle& handle);
// Closes a descriptor. Descriptors 0, 1 and 2 are never closed.
int FileClose(FileHandle handle);

// One read of at most `length` bytes; `got` 0 means end of data.
int FileRead(FileHandle handle, void* buffer, std::size_t length, std::size_t& got);
// Reads until `length` bytes are in or the data ends.
int FileReadFull(FileHandle handle, void* buffer, std::size_t length, std::size_t& got);
// Writes all `length` bytes, continuing after partial writes; a write that makes no progress
// fails with EIO. `written` tells how many bytes went out, also on failure. A closed pipe gives
// EPIPE (SIGPIPE is ignored).
int FileWrite(FileHandle handle, const void* data, std::size_t length, std::size_t& written);
// Forces written data to the device; nothing to do for pipes and terminals.
int FileFlush(FileHandle handle);

// The file type of an open descriptor (kFileType...).
int FileGetType(FileHandle handle, std::uint32_t& type);
// The information record of an open file. False for a file that is not a regular file (error
// 0) or when the system cannot tell (error set).
bool FileGetInformation(FileHandle handle, FileInformation& info, int& error);
// The attribute bits of a named file (following links); ENOENT and the like when it cannot be
// examined.
int PathAttributes(const char* name, std::uint32_t& attributes);
// Removes one file by its exact name; no pattern, no shell.
int FileDelete(const char* name);
// Gives a file a new name, replacing a file of that name in one step.
int FileRename(const char* from, const char* to);
// 0 when the name is free or names a regular file; else what stands there: EISDIR for a
// directory, ESPIPE for a FIFO or socket, ENODEV for a device (or the error of looking).
int PathHoldsNoSpecialFile(const char* name);

// The current time as a 64-bit file time.
std::uint64_t SystemTimeAsFileTime();

// Test seam: replaces the read and write calls of this layer (null entries keep the system
// call); SetFileIoHooks(nullptr) restores the system calls.
struct FileIoHooks {
  ssize_t (*read)(int fd, void* buffer, std::size_t length);
  ssize_t (*write)(int fd, const void* data, std::size_t length);
};
void SetFileIoHooks(const FileIoHooks* hooks);
// Test seam: replaces the open call of this layer; null restores the system call.
using FileOpenHook = int (*)(const char* name, int flags, mode_t mode);
void SetFileOpenHook(FileOpenHook hook);

}  // namespace torq::platform
