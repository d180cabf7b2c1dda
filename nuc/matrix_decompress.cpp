// The decompress side of the record matrix: the header chunk gives the descriptors, the
// column chunks fill the records in sorted order, then the trailing repeats come back and the
// descriptors return to input order. Everything read from the coded matrix is checked first.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "nuc/byte_copy.h"
#include "nuc/cx7.h"
#include "nuc/cx8.h"
#include "nuc/cx8_decode.h"
#include "nuc/matrix.h"
#include "nuc/transpose.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::int32_t kCorrupt = 60;           // "TORQFILE corrupted"
constexpr std::int32_t kBadEntry = 65;          // one-record entry of the wrong size
constexpr std::int32_t kBadColumns = 66;        // column data that does not fit the records
constexpr std::int32_t kBadRecordLength = 68;   // the records do not come out complete
constexpr std::int32_t kBadPositions = 69;      // reordered matrix with bad position numbers

// The work buffer a chunk is decoded into: the largest legal chunk and room for the byte
// coders' wide stores.
constexpr std::uint32_t kChunkBufferSize = kNucLargestChunk + 63;

struct ChunkReader {
  const std::uint8_t* p;
  const std::uint8_t* end;

  bool AtEnd() const { return p == end; }
  // The next chunk's coded bytes; 60 when the chunk runs past the coded matrix.
  std::int32_t Next(const std::uint8_t*& input, std::uint16_t& length) {
    if (end - p < 2) return kCorrupt;
    length = static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    if (end - p - 2 < length) return kCorrupt;
    input = p + 2;
    p += 2 + length;
    return 0;
  }
};

class MatrixDecoder {
 public:
  MatrixDecoder(const NucContext& ctx, const std::uint8_t* coded, std::int32_t codedLength)
      : ctx_(ctx), reader_{coded, coded + codedLength} {}

  // Reads and decodes the next chunk into a work buffer of kChunkBufferSize bytes; sets its
  // decoded size. A chunk larger than the largest legal one is corrupt.
  std::int32_t Chunk(std::uint8_t* output, std::uint16_t& size) {
    const std::int32_t rc = ChunkInto(output, kChunkBufferSize, size);
    return rc == 0 && size > kNucLargestChunk ? kCorrupt : rc;
  }
  // Reads and decodes the next chunk into `capacity` bytes of the caller's that the decoder may
  // overwrite; sets its decoded size.
  std::int32_t ChunkInto(std::uint8_t* output, std::uint32_t capacity, std::uint16_t& size) {
    const std::uint8_t* input = nullptr;
    std::uint16_t length = 0;
    if (const std::int32_t rc = reader_.Next(input, length)) return rc;
    std::int32_t rc = 0;
    size = 0;
    ctx_.decompressRecord(input, length, ctx_.spaceChar, ctx_.zeroChar, ctx_.decodeTables, output,
                          capacity, rc, size);
    return rc;
  }
  bool AtEnd() const { return ahead_ < 0 && reader_.AtEnd(); }

  // Whether chunks can be decoded two at a time (the CX8 byte coder).
  bool Paired() const { return ctx_.decompressRecord == rldcx8; }
  // Chunk for the paired decoder: the next chunk (begun by the call before, into the buffer
  // given there as `ahead`, or now into `output`) is finished, and the one after it, if any, is
  // begun into `ahead` beside it. Work buffers have `room` bytes (at least kChunkBufferSize).
  // Results and failures come in the order single calls of Chunk would give them.
  std::int32_t ChunkAhead(std::uint8_t* output, std::uint16_t& size, std::uint8_t* ahead,
                          std::uint32_t room) {
    Cx8Chunk* first = &chunks_[0];
    if (ahead_ >= 0) {
      first = &chunks_[ahead_];
      if (aheadRc_) return aheadRc_;  // its length ran past the coded matrix
    } else {
      *first = Cx8Chunk{};
      if (const std::int32_t rc = reader_.Next(first->input, first->length)) return rc;
      Place(*first, output, room);
    }
    ahead_ = -1;
    Cx8Chunk* next = nullptr;
    if (!reader_.AtEnd()) {
      ahead_ = first == &chunks_[0] ? 1 : 0;
      next = &chunks_[ahead_];
      *next = Cx8Chunk{};
      aheadRc_ = reader_.Next(next->input, next->length);
      if (aheadRc_) next = nullptr;
      else Place(*next, ahead, room);
    }
    pipe_.Run(*first, next);
    size = first->rc == 0 ? first->outLength : 0;
    return first->rc == 0 && size > kNucLargestChunk ? kCorrupt : first->rc;
  }

