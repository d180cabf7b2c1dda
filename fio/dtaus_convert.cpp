#include "fio/dtaus_convert.h"

#include <algorithm>
#include <cstring>

#include "fio/packed_decimal.h"

namespace {

constexpr std::int32_t kDigits13Packed = 12;  // digits kept in nibble pairs
constexpr std::int32_t kDigits13Zeros = 6;    // zero bytes behind them
constexpr std::uint8_t kDigits13Sign = 0x0F;

bool KOk(DtausRecord kind, std::int32_t k) {
  return kind == DtausRecord::kC ? (k >= 0 && k <= kDtausMaxExtensions) : k == 0;
}

// k in range for the kind, and both buffers large enough for their form of the record.
bool Fits(DtausRecord kind, std::int32_t k, std::size_t diskBytes, std::size_t tapeBytes) {
  return KOk(kind, k) && diskBytes >= static_cast<std::size_t>(DtausDiskSize(kind, k)) &&
         tapeBytes >= static_cast<std::size_t>(DtausTapeSize(kind, k));
}

void Translate(const std::uint8_t* src, std::uint8_t* dst, std::int32_t n, const std::uint8_t* t) {
  for (std::int32_t i = 0; i < n; ++i) dst[i] = t[src[i]];
}

}  // namespace

std::int32_t DtausDiskToTape(DtausRecord kind, std::int32_t k, std::span<const std::uint8_t> disk,
                             std::span<std::uint8_t> tape, const DtausCharset& cs, bool output) {
  if (!Fits(kind, k, disk.size(), tape.size())) return -1;
  const std::int32_t tapeSize = DtausTapeSize(kind, k);
  const std::uint8_t* d = disk.data();
  std::uint8_t* t = tape.data();
  for (const auto& f : DtausFields(kind, output)) {
    const std::uint8_t* src = d + f.diskOffset;
    std::uint8_t* dst = t + f.tapeOffset;
    switch (f.kind) {
      case DtausField::kLength:
      case DtausField::kDiskBlanks:
        break;
      case DtausField::kLetter:
        *dst = cs.letter;
        break;
      case DtausField::kChars:
        Translate(src, dst, f.diskWidth, cs.codeTable);
        break;
      case DtausField::kDigits:
        pack(dst, src, f.diskWidth);
        break;
      case DtausField::kNibbles:
        PackNibblePairs(dst, src, f.diskWidth);
        break;
      case DtausField::kDigits13:
        // The thirteenth digit has no place on tape.
        PackNibblePairs(dst, src, kDigits13Packed);
        std::memset(dst + kDigits13Packed / 2, 0, kDigits13Zeros);
        dst[kDigits13Packed / 2 + kDigits13Zeros] = kDigits13Sign;
        break;
      case DtausField::kTapeZero:
        std::memset(dst, 0, f.tapeWidth);
        break;
      case DtausField::kTapeBlanks:
        std::memset(dst, cs.blank, f.tapeWidth);
        break;
    }
  }
  for (std::int32_t j = 0; j < k; ++j)
    Translate(d + DtausDiskExtensionOffset(j), t + kDtausTapeCFixed + kDtausExtension * j,
              kDtausExtension, cs.codeTable);
  return tapeSize;
}

std::int32_t DtausTapeToDisk(DtausRecord kind, std::int32_t k, std::span<const std::uint8_t> tape,
                             std::span<std::uint8_t> disk, const DtausCharset& cs, bool output) {
  if (!Fits(kind, k, disk.size(), tape.size())) return -1;
  const std::int32_t diskSize = DtausDiskSize(kind, k);
  const std::uint8_t* t = tape.data();
  std::uint8_t* d = disk.data();
  const std::int32_t lengthValue = kind == DtausRecord::kC ? DtausDiskCLength(k) : kDtausDiskAE;
  for (const auto& f : DtausFields(kind, output)) {
    const std::uint8_t* src = t + f.tapeOffset;
    std::uint8_t* dst = d + f.diskOffset;
    switch (f.kind) {
      case DtausField::kLength: {
        // A leading zero digit, then the three digits of the length.
        dst[0] = cs.zero;
        dst[1] = static_cast<std::uint8_t>(cs.zero | (lengthValue / 100));
        dst[2] = static_cast<std::uint8_t>(cs.zero | (lengthValue / 10 % 10));
        dst[3] = static_cast<std::uint8_t>(cs.zero | (lengthValue % 10));
        break;
      }
      case DtausField::kLetter:
        *dst = cs.letter;
        break;
      case DtausField::kChars:
        Translate(src, dst, f.diskWidth, cs.codeTable);
        break;
      case DtausField::kDigits:
        unpack(dst, src, f.diskWidth, cs.zero);
        break;
      case DtausField::kNibbles:
        UnpackNibblePairs(dst, src, f.diskWidth, cs.zero);
        break;
      case DtausField::kDigits13:
        UnpackNibblePairs(dst, src, kDigits13Packed, cs.zero);
        dst[kDigits13Packed] = cs.zero;
        break;
      case DtausField::kDiskBlanks:
        std::memset(dst, cs.blank, f.diskWidth);
        break;
      case DtausField::kTapeZero:
      case DtausField::kTapeBlanks:
        break;
    }
  }
  if (kind != DtausRecord::kC) return diskSize;

  // Everything behind the fixed part is filler unless an extension part lands on it.
  std::memset(d + kDtausDiskCFixed, cs.blank, static_cast<std::size_t>(diskSize - kDtausDiskCFixed));
  for (std::int32_t j = 0; j < k; ++j)
    Translate(t + kDtausTapeCFixed + kDtausExtension * j, d + DtausDiskExtensionOffset(j),
              kDtausExtension, cs.codeTable);
  if (diskSize > 2 * kDtausSegment) {
    // The unused slots of the last segment hold two zero digits each.
    const std::int32_t slots = kDtausSecondSegmentParts +
                               kDtausFurtherSegmentParts * (diskSize / kDtausSegment - 2);
    for (std::int32_t j = k; j < slots; ++j) {
      std::uint8_t* slot = d + DtausDiskExtensionOffset(j);
      slot[0] = cs.zero;
      slot[1] = cs.zero;
    }
  }
  return diskSize;
}

std::int32_t DtausTranslateTape(DtausRecord kind, std::int32_t k,
                                std::span<const std::uint8_t> source,
                                std::span<std::uint8_t> destination,
                                const std::uint8_t* codeTable) {
  if (!KOk(kind, k)) return -1;
  const std::int32_t size = DtausTapeSize(kind, k);
  if (source.size() < static_cast<std::size_t>(size) ||
      destination.size() < static_cast<std::size_t>(size))
    return -1;
  if (destination.data() != source.data())
    std::memmove(destination.data(), source.data(), static_cast<std::size_t>(size));
  std::uint8_t* p = destination.data();
  for (const auto& r : DtausTapeCharRanges(kind)) Translate(p + r.first, p + r.first, r.last - r.first + 1, codeTable);
  if (kind == DtausRecord::kC)
    Translate(p + kDtausTapeCFixed, p + kDtausTapeCFixed, kDtausExtension * k, codeTable);
  return size;
}

void DtausTranslate(std::span<const std::uint8_t> source, std::span<std::uint8_t> destination,
                    const std::uint8_t* codeTable) {
  const std::size_t n = std::min(source.size(), destination.size());
  for (std::size_t i = 0; i < n; ++i) destination[i] = codeTable[source[i]];
}
