#include "support/platform/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace torq::platform {

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

}  // namespace torq::platform
