// Helpers of the container tests: a container written or read through the record layer on a
// scratch file, coded matrices as segment lists, and hand-made blocks.
#pragma once
#include <algorithm>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "fio/record_test_util.h"

namespace cmptest {

using Bytes = std::vector<std::uint8_t>;
using fiotest::ScratchDir;

inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Coded output of a matrix: every segment behind its 2-byte big-endian length.
inline Bytes Segments(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) {
    out.push_back(static_cast<std::uint8_t>(p.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(p.size()));
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

// Content of a binary file header record for an ASCII member: lead byte, length, the 32
// header bytes and the name, then `extra` bytes.
inline Bytes HeaderRecord8(const std::string& name, const Bytes& extra = {}) {
  Bytes h = {0x30, 0x41, 0xF2, 0x1D, 0x00, 0xE0, 0x53, 0x88};
  h.resize(24, 0);
  const auto n = static_cast<std::uint8_t>(name.size());
  const Bytes tail = {0x80, 0, 0, 0, 0x04, n, 0, n};
  h.insert(h.end(), tail.begin(), tail.end());
  h.insert(h.end(), name.begin(), name.end());
  h.insert(h.end(), extra.begin(), extra.end());
  Bytes r = {0x00};
  if (h.size() > 126) r.push_back(static_cast<std::uint8_t>(0x80 | h.size() >> 8));
  r.push_back(static_cast<std::uint8_t>(h.size()));
  r.insert(r.end(), h.begin(), h.end());
  return r;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A binary block with its head and checksum around the content.
inline Bytes Block8(const Bytes& content, std::uint16_t firstRecord = 0x8004) {
  const std::size_t n = content.size() + 6;
  Bytes b(n, 0);
  b[0] = static_cast<std::uint8_t>((n - 2) >> 8);
  b[1] = static_cast<std::uint8_t>(n - 2);
  b[2] = static_cast<std::uint8_t>(firstRecord >> 8);
  b[3] = static_cast<std::uint8_t>(firstRecord);
  std::copy(content.begin(), content.end(), b.begin() + 4);
  const std::uint16_t s = BlockChecksum(b.data(), n - 2);
  b[n - 2] = static_cast<std::uint8_t>(s >> 8);
  b[n - 1] = static_cast<std::uint8_t>(s);
  return b;
}

// The container's blocks as the record layer reads them back.
inline std::vector<Bytes> ReadBlocks(const std::string& path) {
  std::vector<Bytes> out;
  rectest::Open in(kOpenInput, path, 256);
  if (in.Run() != 0) return out;
  for (;;) {
    Bytes b;
    if (in.Get(b, 32770) != 0) break;
    out.push_back(b);
  }
  return out;
}

struct Options {
  std::int32_t modeWord = 0;
  std::int32_t charCode = 1;
  std::int32_t bufferSize = 32768;
  std::int32_t fixed = 0;
  std::int32_t blockSize = 512;
  std::int32_t security = 0;
};

// The file format a container is written in: fix records for fixed blocks, else var_2b
// records for the binary form and text lines for the letter form.
inline std::int32_t FileFormat(const Options& o) {
  if (o.fixed) return 257;
  return o.modeWord == 1 ? 259 : 256;
}

class Writer {
 public:
  Writer(const std::string& path, const Options& o) : out_(kOpenOutput, path, FileFormat(o)) {
    out_.recordLength = o.fixed ? o.blockSize : 0;
    if (out_.Run() != 0) {
      ADD_FAILURE() << "fiopen gave " << out_.rc;
      return;
    }
    std::int32_t level = 0, charCode = o.charCode, bufferSize = o.bufferSize,
                 modeWord = o.modeWord, security = o.security, blockSize = o.blockSize;
    cmpopn(cb, rc, 1, level, charCode, bufferSize, modeWord, security, o.fixed, blockSize,
           out_.fcb, 0, nullptr, nullptr, nullptr);
    bufferSizeOut = bufferSize;
    blockSizeOut = blockSize;
  }
  ~Writer() {
    if (cb) Close();
  }
  std::int32_t Header(const std::string& name, std::int32_t more = 0, std::int32_t org = 0,
                      std::int32_t format = 3, std::int32_t recordLength = 0,
                      std::int32_t blockSize = 0, const Bytes& origin = {0x00, 0xE0}) {
    std::int32_t r = -99, n = static_cast<std::int32_t>(name.size());
    cmpphd(cb, r, n, name.data(), org, format, recordLength, nullptr, nullptr, blockSize, nullptr,
           origin.data(), more);
    return r;
  }
  std::int32_t System(const Bytes& s, std::int32_t more = 0) {
    system_ = s;
    std::int32_t r = -99, n = static_cast<std::int32_t>(s.size());
    cmppsh(cb, r, n, system_.data(), more);
    return r;
  }
  std::int32_t User(const Bytes& u) {
    std::int32_t r = -99, n = static_cast<std::int32_t>(u.size());
    cmppuh(cb, r, n, u.data());
    return r;
  }
  std::int32_t Put(Bytes coded, std::int32_t flag, std::int32_t records, Bytes bitmap = {}) {
    std::int32_t r = -99, n = static_cast<std::int32_t>(coded.size());
    std::int32_t bl = static_cast<std::int32_t>(bitmap.size());
    cmpput(cb, r, n, coded.data(), flag, records, bl, bitmap.data());
    return r;
  }
  std::int32_t Flush() {
    std::int32_t r = -99;
    cmpflu(cb, r, blocks, low, high);
    return r;
  }
  std::int32_t Close() {
    std::int32_t r = -99;
    cmpcls(cb, r, blocks, low, high);
    out_.Close();
    out_.fcb = nullptr;
    return r;
  }

  CmpControlBlock* cb = nullptr;
  std::int32_t rc = -99;
  std::int32_t bufferSizeOut = 0, blockSizeOut = 0;
  std::uint32_t blocks = 0, low = 0, high = 0;

 private:
  rectest::Open out_;
  Bytes system_;
};

struct Header {
  std::string name;
  std::int32_t org = 0, format = 0, recordLength = 0, blockSize = 0;
  Bytes origin;
};

class Reader {
 public:
  explicit Reader(const std::string& path, std::int32_t format = 256, std::int32_t recordLength = 0)
      : in_(kOpenInput, path, format) {
    in_.recordLength = recordLength;
    if ((openRc = in_.Run()) != 0) return;
    std::int32_t blockSize = in_.recordLength;
    cmpopn(cb, rc, 0, level, charCode, bufferSize, mode, kind, 0, blockSize, in_.fcb, 0, nullptr,
           nullptr, nullptr);
  }
  ~Reader() {
    if (cb) {
      std::int32_t r = 0;
      std::uint32_t a = 0, b = 0, c = 0;
      cmpcls(cb, r, a, b, c);
    }
  }
  std::int32_t Next() {
    std::int32_t r = -99;
    cmp_gethdr(*cb, r, kind, mode, charCode, level, bufferSize, encrypted);
    return r;
  }
  std::int32_t GetHeader(Header& h, std::int32_t capacity = 255) {
    char name[300] = {};
    std::uint8_t origin[2] = {};
    std::int32_t r = -99, n = capacity;
    cmpghd(cb, r, n, name, h.org, h.format, h.recordLength, nullptr, nullptr, h.blockSize, nullptr,
           origin);
    h.name.assign(name, static_cast<std::size_t>(n));
    h.origin = {origin[0], origin[1]};
    return r;
  }
  std::int32_t System(Bytes& s, std::int32_t capacity = 512) {
    s.assign(static_cast<std::size_t>(capacity) + 1, 0);
    std::int32_t r = -99, n = capacity;
    cmpgsh(cb, r, n, s.data());
    s.resize(static_cast<std::size_t>(n));
    return r;
  }
  std::int32_t User(Bytes& u, std::int32_t capacity = 40000) {
    u.assign(static_cast<std::size_t>(capacity) + 1, 0);
    std::int32_t r = -99, n = capacity;
    cmpguh(cb, r, n, u.data());
    u.resize(static_cast<std::size_t>(n));
    return r;
  }
  std::int32_t Get(Bytes& coded, std::int32_t& flag, std::int32_t& records, Bytes* bitmap = nullptr,
                   std::int32_t capacity = 70000) {
    // Frames of the block coders are rebuilt in the 26 bytes in front of the area.
    constexpr std::size_t kFront = 26;
    Bytes area(kFront + static_cast<std::size_t>(capacity), 0);
    std::uint8_t map[600];
    std::int32_t r = -99, n = 0, bl = sizeof map;
    cmpget(cb, r, n, area.data() + kFront, flag, records, bl, map, capacity);
    coded.assign(area.begin() + kFront, area.begin() + kFront + std::min<std::ptrdiff_t>(n, capacity));
    if (bitmap) bitmap->assign(map, map + bl);
    return r;
  }
  std::int32_t Position() {
    std::int32_t r = -99;
    cmppos(cb, r, kCmpPositionNext, kind, mode, charCode, level);
    return r;
  }

  CmpControlBlock* cb = nullptr;
  std::int32_t openRc = -99, rc = -99;
  std::int32_t level = 0, charCode = 0, bufferSize = 0, mode = 0, kind = 0, encrypted = 0;

 private:
  rectest::Open in_;
};

}  // namespace cmptest
