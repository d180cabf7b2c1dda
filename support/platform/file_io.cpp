#include "support/platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace torq::platform {

namespace {

const FileIoHooks* g_hooks = nullptr;

ssize_t CallRead(int fd, void* buffer, std::size_t length) {
  if (g_hooks && g_hooks->read) return g_hooks->read(fd, buffer, length);
  return ::read(fd, buffer, length);
}

ssize_t CallWrite(int fd, const void* data, std::size_t length) {
  if (g_hooks && g_hooks->write) return g_hooks->write(fd, data, length);
  return ::write(fd, data, length);
}

FileOpenHook g_openHook = nullptr;

int CallOpen(const char* name, int flags, mode_t mode) {
  if (g_openHook) return g_openHook(name, flags, mode);
  return ::open(name, flags, mode);
}

// A reader that went away must give EPIPE on our side, not end the process.
bool IgnoreSigpipe() {
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDelta = 11644473600;

std::uint64_t ToFileTime(std::int64_t seconds, std::int64_t nanoseconds) {
  if (seconds < -kEpochDelta) return 0;
  return static_cast<std::uint64_t>(seconds + kEpochDelta) * 10000000u +
         static_cast<std::uint64_t>(nanoseconds / 100);
}

int OpenRetrying(const char* name, int flags, FileHandle& handle) {
  int fd;
  do {
    fd = CallOpen(name, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  if (fd <= 2) {
    // A process started without its standard streams would get one of their numbers; a named
    // file never takes their place (and FileClose would never close it).
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    const int error = errno;
    ::close(fd);
    if (moved < 0) return error;
    fd = moved;
  }
  handle = fd;
  return 0;
}

}  // namespace

void SetFileIoHooks(const FileIoHooks* hooks) { g_hooks = hooks; }
void SetFileOpenHook(FileOpenHook hook) { g_openHook = hook; }

int FileOpenRead(const char* name, FileHandle& handle) {
  handle = kInvalidFile;
  if (!name || !*name) return ENOENT;
  FileHandle fd = kInvalidFile;
  if (const int error = OpenRetrying(name, O_RDONLY | O_CLOEXEC | O_NOCTTY, fd)) return error;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int error = errno;
    ::close(fd);
    return error;
  }
  if (S_ISDIR(st.st_mode)) {
    ::close(fd);
    return EISDIR;
  }
  handle = fd;
  return 0;
}

// The error that names a kind of file other than a regular one.
static int SpecialFileError(mode_t mode) {
  if (S_ISDIR(mode)) return EISDIR;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return ENODEV;
  return ESPIPE;
}

int FileOpenReadRegular(const char* name, FileHandle& handle) {
  handle = kInvalidFile;
  if (!name || !*name) return ENOENT;
  FileHandle fd = kInvalidFile;
  // Non-blocking, so that a FIFO without a writer cannot hold the open forever.
  if (const int error = OpenRetrying(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, fd)) return error;
  struct stat st {};
  int error = ::fstat(fd, &st) != 0 ? errno : 0;
  if (error == 0 && !S_ISREG(st.st_mode)) error = SpecialFileError(st.st_mode);
  if (error == 0) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = errno;
  }
  if (error != 0) {
    ::close(fd);
    return error;
  }
  handle = fd;
  return 0;
}

int FileOpenWrite(const char* name, bool truncate, FileHandle& handle) {
  handle = kInvalidFile;
  if (!name || !*name) return ENOENT;
  const int common = O_CREAT | O_CLOEXEC | O_NOCTTY | (truncate ? O_TRUNC : 0);
  int error = OpenRetrying(name, O_RDWR | common, handle);
  if (error == EACCES) error = OpenRetrying(name, O_WRONLY | common, handle);
  return error;
}

int FileStdHandle(int which, FileHandle& handle) {
  handle = kInvalidFile;
  if (which != 0 && which != 1) return EBADF;
  if (::fcntl(which, F_GETFD) == -1) return errno;
  handle = which;
  return 0;
}

int FileClose(FileHandle handle) {
  if (handle < 0) return EBADF;
  if (handle <= 2) return 0;  // the standard streams stay open
  // The descriptor is released even when close reports an error; it is never closed twice.
  if (::close(handle) != 0 && errno != EINTR) return errno;
  return 0;
}

int FileRead(FileHandle handle, void* buffer, std::size_t length, std::size_t& got) {
  got = 0;
  if (length == 0) return 0;
  for (;;) {
    const ssize_t n = CallRead(handle, buffer, length);
    if (n >= 0) {
      got = static_cast<std::size_t>(n) <= length ? static_cast<std::size_t>(n) : length;
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

int FileReadFull(FileHandle handle, void* buffer, std::size_t length, std::size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(buffer);
  while (got < length) {
    std::size_t n = 0;
    if (const int error = FileRead(handle, p + got, length - got, n)) return error;
    if (n == 0) break;
    got += n;
  }
  return 0;
}

int FileWrite(FileHandle handle, const void* data, std::size_t length, std::size_t& written) {
  static const bool sigpipeIgnored = IgnoreSigpipe();
  (void)sigpipeIgnored;
  written = 0;
  const auto* p = static_cast<const char*>(data);
  while (written < length) {
    const ssize_t n = CallWrite(handle, p + written, length - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;  // no progress: never loop for ever
    const auto done = static_cast<std::size_t>(n);
    written += done <= length - written ? done : length - written;
  }
  return 0;
}

int FileFlush(FileHandle handle) {
  if (::fsync(handle) == 0) return 0;
  if (errno == EINVAL || errno == EROFS) return 0;  // pipes and terminals keep nothing back
  return errno;
}

int FileGetType(FileHandle handle, std::uint32_t& type) {
  type = kFileTypeUnknown;
  struct stat st {};
  if (::fstat(handle, &st) != 0) return errno;
  if (S_ISREG(st.st_mode))
    type = kFileTypeDisk;
  else if (S_ISCHR(st.st_mode))
    type = kFileTypeChar;
  else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
    type = kFileTypePipe;
  return 0;
}

bool FileGetInformation(FileHandle handle, FileInformation& info, int& error) {
  info = FileInformation{};
  error = 0;
  struct statx sx {};
  if (::statx(handle, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
    error = errno;
    return false;
  }
  if (!S_ISREG(sx.stx_mode)) return false;
  info.attributes = kAttrArchive | ((sx.stx_mode & S_IWUSR) ? 0 : kAttrReadOnly);
  info.lastAccessTime = ToFileTime(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
  info.lastWriteTime = ToFileTime(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
  info.creationTime = (sx.stx_mask & STATX_BTIME)
                          ? ToFileTime(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                          : info.lastWriteTime;
  const auto device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  info.volumeSerial = static_cast<std::uint32_t>(device ^ (device >> 32));
  info.sizeHigh = static_cast<std::uint32_t>(sx.stx_size >> 32);
  info.sizeLow = static_cast<std::uint32_t>(sx.stx_size);
  info.links = sx.stx_nlink;
  info.indexHigh = static_cast<std::uint32_t>(sx.stx_ino >> 32);
  info.indexLow = static_cast<std::uint32_t>(sx.stx_ino);
  return true;
}

int PathAttributes(const char* name, std::uint32_t& attributes) {
  attributes = 0;
  if (!name || !*name) return ENOENT;
  struct stat st {};
  if (::stat(name, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode))
    attributes = kAttrDirectory;
  else
    attributes = kAttrArchive | ((st.st_mode & S_IWUSR) ? 0 : kAttrReadOnly);
  const char* base = std::strrchr(name, '/');
  base = base ? base + 1 : name;
  if (base[0] == '.' && base[1] != '\0' && std::strcmp(base, "..") != 0) attributes |= kAttrHidden;
  return 0;
}

int FileDelete(const char* name) {
  if (!name || !*name) return ENOENT;
  return ::unlink(name) == 0 ? 0 : errno;
}

int PathHoldsNoSpecialFile(const char* name) {
  if (!name || !*name) return ENOENT;
  struct stat st {};
  if (::stat(name, &st) != 0) return errno == ENOENT ? 0 : errno;
  return S_ISREG(st.st_mode) ? 0 : SpecialFileError(st.st_mode);
}

int FileRename(const char* from, const char* to) {
  if (!from || !*from || !to || !*to) return ENOENT;
  return ::rename(from, to) == 0 ? 0 : errno;
}

std::uint64_t SystemTimeAsFileTime() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return ToFileTime(ts.tv_sec, ts.tv_nsec);
}

}  // namespace torq::platform
