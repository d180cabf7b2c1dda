#include "torqup/replace_output.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int ReplaceOutput(const std::string& temporary, const std::string& target) {
  // A rename over an existing file makes this file system start writing the new file's data
  // at once and drop the old one's, both inside the call; an exchange of the two names does
  // neither, and the old file goes with its unlink.
  // Only a regular file is swapped out: anything else in the target's place (a folder) must
  // make the move fail, as a rename does, not end up under the temporary name.
  struct stat info {};
  const bool regular = lstat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  if (regular && renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
    unlink(temporary.c_str());  // the old output; a failure leaves it under the temporary name
    return 0;
  }
  // No old file (ENOENT), or a file system without exchange: the plain rename.
  return rename(temporary.c_str(), target.c_str()) == 0 ? 0 : -1;
}
