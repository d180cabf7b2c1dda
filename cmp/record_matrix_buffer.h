// The record matrix buffer of a handle: allocated for a method and buffer size, with every
// pointer and size derived from it set at once.
#pragma once
#include <cstdint>

#include "cmp/record_methods.h"

// Replaces the handle's matrix buffer by one for the method and buffer size (rounded to the
// sizes a container can name), laid out and emptied. -1 when there is no memory: the handle is
// then left without a matrix buffer.
std::int32_t TrqAllocateMatrix(RecordHandle& h, const RecordMethod& method,
                               std::int32_t bufferSize);
// Frees the matrix buffer and clears every pointer into it.
void TrqFreeMatrix(RecordHandle& h);
