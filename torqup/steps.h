// The per-file steps of a run. Each takes the handle (the variable holding the run context),
// does nothing when its open flag says there is nothing to do, and leaves its result in the
// step return code.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "torqup/run_context.h"

// Name slots: a length byte, the text, a NUL.
inline std::string_view SlotView(const std::uint8_t* slot) {
  return {reinterpret_cast<const char*>(slot + 1), strnlen(reinterpret_cast<const char*>(slot + 1), slot[0])};
}
// Sets the length byte from the text.
inline void SetSlotLength(std::uint8_t* slot) {
  slot[0] = static_cast<std::uint8_t>(strnlen(reinterpret_cast<const char*>(slot + 1), kRunNameSlot - 2));
}
// Stores the text (at most 254 bytes) with its length byte and NUL; the text may overlap the slot.
inline void SetSlot(std::uint8_t* slot, std::string_view text) {
  const std::size_t n = std::min<std::size_t>(text.size(), 254);
  std::memmove(slot + 1, text.data(), n);
  slot[0] = static_cast<std::uint8_t>(n);
  slot[1 + n] = 0;
}

inline bool Shows(const RunContext& ctx, std::initializer_list<std::int32_t> levels) {
  return std::find(levels.begin(), levels.end(), ctx.show) != levels.end();
}

// The member counter of a secured container out of step: read in the security header that
// begins the next member, so the member being restored ended whole.
inline constexpr std::int32_t kNextMemberOutOfStep = 351;

// A later failure counts only when no earlier code is set.
inline void KeepFirst(RunContext& ctx, std::int32_t rc) {
  if (ctx.stepRc == 0 && rc != 0) ctx.stepRc = rc;
}

// A code with an origin tag in its top bits.
inline std::int32_t Tagged(std::uint32_t tag, std::int32_t rc) {
  return static_cast<std::int32_t>(tag | static_cast<std::uint32_t>(rc));
}

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
// Names the file a failed compress step concerns, by the code's origin: the container for a
// code of the container side, else the input; then the code's message ("Write error" or "Read
// error" for a system error, whose own text the failed call printed or the run's end prints).
void ReportFileFailure(const RunContext& ctx, std::int32_t rc);

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
