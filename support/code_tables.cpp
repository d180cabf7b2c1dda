#include "support/code_tables.h"

#include "support/build_stamp.h"

#include "support/debug_log.h"
#include "support/file_start.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/paths.h"
#include "support/platform/system_error.h"

TORQ_BUILD_STAMP("TorqCodeTab")

std::uint8_t* gCodeTab = nullptr;
const std::uint8_t* gCodeTabEA = nullptr;
const std::uint8_t* gCodeTabAE = nullptr;

namespace {

constexpr std::int32_t kInvalidSize = 112;
constexpr std::int32_t kNotFound = 113;
constexpr std::int32_t kNoMemory = 999;

void DropTable() {
  gCodeTabEA = nullptr;
  gCodeTabAE = nullptr;
  rmHeapFree0(&gCodeTab);
}

}  // namespace

std::int32_t F_LoadTorqTranslateTable(const char* fileName) {
  std::uint32_t high = 0;
  const std::uint32_t size = F_GetFileSizeEx(fileName, &high);
  if (high != 0 || (size != 256 && size != 512)) return kInvalidSize;

  DropTable();
  auto* block = static_cast<std::uint8_t*>(rmHeapAlloc(size));
  if (!block) {
    TorqSetLastSysError(-1, "CodeTab");
    OutputDebugLog("*ERROR* %s: %d", "CALLOC", static_cast<int>(GetLastSysError()));
    return kNoMemory;
  }
  const FileStartRead read = ReadFileStart(fileName, block, size);
  if (read == FileStartRead::kNotOpened) {
    TorqSetLastSysError(-1, fileName);
    OutputDebugLog("*ERROR* %s: %d", fileName, static_cast<int>(GetLastSysError()));
    rmHeapFree(block);  // nothing is kept after a failure
    return TorqSetLastError(kNotFound, fileName);
  }
  std::int32_t code = 0;
  if (read == FileStartRead::kShort) {
    TorqSetLastSysError(-1, fileName);
    OutputDebugLog("*ERROR* %s: %d", fileName, static_cast<int>(GetLastSysError()));
    rmHeapFree(block);
    code = kInvalidSize;
  } else {
    gCodeTab = block;
    gCodeTabEA = block;
    gCodeTabAE = size == 256 ? block : block + 256;
  }
  return TorqSetLastError(code, "LaodTorqCodeTable");
}

void F_FreeTorqTranslateTable() { DropTable(); }

namespace torq {

void TranslateBytes(const std::uint8_t* table, const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const std::uint8_t b0 = table[in[i]], b1 = table[in[i + 1]], b2 = table[in[i + 2]], b3 = table[in[i + 3]];
    const std::uint8_t b4 = table[in[i + 4]], b5 = table[in[i + 5]], b6 = table[in[i + 6]], b7 = table[in[i + 7]];
    out[i] = b0, out[i + 1] = b1, out[i + 2] = b2, out[i + 3] = b3;
    out[i + 4] = b4, out[i + 5] = b5, out[i + 6] = b6, out[i + 7] = b7;
  }
  for (; i < n; ++i) out[i] = table[in[i]];
}

}  // namespace torq

namespace torqutil {

void CovertA2E(const std::uint8_t* table, std::uint8_t* buffer, std::int32_t length) {
  if (length <= 0) return;
  torq::TranslateBytes(table ? table : ca2e, buffer, buffer, static_cast<std::size_t>(length));
}

void CovertE2A(const std::uint8_t* table, std::uint8_t* buffer, std::int32_t length) {
  if (length <= 0) return;
  torq::TranslateBytes(table ? table : ce2a, buffer, buffer, static_cast<std::size_t>(length));
}

}  // namespace torqutil
