// Loading the key-management exit module and checking what its calls hand back.
#pragma once
#include <cstdint>

#include "torqup/torqkme.h"

inline constexpr std::int32_t kRcModuleNotLoaded = 40;  // "Module or table cannot be loaded"
inline constexpr std::int32_t kRcModuleNotCalled = 41;  // "Module cannot be called"
inline constexpr std::int32_t kRcExitAbend = 43;        // "Abnormal end caused by exit routine"
inline constexpr std::int32_t kRcExitWithPassword = 348;

inline constexpr std::int32_t kKmKeyCapacity = 512;
inline constexpr std::int32_t kKmMessageCapacity = 128;
inline constexpr std::int32_t kKmPasswordCapacity = 66;
inline constexpr char kKmDefaultModule[] = "torqkme.dll";
inline constexpr char kKmDefaultProcedure[] = "torqkme";

// 1 when the file can be opened for reading.
int FileExists(const char* path);
// A new name buffer (kTorqMaxPath bytes, freed with rmHeapFree) holding the module's name in
// the running program's folder when such a file exists there, else the name as given (so the
// system's library search applies). Null when no memory.
char* ModuleName(const char* name);
// Loads the module into the slot (unless one is there) and finds the procedure. rc 0, 40 or
// 41 (-1 when no memory); the procedure or null.
TorqKmExitProc* TorqDynLoad(std::int32_t& rc, void*& moduleSlot, const char* moduleName, const char* procedureName);
// Releases a loaded module and clears the slot.
void TorqDynFree(void*& moduleSlot);

// What an exit call handed back, checked against the buffers it was given.
struct KmExitResult {
  std::int32_t rc = 0;
  std::int32_t keyLength = 0;
  std::int32_t pwdLength = 0;
  std::int32_t msgLength = 0;
};
// Prints the exit's message (the buffer has room for capacity + 2 bytes) and its error, and
// checks the lengths it returned: a length outside 0..its capacity is reported by name. 0, or
// 43 when the exit failed or returned a bad length. Key and password lengths are checked only
// when `checkKey`/`checkPassword` say the call could set them.
std::int32_t KmExitAfterCall(const KmExitResult& result, char* message, std::int32_t keyCapacity, bool checkKey,
                             bool checkPassword);

struct RunContext;
// 1 when the exit is to be used (defaults filled, buffers allocated), else 0 with rc 0 (not
// configured), 348 (configured together with a password) or -1 (no memory).
int NeedKmExit(RunContext* ctx, std::int32_t& rc);
// The calls with function code -1 (after loading) and 1 (before compressing); 0 or 43.
std::int32_t KmExitStart(RunContext& ctx);
std::int32_t KmExitCompress(RunContext& ctx);
// The call with function code 0 for a container just opened, its user header in the work
// buffer: the header goes to the exit as key data (the pending comment, when there is one,
// takes its place); the password it returns is the one used. 0, 43 or -1.
std::int32_t KmExitDecompress(RunContext& ctx);
