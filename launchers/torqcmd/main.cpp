// torqcmd: runs torq4 at idle priority and shows its whole return code.
#include <cstdio>
#include <cstdlib>

#include "launchers/torqcmd/launcher.h"
#include "support/sysinfo.h"

extern const char gMainBuildTime[] = __DATE__ " " __TIME__;

int main(int argc, char** argv) {
  const std::int32_t result = TorqcmdMain(argc, argv);
  std::fflush(stdout);
  // The exit status holds 8 bits; a caller that passed a descriptor gets the whole code.
  if (const char* fd = std::getenv("TORQ_RC_FD"); fd && *fd) {
    char* end = nullptr;
    const long n = std::strtol(fd, &end, 10);
    if (*end == '\0' && n > 2 && n < 65536) {
      if (std::FILE* out = fdopen(static_cast<int>(n), "w")) {
        std::fprintf(out, "%d", result);
        std::fclose(out);
      }
    }
  }
  return result & 0xFF;
}
