#include "support/file_start.h"

#include "support/build_stamp.h"

#include "support/platform/file_io.h"
#include "support/platform/system_error.h"

TORQ_BUILD_STAMP("TorqFileStart")

FileStartRead ReadFileStart(const char* name, void* buffer, std::size_t length) {
  torq::platform::FileHandle handle = torq::platform::kInvalidFile;
  if (const int error = torq::platform::FileOpenReadRegular(name, handle)) {
    torq::platform::SetLastSystemError(static_cast<std::uint32_t>(error));
    return FileStartRead::kNotOpened;
  }
  std::size_t got = 0;
  const int error = torq::platform::FileReadFull(handle, buffer, length, got);
  torq::platform::FileClose(handle);
  // A file that simply ends early leaves no system error of its own.
  torq::platform::SetLastSystemError(static_cast<std::uint32_t>(error));
  return error == 0 && got == length ? FileStartRead::kRead : FileStartRead::kShort;
}
