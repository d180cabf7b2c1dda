// The path of the running program and of the loaded module that holds a given function.
#pragma once
#include <cstddef>

namespace torq::platform {

// The running program's full path; returns its length, or 0 when it is unknown or does not
// fit `size` bytes (NUL included).
std::size_t ProgramPath(char* buffer, std::size_t size);

// The full path of the executable or shared library that contains `address` (use one of the
// module's own functions); same results as ProgramPath.
std::size_t ModulePath(const void* address, char* buffer, std::size_t size);

}  // namespace torq::platform
