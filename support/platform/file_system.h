// File-system services: attributes, sizes, directory creation, full paths by text and
// positioning of open files.
#pragma once
#include <cstddef>
#include <cstdint>

namespace torq::platform {

struct FileStatus {
  bool directory = false;
  std::uint64_t size = 0;
};

// Follows links. False (with the system error set) when the path cannot be examined.
bool QueryFileStatus(const char* path, FileStatus* status);

// Creates one directory; true when it was created.
bool MakeDirectory(const char* path);
// Creates the directory and every missing parent (mkdir -p). True when it exists afterwards.
bool MakeDirectoryTree(const char* path);

// The absolute path of `name` by text alone: the current directory joined with a relative
// name, then "." and ".." steps and repeated '/' removed; the name need not exist. A trailing
// '/' is kept. Returns the length without NUL; when `size` is too small, the size needed
// (NUL included) and nothing is written; 0 on failure.
std::size_t FullPathByText(const char* name, char* buffer, std::size_t size);

// Size of an open file; false when it cannot be read.
bool FileSizeOfHandle(int handle, std::uint64_t* size);
// Moves the file position (origin 0 begin, 1 current, 2 end); false on failure.
bool SeekHandle(int handle, std::int64_t distance, int origin, std::uint64_t* position);

}  // namespace torq::platform
