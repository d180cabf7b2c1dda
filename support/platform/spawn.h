// Starting a program as a child process and waiting for it: the service both launchers use.
// The child gets only the standard streams and, when asked, the write end of a pipe named by
// TORQ_RC_FD, through which torq4 passes its whole 32-bit return code (an exit status holds
// only 8 bits).
#pragma once
#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>

namespace torq::platform {

// What becomes of one standard stream of the child.
struct ChildStream {
  enum Kind { kInherit, kNull, kDescriptor } kind = kInherit;
  int fd = -1;  // for kDescriptor
};

struct SpawnRequest {
  const char* path = nullptr;          // the program file
  const char* const* argv = nullptr;   // null-ended; argv[0] is the program name
  bool newSession = false;             // the child leads a session of its own
  bool idlePriority = false;           // nice 19, the platform's idle level
  bool returnCodePipe = false;         // pass TORQ_RC_FD
  ChildStream streams[3];              // stdin, stdout, stderr
};

struct ChildProcess {
  pid_t pid = -1;
  int rcPipe = -1;           // read end of the return-code pipe, -1 when none
  std::timespec started{};   // wall clock at the start
  std::int64_t startedMicroseconds = 0;  // monotonic clock at the start
};

// Starts the program (fork and exec: the child takes its priority, session, streams, signal
// defaults and empty mask before the program starts). 0, or the system error number of the
// failure (nothing is left running).
int SpawnProcess(const SpawnRequest& request, ChildProcess& child);

// How the child ended, with its statistics when they were asked for.
struct ChildEnd {
  std::int32_t result = -3;  // the return code (see WaitForChild)
  int exitStatus = -1;       // 0-255, -1 when it did not exit normally
  int signal = 0;            // the signal that ended it, 0 when none
  std::timespec ended{};     // wall clock when its end was seen
  std::int64_t runMicroseconds = 0;
  rusage usage{};            // kernel and user time, peak resident set
  bool haveIo = false;       // the I/O counters below were read
  std::uint64_t readOps = 0, writeOps = 0, readBytes = 0, writeBytes = 0;
};

// Waits for the child (repeating on EINTR) and releases it. The result is the decimal code the
// child wrote to the pipe when it fits 32 bits and its low 8 bits equal the exit status, else the
// exit status; -3 for a child ended by a signal. When the wait cannot report (the host reaped
// the child) the pipe's code stands, else -3. `statistics` also collects the times and I/O
// counters of the child before it is reaped.
void WaitForChild(ChildProcess& child, ChildEnd& end, bool statistics);

// Releases what a child not waited for still holds (the pipe); the child runs on.
void ReleaseChild(ChildProcess& child);

}  // namespace torq::platform
