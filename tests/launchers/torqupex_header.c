/* The library's header as a C host includes it: it compiles as C, and the calls have the
 * types the library exports. */
#include "launchers/torqupex.h"

void (*const torqupex_header_torqup)(void*, int32_t*, const char*, const int32_t*) = torqup;
int32_t (*const torqupex_header_torqupc)(const char*) = torqupc;
