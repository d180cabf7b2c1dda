// The compress side of the record matrix: the header planes, then the matrix column by column,
// each piece coded into one chunk by the method's compress-record routine.
#include <cstring>

#include "nuc/byte_copy.h"
#include "nuc/cx7.h"
#include "nuc/matrix.h"
#include "nuc/transpose.h"

namespace {

// Largest coded piece of any method (a VR8 piece can grow by a fifth) with room for the byte
// coders' wide moves.
constexpr std::size_t kCodedPieceSize = 2 * kNucPieceSize + 256;

// The routine's work areas; each piece buffer has the 4 bytes the compress-record routine
// borrows behind it.
struct CompressWork {
  std::uint8_t coded[kCodedPieceSize];
  SortedDescriptor sorted[kNucMaxRecords];
  // Whole 16-slice steps of the column transpose may read up to slice 255.
  std::uint64_t slices[kNucMaxRecords + 1] = {};
  alignas(16) std::uint8_t stage[8 * nuc::kStageStride] = {};
  std::uint8_t planes[4 * kNucMaxRecords];
  // 16 bytes of slack behind a piece take the whole 16-byte moves of its last column.
  std::uint8_t piece[kNucPieceSize + 16];
};

// Codes each piece in a work buffer and moves the chunk into the coded block, so the coded
// block receives exactly the chunk's bytes.
class ChunkWriter {
 public:
  ChunkWriter(NucContext& ctx, std::uint8_t* out, std::uint8_t* coded)
      : ctx_(ctx), start_(out), out_(out), coded_(coded) {}
  void Code(std::uint8_t* source, std::int32_t length) {
    std::uint16_t m = 0;
    ctx_.compressRecord(source, length, ctx_.encodeTables, coded_, m);
    out_[0] = static_cast<std::uint8_t>(m >> 8);
    out_[1] = static_cast<std::uint8_t>(m);
    std::memcpy(out_ + 2, coded_, m);
    out_ += 2 + m;
  }
  std::int32_t Written() const { return static_cast<std::int32_t>(out_ - start_); }

 private:
  NucContext& ctx_;
  std::uint8_t* start_;
  std::uint8_t* out_;
  std::uint8_t* coded_;
};

// The header bytes as they go to the coder: as they are, or for CX7 first every high letter,
// then every low letter. Returns the piece length.
std::int32_t HeaderPiece(const NucContext& ctx, bool letters, const std::uint8_t* bytes, int count,
                         std::uint8_t* piece) {
  if (!letters) {
    std::memcpy(piece, bytes, static_cast<std::size_t>(count));
    return count;
  }
  Cx7BytesToLetters(ctx.charCode, bytes, count, piece, piece + count);
  return 2 * count;
}

void CompressOneRecord(NucContext& ctx, bool letters, RecordDescriptor& d, ChunkWriter& writer,
                       CompressWork& work, std::int32_t& matrixKind) {
  matrixKind = 0;
  std::uint16_t length;
  std::uint8_t repeats;
  NucCutTrailingRepeats(d.data, d.length, length, repeats);
  const std::uint8_t entry[4] = {static_cast<std::uint8_t>(length >> 8),
                                 static_cast<std::uint8_t>(length), 0, repeats};
  writer.Code(work.piece, HeaderPiece(ctx, letters, entry, 4, work.piece));
  if (length <= 4) return;
  std::uint8_t* p = d.data + 4;
  std::uint8_t* const recordEnd = d.data + d.length;  // the bytes that are the caller's record
  std::int32_t left = length - 4;
  while (left > 0) {
    const std::int32_t size = left > kNucPieceSize ? kNucPieceSize : left;
    // Coded in place while the borrowed bytes still lie inside the record, else from a copy.
    if (recordEnd - (p + size) >= 4) {
      writer.Code(p, size);
    } else {
      std::memcpy(work.piece, p, static_cast<std::size_t>(size));
      writer.Code(work.piece, size);
    }
    p += size;
    left -= size;
  }
}

void CompressMatrix(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength,
                    std::uint8_t* codedBlock, std::int32_t& matrixKind, std::int32_t recordCount,
                    std::uint8_t* descriptorBytes, bool letters) {
  rc = 0;
  auto* descriptors = reinterpret_cast<RecordDescriptor*>(descriptorBytes);
  CompressWork work;
  ChunkWriter writer(ctx, codedBlock, work.coded);
  if (recordCount <= 1) {
    CompressOneRecord(ctx, letters, descriptors[0], writer, work, matrixKind);
    codedLength = writer.Written();
    return;
  }
  const int n = recordCount;
  trqsort(descriptors, n, work.sorted, matrixKind);
  trqkmt(work.planes, work.sorted, n);
  writer.Code(work.piece, HeaderPiece(ctx, letters, work.planes, 4 * n, work.piece));

  const SortedDescriptor* sorted = work.sorted;
  const int maximum = sorted[0].length;
  int active = n;
  int c = 4;
  std::int32_t waiting = 0;
  auto dropFinished = [&] {
    while (active > 0 && sorted[active - 1].length <= c) --active;
  };
  if (maximum > 4) {
    int sliced = -8;
    dropFinished();
    while (c < maximum) {
      if (waiting + active > kNucColumnPieceSize) {
        writer.Code(work.piece, waiting);
        waiting = 0;
      }
      // The slices hold columns sliced..sliced+7 of the records active when they were
      // gathered, transposed once into staged columns; records only drop out, so they serve
      // until the next 8 columns.
      if (c >= sliced + 8) {
        sliced = c;
        trqklsp(work.slices, sorted, c, active);
        trqkcol(work.stage, work.slices, active);
      }
      for (int i = 0; i < active; i += 16)
        nuc::Copy16(work.piece + waiting + i, work.stage + (c - sliced) * nuc::kStageStride + i);
      waiting += active;
      ++c;
      dropFinished();
    }
  }
  if (waiting > 0) writer.Code(work.piece, waiting);
  codedLength = writer.Written();
}

}  // namespace

void trqklsp(std::uint64_t* slices, const SortedDescriptor* sorted, int c, int m) {
  if (m > kNucMaxRecords) return;
  for (int k = 0; k < m; ++k) {
    const std::uint8_t* source = sorted[k].data + c;
    const int readable = sorted[k].fullLength - c;
    if (readable >= 8) {
      std::memcpy(&slices[k], source, 8);
    } else {
      slices[k] = 0;
      std::memcpy(&slices[k], source, static_cast<std::size_t>(readable));
    }
  }
}

void trqkcol(std::uint8_t* stage, const std::uint64_t* slices, int m) {
  if (m > kNucMaxRecords || m <= 0) return;
  nuc::SlicesToColumns(slices, m, stage, nuc::kStageStride);
}

void nuccx8(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength, std::uint8_t* codedBlock,
            std::int32_t& matrixKind, std::int32_t& recordCount, std::uint8_t* descriptors) {
  CompressMatrix(ctx, rc, codedLength, codedBlock, matrixKind, recordCount, descriptors, false);
}

void nuccx7(NucContext& ctx, std::int32_t& rc, std::int32_t& codedLength, std::uint8_t* codedBlock,
            std::int32_t& matrixKind, std::int32_t& recordCount, std::uint8_t* descriptors) {
  CompressMatrix(ctx, rc, codedLength, codedBlock, matrixKind, recordCount, descriptors, true);
}
