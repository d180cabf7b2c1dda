#include "support/platform/version.h"

#ifndef TORQ_VERSION_STRING
#error "TORQ_VERSION_STRING must be defined by the build"
#endif

namespace torq::platform {

const char* CompiledVersion() { return TORQ_VERSION_STRING; }

}  // namespace torq::platform
