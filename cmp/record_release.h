// Frees whatever a handle still holds (coder, matrix buffer, control block, container file)
// and the handle itself, without writing anything; the slot is cleared.
#pragma once
#include <cstdint>

#include "cmp/record_handle.h"

void TrqRelease(RecordHandle*& slot);
// Closes the coder the handle holds; its code, and the kernel's close word.
std::int32_t TrqCloseCoder(RecordHandle& h, std::int32_t& closeWord);
