#include "support/paths.h"

#include "support/build_stamp.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <initializer_list>

#include "support/platform/file_system.h"

TORQ_BUILD_STAMP("TorqPaths")

namespace {

using torq::platform::FileStatus;
using torq::platform::QueryFileStatus;

// Length of `s` when below `limit`, else `limit`.
std::size_t BoundedLength(const char* s, std::size_t limit) { return strnlen(s, limit); }

bool Append(char* out, std::size_t size, std::size_t& used, const char* text, std::size_t n) {
  if (n >= size - used) return false;
  std::memcpy(out + used, text, n);
  used += n;
  out[used] = '\0';
  return true;
}

}  // namespace

const char* F_ExtractFilePath(const char* path) {
  static char result[kTorqMaxPath];
  result[0] = '\0';
  if (!path) return result;
  const std::size_t n = BoundedLength(path, kTorqMaxPath);
  if (n >= kTorqMaxPath) {
    errno = ENAMETOOLONG;
    return result;
  }
  const char* slash = nullptr;
  for (std::size_t i = n; i-- > 0;) {
    if (path[i] == '/') {
      slash = path + i;
      break;
    }
  }
  std::size_t keep = slash ? static_cast<std::size_t>(slash - path) : n;
  if (slash == path) keep = 1;  // a name in the root keeps the root "/"
  std::memcpy(result, path, keep);
  result[keep] = '\0';
  return result;
}

const char* F_ExtractFileName(const char* path) {
  if (!path) return nullptr;
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

char* F_ExtractFileName(char* path) {
  return const_cast<char*>(F_ExtractFileName(static_cast<const char*>(path)));
}

int F_DirectoryExists(const char* path) {
  FileStatus st;
  return QueryFileStatus(path, &st) && st.directory ? 1 : 0;
}

int F_FileExists(const char* path) {
  FileStatus st;
  return QueryFileStatus(path, &st) && !st.directory ? 1 : 0;
}

std::uint32_t F_GetFileSize(const char* path) { return F_GetFileSizeEx(path, nullptr); }

std::uint32_t F_GetFileSizeEx(const char* path, std::uint32_t* high) {
  FileStatus st;
  if (!QueryFileStatus(path, &st)) return 0xFFFFFFFFu;
  if (high) *high = static_cast<std::uint32_t>(st.size >> 32);
  return static_cast<std::uint32_t>(st.size);
}

void F_ForceDirectoriesEx(const char* dir) {
  if (!dir || !*dir) return;
  if (BoundedLength(dir, kTorqMaxPath) >= kTorqMaxPath) {
    errno = ENAMETOOLONG;
    return;
  }
  torq::platform::MakeDirectoryTree(dir);
}

int F_ForceDirectories(const char* path) {
  char full[kTorqMaxPath];
  const std::uint32_t n = F_GetFullPathName(path, sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return 0;
  F_ForceDirectoriesEx(full);
  return F_DirectoryExists(full);
}

std::uint32_t F_GetFullPathName(const char* name, std::uint32_t size, char* buffer, char** filePart) {
  const std::size_t n = torq::platform::FullPathByText(name, buffer, size);
  if (n == 0 || n >= size) return static_cast<std::uint32_t>(n);
  if (filePart) {
    char* part = std::strrchr(buffer, '/') + 1;  // a full path always holds a '/'
    *filePart = *part ? part : nullptr;
  }
  return static_cast<std::uint32_t>(n);
}

char* AdaptFileName(char* name) {
  if (!name) return name;
  auto isSep = [](char c) { return c == '/' || c == '\\'; };
  for (char* p = name; *p; ++p) {
    if (isSep(p[0]) && isSep(p[1])) {
      *p = '_';
    } else if (*p == '\\') {
      *p = '/';
    } else if (*p == ':' || *p == '<' || *p == '>' || *p == '|') {
      *p = '_';
    }
  }
  return name;
}

bool TorqGetFileSize(int handle, std::uint64_t* size) {
  if (torq::platform::FileSizeOfHandle(handle, size)) return true;
  *size = ~std::uint64_t{0};
  return false;
}

std::uint32_t TorqSetFilePointer(int handle, std::int64_t distance, std::uint64_t* newPosition, int origin) {
  std::uint64_t pos = 0;
  if (!torq::platform::SeekHandle(handle, distance, origin, &pos)) return 0xFFFFFFFFu;
  if (newPosition) *newPosition = pos;
  return static_cast<std::uint32_t>(pos);
}

int fnsplit(const char* path, char* drive, char* dir, char* name, char* ext) {
  for (char* out : {drive, dir, name, ext})
    if (out) *out = '\0';
  if (!path) return 0;
  const std::size_t n = BoundedLength(path, kTorqMaxPath);
  if (n >= kTorqMaxPath) {
    errno = ENAMETOOLONG;
    return 0;
  }
  int flags = 0;
  const char* file = path;
  if (const char* slash = std::strrchr(path, '/')) {
    file = slash + 1;
    if (dir) {
      std::memcpy(dir, path, static_cast<std::size_t>(file - path));
      dir[file - path] = '\0';
    }
    flags |= kFnDirectory;
  }
  // Leading dots belong to the name (".profile", "..").
  const char* rest = file;
  while (*rest == '.') ++rest;
  std::size_t nameLen = static_cast<std::size_t>(rest - file);
  if (nameLen) flags |= kFnName;
  const char* dot = std::strrchr(rest, '.');
  const char* end = path + n;
  if (dot) {
    if (ext) std::memcpy(ext, dot, static_cast<std::size_t>(end - dot) + 1);
    flags |= kFnExtension;
  } else {
    dot = end;
  }
  if (dot > rest) flags |= kFnName;
  if (name) {
    nameLen = static_cast<std::size_t>(dot - file);
    std::memcpy(name, file, nameLen);
    name[nameLen] = '\0';
  }
  if (std::strpbrk(path, "*?")) flags |= kFnWildcards;
  return flags;
}

void fnmerge(char* path, const char* /*drive*/, const char* dir, const char* name, const char* ext,
             std::size_t size) {
  if (!path || size == 0) return;
  path[0] = '\0';
  std::size_t used = 0;
  bool ok = true;
  if (dir && *dir) {
    const std::size_t n = std::strlen(dir);
    ok = Append(path, size, used, dir, n) && (dir[n - 1] == '/' || Append(path, size, used, "/", 1));
  }
  if (ok && name) ok = Append(path, size, used, name, std::strlen(name));
  if (ok && ext && *ext) ok = (ext[0] == '.' || Append(path, size, used, ".", 1)) && Append(path, size, used, ext, std::strlen(ext));
  if (!ok) path[0] = '\0';
}

const void* max_ptr(const void* a, const void* b) {
  if (!a) return b;
  if (!b) return a;
  return std::less<const void*>()(a, b) ? b : a;
}
