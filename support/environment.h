// The program environment: the program's own path and directory, the two data files beside
// it, and loading them at start-up.
#pragma once
#include <cstdint>

#include "support/environment_defstruct.h"

extern char* gTorqExe;        // full path of the running program
extern char* gTorqPath;       // its directory, ending in '/', or empty
extern char* TorqMgsdatName;  // gTorqPath + "torqmsg.dat"
extern char* TorqDefdatName;  // gTorqPath + "torqdef.dat"
extern DefStruct* gDefstr;    // the loaded defaults record, null when none is loaded

inline constexpr const char kMsgDatFile[] = "torqmsg.dat";
inline constexpr const char kDefDatFile[] = "torqdef.dat";

// Records the running program's path in gTorqExe. 0, or -1 (hint "ExeName" or the path).
int SetExeName();
// Sets gTorqPath from the path (null: gTorqExe, then the running program), cut after its last
// '/'; a path without one gives the empty directory. 0, or -1 when it cannot be stored.
int GetTorqPath(const char* exePath);
// Sets gTorqPath and the two data-file names beside the program (see GetTorqPath); loads
// nothing. 0, or -1 (hint: the bare file name) when a name does not fit or cannot be stored.
int SetDataFileNames(const char* exePath);
// Clears the last-error state, sets the data-file names from the program's directory, then
// loads the catalogue and the defaults record. 0 or the first failure's code (-1, 45, 30, 47).
// The names are set before anything is checked. A missing file's hint is its full path.
int LoadEnvironment(const char* exePath);
// Loads the defaults record (null: TorqDefdatName) into gDefstr. 0; 30 empty file; 47 wrong
// size, magic, CRC or a name slot not terminated inside it; -1 cannot be sized, opened or
// read, no memory. A refused record is released and gDefstr left null.
int GetDefaults(const char* fileName);
// Releases everything the environment holds and leaves every pointer null.
void TorqFreeEnvironment();