 private:
  void Place(Cx8Chunk& c, std::uint8_t* output, std::uint32_t room) const {
    c.readEnd = reader_.end;
    c.output = output;
    c.capacity = kChunkBufferSize;
    c.room = room;
  }

  const NucContext& ctx_;
  ChunkReader reader_;
  Cx8ChunkPipe pipe_{ctx_.spaceChar, ctx_.zeroChar};
  Cx8Chunk chunks_[2] = {};
  int ahead_ = -1;  // chunks_ entry of the chunk begun ahead, if any
  std::int32_t aheadRc_ = 0;
};

// CX7 header letters back to bytes: byte i from letter i (high) and letter count + i (low).
void LettersToBytes(const NucContext& ctx, std::uint8_t* letters, int count) {
  Cx7LettersToBytes(ctx.charCode, letters, count);
}

// Appends the trailing repeats of a decoded record.
void RestoreRepeats(RecordDescriptor& d) {
  if (d.repeatCount > 0) {
    nuc::Fill(d.data + d.length, d.data[d.length - 1], d.repeatCount);
    d.length = static_cast<std::uint16_t>(d.length + d.repeatCount);
  }
  d.repeatCount = 0;
  d.position = 0;
  d.reserved = 0;
}

// A length below 4, or a repeat count on a record without data, is corrupt.
bool BadLength(std::uint16_t length, std::uint8_t repeats) {
  return length < 4 || (repeats > 0 && length <= 4);
}

std::int32_t DecompressOneRecord(const NucContext& ctx, MatrixDecoder& decoder, bool letters,
                                 std::uint8_t* buffer, std::uint8_t* dataEnd) {
  std::uint8_t entry[16];
  const std::uint32_t entrySize = letters ? 8 : 4;
  if (decoder.AtEnd()) return kBadEntry;
  std::uint16_t size = 0;
  {
    std::uint8_t chunk[kChunkBufferSize];
    if (const std::int32_t rc = decoder.Chunk(chunk, size)) return rc;
    if (size != entrySize) return kBadEntry;
    std::memcpy(entry, chunk, entrySize);
  }
  if (letters) LettersToBytes(ctx, entry, 4);
  auto& d = *reinterpret_cast<RecordDescriptor*>(buffer);
  d.data = buffer + kNucDescriptorArea;
  d.length = static_cast<std::uint16_t>((entry[0] << 8) | entry[1]);
  d.position = 0;
  d.repeatCount = entry[3];
  d.reserved = 0;
  if (BadLength(d.length, d.repeatCount)) return kCorrupt;
  const std::size_t full = std::size_t{d.length} + d.repeatCount;
  if (full > 0xFFFF || full > static_cast<std::size_t>(dataEnd - d.data)) return kCorrupt;
  // Each chunk is decoded straight into the record; the decoder may use the rest of the data
  // area. A writer may cut the record into chunks of any size.
  std::uint8_t* destination = d.data + 4;
  std::size_t filled = 4;
  while (filled < d.length) {
    if (decoder.AtEnd()) return kBadRecordLength;
    const auto room = static_cast<std::uint32_t>(dataEnd - destination);
    if (const std::int32_t rc = decoder.ChunkInto(destination, room, size)) return rc;
    if (filled + size > d.length) return kBadRecordLength;
    destination += size;
    filled += size;
  }
  RestoreRepeats(d);
  return 0;
}

