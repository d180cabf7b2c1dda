#include "support/environment.h"

#include "support/build_stamp.h"

#include <cerrno>
#include <cstring>

#include "support/code_tables.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/message_catalog.h"
#include "support/paths.h"
#include "support/platform/file_io.h"
#include "support/platform/program_path.h"

TORQ_BUILD_STAMP("TorqEnv")

char* gTorqExe = nullptr;
char* gTorqPath = nullptr;
char* TorqMgsdatName = nullptr;
char* TorqDefdatName = nullptr;
DefStruct* gDefstr = nullptr;

namespace {

// gTorqPath followed by the file name; -1 (hint: the bare name) when it does not fit or
// cannot be stored.
int SetDataFileName(char*& slot, const char* file) {
  rmHeapFree0(&slot);
  const std::size_t dirLength = std::strlen(gTorqPath);
  const std::size_t fileLength = std::strlen(file);
  if (dirLength + fileLength >= kTorqMaxPath) return TorqSetLastError(-1, file);
  slot = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(dirLength + fileLength + 1)));
  if (!slot) {
    TorqSetLastSysError(-1, file);
    return TorqSetLastError(-1, file);
  }
  std::memcpy(slot, gTorqPath, dirLength);
  std::memcpy(slot + dirLength, file, fileLength + 1);
  return 0;
}

// A data file that is not there: the hint is the full path where it was looked for, the
// system error says why (a directory in its place gives EISDIR, not 0).
int MissingDataFile(const char* path) {
  std::uint32_t attributes = 0;
  int error = torq::platform::PathAttributes(path, attributes);
  if (error == 0) error = (attributes & torq::platform::kAttrDirectory) ? EISDIR : ENOENT;
  TorqSetLastSysError(error, path);
  return TorqSetLastError(-1, path);
}

}  // namespace

int SetExeName() {
  rmHeapFree0(&gTorqExe);
  char path[kTorqMaxPath];
  if (torq::platform::ProgramPath(path, sizeof path) == 0) {
    TorqSetLastSysError(-1, "ExeName");
    return TorqSetLastError(-1, "ExeName");
  }
  gTorqExe = rmStrDup(path);
  if (!gTorqExe) {
    TorqSetLastSysError(-1, "ExeName");
    return TorqSetLastError(-1, "ExeName");
  }
  if (!F_FileExists(gTorqExe)) {
    TorqSetLastSysError(-1, gTorqExe);
    return TorqSetLastError(-1, gTorqExe);
  }
  return 0;
}

int GetTorqPath(const char* exePath) {
  char path[kTorqMaxPath];
  if (!exePath) exePath = gTorqExe;
  if (!exePath) {
    if (torq::platform::ProgramPath(path, sizeof path) == 0) {
      TorqSetLastSysError(-1, "ExeName");
      return TorqSetLastError(-1, "ExeName");
    }
    exePath = path;
  }
  const std::size_t length = strnlen(exePath, kTorqMaxPath);
  if (length >= kTorqMaxPath) return TorqSetLastError(-1, "ExeName");
  // The directory keeps its trailing '/'; a bare name gives the empty directory, so the
  // data files are looked for in the current directory.
  const char* slash = static_cast<const char*>(::memrchr(exePath, '/', length));
  const std::size_t dirLength = slash ? static_cast<std::size_t>(slash - exePath) + 1 : 0;
  rmHeapFree0(&gTorqPath);
  gTorqPath = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(dirLength + 1)));
  if (!gTorqPath) {
    TorqSetLastSysError(-1, "ExeName");
    return TorqSetLastError(-1, "ExeName");
  }
  std::memcpy(gTorqPath, exePath, dirLength);
  gTorqPath[dirLength] = '\0';
  return 0;
}

int SetDataFileNames(const char* exePath) {
  if (int rc = GetTorqPath(exePath)) return rc;
  if (int rc = SetDataFileName(TorqMgsdatName, kMsgDatFile)) return rc;
  return SetDataFileName(TorqDefdatName, kDefDatFile);
}

int LoadEnvironment(const char* exePath) {
  TorqClearErrors();
  if (int rc = SetDataFileNames(exePath)) return rc;
  if (!F_FileExists(TorqMgsdatName)) return MissingDataFile(TorqMgsdatName);
  if (!F_FileExists(TorqDefdatName)) return MissingDataFile(TorqDefdatName);
  if (int rc = LoadMessageTab(nullptr)) return rc;
  if (int rc = GetDefaults(nullptr)) return rc;
  return 0;
}

void TorqFreeEnvironment() {
  rmHeapFree0(&gDefstr);
  rmHeapFree0(&gTorqExe);
  rmHeapFree0(&gTorqPath);
  F_FreeTorqTranslateTable();
  rmHeapFree0(&TorqMgsdatName);
  rmHeapFree0(&TorqDefdatName);
  FreeMessageTab();
}
