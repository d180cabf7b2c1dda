// Conversion of DTAUS records between the disk and the tape form, and the translation of a
// record's characters without conversion. The functions know nothing of files: they take one
// whole record in a buffer, the record kind and its extension count, and build the result in
// another buffer. Character fields go through the code table, digits get the zero digit's zone,
// filler is the blank, the record letter is the given out-letter.
#pragma once
#include <cstdint>
#include <span>

#include "fio/dtaus_fields.h"

struct DtausCharset {
  const std::uint8_t* codeTable;  // 256 entries, indexed by the source byte
  std::uint8_t zero;              // zone of the digits made
  std::uint8_t blank;             // filler made
  std::uint8_t letter;            // the out-letter of this record
};

// Disk record (DtausDiskSize bytes) to tape record; returns the tape length, or -1 when a
// buffer is too small or k is out of range.
std::int32_t DtausDiskToTape(DtausRecord kind, std::int32_t k, std::span<const std::uint8_t> disk,
                             std::span<std::uint8_t> tape, const DtausCharset& cs, bool output);

// Tape record (DtausTapeSize bytes) to disk record; returns the disk length, or -1 as above.
std::int32_t DtausTapeToDisk(DtausRecord kind, std::int32_t k, std::span<const std::uint8_t> tape,
                             std::span<std::uint8_t> disk, const DtausCharset& cs, bool output);

// Tape record translated: the character bytes through the table, the packed bytes copied.
// Returns the tape length, or -1 as above. Source and destination may be the same buffer.
std::int32_t DtausTranslateTape(DtausRecord kind, std::int32_t k,
                                std::span<const std::uint8_t> source,
                                std::span<std::uint8_t> destination,
                                const std::uint8_t* codeTable);

// Every byte through the table (the disk form with translation). Same buffer allowed.
void DtausTranslate(std::span<const std::uint8_t> source, std::span<std::uint8_t> destination,
                    const std::uint8_t* codeTable);
