// The per-file steps of a run. Each takes the handle (the variable holding the run context),
// does nothing when its open flag says there is nothing to do, and leaves its result in the
// step return code.
#pragma once
#include <cstdint>

#include "torqup/run_context.h"

// Compress.
void open_torqin(RunContext*& handle);
void open_komp_torqfile(RunContext*& handle);
void put_header(RunContext*& handle);
void komp_file(RunContext*& handle);
void flush_komp_torqfile(RunContext*& handle);
void close_torqin(RunContext*& handle);
void close_komp_torqfile(RunContext*& handle);
// Record format and delimiter of a member from its system header.
void rec_form_delim(RunContext*& handle);

// Decompress.
void open_deko_torqfile(RunContext*& handle);
void get_header(RunContext*& handle);
void open_torqout(RunContext*& handle);
void deko_file(RunContext*& handle);
void close_torqout(RunContext*& handle);
void close_deko_torqfile(RunContext*& handle);
void close_deko_torqfile_err(RunContext*& handle);
void msg_deko_norepl(RunContext*& handle);
void msg_deko_inv_fn(RunContext*& handle);

// Output names. copnam builds `output` (a name slot) from `source` and the pattern; kind
// receives 0 for a plain pattern, -3 for a bracket pattern. 0, 92 (not selected) or 39 (a
// stored name that cannot be used safely, only when `storedName` is set).
std::int32_t copnam(RunContext* ctx, const std::uint8_t* source, std::uint8_t* output, std::int32_t& kind,
                    const std::uint8_t* pattern, bool storedName = false);
// rc 85 when both names denote the same file. An empty name is a standard stream: input on
// compress and container on decompress read fd 0, the others write fd 1.
void chknam(RunContext*& handle, std::int32_t& rc, const std::uint8_t* first, const std::uint8_t* second);
