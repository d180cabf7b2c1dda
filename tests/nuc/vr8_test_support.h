// Helpers shared by the VR8 tests: context tables by character code, hex strings, and coding
// through the record routines with guard bytes around every buffer.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "nuc/vr8.h"

namespace vr8test {

using Bytes = std::vector<std::uint8_t>;

struct Tables {
  std::array<std::uint8_t, 1548> decode{};
  std::array<std::uint8_t, 772> encode{};
  explicit Tables(std::uint8_t charCode) {
    Vr8FillDecodeTables(decode.data(), charCode);
    Vr8FillEncodeTables(encode.data(), charCode);
  }
};

inline const Tables& TablesFor(std::uint8_t charCode) {
  static const Tables ebcdic(0);
  static const Tables ascii(1);
  return charCode == 0 ? ebcdic : ascii;
}

inline Bytes Hex(const std::string& s) {
  Bytes out;
  int nibble = -1;
  for (char ch : s) {
    int v;
    if (ch >= '0' && ch <= '9') v = ch - '0';
    else if (ch >= 'A' && ch <= 'F') v = ch - 'A' + 10;
    else if (ch >= 'a' && ch <= 'f') v = ch - 'a' + 10;
    else continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

// A bit string written as '0' and '1' (other characters ignored), zero-filled to whole bytes.
inline Bytes Bits(const std::string& s) {
  Bytes out;
  int n = 0;
  for (char ch : s) {
    if (ch != '0' && ch != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (ch == '1') out.back() = static_cast<std::uint8_t>(out.back() | (0x80 >> (n % 8)));
    ++n;
  }
  return out;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

constexpr std::uint8_t kGuard = 0xA5;

// Codes a piece with rlcvr8; checks the 4 borrowed bytes come back unchanged.
inline Bytes Encode(const Bytes& piece, std::uint8_t charCode = 1) {
  Bytes src(piece);
  const Bytes guard = {0x11, 0x22, 0x33, 0x44};
  src.insert(src.end(), guard.begin(), guard.end());
  Bytes dst(4096, 0);
  std::uint16_t outLength = 0;
  rlcvr8(src.data(), static_cast<std::int32_t>(piece.size()), TablesFor(charCode).encode.data(),
         dst.data(), outLength);
  EXPECT_TRUE(std::equal(guard.begin(), guard.end(), src.end() - 4));
  dst.resize(outLength);
  return dst;
}

struct Decoded {
  std::int32_t rc = 0;
  Bytes out;
};

// Decodes a coded piece with rldvr8. Unguarded, input and output are heap areas of exactly their
// size (the sanitizers catch any access outside); guarded, 16 guard bytes follow each and are
// checked afterwards.
inline Decoded Decode(const Bytes& coded, std::uint8_t charCode = 1,
                      std::uint32_t capacity = 2048, bool guarded = false) {
  const std::size_t slack = guarded ? 16 : 0;
  Bytes in(coded);
  in.insert(in.end(), slack, kGuard);
  Bytes out(capacity + slack, kGuard);
  Decoded d;
  std::uint16_t outLength = 0xBEEF;
  rldvr8(in.data(), static_cast<std::uint16_t>(coded.size()), 0x20, 0x30,
         TablesFor(charCode).decode.data(), out.data(), capacity, d.rc, outLength);
  for (std::size_t i = coded.size(); i < in.size(); ++i) EXPECT_EQ(in[i], kGuard) << "input " << i;
  for (std::size_t i = capacity; i < out.size(); ++i) EXPECT_EQ(out[i], kGuard) << "output " << i;
  if (d.rc == 0) {
    EXPECT_LE(outLength, capacity);
    d.out.assign(out.begin(), out.begin() + outLength);
  } else {
    EXPECT_EQ(outLength, 0xBEEF) << "out length set on failure";
  }
  return d;
}

}  // namespace vr8test
