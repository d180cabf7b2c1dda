// Path and file helpers shared by the whole system. Paths use '/'; there are no drive letters.
// No helper copies without a bound: a path too long for its result is refused, never cut
// into a neighbour's memory.
#pragma once
#include <cstddef>
#include <cstdint>

// Room for a full path, NUL included. Every buffer these helpers fill holds at least this.
inline constexpr std::size_t kTorqMaxPath = 4096;

// The path cut before its last '/' (the whole path when it has none; "/" for a name in the
// root directory), in a static buffer that
// the next call overwrites. A path of kTorqMaxPath bytes or more gives the empty text.
const char* F_ExtractFilePath(const char* path);
// Points after the last '/' of the path, or at the path itself; null gives null.
const char* F_ExtractFileName(const char* path);
char* F_ExtractFileName(char* path);
// 1 when the path names a directory, else 0.
int F_DirectoryExists(const char* path);
// 1 when the path exists and is not a directory, else 0.
int F_FileExists(const char* path);
// Low 32 bits of the file's size; 0xFFFFFFFF when it cannot be read.
std::uint32_t F_GetFileSize(const char* path);
// As F_GetFileSize; on success also stores the high 32 bits through a non-null `high`.
std::uint32_t F_GetFileSizeEx(const char* path, std::uint32_t* high);
// Creates the directory and every missing parent; failures show in a later existence test.
void F_ForceDirectoriesEx(const char* dir);
// Expands the path to a full path, creates it with its parents; 1 when it exists afterwards.
int F_ForceDirectories(const char* path);
// The full path of `name` (which need not exist) in `buffer`. Returns its length; the size
// needed (NUL included) when `size` is too small; 0 on failure. `filePart`, when given,
// receives the position after the last '/' (null when the path ends in '/').
std::uint32_t F_GetFullPathName(const char* name, std::uint32_t size, char* buffer, char** filePart);
// Makes a name from another system usable as a local path, in place: a separator directly
// followed by another becomes '_', '\' becomes '/', and ':', '<', '>', '|' become '_'.
char* AdaptFileName(char* name);
// Size of an open file; on failure false with the size set to all ones.
bool TorqGetFileSize(int handle, std::uint64_t* size);
// Moves the file position by the whole 64-bit distance (origin 0 begin, 1 current, 2 end).
// Returns the low 32 bits of the new position (all ones on failure) and stores the whole
// position through a non-null `newPosition`.
std::uint32_t TorqSetFilePointer(int handle, std::int64_t distance, std::uint64_t* newPosition, int origin);

// fnsplit result flags.
inline constexpr int kFnDrive = 1, kFnDirectory = 2, kFnName = 4, kFnExtension = 8, kFnWildcards = 16;
// Splits a path into directory (up to and including the last '/'), name and extension (from
// the last '.', dot included; leading dots belong to the name). The drive is always empty.
// Each given buffer needs room for kTorqMaxPath bytes, or the path's length plus 1. A path of
// kTorqMaxPath bytes or more is refused: result 0, every buffer empty. Wildcards are '*', '?'.
int fnsplit(const char* path, char* drive, char* dir, char* name, char* ext);
// Joins directory (a '/' is added when it does not end in one), name and extension (a '.' is
// added when it does not begin with one). The drive is ignored. When the result does not fit
// `size` bytes, `path` becomes the empty text.
void fnmerge(char* path, const char* drive, const char* dir, const char* name, const char* ext,
             std::size_t size = kTorqMaxPath);
// The higher address of the two; a null pointer counts as the lowest.
const void* max_ptr(const void* a, const void* b);
