// Starting torq4 for a calling program: the child runs in a session of its own at idle
// priority, without standard input and output, its error output appended to "torq4.log" in the
// caller's current directory, and passes back its whole return code.
#pragma once
#include <cstdint>

#include "launchers/torqupex/argument_vector.h"

// The program that torqupex starts: "torq4" beside the module holding this code, else the
// first "torq4" in an absolute folder of PATH (the system's default path when PATH is unset);
// never one in the current folder. False when there is none.
bool FindTorq4(char* path, std::size_t size);

// Runs the program with the vector's arguments (argument 0 the program name) and waits for it.
// The child's return code; -3 when it ended by a signal; when it cannot be started,
// 0x0F000000 + the system error number, after the line "*ERROR* CreateProcess %s: %lu\n" with the program name and the
// error number was appended to the log. The log is written only when "torq4.log" is a regular
// file (never through a link).
std::int32_t RunTorq4(TArgv& argv, const char* program);
