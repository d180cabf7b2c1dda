// Bit-stream I/O for the VR8 coders: values of 1 to 16 bits written to and read from a byte
// buffer, most significant bit first. The caller owns the buffer and the stream record; no
// operation tests a bound, so the caller sizes its buffers (a reader needs one readable byte after
// the last byte whose bits it takes).
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct BitFile {
  std::uint8_t* bytePointer;  // writing: next byte to write; reading: byte after the pending one
  std::int16_t bitCount;      // writing: bits placed in the pending byte (0-7); reading: unread (0-8)
  std::uint8_t pendingByte;   // writing: partly filled byte; reading: unread bits moved up to bit 7
};

// ---- Writing ----

inline void OpenOutputBitFile(BitFile& f, std::uint8_t* buffer) {
  f.bytePointer = buffer;
  f.bitCount = 0;
  f.pendingByte = 0;
}

// Writes the low n bits of value (1 <= n <= 16); value must be below 2^n.
inline void PutBits(BitFile& f, std::uint16_t value, std::int32_t n) {
  std::uint32_t acc = (std::uint32_t{f.pendingByte} << 24) |
                      (std::uint32_t{value} << (32 - f.bitCount - n));
  std::int32_t total = f.bitCount + n;
  while (total >= 8) {
    *f.bytePointer++ = static_cast<std::uint8_t>(acc >> 24);
    acc <<= 8;
    total -= 8;
  }
  f.pendingByte = static_cast<std::uint8_t>(acc >> 24);
  f.bitCount = static_cast<std::int16_t>(total);
}

inline void Put2Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 2); }
inline void Put3Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 3); }
inline void Put4Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 4); }
inline void Put7Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 7); }
inline void Put8Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 8); }
inline void Put10Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 10); }
inline void Put12Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 12); }
inline void Put14Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 14); }
inline void Put15Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 15); }
inline void Put16Bits(BitFile& f, std::uint16_t v) { PutBits(f, v, 16); }

// Writes count whole bytes (at least 1) at the current bit position.
void PutBytes(BitFile& f, const std::uint8_t* source, std::int32_t count);

// Writes the pending byte if it holds bits; fillBits receives the zero bits that complete it.
// Returns the position after the last byte written.
std::uint8_t* CloseOutputBitFile(BitFile& f, std::uint32_t& fillBits);

// ---- Reading ----

inline void InitInputBitFile(BitFile& f, std::uint8_t* buffer) {
  f.pendingByte = buffer[0];
  f.bytePointer = buffer + 1;
  f.bitCount = 8;
}

namespace bitio_detail {
// The next n bits, 1 <= n <= 7.
inline std::uint8_t GetSmall(BitFile& f, int n) {
  const int c = f.bitCount;
  const unsigned p = f.pendingByte;
  if (c > n) {
    f.pendingByte = static_cast<std::uint8_t>(p << n);
    f.bitCount = static_cast<std::int16_t>(c - n);
    return static_cast<std::uint8_t>(p >> (8 - n));
  }
  if (c == n) {
    f.pendingByte = *f.bytePointer++;
    f.bitCount = 8;
    return static_cast<std::uint8_t>(p >> (8 - n));
  }
  const unsigned b = *f.bytePointer++;
  f.pendingByte = static_cast<std::uint8_t>(b << (n - c));
  f.bitCount = static_cast<std::int16_t>(c + 8 - n);
  return static_cast<std::uint8_t>(((p | (b >> c)) & 0xFFu) >> (8 - n));
}
}  // namespace bitio_detail

inline std::uint8_t GetBit(BitFile& f) { return bitio_detail::GetSmall(f, 1); }
inline std::uint8_t Get2Bits(BitFile& f) { return bitio_detail::GetSmall(f, 2); }
inline std::uint8_t Get3Bits(BitFile& f) { return bitio_detail::GetSmall(f, 3); }
inline std::uint8_t Get4Bits(BitFile& f) { return bitio_detail::GetSmall(f, 4); }
inline std::uint8_t Get5Bits(BitFile& f) { return bitio_detail::GetSmall(f, 5); }
inline std::uint8_t Get6Bits(BitFile& f) { return bitio_detail::GetSmall(f, 6); }
inline std::uint8_t Get7Bits(BitFile& f) { return bitio_detail::GetSmall(f, 7); }

