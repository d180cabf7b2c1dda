// Record rebuild after ADC decoding. Every read and write stays inside the dataLength bytes.
#include "coders/record_rebuild.h"

#include <cstring>

namespace {

constexpr std::int32_t kCorrupt = 60;
constexpr std::uint8_t kRecordMark = 0xEE;
constexpr std::uint8_t kFill = 0xAA;
constexpr std::uint8_t kLineMarks[3] = {0x00, 0x0A, 0x25};

inline std::uint32_t Low(std::uint32_t w) { return w & 0xFF; }
inline void SetLow(std::uint32_t& w, std::uint32_t v) { w = (w & ~0xFFu) | v; }

// Restores one record against the one before it.
inline void FillFromPrevious(std::uint8_t* data, std::uint32_t prevStart, std::uint32_t prevLen,
                             std::uint32_t start, std::uint32_t len, std::uint32_t column) {
  if (column >= prevLen || column >= len) return;
  std::uint32_t run = 0;
  while (column + run < len && data[start + column + run] == kFill) ++run;
  // Ascending, one by one: when the previous record is shorter than the run the source runs on
  // into bytes restored a moment ago.
  for (std::uint32_t i = 0; i < run; ++i)
    data[start + column + i] = data[prevStart + column + i];
}

// Trailing-mark form: each record's last byte was replaced by a mark, its low length byte
// carries that byte.
bool TrailingMarks(std::int32_t n, std::uint32_t* lengths, std::uint8_t* data, std::uint32_t d) {
  std::uint32_t cursor = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint32_t lo = Low(lengths[i]);
    if (lo == kRecordMark) {
      SetLow(lengths[i], 0);
      continue;
    }
    const void* hit = std::memchr(data + cursor, kRecordMark, d - cursor);
    if (hit == nullptr) return false;
    const auto mark = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - data);
    const std::uint32_t len = mark + 1 - cursor;
    if (len > 0xFF) return false;  // the length would not fit its byte
    data[mark] = static_cast<std::uint8_t>(lo);
    SetLow(lengths[i], len);
    cursor = mark + 1;
  }
  return cursor == d;
}

// Leading-mark form: a mark stands where the next record's first byte goes, and the low length
// byte carries that byte.
bool LeadingMarks(std::int32_t n, std::uint32_t* lengths, std::uint8_t* data, std::uint32_t d) {
  std::uint32_t cursor = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint32_t lo = Low(lengths[i]);
    if (lo == kRecordMark) {
      SetLow(lengths[i], 0);
      continue;
    }
    if (cursor >= d) return false;
    data[cursor] = static_cast<std::uint8_t>(lo);
    const void* hit = std::memchr(data + cursor + 1, kRecordMark, d - cursor - 1);
    const std::uint32_t end =
        hit == nullptr ? d
                       : static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - data);
    if (end - cursor > 0xFF) return false;
    SetLow(lengths[i], end - cursor);
    cursor = end;
  }
  return cursor == d;
}

// Line form: the data is lines ended by a mark byte; the lengths stay as they are.
bool Lines(std::uint32_t flags, std::uint8_t* data, std::uint32_t d, std::uint8_t* work) {
  const std::uint8_t mark = kLineMarks[(flags >> 28) & 3];
  std::uint32_t count = 0;
  std::uint32_t start = 0;
  while (start < d) {
    const void* hit = std::memchr(data + start, mark, d - start);
    const std::uint32_t end =
        hit == nullptr ? d
                       : static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - data);
    if (end - start > 0xFF || count >= kRebuildWorkArea) return false;
    work[count++] = static_cast<std::uint8_t>(end - start);
    start = hit == nullptr ? d : end + 1;
  }
  if (count > 1) rmovAA1(data, work, static_cast<std::int32_t>(count), (flags >> 17) & 0x7F);
  return true;
}

inline void PutIfInside(std::uint8_t* r, std::uint32_t len, std::uint32_t at, std::uint32_t v) {
  if (at < len) r[at] = static_cast<std::uint8_t>(v);
}

