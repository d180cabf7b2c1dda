#include "support/platform/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace torq::platform {

namespace {

// The child finds the return-code pipe here; every descriptor above is closed.
constexpr int kChildRcFd = 3;
constexpr char kRcVariable[] = "TORQ_RC_FD=";
// Our own descriptors are moved above the standard ones, so that placing the child's streams
// can never overwrite one of them.
constexpr int kLowestOwnFd = 10;

std::timespec WallClock() {
  std::timespec t{};
  ::clock_gettime(CLOCK_REALTIME, &t);
  return t;
}

std::int64_t MonotonicMicroseconds() {
  std::timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// Moves a descriptor to kLowestOwnFd or above (close-on-exec); -1 with errno on failure.
int MoveUp(int fd) {
  if (fd < 0 || fd >= kLowestOwnFd) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kLowestOwnFd);
  const int error = errno;
  ::close(fd);
  errno = error;
  return moved;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

struct FileActions {
  posix_spawn_file_actions_t actions;
  FileActions() { posix_spawn_file_actions_init(&actions); }
  ~FileActions() { posix_spawn_file_actions_destroy(&actions); }
};

struct Attributes {
  posix_spawnattr_t attributes;
  Attributes() { posix_spawnattr_init(&attributes); }
  ~Attributes() { posix_spawnattr_destroy(&attributes); }
};

int PlaceStream(posix_spawn_file_actions_t* actions, int target, const ChildStream& stream) {
  switch (stream.kind) {
    case ChildStream::kInherit: return 0;
    case ChildStream::kNull:
      return posix_spawn_file_actions_addopen(actions, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY, 0);
    case ChildStream::kDescriptor: return posix_spawn_file_actions_adddup2(actions, stream.fd, target);
  }
  return EINVAL;
}

// The caller's environment without an inherited TORQ_RC_FD, plus ours when a pipe is passed.
std::vector<std::string> ChildEnvironment(bool withPipe) {
  std::vector<std::string> entries;
  for (char** e = environ; e && *e; ++e)
    if (std::strncmp(*e, kRcVariable, sizeof kRcVariable - 1) != 0) entries.emplace_back(*e);
  if (withPipe) entries.push_back(std::string(kRcVariable) + std::to_string(kChildRcFd));
  return entries;
}

// The code the child wrote to the pipe: decimal text of a 32-bit value, optionally followed by
// a line end. Read without blocking: a descendant of the child may still hold the pipe.
bool ReadPipeCode(int fd, std::int32_t& value) {
  if (fd < 0) return false;
  char text[32];
  std::size_t used = 0;
  while (used < sizeof text - 1) {
    const ssize_t n = ::read(fd, text + used, sizeof text - 1 - used);
    if (n > 0) {
      used += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  text[used] = '\0';
  std::size_t end = used;
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) text[--end] = '\0';
  if (end == 0) return false;
  const char* p = text[0] == '-' ? text + 1 : text;
  if (*p == '\0') return false;
  for (const char* q = p; *q; ++q)
    if (*q < '0' || *q > '9') return false;
  errno = 0;
  const long long v = std::strtoll(text, nullptr, 10);
  if (errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

// syscr, syscw, rchar and wchar of /proc/<pid>/io.
bool ReadIoCounters(pid_t pid, ChildEnd& end) {
  const std::string name = "/proc/" + std::to_string(pid) + "/io";
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char text[1024];
  ssize_t n;
  do {
    n = ::read(fd, text, sizeof text - 1);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  auto field = [&](const char* key, std::uint64_t& out) {
    const char* at = std::strstr(text, key);
    if (at) out = std::strtoull(at + std::strlen(key), nullptr, 10);
    return at != nullptr;
  };
  const bool bytes = field("rchar: ", end.readBytes) && field("wchar: ", end.writeBytes);
  return field("syscr: ", end.readOps) && field("syscw: ", end.writeOps) && bytes;
}

}  // namespace

int SpawnProcess(const SpawnRequest& request, ChildProcess& child) {
  child = ChildProcess{};
  if (!request.path || !request.argv || !request.argv[0]) return EINVAL;
  int pipeEnds[2] = {-1, -1};
  if (request.returnCodePipe) {
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return errno;
    pipeEnds[0] = MoveUp(pipeEnds[0]);
    pipeEnds[1] = MoveUp(pipeEnds[1]);
    if (pipeEnds[0] < 0 || pipeEnds[1] < 0) {
      const int error = errno;
      CloseFd(pipeEnds[0]);
      CloseFd(pipeEnds[1]);
      return error;
    }
  }

  FileActions actions;
  Attributes attributes;
  int error = 0;
  for (int target = 0; target < 3 && error == 0; ++target)
    error = PlaceStream(&actions.actions, target, request.streams[target]);
  if (error == 0 && request.returnCodePipe)
    error = posix_spawn_file_actions_adddup2(&actions.actions, pipeEnds[1], kChildRcFd);
  if (error == 0)
    error = posix_spawn_file_actions_addclosefrom_np(&actions.actions, request.returnCodePipe ? kChildRcFd + 1 : 3);

  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (request.newSession) flags |= POSIX_SPAWN_SETSID;
  if (error == 0) error = posix_spawnattr_setflags(&attributes.attributes, flags);
  if (error == 0) error = posix_spawnattr_setsigdefault(&attributes.attributes, &all);
  if (error == 0) error = posix_spawnattr_setsigmask(&attributes.attributes, &none);

  const std::vector<std::string> environment = ChildEnvironment(request.returnCodePipe);
  std::vector<char*> envp;
  envp.reserve(environment.size() + 1);
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_t pid = -1;
  if (error == 0) {
    child.started = WallClock();
    child.startedMicroseconds = MonotonicMicroseconds();
    error = posix_spawn(&pid, request.path, &actions.actions, &attributes.attributes,
                        const_cast<char* const*>(request.argv), envp.data());
  }
  CloseFd(pipeEnds[1]);
  if (error != 0) {
    CloseFd(pipeEnds[0]);
    return error;
  }
  // Lowered at once: spawning offers no way to set it before the program starts.
  if (request.idlePriority) ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), 19);
  if (pipeEnds[0] >= 0) ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
  child.pid = pid;
  child.rcPipe = pipeEnds[0];
  return 0;
}

void WaitForChild(ChildProcess& child, ChildEnd& end, bool statistics) {
  end = ChildEnd{};
  if (statistics) {
    // Seen ended but not yet reaped: its counters can still be read.
    siginfo_t info{};
    int r;
    do {
      r = ::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOWAIT);
    } while (r != 0 && errno == EINTR);
    end.ended = WallClock();
    end.runMicroseconds = MonotonicMicroseconds() - child.startedMicroseconds;
    end.haveIo = ReadIoCounters(child.pid, end);
  }
  int status = 0;
  pid_t reaped;
  do {
    reaped = ::wait4(child.pid, &status, 0, &end.usage);
  } while (reaped < 0 && errno == EINTR);
  if (!statistics) {
    end.ended = WallClock();
    end.runMicroseconds = MonotonicMicroseconds() - child.startedMicroseconds;
  }
  std::int32_t code = 0;
  const bool haveCode = ReadPipeCode(child.rcPipe, code);
  if (reaped < 0) {
    end.result = haveCode ? code : -3;
  } else if (WIFEXITED(status)) {
    end.exitStatus = WEXITSTATUS(status);
    end.result = haveCode && (code & 0xFF) == end.exitStatus ? code : end.exitStatus;
  } else {
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.result = -3;
  }
  ReleaseChild(child);
  child.pid = -1;
}

void ReleaseChild(ChildProcess& child) { CloseFd(child.rcPipe); }

}  // namespace torq::platform
