// Matching the current keyword or value word against the tables, and cutting a keyword's value
// out of the text being parsed into the run context's value buffer.
#pragma once
#include <cstdint>

#include "torqup/keyword_tables.h"
#include "torqup/run_context.h"

// parkey's answer for a keyword or value that does not fit the value buffer (message 89).
inline constexpr std::int32_t kParkeyTooLong = 256;

// The keyword in ctx.value (tokenLength characters, lower case) is matched in the table; the
// parse position stands on the character after it. Returns the row's code (for a valued
// keyword with its value in ctx.value/ctx.token/ctx.tokenLength and the parse position past the
// value and its separator), 255 when nothing matches or the form is wrong, kParkeyTooLong.
std::int32_t parkey(RunContext& ctx, KeywordTable table);
// The same for a password-file line: the keyword must be followed by "=", the value is the
// whole rest of the line (ctx.parse .. ctx.textEnd).
std::int32_t ParKeyPar(RunContext& ctx, KeywordTable table);
// Lower-cases the current token in place and returns the value of the first row it selects,
// or 255.
std::int32_t parval_str(RunContext& ctx, KeywordTable table);
