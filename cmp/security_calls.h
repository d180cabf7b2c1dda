// Calls of the record interface into the container's security state.
#pragma once
#include <cstdint>

#include "cmp/control_block.h"
#include "cmp/security_records.h"

// Takes the record interface's running totals of original records and bytes. Flag 1 at
// close, 0 at a member end and on reading.
void passcount(CmpControlBlock* cb, const std::uint32_t& records, const std::uint64_t& bytes,
               std::uint8_t flag);
// Sets up the cipher of the crypt mode from the password.
void cmppwd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* password);

