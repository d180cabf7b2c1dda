#include "fio/dtaus_fields.h"

namespace {

using F = DtausField;

constexpr DtausFieldSpec kAInput[] = {
    {F::kLength, 0, 4, 0, 0},    {F::kLetter, 4, 1, 0, 1},    {F::kChars, 5, 2, 1, 2},
    {F::kDigits, 7, 8, 3, 5},    {F::kDigits, 15, 8, 8, 5},   {F::kChars, 23, 27, 13, 27},
    {F::kDigits, 50, 6, 40, 4},  {F::kTapeZero, 0, 0, 44, 1}, {F::kDigits, 56, 4, 45, 3},
    {F::kDigits, 60, 10, 48, 6}, {F::kChars, 70, 58, 54, 58}, {F::kTapeBlanks, 0, 0, 112, 34},
};

// Writing keeps the last disk byte in the last tape byte.
constexpr DtausFieldSpec kAOutput[] = {
    {F::kLength, 0, 4, 0, 0},    {F::kLetter, 4, 1, 0, 1},       {F::kChars, 5, 2, 1, 2},
    {F::kDigits, 7, 8, 3, 5},    {F::kDigits, 15, 8, 8, 5},      {F::kChars, 23, 27, 13, 27},
    {F::kDigits, 50, 6, 40, 4},  {F::kTapeZero, 0, 0, 44, 1},    {F::kDigits, 56, 4, 45, 3},
    {F::kDigits, 60, 10, 48, 6}, {F::kChars, 70, 57, 54, 57},    {F::kTapeBlanks, 0, 0, 111, 34},
    {F::kChars, 127, 1, 145, 1},
};

constexpr DtausFieldSpec kCInput[] = {
    {F::kLength, 0, 4, 0, 0},       {F::kLetter, 4, 1, 0, 1},     {F::kDigits, 5, 8, 1, 5},
    {F::kDigits, 13, 8, 6, 5},      {F::kDigits, 21, 10, 11, 6},  {F::kDigits13, 31, 13, 17, 13},
    {F::kNibbles, 44, 2, 30, 1},    {F::kDigits, 46, 3, 31, 2},   {F::kChars, 49, 1, 33, 1},
    {F::kDigits, 50, 11, 34, 6},    {F::kDigits, 61, 8, 40, 5},   {F::kDigits, 69, 10, 45, 6},
    {F::kDigits, 79, 11, 51, 6},    {F::kChars, 90, 30, 57, 30},  {F::kDiskBlanks, 120, 8, 0, 0},
    {F::kChars, 128, 57, 87, 57},   {F::kDigits, 185, 2, 144, 2},
};

// Writing gives the first three bytes of the 30-character field no counterpart.
constexpr DtausFieldSpec kCOutput[] = {
    {F::kLength, 0, 4, 0, 0},       {F::kLetter, 4, 1, 0, 1},      {F::kDigits, 5, 8, 1, 5},
    {F::kDigits, 13, 8, 6, 5},      {F::kDigits, 21, 10, 11, 6},   {F::kDigits13, 31, 13, 17, 13},
    {F::kNibbles, 44, 2, 30, 1},    {F::kDigits, 46, 3, 31, 2},    {F::kChars, 49, 1, 33, 1},
    {F::kDigits, 50, 11, 34, 6},    {F::kDigits, 61, 8, 40, 5},    {F::kDigits, 69, 10, 45, 6},
    {F::kDigits, 79, 11, 51, 6},    {F::kDiskBlanks, 90, 3, 0, 0}, {F::kTapeBlanks, 0, 0, 57, 3},
    {F::kChars, 93, 27, 60, 27},    {F::kDiskBlanks, 120, 8, 0, 0}, {F::kChars, 128, 57, 87, 57},
    {F::kDigits, 185, 2, 144, 2},
};

constexpr DtausFieldSpec kE[] = {
    {F::kLength, 0, 4, 0, 0},     {F::kLetter, 4, 1, 0, 1},     {F::kChars, 5, 5, 1, 5},
    {F::kDigits, 10, 7, 6, 4},    {F::kDigits, 17, 13, 10, 7},  {F::kDigits, 30, 17, 17, 9},
    {F::kDigits, 47, 17, 26, 9},  {F::kDigits, 64, 13, 35, 7},  {F::kChars, 77, 51, 42, 51},
    {F::kTapeBlanks, 0, 0, 93, 53},
};

constexpr DtausRange kATapeChars[] = {{0, 2}, {13, 39}, {54, 145}};
constexpr DtausRange kCTapeChars[] = {{0, 0}, {33, 33}, {57, 143}};
constexpr DtausRange kETapeChars[] = {{0, 5}, {42, 145}};

// The tables must tile both forms without gaps or overlaps.
constexpr bool Tiles(std::span<const DtausFieldSpec> fields, std::int32_t diskEnd,
                     std::int32_t tapeEnd) {
  std::int32_t disk = 0;
  std::int32_t tape = 0;
  std::int32_t diskSeen = 0;
  std::int32_t tapeSeen = 0;
  for (const auto& f : fields) {
    if (f.diskWidth != 0) {
      if (f.diskOffset != disk) return false;
      disk += f.diskWidth;
      ++diskSeen;
    }
    if (f.tapeWidth != 0) {
      if (f.tapeOffset != tape) return false;
      tape += f.tapeWidth;
      ++tapeSeen;
    }
  }
  return disk == diskEnd && tape == tapeEnd && diskSeen > 0 && tapeSeen > 0;
}
static_assert(Tiles(kAInput, kDtausDiskAE, kDtausTapeAE));
static_assert(Tiles(kAOutput, kDtausDiskAE, kDtausTapeAE));
static_assert(Tiles(kCInput, kDtausDiskCFixed, kDtausTapeCFixed));
static_assert(Tiles(kCOutput, kDtausDiskCFixed, kDtausTapeCFixed));
static_assert(Tiles(kE, kDtausDiskAE, kDtausTapeAE));
static_assert(DtausDiskCSize(0) == 256 && DtausDiskCSize(2) == 256 && DtausDiskCSize(3) == 384 &&
              DtausDiskCSize(6) == 384 && DtausDiskCSize(7) == 512 && DtausDiskCSize(11) == 640 &&
              DtausDiskCSize(15) == kDtausDiskMax);
static_assert(DtausTapeCSize(kDtausMaxExtensions) == kDtausTapeMax);
static_assert(DtausDiskExtensionOffset(2) == 256 && DtausDiskExtensionOffset(6) == 384 &&
              DtausDiskExtensionOffset(17) + kDtausExtension + kDtausFurtherSegmentFiller ==
                  kDtausDiskMax);

}  // namespace

std::span<const DtausFieldSpec> DtausFields(DtausRecord kind, bool output) {
  switch (kind) {
    case DtausRecord::kA:
      return output ? std::span<const DtausFieldSpec>(kAOutput) : kAInput;
    case DtausRecord::kC:
      return output ? std::span<const DtausFieldSpec>(kCOutput) : kCInput;
    case DtausRecord::kE:
      break;
  }
  return kE;
}

std::span<const DtausRange> DtausTapeCharRanges(DtausRecord kind) {
  switch (kind) {
    case DtausRecord::kA:
      return kATapeChars;
    case DtausRecord::kC:
      return kCTapeChars;
    case DtausRecord::kE:
      break;
  }
  return kETapeChars;
}
