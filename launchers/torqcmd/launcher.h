// torqcmd: starts torq4 at idle priority with the parameters of its own command line, waits
// for it and shows its whole return code, with process statistics on request.
#pragma once
#include <cstdint>
#include <vector>

#include "launchers/torqcmd/file_name.h"
#include "support/platform/spawn.h"

extern TFileName FileName;  // the program to start
extern bool NoWait, Detached, NewCon, NoPaused, DoStat;
extern std::int32_t SysError;  // a system error number met on the way, 0 when none
extern int hOut;                 // the standard output descriptor
extern std::uint32_t dwTypeOut;  // its file type; 2 (a terminal or other character device) lets the end pause

// 1 when the text is one of the switches /newcon, /nowait, /nocon, /nopause, /stat (any case).
int IsSwitch(const char* text);
// Sets the switch flags from the arguments after the program name, up to the first argument
// that is empty or begins with '!'.
void GetSwitches(int argc, char** argv);
// The child's arguments: the program, then every argument that is no switch, up to one that
// begins with '!'; an empty first argument gives no parameters. The texts are argv's own.
std::vector<const char*> MakeCmdLine(int argc, char** argv);
// Starts the child, waits for it (unless /nowait) and prints the result line. The child's
// return code; -1 when it cannot be started, -3 when it ended by a signal.
std::int32_t Run(int argc, char** argv);
// A run in a new console: there is none to open here, so it is refused with the
// "*SYSERROR*" line and EOPNOTSUPP.
std::int32_t RunPaused(int argc, char** argv);
// The user's language identifier; 1031 selects the German texts.
std::uint16_t F_GetUserLaguageID();
// The statistics of an ended child.
void ShowProcessTimes(const torq::platform::ChildProcess& child, const torq::platform::ChildEnd& end);
// The version line and the help text, then a pause on a terminal.
void ShowHelp();
// Prints "..." and waits for one key, only when standard input and output are terminals.
void WaitForKey();
// The whole program; returns its result (the process exits with its low 8 bits).
std::int32_t TorqcmdMain(int argc, char** argv);
