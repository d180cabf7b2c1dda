// Writes a DC8 phrase code in 32-bit words, most significant bit and byte first. A word that
// fills exactly stays pending until further bits arrive, so the closing code always leaves a
// last word, which is not held to the stop length. Every earlier word whose end reaches the stop
// length stops the coder (the block is then stored). Words beyond the room are not written.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace dc8 {

class BitWriter {
 public:
  BitWriter(std::span<std::uint8_t> out, std::size_t stopLength)
      : out_(out), stopLength_(stopLength) {}

  // Appends the low n bits of x (0 <= n <= 32).
  void Write(int n, std::uint32_t x) {
    if (n <= 0) return;
    acc_ = (acc_ << n) | (x & (0xFFFFFFFFu >> (32 - n)));
    pending_ += n;
    if (pending_ > 32) {
      pending_ -= 32;
      Put(static_cast<std::uint32_t>(acc_ >> pending_));
      if (position_ >= stopLength_) stopped_ = true;
    }
  }

  // Writes the pending bits as a last word, moved to its top, and counts its whole bytes.
  // Returns the size of the code.
  std::size_t Finish() {
    if (pending_ > 0) {
      const std::size_t at = position_;
      Put(static_cast<std::uint32_t>(acc_ << (32 - pending_)));
      position_ = at + static_cast<std::size_t>(pending_ / 8);
      pending_ = 0;
    }
    return position_;
  }

  bool Stopped() const { return stopped_; }

 private:
  void Put(std::uint32_t word) {
    if (position_ + 4 <= out_.size()) {
      std::uint8_t* d = out_.data() + position_;
      d[0] = static_cast<std::uint8_t>(word >> 24);
      d[1] = static_cast<std::uint8_t>(word >> 16);
      d[2] = static_cast<std::uint8_t>(word >> 8);
      d[3] = static_cast<std::uint8_t>(word);
    }
    position_ += 4;
  }

  std::span<std::uint8_t> out_;
  std::size_t stopLength_;
  std::size_t position_ = 0;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
  bool stopped_ = false;
};

}  // namespace dc8
