// torq4: compresses files into a TORQFILE and restores them, driven by one parameter string
// made of the command-line arguments.
#include <strings.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "support/environment.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/message_output.h"
#include "support/registration.h"
#include "support/sysinfo.h"
#include "torqup/run_driver.h"
#include "torqup/temporary_files.h"

// The title line shows when torq4 itself was built.
extern const char gMainBuildTime[] = __DATE__ " " __TIME__;

namespace {

// Launchers pass a descriptor in TORQ_RC_FD to receive the whole return code. The standard
// streams are never taken: the code would land in the data of a restore to standard output.
void ReportReturnCode(std::int32_t rc) {
  const char* variable = std::getenv("TORQ_RC_FD");
  if (variable == nullptr || *variable == '\0') return;
  char* end = nullptr;
  const long fd = std::strtol(variable, &end, 10);
  if (*end != '\0' || fd <= STDERR_FILENO || fd > 1024 * 1024) return;
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%d", rc);
  if (n > 0) {
    [[maybe_unused]] const ssize_t written = write(static_cast<int>(fd), text, static_cast<std::size_t>(n));
  }
}

std::int32_t Run(int argc, char** argv, char*& parameters) {
  std::int32_t result = TestByteOrder(1);
  if (result != 0) return result;
  result = SetExeName();
  if (result != 0) {
    MsgList(result, LastTorqHint);
    return result;
  }
  result = LoadEnvironment(gTorqExe);
  if (result < 0) {
    std::fprintf(stderr, "*ERROR* %d: LoadEnvironment failed (%s missing), call torqinit before first usage\n", result,
                 LastTorqHint);
    return result;
  }
  if (result != 0) return result;
  if (argc == 1) {
    MsgListOemF("TORQ(R) Version %s %s\n", GetExeVersion(gTorqExe, nullptr), gMainBuildTime);
    return 1;
  }
  if (argc == 2 && strcasecmp(argv[1], "/reg") == 0) {
    result = SetAppPath(gTorqExe);
    if (result == 0) result = SetAppEnv(gTorqExe);
    return result;
  }
  std::uint32_t length = 0;
  parameters = MakeParString(argc, argv, length);
  RunContext* handle = nullptr;
  torqup(handle, result, parameters, length);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  // Over a file-size limit a write then fails with EFBIG and the run takes back what it wrote,
  // where the signal would end it with a temporary or a grown output left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  InstallTemporaryCleanup();
  char* parameters = nullptr;
  std::int32_t result = 0;
  try {
    result = Run(argc, argv, parameters);
  } catch (...) {
    result = -3;
    RemoveTemporaries();
  }
  if (result >= 0) {
    rmHeapFree0(&parameters);
    TorqFreeEnvironment();
  }
  ReportReturnCode(result);
  return ExitStatusOf(result);
}
