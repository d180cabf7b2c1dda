// Numbered message lines on the standard error stream, each with the prefix of date, time,
// thread id, sequence number and level tag, and the listing output without prefix.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>

// The sequence number of the next prefixed line; starts at 1, shown modulo 10000.
extern std::uint32_t gMsgLfdNr;
extern const char PrefixFmt[];

// Room that always holds a prefix with its NUL.
inline constexpr std::size_t kMsgPrefixSize = 64;
// The longest line a message writes, prefix and line end included; longer text is cut.
inline constexpr std::size_t kMaxMessageLine = 4096;

// Writes the prefix (level 0 plain, 1 warning, 2 error, else " ?? ") into the buffer and
// returns its length; takes and advances the sequence number.
int MsgPrefix(std::span<char> buffer, int level, std::int32_t number);

// Every message write goes through here: keeps the thread's last system error, appends at the
// end of the stream, writes the whole formatted text at once and flushes.
void VMsgPutF(const char* format, va_list args);

// Prefix at level 0, the text of the number formatted with the arguments, a newline.
void MsgPut(std::int32_t number, ...);
// The same with the given level (1 warning, 2 error).
void MsgPutError(int level, std::int32_t number, ...);
// MsgPutError for a number reported without its inserts: the text's conversions are left out.
void MsgPutErrorNoInserts(int level, std::int32_t number);
// Prefix at level 0 followed by the caller's format.
void MsgPutF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// An operating-system error line for the code (-1: the thread's last error).
void MsgPutSystemError(std::int32_t code);
// The message of a return code at level 2: the system's own text for a code that carries a
// system error (0x0F000000 + the error number, under any origin tag), else the numbered text.
void MsgPutReturnCode(std::int32_t rc);
// Shows at most 199 bytes of raw data as one line: as text, as EBCDIC text, or in hex.
void MsgPutText(const void* data, std::int32_t length);
// A delimiter label line with prefix (see MsgListDelim).
void MsgPutDelim(std::int32_t number, std::uint32_t delimiter);

// Listing output without prefix.
void MsgList(std::int32_t number, ...);
void MsgListF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Formats into 512 bytes, repairs the month name "M\x1e." to "Mrz " and writes it as text.
void MsgListOemF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The title, then the 256-byte table as 32 lines of 8 index:value pairs.
void MsgListCodeTab(const char* title, const unsigned char* table);
// A descriptor of 0 stands for CR LF; with two characters the label number + 1 is listed with
// (first << 8) | second, else the number itself with the first character.
void MsgListDelim(std::int32_t number, std::uint32_t delimiter);

// Sends the message stream to the file (append) when it can be opened; a non-null name
// restarts the sequence number at 1 either way.
void MsgOpn(const char* fileName);

// Record formats that end records with a delimiter (text, dtext, asn1_stream).
int RecformDelimeted(std::int32_t recordFormat);
// Record formats that pad records (var_2b, fix, var_4b, asn1_blk).
int RecformPadded(std::int32_t recordFormat);

// Test hooks: the clock and the thread id used by the prefix; null restores the system's.
using MsgClockFn = void (*)(std::tm* now);
using MsgThreadIdFn = std::uint32_t (*)();
void MsgSetPrefixSources(MsgClockFn clock, MsgThreadIdFn threadId);
