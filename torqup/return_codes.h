// What a run's return code tells: the file an origin tag names, and the process exit status.
#pragma once
#include <cstdint>

// The number of the message that names the file an origin-tagged code concerns (0 for none);
// the tag is stripped from the code as that message needs.
std::int32_t file_id(std::int32_t* code);

// The process exit status of a return code: its low 8 bits, 255 when those are 0 but the code
// is not.
int ExitStatusOf(std::int32_t rc);
