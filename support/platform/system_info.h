// What the system tells about the user's language, the machine and itself.
#pragma once
#include <cstddef>
#include <cstdint>

namespace torq::platform {

// True when the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty begins with
// "de".
bool UserLanguageIsGerman();

// A 32-bit id of the machine: the file-system id of "/" folded to 32 bits; `fallback` when
// there is none.
std::uint32_t MachineId(std::uint32_t fallback);

struct OsVersion {
  char sysname[65] = "";
  char release[65] = "";
  char version[65] = "";
  char machine[65] = "";
};
// The kernel's name, release, version and machine (uname); false when it cannot be read.
bool QueryOsVersion(OsVersion* version);

}  // namespace torq::platform
