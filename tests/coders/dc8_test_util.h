// Helpers shared by the DC8 tests: contexts held for one test, and whole calls of the entry
// points on byte vectors.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "coders/dc8_block.h"

namespace dc8test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Of(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
  return b;
}
inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
inline std::string Hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (std::uint8_t v : b) {
    std::snprintf(buf, sizeof buf, "%02X ", v);
    s += buf;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

// A context of one direction and character code, closed at the end of the test.
class Context {
 public:
  Context(int direction, int charCode) { rc_ = nucopn_dc8(slot_, direction, charCode); }
  ~Context() {
    if (slot_) nuccls_dc8(slot_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  Dc8Context*& slot() { return slot_; }
  std::int32_t openCode() const { return rc_; }

 private:
  Dc8Context* slot_ = nullptr;
  std::int32_t rc_ = 0;
};

// The whole block nuccmp_dc8 writes for input, with the least room it accepts.
inline Bytes Compress(Context& ctx, const Bytes& input, std::int32_t* rc = nullptr) {
  Bytes out(input.size() + kDc8HeaderSize + kDc8CoderSlack, 0xEE);
  std::int32_t length = static_cast<std::int32_t>(out.size());
  const std::int32_t code = nuccmp_dc8(ctx.slot(), input.data(),
                                       static_cast<std::int32_t>(input.size()), out.data(), length);
  if (rc) *rc = code;
  if (code != 0) return {};
  out.resize(static_cast<std::size_t>(length));
  return out;
}

struct Decoded {
  std::int32_t rc;
  std::int32_t length;
  Bytes out;
};

// Decodes a whole block (blockLength: the bytes after its length word) into room bytes.
inline Decoded Decompress(Context& ctx, const Bytes& block, std::int32_t room = kDc8MaxInput) {
  Decoded d{-5, -7, Bytes(static_cast<std::size_t>(room), 0xEE)};
  const auto blockLength = static_cast<std::int32_t>(block.size()) - 2;
  d.rc = nucdcm_dc8(ctx.slot(), block.data(), blockLength, d.out.data(), room, d.length);
  d.out.resize(d.rc == 0 ? static_cast<std::size_t>(d.length) : 0);
  return d;
}

}  // namespace dc8test
