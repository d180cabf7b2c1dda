// The steps of the torqinit program.
#pragma once

// Checks the byte order, records the program's path, sets the data-file names beside the
// program and writes the message catalogue, then the defaults record. Returns the first
// non-zero result of the steps, else 0.
int RunTorqinit();
