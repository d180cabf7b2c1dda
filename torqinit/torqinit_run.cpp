#include "torqinit/torqinit_run.h"

#include "support/environment.h"
#include "support/sysinfo.h"
#include "torqinit/defaults_file_writer.h"
#include "torqinit/message_file_writer.h"

int RunTorqinit() {
  TestByteOrder(1);
  if (int rc = SetExeName()) return rc;
  // Only the data-file names matter here: the files are about to be written, not loaded.
  // They go beside the program itself, where torq4 looks for them.
  int rc = SetDataFileNames(gTorqExe);
  if (rc == 0) rc = MakeMsgDat();
  if (rc == 0) rc = MakeDefDat();
  TorqFreeEnvironment();
  return rc;
}
