// TORQenc, the container's own password cipher: an 8 KB table built from the password, and
// in-place enciphering of a frame keyed by four bytes of the frame itself.
#pragma once
#include <cstdint>

// 1,024 pairs of 4-byte words: the base word of pair j at byte 8j, its working word at
// 8j + 4. The base words are the cipher table; the working words equal them between calls.
struct PwdCipherState {
  std::uint8_t bytes[8192];
};
static_assert(sizeof(PwdCipherState) == 8192);

// Longest password the state is built from.
inline constexpr std::int32_t kTorqencMaxPassword = 66;

// Builds the state from the password (0 to 66 bytes). A length outside that range builds
// nothing and returns false.
bool trqpwdi(const std::uint8_t* password, const std::int32_t* length, PwdCipherState* state);
// Enciphers the *n bytes at p + 4 in place, keyed by p[0..3]; the closing pass also covers
// p[0..11] and reads p[-8], p[-7], p[-4], p[-3]. Lengths of 8 or less change nothing.
void trqpwdv(std::uint8_t* p, const std::int32_t* n, PwdCipherState* state);
// The exact inverse of trqpwdv for the same state, bytes in front and length.
void trqpwde(std::uint8_t* p, const std::int32_t* n, PwdCipherState* state);
// The keyed mixing pass over the working words.
void PWDB8KB(const std::uint8_t* key, PwdCipherState* state);
