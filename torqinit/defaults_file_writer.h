// Writes the defaults record file "torqdef.dat" with the factory settings.
#pragma once
#include <cstdint>

#include "support/environment_defstruct.h"

// torqinit's one instance of the record.
extern DefStruct fdt;

// Fills fdt with the factory values, the two code tables and last the CRC-32 of bytes 0 to
// 3063; returns the CRC.
std::uint32_t InitDefaults();
// Writes fdt under the defaults file name of the environment with one write. 0, or 1 when the
// file cannot be created or written.
int MakeDefDat();
