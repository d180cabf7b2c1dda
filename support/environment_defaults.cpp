#include <cstring>

#include "support/crc.h"
#include "support/environment.h"
#include "support/event_log.h"
#include "support/file_start.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/paths.h"

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

  std::uint32_t high = 0;
  const std::uint32_t size = F_GetFileSizeEx(name, &high);
  if (size == 0xFFFFFFFFu && high == 0) {
    TorqSetLastSysError(-1, name);
    return TorqSetLastError(-1, name);
  }
  if (size == 0 && high == 0) return TorqSetLastError(30, name);
  if (size != kDefStructSize || high != 0) return TorqSetLastError(47, name);

  gDefstr = static_cast<DefStruct*>(rmHeapAlloc(kDefStructSize));
  if (!gDefstr) {
    TorqSetLastSysError(-1, name);
    LogErrorMessage("allocate buffer Def");
    return TorqSetLastError(-1, name);
  }
  if (ReadFileStart(name, gDefstr, kDefStructSize) != FileStartRead::kRead) {
    TorqSetLastSysError(-1, name);
    return Refuse(-1, name);
  }
  if (!DefStructIsSound(*gDefstr)) return Refuse(47, name);
  return 0;
}
