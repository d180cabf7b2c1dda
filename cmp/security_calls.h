// Calls of the record interface into the container's security state.
#pragma once
#include <cstdint>

#include "cmp/control_block.h"

// Takes the record interface's running totals of original records and bytes. Flag 1 at
// close, 0 at a member end and on reading.
void passcount(CmpControlBlock* cb, const std::uint32_t& records, const std::uint64_t& bytes,
               std::uint8_t flag);
// Sets up the cipher of the crypt mode from the password.
void cmppwd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* password);

// The secured members' images. Interim bodies: containers with security are refused at the
// open (114) and at the first security header read, so these are not reached yet.
// Builds the security header image and the trailer record head (open for writing).
void init_sec(CmpControlBlock& cb);
// Raises the member counter into the security header image.
void build_memhdr(CmpControlBlock& cb);
// Stores the member counter and the counts into the trailer image.
void build_sectlr(CmpControlBlock& cb);
// Checks the trailer just read; 0 or the code.
std::int32_t check_sectlr(CmpControlBlock& cb);
