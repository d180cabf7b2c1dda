#include "torqup/temporary_files.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/build_stamp.h"
#include "support/paths.h"
#include "torqup/replace_output.h"

TORQ_BUILD_STAMP("TorqTempFiles")

namespace {

// Storage the signal handler reads: fixed at start, no allocation, no locks. A slot's path is
// written while the slot is free and published by setting its flag; the handler reads only
// published slots.
constexpr int kSlots = 8;
char gPaths[kSlots][kTorqMaxPath];
volatile std::sig_atomic_t gInUse[kSlots];
// -1: the file is removed; else a file appended to in place, cut back to this length.
std::int64_t gKeptLength[kSlots];

// Takes back what a slot stands for, with async-signal-safe calls only.
void UndoSlot(int i) {
  if (gKeptLength[i] < 0) {
    unlink(gPaths[i]);
    return;
  }
  const int fd = open(gPaths[i], O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
  if (fd < 0) return;
  [[maybe_unused]] const int cut = ftruncate(fd, static_cast<off_t>(gKeptLength[i]));
  close(fd);
}

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTemporariesAndRaise(int signal) {
  const int saved = errno;
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i] != 0) UndoSlot(i);
  }
  // The handler was installed with SA_RESETHAND: the default disposition is back, and the
  // signal, raised again, ends the process once the handler returns.
  raise(signal);
  errno = saved;
}

bool Exists(const char* path) {
  struct stat info {};
  return lstat(path, &info) == 0 || errno != ENOENT;
}

// A free slot, or one whose file is gone (its registration was never ended); -1 when none.
int FreeSlot() {
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i] == 0) return i;
  }
  for (int i = 0; i < kSlots; ++i) {
    if (!Exists(gPaths[i])) return i;
  }
  return -1;
}

void Register(const std::string& name, std::int64_t keptLength = -1) {
  if (name.size() >= kTorqMaxPath) return;
  const int slot = FreeSlot();
  if (slot < 0) return;
  gInUse[slot] = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(gPaths[slot], name.c_str(), name.size() + 1);
  gKeptLength[slot] = keptLength;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gInUse[slot] = 1;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Copies the rest of `in` to `out`: in the kernel where it can (a reflink on file systems that
// share blocks), else through a buffer. 0 or an errno value.
int CopyContent(int in, int out) {
  for (;;) {
    const ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1u << 30, 0);
    if (n == 0) return 0;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return errno;
    break;
  }
  static char buffer[65536];
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return errno;
      done += put;
    }
  }
}

int SyncPath(const char* path, int flags) {
  const int fd = open(path, flags | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = fsync(fd) != 0 && errno != EINVAL ? errno : 0;
  close(fd);
  return error;
}


// The permission bits a plain create gives a new file.
mode_t CreateMode() {
  static const mode_t mask = [] {
    const mode_t current = umask(077);
    umask(current);
    return current;
  }();
  return 0666 & ~mask;
}

// Whether `path` lies in a process file system, whose links (/proc/self/fd/1 behind
// /dev/stdout) name open descriptors, not files that could be replaced.
bool InProcessFileSystem(const std::string& path) {
  struct statfs info {};
  const std::string folder = FolderOf(path);
  return statfs(folder.empty() ? "." : folder.c_str(), &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Creates a new temporary file in `folder` under a name of random letters, exclusively and
// readable by its owner only, and registers it for the signal handler before a signal can
// leave it behind. The descriptor, or -1 with errno set.
int CreateTemporary(const std::string& folder, std::string& name) {
  char pattern[kTorqMaxPath];
  const int n = std::snprintf(pattern, sizeof pattern, "%s.torq4-XXXXXX.tmp", folder.c_str());
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof pattern) {
    errno = ENAMETOOLONG;
    return -1;
  }
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (const int signal : kCleanupSignals) sigaddset(&blocked, signal);
  sigprocmask(SIG_BLOCK, &blocked, &previous);
  const int fd = mkostemps(pattern, 4, O_CLOEXEC);
  const int error = errno;
  if (fd >= 0) {
    name = pattern;
    Register(name);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  errno = error;
  return fd;
}

}  // namespace

void ReleaseTemporary(const std::string& name) {
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i] != 0 && name == gPaths[i]) gInUse[i] = 0;
  }
}

void RegisterAppended(const std::string& target, std::int64_t keptLength, bool created) {
  Register(target, created ? -1 : keptLength);
}

void RemoveTemporaries() {
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i] == 0) continue;
    UndoSlot(i);
    gInUse[i] = 0;
  }
}

void InstallTemporaryCleanup() {
  for (const int signal : kCleanupSignals) {
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndRaise;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
}

bool ReplaceableTarget(const std::string& name, std::string& resolved) {
  std::string path = name;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
      // Not there (or not to be looked at): creating the file tells what is wrong, if anything.
      resolved = path;
      return true;
    }
    if (S_ISREG(info.st_mode)) {
      resolved = path;
      return true;
    }
    if (!S_ISLNK(info.st_mode) || InProcessFileSystem(path)) return false;
    char link[kTorqMaxPath];
    const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
    if (n <= 0) return false;
    link[n] = '\0';
    path = link[0] == '/' ? std::string(link) : FolderOf(path) + link;
  }
  return false;
}

