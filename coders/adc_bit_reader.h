// Bit reader of the ADC decoder: most significant bit first, refilled a word at a time and
// bound checked at refill. Bits past the input read as zeros; taking them drives the count of
// bits held below zero, which marks the reader. The decoder tests the mark after every token
// and before any step that could end the stream cleanly.
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
    if (avail_ < n) Refill();
    const auto v = static_cast<std::uint32_t>(buf_ >> (64 - n));
    buf_ <<= n;
    avail_ -= n;
    return v;
  }
  std::uint32_t Bit() { return Get(1); }

  // The bits ahead, first bit at the top, without taking them: at least 32 are valid while the
  // input lasts, zeros follow its end. Skip then takes what a code used, 0 <= n <= 32: a
  // refill leaves fewer than 32 bits only once the input is used up, so no test is needed.
  std::uint64_t Peek() {
    if (avail_ < 32) Refill();
    return buf_;
  }
  void Skip(int n) {
    buf_ <<= n;
    avail_ -= n;
  }

  // Fills the buffer to 56 bits or more while 8 input bytes or more remain, with no test on
  // the count, so that the tests in Peek and Get seldom fire. Only for a reader not marked.
  void TopUp() {
    if (end_ - next_ >= 8) Load8();
  }

  bool overrun() const { return avail_ < 0; }
  // Bytes up to and including the one that holds the last bit taken.
  std::size_t ConsumedBytes() const {
    const std::size_t bits = static_cast<std::size_t>(next_ - start_) * 8 - avail_;
    return (bits + 7) / 8;
  }

 private:
  // Bits of bytes not yet counted may stand below the counted ones; they are the bytes the
  // next refill ORs in again at the same place. Once the input is used up, only zeros follow.
  void Refill() {
    if (avail_ < 0) return;
    if (end_ - next_ >= 8) {
      Load8();
      return;
    }
    while (avail_ <= 56 && next_ < end_) {
      buf_ |= std::uint64_t{*next_++} << (56 - avail_);
      avail_ += 8;
    }
  }
  void Load8() {
    std::uint64_t w;
    std::memcpy(&w, next_, 8);
    w = __builtin_bswap64(w);
    buf_ |= w >> avail_;
    next_ += (63 - avail_) >> 3;
    avail_ |= 56;
  }

  const std::uint8_t* start_;
  const std::uint8_t* next_;
  const std::uint8_t* end_;
  std::uint64_t buf_ = 0;
  int avail_ = 0;
};

}  // namespace adc
