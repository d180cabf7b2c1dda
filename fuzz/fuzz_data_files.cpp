// Arbitrary bytes as "torqmsg.dat" and as "torqdef.dat": the loaders must refuse damage with
// their codes and never read out of bounds; a loaded catalogue must answer every lookup.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "support/environment.h"
#include "support/heap.h"
#include "support/message_catalog.h"

namespace {
std::string TempFile() {
  static const std::string name = "/tmp/torq-fuzz-data-" + std::to_string(::getpid());
  return name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name = TempFile();
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  const std::uint32_t before = rmGetHeapCount();
  // Both language blocks: German and English readers pick different blocks of the file.
  for (const std::uint16_t language : {std::uint16_t{0x0407}, std::uint16_t{0x0409}}) {
    gLaguageId = language;
    const int rc = LoadMessageTab(name.c_str());
    if (rc != 0 && rc != 45 && rc != -1) __builtin_trap();
    if (rc == 0) {
      for (int n = 0; n < 2100; ++n) (void)FindMsgText(n);
      FreeMessageTab();
    }
  }
  const int drc = GetDefaults(name.c_str());
  if (drc != 0 && drc != 30 && drc != 47 && drc != -1) __builtin_trap();
  if (drc != 0 && gDefstr) __builtin_trap();
  TorqFreeEnvironment();
  if (rmGetHeapCount() != before) __builtin_trap();  // nothing leaks on any path
  return 0;
}
