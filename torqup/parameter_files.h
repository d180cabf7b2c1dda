// Parameter files and the password file: opening, reading significant lines, gathering a
// parameter file's items into blocks, and reading a password file.
#pragma once
#include <cstdint>

#include "torqup/run_context.h"

// Opens the file as text for reading into ctx.parFile, its full name in ctx.parFileFullName.
// 0; -1 when a file is open already or no memory; the open's code otherwise (2044 line and the
// system text printed).
std::int32_t OpenParameterFile(RunContext& ctx, const char* name);
// The next significant line in ctx.parLine: ctx.keyword at its first character above blank,
// ctx.token at its end, ctx.lineLength its length. 0; 2 end of file; the read's code otherwise
// (2044 line and the error printed). Blank lines and lines beginning with "!" or ";" are skipped.
std::int32_t ReadParameterFile(RunContext& ctx, const char* name);
// Closes the open file and clears the slot.
void CloseParameterFile(RunContext& ctx);
// Gathers the next block of items of the parameter file named in ctx.parFileName (opening it
// when needed) into ctx.parBlock, ready to be parsed (ctx.parse .. ctx.textEnd). The pending
// flag is cleared when the file ends. 0, or the open's or the read's code.
std::int32_t ReadParameterBlock(RunContext& ctx);
// Reads the password file named in ctx.pafileName: passwords, crypt mode and comment.
// 0 or an error number (printed). `noneAsked`, when given, tells whether the file's last word
// on encryption was `cryptmode=none` (after any password it gave).
std::int32_t GetPasswordFromFile(RunContext& ctx, bool* noneAsked = nullptr);
