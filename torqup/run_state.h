// Working values of one run that the steps share beyond the run context: what the run has
// processed (for the deletes at its end), and the state of the output file being restored.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "torqup/processed_files.h"
#include "torqup/run_context.h"
#include "torqup/temporary_files.h"

struct RunState {
  ProcessedFiles processed;                    // inputs compressed, containers read: for the deletes
  int currentContainer = -1;                   // decompress: the container being read, in `processed`
  std::string outputKey;                       // the output file being restored, links followed; empty:
                                               // written in place (standard output, a device)
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
