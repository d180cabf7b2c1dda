// What a run read, for the deletes at its end (indelete on compress, delete on decompress): a
// file is deleted only when the run no longer needs it and it is still what the run read.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A container read on decompress: how many members it has and how many were restored whole,
// and whether an output holding one of them was replaced later in the run.
struct ContainerUse {
  std::int32_t members = 0;
  std::int32_t restored = 0;
  bool outputReplaced = false;
};

// An input compressed, or a container read to its end.
struct ProcessedFile {
  std::string name;
  int container = -1;             // decompress: its entry in the run's container uses
  bool identityKnown = false;     // compress: the input's state when it was read is known
  bool changedWhileRead = false;  // compress: the input grew or changed before it was closed
  struct stat identity {};
};

struct ProcessedFiles {
  std::vector<ProcessedFile> files;
  std::vector<ContainerUse> containers;
  // Output files (links followed) and the containers whose members each now holds.
  std::map<std::string, std::vector<int>> outputHolds;

  // An input about to be closed, read through `fd` (-1: no descriptor, as for standard input).
  void AddInput(const std::string& name, int fd);
  // A container begins to be read; returns its entry.
  int BeginContainer();
  // The output file `key` is opened anew: what it held before is gone.
  void OutputReplaced(const std::string& key);
  // A member of `container` was restored whole into output file `key` (empty: not a file that
  // can be replaced, such as standard output or a device).
  void MemberRestored(int container, const std::string& key);
  // The container was read to its end with `members` members.
  void ContainerRead(int container, const std::string& name, std::int32_t members);
  // Deletes every processed file that may go; names each one kept and why. 0, or the code of
  // the first file not deleted.
  std::int32_t DeleteAll() const;
};
