// Setting up and releasing the key material of an open container: the TORQenc state or the
// AES key area, built from the password, and wiped before it is released.
#pragma once
#include <cstdint>

#include "crypt/aes_keys.h"
#include "crypt/torqenc.h"

inline constexpr int kCryptTorqenc = 16;
inline constexpr int kCryptAes = 32;

// Sets up the cipher of `cryptMode` for the password. Crypt mode 32 derives the file keys
// into *keys and, when reading, the member keys of `member` at once. Any other crypt mode
// builds a new TORQenc state in *state (counting heap). Key material of an earlier call (a
// TORQenc state, AES keys) is wiped first, and the state freed. Returns 0; 29 for a password longer than the mode takes (64 bytes
// for AES, 66 for TORQenc) or a negative length, with nothing set up; -1 without memory.
int CryptSetPassword(int cryptMode, bool reading, std::uint32_t member, const std::uint8_t* password,
                     std::int32_t length, PwdCipherState** state, AesKeyArea* keys);

// Wipes the key area and the TORQenc state (if any), frees the state and clears *state.
// For every release of a container: close, a failed open.
void CryptRelease(PwdCipherState** state, AesKeyArea* keys);
