// The VR8 literal pool code: neighbouring rank values XORed, the differences sent four at a
// time in the narrowest class their bits allow.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "nuc/bitio.h"
#include "nuc/vr8.h"
#include "nuc/vr8_pool.h"

namespace {

enum GroupClass : std::uint8_t { kZero, kRaw, k7Bit, kFolded, k6Bit, k5Bit, k4Bit, k3Bit, k2Bit };

// Class of a group by the OR of its four bytes: the lowest set bit decides.
constexpr std::array<std::uint8_t, 256> MakeClassTable() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    GroupClass k;
    if (c == 0) k = kZero;
    else if (c & 1) k = kRaw;
    else if (c & 2) k = k7Bit;
    else if ((c & 4) && !(c & 8)) k = kFolded;
    else if (c & 4) k = k6Bit;
    else if (c & 8) k = k5Bit;
    else if (c & 16) k = k4Bit;
    else if (c & 32) k = k3Bit;
    else k = k2Bit;
    t[c] = k;
  }
  return t;
}
constexpr auto kClassOf = MakeClassTable();
// Bits each byte of a group takes in its class.
constexpr std::uint8_t kBitsPerByte[] = {0, 8, 7, 5, 6, 5, 4, 3, 2};

// Prefix and fields of one group: each byte shifted right by `drop`, `width` bits kept.
inline void PutGroup(WideBitWriter& w, std::uint32_t prefix, int prefixBits,
                     const std::uint8_t* g, int drop, int width) {
  std::uint32_t v = prefix;
  for (int i = 0; i < 4; ++i) v = (v << width) | (static_cast<std::uint32_t>(g[i]) >> drop);
  w.Put(v, prefixBits + 4 * width);
}

inline std::uint32_t OrOfGroup(const std::uint8_t* g) { return g[0] | g[1] | g[2] | g[3]; }

}  // namespace

void torqflc(const std::uint8_t* encodeTables, std::uint8_t* pool, std::int32_t length,
             std::uint8_t* destination, std::uint16_t& outLength) {
  const std::uint8_t* rank = encodeTables + kVr8RankOffset;
  const std::uint8_t* fold = encodeTables + kVr8FoldOffset;
  const std::int32_t p = length;
  WideBitWriter w(destination);
  const std::uint8_t first = rank[pool[0]];
  w.Put(first, 3 + 8);  // the version 000 and the first byte
  w.Put(pool[p - 1], 8);  // the check byte: the last pool byte as it is
  // Neighbouring rank values XORed: the p - 1 differences, then r[p-1] and zero bytes fill the
  // last group.
  std::uint8_t previous = first;
  for (std::int32_t i = 1; i < p; ++i) {
    const std::uint8_t r = rank[pool[i]];
    pool[i - 1] = static_cast<std::uint8_t>(previous ^ r);
    previous = r;
  }
  pool[p - 1] = previous;
  std::memset(pool + p, 0, 4);
  const std::int32_t groups = (p + 2) / 4;
  std::uint8_t lastClass = kZero;
  for (std::int32_t g = 0; g < groups;) {
    const std::uint8_t* grp = pool + 4 * g;
    const std::uint8_t cls = kClassOf[OrOfGroup(grp)];
    lastClass = cls;
    switch (cls) {
      case kZero: {
        int v = 1;
        while (v < 6 && g + v < groups && OrOfGroup(grp + 4 * v) == 0) ++v;
        w.Put((13u << v) + 1, v + 4);
        g += v;
        continue;
      }
      case kRaw: {
        int k = 1;
        while (k < 6 && g + k < groups && (OrOfGroup(grp + 4 * k) & 1) != 0) ++k;
        w.Put(1, k + 5);
        for (int i = 0; i < 4 * k; i += 4) {
          w.Put((std::uint32_t{grp[i]} << 24) | (std::uint32_t{grp[i + 1]} << 16) |
                    (std::uint32_t{grp[i + 2]} << 8) | grp[i + 3],
                32);
        }
        g += k;
        continue;
      }
      case k7Bit: PutGroup(w, 0xF, 4, grp, 1, 7); break;
      case kFolded: {
        const std::uint8_t folded[4] = {fold[grp[0]], fold[grp[1]], fold[grp[2]], fold[grp[3]]};
        PutGroup(w, 0x2, 2, folded, 3, 5);
        break;
      }
      case k6Bit: PutGroup(w, 0x1, 3, grp, 2, 6); break;
      case k5Bit: PutGroup(w, 0xC, 4, grp, 3, 5); break;
      case k4Bit: PutGroup(w, 0x1, 2, grp, 4, 4); break;
      case k3Bit: PutGroup(w, 0xE, 4, grp, 5, 3); break;
      default: PutGroup(w, 0x1, 4, grp, 6, 2); break;
    }
    ++g;
  }
  std::uint32_t fillBits = 0;
  std::uint8_t* end = w.Close(fillBits);
  std::uint32_t written = static_cast<std::uint32_t>(end - destination);
  // Trailing bytes that hold only fill bytes of the last group and fill bits are left out: the
  // decoder reads them as zeros and does not need them.
  const std::uint32_t fillBytes = static_cast<std::uint32_t>((4 - (p - 1) % 4) % 4);
  if (lastClass != kZero) written -= (kBitsPerByte[lastClass] * fillBytes + fillBits) / 8;
  outLength = static_cast<std::uint16_t>(written);
}

