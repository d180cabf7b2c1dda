#include "support/platform/process.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace torq::platform {

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(::getpid()); }

bool LowerPriority(int level) {
  // Nice values standing for the below-normal and the idle priority class.
  const int nice = level == 1 ? 10 : level == 2 ? 19 : 0;
  if (nice == 0) {
    errno = EINVAL;
    return false;
  }
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, 0);
  if (current == -1 && errno != 0) return false;
  if (current >= nice) return true;  // already as low or lower; never raise it
  return ::setpriority(PRIO_PROCESS, 0, nice) == 0;
}

}  // namespace torq::platform
