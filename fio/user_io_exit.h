// The user I/O exit: a file whose device code is 7 is opened, read, written and closed by
// these four routines instead of the record layer. In this system they are placeholders that
// refuse every call, so an open on device 7 ends with -1; a real exit can take their place
// without any change to the record layer.
//
// Every routine receives the address of the control block's pointer to the exit's 1024-byte
// work area first (an exit may point it at a block of its own) and the caller's return-code
// word second, where it stores its result (0 success; any other value goes back to the
// record layer's caller unchanged). The other arguments are the very ones the record layer
// received from its caller.
#pragma once
#include <cstdint>

inline constexpr std::int32_t kUserIoDevice = 7;
inline constexpr std::uint32_t kUserIoAreaSize = 1024;

// The three exit values are passed through untouched; only a real exit gives them a meaning.
void usropn(void*& exitArea, std::int32_t& rc, std::int32_t& openMode, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            std::int32_t& blockSize, std::int32_t& exitValue2, std::int32_t& device,
            std::uint32_t& delimiter, std::uint8_t* fillPair, std::int32_t& exitValue3,
            std::int32_t& closeDisposition, std::int32_t& exitValue1, std::int32_t& nameLength,
            char* nameAgain);
// fioget's arguments: record length out, record buffer, buffer capacity.
void usrget(void*& exitArea, std::int32_t& rc, std::int32_t& recordLength, std::uint8_t* buffer,
            std::int32_t& capacity);
// fioput's arguments: record length, record buffer.
void usrput(void*& exitArea, std::int32_t& rc, std::int32_t& recordLength, std::uint8_t* buffer);
void usrcls(void*& exitArea, std::int32_t& rc);
