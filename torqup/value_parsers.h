// Turning a keyword's value (the current token in the run context's value buffer) into its
// stored form: file names and name lists, delimiters, exit names, hex bytes, code-table
// entries and passwords. They print nothing; the parser reports their refusals.
#pragma once
#include <cstdint>

#include "torqup/run_context.h"

// One file name, or a bracketed list read on from the parse position, at ctx.dest (a name slot)
// or in a new 1,024-byte list buffer (ctx.nameListBuffer). ctx.nameCount is set. 0; 82 a bad
// value (name over 255, empty or over-long list, a list in a defaults request); -1 no memory.
std::int32_t parval_fil(RunContext& ctx);
// A delimiter descriptor from 2 or 4 hex digits (optionally after a double quote): count in
// bits 24-31 (255 = invalid), first character bits 0-7, second bits 8-15.
std::uint32_t parval_Delim(RunContext& ctx);
// An exit name of at most 8 (32) characters at ctx.dest: length byte, text, NUL. 0 or 255.
std::int32_t parval_char8(RunContext& ctx);
std::int32_t parval_char32(RunContext& ctx);
// A hex value word from exactly 2 or 4 hex digits, optionally in double quotes: count in bits
// 24-31 (255 = invalid), last byte in bits 0-7, first of two in bits 8-15.
std::uint32_t parval_hexa(const char* text, std::int32_t length);
std::uint32_t parval_hexa(RunContext& ctx);
// Pairs of hex digits to bytes at ctx.dest (room for 256 bytes), then a NUL. 0 or 255.
std::int32_t parval_hexa_str(RunContext& ctx);
// One code-table entry "index:value" into the 256-byte table at ctx.dest. 0, or 90 for a bad
// entry (also an index above 255).
std::int32_t parval_code(RunContext& ctx, const char* entry, std::int32_t length);
// 0-255 from two hex digits, or -1.
std::int32_t HexToChar(const char* digits);

// Passwords from the current token: 0; 89 too long; 82 (hex) odd count or a bad digit.
std::int32_t GetPasswordAscii(RunContext& ctx);
std::int32_t GetPasswordEbcdic(RunContext& ctx);
std::int32_t GetPasswordHex(RunContext& ctx);
// Overwrites the value of the password item at ctx.keyword in the parameter string copy with
// "*" and blanks, when that item lies in the copy.
void HidePassword(RunContext& ctx);
