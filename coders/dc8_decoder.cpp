#include "coders/dc8_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

#include "coders/dc8_bit_reader.h"
#include "coders/dc8_block.h"
#include "coders/dc8_phrase_code.h"
#include "nuc/byte_copy.h"

namespace dc8 {

namespace {

// The length that a class 7, 8 or 9 code carries (2 to 4,311).
std::uint32_t ReadLength(BitReader& br, int m) {
  const bool longer = br.Bit();
  switch (m) {
    case kClassLength2: return longer ? br.Read(2) + 4 : br.Read(1) + 2;
    case kClassLength8: return longer ? br.Read(6) + 24 : br.Read(4) + 8;
    default: return longer ? br.Read(12) + 216 : br.Read(7) + 88;
  }
}

// Copies n bytes forward from src to dst (src before dst) of an output of size bytes, byte
// after byte as the code means it: where the stretches overlap, the distance's pattern repeats.
// With room behind the stretch it goes in 16-byte pieces; the bytes written past its end are
// all written again before they are read.
void CopyForward(std::uint8_t* out, std::size_t size, std::size_t dst, std::size_t src,
                 std::size_t n) {
  const std::size_t distance = dst - src;
  if (distance >= 16 && dst + n + 15 <= size) {
    for (std::size_t k = 0; k < n; k += 16) std::memcpy(out + dst + k, out + src + k, 16);
  } else if (distance >= n) {
    nuc::CopyBytes(out + dst, out + src, n);
  } else if (distance == 1) {
    nuc::FillBytes(out + dst, out[src], n);
  } else {
    // Whole periods, each copied from the stretch already written.
    while (n > 0) {
      const std::size_t chunk = std::min(distance, n);
      nuc::CopyBytes(out + dst, out + src, chunk);
      dst += chunk;
      src += chunk;
      n -= chunk;
    }
  }
}

// Moves the first n entries of a move-to-front table back by one.
inline void MoveBack(std::uint8_t* table, std::size_t n) {
  if (n > 16) {
    std::memmove(table + 1, table, n);
    return;
  }
  for (std::size_t i = n; i > 0; --i) table[i] = table[i - 1];
}

class Decoder {
 public:
  Decoder(const PhraseTables& t, std::span<const std::uint8_t> payload, std::span<std::uint8_t> out)
      : tab_(t), br_(payload), out_(out.data()), outLength_(static_cast<std::int64_t>(out.size())) {
    std::iota(mtf_, mtf_ + 256, 0);
    std::fill(bucket_, bucket_ + 16, kNoBucket);
  }

  std::int32_t Run() {
    for (;;) {
      if (br_.Overrun()) return kDc8Corrupted;
      if (br_.Position() >= br_.PayloadBits()) break;
      br_.Fill();
      std::uint32_t v = 0;
      int m = 0;
      if (literal_) {
        if (!ReadLiteral(v)) continue;
      } else {
        // Three bits; after 7 up to five more, one more class for each 1 bit, ending at a 0 bit.
        const std::uint64_t peek = br_.Peek();
        m = static_cast<int>(peek >> (64 - kClassesRead));
        if (m == 7) {
          const int ones = std::min(std::countl_one(peek << kClassesRead), kClassStep - 7);
          m += ones;
          br_.Skip(kClassesRead + (m < kClassStep ? ones + 1 : ones));
        } else {
          br_.Skip(kClassesRead);
        }
        if (m == kClassStep) {
          if (!Step()) return kDc8Corrupted;
          continue;
        }
        if (m >= kClassLength2 && m <= kClassLength88) {
          if (!Lengthen(ReadLength(br_, m))) return kDc8Corrupted;
          continue;
        }
      }
      // The class bits of a pass that began inside the payload end in the guard byte at most.
      FinishItem();
      if (produced_ >= outLength_) return 0;
      itemRepeats_ = false;
      if (!literal_) v = ClassValue(m);
      if (!Item(v)) return kDc8Corrupted;
    }
    FinishItem();
    return produced_ == outLength_ ? 0 : kDc8Corrupted;
  }

