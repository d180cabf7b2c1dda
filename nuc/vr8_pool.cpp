// The VR8 literal pool code: neighbouring rank values XORed, the differences sent four at a
// time in the narrowest class their bits allow.
#include <algorithm>
#include <array>
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

// Writes up to 32 bits, the first of them the highest.
inline void PutWide(BitFile& f, std::uint32_t value, int n) {
  if (n > 16) {
    PutBits(f, static_cast<std::uint16_t>(value >> 16), n - 16);
    Put16Bits(f, static_cast<std::uint16_t>(value));
  } else {
    PutBits(f, static_cast<std::uint16_t>(value), n);
  }
}

// Prefix and fields of one group: each byte shifted right by `drop`, `width` bits kept.
inline void PutGroup(BitFile& f, std::uint32_t prefix, int prefixBits, const std::uint8_t* g,
                     int drop, int width) {
  std::uint32_t v = prefix;
  for (int i = 0; i < 4; ++i) v = (v << width) | (g[i] >> drop);
  PutWide(f, v, prefixBits + 4 * width);
}

}  // namespace

void torqflc(const std::uint8_t* encodeTables, std::uint8_t* pool, std::int32_t length,
             std::uint8_t* destination, std::uint16_t& outLength) {
  const std::uint8_t* rank = encodeTables + kVr8RankOffset;
  const std::uint8_t* fold = encodeTables + kVr8FoldOffset;
  const std::int32_t p = length;
  BitFile f;
  OpenOutputBitFile(f, destination);
  Put3Bits(f, 0);
  pool[0] = rank[pool[0]];
  Put8Bits(f, pool[0]);
  Put8Bits(f, pool[p - 1]);  // the check byte: the last pool byte as it is
  std::memset(pool + p, 0, 4);
  for (std::int32_t i = 1; i < p; ++i) {
    pool[i] = rank[pool[i]];
    pool[i - 1] ^= pool[i];
  }
  // Now pool holds the p - 1 differences, then r[p-1] and zeros: the groups and their fill.
  const std::int32_t groups = (p + 2) / 4;
  std::uint8_t lastClass = kZero;
  for (std::int32_t g = 0; g < groups;) {
    const std::uint8_t* grp = pool + 4 * g;
    const std::uint8_t cls = kClassOf[grp[0] | grp[1] | grp[2] | grp[3]];
    lastClass = cls;
    switch (cls) {
      case kZero: {
        int v = 1;
        while (v < 6 && g + v < groups) {
          const std::uint8_t* n = pool + 4 * (g + v);
          if ((n[0] | n[1] | n[2] | n[3]) != 0) break;
          ++v;
        }
        PutBits(f, static_cast<std::uint16_t>((13u << v) + 1), v + 4);
        g += v;
        continue;
      }
      case kRaw: {
        int k = 1;
        while (k < 6 && g + k < groups) {
          const std::uint8_t* n = pool + 4 * (g + k);
          if (((n[0] | n[1] | n[2] | n[3]) & 1) == 0) break;
          ++k;
        }
        PutBits(f, 1, k + 5);
        PutBytes(f, grp, 4 * k);
        g += k;
        continue;
      }
      case k7Bit: PutGroup(f, 0xF, 4, grp, 1, 7); break;
      case kFolded: {
        const std::uint8_t folded[4] = {fold[grp[0]], fold[grp[1]], fold[grp[2]], fold[grp[3]]};
        PutGroup(f, 0x2, 2, folded, 3, 5);
        break;
      }
      case k6Bit: PutGroup(f, 0x1, 3, grp, 2, 6); break;
      case k5Bit: PutGroup(f, 0xC, 4, grp, 3, 5); break;
      case k4Bit: PutGroup(f, 0x1, 2, grp, 4, 4); break;
      case k3Bit: PutGroup(f, 0xE, 4, grp, 5, 3); break;
      default: PutGroup(f, 0x1, 4, grp, 6, 2); break;
    }
    ++g;
  }
  std::uint32_t fillBits = 0;
  std::uint8_t* end = CloseOutputBitFile(f, fillBits);
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
  BitFile f;
  InitInputBitFile(f, code);
  if (Get3Bits(f) != 0) return 70;
  output[0] = Get8Bits(f);
  const std::uint8_t check = Get8Bits(f);
  std::int32_t rem = poolLength - 1;  // difference bytes still expected
  std::uint8_t* out = output + 1;
  for (;;) {
    const std::uint8_t prefix = Get5Bits(f);
    if (prefix == 0) {  // raw groups, or the end of the code
      const std::int32_t k = FindBit6(f);
      if (k == 0) {
        if (rem <= 0) break;
        return 72;
      }
      const std::int32_t n = 4 * k;
      if (rem > n) {
        CopyBytes(f, out, static_cast<std::uint16_t>(n));
        out += n;
        rem -= n;
        continue;
      }
      if (rem <= n - 4) return 73;
      CopyBytes(f, out, static_cast<std::uint16_t>(rem));
      out += rem;
      rem = 0;
      break;
    }
    if (prefix == 1) {  // raw groups with a 6-bit count
      const std::int32_t n = 4 * Get6Bits(f);
      if (n == 0 || n > rem) return 73;
      CopyBytes(f, out, static_cast<std::uint16_t>(n));
      out += n;
      rem -= n;
      continue;
    }
    if (prefix == 0x1A) {  // a run of two to six zero groups
      const std::int32_t k = FindBit5(f);
      if (k == 0) return 71;
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
    if (prefix < 0x04) {  // 0001x: 2-bit group through the quad table
      const std::uint8_t* q = quad + 4 * ((static_cast<unsigned>(prefix & 1) << 7) | Get7Bits(f));
      a = q[0];
      b = q[1];
      c = q[2];
      d = q[3];
    } else if (prefix < 0x08) {  // 001xx: 6-bit group
      a = ((static_cast<unsigned>(prefix & 3) << 4) | Get4Bits(f)) << 2;
      b = static_cast<unsigned>(Get6Bits(f)) << 2;
      c = static_cast<unsigned>(Get6Bits(f)) << 2;
      d = static_cast<unsigned>(Get6Bits(f)) << 2;
    } else if (prefix < 0x10) {  // 01xxx: 4-bit group
      a = ((static_cast<unsigned>(prefix & 7) << 1) | GetBit(f)) << 4;
      b = static_cast<unsigned>(Get4Bits(f)) << 4;
      c = static_cast<unsigned>(Get4Bits(f)) << 4;
      d = static_cast<unsigned>(Get4Bits(f)) << 4;
    } else if (prefix < 0x18) {  // 10xxx: folded 5-bit group
      a = unfold[((prefix & 7) << 2) | Get2Bits(f)];
      b = unfold[Get5Bits(f)];
      c = unfold[Get5Bits(f)];
      d = unfold[Get5Bits(f)];
    } else if (prefix < 0x1A) {  // 1100x: 5-bit group
      a = ((static_cast<unsigned>(prefix & 1) << 4) | Get4Bits(f)) << 3;
      b = static_cast<unsigned>(Get5Bits(f)) << 3;
      c = static_cast<unsigned>(Get5Bits(f)) << 3;
      d = static_cast<unsigned>(Get5Bits(f)) << 3;
    } else if (prefix == 0x1B) {  // one zero group
      a = b = c = d = 0;
    } else if (prefix < 0x1E) {  // 1110x: 3-bit group
      a = ((static_cast<unsigned>(prefix & 1) << 2) | Get2Bits(f)) << 5;
      b = static_cast<unsigned>(Get3Bits(f)) << 5;
      c = static_cast<unsigned>(Get3Bits(f)) << 5;
      d = static_cast<unsigned>(Get3Bits(f)) << 5;
    } else {  // 1111x: 7-bit group
      a = (static_cast<unsigned>(prefix & 1) << 7) | (static_cast<unsigned>(Get6Bits(f)) << 1);
      b = static_cast<unsigned>(Get7Bits(f)) << 1;
      c = static_cast<unsigned>(Get7Bits(f)) << 1;
      d = static_cast<unsigned>(Get7Bits(f)) << 1;
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
  const std::size_t bitsRead =
      static_cast<std::size_t>(f.bytePointer - code) * 8 - static_cast<std::size_t>(f.bitCount);
  if (bitsRead > (codeLength + 8) * 8) return 73;
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