inline std::uint8_t Get8Bits(BitFile& f) {
  const unsigned p = f.pendingByte;
  const int c = f.bitCount;
  if (c == 8) {
    f.pendingByte = *f.bytePointer++;
    return static_cast<std::uint8_t>(p);
  }
  const unsigned b = *f.bytePointer++;
  f.pendingByte = static_cast<std::uint8_t>(b << (8 - c));
  return static_cast<std::uint8_t>(p | (b >> c));
}

// The next n bits, 1 <= n <= 16.
inline std::uint16_t GetBits(BitFile& f, std::uint16_t n) {
  const unsigned c = static_cast<unsigned>(f.bitCount);
  const unsigned p = f.pendingByte;
  if (n < c) {
    f.pendingByte = static_cast<std::uint8_t>(p << n);
    f.bitCount = static_cast<std::int16_t>(c - n);
    return static_cast<std::uint16_t>(p >> (8 - n));
  }
  if (n > c + 8) {
    const unsigned b1 = f.bytePointer[0];
    const unsigned b2 = f.bytePointer[1];
    f.bytePointer += 2;
    const unsigned w = ((((b1 << 8) | b2) >> c) | (p << 8)) & 0xFFFFu;
    f.pendingByte = static_cast<std::uint8_t>(b2 << (n - 8 - c));
    f.bitCount = static_cast<std::int16_t>(c + 16 - n);
    return static_cast<std::uint16_t>(w >> (16 - n));
  }
  if (n > c) {
    const unsigned b = *f.bytePointer++;
    const unsigned w = (((b << 8) >> c) | (p << 8)) & 0xFFFFu;
    f.pendingByte = static_cast<std::uint8_t>(b << (n - c));
    f.bitCount = static_cast<std::int16_t>(c + 8 - n);
    return static_cast<std::uint16_t>(w >> (16 - n));
  }
  f.pendingByte = *f.bytePointer++;
  f.bitCount = 8;
  return static_cast<std::uint16_t>(p >> (8 - n));
}

// Unary readers: k - 1 zero bits and a one bit give k (1 to 5, or 1 to 6); 0 means the next 5
// (or 6) bits are all zero.
std::uint8_t FindBit5(BitFile& f);
std::uint8_t FindBit6(BitFile& f);

// Step back over bits already read; the bytes passed must still be in the buffer. UngetNBits with
// n above 24 minus the bit count does nothing.
void UngetBit(BitFile& f);
void UngetNBits(BitFile& f, std::uint16_t n);

// The first byte of which no bit has been read.
inline std::uint8_t* PosOfFirstUnusedByte(const BitFile& f) {
  return f.bitCount == 8 ? f.bytePointer - 1 : f.bytePointer;
}

// Reads count whole bytes at the current bit position; with a bit count of 0 nothing is copied.
void CopyBytes(BitFile& f, std::uint8_t* destination, std::uint16_t count);

// ---- Wide writer and reader for the hot loops of the VR8 coders ----
// They give the same bit strings as the operations above, 32 or 57 bits at a time.

// Collects bits in a 64-bit word and stores all 8 of its bytes after every write, then moves on
// by the whole bytes filled. Its buffer needs 8 bytes of slack after the last byte that holds
// bits; the bytes there are scratch.
class WideBitWriter {
 public:
  explicit WideBitWriter(std::uint8_t* out) : out_(out) {}

