#include "torqinit/torqinit_run.h"

#include "support/environment.h"
#include "support/sysinfo.h"
#include "torqinit/defaults_file_writer.h"
#include "torqinit/message_file_writer.h"

int RunTorqinit() {
  TestByteOrder(1);
  if (int rc = SetExeName()) return rc;
  // Only the data-file names matter here: the files it would load are about to be written.
  // They go beside the program itself, where torq4 looks for them.
  LoadEnvironment(gTorqExe);
  int rc = MakeMsgDat();
  if (rc == 0) rc = MakeDefDat();
  TorqFreeEnvironment();
  return rc;
}
