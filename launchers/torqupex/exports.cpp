// The two exports of libtorqupex.so, as launchers/torqupex.h declares them. Nothing else of the
// library is visible to its host.
#include <cstdint>
#include <cstring>
#include <strings.h>

#include "launchers/torqupex.h"
#include "launchers/torqupex/argument_vector.h"
#include "launchers/torqupex/run_torq4.h"

namespace {

constexpr std::int32_t kBadParameters = 82;
constexpr char kProgram[] = "torq4";

}  // namespace

extern "C" {

// Runs torq4 with the parameter string (at most *length bytes of it). With the string
// "startup" (any case) `handle` is an array of *length argument texts instead, entry 0 standing
// for the program name. *rc gets torq4's return code, 82 for a missing string or a bad length,
// -1 when the arguments cannot be built.
void torqup(void* handle, std::int32_t* rc, const char* parameters, const std::int32_t* length) {
  if (!rc) return;
  if (!parameters || !length || *length <= 0) {
    *rc = kBadParameters;
    return;
  }
  *rc = -1;
  try {
    TArgv argv(32);
    const auto size = static_cast<std::size_t>(*length);
    // The comparison stops at the first byte that differs, so it reads past the string only
    // when it is "startup" so far.
    if (strncasecmp(parameters, "startup", sizeof "startup") == 0) {
      const auto* texts = static_cast<const char* const*>(handle);
      if (!texts) {
        *rc = kBadParameters;
        return;
      }
      // Entry 0 stands in the program-name place; the child always gets "torq4" there.
      if (!argv.Add(kProgram) || !argv.Add(*length - 1, texts + 1)) return;
    } else if (!argv.AddParString(parameters, size, kProgram)) {
      return;
    }
    *rc = RunTorq4(argv, kProgram);
  } catch (...) {
    *rc = -1;
  }
}

std::int32_t torqupc(const char* parameters) {
  std::int32_t rc = kBadParameters;
  if (!parameters) return rc;
  const std::int32_t length = static_cast<std::int32_t>(strnlen(parameters, 0x7FFFFFFF));
  torqup(nullptr, &rc, parameters, &length);
  return rc;
}

}  // extern "C"
