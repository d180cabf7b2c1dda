#include "support/platform/debug_output.h"

#include <cstdio>
#include <cstdlib>

namespace torq::platform {

void DebugOutput(const char* text) {
  const char* name = std::getenv("TORQ_DEBUG_OUTPUT");
  if (!name || !*name || !text) return;
  if (std::FILE* f = std::fopen(name, "ae")) {
    std::fputs(text, f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

}  // namespace torq::platform
