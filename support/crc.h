// The CRC family: CRC-16/X-25 and CRC-32 (ISO-HDLC), plain and as a light in-place
// scrambling ("o" scrambles for writing, "i" restores for reading; both yield the CRC of
// the plain data). Lengths are signed 32-bit counts; 0 or less processes nothing.
#pragma once
#include <array>
#include <cstdint>

namespace torq::crc_detail {

constexpr std::array<std::uint32_t, 256> MakeReflectedTable(std::uint32_t poly) {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ poly : c >> 1;
    t[i] = c;
  }
  return t;
}

}  // namespace torq::crc_detail

// CRC-16/X-25 table (reflected polynomial 0x8408); entries are below 0x10000.
inline constexpr std::array<std::uint32_t, 256> crc16tab = torq::crc_detail::MakeReflectedTable(0x8408);
// Standard CRC-32 table (reflected polynomial 0xEDB88320).
inline constexpr std::array<std::uint32_t, 256> crc32tab = torq::crc_detail::MakeReflectedTable(0xEDB88320);

// Standard CRC-32 (0xCBF43926 for "123456789"); 0 for no bytes.
std::uint32_t calc_crc32(const void* buffer, std::int32_t length);
// CRC-16/X-25 (0x906E for "123456789").
std::uint32_t calc_crc16(const void* buffer, std::int32_t length);
// CRC-32 steps from `start`, final value XOR 0xFFFFFFFF.
std::uint32_t Crc32(const void* buffer, std::int32_t length, std::uint32_t start);
// CRC-16/X-25 over the bytes at positions 0, 251, 502, ... below the length.
std::uint32_t Crc16_251(const void* buffer, std::int32_t length);
// Scrambling CRC-32 / CRC-16 in place from the standard start; returns the plain data's CRC.
std::uint32_t CRC32Crypt(void* buffer, std::int32_t length);
std::uint32_t CRC16Crypt(void* buffer, std::int32_t length);
// 16-bit rotating XOR checksum starting at 0xAAAA, an odd tail padded with 0xAA; returned
// with its bytes swapped. Reads only the `length` bytes of the buffer.
std::uint16_t TorqChecksum(const void* buffer, std::int32_t length);

// CRC-16/X-25 of the buffer (unchanged).
void torqcrc(const void* buffer, const std::int32_t* length, std::uint16_t* result);
// CRC-16/X-25 while scrambling the buffer in place.
void torqcro(void* buffer, const std::int32_t* length, std::uint16_t* result);
// Restores what torqcro scrambled; yields the same CRC.
void torqcri(void* buffer, const std::int32_t* length, std::uint16_t* result);
// CRC-32 from *start; result = final value XOR *start (the standard CRC-32 with 0xFFFFFFFF).
void trqcrc3(const void* buffer, const std::int32_t* length, std::uint32_t* result,
             const std::uint32_t* start);
// CRC-32 from *start while scrambling in place; result as trqcrc3 of the plain bytes.
void trqcro3(void* buffer, const std::int32_t* length, std::uint32_t* result, const std::uint32_t* start);
// Restores what trqcro3 scrambled with the same start; yields the same result.
void trqcri3(void* buffer, const std::int32_t* length, std::uint32_t* result, const std::uint32_t* start);
// The result trqcri3 would give, the buffer left unchanged.
void trqcrv3(const void* buffer, const std::int32_t* length, std::uint32_t* result,
             const std::uint32_t* start);
