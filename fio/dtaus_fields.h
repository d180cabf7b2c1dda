// The record layouts of the DTAUS banking exchange format in its two physical forms. The disk
// form writes every number as digit characters and starts each record with a 4-digit length;
// the tape form packs the numbers and starts with the record letter. One table per record kind
// says where each field lies in both forms; reading and writing differ in a few rows.
#pragma once
#include <cstdint>
#include <span>

enum class DtausRecord : std::uint8_t { kA, kC, kE };

enum class DtausField : std::uint8_t {
  kLength,      // disk only: the record length as four digits
  kLetter,      // the record letter
  kChars,       // characters, passed through the code table
  kDigits,      // disk: diskWidth digit characters; tape: packed, diskWidth / 2 + 1 bytes
  kNibbles,     // disk: diskWidth digits; tape: diskWidth / 2 bytes of nibble pairs, no sign
  kDigits13,    // disk: 13 digits; tape: 12 digits as nibble pairs, then 00 x 6, 0F
  kTapeZero,    // tape only: a byte 0x00
  kTapeBlanks,  // tape only: blanks
  kDiskBlanks,  // disk only: blanks
};

struct DtausFieldSpec {
  DtausField kind;
  std::uint16_t diskOffset;
  std::uint16_t diskWidth;
  std::uint16_t tapeOffset;
  std::uint16_t tapeWidth;
};

inline constexpr std::int32_t kDtausSegment = 128;        // disk records come in 128-byte segments
inline constexpr std::int32_t kDtausDiskAE = 128;         // disk A and E
inline constexpr std::int32_t kDtausTapeAE = 146;         // tape A and E
inline constexpr std::int32_t kDtausDiskCFixed = 187;     // length field of a C without extensions
inline constexpr std::int32_t kDtausTapeCFixed = 146;     // tape C without extensions
inline constexpr std::int32_t kDtausExtension = 29;       // one extension part
inline constexpr std::int32_t kDtausMaxExtensions = 15;
inline constexpr std::int32_t kDtausDiskCountOffset = 185;  // 2 digits
inline constexpr std::int32_t kDtausTapeCountOffset = 144;  // packed, 2 bytes
inline constexpr std::int32_t kDtausDiskLetterOffset = 4;
inline constexpr std::int32_t kDtausDiskMax = 768;        // disk C with 15 extensions
inline constexpr std::int32_t kDtausTapeMax = 581;        // tape C with 15 extensions
// Extension parts in the second disk segment and in each further one; blanks behind them.
inline constexpr std::int32_t kDtausSecondSegmentParts = 2;
inline constexpr std::int32_t kDtausFurtherSegmentParts = 4;
inline constexpr std::int32_t kDtausFurtherSegmentFiller = 12;

// Value of the disk length field of a C record with k extensions.
constexpr std::int32_t DtausDiskCLength(std::int32_t k) {
  return kDtausDiskCFixed + kDtausExtension * k;
}
// Physical size of a disk C record with k extensions: whole segments.
constexpr std::int32_t DtausDiskCSize(std::int32_t k) {
  const std::int32_t further =
      k > kDtausSecondSegmentParts
          ? (k - kDtausSecondSegmentParts + kDtausFurtherSegmentParts - 1) /
                kDtausFurtherSegmentParts
          : 0;
  return kDtausSegment * (2 + further);
}
constexpr std::int32_t DtausTapeCSize(std::int32_t k) {
  return kDtausTapeCFixed + kDtausExtension * k;
}
// Offset of extension part j (0-based) in a disk C record.
constexpr std::int32_t DtausDiskExtensionOffset(std::int32_t j) {
  if (j < kDtausSecondSegmentParts) return DtausDiskCLength(j);
  const std::int32_t further = j - kDtausSecondSegmentParts;
  return kDtausSegment * (2 + further / kDtausFurtherSegmentParts) +
         kDtausExtension * (further % kDtausFurtherSegmentParts);
}
constexpr std::int32_t DtausDiskSize(DtausRecord kind, std::int32_t k) {
  return kind == DtausRecord::kC ? DtausDiskCSize(k) : kDtausDiskAE;
}
constexpr std::int32_t DtausTapeSize(DtausRecord kind, std::int32_t k) {
  return kind == DtausRecord::kC ? DtausTapeCSize(k) : kDtausTapeAE;
}

// The fields of a record kind in order. `output` selects the rows used while writing, which
// differ for A (the last disk byte) and C (the first three bytes of the 30-character field).
std::span<const DtausFieldSpec> DtausFields(DtausRecord kind, bool output);

// Byte ranges of a tape record that hold characters (translated when the tape form is
// translated without conversion); all other bytes are packed numbers and stay as they are.
// The extension parts of a C record are characters as well.
struct DtausRange {
  std::uint16_t first;
  std::uint16_t last;  // inclusive
};
std::span<const DtausRange> DtausTapeCharRanges(DtausRecord kind);
