// The run driver of torq4: one run from a parameter string to its return code.
#pragma once
#include <cstdint>

#include "torqup/return_codes.h"
#include "torqup/run_context.h"

// Runs the parameter string (at most `length` bytes of it, up to its NUL). `handle` holds the
// run context during the run and is null afterwards; rc receives the run's return code.
void torqup(RunContext*& handle, std::int32_t& rc, const char* parameterString, const std::uint32_t& length);
