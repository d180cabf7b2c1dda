// A finished output takes its target's name: over an old file, in place of none, and not at
// all when the target cannot be reached (the temporary then stays for the caller).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "torqup/replace_output.h"

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::string Get(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(ReplaceOutput, NewFileTakesTheNameAndNothingElseStays) {
  const fs::path dir = fs::temp_directory_path() / ("torq_replace_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const bool old : {true, false}) {
    fs::remove(dir / "target");
    if (old) Put(dir / "target", std::string(100000, 'o'));
    Put(dir / "tmp", "new");
    EXPECT_EQ(ReplaceOutput((dir / "tmp").string(), (dir / "target").string()), 0) << old;
    EXPECT_EQ(Get(dir / "target"), "new") << old;
    EXPECT_FALSE(fs::exists(dir / "tmp")) << old;
  }
  // A target in a folder that is not there: -1 with the system error, the temporary kept.
  Put(dir / "tmp", "kept");
  errno = 0;
  EXPECT_EQ(ReplaceOutput((dir / "tmp").string(), (dir / "none" / "target").string()), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(Get(dir / "tmp"), "kept");
  fs::remove_all(dir);
}
