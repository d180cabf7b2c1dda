// Bit-stream I/O: the byte-run and unary operations and the stepping back.
#include "nuc/bitio.h"

#include <bit>
#include <cstring>

void PutBytes(BitFile& f, const std::uint8_t* source, std::int32_t count) {
  if (count <= 0) return;
  const int u = f.bitCount;
  if (u == 0) {
    std::memcpy(f.bytePointer, source, static_cast<std::size_t>(count));
    f.bytePointer += count;
    return;
  }
  std::uint8_t* out = f.bytePointer;
  *out++ = static_cast<std::uint8_t>(f.pendingByte | (source[0] >> u));
  for (std::int32_t i = 0; i + 1 < count; ++i) {
    *out++ = static_cast<std::uint8_t>((source[i] << (8 - u)) | (source[i + 1] >> u));
  }
  f.bytePointer = out;
  f.pendingByte = static_cast<std::uint8_t>(source[count - 1] << (8 - u));
}

std::uint8_t* CloseOutputBitFile(BitFile& f, std::uint32_t& fillBits) {
  if (f.bitCount != 0) {
    *f.bytePointer++ = f.pendingByte;
    fillBits = static_cast<std::uint32_t>(8 - f.bitCount);
  } else {
    fillBits = 0;
  }
  return f.bytePointer;
}

namespace {

std::uint8_t FindBitW(BitFile& f, int w) {
  const unsigned p = f.pendingByte;
  const int c = f.bitCount;
  if (p >= (1u << (8 - w))) {
    // A one bit lies among the first w unread bits.
    const int k = std::countl_zero(static_cast<std::uint8_t>(p)) + 1;
    if (k == c) {
      f.pendingByte = *f.bytePointer++;
      f.bitCount = 8;
    } else {
      f.pendingByte = static_cast<std::uint8_t>(p << k);
      f.bitCount = static_cast<std::int16_t>(c - k);
    }
    return static_cast<std::uint8_t>(k);
  }
  if (c >= w) return 0;
  // Every unread bit is zero: the window goes on in the next byte, at position c + 1.
  const unsigned b = *f.bytePointer++;
  const int room = w - c;  // window bits that lie in the new byte
  const int zeros = std::countl_zero(static_cast<std::uint8_t>(b));
  if (zeros >= room) {
    f.pendingByte = static_cast<std::uint8_t>(b << room);
    f.bitCount = static_cast<std::int16_t>(8 - room);
    return 0;
  }
  const int used = zeros + 1;
  f.pendingByte = static_cast<std::uint8_t>(b << used);
  f.bitCount = static_cast<std::int16_t>(8 - used);
  return static_cast<std::uint8_t>(c + used);
}

}  // namespace

std::uint8_t FindBit5(BitFile& f) { return FindBitW(f, 5); }
std::uint8_t FindBit6(BitFile& f) { return FindBitW(f, 6); }

void UngetBit(BitFile& f) {
  if (f.bitCount == 8) {
    --f.bytePointer;
    f.bitCount = 1;
  } else {
    ++f.bitCount;
  }
  f.pendingByte = static_cast<std::uint8_t>(f.bytePointer[-1] << (8 - f.bitCount));
}

void UngetNBits(BitFile& f, std::uint16_t n) {
  const int c = f.bitCount;
  if (n <= 8 - c) {
    f.bitCount = static_cast<std::int16_t>(c + n);
  } else if (n <= 16 - c) {
    f.bytePointer -= 1;
    f.bitCount = static_cast<std::int16_t>(n + c - 8);
  } else if (n <= 24 - c) {
    f.bytePointer -= 2;
    f.bitCount = static_cast<std::int16_t>(n + c - 16);
  } else {
    return;
  }
  f.pendingByte = static_cast<std::uint8_t>(f.bytePointer[-1] << (8 - f.bitCount));
}

void CopyBytes(BitFile& f, std::uint8_t* destination, std::uint16_t count) {
  const int c = f.bitCount;
  if (c == 0) return;
  std::uint8_t* src = f.bytePointer - 1;  // the byte held in the pending byte
  if (c == 8) {
    std::memcpy(destination, src, count);
    f.bytePointer = src + count + 1;
    f.pendingByte = f.bytePointer[-1];
    return;
  }
  for (std::uint16_t i = 0; i < count; ++i) {
    destination[i] = static_cast<std::uint8_t>((src[i] << (8 - c)) | (src[i + 1] >> c));
  }
  f.bytePointer = src + count + 1;
  f.pendingByte = static_cast<std::uint8_t>(f.bytePointer[-1] << (8 - c));
}
