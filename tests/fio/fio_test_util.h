// Helpers of the record layer tests: a scratch directory, file contents, standard stream
// redirection and injected read/write failures.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/platform/file_io.h"

namespace fiotest {

// A fresh directory under /tmp, removed with everything in it at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/torq_fio_XXXXXX";
    const char* made = ::mkdtemp(name);
    path_ = made ? made : "";
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Deterministic bytes that do not repeat with a period of 64 KB.
inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed = 1) {
  std::vector<std::uint8_t> v(size);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return v;
}

inline void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), {});
}

inline bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Puts `fd` in place of a standard descriptor (0 or 1) for the life of the object; fd -1
// closes the standard descriptor instead.
class Redirect {
 public:
  Redirect(int target, int fd) : target_(target), saved_(::dup(target)) {
    if (fd >= 0)
      ::dup2(fd, target);
    else
      ::close(target);
  }
  ~Redirect() {
    ::dup2(saved_, target_);
    ::close(saved_);
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;

 private:
  int target_;
  int saved_;
};

// Injected failures: set the fields, then install with ScopedHooks.
struct HookState {
  int readCalls = 0;
  int failReadAt = 0;       // the n-th read call fails with readErrno (0: never)
  int readErrno = EIO;
  int interruptReads = 0;   // the first n read calls give EINTR
  std::size_t readChunk = 0;  // at most this many bytes per read (0: no limit)

  int writeCalls = 0;
  int failWriteAt = 0;      // the n-th write call fails with writeErrno (0: never)
  int writeErrno = ENOSPC;
  int interruptWrites = 0;
  std::size_t writeChunk = 0;  // at most this many bytes per write
  bool writeNothing = false;   // every write reports 0 bytes
  std::vector<std::pair<long long, std::size_t>> writes;  // (file offset, length) per write
};

inline HookState g_hooks;

inline ssize_t HookRead(int fd, void* buffer, std::size_t length) {
  const int call = ++g_hooks.readCalls;
  if (call <= g_hooks.interruptReads) {
    errno = EINTR;
    return -1;
  }
  if (g_hooks.failReadAt && call == g_hooks.failReadAt) {
    errno = g_hooks.readErrno;
    return -1;
  }
  if (g_hooks.readChunk && length > g_hooks.readChunk) length = g_hooks.readChunk;
  return ::read(fd, buffer, length);
}

inline ssize_t HookWrite(int fd, const void* data, std::size_t length) {
  const int call = ++g_hooks.writeCalls;
  if (call <= g_hooks.interruptWrites) {
    errno = EINTR;
    return -1;
  }
  if (g_hooks.failWriteAt && call >= g_hooks.failWriteAt) {
    errno = g_hooks.writeErrno;
    return -1;
  }
  if (g_hooks.writeNothing) return 0;
  if (g_hooks.writeChunk && length > g_hooks.writeChunk) length = g_hooks.writeChunk;
  g_hooks.writes.emplace_back(static_cast<long long>(::lseek(fd, 0, SEEK_CUR)), length);
  return ::write(fd, data, length);
}

class ScopedHooks {
 public:
  ScopedHooks() {
    g_hooks = HookState{};
    torq::platform::SetFileIoHooks(&table_);
  }
  ~ScopedHooks() { torq::platform::SetFileIoHooks(nullptr); }
  ScopedHooks(const ScopedHooks&) = delete;
  ScopedHooks& operator=(const ScopedHooks&) = delete;
  HookState& operator*() { return g_hooks; }
  HookState* operator->() { return &g_hooks; }

 private:
  torq::platform::FileIoHooks table_{HookRead, HookWrite};
};

}  // namespace fiotest
