// Text utilities, the printable letter code of the 7-bit TORQFILE form, and quick tests that
// classify a file from its first bytes.
#pragma once
#include <cstdint>

namespace torqutil {

extern const char gInfo[];

// The first letter of each form: 'A' in ASCII, 'A' in EBCDIC.
inline constexpr std::uint8_t ConvCx7A = 0x41;
inline constexpr std::uint8_t ConvCx7E = 0xC1;

char* StrLower(char* text);
// Case-blind (for 'A'-'Z') search; null when not found or when either argument is null.
const char* stristr(const char* text, const char* pattern);

// Letter-code decoders: p points at the first letter; the high nibble comes first.
std::uint8_t Cx7ToByteA(const std::uint8_t* p);
std::uint8_t Cx7ToByteE(const std::uint8_t* p);
std::uint16_t Cx7ToShortA(const std::uint8_t* p);
std::uint16_t Cx7ToShortE(const std::uint8_t* p);
std::uint32_t Cx7ToLongA(const std::uint8_t* p);
std::uint32_t Cx7ToLongE(const std::uint8_t* p);
std::uint32_t Cx7ToLong3A(const std::uint8_t* p);
std::uint32_t Cx7ToLong3E(const std::uint8_t* p);
std::uint32_t Cx7RecSizeA(const std::uint8_t* p);
std::uint32_t Cx7RecSizeE(const std::uint8_t* p);

// n bytes from 2n letters; n of 0 or less writes nothing.
void Cx7ToCx8A(const std::uint8_t* letters, std::uint8_t* out, int n);
void Cx7ToCx8E(const std::uint8_t* letters, std::uint8_t* out, int n);
void Cx7ToCx8IpA(std::uint8_t* buffer, int n);
void Cx7ToCx8IpE(std::uint8_t* buffer, int n);
void Cx7ToCx8A8(const std::uint8_t* letters, std::uint8_t* out);
void Cx7ToCx8E8(const std::uint8_t* letters, std::uint8_t* out);
void Cx7ToCx8A4(const std::uint8_t* letters, std::uint8_t* out);
void Cx7ToCx8E4(const std::uint8_t* letters, std::uint8_t* out);
void Cx7ToCx8A2(const std::uint8_t* letters, std::uint8_t* out);
void Cx7ToCx8E2(const std::uint8_t* letters, std::uint8_t* out);
void Cx7ToCx8IpA8(std::uint8_t* buffer);
void Cx7ToCx8IpE8(std::uint8_t* buffer);
void Cx7ToCx8IpA4(std::uint8_t* buffer);
void Cx7ToCx8IpE4(std::uint8_t* buffer);
void Cx7ToCx8IpA2(std::uint8_t* buffer);
void Cx7ToCx8IpE2(std::uint8_t* buffer);

// File-type tests over the first 18 bytes of a file; 1 or 0.
int TorqFileIsBinary(const std::uint8_t* head);
int TorqFileIsBinaryVar(const std::uint8_t* head);
int TorqFileIsCx7Ascii(const std::uint8_t* head);
int TorqFileIsCx7Ebcdic(const std::uint8_t* head);
int TorqFileIsSplited(const std::uint8_t* head);
int TorqFileIsSerialSplit(const std::uint8_t* head);
int TorqFileIsParallelSplit(const std::uint8_t* head);
// 6 serial split, 5 parallel split, 1 binary, 3 Cx7 ASCII, 4 Cx7 EBCDIC,
// 2 binary with variable-record prefix, 0 none of these.
int GetTorqfileType(const std::uint8_t* head);

}  // namespace torqutil
