// The AES key area of an open container and its derivation from the password: the file part
// once per container, the member part once per member. No salt enters, so one password gives
// the same keys in every container.
#pragma once
#include <cstdint>

#include "crypt/aes.h"

// Embedded in the container control block; every byte is key material, never written out.
// Numbers in the accessors are those of the derivation (file values 1-7, member values 0-4,
// schedules 1-4).
struct AesKeyArea {
  std::uint8_t fileSchedules[4][kAesSchedule];
  std::uint8_t fileValues[7][16];
  std::uint8_t fileInterleave[64];
  std::uint8_t fileFinal[16];
  std::uint8_t fileChain[16];  // the file's running chain value (starts as fileFinal)
  std::uint8_t memberValues[5][16];
  std::uint8_t memberSchedules[4][kAesSchedule];
  std::uint8_t memberFinal[16];
  std::uint8_t memberChain[16];  // the member's running chain value (starts as memberFinal)
  std::uint8_t memberTable[256];

  std::uint8_t* fs(int n) { return fileSchedules[n - 1]; }
  const std::uint8_t* fs(int n) const { return fileSchedules[n - 1]; }
  std::uint8_t* fv(int n) { return fileValues[n - 1]; }
  const std::uint8_t* fv(int n) const { return fileValues[n - 1]; }
  std::uint8_t* mv(int n) { return memberValues[n]; }
  const std::uint8_t* mv(int n) const { return memberValues[n]; }
  std::uint8_t* ms(int n) { return memberSchedules[n - 1]; }
  const std::uint8_t* ms(int n) const { return memberSchedules[n - 1]; }
};
static_assert(sizeof(AesKeyArea) == 1984);

// Longest password the derivation takes.
inline constexpr std::uint32_t kAesMaxPassword = 64;

// Fills the file part of the key area from the password (0 to 64 bytes). A longer password
// is refused: the key area is cleared and false returned.
bool faesi(AesKeyArea* keys, const std::uint8_t* password, std::uint32_t length);
// Fills the member part from the file part for member number `member`; restarts the
// member's chain value.
void faesm(AesKeyArea* keys, std::uint32_t member);
