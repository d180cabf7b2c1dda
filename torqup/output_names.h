// Output names from name patterns ("[]", "[*]", "[#]", "[#n]", "[#n=new]", "[*.txt]",
// "[x]=y", ...) and the test whether two names denote the same file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Longest file name the steps carry (a length byte and a NUL around it fill a name slot).
inline constexpr std::size_t kMaxOutputName = 254;

// Codes of the name steps.
inline constexpr std::int32_t kRcSameFile = 85;       // input and output are the same file
inline constexpr std::int32_t kRcNotSelected = 92;    // the pattern does not select the name
inline constexpr std::int32_t kRcInvalidName = 39;    // a stored name that cannot be used safely
inline constexpr std::int32_t kRcNameTooLong = 90;    // the full output name is longer than a slot holds

// How a decompress output pattern maps members to files.
enum class PatternKind : std::int32_t {
  kPlain = 0,        // every member into the one named file
  kRename = 1,       // [old=new]: one file named from the container's name
  kWhole = -1,       // "[*]"
  kLastPart = -2,    // "[]"
  kSelect = -3,      // "[#...]" or another bracketed form: one file per selected member
};

// The kind of a pattern; `balanced` is false when its '[' and ']' counts differ.
PatternKind OutputPatternKind(std::string_view pattern, bool* balanced);

// Applies the pattern to the source name (a member's stored name, or the container or input
// name). 0 with the new name in `out`, or 92 when the pattern does not select the source.
// `fromSource` tells whether the name was taken from the source (rather than typed in the
// pattern or generated).
std::int32_t ApplyNamePattern(std::string_view source, std::string_view pattern, std::int32_t member,
                              std::string& out, bool& fromSource);

// Makes a name taken from a container's member relative and harmless: '\' becomes '/', a
// drive "X:" and leading '/' go. False when what is left is empty, has a ".." component or is
// longer than kMaxOutputName.
bool ConfineStoredName(std::string& name);

// The final output name: local characters adjusted, placed under the output path when one is
// given (the path gets its trailing '/' here), made a full path, its folders created. The
// empty name (standard output) stays empty. 0; 90 when the full name is longer than
// kMaxOutputName, reported here with the system's text and the whole name (a name is refused,
// never cut); or the system error (with 0x0F000000) when a folder cannot be created, reported
// here with the system's text and the name.
std::int32_t FinishOutputName(std::string& name, std::string& outputPath);

// Whether a code of FinishOutputName was reported where the name was built.
inline bool ReportedWhereBuilt(std::int32_t rc) {
  return rc == kRcNameTooLong || (static_cast<std::uint32_t>(rc) & 0x0F000000u) == 0x0F000000u;
}

// 85 when both names denote the same file: both exist with the same device and inode (links
// included), or their full paths are equal. An empty name stands for the open descriptor
// given beside it (a standard stream). 0 otherwise, also when both names are empty.
std::int32_t SameFileCheck(std::string_view first, int firstStream, std::string_view second, int secondStream);
