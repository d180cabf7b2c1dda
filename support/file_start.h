// Reading the first bytes of a named file in one go, for the loaders of small data files.
#pragma once
#include <cstddef>

enum class FileStartRead {
  kRead,       // all bytes arrived
  kNotOpened,  // the file could not be opened for reading, or is no regular file
  kShort,      // the file ended, or a read failed, before all bytes arrived
};

// Opens the file through the platform layer, reads `length` bytes from its start into
// `buffer` and closes it. On failure the thread's last system error tells why.
FileStartRead ReadFileStart(const char* name, void* buffer, std::size_t length);
