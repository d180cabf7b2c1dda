// Puts a finished output file in place of its target.
#pragma once
#include <string>

// Moves `temporary` (complete, in the target's folder) to `target`. An existing target is
// swapped out in one step, so the name always holds either the old or the new file, and is
// then removed under the temporary name. 0, or -1 with errno set (the temporary is then left
// as it was).
int ReplaceOutput(const std::string& temporary, const std::string& target);
