#include "support/platform/registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "support/platform/file_io.h"
#include "support/platform/file_system.h"

namespace torq::platform {
namespace {

struct Value {
  std::string name, value;
};
struct Key {
  std::string name;
  std::vector<Value> values;
};

std::string Folder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return std::string(xdg) + "/torq";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/torq";
  return {};
}

// Reads the whole file; a missing file is an empty registry.
int Load(std::vector<Key>& keys) {
  const std::string file = RegistryFile();
  if (file.empty()) return ENOENT;
  std::FILE* f = std::fopen(file.c_str(), "re");
  if (!f) return errno == ENOENT ? 0 : errno;
  std::string text;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) return EIO;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      keys.push_back({line.substr(1, line.size() - 2), {}});
    } else if (auto eq = line.find('='); eq != std::string::npos && !keys.empty()) {
      std::string name = line.substr(0, eq);
      keys.back().values.push_back({name == "@" ? "" : name, line.substr(eq + 1)});
    }
  }
  return 0;
}

int Save(const std::vector<Key>& keys) {
  const std::string folder = Folder();
  if (folder.empty()) return ENOENT;
  if (!MakeDirectoryTree(folder.c_str())) return errno ? errno : EACCES;
  std::ostringstream text;
  for (const Key& k : keys) {
    text << '[' << k.name << "]\n";
    for (const Value& v : k.values) text << (v.name.empty() ? "@" : v.name) << '=' << v.value << '\n';
  }
  const std::string file = RegistryFile();
  // The temporary is created new (never through a planted link or over a file that is there),
  // under a name no one can foresee, readable by its owner only; a clash tries another name.
  std::string temp = file + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno;
  const std::string s = text.str();
  std::size_t written = 0;
  int error = FileWrite(fd, s.data(), s.size(), written);
  if (error == 0) error = FileFlush(fd);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), file.c_str()) != 0) error = errno ? errno : EIO;
  if (error != 0) ::unlink(temp.c_str());
  return error;
}

bool Storable(const std::string& s) { return s.find_first_of("\n\r") == std::string::npos; }

}  // namespace

std::string RegistryFile() {
  const std::string folder = Folder();
  return folder.empty() ? folder : folder + "/registry";
}

int RegistryQueryString(const std::string& key, const std::string& name, std::string& value) {
  std::vector<Key> keys;
  if (int rc = Load(keys)) return rc;
  for (const Key& k : keys)
    if (k.name == key)
      for (const Value& v : k.values)
        if (v.name == name) {
          value = v.value;
          return 0;
        }
  return ENOENT;
}

int RegistrySetString(const std::string& key, const std::string& name, const std::string& value) {
  if (!Storable(key) || !Storable(name) || !Storable(value) || name.find('=') != std::string::npos ||
      name == "@")
    return EINVAL;
  std::vector<Key> keys;
  if (int rc = Load(keys)) return rc;
  Key* target = nullptr;
  for (Key& k : keys)
    if (k.name == key) target = &k;
  if (!target) target = &keys.emplace_back(Key{key, {}});
  bool set = false;
  for (Value& v : target->values)
    if (v.name == name) v.value = value, set = true;
  if (!set) target->values.push_back({name, value});
  return Save(keys);
}

}  // namespace torq::platform
