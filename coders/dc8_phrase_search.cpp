#include "coders/dc8_phrase_search.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

#include "coders/dc8_bit_writer.h"
#include "coders/dc8_phrase_code.h"

namespace dc8 {

namespace {

constexpr std::uint16_t kNoNode = 0xFFFF;
// Index key of a child: its extension length, or for one byte the byte above every length.
constexpr std::uint32_t kKeyLengthBits = 13;
static_assert(kMaxRun + 256 < (1u << kKeyLengthBits));

std::uint32_t ChildKey(std::uint32_t parent, std::uint32_t extension, std::uint8_t first) {
  const std::uint32_t sub = extension >= 2 ? extension : kMaxRun + 1 + first;
  return (parent << kKeyLengthBits) | sub;
}

// Leading bytes, up to limit, in which a equals b.
std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t limit) {
  std::uint32_t k = 0;
  while (k + 8 <= limit) {
    std::uint64_t x, y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    if (x != y) return k + static_cast<std::uint32_t>(std::countr_zero(x ^ y)) / 8;
    k += 8;
  }
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

class Coder {
 public:
  Coder(Dc8Node* nodes, Dc8IndexEntry* index, std::uint16_t stamp,
        std::span<const std::uint8_t> input, std::span<std::uint8_t> code)
      : nodes_(nodes),
        index_(index),
        stamp_(stamp),
        in_(input.data()),
        n_(static_cast<std::uint32_t>(input.size())),
        bw_(code, input.size()) {
    const int bits = std::clamp(static_cast<int>(std::bit_width(2 * n_)), 10, static_cast<int>(kDc8IndexBits));
    indexShift_ = 32 - bits;
    indexMask_ = (1u << bits) - 1;
    std::iota(mtf_, mtf_ + 256, 0);
    std::fill(bucket_, bucket_ + 16, kNoBucket);
    std::fill(byteNode_, byteNode_ + 256, kNoNode);
  }

  PhraseCode Run() {
    std::uint32_t p = 0;
    while (p < n_ && !bw_.Stopped()) p += Item(p);
    if (literal_) bw_.Write(kLeaveLiteralBits, kLeaveLiteral);
    bw_.Write(kClosingBits, kClosingCode);
    const bool stopped = bw_.Stopped();
    return {static_cast<std::uint32_t>(bw_.Finish()), stopped};
  }

 private:
  // Codes the item that starts at p; returns the input bytes it covers.
  std::uint32_t Item(std::uint32_t p) {
    const std::uint8_t c = in_[p];
    const std::uint32_t r = n_ - p;
    if (byteNode_[c] == kNoNode) {
      NewByte(c, p, r);
      previousItem_ = 1;
      return 1;
    }
    std::uint32_t x = byteNode_[c];
    std::uint32_t matched = 1;
    std::uint32_t run = 1;
    while (matched < r) {
      const std::uint32_t limit = std::min(r - matched, kMaxRun);
      run = std::max(1u, CommonLength(in_ + p + matched, in_ + nodes_[x].continuation, limit));
      const std::uint16_t child = Find(ChildKey(x, run, in_[p + matched]));
      if (child == kNoNode) break;
      x = child;
      matched += run;
    }
    const bool phrase = matched >= 2;
    bool repeat = false;
    if (phrase) {
      std::uint32_t base = static_cast<std::uint32_t>(l_);
      if (literal_) {
        bw_.Write(kLeaveLiteralBits, kLeaveLiteral);
        literal_ = false;
        base = 0;
      }
      if (previousItem_ == 1 && previousLength_ == 0 && x == lastUsed_) {
        bw_.Write(kRepeatBits, kRepeatCode);
        repeat = true;
      } else {
        Class(base + listCount_ - nodes_[x].place, p, r);
      }
    } else {
      const std::uint32_t i = ToFront(static_cast<std::uint8_t>(nodes_[x].place));
      Send(i, p, r);
      if (i > kLiteralSwitchIndex) literal_ = true;
    }
    std::uint32_t covered = matched;
    previousLength_ = 0;
    bool escape = false;
    if (run >= 2 && matched < r) {
      if (literal_) {
        bw_.Write(kLeaveLiteralBits, kLeaveLiteral);
        literal_ = false;
        escape = true;
      }
      Length(run);
      covered += run;
      previousLength_ = run;
    }
    if (matched < r && !literal_ && !escape && !repeat) MakeNode(x, p, matched, run);
    previousItem_ = matched;
    if (phrase) lastUsed_ = x;
    return covered;
  }

  // A byte seen for the first time: its nibble's bucket and the low nibble, or 8 raw bits.
  void NewByte(std::uint8_t c, std::uint32_t p, std::uint32_t r) {
    const int h = c >> 4;
    std::uint32_t i;
    if (bucket_[h] != kNoBucket) {
      i = ToFront(static_cast<std::uint8_t>(bucket_[h]));
      Send(i, p, r);
      bw_.Write(4, c & 15u);
    } else {
      i = ToFront(0);
      Send(i, p, r);
      bw_.Write(8, c);
      if (raw_ >= kMaxRawBytes - 1) {
        bucket_[h] = 0;
      } else {
        bucket_[h] = static_cast<std::uint16_t>(++l_);
        ++raw_;
      }
    }
    const auto node = static_cast<std::uint16_t>(nodeCount_++);
    byteNode_[c] = node;
    nodes_[node].continuation = static_cast<std::uint16_t>(p + 1);
    if (nibbleCount_[h] >= kNibbleBytes - 1) {
      nodes_[node].place = bucket_[h];
    } else {
      nodes_[node].place = static_cast<std::uint16_t>(++l_);
      ++nibbleCount_[h];
    }
    if (BitLength(static_cast<std::uint32_t>(l_)) > literalWidth_) {
      ++literalWidth_;
      threshold_ *= 2;
    }
    if (i > kLiteralSwitchIndex) literal_ = true;
  }

  // A child of x: its text is x's text and the run of input at p + matched.
  void MakeNode(std::uint32_t x, std::uint32_t p, std::uint32_t matched, std::uint32_t run) {
    const auto node = static_cast<std::uint16_t>(nodeCount_++);
    nodes_[node].continuation = static_cast<std::uint16_t>(p + matched + run);
    Insert(ChildKey(x, run, in_[p + matched]), node);
    if (matched == 1) {
      nodes_[node].place = static_cast<std::uint16_t>(listCount_++);
    } else {
      nodes_[node].place = nodes_[x].place;
      nodes_[x].place = static_cast<std::uint16_t>(listCount_++);
    }
  }

  // Moves the position-list index s to the front of the move-to-front table; its former index.
  std::uint32_t ToFront(std::uint8_t s) {
    const auto* at = static_cast<const std::uint8_t*>(std::memchr(mtf_, s, sizeof mtf_));
    const auto i = static_cast<std::uint32_t>(at - mtf_);
    std::memmove(mtf_ + 1, mtf_, i);
    mtf_[0] = s;
    return i;
  }

  void Send(std::uint32_t i, std::uint32_t p, std::uint32_t r) {
    if (!literal_) {
      Class(i, p, r);
    } else if (i < threshold_) {
      bw_.Write(literalWidth_, i);
    } else {
      bw_.Write(literalWidth_ + 1, threshold_ + i);
    }
  }

  // A reference value in the class code, after the half steps that bring K up to its length.
  void Class(std::uint32_t v, std::uint32_t p, std::uint32_t r) {
    const int b = BitLength(v);
    if (k_ < b) {
      if (half_ == 0) {
        bw_.Write(kStepBits, kStepCode);
        half_ = 1;
        ++k_;
      }
      while (k_ < b) {
        bw_.Write(kStepBits, kStepCode);
        bw_.Write(kStepBits, kStepCode);
        ++k_;
      }
    }
    const int m = std::min(k_ - b, 6);
    int n = m < 6 ? k_ - m - 1 : k_ - 6;
    if (half_ == 1 && m == 0) {
      if ((v >> (k_ - 2)) & 1) {
        bw_.Write(kStepBits, kStepCode);
        half_ = 0;
      } else {
        n = k_ - 2;
      }
    }
    bw_.Write(kClassesRead, static_cast<std::uint32_t>(m));
    if (m == kClassRepeat && p > 0 && r >= 2) bw_.Write(1, 0);
    bw_.Write(n, v);
  }

  void Length(std::uint32_t run) {
    if (run <= 3) {
      bw_.Write(4, 14);
      bw_.Write(2, run - 2);
    } else if (run <= 7) {
      bw_.Write(4, 14);
      bw_.Write(3, run);
    } else if (run <= 23) {
      bw_.Write(5, 30);
      bw_.Write(5, run - 8);
    } else if (run <= 87) {
      bw_.Write(5, 30);
      bw_.Write(7, run + 40);
    } else if (run <= 215) {
      bw_.Write(6, 62);
      bw_.Write(8, run - 88);
    } else {
      bw_.Write(6, 62);
      bw_.Write(13, run + 3880);
    }
  }

  std::uint32_t Slot(std::uint32_t key) const { return (key * 0x9E3779B1u) >> indexShift_; }

  std::uint16_t Find(std::uint32_t key) const {
    for (std::uint32_t s = Slot(key);; s = (s + 1) & indexMask_) {
      const Dc8IndexEntry& e = index_[s];
      if (e.stamp != stamp_) return kNoNode;
      if (e.key == key) return e.node;
    }
  }

  void Insert(std::uint32_t key, std::uint16_t node) {
    for (std::uint32_t s = Slot(key);; s = (s + 1) & indexMask_) {
      Dc8IndexEntry& e = index_[s];
      if (e.stamp != stamp_ || e.key == key) {
        e = {key, node, stamp_};
        return;
      }
    }
  }

  Dc8Node* nodes_;
  Dc8IndexEntry* index_;
  std::uint16_t stamp_;
  const std::uint8_t* in_;
  std::uint32_t n_;
  BitWriter bw_;
  int indexShift_;
  std::uint32_t indexMask_;

  // State the decoder keeps in step.
  int k_ = kStartK;
  int half_ = kStartT;  // T
  bool literal_ = false;
  int l_ = 0;  // highest position-list index
  std::uint8_t mtf_[256];
  std::uint16_t bucket_[16];
  std::uint8_t nibbleCount_[16] = {};
  std::uint32_t listCount_ = 1;
  // The coder's own.
  std::uint16_t byteNode_[256];
  std::uint32_t nodeCount_ = 0;
  int literalWidth_ = kStartLiteralWidth + 1;
  std::uint32_t threshold_ = kStartThreshold;
  int raw_ = 0;
  std::uint32_t previousItem_ = 0;    // matched length of the last item
  std::uint32_t previousLength_ = 0;  // its length code, for the last item not a new byte
  std::uint32_t lastUsed_ = 0;        // node of the last phrase item (0: none, a byte node)
};

}  // namespace

PhraseCode SearchPhrases(Dc8Node* nodes, Dc8IndexEntry* index, std::uint16_t stamp,
                         std::span<const std::uint8_t> input, std::span<std::uint8_t> code) {
  return Coder(nodes, index, stamp, input, code).Run();
}

}  // namespace dc8
