// "/reg": makes a program reachable by name. It enters the program under the application-path
// key and puts its directory at the front of the machine's search path, in the registry
// stand-in of the platform layer. The shell's own PATH is not changed.
#pragma once

inline constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
inline constexpr char kEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Sets the application-path key of the program: its default value to the full path and "Path"
// to the directory. 0 or the system error code.
int SetAppPath(const char* fullPath);
// Puts the program's directory at the front of the environment key's "Path" value, unless it
// already is one of its ';'-separated items. 0 or the system error code.
int SetAppEnv(const char* fullPath);