 private:
  // Literal mode: a move-to-front index in one of three lengths, or 1 1 1 to leave the mode.
  // False when the mode was left.
  bool ReadLiteral(std::uint32_t& v) {
    if (!br_.Bit()) v = br_.Read(width_);
    else if (!br_.Bit()) v = br_.Read(width_ - 1) + (1u << width_);
    else if (!br_.Bit()) v = br_.Read(width_ - 1) + threshold_;
    else {
      literal_ = false;
      escape_ = true;
      return false;
    }
    return true;
  }

  bool Step() {
    if (half_ == 1) {
      half_ = 0;
      return true;
    }
    half_ = 1;
    return ++k_ <= kMaxK;
  }

  bool Lengthen(std::uint32_t length) {
    if (source_ < 0) return false;
    if (produced_ + 1 + pending_ + length > outLength_) return false;
    pending_ += length;
    if (!itemRepeats_ && !escape_) {
      if (!haveMade_) return false;
      Dc8Phrase& made = tab_.phrases[lastMade_];
      const std::uint32_t grown = made.length + length - 1;
      if (made.position + static_cast<std::int64_t>(grown) > outLength_) return false;
      made.length = static_cast<std::uint16_t>(grown);
    }
    itemRepeats_ = false;
    escape_ = false;
    return true;
  }

  // The rest of the previous item's bytes, each from the byte after the previous source byte.
  void FinishItem() {
    if (pending_ > copied_)
      CopyForward(out_, static_cast<std::size_t>(outLength_),
                  static_cast<std::size_t>(produced_ + 1 + copied_),
                  static_cast<std::size_t>(source_ + 1), pending_ - copied_);
    produced_ += pending_ + 1;
    pending_ = 0;
    copied_ = 0;
  }

  std::uint32_t ClassValue(int m) {
    if (m == kClassRepeat && produced_ >= 1 && outLength_ - produced_ >= 2 && br_.Bit()) {
      repeatRequest_ = true;
      escape_ = false;
      return 0xFFFFFFFFu;
    }
    const int n = m == 0 ? k_ - 1 - half_ : m <= 5 ? k_ - m - 1 : k_ - m;
    const std::uint32_t top = m < 6 ? (32u >> m) << (k_ - 6) : 0;
    std::uint32_t v = top + br_.Read(n);
    if (escape_) {
      v += static_cast<std::uint32_t>(l_);
      escape_ = false;
    }
    return v;
  }

  // One item whose first byte goes to produced_.
  bool Item(std::uint32_t v) {
    const std::int64_t at = produced_;
    if (v <= static_cast<std::uint32_t>(l_)) {
      const auto index = static_cast<std::uint8_t>(v);  // l_ never passes 255
      const std::uint8_t entry = mtf_[index];
      MoveBack(mtf_, index);
      mtf_[0] = entry;
      if (index > kLiteralSwitchIndex) literal_ = true;
      v = entry;
      if (v == 0 && raw_ < kMaxRawBytes) return RawByte(at);
    }
    std::uint32_t itemLength = 1;
    std::int64_t usedIndex = 0;
    std::uint16_t phrase = 0;
    if (v > static_cast<std::uint32_t>(l_)) {
      if (repeatRequest_) {
        if (!haveUsed_) return false;
        repeatRequest_ = false;
        itemRepeats_ = true;
        phrase = lastUsed_;
      } else {
        usedIndex = l_ + static_cast<std::int64_t>(listCount_) - static_cast<std::int64_t>(v);
        if (usedIndex < 1 || usedIndex >= listCount_) return false;
        phrase = tab_.list[usedIndex];
      }
      const Dc8Phrase used = tab_.phrases[phrase];
      itemLength = used.length;
      if (at + itemLength > outLength_) return false;
      // The whole phrase now; a length code continues from its end.
      CopyForward(out_, static_cast<std::size_t>(outLength_), static_cast<std::size_t>(at),
                  used.position, itemLength);
      source_ = used.position + itemLength - 1;
      pending_ = itemLength - 1;
      copied_ = pending_;
      lastUsed_ = phrase;
      haveUsed_ = true;
    } else {
      source_ = positions_[v];
      const std::uint8_t b = out_[source_];
      out_[at] = b;
      const int h = b >> 4;
      if (bucket_[h] == v) return NibbleByte(at, h);
    }
    if (at + itemLength < outLength_ && !literal_ && !itemRepeats_) {
      if (nodeCount_ >= static_cast<std::uint32_t>(kDc8MaxPhrases) ||
          listCount_ >= static_cast<std::uint32_t>(kDc8MaxPhrases))
        return false;
      const auto node = static_cast<std::uint16_t>(nodeCount_++);
      tab_.phrases[node] = {static_cast<std::uint16_t>(at), static_cast<std::uint16_t>(itemLength + 1)};
      lastMade_ = node;
      haveMade_ = true;
      if (itemLength == 1) {
        tab_.list[listCount_++] = node;
      } else {
        tab_.list[usedIndex] = node;
        tab_.list[listCount_++] = phrase;
      }
    }
    return true;
  }

