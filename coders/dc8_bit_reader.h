// Reads a DC8 phrase code most significant bit first. Past the payload stands one virtual
// guard byte 0xFF (the closing code's last bits lie in it); beyond that the reader gives zero
// bits and the position tells the caller it has gone too far.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace dc8 {

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> payload) : data_(payload) {}

  // The next n bits as a number; none and 0 when n is 0 or less. n is at most 32.
  std::uint32_t Read(int n) {
    if (n <= 0) return 0;
    if (avail_ < n) Refill();
    const auto v = static_cast<std::uint32_t>(buf_ >> (64 - n));
    buf_ <<= n;
    avail_ -= n;
    position_ += static_cast<std::uint64_t>(n);
    return v;
  }
  bool Bit() { return Read(1) != 0; }

  std::uint64_t Position() const { return position_; }  // bits taken so far
  std::uint64_t PayloadBits() const { return 8 * static_cast<std::uint64_t>(data_.size()); }
  // True once bits beyond the guard byte were taken.
  bool Overrun() const { return position_ > PayloadBits() + 8; }

 private:
  void Refill() {
    if (next_ + 8 <= data_.size()) {
      // Whole bytes up to a full window; the partial byte's bits that also come in are the
      // true next bits and are OR-ed in again unchanged when their byte is loaded.
      std::uint64_t w = 0;
      for (int i = 0; i < 8; ++i) w = (w << 8) | data_[next_ + static_cast<std::size_t>(i)];
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

  std::span<const std::uint8_t> data_;
  std::size_t next_ = 0;  // next byte to load; the guard is at data_.size()
  std::uint64_t buf_ = 0;  // unread bits, top-aligned
  int avail_ = 0;
  std::uint64_t position_ = 0;
};

}  // namespace dc8
