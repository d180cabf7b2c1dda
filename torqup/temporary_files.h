// Files a run writes whole (containers, restored outputs) go under a temporary name in their
// target's folder and take the target's name only when complete. A run that fails removes
// them; a run ended by SIGINT, SIGTERM or SIGHUP removes them in the signal handler, so no
// half-written file is ever left under a name that reads as whole.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

// Ends the registration of a file for the signal handler (after its temporary was renamed
// into place or removed, or after an appended file was closed whole).
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

// The file a name stands for when it is written: a symbolic link is followed (link by link,
// also to a file that does not exist yet), so its target is the file written or replaced.
// False when the name is written in place: it is, or leads to, something other than a
// regular file (a device, a FIFO, a folder, a descriptor link such as /dev/stdout).
bool ReplaceableTarget(const std::string& name, std::string& resolved);

// An exclusive lock (flock) on a file for as long as the object lives, so two runs that add to
// one file work one after the other. Taken on the file the name leads to once the lock is
// held: a file replaced while this run waited is opened and locked again.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { Release(); }
  // Locks `name` (a regular file). With `create` it is opened for writing too, and made when
  // missing as a plain create would make it; `created` tells whether this call made it. 0 or an
  // errno value.
  int Acquire(const std::string& name, bool create, bool& created);
  void Release();
  int Descriptor() const { return fd_; }
  // Whether `name` still leads to the locked file (not to one put in its place since).
  bool Names(const std::string& name) const;
  // The file's length when the lock was taken.
  std::int64_t Length() const { return length_; }

 private:
  int fd_ = -1;
  std::int64_t length_ = 0;
};

// One file written under a temporary name, to replace its target whole. The temporary is
// created exclusively, never through a link, under a name no other process can foresee, and
// readable by its owner only until it takes the target's place. Then it gets the target's
// mode, owner and group when the target existed (as far as this process may set them), or the
// mode a plain create gives. Removed when it is given up or destroyed uncommitted.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() { Discard(); }

  // Creates the temporary file for `target` (a name ReplaceableTarget accepts) in the folder of
  // the file it leads to. With `keepContent` the target is locked for the life of this object
  // and its bytes are copied, so the work can add to them. 0 or an errno value.
  int Begin(const std::string& target, bool keepContent);
  bool Active() const { return fd_ >= 0; }
  const std::string& Name() const { return name_; }
  // The file replaced: the target, its links followed.
  const std::string& Target() const { return target_; }
  // Puts the file in its target's place. With `sync`, its bytes are flushed to the disk first
  // and the folder after. 0 or an errno value; on failure the temporary is removed.
  int Commit(bool sync = true);
  // Removes the temporary file.
  void Discard();

 private:
  std::string name_, target_;
  int fd_ = -1;
  bool existed_ = false;
  mode_t mode_ = 0;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  FileLock lock_;
};

// Whether a target should be written under a temporary name: a regular file or a name not in
// use (devices, pipes and standard output are written in place).
bool WritesThroughTemporary(const std::string& target);
