// Secured containers written and read through the record interface, with or without a
// password: the security option set before the container is opened, the password after it.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "trq_roundtrip.h"

namespace securedtest {

using namespace trqtest;

// Opens a container for writing with the security option set before trqopf and, when one is
// given, the password after it.
inline Result OpenSecured(RecordHandle*& slot, const std::string& path, Layout layout,
                          const std::string& password = "") {
  layout.securityTrailers = true;
  Result r = OpenForWriting(slot, path, layout);
  if (r.rc == 0 && !password.empty()) {
    std::int32_t rc = 0;
    trqpwd(slot, rc, static_cast<std::int32_t>(password.size()),
           reinterpret_cast<const std::uint8_t*>(password.data()));
    r.Note(rc, "trqpwd");
  }
  return r;
}

// As WriteContainer, with the security option set before the container is opened. Without
// endLast the last member is left open for the close to end (its headers and records put, no
// trqflu).
inline Result WriteSecured(const std::string& path, Layout layout, const std::vector<Member>& members,
                    const std::string& password = "", bool endLast = true) {
  RecordHandle* slot = nullptr;
  Result r = OpenSecured(slot, path, layout, password);
  std::int32_t rc = 0;
  for (std::size_t i = 0; i < members.size() && r.rc == 0; ++i) {
    const Member& m = members[i];
    if (endLast || i + 1 < members.size()) {
      const Result p = PutMember(slot, m);
      r.Note(p.rc, p.step.c_str());
      continue;
    }
    std::int32_t nameLength = static_cast<std::int32_t>(m.name.size()), organisation = m.organisation,
                 format = m.recordFormat, length = m.recordLength, block = m.blockSize, more = 0;
    const std::uint8_t origin[2] = {0x00, 0xE0};
    trqphd(slot, rc, nameLength, m.name.c_str(), organisation, format, length, nullptr, nullptr, block, nullptr,
           origin, more);
    for (const Bytes& record : m.records) {
      if (!r.Note(rc, "trqput")) break;
      trqput(slot, rc, static_cast<std::int32_t>(record.size()), record.data());
    }
    r.Note(rc, "trqput");
  }
  if (slot) {
    const Result c = Close(slot);
    r.Note(c.rc, c.step.c_str());
  }
  return r;
}


// As ReadContainer, with a password given after the open.
inline ReadBack ReadWithPassword(const std::string& path, const std::string& password) {
  ReadBack out;
  RecordHandle* slot = nullptr;
  out.result = OpenForReading(slot, path);
  if (out.result.rc == 0) {
    std::int32_t rc = 0;
    trqpwd(slot, rc, static_cast<std::int32_t>(password.size()),
           reinterpret_cast<const std::uint8_t*>(password.data()));
    out.result.Note(rc, "trqpwd");
  }
  while (out.result.rc == 0) {
    Member m;
    const Result h = GetHeaders(slot, m);
    if (!out.result.Note(h.rc, h.step.c_str())) break;
    const std::int32_t end = GetRecords(slot, m.records);
    out.members.push_back(std::move(m));
    Counts c;
    std::int32_t rc = 0;
    trqflu(slot, rc, c.records, c.bytesLow, c.bytesHigh, c.blocks, c.blockLow, c.blockHigh);
    if (end == kTrqEndOfFile) break;
    out.result.Note(end == kTrqNewMember ? rc : end, "TrqGetRecord");
  }
  if (slot) {
    const Result c = Close(slot);
    out.result.Note(c.rc, c.step.c_str());
  }
  return out;
}

}  // namespace securedtest
