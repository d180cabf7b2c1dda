// torqinit: writes "torqmsg.dat" and "torqdef.dat" beside the program. No arguments.
#include "torqinit/torqinit_run.h"

int main() { return RunTorqinit(); }
