// A scratch folder holding copies of the launcher under test and of the stand-in as "torq4".
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace launchertest {

inline std::string BinFile(const char* name) { return std::string(TORQ_BIN_DIR) + "/" + name; }

inline std::string ReadText(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The key=value lines the stand-in recorded.
inline std::map<std::string, std::string> ReadRecord(const std::string& name) {
  std::map<std::string, std::string> values;
  std::istringstream in(ReadText(name));
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

class Scratch {
 public:
  Scratch() {
    char dir[] = "/tmp/torq_launch_XXXXXX";
    if (::mkdtemp(dir)) dir_ = dir;
  }
  ~Scratch() {
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Copies a built file of the bin folder into the scratch folder under `as`.
  bool Copy(const char* built, const std::string& as) const {
    std::error_code ec;
    std::filesystem::copy_file(BinFile(built), Path(as), std::filesystem::copy_options::overwrite_existing, ec);
    return !ec && ::chmod(Path(as).c_str(), 0755) == 0;
  }

 private:
  std::string dir_;
};

}  // namespace launchertest