// Fills the trailing repeats of a record of `length` bytes (at least 5) with its last byte.
// With 64 bytes of the data area after the fill, whole 64-byte steps run past its end and the
// 64 bytes there are put back (one step serves most records, without a branch on the count);
// else the exact fill.
inline void FillRepeats(std::uint8_t* data, std::uint16_t length, std::uint8_t repeats,
                        const std::uint8_t* dataEnd) {
  std::uint8_t* const d = data + length;
  const std::uint8_t v = d[-1];
#if defined(__SSE2__)
  if (dataEnd - (d + repeats) >= 64) {
    __m128i after[4];
    for (int i = 0; i < 4; ++i)
      after[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + repeats + 16 * i));
    const __m128i x = _mm_set1_epi8(static_cast<char>(v));
    for (int i = 0; i < repeats; i += 64)
      for (int k = 0; k < 64; k += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + k), x);
    for (int i = 0; i < 4; ++i)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + repeats + 16 * i), after[i]);
    return;
  }
#endif
  nuc::Fill(d, v, repeats);
}

// A decoded column chunk and what follows it: the byte coders' wide stores, and initialised
// bytes (zeros the first time) behind the decoded ones for the whole 16-byte row loads of the
// transpose, which reach at most 255 + 15 bytes past a column that ends there; no record takes
// those lanes.
constexpr std::size_t kRowLoadReach = 272;
struct ColumnBuffer {
  std::uint8_t bytes[kNucLargestChunk + kRowLoadReach];
};
// The CX8 coder's fast path wants 160 bytes of room after its capacity.
static_assert(sizeof(ColumnBuffer) >= kChunkBufferSize + 160);

std::int32_t DecompressMatrix(const NucContext& ctx, MatrixDecoder& decoder, bool letters,
                              std::int32_t matrixKind, int n, std::uint8_t* buffer,
                              std::uint8_t* dataEnd) {
  // The buffers take the chunks in turn, so that a group of columns may run from one chunk into
  // the next and still be read where it was decoded.
  ColumnBuffer columnBuffers[4];
  std::uint16_t size = 0;
  // The CX8 coder decodes two chunks at a time.
  const bool paired = decoder.Paired();
  {
    std::uint8_t* header = columnBuffers[0].bytes;
    if (paired) {
      // The first column chunk is begun beside the header, into buffer 1.
      if (const std::int32_t rc = decoder.ChunkAhead(header, size, columnBuffers[1].bytes, sizeof(ColumnBuffer)))
        return rc;
    } else if (const std::int32_t rc = decoder.Chunk(header, size)) {
      return rc;
    }
    const int headerBytes = 4 * n;
    if (size != (letters ? 2 * headerBytes : headerBytes)) return kCorrupt;
    if (letters) LettersToBytes(ctx, header, headerBytes);
  }
  // The records in sorted order, in locals: the descriptors are written once, at the end.
  // Lengths must not grow, none may be below 4, a record with repeats needs data, and the
  // records (each rounded up to a multiple of 4) must fit the data area: checked once for all.
  const std::uint8_t* planes = columnBuffers[0].bytes;
  std::uint8_t* records[kNucMaxRecords];
  std::uint16_t lengths[kNucMaxRecords];
  std::uint8_t* const first = buffer + kNucDescriptorArea;
  const auto room = static_cast<std::size_t>(dataEnd - first);
  unsigned previous = kNucMaxLength;
  bool bad = false;
  int i = 0;
#if defined(__SSE2__)
  {
    // 16 records a step: lengths from their two planes, each compared with the one before.
    const __m128i zero = _mm_setzero_si128(), four = _mm_set1_epi16(4);
    __m128i before = _mm_cvtsi32_si128(static_cast<int>(previous));  // the length before, in lane 0
    __m128i flags = zero;
    for (; i + 16 <= n; i += 16) {
      const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + i));
      const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + n + i));
      const __m128i rep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + 3 * n + i));
      const __m128i len[2] = {_mm_unpacklo_epi8(lo, hi), _mm_unpackhi_epi8(lo, hi)};
      const __m128i reps[2] = {_mm_unpacklo_epi8(rep, zero), _mm_unpackhi_epi8(rep, zero)};
      for (int h = 0; h < 2; ++h) {
        const __m128i prev = _mm_or_si128(_mm_slli_si128(len[h], 2), before);
        before = _mm_srli_si128(len[h], 14);
        const __m128i grows = _mm_subs_epu16(len[h], prev);     // nonzero: longer than the one before
        const __m128i tooShort = _mm_subs_epu16(four, len[h]);  // nonzero: below 4
        const __m128i noData = _mm_andnot_si128(_mm_cmpeq_epi16(reps[h], zero),
                                                _mm_cmpeq_epi16(_mm_subs_epu16(len[h], four), zero));
        flags = _mm_or_si128(flags, _mm_or_si128(_mm_or_si128(grows, tooShort), noData));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lengths + i + 8 * h), len[h]);
      }
    }
    bad = _mm_movemask_epi8(_mm_cmpeq_epi8(flags, zero)) != 0xFFFF;
    if (i > 0) previous = lengths[i - 1];
  }
