// The coding half of the DC8 phrase coder: one greedy pass over the input that finds the
// longest phrase its node tree yields at each item start and writes the phrase code.
//
// A node needs no text pointer (its text ends in the input where its continuation begins) and
// no child links: the children of a node are found through the index by (parent, extension
// length, and for an extension of one byte that byte), which gives the newest such child,
// the one a newest-first walk over the children would meet first.
#pragma once
#include <cstdint>
#include <span>

struct Dc8Node {
  std::uint16_t continuation;  // input offset where the node's text ends
  std::uint16_t place;         // byte node: position-list index; phrase node: phrase-list index
};

struct Dc8IndexEntry {
  std::uint32_t key;
  std::uint16_t node;
  std::uint16_t stamp;  // the block that set the entry; others count as empty
};

inline constexpr std::uint32_t kDc8IndexBits = 17;  // twice the most nodes a block can make
inline constexpr std::uint32_t kDc8IndexEntries = 1u << kDc8IndexBits;

namespace dc8 {

struct PhraseCode {
  std::uint32_t length;  // bytes of phrase code (a last partial byte is not counted)
  bool stopped;          // a word before the last reached the input length
};

// Codes input (at most 65,535 bytes) into code, which has room for input.size() + 4 bytes.
// stamp: a value that no entry of index holds from an earlier block (not 0).
PhraseCode SearchPhrases(Dc8Node* nodes, Dc8IndexEntry* index, std::uint16_t stamp,
                         std::span<const std::uint8_t> input, std::span<std::uint8_t> code);

}  // namespace dc8
