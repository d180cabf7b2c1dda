#include "support/sysinfo.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/paths.h"
#include "support/platform/clock.h"
#include "support/platform/process.h"
#include "support/platform/program_path.h"
#include "support/platform/system_error.h"
#include "support/platform/version.h"

char glSysInfoStr[128] = "";
torq::platform::OsVersion osvi;
std::uint32_t gUserId = 0xFFFFFFFF;
// A program defines its own in its main unit, so that the title shows when the program itself
// was built; this one serves what has no main of ours (tests, the launcher library).
[[gnu::weak]] extern const char gMainBuildTime[] = __DATE__ " " __TIME__;
const char gInfo[] = "TorqSys        : " __DATE__ " " __TIME__;

namespace {

constexpr char kPlus70[] = "++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++++";
constexpr char kDash70[] = "----------------------------------------------------------------------";
constexpr char kEqual70[] = "======================================================================";
constexpr char kDash41[] = "-----------------------------------------";
constexpr char kPlus41[] = "+++++++++++++++++++++++++++++++++++++++++";
constexpr char kEqual41[] = "=========================================";
static_assert(sizeof kPlus70 == 71 && sizeof kDash70 == 71 && sizeof kEqual70 == 71);
static_assert(sizeof kDash41 == 42 && sizeof kPlus41 == 42 && sizeof kEqual41 == 42);

// Bounded copy that always ends with NUL.
template <std::size_t N>
void CopyText(char (&to)[N], const char* from) {
  const std::size_t n = strnlen(from, N - 1);
  std::memcpy(to, from, n);
  to[n] = '\0';
}

}  // namespace

int TestByteOrder(int flag) {
  if constexpr (std::endian::native == std::endian::little) {
    (void)flag;
    return 0;
  } else {
    if (flag) {
      std::fputs("Illegal Byte Sex: Machine not Little Endian", stderr);
      std::fflush(stderr);
      std::exit(-2);
    }
    return -1;
  }
}

std::uint16_t GetUserLaguageID() {
  return torq::platform::UserLanguageIsGerman() ? kLanguageGerman : kLanguageEnglish;
}

std::uint32_t TorqHardwareId() { return torq::platform::MachineId(kTorqNoHardwareId); }

std::uint32_t TorqTimeId() { return static_cast<std::uint32_t>(torq::platform::MonotonicTicks()); }

const char* SystemName() { return "LINUX"; }

std::uint32_t TorqProcessId() { return torq::platform::ProcessId(); }

std::uint32_t TorqUserId() {
  gUserId = 0xAFFECAFE;
  return gUserId;
}

std::uint32_t F_GetLastError() { return torq::platform::LastSystemError(); }
std::uint32_t TorqGetSysError() { return torq::platform::LastSystemError(); }
void TorqSetSysError(std::uint32_t code) { torq::platform::SetLastSystemError(code); }

int F_SetPriorityClass(std::uint32_t level) {
  if (level != 1 && level != 2) return 0;
  return torq::platform::LowerPriority(static_cast<int>(level)) ? 1 : 0;
}

const char* GetExeVersion(const char* modulePath, const char* defaultText) {
  static char Version[32] = "?.?.?.?";
  static bool VersionOk = false;
  if (VersionOk) return Version;
  if (defaultText) CopyText(Version, defaultText);
  char own[kTorqMaxPath];
  const char* module = modulePath;
  if (!module) module = torq::platform::ProgramPath(own, sizeof own) ? own : nullptr;
  // The version is compiled into every module of this build; a module we cannot find has none.
  if (!module || !F_FileExists(module)) {
    CopyText(Version, "6.6.6");
    return Version;
  }
  CopyText(Version, torq::platform::CompiledVersion());
  VersionOk = true;
  return Version;
}

void MakeVersionString() {
  if (!torq::platform::QueryOsVersion(&osvi)) {
    CopyText(glSysInfoStr, "LINUX ??.??");
    return;
  }
  std::snprintf(glSysInfoStr, sizeof glSysInfoStr, "%.20s %.40s %.16s %.48s", osvi.sysname, osvi.release,
                osvi.machine, osvi.version);
}

const char* Banner(int kind, std::int32_t member, int /*reserved*/) {
  static char Temp[208];
  switch (kind) {
    case 0:
      std::snprintf(Temp, sizeof Temp, "TORQ(R) Version %s %s", GetExeVersion(nullptr, nullptr), gMainBuildTime);
      return Temp;
    case 1:
      std::snprintf(Temp, sizeof Temp, "(C) Copyright %.4s, compression and encryption of record files",
                    gMainBuildTime + 7);  // the year of "Mmm dd yyyy"
      return Temp;
    case 3:
      if (!glSysInfoStr[0]) MakeVersionString();
      return glSysInfoStr;
    case 4: return kPlus70;
    case 5: return kDash70;
    case 6: return kEqual70;
    case 7:
      std::snprintf(Temp, sizeof Temp, "---------------------------- Member #%04ld ----------------------------",
                    static_cast<long>(member));
      return Temp;
    case 8:
      std::snprintf(Temp, sizeof Temp, "------------- Member #%04ld --------------", static_cast<long>(member));
      return Temp;
    case 9: return kDash41;
    case 10: return kPlus41;
    case 11: return kEqual41;
    default: return gInfo;
  }
}
