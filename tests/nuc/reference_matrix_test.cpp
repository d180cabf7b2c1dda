// An independent, plain and slow coder of whole CX8, CX7 and VR8 matrices, written from the format
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

// Bits written most significant first.
struct BitString {
  Bytes bytes;
  int used = 0;  // bits used in the last byte
  void Put(std::uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() = static_cast<std::uint8_t>(bytes.back() | (0x80 >> used));
      used = (used + 1) % 8;
    }
  }
  int FillBits() const { return used == 0 ? 0 : 8 - used; }
};

// The literal pool code of a pool of 16 bytes or more; `rank` maps a byte to its rank value.
Bytes Vr8Pool(const Bytes& pool, const std::uint8_t* rank) {
  const int p = static_cast<int>(pool.size());
  Bytes r(pool.size());
  for (int i = 0; i < p; ++i) r[i] = rank[pool[i]];
  Bytes groups;
  for (int i = 0; i + 1 < p; ++i) groups.push_back(static_cast<std::uint8_t>(r[i + 1] ^ r[i]));
  const int g = (p + 2) / 4;
  if (static_cast<int>(groups.size()) < 4 * g) groups.push_back(r[p - 1]);
  while (static_cast<int>(groups.size()) < 4 * g) groups.push_back(0);
  auto orOf = [&](int k) { return groups[4 * k] | groups[4 * k + 1] | groups[4 * k + 2] | groups[4 * k + 3]; };
  BitString bits;
  bits.Put(0, 3);
  bits.Put(r[0], 8);
  bits.Put(pool[p - 1], 8);
  int width = 0;
  for (int k = 0; k < g;) {
    const int c = orOf(k);
    if (c == 0) {
      int v = 1;
      while (v < 6 && k + v < g && orOf(k + v) == 0) ++v;
      bits.Put(0xD, 4);
      bits.Put(1, v);
      k += v;
      continue;
    }
    if (c & 1) {
      int n = 1;
      while (n < 6 && k + n < g && (orOf(k + n) & 1)) ++n;
      bits.Put(1, n + 5);
      for (int i = 0; i < 4 * n; ++i) bits.Put(groups[4 * k + i], 8);
      k += n;
      width = 8;
      continue;
    }
    int prefix, prefixBits, shift;
    bool fold = false;
    if (c & 2) { prefix = 0xF; prefixBits = 4; width = 7; shift = 1; }
    else if ((c & 4) && !(c & 8)) { prefix = 2; prefixBits = 2; width = 5; shift = 3; fold = true; }
    else if (c & 4) { prefix = 1; prefixBits = 3; width = 6; shift = 2; }
    else if (c & 8) { prefix = 0xC; prefixBits = 4; width = 5; shift = 3; }
    else if (c & 16) { prefix = 1; prefixBits = 2; width = 4; shift = 4; }
    else if (c & 32) { prefix = 0xE; prefixBits = 4; width = 3; shift = 5; }
    else { prefix = 1; prefixBits = 4; width = 2; shift = 6; }
    bits.Put(static_cast<std::uint32_t>(prefix), prefixBits);
    for (int i = 0; i < 4; ++i) {
      int b = groups[4 * k + i];
      if (fold) b = (b & 0xF0) | ((b & 4) << 1);
      bits.Put(static_cast<std::uint32_t>(b >> shift), width);
    }
    ++k;
  }
  Bytes out = bits.bytes;
  const int fillBytes = (4 - (p - 1) % 4) % 4;
  if (orOf(g - 1) != 0) out.resize(out.size() - static_cast<std::size_t>((width * fillBytes + bits.FillBits()) / 8));
  return out;
}

