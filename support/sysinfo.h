// System information for the rest of the system: byte-order check, user language, machine
// and time ids, process services, the file version, the operating-system text and the fixed
// banner lines of the utility's output.
#pragma once
#include <cstdint>

#include "support/platform/system_info.h"

inline constexpr std::uint32_t kTorqNoHardwareId = 0xEFEFEFEF;
inline constexpr std::uint16_t kLanguageGerman = 0x0407;
inline constexpr std::uint16_t kLanguageEnglish = 0x0409;

extern char glSysInfoStr[128];              // operating-system text; empty until first built
extern torq::platform::OsVersion osvi;      // filled when the operating-system text is built
extern std::uint32_t gUserId;               // 0xFFFFFFFF until TorqUserId is first called
extern const char gMainBuildTime[];         // the main unit's compiler date and time, "Mmm dd yyyy hh:mm:ss"
extern const char gInfo[];                  // this module's build stamp

// 0 on a little-endian machine, else -1; with a non-zero flag a big-endian machine gets
// "Illegal Byte Sex: Machine not Little Endian" on the standard error stream and exit code -2.
int TestByteOrder(int flag);
// 0x0407 (German) when the locale variables say "de...", else 0x0409 (English).
std::uint16_t GetUserLaguageID();
// A 32-bit id of the machine; 0xEFEFEFEF when it cannot be found.
std::uint32_t TorqHardwareId();
// The low 32 bits of the monotonic counter.
std::uint32_t TorqTimeId();
// The name of the platform the program runs on.
const char* SystemName();
std::uint32_t TorqProcessId();
// 0xAFFECAFE.
std::uint32_t TorqUserId();
// The thread's last system error, read and set.
std::uint32_t F_GetLastError();
std::uint32_t TorqGetSysError();
void TorqSetSysError(std::uint32_t code);
// 1 below-normal priority, 2 idle priority: the system's success flag; any other level: 0.
int F_SetPriorityClass(std::uint32_t level);
// The program's file version (the version compiled into this build), remembered once found.
// `defaultText` (when given) fills the result first; a module that does not exist gives
// "6.6.6" and is tried again on the next call. At most 31 characters.
const char* GetExeVersion(const char* modulePath, const char* defaultText);
// Builds the operating-system text into glSysInfoStr.
void MakeVersionString();
// One fixed output line: 0 version line, 1 title line, 3 operating-system text, 4/5/6 70 '+',
// '-', '=', 7 and 8 member lines (70 and 41 characters), 9/10/11 41 '-', '+', '='; any other
// kind the build stamp. Kinds 0, 1, 7 and 8 share one buffer that the next such call
// overwrites. The third argument is not used.
const char* Banner(int kind, std::int32_t member, int reserved = 0);
