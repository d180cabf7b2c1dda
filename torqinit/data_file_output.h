// A data file that torqinit writes: created (an old one truncated) for binary writing, with
// the tool's console lines for a failed create or write.
#pragma once
#include <cstddef>

#include "support/platform/file_io.h"

class DataFileOutput {
 public:
  // Creates the file; a failure prints "Openfehler %s ERROR: %d\n" with the system error. A
  // null name (none was set up) creates nothing, and the line names `fallbackName`.
  DataFileOutput(const char* name, const char* fallbackName);
  ~DataFileOutput();
  DataFileOutput(const DataFileOutput&) = delete;
  DataFileOutput& operator=(const DataFileOutput&) = delete;

  bool Opened() const { return handle_ != torq::platform::kInvalidFile; }
  // Writes all bytes; false (and nothing more is written) once a write has failed.
  bool Write(const void* data, std::size_t length);
  // Marks the file as failed for a reason of the writer's own (a system error number).
  void Fail(int error) { if (error_ == 0) error_ = error; }
  // Closes the file. False, after printing "Schreibfehler %s ERROR: %d\n" with the first
  // error, when any write or the close failed.
  bool Close();

 private:
  const char* name_;
  torq::platform::FileHandle handle_ = torq::platform::kInvalidFile;
  int error_ = 0;
};