  // A new byte in 8 raw bits: a bucket entry for its high nibble (P[0] for the 16th), then its
  // own entry.
  bool RawByte(std::int64_t at) {
    const auto b = static_cast<std::uint8_t>(br_.Read(8));
    out_[at] = b;
    source_ = -1;
    const int h = b >> 4;
    if (raw_ >= kMaxRawBytes - 1) {
      positions_[0] = static_cast<std::uint16_t>(at);
      bucket_[h] = 0;
    } else {
      if (!AddPosition(at)) return false;
      bucket_[h] = static_cast<std::uint16_t>(l_);
    }
    ++raw_;
    ++nibbleCount_[h];
    if (!AddPosition(at)) return false;
    Widen();
    return true;
  }

  // A new byte sent as its nibble's bucket and the low nibble; the 16th of a nibble takes the
  // bucket's entry over.
  bool NibbleByte(std::int64_t at, int h) {
    out_[at] = static_cast<std::uint8_t>((out_[at] & 0xF0) | br_.Read(4));
    source_ = -1;
    if (nibbleCount_[h] >= kNibbleBytes - 1) {
      positions_[bucket_[h]] = static_cast<std::uint16_t>(at);
      bucket_[h] = kNoBucket;
      return true;
    }
    if (!AddPosition(at)) return false;
    ++nibbleCount_[h];
    Widen();
    return true;
  }

  bool AddPosition(std::int64_t at) {
    if (l_ >= kMaxPositions) return false;
    positions_[++l_] = static_cast<std::uint16_t>(at);
    return true;
  }

  void Widen() {
    if (BitLength(static_cast<std::uint32_t>(l_)) > width_ + 1) {
      ++width_;
      threshold_ *= 2;
    }
  }

  const PhraseTables& tab_;
  BitReader br_;
  std::uint8_t* out_;
  std::int64_t outLength_;

  std::int64_t produced_ = -1;  // bytes before the current item
  std::uint32_t pending_ = 0;   // bytes of the current item after its first byte
  std::uint32_t copied_ = 0;    // of which already in place
  std::int64_t source_ = -1;    // the current item's copy source; -1 none
  int k_ = kStartK;
  int half_ = kStartT;  // T: the half-step toggle
  bool literal_ = false;
  bool escape_ = false;
  bool repeatRequest_ = false;
  bool itemRepeats_ = false;
  std::uint16_t positions_[kMaxPositions + 1] = {};
  int l_ = 0;
  std::uint8_t mtf_[256];
  std::uint16_t bucket_[16];
  std::uint8_t nibbleCount_[16] = {};
  int raw_ = 0;
  int width_ = kStartLiteralWidth;
  std::uint32_t threshold_ = kStartThreshold;
  std::uint32_t listCount_ = 1;
  std::uint32_t nodeCount_ = 0;
  std::uint16_t lastUsed_ = 0;
  std::uint16_t lastMade_ = 0;
  bool haveUsed_ = false;
  bool haveMade_ = false;
};

}  // namespace

std::int32_t DecodePhrases(const PhraseTables& tables, std::span<const std::uint8_t> payload,
                           std::span<std::uint8_t> output) {
  return Decoder(tables, payload, output).Run();
}

}  // namespace dc8
