// Real record inputs made at run time from the system's C headers: the lines of every *.h of
// the standard include folder (files in name order) as 80-byte EBCDIC card images, cut or
// blank-padded, and as text lines ending in LF.
#pragma once
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/code_tables.h"

namespace real_records {

using Bytes = std::vector<std::uint8_t>;

enum Kind { kCards, kText };

inline std::vector<std::string> HeaderLines() {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/usr/include", ec))
    if (e.is_regular_file(ec) && e.path().extension() == ".h") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<std::string> lines;
  for (const auto& f : files) {
    std::ifstream in(f);
    for (std::string line; std::getline(in, line);) lines.push_back(std::move(line));
  }
  return lines;
}

inline std::vector<Bytes> Make(Kind kind) {
  std::vector<Bytes> records;
  for (const std::string& line : HeaderLines()) {
    Bytes r;
    if (kind == kCards) {
      r.assign(80, ca2e[' ']);
      for (std::size_t i = 0; i < line.size() && i < 80; ++i)
        r[i] = ca2e[static_cast<unsigned char>(line[i])];
    } else {
      r.assign(line.begin(), line.end());
      r.push_back('\n');
    }
    records.push_back(std::move(r));
  }
  return records;
}

// Empty when the system has no headers.
inline const std::vector<Bytes>& Records(Kind kind) {
  static std::vector<Bytes> cache[2];
  if (cache[kind].empty()) cache[kind] = Make(kind);
  return cache[kind];
}

}  // namespace real_records
