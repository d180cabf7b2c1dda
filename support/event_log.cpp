#include "support/event_log.h"

#include "support/build_stamp.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "support/platform/syslog.h"
#include "support/platform/system_error.h"
#include "support/platform/system_error_text.h"

TORQ_BUILD_STAMP("TorqEventLog")

namespace {

constexpr char kEventSource[] = "TORQ4";
bool gEventLogOpen = false;  // the source is registered once and kept for the process
EventLogSink gSink = nullptr;

}  // namespace

void SetEventLogSink(EventLogSink sink) { gSink = sink; }

void LogMessage(const char* text, std::uint32_t eventType, std::uint16_t, std::uint32_t) {
  eventType &= 0xFFFFu;
  if (gSink) {
    gSink(kEventSource, eventType, text ? text : "");
    return;
  }
  if (!gEventLogOpen) {
    torq::platform::SyslogOpen(kEventSource);
    gEventLogOpen = true;
  }
  torq::platform::SyslogWrite(eventType, text);
}

void LogErrorMessage(const char* operation) {
  const std::uint32_t error = torq::platform::LastSystemError();
  char systemText[256];
  if (!torq::platform::SystemErrorText(error, systemText, sizeof systemText)) systemText[0] = '\0';
  char entry[kLogEntrySize];
  std::snprintf(entry, sizeof entry, "%s failed with error %lu: %s", operation ? operation : "",
                static_cast<unsigned long>(error), systemText);
  LogMessage(entry, torq::platform::kEventError, 0, 0);
  torq::platform::SetLastSystemError(error);
}

int TorqReportEvent(int type, const char* text, std::uint32_t, const char* source) {
  if (!source || !*source) return EINVAL;
  const std::uint32_t eventType = type == 0   ? torq::platform::kEventInformation
                                  : type == 2 ? torq::platform::kEventError
                                              : torq::platform::kEventWarning;
  if (gSink) {
    gSink(source, eventType, text ? text : "");
    return 0;
  }
  // The system log keeps one ident per process (by pointer, so it must outlive the entry):
  // report under the given source, then give the log back to "TORQ4" if it was ours.
  static std::string ident;
  ident = source;
  torq::platform::SyslogOpen(ident.c_str());
  torq::platform::SyslogWrite(eventType, text);
  torq::platform::SyslogClose();
  if (gEventLogOpen) torq::platform::SyslogOpen(kEventSource);
  return 0;
}
