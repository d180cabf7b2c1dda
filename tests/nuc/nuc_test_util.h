// Helpers shared by the kernel tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "nuc/kernel.h"

namespace nuctest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Of(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
  return b;
}
inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Repeat(int value, std::size_t n) { return Bytes(n, static_cast<std::uint8_t>(value)); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
// n bytes without three equal neighbours.
inline Bytes Distinct(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i);
  return b;
}
inline std::string Hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (std::uint8_t v : b) {
    std::snprintf(buf, sizeof buf, "%02X ", v);
    s += buf;
  }
  return s;
}

struct Decoded {
  std::int32_t rc;
  Bytes out;
  std::uint16_t outLength;
};

// Runs a CX8 or CX7 decompress-record routine on the coded bytes with a guard byte after them
// and 8 bytes after the capacity: both must stay as they were.
inline Decoded DecodeChunk(DecompressRecordFn fn, const Bytes& coded, std::uint32_t spaceChar,
                           std::uint32_t zeroChar, std::uint32_t capacity) {
  Bytes in = coded;
  in.push_back(0x5A);
  Bytes out(capacity + 8, 0xEE);
  Decoded d{-5, {}, 0xBEEF};
  fn(in.data(), static_cast<std::uint16_t>(coded.size()), spaceChar, zeroChar, nullptr, out.data(),
     capacity, d.rc, d.outLength);
  EXPECT_EQ(in.back(), 0x5A);
  if (d.rc == 0) {
    EXPECT_TRUE(std::all_of(out.begin() + capacity, out.end(), [](std::uint8_t v) { return v == 0xEE; }));
  }
  out.resize(d.rc == 0 ? d.outLength : 0);
  d.out = out;
  return d;
}

// A kernel context for the length of a test.
class Context {
 public:
  Context(int mode, int charCode, int direction = 2) {
    const std::int32_t closeWord = 0;
    nucopn(slot, rc, direction, mode, charCode, closeWord);
  }
  ~Context() {
    std::int32_t closeWord = 0, r = 0;
    if (slot) nuccls(slot, r, closeWord);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  NucContext* slot = nullptr;
  std::int32_t rc = -99;
};

}  // namespace nuctest
