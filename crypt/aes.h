// AES-128, encryption direction only: key expansion and one-block encryption, byte for byte
// as FIPS-197. Schedules are the eleven round keys in the standard's byte order.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kAesBlock = 16;
inline constexpr std::size_t kAesSchedule = 176;

// Expands the 16-byte key into the 176-byte schedule.
void aessch(std::uint8_t* schedule, const std::uint8_t* key);
// Encrypts the 16-byte block `in` into `out` (which may be `in`).
void aesenc(const std::uint8_t* schedule, const std::uint8_t* in, std::uint8_t* out);
// block = E(block XOR x): one step of a chain, in one call, so the chain value goes through
// memory once per block instead of twice.
void aesencxor(const std::uint8_t* schedule, std::uint8_t* block, const std::uint8_t* x);
// A chain over `blocks` blocks (CBC encryption): chain = E(chain XOR in[i]), out[i] = chain,
// block after block; `chain` holds the last block afterwards. out may be in.
void aeschain(const std::uint8_t* schedule, std::uint8_t* chain, const std::uint8_t* in, std::uint8_t* out,
              std::size_t blocks);

namespace torq::crypt {

// The two implementations behind aesenc: the table-driven one and the one on the processor's
// AES instructions (only when the processor has them).
void AesEncryptPortable(const std::uint8_t* schedule, const std::uint8_t* in, std::uint8_t* out);
void AesEncryptNi(const std::uint8_t* schedule, const std::uint8_t* in, std::uint8_t* out);
void AesEncryptXorNi(const std::uint8_t* schedule, std::uint8_t* block, const std::uint8_t* x);
void AesChainNi(const std::uint8_t* schedule, std::uint8_t* chain, const std::uint8_t* in, std::uint8_t* out,
                std::size_t blocks);
bool AesNiAvailable();

// Which implementation aesenc uses; chosen at start-up by the processor check. Forcing the
// instruction path on a processor without it falls back to the portable one.
enum class AesPath { kPortable, kNi };
AesPath AesCurrentPath();
AesPath AesSelectPath(AesPath path);  // returns the path used before

}  // namespace torq::crypt
