// Helpers of the block coder tests: hex byte strings and a context held for one test.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "coders/adc_context.h"

using Bytes = std::vector<std::uint8_t>;

inline Bytes Hex(std::string_view text) {
  Bytes out;
  int half = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else continue;
    if (half < 0) {
      half = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(half * 16 + v));
      half = -1;
    }
  }
  return out;
}

inline Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

inline Bytes Repeat(std::string_view s, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), s.begin(), s.end());
  return out;
}

// Deterministic filler: text-like bytes with repeats, or noise.
inline Bytes Sample(std::size_t n, std::uint32_t seed, bool noise) {
  Bytes out(n);
  std::uint32_t x = seed * 2654435761u + 1;
  static constexpr std::string_view words[] = {"MEYER ", "0000", "SCHMIDT ", "  ", "4711",
                                               "BERLIN", "ZAHLUNG ", "EUR "};
  std::size_t i = 0;
  while (i < n) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    if (noise) {
      out[i++] = static_cast<std::uint8_t>(x >> 11);
    } else {
      for (char c : words[x % 8]) {
        if (i < n) out[i++] = static_cast<std::uint8_t>(c);
      }
    }
  }
  return out;
}

// A slot whose block does not hold its own address, as after copying a context.
struct ForeignAdcContext {
  AdcContext* ctx = nullptr;
  AdcContext* owner = nullptr;
  ForeignAdcContext() {
    nucopn_adc(owner, 0, 0, 3);
    nucopn_adc(ctx, 0, 0, 3);
    ctx->self = owner;
  }
  ~ForeignAdcContext() {
    ctx->self = ctx;
    nuccls_adc(ctx);
    nuccls_adc(owner);
  }
};

struct AdcContextHolder {
  AdcContext* ctx = nullptr;
  explicit AdcContextHolder(int direction = 0, int mode = 3) {
    nucopn_adc(ctx, direction, 0, mode);
  }
  ~AdcContextHolder() {
    if (ctx != nullptr) nuccls_adc(ctx);
  }
};
