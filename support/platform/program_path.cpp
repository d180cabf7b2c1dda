#include "support/platform/program_path.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/platform/file_system.h"

namespace torq::platform {

std::size_t ProgramPath(char* buffer, std::size_t size) {
  if (!buffer || size == 0) return 0;
  const ssize_t n = ::readlink("/proc/self/exe", buffer, size);
  if (n <= 0) return 0;
  if (static_cast<std::size_t>(n) >= size) {  // cut by readlink: refuse rather than truncate
    buffer[0] = '\0';
    errno = ENAMETOOLONG;
    return 0;
  }
  buffer[n] = '\0';
  return static_cast<std::size_t>(n);
}

std::size_t ModulePath(const void* address, char* buffer, std::size_t size) {
  if (!buffer || size == 0) return 0;
  Dl_info info{};
  if (!::dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) return ProgramPath(buffer, size);
  const std::size_t n = FullPathByText(info.dli_fname, buffer, size);
  if (n == 0 || n >= size) {
    buffer[0] = '\0';
    if (n) errno = ENAMETOOLONG;
    return 0;
  }
  return n;
}

}  // namespace torq::platform