#endif
  for (; i < n; ++i) {
    const unsigned length = (unsigned{planes[i]} << 8) | planes[n + i];
    const unsigned repeats = planes[3 * n + i];
    bad |= (length > previous) | (length < 4) | ((repeats > 0) & (length <= 4));
    previous = length;
    lengths[i] = static_cast<std::uint16_t>(length);
  }
  if (bad) return kCorrupt;
  // Lengths do not grow (and are at most kNucMaxLength): the first is the longest.
  const unsigned longest = n > 0 ? lengths[0] : 0;
  std::size_t offset = 0;
  for (i = 0; i < n; ++i) {
    records[i] = first + std::min(offset, room);
    offset += (lengths[i] + planes[3 * n + i] + 3u) & ~3u;
  }
  if (offset > room) return kCorrupt;
  std::uint8_t positions[kNucMaxRecords];
  std::uint8_t repeatCounts[kNucMaxRecords];
  std::memcpy(positions, planes + 2 * n, static_cast<std::size_t>(n));
  std::memcpy(repeatCounts, planes + 3 * n, static_cast<std::size_t>(n));

  // The records that reach column c (length above c) for the columns below kTabledColumns,
  // from one pass over the lengths: 8 entries are stored for each record whatever the step to
  // the next length, and the following records' entries overwrite the surplus.
  constexpr int kTabledColumns = 4096;
  std::uint8_t activeAt[kTabledColumns + 8];
  {
    const int top = std::min<int>(static_cast<int>(longest), kTabledColumns);
    int c = 4;
    for (int i = n - 1; i >= 0; --i) {
      const int end = std::min<int>(lengths[i], top);
      const std::uint64_t v = 0x0101010101010101u * static_cast<unsigned>(i + 1);
      std::memcpy(activeAt + c, &v, 8);
      for (int k = c + 8; k < end; k += 8) std::memcpy(activeAt + k, &v, 8);
      c = std::max(c, end);
    }
    std::memset(activeAt + c, 0, 8);
  }
  int active = n;
  // Records that reach column c; c does not go down from one call to the next.
  const auto reaching = [&](int c) {
    if (c < kTabledColumns) return static_cast<int>(activeAt[c]);
    while (active > 0 && lengths[active - 1] <= c) --active;
    return active;
  };
  int j = 4;
  if (j < static_cast<int>(longest)) {
    // Columns are taken eight at a time (or until the matrix ends) and go into the records with
    // one transpose, read where they were decoded; each record takes exactly the bytes it
    // reaches. A column whose buffer is about to take a new chunk before its group is complete
    // is first copied into the stage.
    alignas(16) std::uint8_t stage[8 * nuc::kStageStride];
    const std::uint8_t* rows[8];
    int rowBuffer[8];
    int group = j;
    active = reaching(j);
    int groupActive = active;
    int current = 0;
    // Moves the finished group into the records.
    const auto flush = [&](int cols) {
      for (int r = cols; r < 8; ++r) rows[r] = rows[0];
      int full = 0;
      if (cols == 8) {
        if (group + 7 < kTabledColumns) {
          full = activeAt[group + 7];  // the records longer than group + 7
        } else {
          full = groupActive;
          while (full > 0 && lengths[full - 1] - group < 8) --full;
        }
      }
      // Records lie in sorted order, each rounded up to 4 bytes and reaching at least column
      // group + 1 >= 5, so the 8-byte windows of two records never meet.
      nuc::RowsToRecords(rows, groupActive, full, records, lengths, group, cols,
                         reinterpret_cast<std::uintptr_t>(dataEnd));
    };
    // Takes a decoded chunk's columns into the group.
    int written[4] = {};  // bytes of each buffer written so far (from its start)
    const auto take = [&](std::uint8_t* chunk, int chunkBuffer) -> std::int32_t {
      const int reach = size + static_cast<int>(kRowLoadReach);
      if (written[chunkBuffer] < reach) {
        const int from = std::max<int>(size, written[chunkBuffer]);
        std::memset(chunk + from, 0, static_cast<std::size_t>(reach - from));
        written[chunkBuffer] = reach;
      }
      int used = 0;
      while (used < size) {
        active = reaching(j);
        if (active == 0 || size - used < active) return kBadColumns;
        rows[j - group] = chunk + used;
        rowBuffer[j - group] = chunkBuffer;
        used += active;
        if (++j - group == 8) {
          flush(8);
          group = j;
          active = reaching(j);
          groupActive = active;
        }
      }
      return 0;
    };
    // Chunks go into buffers 0 and 1 in turn, or (paired, each begun while the one before is
    // finished) into buffers 0 to 3 in turn. A buffer about to be written has its rows of the
    // group staged first.
    if (paired) current = 1;
    while (!decoder.AtEnd()) {
      // The buffer written next: the one the following chunk is begun in when paired.
      const int ahead = paired ? (current + 1) & 3 : current;
      for (int r = 0; r < j - group; ++r) {
        if (rowBuffer[r] != ahead) continue;
        std::uint8_t* row = stage + r * nuc::kStageStride;
        for (int i = 0; i < groupActive; i += 16) nuc::Copy16(row + i, rows[r] + i);
        rows[r] = row;
        rowBuffer[r] = -1;
      }
      std::uint8_t* chunk = columnBuffers[current].bytes;
      if (const std::int32_t rc = paired ? decoder.ChunkAhead(chunk, size, columnBuffers[ahead].bytes, sizeof(ColumnBuffer))
                                         : decoder.Chunk(chunk, size))
        return rc;
      if (const std::int32_t rc = take(chunk, current)) return rc;
      current = paired ? ahead : current ^ 1;
    }
    if (j > group) flush(j - group);
    if (reaching(j) > 0) return kBadRecordLength;  // the coded matrix ended before every column
  }

  // Back to input order by position number; each of 1..n must occur exactly once.
  auto* descriptors = reinterpret_cast<RecordDescriptor*>(buffer);
  if (matrixKind != 0) {
    // Counted per number: n numbers were counted, so all of 1..n counted once is the test.
    alignas(16) std::uint8_t seen[kNucMaxRecords + 1 + 16] = {};
    for (int i = 0; i < n; ++i) ++seen[positions[i]];
    bool bad = false;
    int p = 1;
#if defined(__SSE2__)
    __m128i wrong = _mm_setzero_si128();
    for (; p + 16 <= n + 1; p += 16)
      wrong = _mm_or_si128(wrong, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(seen + p)),
                                                _mm_set1_epi8(1)));
    bad = _mm_movemask_epi8(_mm_cmpeq_epi8(wrong, _mm_setzero_si128())) != 0xFFFF;
