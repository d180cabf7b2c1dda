#include "torqup/processed_files.h"

#include <unistd.h>

#include <span>

#include "fio/name_expansion.h"
#include "support/build_stamp.h"
#include "support/message_output.h"
#include "torqup/shown_names.h"

TORQ_BUILD_STAMP("TorqProcessed")

namespace {

bool SameState(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Why a processed file must stay, or null when it may be deleted.
const char* KeepReason(const ProcessedFile& file, const std::vector<ContainerUse>& containers) {
  if (file.container >= 0 && static_cast<std::size_t>(file.container) < containers.size()) {
    const ContainerUse& use = containers[static_cast<std::size_t>(file.container)];
    if (use.restored < use.members) return "not every member of it was restored";
    if (use.outputReplaced) return "an output that held its members was replaced later in the run";
  }
  if (file.identityKnown) {
    struct stat now {};
    if (file.changedWhileRead || stat(file.name.c_str(), &now) != 0 || !SameState(now, file.identity)) {
      return "it changed after it was read";
    }
  }
  return nullptr;
}

}  // namespace

void ProcessedFiles::AddInput(const std::string& name, int fd) {
  ProcessedFile file;
  file.name = name;
  if (fd > 2 && fstat(fd, &file.identity) == 0 && S_ISREG(file.identity.st_mode)) {
    file.identityKnown = true;
    // Read to its end, a file stands where the reading stopped; more bytes came in since.
    const off_t position = lseek(fd, 0, SEEK_CUR);
    file.changedWhileRead = position >= 0 && position != file.identity.st_size;
  }
  files.push_back(std::move(file));
}

int ProcessedFiles::BeginContainer() {
  containers.emplace_back();
  return static_cast<int>(containers.size()) - 1;
}

void ProcessedFiles::OutputReplaced(const std::string& key) {
  const auto held = outputHolds.find(key);
  if (held == outputHolds.end()) return;
  for (const int container : held->second) containers[static_cast<std::size_t>(container)].outputReplaced = true;
  outputHolds.erase(held);
}

void ProcessedFiles::MemberRestored(int container, const std::string& key) {
  if (container < 0 || static_cast<std::size_t>(container) >= containers.size()) return;
  containers[static_cast<std::size_t>(container)].restored += 1;
  if (!key.empty()) outputHolds[key].push_back(container);
}

void ProcessedFiles::ContainerRead(int container, const std::string& name, std::int32_t members) {
  if (container < 0 || static_cast<std::size_t>(container) >= containers.size()) return;
  containers[static_cast<std::size_t>(container)].members = members;
  ProcessedFile file;
  file.name = name;
  file.container = container;
  files.push_back(std::move(file));
}

std::int32_t ProcessedFiles::DeleteAll() const {
  std::int32_t result = 0;
  std::vector<std::uint8_t> list;
  for (const ProcessedFile& file : files) {
    if (file.name.empty() || file.name.size() > 255) continue;
    if (const char* reason = KeepReason(file, containers)) {
      // The end of the run reports the code with its text ("File was not deleted").
      MsgPutF("*ERROR* %s: %s\n", ShownName(file.name).c_str(), reason);
      if (result == 0) result = kFioEraseFailed;
      continue;
    }
    list.push_back(static_cast<std::uint8_t>(file.name.size()));
    list.insert(list.end(), file.name.begin(), file.name.end());
    list.push_back(0);
  }
  list.push_back(0);
  std::int32_t rc = 0;
  fioera(nullptr, rc, 0, std::span<const std::uint8_t>(list));
  return result != 0 ? result : rc;
}
