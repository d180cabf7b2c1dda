#include "cmp/header_record.h"

#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/cmp.h"

namespace {

// Content of a 7-bit record, one letter after the other, cut into pieces of 4,090 letters.
class PieceWriter {
 public:
  PieceWriter(CmpControlBlock& cb, std::int32_t total) : cb_(cb), left_(total) {}

  std::int32_t Start() {
    std::int32_t piece = 0;
    if (std::int32_t rc = PutByte(cb_, cb_.recordLetters[0]); rc != 0) return rc;
    const std::uint32_t declared = left_ > static_cast<std::int32_t>(kPieceLetters) ? kPieceLetters + 1 : static_cast<std::uint32_t>(left_);
    piece = std::min<std::int32_t>(left_, kPieceLetters);
    left_ -= piece;
    pieceLeft_ = piece;
    return PutLength3(cb_, declared);
  }

  std::int32_t Put(const std::uint8_t* letters, std::size_t count) {
    while (count > 0) {
      if (pieceLeft_ == 0) {
        CmpControlBlock* slot = &cb_;
        std::int32_t piece = 0;
        if (std::int32_t rc = newrec(slot, left_, piece); rc != 0) return rc;
        pieceLeft_ = piece;
      }
      const std::size_t n = std::min(count, static_cast<std::size_t>(pieceLeft_));
      if (std::int32_t rc = PutBytes(cb_, letters, n); rc != 0) return rc;
      pieceLeft_ -= static_cast<std::int32_t>(n);
      letters += n;
      count -= n;
    }
    return kCmpOk;
  }

  std::int32_t PutPairs(const std::uint8_t* data, std::size_t count) {
    std::uint8_t pairs[256];
    while (count > 0) {
      const std::size_t n = std::min<std::size_t>(count, sizeof(pairs) / 2);
      for (std::size_t i = 0; i < n; ++i) {
        pairs[2 * i] = cb_.alphabet[data[i] >> 4];
        pairs[2 * i + 1] = cb_.alphabet[data[i] & 15];
      }
      if (std::int32_t rc = Put(pairs, 2 * n); rc != 0) return rc;
      data += n;
      count -= n;
    }
    return kCmpOk;
  }

  std::int32_t Finish() { return PutByte(cb_, cb_.checkLetter); }

 private:
  CmpControlBlock& cb_;
  std::int32_t left_;
  std::int32_t pieceLeft_ = 0;
};

std::int32_t WriteContent8(CmpControlBlock& cb, const HeaderPart* parts, std::size_t partCount,
                           std::size_t total) {
  MarkRecordStart(cb);
  std::uint8_t head[3] = {0, static_cast<std::uint8_t>(total), 0};
  std::size_t headLength = 2;
  if (total > 126) {
    head[1] = static_cast<std::uint8_t>(0x80 | total >> 8);
    head[2] = static_cast<std::uint8_t>(total);
    headLength = 3;
  }
  if (std::int32_t rc = PutBytes(cb, head, headLength); rc != 0) return rc;
  for (std::size_t i = 0; i < partCount; ++i)
    if (std::int32_t rc = PutBytes(cb, parts[i].data, parts[i].count); rc != 0) return rc;
  return kCmpOk;
}

std::int32_t WriteContent7(CmpControlBlock& cb, const HeaderPart* parts, std::size_t partCount,
                           std::size_t total) {
  PieceWriter w(cb, static_cast<std::int32_t>(total));
  if (std::int32_t rc = w.Start(); rc != 0) return rc;
  for (std::size_t i = 0; i < partCount; ++i) {
    const std::int32_t rc = parts[i].asLetterPairs ? w.PutPairs(parts[i].data, parts[i].count)
                                                   : w.Put(parts[i].data, parts[i].count);
    if (rc != 0) return rc;
  }
  return w.Finish();
}

}  // namespace

std::size_t HeaderRecordLength(const CmpControlBlock& cb, const HeaderPart* parts,
                               std::size_t partCount) {
  std::size_t total = 0;
  for (std::size_t i = 0; i < partCount; ++i)
    total += Is7Bit(cb) && parts[i].asLetterPairs ? 2 * parts[i].count : parts[i].count;
  return total;
}

std::int32_t WriteHeaderRecord(CmpControlBlock& cb, const HeaderPart* parts, std::size_t partCount) {
  // A block that holds records is closed first: the header record begins a block.
  if (BlockHoldsData(cb)) {
    const std::uint8_t fill = Is7Bit(cb) ? cb.space : 0;
    std::memset(cb.cursor, fill, static_cast<std::size_t>(cb.roomLeft));
    cb.cursor += cb.roomLeft;
    cb.roomLeft = 0;
    if (std::int32_t rc = WriteBlock(cb); rc != 0 && rc != kCmpPadded) return rc;
  }
  const std::size_t total = HeaderRecordLength(cb, parts, partCount);
  const std::int32_t rc = Is7Bit(cb) ? WriteContent7(cb, parts, partCount, total)
                                     : WriteContent8(cb, parts, partCount, total);
  if (rc != 0) return rc;
  return cb.fixedBlock == 0 ? FlushBlock(cb) : kCmpOk;
}

std::int32_t newrec(CmpControlBlock*& slot, std::int32_t& lettersLeft, std::int32_t& pieceLength) {
  if (!CmpValid(slot) || !Is7Bit(*slot)) return kCmpBad;
  CmpControlBlock& cb = *slot;
  const std::uint8_t close[2] = {cb.space, cb.checkLetter};
  if (std::int32_t rc = PutBytes(cb, close, 2); rc != 0) return rc;
  const std::int32_t c = std::max(lettersLeft, 0);
  const std::uint32_t declared = c > static_cast<std::int32_t>(kPieceLetters) ? kPieceLetters + 1 : static_cast<std::uint32_t>(c);
  pieceLength = std::min<std::int32_t>(c, kPieceLetters);
  lettersLeft = c - pieceLength;
  return PutLength3(cb, declared);
}

bool HeaderLetters(const CmpControlBlock& cb, std::uint32_t at, std::uint32_t count,
                   std::uint32_t& value) {
  value = 0;
  if (static_cast<std::uint64_t>(at) + count > cb.headerLength) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::int32_t v = LetterValue(cb, cb.headerBuffer[at + i]);
    if (v < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(v);
  }
  return true;
}

bool CopyHeaderBytes(const CmpControlBlock& cb, std::uint32_t at, std::uint32_t count,
                     std::uint8_t* out) {
  if (!Is7Bit(cb)) {
    std::memcpy(out, cb.headerBuffer + at, count);
    return true;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t v = 0;
    if (!HeaderLetters(cb, at + 2 * i, 2, v)) return false;
    out[i] = static_cast<std::uint8_t>(v);
  }
  return true;
}
