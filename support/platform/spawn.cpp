#include "support/platform/spawn.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
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

// A close-on-exec pipe with both ends above the standard descriptors; 0 or the error.
int OwnPipe(int ends[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) return errno;
  ends[0] = MoveUp(ends[0]);
  ends[1] = MoveUp(ends[1]);
  if (ends[0] >= 0 && ends[1] >= 0) return 0;
  const int error = errno;
  CloseFd(ends[0]);
  CloseFd(ends[1]);
  return error;
}

// Places one standard stream of the child (between fork and exec: system calls only).
bool PlaceStream(int target, const ChildStream& stream) {
  switch (stream.kind) {
    case ChildStream::kInherit: return true;
    case ChildStream::kNull: {
      const int fd = ::open("/dev/null", target == 0 ? O_RDONLY : O_WRONLY);
      if (fd < 0) return false;
      const bool placed = fd == target || ::dup2(fd, target) == target;
      if (fd != target) ::close(fd);
      return placed;
    }
    case ChildStream::kDescriptor: return ::dup2(stream.fd, target) == target;
  }
  return false;
}

// The child's side between fork and exec: only system calls, no allocation, no locks. A
// failure is reported through `errorPipe` (closed by a successful exec).
[[noreturn]] void ExecChild(const SpawnRequest& request, int rcWrite, int errorPipe, char* const* envp) {
  int error = 0;
  if (request.newSession && ::setsid() < 0) error = errno;
  // Lowered before the program starts, so it never runs at the caller's priority.
  if (error == 0 && request.idlePriority && ::setpriority(PRIO_PROCESS, 0, 19) != 0) error = errno;
  for (int target = 0; target < 3 && error == 0; ++target)
    if (!PlaceStream(target, request.streams[target])) error = errno;
  if (error == 0 && rcWrite >= 0 && ::dup2(rcWrite, kChildRcFd) != kChildRcFd) error = errno;
  // Every other descriptor ends with the exec; the error pipe stays open until then.
  if (error == 0 &&
      ::close_range(rcWrite >= 0 ? kChildRcFd + 1 : 3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) error = errno;
  if (error == 0) {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &standard, nullptr);  // some cannot be set
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(request.path, const_cast<char* const*>(request.argv), envp);
    error = errno;
  }
  while (::write(errorPipe, &error, sizeof error) < 0 && errno == EINTR) {
  }
  ::_exit(127);
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
    if (const int error = OwnPipe(pipeEnds)) return error;
  }
  int errorEnds[2] = {-1, -1};
  if (const int error = OwnPipe(errorEnds)) {
    CloseFd(pipeEnds[0]);
    CloseFd(pipeEnds[1]);
    return error;
  }

  const std::vector<std::string> environment = ChildEnvironment(request.returnCodePipe);
  std::vector<char*> envp;
  envp.reserve(environment.size() + 1);
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  child.started = WallClock();
  child.startedMicroseconds = MonotonicMicroseconds();
  const pid_t pid = ::fork();
  if (pid == 0) ExecChild(request, pipeEnds[1], errorEnds[1], envp.data());
  int error = pid < 0 ? errno : 0;
  CloseFd(errorEnds[1]);
  CloseFd(pipeEnds[1]);
  if (pid > 0) {
    // The exec closes the error pipe; anything read from it is the child's failure.
    int reported = 0;
    ssize_t n;
    do {
      n = ::read(errorEnds[0], &reported, sizeof reported);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof reported)) {
      error = reported != 0 ? reported : EIO;
      int status;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  CloseFd(errorEnds[0]);
  if (error != 0) {
    CloseFd(pipeEnds[0]);
    return error;
  }
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
