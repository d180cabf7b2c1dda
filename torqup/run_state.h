// Working values of one run that the steps share beyond the run context: what the run has
// processed (for deletion and for syncing before it), and the state of the output file being
// restored under a temporary name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "torqup/run_context.h"
#include "torqup/temporary_files.h"

struct RunState {
  std::vector<std::string> processedInputs;    // inputs compressed, containers read completely
  std::vector<std::string> writtenFiles;       // containers and outputs written, synced before deletion
  std::string targetName;                      // the output file being restored, as the user named it
  TemporaryFile output;                        // where it is written until complete; inactive: in place
  FileLock appendLock;                         // appending in place: the target, locked
  std::string appendedName;                    // appending in place: the file appended to, links followed
  std::int64_t keptLength = -1;                // appending in place: the target's length before; -1 none
  bool targetCreated = false;                  // appending in place: the open created the target
  bool outputFailed = false;                   // a member of the open output was not restored whole
  bool firstRecordRead = false;                // the member's method was taken from its first record
  std::vector<std::uint8_t> translated;        // a translated copy of a restored record
  std::int32_t refusedNames = 0;               // members passed over for an unusable stored name
  TemporaryFile container;                     // the container being written, until closed whole
};

// The state of the run in progress, or null outside a run.
RunState* CurrentRunState();
// Installs the state for the duration of a run (null ends it).
void SetCurrentRunState(RunState* state);

// Releases a record handle whose open did not finish (no container open flag).
void ReleaseHalfOpenContainer(RunContext& ctx);
