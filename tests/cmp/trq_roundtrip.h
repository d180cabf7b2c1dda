// Writes members into a TORQFILE through the record interface in the order the utility's
// compress steps call it, and reads them back member by member as its decompress steps do.
// Used by the record interface tests, the benchmark and the fuzz targets.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "cmp/record_interface.h"

namespace trqtest {

using Bytes = std::vector<std::uint8_t>;

struct Member {
  std::string name;
  std::int32_t organisation = 0;
  std::int32_t recordFormat = 1;
  std::int32_t recordLength = 80;
  std::int32_t blockSize = 0;
  bool moreHeaders = true;  // system and user headers follow the file header
  Bytes systemHeader;       // 0, 1, 2, 3 or 44 bytes
  Bytes userHeader;
  std::vector<Bytes> records;
};

// The container file and the container's options.
struct Layout {
  std::int32_t recordFormat = 1;  // 0 var_2b, 1 fix, 3 text
  std::int32_t recordLength = 512;
  std::int32_t modeWord = 0;
  std::int32_t charCode = 1;
  std::int32_t bufferSize = 32768;
  std::int32_t mostRecords = 255;
  std::int32_t fixedBlock = 1;
  bool securityTrailers = false;  // trqset's security option, set before trqopf
};

struct Counts {
  std::uint32_t records = 0, bytesLow = 0, bytesHigh = 0, blocks = 0, blockLow = 0,
                blockHigh = 0;
  std::int32_t closeWord = 0;
};

// The first code that is not 0, with the step that gave it.
struct Result {
  std::int32_t rc = 0;
  std::string step;
  bool Note(std::int32_t code, const char* what) {
    if (code != 0 && rc == 0) {
      rc = code;
      step = what;
    }
    return code == 0;
  }
};

inline Result OpenForWriting(RecordHandle*& slot, const std::string& path, Layout& layout) {
  Result r;
  std::int32_t rc = 0;
  const std::int32_t one = 1, mode = 1, option = 0;
  trqopn(slot, rc, one, mode, path.c_str(), option);
  if (!r.Note(rc, "trqopn")) return r;
  char name[1024];
  std::snprintf(name, sizeof name, "%s", path.c_str());
  std::int32_t nameLength = 254, organisation = 0, block = 0, close = 0, device = 0;
  std::uint32_t delimiter = 0;
  const std::int32_t pass = 0;
  trqopd(slot, rc, one, nameLength, name, organisation, layout.recordFormat, layout.recordLength,
         delimiter, pass, block, close, device);
  if (!r.Note(rc, "trqopd")) return r;
  if (layout.securityTrailers) {
    const std::int32_t what = 2, on = 1;
    trqset(slot, rc, what, on);
    if (!r.Note(rc, "trqset")) return r;
  }
  std::int32_t level = 2, security = 0;
  trqopf(slot, rc, level, layout.charCode, layout.modeWord, layout.bufferSize, security,
         layout.mostRecords, nullptr, layout.fixedBlock, "", "");
  r.Note(rc, "trqopf");
  return r;
}

// The file header of member m (trqphd), announcing further headers when `more`; its code.
inline std::int32_t PutFileHeader(RecordHandle*& slot, const Member& m, bool more) {
  std::int32_t rc = 0;
  std::int32_t nameLength = static_cast<std::int32_t>(m.name.size());
  std::int32_t organisation = m.organisation, format = m.recordFormat, length = m.recordLength,
               block = m.blockSize, follow = more ? 1 : 0;
  const std::uint8_t origin[2] = {0x00, 0xE0};
  trqphd(slot, rc, nameLength, m.name.c_str(), organisation, format, length, nullptr, nullptr,
         block, nullptr, origin, follow);
  return rc;
}

inline Result PutMember(RecordHandle*& slot, const Member& m, Counts* counts = nullptr) {
  Result r;
  std::int32_t rc = PutFileHeader(slot, m, m.moreHeaders);
  if (!r.Note(rc, "trqphd")) return r;
  if (m.moreHeaders) {
    std::int32_t kind = static_cast<std::int32_t>(m.systemHeader.size());
    std::int32_t follow = 1;
    trqpsh(slot, rc, kind, m.systemHeader.data(), follow);
    if (!r.Note(rc, "trqpsh")) return r;
    std::int32_t userLength = static_cast<std::int32_t>(m.userHeader.size());
    trqpuh(slot, rc, userLength, m.userHeader.data());
    if (!r.Note(rc, "trqpuh")) return r;
  }
  for (const Bytes& record : m.records) {
    const auto n = static_cast<std::int32_t>(record.size());
    trqput(slot, rc, n, record.data());
    if (!r.Note(rc, "trqput")) return r;
  }
  Counts c;
  trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
  r.Note(rc, "trqflu");
  if (counts) *counts = c;
  return r;
}

inline Result Close(RecordHandle*& slot, Counts* counts = nullptr) {
  Result r;
  Counts c;
  std::int32_t rc = 0;
  trqcls(slot, rc, c.closeWord, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow,
         c.blockHigh);
  r.Note(rc, "trqcls");
  if (counts) *counts = c;
  return r;
}

inline Result WriteContainer(const std::string& path, Layout layout,
                             const std::vector<Member>& members, Counts* counts = nullptr) {
  RecordHandle* slot = nullptr;
  Result r = OpenForWriting(slot, path, layout);
  for (const Member& m : members) {
    if (r.rc != 0) break;
    const Result p = PutMember(slot, m);
    r.Note(p.rc, p.step.c_str());
  }
  if (slot) {
    const Result c = Close(slot, counts);
    r.Note(c.rc, c.step.c_str());
  }
  return r;
}

inline Result OpenForReading(RecordHandle*& slot, const std::string& path) {
  Result r;
  std::int32_t rc = 0;
  const std::int32_t one = 1, mode = 0, option = 0;
  trqopn(slot, rc, one, mode, path.c_str(), option);
  if (!r.Note(rc, "trqopn")) return r;
  char name[1024];
  std::snprintf(name, sizeof name, "%s", path.c_str());
  std::int32_t nameLength = 254, organisation = 0, format = 0, length = 0, block = 0, close = 0,
               device = 0;
  std::uint32_t delimiter = 0;
  const std::int32_t pass = 0;
  trqopd(slot, rc, one, nameLength, name, organisation, format, length, delimiter, pass, block,
         close, device);
  if (!r.Note(rc, "trqopd")) return r;
  std::int32_t level = 254, charCode = 1, modeWord = 0, bufferSize = 0, security = 0, most = 0,
               fixed = 0;
  trqopf(slot, rc, level, charCode, modeWord, bufferSize, security, most, nullptr, fixed, "",
         "");
  r.Note(rc, "trqopf");
  return r;
}

// Reads a member's headers (the handle stands at its file header).
inline Result GetHeaders(RecordHandle*& slot, Member& m) {
  Result r;
  std::int32_t rc = 0;
  char name[260] = {};
  std::int32_t nameLength = 255;
  std::uint8_t origin[2] = {};
  trqghd(slot, rc, nameLength, name, m.organisation, m.recordFormat, m.recordLength, nullptr,
         nullptr, m.blockSize, nullptr, origin);
  if (!r.Note(rc, "trqghd")) return r;
  m.name.assign(name, static_cast<std::size_t>(nameLength));
  std::uint8_t buffer[32768];
  std::int32_t length = 512;
  trqgsh(slot, rc, length, buffer);
  if (rc == 0) m.systemHeader.assign(buffer, buffer + length);
  if (rc != 0 && rc != kTrqNoSystemHeader) return r.Note(rc, "trqgsh"), r;
  length = sizeof buffer;
  trqguh(slot, rc, length, buffer);
  if (rc == 0) m.userHeader.assign(buffer, buffer + length);
  if (rc != 0 && rc != kTrqNoSystemHeader) r.Note(rc, "trqguh");
  return r;
}

// Records up to the next member (6) or the end (2); the code that ended them.
inline std::int32_t GetRecords(RecordHandle*& slot, std::vector<Bytes>& records) {
  for (;;) {
    std::int32_t rc = 0, length = 0;
    std::uint8_t* record = nullptr;
    TrqGetRecord(slot, rc, length, record);
    if (rc != 0) return rc;
    records.emplace_back(record, record + length);
  }
}

struct ReadBack {
  Result result;
  std::vector<Member> members;
};

inline ReadBack ReadContainer(const std::string& path) {
  ReadBack out;
  RecordHandle* slot = nullptr;
  out.result = OpenForReading(slot, path);
  if (out.result.rc == 0) {
    for (;;) {
      Member m;
      m.moreHeaders = false;
      const Result h = GetHeaders(slot, m);
      if (!out.result.Note(h.rc, h.step.c_str())) break;
      const std::int32_t end = GetRecords(slot, m.records);
      out.members.push_back(std::move(m));
      Counts c;
      std::int32_t rc = 0;
      trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
      if (end == kTrqEndOfFile) break;
      if (!out.result.Note(end == kTrqNewMember ? rc : end, "TrqGetRecord")) break;
    }
  }
  if (slot) {
    const Result c = Close(slot);
    out.result.Note(c.rc, c.step.c_str());
  }
  return out;
}

// A file name of the test's own in the temporary folder.
inline std::string TempPath(const std::string& stem) {
  static int counter = 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "trq_%d_%d_%s", static_cast<int>(::getpid()), ++counter,
                stem.c_str());
  return std::string("/tmp/") + buffer;
}

inline Bytes ReadFile(const std::string& path) {
  Bytes b;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) b.insert(b.end(), chunk, chunk + n);
    std::fclose(f);
  }
  return b;
}

}  // namespace trqtest
