#include "support/registration.h"

#include "support/build_stamp.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "support/message_output.h"
#include "support/paths.h"
#include "support/platform/registry.h"

TORQ_BUILD_STAMP("TorqRegistry")

namespace {

std::string DirectoryOf(const char* fullPath) {
  std::string dir = F_ExtractFilePath(fullPath);
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// An item test, not a substring test: "/opt/torq" is not on a path that holds "/opt/torq2".
bool HasItem(std::string_view path, std::string_view item) {
  while (true) {
    const auto semi = path.find(';');
    if (path.substr(0, semi) == item) return true;
    if (semi == std::string_view::npos) return false;
    path.remove_prefix(semi + 1);
  }
}

}  // namespace

int SetAppPath(const char* fullPath) {
  if (!fullPath || !*fullPath) return EINVAL;
  const std::string key = std::string(kAppPathsKey) + F_ExtractFileName(fullPath);
  int rc = torq::platform::RegistrySetString(key, "", fullPath);
  if (rc == 0) rc = torq::platform::RegistrySetString(key, "Path", DirectoryOf(fullPath));
  if (rc != 0) {
    std::fprintf(stderr, "Unable to set registry %ld\n", static_cast<long>(rc));
    MsgPutSystemError(rc);
    return rc;
  }
  std::printf("Registry set: HKEY_LOCAL_MACHINE\n");
  std::printf("%s=%s\n", key.c_str(), fullPath);
  std::fflush(stdout);
  return 0;
}

int SetAppEnv(const char* fullPath) {
  if (!fullPath || !*fullPath) return EINVAL;
  const std::string dir = DirectoryOf(fullPath);
  std::string path;
  int rc = torq::platform::RegistryQueryString(kEnvironmentKey, "Path", path);
  if (rc == ENOENT) rc = 0, path.clear();  // no search path yet: it becomes the directory
  if (rc == 0 && !HasItem(path, dir))
    rc = torq::platform::RegistrySetString(kEnvironmentKey, "Path",
                                           path.empty() ? dir : dir + ";" + path);
  if (rc != 0) {
    std::fprintf(stderr, "Unable to set ENV in registry %ld\n", static_cast<long>(rc));
    MsgPutSystemError(rc);
    return rc;
  }
  std::printf("Environment set: HKEY_LOCAL_MACHINE\n");
  std::printf("%s: %s\n", kEnvironmentKey, "Path");
  std::fflush(stdout);
  return 0;
}
