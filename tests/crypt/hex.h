// Hex text to bytes and back for the cipher tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> Hex(const std::string& text) {
  std::vector<std::uint8_t> out;
  int hi = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else continue;
    if (hi < 0) hi = v;
    else {
      out.push_back(static_cast<std::uint8_t>(hi << 4 | v));
      hi = -1;
    }
  }
  return out;
}

inline std::string ToHex(const std::uint8_t* p, std::size_t n) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    s += d[p[i] >> 4];
    s += d[p[i] & 15];
  }
  return s;
}
