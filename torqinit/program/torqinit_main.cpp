// torqinit: writes "torqmsg.dat" and "torqdef.dat" beside the program. No arguments.
#include "support/sysinfo.h"
#include "torqinit/torqinit_run.h"

extern const char gMainBuildTime[] = __DATE__ " " __TIME__;

int main() { return RunTorqinit(); }
