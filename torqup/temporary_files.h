// Files a run writes whole (containers, restored outputs) go under a temporary name in their
// target's folder and take the target's name only when complete. A run that fails removes
// them; a run ended by SIGINT, SIGTERM or SIGHUP removes them in the signal handler, so no
// half-written file is ever left under a name that reads as whole.
#pragma once
#include <cstdint>
#include <string>

// A temporary name in the folder of `target`, unique to this process. The name is registered
// for removal on a signal until ReleaseTemporary is called with it.
std::string TemporaryName(const std::string& target);

// Ends the registration of a temporary name (after it was renamed into place or removed).
void ReleaseTemporary(const std::string& name);

// Registers a file appended to in place: until ReleaseTemporary is called with its name, a
// signal cuts it back to `keptLength`, or removes it when the run `created` it.
void RegisterAppended(const std::string& target, std::int64_t keptLength, bool created);

// Takes back every registered file (removes a temporary, cuts back an appended file) and ends
// their registration.
void RemoveTemporaries();

// Has SIGINT, SIGTERM and SIGHUP remove the registered temporary files, then end the process
// by the same signal. A signal that was ignored at the start stays ignored.
void InstallTemporaryCleanup();

// One file written under a temporary name. Removed when it is given up or destroyed uncommitted.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Discard(); }

  // Creates the temporary file for `target`, with the target's permission bits when it exists,
  // and with its bytes when `keepContent`, so the work can add to them. 0 or an errno value.
  int Begin(const std::string& target, bool keepContent);
  bool Active() const { return !name_.empty(); }
  const std::string& Name() const { return name_; }
  const std::string& Target() const { return target_; }
  // Flushes the file's bytes to the disk and renames it into its target's place, then flushes
  // the folder. 0 or an errno value; on failure the temporary is removed.
  int Commit();
  // Removes the temporary file.
  void Discard();

 private:
  std::string name_, target_;
};

// Whether a target should be written under a temporary name: a regular file or a name not in
// use (devices, pipes and standard output are written in place).
bool WritesThroughTemporary(const std::string& target);