bool WritesThroughTemporary(const std::string& target) {
  std::string resolved;
  return !target.empty() && ReplaceableTarget(target, resolved);
}

int FileLock::Acquire(const std::string& name, bool create, bool& created) {
  Release();
  created = false;
  // A FIFO or device must not hold the open; only a regular file is locked.
  // A file that may be made here is one to append to: its descriptor also cuts it back.
  const int kFlags = (create ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int fd = create ? open(name.c_str(), kFlags | O_CREAT | O_EXCL, CreateMode()) : -1;
    const bool made = fd >= 0;
    if (fd < 0 && create && errno != EEXIST) return errno;
    if (fd < 0) fd = open(name.c_str(), kFlags);
    if (fd < 0) {
      if (create && errno == ENOENT) continue;  // removed between the two opens
      return errno;
    }
    struct stat locked {}, named {};
    int error = fstat(fd, &locked) != 0 ? errno : 0;
    if (error == 0 && !S_ISREG(locked.st_mode)) error = EINVAL;
    while (error == 0 && flock(fd, LOCK_EX) != 0) {
      // A file system without locks (some network ones) is worked on as before, unlocked.
      if (errno == ENOLCK || errno == EOPNOTSUPP) break;
      if (errno != EINTR) error = errno;
    }
    if (error != 0) {
      close(fd);
      return error;
    }
    // Another run may have replaced or removed the file while this one waited for the lock.
    if (lstat(name.c_str(), &named) == 0 && SameFile(locked, named)) {
      fstat(fd, &locked);
      fd_ = fd;
      length_ = static_cast<std::int64_t>(locked.st_size);
      created = made;
      return 0;
    }
    close(fd);
  }
  return EAGAIN;
}

bool FileLock::Names(const std::string& name) const {
  struct stat locked {}, named {};
  return fd_ >= 0 && fstat(fd_, &locked) == 0 && lstat(name.c_str(), &named) == 0 && SameFile(locked, named);
}

void FileLock::Release() {
  if (fd_ < 0) return;
  close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
  length_ = 0;
}

int TemporaryFile::Begin(const std::string& target, bool keepContent) {
  Discard();
  if (!ReplaceableTarget(target, target_)) target_ = target;
  struct stat info {};
  existed_ = false;
  if (keepContent) {
    bool created = false;
    const int error = lock_.Acquire(target_, false, created);
    if (error != 0 && error != ENOENT) return error;
    existed_ = error == 0 && fstat(lock_.Descriptor(), &info) == 0;
  } else {
    existed_ = stat(target_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
  mode_ = info.st_mode;
  uid_ = info.st_uid;
  gid_ = info.st_gid;
  fd_ = CreateTemporary(FolderOf(target_), name_);
  if (fd_ < 0) {
    const int error = errno;
    name_.clear();
    lock_.Release();
    return error;
  }
  if (lock_.Descriptor() >= 0) {
    int error = lseek(lock_.Descriptor(), 0, SEEK_SET) < 0 ? errno : 0;
    if (error == 0) error = CopyContent(lock_.Descriptor(), fd_);
    if (error != 0) {
      Discard();
      return error;
    }
  }
  return 0;
}

int TemporaryFile::Commit(bool sync) {
  if (!Active()) return 0;
  struct stat mine {}, named {};
  int error = fstat(fd_, &mine) != 0 ? errno : 0;
  // The name must still lead to the file this run created and wrote.
  if (error == 0 && lstat(name_.c_str(), &named) != 0) error = errno;
  if (error == 0 && !SameFile(mine, named)) error = EEXIST;
  if (error == 0 && sync && fsync(fd_) != 0 && errno != EINVAL) error = errno;
  if (error == 0 && existed_) {
    // Owner and group first: a change of owner clears the set-id bits that fchmod then sets.
    if ((mine.st_uid != uid_ || mine.st_gid != gid_) && fchown(fd_, uid_, gid_) != 0 && mine.st_gid != gid_) {
      [[maybe_unused]] const int group = fchown(fd_, static_cast<uid_t>(-1), gid_);
    }
    if (fchmod(fd_, mode_ & 07777) != 0) error = errno;
  } else if (error == 0 && fchmod(fd_, CreateMode()) != 0) {
    error = errno;
  }
  if (error == 0 && ReplaceOutput(name_, target_) != 0) error = errno;
  if (error != 0) {
    Discard();
    return error;
  }
  ReleaseTemporary(name_);
  name_.clear();
  close(fd_);
  fd_ = -1;
  lock_.Release();
  // The file is in place; a folder that cannot be flushed leaves it there.
  if (sync) {
    const std::string folder = FolderOf(target_);
    SyncPath(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  }
  return 0;
}

void TemporaryFile::Discard() {
  if (!Active()) return;
  // Only the file this run made goes, never one that took its name since.
  struct stat mine {}, named {};
  if (fstat(fd_, &mine) == 0 && lstat(name_.c_str(), &named) == 0 && SameFile(mine, named)) unlink(name_.c_str());
  ReleaseTemporary(name_);
  name_.clear();
  close(fd_);
  fd_ = -1;
  lock_.Release();
}
