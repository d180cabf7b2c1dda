// A data file that torqinit writes. The bytes go to a temporary file beside it, which replaces
// the old file only once every byte was written, flushed and counted: a failed write leaves the
// old file as it was. Failures print the tool's console lines with the system's error text.
#pragma once
#include <cstddef>
#include <string>

#include "support/platform/file_io.h"

class DataFileOutput {
 public:
  // Creates the temporary file; a failure prints "Openfehler %s ERROR: %d\n" with the system
  // error and its text. A null name (none was set up) creates nothing, and the line names
  // `fallbackName`.
  DataFileOutput(const char* name, const char* fallbackName);
  // Removes the temporary file when Commit did not take it.
  ~DataFileOutput();
  DataFileOutput(const DataFileOutput&) = delete;
  DataFileOutput& operator=(const DataFileOutput&) = delete;

  bool Opened() const { return handle_ != torq::platform::kInvalidFile; }
  // Writes all bytes; false (and nothing more is written) once a write has failed.
  bool Write(const void* data, std::size_t length);
  // Marks the file as failed for a reason of the writer's own (a system error number).
  void Fail(int error) { if (error_ == 0) error_ = error; }
  // Flushes and closes the temporary file, checks that it holds every byte written and puts
  // it in the place of the file. False, after printing "Schreibfehler %s ERROR: %d\n" with
  // the first error and its text, when any step failed; the old file is then untouched.
  bool Commit();
  // The bytes written so far.
  std::size_t Written() const { return written_; }

 private:
  bool Close();

  const char* name_;
  std::string temporary_;
  torq::platform::FileHandle handle_ = torq::platform::kInvalidFile;
  std::size_t written_ = 0;
  int error_ = 0;
};