std::int32_t Vr8DecodePool(const std::uint8_t* decodeTables, std::uint8_t* code,
                           std::size_t codeLength, std::uint8_t* output,
                           std::uint16_t poolLength) {
  if (poolLength < 16 || poolLength > kVr8MaxPool) return 73;
  const std::uint8_t* unrank = decodeTables + kVr8UnrankOffset;
  const std::uint8_t* unfold = decodeTables + kVr8UnfoldOffset;
  const std::uint8_t* quad = decodeTables + kVr8QuadOffset;
  WideBitReader r(code);
  if (r.Get(3) != 0) return 70;
  output[0] = static_cast<std::uint8_t>(r.Get(8));
  const auto check = static_cast<std::uint8_t>(r.Get(8));
  std::int32_t rem = poolLength - 1;  // difference bytes still expected
  std::uint8_t* out = output + 1;
  for (;;) {
    // Every code is read from one window: its 5-bit prefix and at most 32 bits after it.
    const std::uint64_t win = r.Peek(40);
    const auto prefix = static_cast<unsigned>(win >> 35);
    if (prefix == 0) {  // raw groups, or the end of the code: a unary count in 6 bits
      const auto six = static_cast<unsigned>((win >> 29) & 0x3F);
      if (six == 0) {
        if (rem <= 0) break;
        return 72;
      }
      const std::int32_t k = std::countl_zero(static_cast<std::uint8_t>(six << 2)) + 1;
      r.Skip(5 + k);
      const std::int32_t n = 4 * k;
      if (rem > n) {
        r.GetBytes(out, static_cast<std::size_t>(n));
        out += n;
        rem -= n;
        continue;
      }
      if (rem <= n - 4) return 73;
      r.GetBytes(out, static_cast<std::size_t>(rem));
      out += rem;
      rem = 0;
      break;
    }
    if (prefix == 1) {  // raw groups with a 6-bit count
      const std::int32_t n = 4 * static_cast<std::int32_t>((win >> 29) & 0x3F);
      if (n == 0 || n > rem) return 73;
      r.Skip(11);
      r.GetBytes(out, static_cast<std::size_t>(n));
      out += n;
      rem -= n;
      continue;
    }
    if (prefix == 0x1A) {  // a run of two to six zero groups: a unary count in 5 bits
      const auto five = static_cast<unsigned>((win >> 30) & 0x1F);
      if (five == 0) return 71;
      const std::int32_t k = std::countl_zero(static_cast<std::uint8_t>(five << 3)) + 1;
      r.Skip(5 + k);
      const std::int32_t n = 4 * (k + 1);
      if (rem > n) {
        std::memset(out, 0, static_cast<std::size_t>(n));
        out += n;
        rem -= n;
        continue;
      }
      if (rem <= 0) return 73;
      std::memset(out, 0, static_cast<std::size_t>(rem));
      out += rem;
      rem = 0;
      break;
    }
    // Every other code is one group of four bytes: refused when no byte is expected any more.
    if (rem <= 0) return 73;
    std::uint32_t a, b, c, d;
    if (prefix < 0x04) {  // 0001 x mmmmmmm: 2-bit group through the quad table
      r.Skip(12);
      const std::uint8_t* q = quad + 4 * ((win >> 28) & 0xFF);
      a = q[0];
      b = q[1];
      c = q[2];
      d = q[3];
    } else if (prefix < 0x08) {  // 001 and four 6-bit fields
      r.Skip(27);
      const auto v = static_cast<std::uint32_t>(win >> 13);
      a = ((v >> 18) & 0x3F) << 2;
      b = ((v >> 12) & 0x3F) << 2;
      c = ((v >> 6) & 0x3F) << 2;
      d = (v & 0x3F) << 2;
    } else if (prefix < 0x10) {  // 01 and four 4-bit fields
      r.Skip(18);
      const auto v = static_cast<std::uint32_t>(win >> 22);
      a = ((v >> 12) & 0xF) << 4;
      b = ((v >> 8) & 0xF) << 4;
      c = ((v >> 4) & 0xF) << 4;
      d = (v & 0xF) << 4;
    } else if (prefix < 0x18) {  // 10 and four folded 5-bit fields
      r.Skip(22);
      const auto v = static_cast<std::uint32_t>(win >> 18);
      a = unfold[(v >> 15) & 0x1F];
      b = unfold[(v >> 10) & 0x1F];
      c = unfold[(v >> 5) & 0x1F];
      d = unfold[v & 0x1F];
    } else if (prefix < 0x1A) {  // 1100 and four 5-bit fields
      r.Skip(24);
      const auto v = static_cast<std::uint32_t>(win >> 16);
      a = ((v >> 15) & 0x1F) << 3;
      b = ((v >> 10) & 0x1F) << 3;
      c = ((v >> 5) & 0x1F) << 3;
      d = (v & 0x1F) << 3;
    } else if (prefix == 0x1B) {  // one zero group
      r.Skip(5);
      a = b = c = d = 0;
    } else if (prefix < 0x1E) {  // 1110 and four 3-bit fields
      r.Skip(16);
      const auto v = static_cast<std::uint32_t>(win >> 24);
      a = ((v >> 9) & 0x7) << 5;
      b = ((v >> 6) & 0x7) << 5;
      c = ((v >> 3) & 0x7) << 5;
      d = (v & 0x7) << 5;
    } else {  // 1111 and four 7-bit fields
      r.Skip(32);
      const auto v = static_cast<std::uint32_t>(win >> 8);
      a = ((v >> 21) & 0x7F) << 1;
      b = ((v >> 14) & 0x7F) << 1;
      c = ((v >> 7) & 0x7F) << 1;
      d = (v & 0x7F) << 1;
    }
    out[0] = static_cast<std::uint8_t>(a);
    out[1] = static_cast<std::uint8_t>(b);
    out[2] = static_cast<std::uint8_t>(c);
    out[3] = static_cast<std::uint8_t>(d);
    out += 4;
    rem -= 4;
  }
  if (rem < -3) return 73;
  // A code may lean on a few zero bytes after its end (its dropped fill), never on more.
  if (r.BitPosition() > (codeLength + 8) * 8) return 73;
  std::uint8_t v = output[0];
  const std::int32_t p = poolLength;
  for (std::int32_t i = 0; i + 1 < p; ++i) {
    output[i] = unrank[v];
    v = static_cast<std::uint8_t>(v ^ output[i + 1]);
  }
  output[p - 1] = unrank[v];
  if (output[p - 1] != check) return 74;
  return 0;
}

void torqfld(std::int32_t& rc, const std::uint8_t* decodeTables, const std::uint8_t* input,
             std::uint16_t inputLength, std::uint8_t* output, std::uint16_t poolLength) {
  // The decoder reads zeros after the code; they live in a copy, never in the caller's buffer.
  std::array<std::uint8_t, kVr8PoolReadBound + kVr8PoolZeroPad> work;
  const std::size_t copied = std::min<std::size_t>(inputLength, kVr8PoolReadBound);
  if (copied > 0) std::memcpy(work.data(), input, copied);
  std::memset(work.data() + copied, 0, kVr8PoolZeroPad);
  const std::int32_t code = Vr8DecodePool(decodeTables, work.data(), inputLength, output,
                                          poolLength);
  if (code != 0) rc = code;
}
