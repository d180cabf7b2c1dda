// An independent, plain and slow coder of whole CX8 and CX7 matrices, written from the format
// alone and sharing nothing with the kernel: nuccmp must produce the same bytes on every matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "nuc/matrix_buffer.h"
#include "nuc_test_util.h"

using namespace nuctest;

namespace {

struct Ref {
  int length;      // counting the 4-byte prefix slot, after the cut
  int position;    // 1-based input position, 0 when the input order is kept
  int repeats;
  const Bytes* data;  // the record's bytes (no prefix slot)
};

// Trailing repeats: of k >= 2 data bytes at the end equal to the last one, min(k - 1, 254) go.
void Cut(const Bytes& r, int& length, int& repeats) {
  const int full = static_cast<int>(r.size()) + 4;
  length = full;
  repeats = 0;
  if (full <= 5 || r[r.size() - 1] != r[r.size() - 2]) return;
  int k = 0;
  while (k < static_cast<int>(r.size()) && r[r.size() - 1 - k] == r.back()) ++k;
  repeats = std::min(k - 1, 254);
  length = full - repeats;
}

std::uint8_t ByteAt(const Ref& e, int offset) { return (*e.data)[static_cast<std::size_t>(offset - 4)]; }

// The matrix sort: descending (major, minor) or descending by the one varying key, equal keys
// in descending input order.
std::vector<Ref> Sort(const std::vector<Bytes>& records, int& kind) {
  const int n = static_cast<int>(records.size());
  std::vector<Ref> e(records.size());
  int lo = 1 << 30, hi = 0;
  for (int i = 0; i < n; ++i) {
    e[i].data = &records[i];
    e[i].position = 0;
    Cut(records[i], e[i].length, e[i].repeats);
    lo = std::min(lo, e[i].length);
    hi = std::max(hi, e[i].length);
  }
  const int spread = hi - lo;
  std::vector<int> major(records.size()), minor(records.size());
  for (int i = 0; i < n; ++i) {
    const int first = e[i].length > 4 ? ByteAt(e[i], 4) : 0;
    if (spread > 255) {
      major[i] = e[i].length >> 8;
      minor[i] = e[i].length & 0xFF;
    } else if (spread > 0) {
      major[i] = e[i].length - lo;
      minor[i] = first;
    } else if (hi > 4) {
      major[i] = ByteAt(e[i], e[i].length - 1);
      minor[i] = first;
    } else {
      major[i] = minor[i] = 0;
    }
  }
  const bool minorVaries = std::any_of(minor.begin(), minor.end(), [&](int v) { return v != minor[0]; });
  const bool majorVaries = std::any_of(major.begin(), major.end(), [&](int v) { return v != major[0]; });
  bool useMajor, useMinor;
  if (spread > 0) {
    useMajor = true;
    useMinor = minorVaries;
  } else {
    useMajor = majorVaries;
    useMinor = minorVaries;
  }
  if (!useMajor && !useMinor) {
    kind = 0;
    return e;
  }
  kind = 1;
  std::vector<int> order(records.size());
  for (int i = 0; i < n; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const int ka = useMajor ? major[a] : 0, kb = useMajor ? major[b] : 0;
    if (ka != kb) return ka > kb;
    const int ma = useMinor ? minor[a] : 0, mb = useMinor ? minor[b] : 0;
    if (ma != mb) return ma > mb;
    return a > b;
  });
  std::vector<Ref> sorted;
  for (int i : order) {
    sorted.push_back(e[i]);
    sorted.back().position = i + 1;
  }
  return sorted;
}

// Runs and literals: a run wherever three equal bytes begin, taking every equal byte after it.
struct Piece {
  bool run;
  int start, length;
};
std::vector<Piece> Cut(const Bytes& s) {
  std::vector<Piece> out;
  const int n = static_cast<int>(s.size());
  auto triple = [&](int p) { return p + 2 < n && s[p] == s[p + 1] && s[p] == s[p + 2]; };
  int p = 0;
  while (p < n) {
    int q = p + 1;
    if (triple(p)) {
      while (q < n && s[q] == s[p]) ++q;
      out.push_back({true, p, q - p});
    } else {
      while (q < n && !triple(q)) ++q;
      out.push_back({false, p, q - p});
    }
    p = q;
  }
  return out;
}

Bytes Cx8Piece(const Bytes& s, int charCode) {
  const std::uint8_t space = charCode == 0 ? 0x40 : 0x20, zero = charCode == 0 ? 0xF0 : 0x30;
  Bytes out;
  for (const Piece& x : Cut(s)) {
    const std::uint8_t b = s[static_cast<std::size_t>(x.start)];
    if (x.run) {
      const int c = x.length - 1;
      const int base = b == 0 ? 0x80 : b == space ? 0xA0 : b == zero ? 0xC0 : 0xE0;
      if (c <= 31) {
        out.push_back(static_cast<std::uint8_t>(base + c));
      } else if (c <= 255) {
        out.push_back(static_cast<std::uint8_t>(base));
        out.push_back(static_cast<std::uint8_t>(c));
      } else {
        out.push_back(static_cast<std::uint8_t>(base + 1));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
      }
      if (base == 0xE0) out.push_back(b);
    } else {
      const int d = x.length - 1;
      if (d <= 123) {
        out.push_back(static_cast<std::uint8_t>(d));
      } else if (d <= 255) {
        out.push_back(0x7D);
        out.push_back(static_cast<std::uint8_t>(d));
      } else {
        out.push_back(0x7E);
        out.push_back(static_cast<std::uint8_t>(d >> 8));
        out.push_back(static_cast<std::uint8_t>(d & 0xFF));
      }
      out.insert(out.end(), s.begin() + x.start, s.begin() + x.start + x.length);
    }
  }
  return out;
}

