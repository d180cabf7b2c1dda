// The plain function interface of the buffered file classes. The record layer holds an opaque
// handle (null: no object) and never touches the classes directly. Functions that take a
// handle check it for null and forward to one operation of the object; int results are 1 for
// success and 0 for failure, with the reason in BasicLastError(handle).
#pragma once
#include <cstdint>

#include "fio/buffered_file.h"

inline constexpr int kBasicIoInput = 0;   // a reader
inline constexpr int kBasicIoOutput = 1;  // a writer

// The interface's own last error, for the cases in which there is no object to ask: 6 for a
// call on a null handle, 12 for a bad I/O type, the object's error after a failed BasicRead,
// BasicReadUpdate or BasicCreateFileEx, and after a failed close inside a writer's destructor.
extern std::int32_t LastBasicIoError;

// A reader (0) or writer (1) that is not open yet; null for another type (12) or no memory.
TBasicIo* BasicIoCreate(int type);
// A reader on standard input (0) or a writer on standard output (1). The object is returned
// even when the process has no such stream; it is then not open.
TBasicIo* BasicStdIoCreate(int type);
// Destroys the object through its concrete class; a still-open file is closed (a writer's
// buffered data is written first).
void BasicIoDelete(TBasicIo* handle);

int BasicOpenFile(TBasicIo* handle, const char* name, std::uint32_t flags);
// flags kIoCreateAppend (8) appends to an existing file.
int BasicCreateFile(TBasicIo* handle, const char* name, std::uint32_t flags);
// Nothing in the system uses it; every call gives null.
TBasicIo* BasicCreateFileEx(const char* name, int type, std::uint32_t a, std::uint32_t b,
                            std::uint32_t c);

// Get (or GetUpdate) and a copy of the bytes to `destination`, which holds `length` bytes
// (at most 64 KB). On failure `got` is 0 and LastBasicIoError takes the object's error.
int BasicRead(TBasicIo* handle, void* destination, std::uint32_t length, std::uint32_t* got);
int BasicReadUpdate(TBasicIo* handle, void* destination, std::uint32_t length,
                    std::uint32_t* got);
// Get (or GetUpdate) handing out a pointer into the object's buffer.
int BasicGet(TBasicIo* handle, void** data, std::uint32_t length, std::uint32_t* got);
int BasicGetUpdate(TBasicIo* handle, void** data, std::uint32_t length, std::uint32_t* got);
// A reader's GetRun: whole units in place, at most `most` bytes (64 KB). Fails with 12 on a
// writer.
int BasicGetRun(TBasicIo* handle, void** data, std::uint32_t unit, std::uint32_t most,
                std::uint32_t* got);
// A writer's WriteRoom and WriteCommit: a run of records written straight into its buffer.
// Fail with 12 on a reader.
int BasicWriteRoom(TBasicIo* handle, void** room, std::uint32_t* size, std::uint32_t* starts);
int BasicWriteCommit(TBasicIo* handle, std::uint32_t length);
int BasicWrite(TBasicIo* handle, const void* data, std::uint32_t length, std::uint32_t* written);
int BasicWriteUpdate(TBasicIo* handle, const void* data, std::uint32_t length,
                     std::uint32_t* written);
int BasicUnget(TBasicIo* handle);
int BasicRewind(TBasicIo* handle);
int BasicEndwind(TBasicIo* handle);
int BasicClose(TBasicIo* handle);
// Fills the 44-byte attribute vector (level 44) when the object has the file's information.
int BasicSysAttributes(TBasicIo* handle, std::uint32_t delimiter, std::int32_t recordFormat,
                       std::int32_t fillByte, std::int32_t* level, void* vector);
// The platform file descriptor; kInvalidFile for a null handle (0 is standard input here).
FileHandle BasicHandle(TBasicIo* handle);
int BasicIsOpen(TBasicIo* handle);
void BasicWipeBuffer(TBasicIo* handle);
// The object's last error; 6 for a null handle.
std::uint32_t BasicLastError(TBasicIo* handle);
// The object's last error as an operating-system error number, for the record layer's system
// error codes: the layer's own codes 6 and 12 become EBADF, 66 ESPIPE, 170 EBUSY; EBADF for a
// null handle.
std::uint32_t BasicSystemError(TBasicIo* handle);
// The value of LastBasicIoError.
std::int32_t LastBasicError();
