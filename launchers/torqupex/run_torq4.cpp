#include "launchers/torqupex/run_torq4.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/platform/program_path.h"
#include "support/platform/spawn.h"

namespace {

constexpr char kProgram[] = "torq4";
constexpr char kLogFile[] = "torq4.log";
// A start failure carries the system's error number under this tag, so that it never reads as
// one of torq4's own codes.
constexpr std::int32_t kSystemErrorTag = 0x0F000000;

bool Executable(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The folders PATH names, or the system's default path when it is unset.
std::string SearchPath() {
  if (const char* search = std::getenv("PATH")) return search;
  const std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
  if (size == 0) return {};
  std::string standard(size, '\0');
  ::confstr(_CS_PATH, standard.data(), size);
  standard.resize(size - 1);
  return standard;
}

// "torq4.log" in the current folder, for appending. Another user may have planted a link or a
// FIFO under that name: a link is not followed, opening does not wait for a reader, and only a
// regular file is written. -1 when there is no log to write.
int OpenLog() {
  const int fd = ::open(kLogFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd < 0) return -1;
  struct stat info {};
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool Store(const std::string& found, char* path, std::size_t size) {
  if (found.size() + 1 > size) return false;
  std::memcpy(path, found.c_str(), found.size() + 1);
  return true;
}

}  // namespace

bool FindTorq4(char* path, std::size_t size) {
  char module[4096];
  if (torq::platform::ModulePath(reinterpret_cast<const void*>(&FindTorq4), module, sizeof module) > 0) {
    std::string beside = module;
    beside.erase(beside.rfind('/') + 1);
    beside += kProgram;
    if (Executable(beside)) return Store(beside, path, size);
  }
  // Only absolute folders: an empty or relative entry would run whatever lies in the caller's
  // current folder.
  const std::string dirs = SearchPath();
  std::size_t start = 0;
  while (start < dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty() && dir[0] == '/') {
      const std::string candidate = dir + "/" + kProgram;
      if (Executable(candidate)) return Store(candidate, path, size);
    }
    start = end + 1;
  }
  return false;
}

std::int32_t RunTorq4(TArgv& argv, const char* program) {
  // The log is optional: without it the child runs without error output.
  const int log = OpenLog();
  char path[4096];
  int error = FindTorq4(path, sizeof path) ? 0 : ENOENT;
  torq::platform::ChildProcess child;
  if (error == 0) {
    torq::platform::SpawnRequest request;
    request.path = path;
    request.argv = argv.Items();
    request.newSession = true;
    request.idlePriority = true;
    request.returnCodePipe = true;
    request.streams[0].kind = torq::platform::ChildStream::kNull;
    request.streams[1].kind = torq::platform::ChildStream::kNull;
    if (log >= 0) {
      request.streams[2] = {torq::platform::ChildStream::kDescriptor, log};
    } else {
      request.streams[2].kind = torq::platform::ChildStream::kNull;
    }
    error = torq::platform::SpawnProcess(request, child);
  }
  if (error != 0) {
    if (log >= 0) {
      char line[256];
      const int n = std::snprintf(line, sizeof line, "*ERROR* CreateProcess %s: %lu\n", program,
                                  static_cast<unsigned long>(error));
      if (n > 0 && ::write(log, line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1) < 0) {
        // nothing more to tell: the result carries the error
      }
      ::close(log);
    }
    return kSystemErrorTag + error;
  }
  if (log >= 0) ::close(log);
  torq::platform::ChildEnd end;
  torq::platform::WaitForChild(child, end, false);
  return end.result;
}
