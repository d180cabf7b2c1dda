#include "support/platform/standard_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace torq::platform {

bool RedirectStandardError(const char* name) {
  if (!name) return false;
  const int fd = ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::fflush(stderr);
  bool ok = true;
  if (fd != STDERR_FILENO) {
    ok = ::dup2(fd, STDERR_FILENO) >= 0;
    ::close(fd);
  }
  return ok;
}

}  // namespace torq::platform
