#include "torqinit/data_file_output.h"

#include <cerrno>
#include <cstdio>

DataFileOutput::DataFileOutput(const char* name, const char* fallbackName)
    : name_(name ? name : fallbackName) {
  const int error = name ? torq::platform::FileOpenWrite(name, true, handle_) : ENOENT;
  if (error != 0) std::printf("Openfehler %s ERROR: %d\n", name_ ? name_ : "", error);
}

DataFileOutput::~DataFileOutput() {
  if (Opened()) torq::platform::FileClose(handle_);
}

bool DataFileOutput::Write(const void* data, std::size_t length) {
  if (!Opened() || error_ != 0) return false;
  std::size_t written = 0;
  error_ = torq::platform::FileWrite(handle_, data, length, written);
  return error_ == 0;
}

bool DataFileOutput::Close() {
  if (!Opened()) return false;
  const int closeError = torq::platform::FileClose(handle_);
  handle_ = torq::platform::kInvalidFile;
  if (error_ == 0) error_ = closeError;
  if (error_ == 0) return true;
  std::printf("Schreibfehler %s ERROR: %d\n", name_ ? name_ : "", error_);
  return false;
}
