// A generator of DTAUS records and files for the tests. It keeps the field values of a record
// apart from its bytes and lays them out in the disk or the tape form, in ASCII or EBCDIC, by
// its own copy of the record layouts, so that it checks the record layer instead of repeating
// it. "Canonical" records leave blank (or zero) what one form cannot carry to the other: the
// last byte of A, the first three characters of the C text field, the thirteenth digit of the
// C amount field.
#pragma once
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace dtausgen {

using Bytes = std::vector<std::uint8_t>;

enum class Form { kDisk, kTape };
enum class Charset { kAscii, kEbcdic };

// ASCII to EBCDIC for the characters the generator uses.
inline std::uint8_t Ebcdic(char c) {
  if (c >= 'A' && c <= 'I') return static_cast<std::uint8_t>(0xC1 + (c - 'A'));
  if (c >= 'J' && c <= 'R') return static_cast<std::uint8_t>(0xD1 + (c - 'J'));
  if (c >= 'S' && c <= 'Z') return static_cast<std::uint8_t>(0xE2 + (c - 'S'));
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(0xF0 + (c - '0'));
  switch (c) {
    case ' ': return 0x40;
    case '.': return 0x4B;
    case ',': return 0x6B;
    case '-': return 0x60;
    case '/': return 0x61;
    case '&': return 0x50;
    case '+': return 0x4E;
    default: return 0x3F;
  }
}

inline std::uint8_t Code(char c, Charset cs) {
  return cs == Charset::kAscii ? static_cast<std::uint8_t>(c) : Ebcdic(c);
}

// Field kinds: letter, characters, digits (packed on tape), nibble pairs, the 13-digit amount,
// the tape's zero byte, tape blanks, disk blanks.
enum class K { kLetter, kChars, kDigits, kNibbles, kAmount13, kTapeZero, kTapeBlanks, kDiskBlanks };

struct Field {
  K kind;
  int diskOffset;
  int width;  // characters or digits; tape width for kTapeZero/kTapeBlanks
  int tapeOffset;
};

// The layouts as read (the record layer's input tables).
inline const std::vector<Field>& Layout(char kind) {
  static const std::vector<Field> a = {
      {K::kLetter, 4, 1, 0},     {K::kChars, 5, 2, 1},      {K::kDigits, 7, 8, 3},
      {K::kDigits, 15, 8, 8},    {K::kChars, 23, 27, 13},   {K::kDigits, 50, 6, 40},
      {K::kTapeZero, -1, 1, 44}, {K::kDigits, 56, 4, 45},   {K::kDigits, 60, 10, 48},
      {K::kChars, 70, 58, 54},   {K::kTapeBlanks, -1, 34, 112}};
  static const std::vector<Field> c = {
      {K::kLetter, 4, 1, 0},     {K::kDigits, 5, 8, 1},     {K::kDigits, 13, 8, 6},
      {K::kDigits, 21, 10, 11},  {K::kAmount13, 31, 13, 17}, {K::kNibbles, 44, 2, 30},
      {K::kDigits, 46, 3, 31},   {K::kChars, 49, 1, 33},    {K::kDigits, 50, 11, 34},
      {K::kDigits, 61, 8, 40},   {K::kDigits, 69, 10, 45},  {K::kDigits, 79, 11, 51},
      {K::kChars, 90, 30, 57},   {K::kDiskBlanks, 120, 8, -1}, {K::kChars, 128, 57, 87}};
  static const std::vector<Field> e = {
      {K::kLetter, 4, 1, 0},     {K::kChars, 5, 5, 1},      {K::kDigits, 10, 7, 6},
      {K::kDigits, 17, 13, 10},  {K::kDigits, 30, 17, 17},  {K::kDigits, 47, 17, 26},
      {K::kDigits, 64, 13, 35},  {K::kChars, 77, 51, 42},   {K::kTapeBlanks, -1, 53, 93}};
  return kind == 'A' ? a : kind == 'C' ? c : e;
}

struct Record {
  char kind = 'A';
  int k = 0;                             // C: extension parts
  std::vector<std::string> values;       // one per field of the layout (empty for fillers)
  std::vector<std::string> extensions;   // C: k texts of 29 characters
};

inline int DiskSize(const Record& r) {
  if (r.kind != 'C') return 128;
  const int further = r.k > 2 ? (r.k - 2 + 3) / 4 : 0;
  return 128 * (2 + further);
}
inline int TapeSize(const Record& r) { return r.kind == 'C' ? 146 + 29 * r.k : 146; }

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed) {}

  std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + Pick(10)));
    return s;
  }
  std::string Chars(int n) {
    static const char kSet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,-/&+";
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(kSet[Pick(sizeof kSet - 1)]);
    return s;
  }

  Record Make(char kind, int k = 0, bool canonical = true) {
    Record r;
    r.kind = kind;
    r.k = kind == 'C' ? k : 0;
    for (const Field& f : Layout(kind)) {
      std::string v;
      switch (f.kind) {
        case K::kChars:
          v = Chars(f.width);
          break;
        case K::kDigits:
        case K::kNibbles:
          v = Digits(f.width);
          break;
        case K::kAmount13:
          v = Digits(f.width);
          if (canonical) v.back() = '0';  // the tape form keeps 12 digits
          break;
        default:
          break;
      }
      if (canonical && kind == 'A' && f.diskOffset == 70) v.back() = ' ';
      if (canonical && kind == 'C' && f.diskOffset == 90) v.replace(0, 3, "   ");
      r.values.push_back(v);
    }
    for (int j = 0; j < r.k; ++j) r.extensions.push_back(Chars(29));
    return r;
  }

  // A logical file: A, C records with the given extension counts, E.
  std::vector<Record> File(const std::vector<int>& ks, bool canonical = true) {
    std::vector<Record> out{Make('A', 0, canonical)};
    for (int k : ks) out.push_back(Make('C', k, canonical));
    out.push_back(Make('E', 0, canonical));
    return out;
  }

 private:
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  std::mt19937 rng_;
};

