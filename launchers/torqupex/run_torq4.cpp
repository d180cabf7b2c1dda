#include "launchers/torqupex/run_torq4.h"

#include <fcntl.h>
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
constexpr std::int32_t kSystemErrorTag = 0x0F000000;

bool Executable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

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
  const char* search = std::getenv("PATH");
  std::string dirs = search ? search : "";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
    const std::string candidate = dir + "/" + kProgram;
    if (Executable(candidate)) return Store(candidate, path, size);
    start = end + 1;
  }
  return false;
}

std::int32_t RunTorq4(TArgv& argv, const char* program) {
  // The log is optional: without it the child runs without error output.
  int log = ::open(kLogFile, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
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