  // Writes the low n bits of value (1 <= n <= 32); value must be below 2^n.
  void Put(std::uint32_t value, int n) {
    acc_ |= std::uint64_t{value} << (64 - used_ - n);
    used_ += n;
    std::uint64_t be = acc_;
    if constexpr (std::endian::native == std::endian::little) be = __builtin_bswap64(be);
    std::memcpy(out_, &be, 8);
    const int bytes = used_ >> 3;
    out_ += bytes;
    acc_ <<= 8 * bytes;  // at most 32: used_ stays below 40
    used_ &= 7;
  }

  // Ends the stream after the byte holding the last bits, completed by zero bits; fillBits
  // receives their number. Returns the position after that byte.
  std::uint8_t* Close(std::uint32_t& fillBits) {
    fillBits = used_ == 0 ? 0 : static_cast<std::uint32_t>(8 - used_);
    if (used_ > 0) ++out_;
    used_ = 0;
    acc_ = 0;
    return out_;
  }

 private:
  std::uint8_t* out_;
  std::uint64_t acc_ = 0;
  int used_ = 0;  // bits held in acc_, from its top; below 8 between writes
};

// Reads bits from a 64-bit buffer held in a register. Refill tops it up to 56 bits or more from
// an 8-byte load whose address does not wait for the bits being decoded, so the load overlaps
// the decoding. Loads reach up to 15 bytes past the next unread bit: those bytes must be
// readable.
class WideBitReader {
 public:
  explicit WideBitReader(const std::uint8_t* base) : base_(base), next_(base) { Refill(); }

  void Refill() {
    buffer_ |= Load(next_) >> count_;
    next_ += (63 - count_) >> 3;
    count_ |= 56;
  }
  // Makes sure the buffer holds at least n unread bits (1 <= n <= 56).
  void Ensure(int n) {
    if (count_ < n) Refill();
  }
  // The next n bits (1 <= n <= 56; at least n in the buffer) without taking them.
  std::uint64_t Peek(int n) const { return buffer_ >> (64 - n); }
  void Skip(int n) {
    buffer_ <<= n;
    count_ -= n;
  }
  std::uint64_t Get(int n) {
    Ensure(n);
    const std::uint64_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Bits taken so far.
  std::size_t BitPosition() const {
    return static_cast<std::size_t>(next_ - base_) * 8 - static_cast<std::size_t>(count_);
  }
  // Goes on reading at bit pos (counted from the start of the buffer).
  void Seek(std::size_t pos) {
    next_ = base_ + pos / 8;
    buffer_ = 0;
    count_ = 0;
    Refill();
    Skip(static_cast<int>(pos % 8));
  }
  // Copies count whole bytes from the current bit position.
  void GetBytes(std::uint8_t* out, std::size_t count) {
    const std::size_t pos = BitPosition();
    const std::uint8_t* p = base_ + pos / 8;
    const unsigned s = pos % 8;
    // Eight bytes a step while eight remain (never reading past p[count], as the byte loop),
    // then one at a time.
    std::size_t i = 0;
    if (s == 0) {
      for (; i + 8 <= count; i += 8) std::memcpy(out + i, p + i, 8);
      for (; i < count; ++i) out[i] = p[i];
    } else {
      for (; i + 8 <= count; i += 8) {
        std::uint64_t w = (Load(p + i) << s) | (p[i + 8] >> (8 - s));
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
        std::memcpy(out + i, &w, 8);
      }
      for (; i < count; ++i) out[i] = static_cast<std::uint8_t>((p[i] << s) | (p[i + 1] >> (8 - s)));
    }
    next_ = p + count;
    buffer_ = 0;
    count_ = 0;
    Refill();
    Skip(static_cast<int>(s));
  }

 private:
  static std::uint64_t Load(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    return w;
  }

  const std::uint8_t* base_;
  const std::uint8_t* next_;  // the first byte not yet in the buffer
  std::uint64_t buffer_ = 0;  // unread bits from the top; below them zeros or the bits that follow
  int count_ = 0;             // unread bits in the buffer
};
