// The member's header record: file header, system header and user header written as one
// container record, and the helpers that read its fields back.
#pragma once
#include <cstddef>
#include <cstdint>

#include "cmp/block_io.h"
#include "cmp/control_block.h"

// One part of the record's content: bytes written as they are (8-bit form; 7-bit form: as
// letters already), or, in the 7-bit form, bytes written as letter pairs.
struct HeaderPart {
  const std::uint8_t* data;
  std::size_t count;
  bool asLetterPairs;
};

// True when the member's header record closes with the security header: security on (state
// 1 while writing) and the 8-bit form.
inline bool SecuredHeaderRecord(const CmpControlBlock& cb) { return cb.secinf == 1 && !Is7Bit(cb); }

// Writes the header record from its parts: pending block out first, then the record, then
// the block when variable-length blocks are written. Lengths are checked by the callers.
std::int32_t WriteHeaderRecord(CmpControlBlock& cb, const HeaderPart* parts, std::size_t partCount);
// Content length of the parts in the container's form (bytes, or letters).
std::size_t HeaderRecordLength(const CmpControlBlock& cb, const HeaderPart* parts,
                               std::size_t partCount);

// Longest 7-bit header record the reader joins, in letters.
inline constexpr std::size_t kMaxHeaderLetters = 32768;
// Letters of a 7-bit header piece that another piece follows: 4,090 and a space.
inline constexpr std::uint32_t kPieceLetters = 4090;

// 7-bit form: the value of `count` letters (at most 8) of the header buffer from `at`; false
// when one is no letter or the header does not hold them.
bool HeaderLetters(const CmpControlBlock& cb, std::uint32_t at, std::uint32_t count,
                   std::uint32_t& value);
// 16-bit big-endian value at `at` of the header buffer.
inline std::uint32_t HeaderBe16(const CmpControlBlock& cb, std::uint32_t at) {
  return static_cast<std::uint32_t>(cb.headerBuffer[at] << 8 | cb.headerBuffer[at + 1]);
}
// Copies `count` bytes of a header field to out: as they are (8-bit form) or joined from
// letter pairs (7-bit form); false on a letter that is none.
bool CopyHeaderBytes(const CmpControlBlock& cb, std::uint32_t at, std::uint32_t count,
                     std::uint8_t* out);
