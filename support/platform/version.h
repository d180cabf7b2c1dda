// The version of this build, compiled in from the build system (in place of a version
// resource).
#pragma once

namespace torq::platform {

const char* CompiledVersion();

}  // namespace torq::platform
