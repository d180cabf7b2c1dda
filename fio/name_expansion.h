// Input name expansion and file deletion. `filpas` expands a name pattern holding the
// wildcards '*' and '?' (in its last component) into the full paths of the matching files,
// one path per call, keeping its place in a small context between calls; `fioera` deletes the
// files of a name list. Both speak in length-prefixed strings: a length byte n, n bytes of
// text, a NUL.
#pragma once
#include <cstdint>
#include <span>

namespace torq::platform {
struct FileSearch;
}

// The expansion context: a zero-filled block from the counting heap that the caller holds in
// a slot (null before the first call).
struct FilpasContext {
  FilpasContext* self;  // the block's own address; every call compares it with the slot
  torq::platform::FileSearch* search;  // the open directory search
  std::int32_t searching;              // 1 while a search is open
  std::int32_t wildcards;              // 1 when the pattern holds '*' or '?'
};

// Function codes of filpas (in/out).
inline constexpr std::int32_t kFilpasAsk = 0;    // does the pattern hold wildcards? (rc 1)
inline constexpr std::int32_t kFilpasFirst = 1;  // first name (any other value acts alike)
inline constexpr std::int32_t kFilpasNext = 3;   // next name; set by filpas after a name
inline constexpr std::int32_t kFilpasEnd = 0x7FFFFFFF;  // release the context

// Room filpas needs in its result: a full path of at most kFilpasMaxPath characters with its
// length byte and NUL. A longer full path is refused with 0x0F000000 + ENAMETOOLONG.
inline constexpr std::uint32_t kFilpasResultSize = 256;
inline constexpr std::uint32_t kFilpasMaxPath = kFilpasResultSize - 2;

// fioera's code when a file could not be deleted ("File was not deleted").
inline constexpr std::int32_t kFioEraseFailed = 103;

// rc: 0 a name delivered (or the call done), 1 the pattern has wildcards (function 0), 2 no
// (more) names, -1 a foreign context or no memory, 0x0F000000 + a system error number (a
// directory that cannot be read, a full path too long for the result). With
// wildcards, hidden (dot) names and everything that is not a regular file are passed over,
// and the names come in sorted order; a pattern without wildcards names its file literally
// ('[' is an ordinary character). Names ending in ".lnk" (any case) are always passed over.
// An empty pattern delivers the empty name once (standard input or output).
void filpas(FilpasContext*& slot, std::int32_t& rc, std::int32_t& function,
            const std::uint8_t* pattern, std::uint8_t* result);

// Deletes exactly the files of a name list: length-prefixed names one after another, ended by
// a zero length byte. Every name is taken literally (no wildcards, no shell). rc 0, or 103 when
// a deletion failed or the list is malformed; the remaining files are then left. The first and
// third arguments are not read.
void fioera(void* fcbSlot, std::int32_t& rc, const std::int32_t& state,
            std::span<const std::uint8_t> nameList);
// The same for a list whose end is known only by its zero length byte.
void fioera(void* fcbSlot, std::int32_t& rc, const std::int32_t& state,
            const std::uint8_t* nameList);