#endif
    for (; p <= n; ++p) bad |= seen[p] != 1;
    if (bad) return kBadPositions;
  }
  // Each descriptor in two 8-byte stores: the length (position, repeats and reserved zero) and
  // the data pointer.
  static_assert(offsetof(RecordDescriptor, data) == 8);
  static_assert(std::endian::native == std::endian::little, "the length is the head word's low bytes");
  const auto describe = [&](int i, int at) {
    if (repeatCounts[i] > 0) FillRepeats(records[i], lengths[i], repeatCounts[i], dataEnd);
    const std::uint64_t head = static_cast<std::uint16_t>(lengths[i] + repeatCounts[i]);
    auto* d = reinterpret_cast<std::uint8_t*>(descriptors + at);
    std::memcpy(d, &head, 8);
    std::memcpy(d + 8, &records[i], 8);
  };
  if (matrixKind != 0) {
    for (int i = 0; i < n; ++i) describe(i, positions[i] - 1);
  } else {
    for (int i = 0; i < n; ++i) describe(i, i);
  }
  return 0;
}

void DecompressBlock(NucContext& ctx, std::int32_t& rc, std::int32_t codedLength,
                     const std::uint8_t* codedBlock, std::int32_t matrixKind,
                     std::int32_t recordCount, std::uint8_t* buffer, bool letters) {
  if (!buffer || !codedBlock) {
    rc = -1;
    return;
  }
  // The data area runs from behind the descriptors up to the coded block.
  const auto dataBegin = reinterpret_cast<std::uintptr_t>(buffer) + kNucDescriptorArea;
  const auto dataEndAddress = reinterpret_cast<std::uintptr_t>(codedBlock);
  if (dataEndAddress < dataBegin) {
    rc = -1;
    return;
  }
  if (codedLength < 0 || recordCount < 0 || recordCount > kNucMaxRecords) {
    rc = kCorrupt;
    return;
  }
  std::uint8_t* dataEnd = buffer + kNucDescriptorArea + (dataEndAddress - dataBegin);
  MatrixDecoder decoder(ctx, codedBlock, codedLength);
  const std::int32_t result =
      recordCount <= 1
          ? DecompressOneRecord(ctx, decoder, letters, buffer, dataEnd)
          : DecompressMatrix(ctx, decoder, letters, matrixKind, recordCount, buffer, dataEnd);
  if (result != 0) rc = result;
}

}  // namespace

