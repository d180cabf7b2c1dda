// Reads a DC8 phrase code most significant bit first. Past the payload stands one virtual
// guard byte 0xFF (the closing code's last bits lie in it); beyond that the reader gives zero
// bits and the position tells the caller it has gone too far.
//
// Fill() once per pass makes at least 56 bits ready; the reads of one pass (never more than
// 40 bits) then need no test of their own. Inside the payload it loads a whole word every time,
// whatever is left, so the refill takes no branch on the bits in hand.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace dc8 {

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> payload) : data_(payload) {}

  void Fill() {
    if (next_ + 8 <= data_.size()) {
      // Whole bytes up to a full window (none when 57 or more bits are in hand); the partial
      // byte's bits that also come in are the true next bits and are OR-ed in again unchanged
      // when their byte is loaded.
      std::uint64_t w;
      std::memcpy(&w, data_.data() + next_, 8);
      if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
      buf_ |= w >> avail_;
      const int bytes = (63 - avail_) >> 3;
      next_ += static_cast<std::size_t>(bytes);
      avail_ += 8 * bytes;
      return;
    }
    while (avail_ <= 56) {
      std::uint64_t byte = 0;
      if (next_ < data_.size()) byte = data_[next_];
      else if (next_ == data_.size()) byte = 0xFF;
      buf_ |= byte << (56 - avail_);
      avail_ += 8;
      ++next_;
    }
  }

  // The next n bits as a number; none and 0 when n is 0 or less. At most the bits Fill() made
  // ready.
  std::uint32_t Read(int n) {
    if (n <= 0) return 0;
    const auto v = static_cast<std::uint32_t>(buf_ >> (64 - n));
    buf_ <<= n;
    avail_ -= n;
    return v;
  }
  // The next n bits for 0 <= n <= 32, without a branch on n.
  std::uint32_t ReadUpTo32(int n) {
    const auto v = static_cast<std::uint32_t>((buf_ >> 1) >> (63 - n));
    buf_ <<= n;
    avail_ -= n;
    return v;
  }
  bool Bit() { return Read(1) != 0; }
  // The ready bits at the top of a word, without taking them; Skip takes n of them.
  std::uint64_t Peek() const { return buf_; }
  void Skip(int n) {
    buf_ <<= n;
    avail_ -= n;
  }

  // Bits taken so far.
  std::uint64_t Position() const { return 8 * static_cast<std::uint64_t>(next_) - static_cast<std::uint64_t>(avail_); }
  std::uint64_t PayloadBits() const { return 8 * static_cast<std::uint64_t>(data_.size()); }
  // True once bits beyond the guard byte were taken.
  bool Overrun() const { return Position() > PayloadBits() + 8; }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t next_ = 0;  // next byte to load; the guard is at data_.size()
  std::uint64_t buf_ = 0;  // unread bits, top-aligned
  int avail_ = 0;
};

}  // namespace dc8
