#include "torqinit/defaults_file_writer.h"

#include <cstdio>
#include <cstring>

#include "support/code_tables.h"
#include "support/crc.h"
#include "support/environment.h"
#include "torqinit/data_file_output.h"

DefStruct fdt;

namespace {

constexpr std::int32_t kModeAdc = 3;
constexpr std::int32_t kRecformFix = 1;
constexpr std::int32_t kRecformText = 3;

}  // namespace

std::uint32_t InitDefaults() {
  std::memset(&fdt, 0, sizeof fdt);
  std::memcpy(fdt.magic, "QDEF", 4);
  fdt.blkmode = 1;
  fdt.cryptmode = 0;
  fdt.torqcode = 1;  // ASCII
  fdt.header = 1;
  fdt.fileinfo = 1;
  fdt.maxbuffer = 32768;
  fdt.mode = kModeAdc;
  fdt.function = 0;  // decompress
  fdt.maxrecords = 4095;
  fdt.show = 1;  // all
  fdt.general.recform = kRecformFix;
  fdt.general.recsize = 512;
  fdt.input.recform = kRecformText;
  fdt.output.recform = kRecformText;
  std::memcpy(fdt.ce2a, ce2a, sizeof fdt.ce2a);
  std::memcpy(fdt.ca2e, ca2e, sizeof fdt.ca2e);
  fdt.padchar = 0x20;
  fdt.padgiven = 1;
  fdt.crc = calc_crc32(&fdt, static_cast<std::int32_t>(kDefCrcOffset));
  return fdt.crc;
}

int MakeDefDat() {
  InitDefaults();
  DataFileOutput file(TorqDefdatName, kDefDatFile);
  if (!file.Opened()) return 1;
  file.Write(&fdt, sizeof fdt);
  if (!file.Commit()) return 1;
  std::printf("%s:  %d *OK*\n", TorqDefdatName, static_cast<int>(file.Written()));
  return 0;
}
