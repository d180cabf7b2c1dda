// Generated record inputs shared by the benchmarks: source cards (EBCDIC), text lines
// (ASCII) and random records, about 4 MB each, made once per run.
#pragma once
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kInputBytes = 4 << 20;

enum Input { kCards, kText, kRandom };
[[maybe_unused]] const char* const kInputNames[] = {"cards", "text", "random"};
[[maybe_unused]] const int kInputCharCode[] = {0, 1, 1};

std::uint8_t ToEbcdic(char ch) {
  if (ch >= 'A' && ch <= 'I') return static_cast<std::uint8_t>(0xC1 + ch - 'A');
  if (ch >= 'J' && ch <= 'R') return static_cast<std::uint8_t>(0xD1 + ch - 'J');
  if (ch >= 'S' && ch <= 'Z') return static_cast<std::uint8_t>(0xE2 + ch - 'S');
  if (ch >= '0' && ch <= '9') return static_cast<std::uint8_t>(0xF0 + ch - '0');
  if (ch == '.') return 0x4B;
  if (ch == '-') return 0x60;
  if (ch == '\'') return 0x7D;
  return 0x40;
}

const char* const kWords[] = {"MOVE", "TO", "PERFORM", "UNTIL", "ADD", "GIVING", "IF", "ELSE",
                              "END-IF", "WS-COUNT", "CUSTOMER-NAME", "ACCOUNT-NO", "COMPUTE",
                              "DISPLAY", "ZERO", "SPACES", "VALUE", "PIC", "X(20)", "9(7)V99",
                              "THE", "OF", "AND", "RECORD", "READ", "WRITE", "FILE", "."};

std::vector<Bytes> MakeRecords(Input input, std::size_t bytes = kInputBytes) {
  std::mt19937 rng(4711);
  std::vector<Bytes> records;
  std::size_t total = 0;
  unsigned sequence = 100;
  while (total < bytes) {
    Bytes r;
    if (input == kCards) {
      // Source card: text from column 8, blanks up to column 72, an 8-digit sequence number.
      std::string line = "       ";
      const std::size_t target = 12 + rng() % 55;
      while (line.size() < target) {
        line += kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        line += ' ';
      }
      line.resize(72, ' ');
      char seq[9];
      std::snprintf(seq, sizeof seq, "%08u", sequence);
      sequence += 100;
      line += seq;
      for (char ch : line) r.push_back(ToEbcdic(ch));
    } else if (input == kText) {
      std::string line;
      const std::size_t target = 5 + rng() % 115;
      while (line.size() < target) {
        std::string w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        for (char& ch : w) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (!line.empty()) line += ' ';
        line += w;
      }
      r.assign(line.begin(), line.end());
    } else {
      r.resize(50 + rng() % 100);
      for (auto& b : r) b = static_cast<std::uint8_t>(rng());
    }
    total += r.size();
    records.push_back(std::move(r));
  }
  return records;
}

const std::vector<Bytes>& Records(Input input) {
  static std::vector<Bytes> cache[3];
  if (cache[input].empty()) cache[input] = MakeRecords(input);
  return cache[input];
}

[[maybe_unused]] std::size_t TotalBytes(const std::vector<Bytes>& records) {
  std::size_t total = 0;
  for (const Bytes& r : records) total += r.size();
  return total;
}

// The records back to back in one buffer with the end of each, as the record layer hands them
// to the utility one after the other from its own buffer.
struct FlatRecords {
  Bytes bytes;
  std::vector<std::size_t> ends;
};

[[maybe_unused]] FlatRecords Flatten(const std::vector<Bytes>& records) {
  FlatRecords flat;
  flat.bytes.reserve(TotalBytes(records));
  flat.ends.reserve(records.size());
  for (const Bytes& r : records) {
    flat.bytes.insert(flat.bytes.end(), r.begin(), r.end());
    flat.ends.push_back(flat.bytes.size());
  }
  return flat;
}

}  // namespace
