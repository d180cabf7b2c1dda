// The fixed constants of the key derivation, the frame cipher and the MACs.
#pragma once
#include <array>
#include <cstdint>

namespace torq::crypt::detail {

consteval std::uint8_t HexDigit(char c) {
  return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'a' + 10);
}

template <std::size_t N>
consteval std::array<std::uint8_t, N> FromHex(const char (&hex)[2 * N + 1]) {
  std::array<std::uint8_t, N> a{};
  for (std::size_t i = 0; i < N; ++i)
    a[i] = static_cast<std::uint8_t>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
  return a;
}

}  // namespace torq::crypt::detail

inline constexpr std::array<std::uint8_t, 64> CLIT1_4 = torq::crypt::detail::FromHex<64>(
    "3e91c0572ab4d8f6106e5f23a9c74b08d2e6173fb05a9c84e12d6f7093ab1c5e"
    "7f04b2d9863ac1e55d0f7a2b49c6e3187bd5029fa4e61c3870bd4e92a5f13c6d");
inline constexpr std::array<std::uint8_t, 16> CLIT5 =
    torq::crypt::detail::FromHex<16>("a47e19c3d25b06f8e1904c7b3da6528f");
inline constexpr std::array<std::uint8_t, 16> CLIT6 =
    torq::crypt::detail::FromHex<16>("5c08e3f7b19a2d64c7f0385e9b12a4d6");
inline constexpr std::array<std::uint8_t, 16> CLIT7 =
    torq::crypt::detail::FromHex<16>("e2b7450d9f6c13a8587ad0c2f43e916b");
inline constexpr std::array<std::uint8_t, 16> CLIT8 =
    torq::crypt::detail::FromHex<16>("19d4f62a8c07e35b4ba1d97e0f6c2358");
inline constexpr std::array<std::uint8_t, 16> CLIT9 =
    torq::crypt::detail::FromHex<16>("7f3a0c95e2d8416bd06e2f7a935cb184");