void trqdspi(RecordDescriptor* descriptors, const std::uint8_t* planes, int n) {
  if (n > kNucMaxRecords) return;
  for (int i = 0; i < n; ++i) {
    RecordDescriptor& d = descriptors[i];
    d.length = static_cast<std::uint16_t>((planes[i] << 8) | planes[n + i]);
    d.position = planes[2 * n + i];
    d.repeatCount = planes[3 * n + i];
    d.reserved = 0;
  }
}

void trqdspp(std::uint8_t* const* records, const std::uint16_t* lengths, int j,
             const std::uint8_t* stage, int m, int count) {
  if (m > kNucMaxRecords || m < 1 || count < 1 || count > 8) return;
  nuc::StageToRecords(stage, m, records, lengths, j, count);
}

void nudcx8(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength, std::uint8_t* codedBlock,
            std::int32_t& matrixKind, std::int32_t& recordCount, std::uint8_t* matrixBuffer) {
  DecompressBlock(ctx, rc, codedLength, codedBlock, matrixKind, recordCount, matrixBuffer, false);
}

void nudcx7(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength, std::uint8_t* codedBlock,
            std::int32_t& matrixKind, std::int32_t& recordCount, std::uint8_t* matrixBuffer) {
  DecompressBlock(ctx, rc, codedLength, codedBlock, matrixKind, recordCount, matrixBuffer, true);
}
