#include "torqup/temporary_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/build_stamp.h"
#include "support/paths.h"

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

// Creates the new file `to` with the permission bits of `from` when that exists, and with its
// bytes when `keepContent`. 0 or an errno value.
int CreateFrom(const std::string& from, const std::string& to, bool keepContent) {
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  if (out < 0) return errno;
  int error = 0;
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (in >= 0) {
    struct stat info {};
    if (fstat(in, &info) != 0 || fchmod(out, info.st_mode & 07777) != 0) error = errno;
    if (error == 0 && keepContent) error = CopyContent(in, out);
    close(in);
  } else if (errno != ENOENT) {
    error = errno;
  }
  if (close(out) != 0 && error == 0) error = errno;
  return error;
}

int SyncPath(const char* path, int flags) {
  const int fd = open(path, flags | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = fsync(fd) != 0 && errno != EINVAL ? errno : 0;
  close(fd);
  return error;
}

}  // namespace

std::string TemporaryName(const std::string& target) {
  static unsigned counter = 0;
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".torq4-%u-%u.tmp", static_cast<unsigned>(getpid()), ++counter);
  std::string name = FolderOf(target) + suffix;
  Register(name);
  return name;
}

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

bool WritesThroughTemporary(const std::string& target) {
  if (target.empty()) return false;
  struct stat info {};
  return stat(target.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

int TemporaryFile::Begin(const std::string& target, bool keepContent) {
  Discard();
  target_ = target;
  // A link stays a link: the file it names is the one replaced, from its own folder.
  struct stat info {};
  if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* real = realpath(target.c_str(), nullptr);
    if (real != nullptr) {
      target_ = real;
      std::free(real);
    }
  }
  name_ = TemporaryName(target);
  const int error = CreateFrom(target, name_, keepContent);
  if (error != 0) Discard();
  return error;
}

int TemporaryFile::Commit() {
  if (!Active()) return 0;
  int error = SyncPath(name_.c_str(), O_RDONLY);
  if (error == 0 && std::rename(name_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    Discard();
    return error;
  }
  ReleaseTemporary(name_);
  name_.clear();
  // The file is in place; a folder that cannot be flushed leaves it there.
  const std::string folder = FolderOf(target_);
  SyncPath(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  return 0;
}

void TemporaryFile::Discard() {
  if (!Active()) return;
  unlink(name_.c_str());
  ReleaseTemporary(name_);
  name_.clear();
}
