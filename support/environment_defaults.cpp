#include <cerrno>

#include "support/build_stamp.h"
#include <cstring>

#include "support/crc.h"
#include "support/environment.h"
#include "support/event_log.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/paths.h"
#include "support/platform/file_io.h"

TORQ_BUILD_STAMP("TorqEnvDefaults")

namespace {

int Refuse(int code, const char* name) {
  rmHeapFree0(&gDefstr);
  return TorqSetLastError(code, name);
}

}  // namespace

bool DefSlotIsSound(const std::uint8_t* slot, std::size_t size) {
  const std::size_t n = slot[0];
  return n + 2 <= size && slot[n + 1] == 0 && std::memchr(slot + 1, 0, n) == nullptr;
}

bool DefStructIsSound(const DefStruct& record) {
  if (std::memcmp(record.magic, "QDEF", 4) != 0) return false;
  if (record.crc != calc_crc32(&record, static_cast<std::int32_t>(kDefCrcOffset))) return false;
  for (const std::uint8_t* slot : {record.codetable, record.torqout, record.torqfile, record.messages,
                                   record.torqin, record.outpath, record.paramfile})
    if (!DefSlotIsSound(slot, kDefNameSlot)) return false;
  for (const std::uint8_t* slot : {record.exd10, record.exd20, record.exk10, record.exk20})
    if (!DefSlotIsSound(slot, kDefExitSlot)) return false;
  return true;
}

int GetDefaults(const char* fileName) {
  rmHeapFree0(&gDefstr);
  const char* name = fileName ? fileName : TorqDefdatName;
  if (!name) return TorqSetLastError(-1, kDefDatFile);

  torq::platform::FileHandle handle = torq::platform::kInvalidFile;
  if (const int error = torq::platform::FileOpenReadRegular(name, handle)) {
    TorqSetLastSysError(error, name);
    // A pipe or device in the file's place is a damaged record, not a missing one.
    return TorqSetLastError(error == ESPIPE || error == ENODEV ? 47 : -1, name);
  }
  struct Closer {
    torq::platform::FileHandle h;
    ~Closer() { torq::platform::FileClose(h); }
  } closer{handle};
  std::uint64_t size = 0;
  if (!TorqGetFileSize(handle, &size)) {
    TorqSetLastSysError(-1, name);
    return TorqSetLastError(-1, name);
  }
  if (size == 0) return TorqSetLastError(30, name);
  if (size != kDefStructSize) return TorqSetLastError(47, name);

  gDefstr = static_cast<DefStruct*>(rmHeapAlloc(kDefStructSize));
  if (!gDefstr) {
    TorqSetLastSysError(-1, name);
    LogErrorMessage("allocate buffer Def");
    return TorqSetLastError(-1, name);
  }
  std::size_t got = 0;
  if (const int error = torq::platform::FileReadFull(handle, gDefstr, kDefStructSize, got);
      error != 0 || got != kDefStructSize) {
    TorqSetLastSysError(error, name);
    return Refuse(-1, name);
  }
  if (!DefStructIsSound(*gDefstr)) return Refuse(47, name);
  return 0;
}
