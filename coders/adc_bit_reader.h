// Bit reader of the ADC decoder: most significant bit first, refilled a word at a time and
// bound checked at refill. A read past the input yields zero bits and marks the reader; the
// decoder tests the mark after every token.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace adc {

class BitReader {
 public:
  BitReader(const std::uint8_t* input, std::size_t length)
      : start_(input), next_(input), end_(input + length) {}

  // The next n bits, 0 <= n <= 32.
  std::uint32_t Get(int n) {
    if (n == 0) return 0;
    if (avail_ < n) {
      Refill();
      if (avail_ < n) return Overrun();
    }
    const auto v = static_cast<std::uint32_t>(buf_ >> (64 - n));
    buf_ <<= n;
    avail_ -= n;
    return v;
  }
  std::uint32_t Bit() { return Get(1); }

  // The next bit without taking it; -1 past the input.
  int PeekBit() {
    if (avail_ < 1) {
      Refill();
      if (avail_ < 1) return -1;
    }
    return static_cast<int>(buf_ >> 63);
  }

  bool overrun() const { return overrun_; }
  // Bytes up to and including the one that holds the last bit taken.
  std::size_t ConsumedBytes() const {
    const std::size_t bits = static_cast<std::size_t>(next_ - start_) * 8 - avail_;
    return (bits + 7) / 8;
  }

 private:
  void Refill() {
    if (end_ - next_ >= 8) {
      std::uint64_t w;
      std::memcpy(&w, next_, 8);
      w = __builtin_bswap64(w);
      buf_ |= w >> avail_;
      next_ += (63 - avail_) >> 3;
      avail_ |= 56;
      return;
    }
    while (avail_ <= 56 && next_ < end_) {
      buf_ |= std::uint64_t{*next_++} << (56 - avail_);
      avail_ += 8;
    }
  }
  std::uint32_t Overrun() {
    overrun_ = true;
    buf_ = 0;
    avail_ = 0;
    return 0;
  }

  const std::uint8_t* start_;
  const std::uint8_t* next_;
  const std::uint8_t* end_;
  std::uint64_t buf_ = 0;
  int avail_ = 0;
  bool overrun_ = false;
};

}  // namespace adc
