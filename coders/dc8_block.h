// The DC8 phrase coder context and its entry points, which stand beside the kernel's for the
// compression modes 8 and 9 (one coder: nothing here depends on which).
//
// DC8 block, numbers big-endian: 2 bytes 14 + payload length; the magic letter B; the kind
// (the magic's letter 0 stored copy, letter D phrase code); the four product-word letters;
// 2 bytes 1; 2 reserved bytes (0); 2 bytes input length; 2 bytes payload length; the payload.
#pragma once
#include <cstddef>
#include <cstdint>

struct Dc8Node;
struct Dc8IndexEntry;
struct Dc8Phrase;

inline constexpr std::int32_t kDc8HeaderSize = 16;
inline constexpr std::int32_t kDc8MaxInput = 65535;
inline constexpr std::int32_t kDc8MaxPhrases = 65535;  // nodes and phrase-list entries
// The coder's room beyond 16 + input length: the last word of the phrase code is not held to
// the input length.
inline constexpr std::int32_t kDc8CoderSlack = 4;
inline constexpr std::int32_t kDc8Corrupted = 60;

struct Dc8Context {
  Dc8Context* self;  // the block's own address; every entry point compares it first
  std::uint32_t direction;  // 1 compress, 0 decompress
  std::uint32_t charCode;   // 0 EBCDIC, 1 ASCII
  std::uint8_t magic[7];    // B 0 D T O R Q in the character code
  // Compress only: the phrase search's node table and child index.
  Dc8Node* nodes;
  Dc8IndexEntry* index;
  std::uint16_t indexStamp;  // marks the index entries of the current block
  // Decompress only: the phrase list, each entry a phrase's output offset and length.
  Dc8Phrase* phrases;
};

// Entry points: the slot first; 0 success, -1 a foreign context (or one opened for the other
// direction) or no memory, 60 a damaged block.
std::int32_t nucopn_dc8(Dc8Context*& slot, std::int32_t direction, std::int32_t charCode);
// outputLength: in the room at output (at least 16 + inputLength + 4), out the block length.
// The bytes beyond the reported block are scratch.
std::int32_t nuccmp_dc8(Dc8Context*& slot, const std::uint8_t* input, std::int32_t inputLength,
                        std::uint8_t* output, std::int32_t& outputLength);
// block: the block from its length word on; blockLength: the bytes after that word (the length
// word the container read). outputLength is set to the input length once the block is whole.
std::int32_t nucdcm_dc8(Dc8Context*& slot, const std::uint8_t* block, std::int32_t blockLength,
                        std::uint8_t* output, std::int32_t outputRoom, std::int32_t& outputLength);
// Frees the tables and the context and clears the slot.
std::int32_t nuccls_dc8(Dc8Context*& slot);
