// Directory search for input name patterns. Only '*' (any run of characters) and '?' (one
// character) are wildcards, and only in the last path component; '[' and every other
// character stand for themselves. A pattern without wildcards names one file literally.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torq::platform {

// True when the text holds '*' or '?'.
bool HasWildcards(std::string_view text);
// True when the whole name matches the pattern ('*' and '?' only).
bool WildcardMatch(std::string_view pattern, std::string_view name);

// An open search: the matching paths in sorted order and the next one to hand out.
struct FileSearch {
  std::vector<std::string> paths;
  std::size_t next = 0;
};

// Starts a search and hands out its first path: the directory part of the pattern as given
// followed by the entry's name. A wildcard pattern finds the regular files of the directory
// whose names match, skipping hidden (dot) names and everything that is not a regular file,
// sorted by name; a literal pattern finds the named file itself, whatever its kind, when it
// exists. Returns 0 with a new search (to be ended with FindClose), or ENOENT when nothing
// matches (no search is left open), or another system error (ENOMEM when memory runs out).
int FindFirst(const char* pattern, FileSearch*& search, const std::string*& path);
// The next path of the search (valid until the search ends); null when there is none.
const std::string* FindNext(FileSearch& search);
// Ends a search; the pointer becomes null.
void FindClose(FileSearch*& search);

}  // namespace torq::platform
