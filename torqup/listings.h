// The run's report on the standard error stream: title, effective parameters, the attributes
// of every input, member, output and container, record and byte counts, and the listing of
// the loaded defaults record. The show level decides what appears.
#pragma once
#include <cstdint>

#include "torqup/run_context.h"

// Show levels.
inline constexpr std::int32_t kShowNone = 0, kShowAll = 1, kShowAttributes = 2, kShowStatistic = 3,
                              kShowError = 4;

// Text of a name slot (length byte, text, NUL).
inline const char* SlotText(const std::uint8_t* slot) { return reinterpret_cast<const char*>(slot + 1); }

void msg_title(RunContext*& handle);
void msg_komp_attr(RunContext*& handle);
void msg_deko_attr(RunContext*& handle);
void msg_komp_torqin(RunContext*& handle);
void msg_komp_torqfile(RunContext*& handle);
void msg_deko_torqfile(RunContext*& handle);
void msg_deko_torqin(RunContext*& handle);
void msg_deko_torqout(RunContext*& handle);
void stat_komp(RunContext*& handle, const std::int32_t& records, const std::int32_t& bytesLow,
               const std::int32_t& bytesHigh);
void stat_unkomp(RunContext*& handle, const std::int32_t& records, const std::int32_t& bytesLow,
                 const std::int32_t& bytesHigh);
// Lists the loaded defaults record; 0, or -1 when none is loaded. The string is not used.
std::int32_t torq_list(const char* parameterString);
