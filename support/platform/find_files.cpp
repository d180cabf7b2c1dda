#include "support/platform/find_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

namespace torq::platform {

bool HasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

// Greedy match that backs up to the last '*' on a mismatch: at most pattern x name steps.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int Collect(const std::string& pattern, std::vector<std::string>& paths) {
  const std::size_t slash = pattern.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  const std::string_view last = std::string_view(pattern).substr(dir.size());

  if (!HasWildcards(last)) {
    struct stat st {};
    if (::stat(pattern.c_str(), &st) != 0) return errno;
    paths.push_back(pattern);
    return 0;
  }

  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.empty() ? "." : dir.c_str()));
  if (!d) return errno;
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(d.get());
    if (!e) {
      if (errno != 0) return errno;
      break;
    }
    const std::string_view name(e->d_name);
    if (name.empty() || name[0] == '.') continue;  // hidden names, "." and ".."
    if (!WildcardMatch(last, name)) continue;
    std::string path = dir;
    path += name;
    if (e->d_type != DT_REG && !IsRegularFile(path)) continue;
    paths.push_back(std::move(path));
  }
  if (paths.empty()) return ENOENT;
  std::sort(paths.begin(), paths.end());
  return 0;
}

}  // namespace

int FindFirst(const char* pattern, FileSearch*& search, const std::string*& path) {
  search = nullptr;
  path = nullptr;
  if (!pattern || !*pattern) return ENOENT;
  try {
    auto found = std::make_unique<FileSearch>();
    if (const int error = Collect(pattern, found->paths)) return error;
    path = &found->paths[0];
    found->next = 1;
    search = found.release();
    return 0;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

const std::string* FindNext(FileSearch& search) {
  if (search.next >= search.paths.size()) return nullptr;
  return &search.paths[search.next++];
}

void FindClose(FileSearch*& search) {
  delete search;
  search = nullptr;
}

}  // namespace torq::platform
