/* The calls libtorqupex.so exports. Each runs torq4 as a child process and waits for it: the
 * torq4 beside the library, else the first one in an absolute folder of PATH (the system's
 * default path when PATH is unset), never one in the current folder. The child's error output
 * is appended to "torq4.log" in the current folder when that is a regular file (a link or
 * anything else there is not written; the child then runs without error output).
 *
 * torqup (handle, rc, parameters, length)
 *   handle      unused, except with the parameter string "startup" (any case): then an array
 *               of *length argument texts, entry 0 standing for the program name
 *   rc          receives torq4's return code (all 32 bits); 82 for a missing string or a length
 *               below 1; -1 when the arguments cannot be built; 0x0F000000 + the system's error
 *               number (errno) when torq4 cannot be started, the number also written to
 *               "torq4.log" as "*ERROR* CreateProcess torq4: <number>"
 *   parameters  the parameter string: items separated by commas, not blanks
 *               ("compress,torqin=a.txt,torqfile=a.tq"; "compress torqin=a.txt" is one item and
 *               fails with 81). A value in brackets keeps its commas ("torqin=(a.txt,b.txt)").
 *               Each item becomes one argument of torq4 as it stands, unquoted, a bracketed
 *               value with its brackets. At most *length bytes of the string are used.
 *   length      the length of the parameter string
 * torqupc (parameters)
 *   the same with a NUL-terminated parameter string; returns the return code. */
#ifndef TORQUPEX_H
#define TORQUPEX_H

#include <stdint.h>

#if defined(__GNUC__)
#define TORQUPEX_EXPORT __attribute__((visibility("default")))
#else
#define TORQUPEX_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

TORQUPEX_EXPORT void torqup(void* handle, int32_t* rc, const char* parameters, const int32_t* length);
TORQUPEX_EXPORT int32_t torqupc(const char* parameters);

#ifdef __cplusplus
}
#endif

#endif
