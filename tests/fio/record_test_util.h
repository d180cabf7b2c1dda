// Helpers of the record format tests: fiopen with all its arguments in one structure, and
// whole-file writes and reads through fioput and fioget.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "fio/fio.h"
#include "fio_test_util.h"

namespace rectest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Every argument of fiopen, with the values a plain open uses.
struct Open {
  std::int32_t openMode = kOpenInput;
  std::int32_t exitValue1 = 0;
  std::int32_t closeDisposition = 0;
  std::uint8_t fillPair[2] = {0x20, 0xFF};
  std::int32_t nameLength = 0;
  char name[300] = {};
  std::int32_t organisation = 0;
  std::int32_t recordFormat = 0;
  std::int32_t recordLength = 0;
  std::uint32_t delimiter = 0;
  std::int32_t exitValue2 = 0;
  std::int32_t blockSize = 0;
  std::int32_t exitValue3 = 0;
  std::int32_t device = 0;
  std::int32_t attributeLevel = 0;
  std::uint8_t attributes[64] = {};
  std::uint8_t origin[2] = {0xAA, 0xAA};
  std::int32_t rc = -99;
  FileControlBlock* fcb = nullptr;

  Open() = default;
  Open(std::int32_t mode, const std::string& path, std::int32_t format) {
    openMode = mode;
    SetName(path);
    recordFormat = format;
  }
  Open(const Open&) = delete;
  Open& operator=(const Open&) = delete;
  ~Open() {
    if (fcb) Close();
  }

  void SetName(const std::string& path) {
    std::memset(name, 0, sizeof name);
    std::memcpy(name, path.data(), std::min(path.size(), sizeof name - 1));
  }

  std::int32_t Run() {
    fiopen(fcb, rc, openMode, exitValue1, closeDisposition, fillPair, "=TORQIN", nameLength, name,
           organisation, recordFormat, recordLength, delimiter, exitValue2, blockSize, exitValue3,
           device, attributeLevel, attributes, origin);
    return rc;
  }

  std::int32_t Close() {
    std::int32_t closeRc = -99;
    fiocls(fcb, closeRc);
    return closeRc;
  }

  // One record; the rc.
  std::int32_t Put(const Bytes& record) {
    std::int32_t putRc = -99;
    std::int32_t length = static_cast<std::int32_t>(record.size());
    Bytes copy = record;  // fioput may translate in place
    fioput(fcb, putRc, length, copy.data());
    return putRc;
  }

  // One record into a buffer of `capacity` bytes (plus a guard zone checked for writes).
  std::int32_t Get(Bytes& record, std::int32_t capacity) {
    constexpr std::size_t kGuard = 64;
    Bytes area(static_cast<std::size_t>(capacity) + kGuard, 0xEE);
    std::int32_t getRc = -99;
    std::int32_t length = -1;
    fioget(fcb, getRc, length, area.data(), capacity);
    for (std::size_t i = static_cast<std::size_t>(capacity); i < area.size(); ++i) {
      if (area[i] != 0xEE) {
        ADD_FAILURE() << "fioget wrote behind the capacity at " << i;
        break;
      }
    }
    if (length < 0 || length > capacity) {
      ADD_FAILURE() << "length " << length << " outside 0.." << capacity;
      length = 0;
    }
    record.assign(area.begin(), area.begin() + length);
    return getRc;
  }
};

struct Got {
  std::int32_t rc;
  Bytes data;
  bool operator==(const Got&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Got& g) {
  os << "{rc " << g.rc << ", " << g.data.size() << " bytes}";
  return os;
}

// Reads until rc 2 or a code other than 0, 4, 51, 105, 111 (that record is the last entry);
// at most `limit` records.
inline std::vector<Got> ReadAll(Open& in, std::int32_t capacity, std::size_t limit = 100000) {
  std::vector<Got> out;
  for (std::size_t i = 0; i < limit; ++i) {
    Got g{0, {}};
    g.rc = in.Get(g.data, capacity);
    out.push_back(g);
    if (g.rc != kFioOk && g.rc != kFioLengthError && g.rc != kFioNoDelimiter && g.rc != kFioTruncated) break;
  }
  return out;
}

// Opens `path` for input with the format and record length and reads it all.
inline std::vector<Got> ReadFile(const std::string& path, std::int32_t format,
                                 std::int32_t capacity, std::int32_t recordLength = 0,
                                 std::uint32_t delimiter = 0) {
  Open in(kOpenInput, path, format);
  in.recordLength = recordLength;
  in.delimiter = delimiter;
  if (in.Run() != kFioOk) {
    ADD_FAILURE() << "open of " << path << " gave " << in.rc;
    return {};
  }
  return ReadAll(in, capacity);
}

// Writes the records to `path`; the rcs of the puts, then the close rc.
inline std::vector<std::int32_t> WriteFile(const std::string& path, std::int32_t format,
                                           const std::vector<Bytes>& records,
                                           std::int32_t recordLength = 0,
                                           std::uint32_t delimiter = 0) {
  Open out(kOpenOutput, path, format);
  out.recordLength = recordLength;
  out.delimiter = delimiter;
  if (out.Run() != kFioOk) {
    ADD_FAILURE() << "output open of " << path << " gave " << out.rc;
    return {};
  }
  std::vector<std::int32_t> rcs;
  for (const Bytes& r : records) rcs.push_back(out.Put(r));
  rcs.push_back(out.Close());
  return rcs;
}

}  // namespace rectest
