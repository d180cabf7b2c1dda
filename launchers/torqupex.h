/* The calls libtorqupex.so exports. Each runs the torq4 beside the library (else the one on
 * PATH) as a child process, its error output appended to "torq4.log" in the current directory,
 * and waits for it.
 *
 * torqup (handle, rc, parameters, length)
 *   handle      unused, except with the parameter string "startup" (any case): then an array
 *               of *length argument texts, entry 0 standing for the program name
 *   rc          receives torq4's return code (all 32 bits); 82 for a missing string or a length
 *               below 1; -1 when the arguments cannot be built; 0x0F000000 + the system's error
 *               number when torq4 cannot be started
 *   parameters  the parameter string, as torq4 takes it on its command line (at most *length
 *               bytes of it are used)
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
