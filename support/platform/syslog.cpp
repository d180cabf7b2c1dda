#include "support/platform/syslog.h"

#include <syslog.h>

namespace torq::platform {

void SyslogOpen(const char* ident) { ::openlog(ident, LOG_PID, LOG_USER); }

void SyslogClose() { ::closelog(); }

void SyslogWrite(std::uint32_t eventType, const char* text) {
  const int priority = eventType == kEventError     ? LOG_ERR
                       : eventType == kEventWarning ? LOG_WARNING
                                                    : LOG_INFO;
  ::syslog(priority, "%s", text ? text : "");
}

}  // namespace torq::platform
