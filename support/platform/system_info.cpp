#include "support/platform/system_info.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace torq::platform {

namespace {

void CopyField(char (&to)[65], const char* from) {
  const std::size_t n = strnlen(from, sizeof to - 1);
  std::memcpy(to, from, n);
  to[n] = '\0';
}

}  // namespace

bool UserLanguageIsGerman() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value[0] == 'd' && value[1] == 'e';
  }
  return false;
}

std::uint32_t MachineId(std::uint32_t fallback) {
  struct statvfs st {};
  if (::statvfs("/", &st) != 0) return fallback;
  const auto id = static_cast<std::uint64_t>(st.f_fsid);
  const auto folded = static_cast<std::uint32_t>(id ^ (id >> 32));
  return folded ? folded : fallback;
}

bool QueryOsVersion(OsVersion* version) {
  utsname u{};
  if (::uname(&u) != 0) return false;
  CopyField(version->sysname, u.sysname);
  CopyField(version->release, u.release);
  CopyField(version->version, u.version);
  CopyField(version->machine, u.machine);
  return true;
}

}  // namespace torq::platform