// Short fields carried in bits 8-31 of the length words of records 1 .. n-1.
void InsertFields(std::uint32_t flags, std::int32_t n, std::uint32_t* lengths,
                  std::uint8_t* data) {
  const std::uint32_t kind = (flags >> 26) & 3;
  const std::uint32_t column = (flags >> 17) & 0x7F;
  const std::uint32_t width = ((flags >> 24) & 3) + 1;
  std::uint32_t a1 = column, a2 = 0, a3 = 0, steps = 0;
  if (kind != 1) {
    a1 = (flags >> 20) & 0x7F;
    const std::uint32_t second = (flags >> 14) & 0x3F;
    const std::uint32_t third = (flags >> 8) & 0x3F;
    a2 = a1 + second;
    a3 = a2 + third;
    steps = second == 0 ? 0 : (third == 0 ? 1 : 2);
  }
  std::uint32_t start = Low(lengths[0]);
  for (std::int32_t i = 1; i < n; ++i) {
    std::uint32_t& w = lengths[i];
    const std::uint32_t len = Low(w);
    std::uint8_t* r = data + start;
    start += len;
    const std::uint32_t b3 = w >> 24, b2 = (w >> 16) & 0xFF, b1 = (w >> 8) & 0xFF;
    if (kind == 1 && width > 1) {
      if (column + width > len) continue;  // too short for the field: left as it is
      if (width == 4) {
        const std::uint32_t zone = b2 & 0xF0;
        r[column + 3] = static_cast<std::uint8_t>(b1);
        r[column + 2] = static_cast<std::uint8_t>(b2);
        r[column + 1] = static_cast<std::uint8_t>(zone | (b3 & 0x0F));
        r[column] = static_cast<std::uint8_t>(zone | (b3 >> 4));
      } else {
        r[column] = static_cast<std::uint8_t>(b3);
        r[column + 1] = static_cast<std::uint8_t>(b2);
        if (width == 3) r[column + 2] = static_cast<std::uint8_t>(b1);
      }
    } else {
      if (steps == 2) PutIfInside(r, len, a3, b1);
      if (steps >= 1) PutIfInside(r, len, a2, b2);
      PutIfInside(r, len, a1, b3);
    }
    w = len;
  }
}

}  // namespace

void rmovAA1(std::uint8_t* data, const std::uint8_t* lengths, std::int32_t count,
             std::uint32_t column) {
  std::uint32_t prev = 0;
  for (std::int32_t i = 1; i < count; ++i) {
    const std::uint32_t start = prev + lengths[i - 1] + 1;
    FillFromPrevious(data, prev, lengths[i - 1], start, lengths[i], column);
    prev = start;
  }
}

void rmovAA4(std::uint8_t* data, const std::uint32_t* lengths, std::int32_t count,
             std::uint32_t column) {
  std::uint32_t prev = 0;
  for (std::int32_t i = 1; i < count; ++i) {
    const std::uint32_t start = prev + Low(lengths[i - 1]);
    FillFromPrevious(data, prev, Low(lengths[i - 1]), start, Low(lengths[i]), column);
    prev = start;
  }
}

void TRQREBLD(std::int32_t& rc, const std::int32_t& count, std::uint32_t* lengths,
              const std::int32_t& dataLength, std::uint8_t* data, std::uint8_t* work) {
  rc = kCorrupt;
  const std::int32_t n = count;
  if (n < 1 || n > 4096 || dataLength < 0 || dataLength > 65536) return;
  const auto d = static_cast<std::uint32_t>(dataLength);
  const std::uint32_t flags = lengths[0];
  std::uint32_t finalMask = 0x1FFFF;
  switch ((flags >> 28) & 7) {
    case 0:
      break;
    case 1:
    case 2:
      if (!Lines(flags, data, d, work)) return;
      lengths[0] &= 0x1FFFF;
      rc = 0;
      return;
    case 5:
      if (!LeadingMarks(n, lengths, data, d)) return;
      finalMask = 0xFF;
      break;
    case 6:
      if (!TrailingMarks(n, lengths, data, d)) return;
      finalMask = 0xFF;
      break;
    default:
      return;
  }
  const bool fill = (flags & 0x80000000u) != 0;
  const std::uint32_t fields = (flags >> 26) & 3;
  if (fill || fields != 0) {
    // The walks below take the low length bytes as the records: they must lie in the data.
    std::uint64_t sum = 0;
    for (std::int32_t i = 0; i < n; ++i) sum += Low(lengths[i]);
    if (sum > d) return;
    finalMask = 0xFF;
  }
  if (fill) rmovAA4(data, lengths, n, fields == 0 ? (flags >> 17) & 0x7F : 0);
  if (fields != 0) InsertFields(flags, n, lengths, data);
  lengths[0] &= finalMask;
  rc = 0;
}
