// Writes the message catalogue "torqmsg.dat" from the built-in message table: the German
// block, then the English block.
#pragma once
#include <cstdint>

// The byte length of one language's entries (header excluded) and their number, the closing
// entry included. Column 0 German, 1 English.
void CalcLenAndCount(int column, std::int32_t* length, std::int32_t* count);
// Writes that column's entries into the buffer (null: a zeroed counted block of `length`
// bytes is taken first) and returns it; null when they do not fit `length` bytes or no
// memory is left (a block taken here is then released).
char* MakeMsgBuf(char* buffer, int column, std::int32_t length);
// Writes the whole file under the catalogue name of the environment. 0, or 1 when the file
// cannot be created or written.
int MakeMsgDat();