Bytes Vr8Piece(const Bytes& s, const std::uint8_t* rank) {
  BitString bits;
  Bytes pool;
  bits.Put(8, 4);
  for (const Piece& x : Cut(s)) {
    const std::uint32_t n = static_cast<std::uint32_t>(x.length);
    if (x.run) {
      pool.push_back(s[static_cast<std::size_t>(x.start)]);
      if (n <= 6) bits.Put(4 + n - 3, 4);
      else if (n <= 22) bits.Put(0x50 + n - 7, 7);
      else if (n <= 86) bits.Put(0x340 + n - 23, 10);
      else bits.Put(0xE800 + n - 87, 16);
    } else {
      pool.insert(pool.end(), s.begin() + x.start, s.begin() + x.start + x.length);
      if (n <= 4) bits.Put(n - 1, 4);
      else if (n <= 20) bits.Put(64 + n - 5, 7);
      else if (n <= 84) bits.Put(0x300 + n - 21, 10);
      else bits.Put(0xE000 + n - 85, 16);
    }
  }
  bits.Put(15, 4);
  return Cat({bits.bytes, pool.size() < 16 ? pool : Vr8Pool(pool, rank)});
}

// The whole coded matrix.
Bytes CodeMatrix(const std::vector<Bytes>& records, int mode, int charCode, const std::uint8_t* rank,
                 int& kind) {
  const bool cx7 = mode == 1;
  Bytes out;
  auto chunk = [&](const Bytes& piece) {
    const Bytes coded = cx7 ? Cx7Piece(piece, charCode)
                            : mode == 2 ? Vr8Piece(piece, rank) : Cx8Piece(piece, charCode);
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
  // The rank table is the first of a VR8 context's encode tables (checked against its listing
  // by the VR8 table tests).
  const Bytes want = CodeMatrix(records, mode, charCode, ctx.slot->encodeTables, wantKind);
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
    ExpectSameAsKernel(records, 2, charCode);
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
      // Repeats around the sentinel's change of place (lengths 258 to 260) and the cap of 254.
      {Repeat('r', 253), Repeat('r', 254), Repeat('r', 255), Repeat('r', 256), Repeat('r', 257)},
      {Cat({Text("x"), Repeat('r', 254)}), Cat({Text("x"), Repeat('r', 255)}),
       Cat({Text("x"), Repeat('r', 256)}), Cat({Text("xy"), Repeat(' ', 600)})},
      {Repeat('r', 255)},
      {Cat({Text("x"), Repeat('r', 255)})},
      {Cat({Distinct(2047), Repeat(0, 2)})},
      {Cat({Distinct(2048), Repeat(0x20, 3)})},
  };
  for (const auto& records : cases) {
    for (int charCode = 0; charCode < 2; ++charCode) {
      ExpectSameAsKernel(records, 0, charCode);
      ExpectSameAsKernel(records, 1, charCode);
      ExpectSameAsKernel(records, 2, charCode);
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
    ExpectSameAsKernel(records, 2, round % 2);
  }
}

}  // namespace

namespace {

// Single VR8 pieces of every size over alphabets of different spread, so that every class of
// pool group and every code width occurs.
TEST(ReferenceMatrix, Vr8PiecesAsTheReferenceCodesThem) {
  std::mt19937 rng(4108);
  for (int round = 0; round < 3000; ++round) {
    const int charCode = round % 2;
    Context ctx(2, charCode, 1);
    ASSERT_EQ(ctx.rc, 0);
    const int size = 1 + static_cast<int>(rng() % (round % 5 == 0 ? 2048 : 120));
    const int spread = 1 + static_cast<int>(rng() % (round % 3 == 0 ? 256 : 12));
    const int base = static_cast<int>(rng() % 256);
    Bytes piece(static_cast<std::size_t>(size));
    for (auto& b : piece) b = static_cast<std::uint8_t>(base + static_cast<int>(rng() % spread));
    for (int k = static_cast<int>(rng() % 4); k > 0; --k) {  // some runs of every length
      const int at = static_cast<int>(rng() % size);
      const int length = std::min(size - at, 1 + static_cast<int>(rng() % 150));
      std::fill(piece.begin() + at, piece.begin() + at + length, piece[static_cast<std::size_t>(at)]);
    }
    Bytes source = piece;
    source.resize(piece.size() + 4, 0xA5);
    Bytes out(8192);
    std::uint16_t length = 0;
    ctx.slot->compressRecord(source.data(), size, ctx.slot->encodeTables, out.data(), length);
    out.resize(length);
    ASSERT_EQ(out, Vr8Piece(piece, ctx.slot->encodeTables)) << "round " << round << ": " << Hex(piece);
  }
}

}  // namespace