// The packed form of n digits: a leading 0 nibble for even n, the sign F last.
inline Bytes Packed(const std::string& digits) {
  std::string nibbles = (digits.size() % 2 == 0 ? "0" : "") + digits;
  Bytes out;
  nibbles.push_back('F');
  for (std::size_t i = 0; i < nibbles.size(); i += 2) {
    auto v = [](char c) { return c == 'F' ? 15 : c - '0'; };
    out.push_back(static_cast<std::uint8_t>(v(nibbles[i]) << 4 | v(nibbles[i + 1])));
  }
  return out;
}

inline Bytes Disk(const Record& r, Charset cs) {
  const std::uint8_t blank = Code(' ', cs);
  Bytes d(static_cast<std::size_t>(DiskSize(r)), blank);
  auto put = [&](int offset, const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) d[static_cast<std::size_t>(offset) + i] = Code(s[i], cs);
  };
  const int lengthValue = r.kind == 'C' ? 187 + 29 * r.k : 128;
  char text[16];
  std::snprintf(text, sizeof text, "%04d", lengthValue);
  put(0, text);
  const auto& layout = Layout(r.kind);
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const Field& f = layout[i];
    if (f.kind == K::kLetter) put(f.diskOffset, std::string(1, r.kind));
    else if (f.diskOffset >= 0 && !r.values[i].empty()) put(f.diskOffset, r.values[i]);
  }
  if (r.kind == 'C') {
    std::snprintf(text, sizeof text, "%02d", r.k);
    put(185, text);
    // Slots: 2 in the second segment, 4 in each further one (12 blanks behind them).
    const int slots = 2 + 4 * (DiskSize(r) / 128 - 2);
    for (int j = 0; j < slots; ++j) {
      const int offset = j < 2 ? 187 + 29 * j : 128 * (2 + (j - 2) / 4) + 29 * ((j - 2) % 4);
      if (j < r.k) put(offset, r.extensions[static_cast<std::size_t>(j)]);
      else if (j >= 2) put(offset, "00");
    }
  }
  return d;
}

inline Bytes Tape(const Record& r, Charset cs) {
  const std::uint8_t blank = Code(' ', cs);
  Bytes t(static_cast<std::size_t>(TapeSize(r)), blank);
  const auto& layout = Layout(r.kind);
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const Field& f = layout[i];
    const std::string& v = r.values[i];
    auto at = [&](int j) -> std::uint8_t& { return t[static_cast<std::size_t>(f.tapeOffset + j)]; };
    switch (f.kind) {
      case K::kLetter:
        at(0) = Code(r.kind, cs);
        break;
      case K::kChars:
        for (int j = 0; j < f.width; ++j) at(j) = Code(v[static_cast<std::size_t>(j)], cs);
        break;
      case K::kDigits: {
        const Bytes p = Packed(v);
        for (std::size_t j = 0; j < p.size(); ++j) at(static_cast<int>(j)) = p[j];
        break;
      }
      case K::kNibbles:
        at(0) = static_cast<std::uint8_t>((v[0] - '0') << 4 | (v[1] - '0'));
        break;
      case K::kAmount13:
        for (int j = 0; j < 6; ++j)
          at(j) = static_cast<std::uint8_t>((v[2 * j] - '0') << 4 | (v[2 * j + 1] - '0'));
        for (int j = 6; j < 12; ++j) at(j) = 0x00;
        at(12) = 0x0F;
        break;
      case K::kTapeZero:
        at(0) = 0x00;
        break;
      default:
        break;
    }
  }
  if (r.kind == 'C') {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", r.k);
    const Bytes count = Packed(text);
    t[144] = count[0];
    t[145] = count[1];
    for (int j = 0; j < r.k; ++j)
      for (int i = 0; i < 29; ++i)
        t[static_cast<std::size_t>(146 + 29 * j + i)] =
            Code(r.extensions[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)], cs);
  }
  return t;
}

inline Bytes Render(const Record& r, Form form, Charset cs) {
  return form == Form::kDisk ? Disk(r, cs) : Tape(r, cs);
}

inline std::vector<Bytes> RenderAll(const std::vector<Record>& rs, Form form, Charset cs) {
  std::vector<Bytes> out;
  for (const Record& r : rs) out.push_back(Render(r, form, cs));
  return out;
}

inline Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace dtausgen
