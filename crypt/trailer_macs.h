// The MACs of member and file trailers. The member MAC binds the member's frames (through
// the member chain value) and the earlier members (through the file chain value, which it
// then moves on); the file MAC binds the whole sequence of member MACs.
#pragma once
#include <cstdint>

#include "crypt/aes_keys.h"

inline constexpr int kTrailerImage = 45;
inline constexpr int kTrailerMac = 12;

// flag 1 writes the 12-byte MAC of the trailer image (n bytes; only byte 0 and n enter),
// flag 0 checks it: *bits 1, 2, 4 for MAC bytes 0-3, 4-7, 8-11 wrong. Both replace the
// file chain value.
void faestm(AesKeyArea* keys, int flag, int* bits, const std::uint8_t* image, int n, std::uint8_t* mac);
// The same for the file trailer; MAC bytes 0-3 are zero and not checked. Changes no key.
void faestf(AesKeyArea* keys, int flag, int* bits, const std::uint8_t* image, int n, std::uint8_t* mac);
