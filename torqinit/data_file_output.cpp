#include "torqinit/data_file_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "support/paths.h"

namespace {

void PrintFailure(const char* what, const char* name, int error) {
  std::printf("%s %s ERROR: %d\n", what, name ? name : "", error);
  std::printf("%s\n", std::strerror(error));
}

}  // namespace

DataFileOutput::DataFileOutput(const char* name, const char* fallbackName)
    : name_(name ? name : fallbackName) {
  int error = ENOENT;
  // Only a regular file is ever replaced: a directory, pipe or device in the file's place
  // stays as it is.
  if (name) error = torq::platform::PathHoldsNoSpecialFile(name);
  if (name && error == 0) {
    temporary_ = std::string(name) + ".new";
    error = torq::platform::PathHoldsNoSpecialFile(temporary_.c_str());
    if (error == 0) error = torq::platform::FileOpenWrite(temporary_.c_str(), true, handle_);
    if (error != 0) temporary_.clear();
  }
  if (error != 0) PrintFailure("Openfehler", name_, error);
}

DataFileOutput::~DataFileOutput() {
  if (Opened()) torq::platform::FileClose(handle_);
  if (!temporary_.empty()) torq::platform::FileDelete(temporary_.c_str());
}

bool DataFileOutput::Write(const void* data, std::size_t length) {
  if (!Opened() || error_ != 0) return false;
  std::size_t written = 0;
  error_ = torq::platform::FileWrite(handle_, data, length, written);
  written_ += written;
  return error_ == 0;
}

bool DataFileOutput::Close() {
  if (error_ == 0) error_ = torq::platform::FileFlush(handle_);
  std::uint64_t size = 0;
  if (error_ == 0 && !TorqGetFileSize(handle_, &size)) error_ = errno ? errno : EIO;
  if (error_ == 0 && size != written_) error_ = EIO;
  const int closeError = torq::platform::FileClose(handle_);
  handle_ = torq::platform::kInvalidFile;
  if (error_ == 0) error_ = closeError;
  return error_ == 0;
}

bool DataFileOutput::Commit() {
  if (!Opened()) return false;
  if (Close()) error_ = torq::platform::FileRename(temporary_.c_str(), name_);
  if (error_ == 0) {
    temporary_.clear();
    return true;
  }
  PrintFailure("Schreibfehler", name_, error_);
  return false;
}
