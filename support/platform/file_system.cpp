#include "support/platform/file_system.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace torq::platform {

bool QueryFileStatus(const char* path, FileStatus* status) {
  if (!path || !*path) {
    errno = ENOENT;
    return false;
  }
  struct stat st {};
  if (::stat(path, &st) != 0) return false;
  status->directory = S_ISDIR(st.st_mode);
  status->size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool MakeDirectory(const char* path) { return path && ::mkdir(path, 0777) == 0; }

bool MakeDirectoryTree(const char* path) {
  if (!path || !*path) {
    errno = ENOENT;
    return false;
  }
  std::string dir(path);
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  FileStatus st;
  if (QueryFileStatus(dir.c_str(), &st)) return st.directory;
  // Every parent from the top down, then the directory itself; failures show in the final test.
  for (std::size_t i = 1; i < dir.size(); ++i) {
    if (dir[i] != '/' || dir[i - 1] == '/') continue;
    dir[i] = '\0';
    if (!QueryFileStatus(dir.c_str(), &st)) ::mkdir(dir.c_str(), 0777);
    dir[i] = '/';
  }
  ::mkdir(dir.c_str(), 0777);
  return QueryFileStatus(dir.c_str(), &st) && st.directory;
}

std::size_t FullPathByText(const char* name, char* buffer, std::size_t size) {
  if (!name || !*name) {
    errno = ENOENT;
    return 0;
  }
  std::string text;
  if (name[0] != '/') {
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) return 0;
    text = cwd;
    text += '/';
  }
  text += name;
  const bool trailingSlash = text.back() == '/';

  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('/', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view part(text.data() + pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    pos = end + 1;
  }
  std::string full;
  for (const auto& p : parts) {
    full += '/';
    full += p;
  }
  if (full.empty() || trailingSlash) full += '/';

  if (!buffer || full.size() + 1 > size) return full.size() + 1;
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  return full.size();
}

bool FileSizeOfHandle(int handle, std::uint64_t* size) {
  struct stat st {};
  if (::fstat(handle, &st) != 0) return false;
  *size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool SeekHandle(int handle, std::int64_t distance, int origin, std::uint64_t* position) {
  int whence;
  switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: errno = EINVAL; return false;
  }
  const off_t r = ::lseek(handle, static_cast<off_t>(distance), whence);
  if (r < 0) return false;
  if (position) *position = static_cast<std::uint64_t>(r);
  return true;
}

}  // namespace torq::platform