// A character of the records' code: A-Z, a-z, 0-9 and the space.
std::uint8_t Char(char ch, int charCode) {
  if (charCode == 1) return static_cast<std::uint8_t>(ch);
  const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", lower = "abcdefghijklmnopqrstuvwxyz";
  static const std::uint8_t upperE[] = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9,
                                        0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9,
                                        0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9};
  if (upper.find(ch) != std::string::npos) return upperE[upper.find(ch)];
  if (lower.find(ch) != std::string::npos) return static_cast<std::uint8_t>(upperE[lower.find(ch)] - 0x40);
  if (ch >= '0' && ch <= '9') return static_cast<std::uint8_t>(0xF0 + ch - '0');
  return 0x40;
}

std::uint8_t Control(int code, int charCode) {
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef  ghijklmnopqrstuvwxyz0123456789";
  return Char(letters[static_cast<std::size_t>(code)], charCode);
}

Bytes Cx7Piece(const Bytes& s, int charCode) {
  Bytes out;
  for (const Piece& x : Cut(s)) {
    const std::uint8_t b = s[static_cast<std::size_t>(x.start)];
    if (x.run) {
      int n = x.length;
      while (n > 35) {
        out.push_back(Control(63, charCode));
        out.push_back(b);
        n -= 32;
      }
      if (n >= 33) {
        out.push_back(Control(34, charCode));
        out.push_back(b);
        n -= 3;
      }
      out.push_back(Control(n + 31, charCode));
      out.push_back(b);
    } else {
      int at = x.start, left = x.length;
      while (left > 0) {
        const int take = std::min(left, 32);
        out.push_back(Control(take - 1, charCode));
        out.insert(out.end(), s.begin() + at, s.begin() + at + take);
        at += take;
        left -= take;
      }
    }
  }
  return out;
}

// The whole coded matrix.
Bytes CodeMatrix(const std::vector<Bytes>& records, bool cx7, int charCode, int& kind) {
  Bytes out;
  auto chunk = [&](const Bytes& piece) {
    const Bytes coded = cx7 ? Cx7Piece(piece, charCode) : Cx8Piece(piece, charCode);
    out.push_back(static_cast<std::uint8_t>(coded.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(coded.size() & 0xFF));
    out.insert(out.end(), coded.begin(), coded.end());
  };
  auto letters = [&](const Bytes& header) {
    if (!cx7) return header;
    Bytes l;
    for (std::uint8_t b : header) l.push_back(Char(static_cast<char>('A' + (b >> 4)), charCode));
    for (std::uint8_t b : header) l.push_back(Char(static_cast<char>('A' + (b & 15)), charCode));
    return l;
  };
  if (records.size() == 1) {
    kind = 0;
    int length, repeats;
    Cut(records[0], length, repeats);
    chunk(letters({static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF), 0,
                   static_cast<std::uint8_t>(repeats)}));
    for (int at = 0; at < length - 4; at += 2048) {
      const int take = std::min(2048, length - 4 - at);
      chunk(Bytes(records[0].begin() + at, records[0].begin() + at + take));
    }
    return out;
  }
  const std::vector<Ref> sorted = Sort(records, kind);
  Bytes header;
  for (const Ref& e : sorted) header.push_back(static_cast<std::uint8_t>(e.length >> 8));
  for (const Ref& e : sorted) header.push_back(static_cast<std::uint8_t>(e.length & 0xFF));
  for (const Ref& e : sorted) header.push_back(static_cast<std::uint8_t>(e.position));
  for (const Ref& e : sorted) header.push_back(static_cast<std::uint8_t>(e.repeats));
  chunk(letters(header));
  Bytes waiting;
  for (int c = 4; c < sorted[0].length; ++c) {
    Bytes column;
    for (const Ref& e : sorted)
      if (e.length > c) column.push_back(ByteAt(e, c));
    if (waiting.size() + column.size() > 2047) {
      chunk(waiting);
      waiting.clear();
    }
    waiting.insert(waiting.end(), column.begin(), column.end());
  }
  if (!waiting.empty()) chunk(waiting);
  return out;
}

