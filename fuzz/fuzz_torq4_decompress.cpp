// torq4 decompresses arbitrary container bytes with an output pattern taken from the input
// into a temporary folder: it must not crash, and every file it writes stays inside the output
// path.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/environment.h"
#include "support/message_output.h"
#include "torqinit/torqinit_run.h"
#include "torqup/run_driver.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Folder() {
  static const fs::path folder = fs::temp_directory_path() / ("torq-fuzz-torq4-" + std::to_string(::getpid()));
  return folder;
}

std::string Pattern(const std::uint8_t*& data, std::size_t& size) {
  static const char* const kPatterns[] = {"[]", "[*]", "[#]", "[#2]", "[#1=x.txt]", "[*.txt]", "[a]=b", "all.txt"};
  if (size == 0) return "[]";
  const std::uint8_t choice = *data++;
  --size;
  if (choice < 0x80) return kPatterns[choice % 8];
  std::string pattern;
  while (size > 0 && pattern.size() < (choice & 0x1F)) {
    const char c = static_cast<char>(*data++);
    --size;
    if (std::strchr("[]#*?=./\\:_-abcxyzAZ019", c) != nullptr && c != '\0') pattern.push_back(c);
  }
  // Names typed by the user are taken as given; a typed ".." may leave the output path.
  return pattern.empty() || pattern.find("..") != std::string::npos ? "[]" : pattern;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (RunTorqinit() != 0 || LoadEnvironment(gTorqExe) != 0) __builtin_trap();
  fs::create_directories(Folder());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pattern = Pattern(data, size);
  const fs::path container = Folder() / "in.tq", out = Folder() / "out";
  std::FILE* f = std::fopen(container.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::string parameters =
      "decompress,torqfile=" + container.string() + ",torqout=" + pattern + ",outpath=" + out.string() + ",show=none";
  const std::uint32_t length = static_cast<std::uint32_t>(parameters.size());
  RunContext* handle = nullptr;
  std::int32_t rc = 0;
  torqup(handle, rc, parameters.c_str(), length);
  if (handle != nullptr) __builtin_trap();
  for (const auto& entry : fs::directory_iterator(Folder())) {
    if (entry.path() != container && entry.path() != out) __builtin_trap();
  }
  std::error_code ignored;
  fs::remove_all(out, ignored);
  return 0;
}
