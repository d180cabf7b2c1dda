// AES protection of one matrix frame: keyless whitening with a CRC of the data, encryption
// in place under keys made for this frame, a 16-byte frame MAC, and the masking of the frame
// CRC and four prefix bytes. Each call advances the member's chain value, so the frames of a
// member must be read in the order they were written.
#pragma once
#include <cstdint>

#include "crypt/aes_keys.h"

// Frame prefix length; the data follows it.
inline constexpr std::uint32_t kFramePrefix = 26;

// MAC check bits: frame MAC bytes 0-7 or the frame CRC, bytes 8-11, bytes 12-15.
inline constexpr int kMacBitA = 1;
inline constexpr int kMacBitB = 2;
inline constexpr int kMacBitC = 4;

// flag 1 writes: whitens and encrypts the `len` data bytes behind the 26-byte prefix, writes
// the frame CRC (4 bytes at crc4) and frame MAC (16 bytes at mac) and masks prefix bytes
// 22-25 and the frame CRC. flag 0 reads: unmasks, decrypts, restores and checks; *bits
// gets the failed checks (0 on writing).
void faess(AesKeyArea* keys, int flag, int* bits, std::uint8_t* prefix, std::uint32_t len, std::uint8_t* crc4,
           std::uint8_t* mac);

// The keyless whitening and its inverse. Both read the four bytes in front of data (prefix
// bytes 22-25) for the fold base and write the big-endian CRC-32 of the plain data to crc4.
void pre_aes(std::uint32_t len, std::uint8_t* data, std::uint32_t seed, std::uint8_t* crc4);
void post_aes(std::uint32_t len, std::uint8_t* data, std::uint32_t seed, std::uint8_t* crc4);