void ExpectSameAsKernel(const std::vector<Bytes>& records, int mode, int charCode) {
  Context ctx(mode, charCode, 1);
  ASSERT_EQ(ctx.rc, 0);
  std::uint32_t room = 0;
  for (const Bytes& r : records) room += static_cast<std::uint32_t>(r.size()) + 7;
  NucMatrixBuffer m(std::max<std::uint32_t>(room, 2048));
  ASSERT_TRUE(m.Valid());
  for (const Bytes& r : records) ASSERT_TRUE(m.Add(r));
  std::int32_t rc = -9, length = 0, kind = 1;
  m.Compress(ctx.slot, rc, length, kind);
  ASSERT_EQ(rc, 0);
  int wantKind = -1;
  const Bytes want = CodeMatrix(records, mode == 1, charCode, wantKind);
  EXPECT_EQ(kind, wantKind);
  ASSERT_EQ(Bytes(m.CodedBlock(), m.CodedBlock() + length), want)
      << "mode " << mode << " code " << charCode << " records " << records.size();
}

// Matrices of many shapes: similar records of equal or differing lengths, trailing repeats,
// identical records, long runs, empty records.
std::vector<Bytes> RandomMatrix(std::mt19937& rng, int charCode) {
  const std::uint8_t space = charCode == 0 ? 0x40 : 0x20, zero = charCode == 0 ? 0xF0 : 0x30;
  const int shape = static_cast<int>(rng() % 8);
  int n = 1 + static_cast<int>(rng() % (rng() % 4 == 0 ? 255 : 12));
  int maxLength = shape == 5 ? 5000 : (rng() % 3 == 0 ? 400 : 40);
  if (n > 100 && maxLength > 400) maxLength = 400;
  const int baseLength = static_cast<int>(rng() % (maxLength + 1));
  const std::uint8_t alphabet[] = {0x00, space, zero, static_cast<std::uint8_t>(zero + 1), 'x', 0xFF, 0x7F,
                                   0x7C, 0x41};
  Bytes model(static_cast<std::size_t>(maxLength));
  for (auto& b : model) b = alphabet[rng() % std::size(alphabet)];
  std::vector<Bytes> out;
  for (int i = 0; i < n; ++i) {
    int length = baseLength;
    if (shape == 1 || shape == 5 || shape == 6) length = static_cast<int>(rng() % (maxLength + 1));
    if (shape == 2) length = baseLength + static_cast<int>(rng() % 3);
    if (shape == 7) length = static_cast<int>(rng() % 3);
    length = std::min(length, maxLength);
    Bytes r(model.begin(), model.begin() + length);
    const int changes = shape == 3 ? 0 : static_cast<int>(rng() % 4);
    for (int k = 0; k < changes && length > 0; ++k) r[rng() % length] = alphabet[rng() % std::size(alphabet)];
    if (length > 1 && rng() % 2) {
      const int tail = static_cast<int>(rng() % (length + 1));
      const std::uint8_t fill = rng() % 2 ? space : alphabet[rng() % std::size(alphabet)];
      std::fill(r.end() - tail, r.end(), fill);
    }
    if (shape == 4 && length > 0) r.back() = static_cast<std::uint8_t>(rng() % 3);
    out.push_back(std::move(r));
  }
  return out;
}

TEST(ReferenceMatrix, KernelCodesRandomMatricesAsTheReferenceDoes) {
  std::mt19937 rng(20261210);
  for (int round = 0; round < 1500; ++round) {
    const int charCode = round % 2;
    const std::vector<Bytes> records = RandomMatrix(rng, charCode);
    ExpectSameAsKernel(records, 0, charCode);
    ExpectSameAsKernel(records, 1, charCode);
    if (HasFatalFailure() || HasNonfatalFailure()) return;
  }
}

TEST(ReferenceMatrix, EdgeMatrices) {
  const std::vector<std::vector<Bytes>> cases = {
      {Text("hello world"), Text("hi"), Text("hello there!!!!!"), Text("abc")},
      {Repeat('a', 300)},
      {Repeat('a', 300), Repeat('a', 300)},
      {Cat({Distinct(200), Repeat('#', 300)}), Cat({Distinct(10), Repeat('#', 300)})},
      {Distinct(255), Distinct(254), Distinct(2)},
      {Bytes(), Bytes(), Bytes()},
      {Bytes(), Text("x")},
      {Cat({Distinct(250), Distinct(250), Distinct(250), Distinct(250), Distinct(250), Distinct(250),
            Distinct(250), Distinct(250), Distinct(250)})},
      std::vector<Bytes>(40, Distinct(255)),
      std::vector<Bytes>(255, Text("abcdefghijk")),
      {Text("aab"), Text("aac"), Text("aab"), Text("aad")},
  };
  for (const auto& records : cases) {
    for (int charCode = 0; charCode < 2; ++charCode) {
      ExpectSameAsKernel(records, 0, charCode);
      ExpectSameAsKernel(records, 1, charCode);
    }
  }
}

// Long records with 2047-byte column pieces and spreads above 255.
TEST(ReferenceMatrix, WideMatrices) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::vector<Bytes> records;
    const int n = 2 + static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) {
      Bytes r(rng() % 3000);
      for (auto& b : r) b = static_cast<std::uint8_t>(rng() % 4 ? 'q' : rng());
      records.push_back(std::move(r));
    }
    ExpectSameAsKernel(records, 0, round % 2);
    ExpectSameAsKernel(records, 1, round % 2);
  }
}

}  // namespace
