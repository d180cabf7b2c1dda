// The standard error stream as the message output sees it.
#pragma once

namespace torq::platform {

// Sends the standard error stream (descriptor 2) to the named file, appending and creating it
// when missing. False, with the stream left where it was, when the file cannot be opened.
bool RedirectStandardError(const char* name);

}  // namespace torq::platform
