// The file header: built by cmpphd (written at once unless further headers follow), its
// fields handed back by cmpghd after the record reader has read it.
#include <algorithm>
#include <cstring>

#include "cmp/block_io.h"
#include "cmp/cmp.h"
#include "cmp/header_record.h"
#include "cmp/big_endian.h"

namespace {

struct OrgLetter {
  std::int32_t code;
  std::uint8_t ascii, ebcdic;
};
constexpr OrgLetter kOrgLetters[] = {{1, 0x49, 0xC9}, {2, 0x52, 0xD9}, {3, 0x44, 0xC4},
                                     {4, 0x55, 0xE4}, {5, 0x4C, 0xD3}, {6, 0x50, 0xD7}};
constexpr OrgLetter kOrgOther = {0, 0x53, 0xE2};

std::uint8_t OrganisationLetter(std::int32_t code, bool ascii) {
  OrgLetter l = kOrgOther;
  for (const OrgLetter& o : kOrgLetters)
    if (o.code == code) l = o;
  return ascii ? l.ascii : l.ebcdic;
}

std::int32_t OrganisationCode(std::uint8_t letter) {
  for (const OrgLetter& o : kOrgLetters)
    if (o.ascii == letter || o.ebcdic == letter) return o.code;
  return 0;
}

std::uint8_t RecordFormatByte(std::int32_t code) {
  switch (code) {
    case 1: return 0x40;
    case 2: return 0x20;
    case 3: case 11: case 19: return 0x88;
    case 8: return 0x81;
    case 9: return 0x41;
    case 16: return 0x91;
    case 17: return 0x71;
    case 18: return 0x30;
    case 24: return 0xC0;
    default: return 0x80;
  }
}

std::int32_t RecordFormatCode(std::uint8_t b, std::int32_t given) {
  std::int32_t c = given;
  if (b >= 0x80) {
    c = (b & 0x01) ? 8 : 0;
    if (b & 0x10) c += 8;
    if (b & 0x08) c = 3;
    if (b & 0x40) c = 24;
  } else if (b >= 0x40) {
    c = (b & 0x01) ? 9 : 1;
    if (b & 0x10) c += 8;
  } else if (b >= 0x20) {
    c = (b & 0x10) ? 18 : 2;
  } else if (b & 0x10) {
    c = 18;
  }
  return c;
}

// Bytes 8-31 of the binary header: record length, block size, zeros, the name's offset, N.
void HeaderTail(std::uint8_t* t, std::int32_t recordLength, std::int32_t blockSize, bool binary,
                std::uint32_t n) {
  std::memset(t, 0, 24);
  PutBe32(t, static_cast<std::uint32_t>(recordLength));
  PutBe32(t + 4, static_cast<std::uint32_t>(blockSize));
  if (binary) t[16] = 0x80;
  t[20] = 0x04;
  t[21] = static_cast<std::uint8_t>(n);
  t[22] = static_cast<std::uint8_t>(n >> 8);
  t[23] = static_cast<std::uint8_t>(n);
}

void LetterPairs(const CmpControlBlock& cb, const std::uint8_t* in, std::size_t count,
                 std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i] = cb.alphabet[in[i] >> 4];
    out[2 * i + 1] = cb.alphabet[in[i] & 15];
  }
}

void BuildHeader(CmpControlBlock& cb, const char* name, std::uint32_t n, std::int32_t organisation,
                 std::int32_t recordFormat, std::int32_t recordLength, std::int32_t blockSize,
                 const std::uint8_t* origin) {
  const bool ascii = cb.charCode == 1;
  std::uint8_t* h = cb.headerBuffer;
  std::uint8_t tail[24];
  HeaderTail(tail, recordLength, blockSize, !Is7Bit(cb), n);
  const std::uint8_t org = OrganisationLetter(organisation, ascii);
  const std::uint8_t fmt = RecordFormatByte(recordFormat);
  std::uint32_t at = 0;
  if (Is7Bit(cb)) {
    const std::uint8_t magic[5] = {static_cast<std::uint8_t>(ascii ? 0x30 : 0xF0),
                                   static_cast<std::uint8_t>(ascii ? 0x41 : 0xC5),
                                   static_cast<std::uint8_t>(ascii ? 0x32 : 0xF2), cb.alphabet[1],
                                   cb.alphabet[13]};
    std::memcpy(h, magic, 5);
    const std::uint8_t fields[4] = {origin[0], origin[1], org, fmt};
    LetterPairs(cb, fields, 4, h + 5);
    LetterPairs(cb, tail, 24, h + 13);
    at = 61;
  } else {
    const std::uint8_t head[8] = {0x30, static_cast<std::uint8_t>(ascii ? 0x41 : 0xC5), 0xF2, 0x1D,
                                  origin[0], origin[1], org, fmt};
    std::memcpy(h, head, 8);
    std::memcpy(h + 8, tail, 24);
    at = 32;
  }
  for (std::uint32_t i = 0; i < n; ++i) {
    const auto c = static_cast<std::uint8_t>(name[i]);
    h[at + i] = ascii ? c : cb.a2e[c];
  }
  cb.headerLength = at + n;
}

}  // namespace

void cmpphd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& nameLength, const char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* /*unused8*/, const void* /*unused9*/, std::int32_t& blockSize,
            const void* /*unused11*/, const std::uint8_t* originPair, std::int32_t& moreHeaders) {
  if (!CmpValid(slot) || slot->direction != 1) {
    rc = kCmpBad;
    return;
  }
  // The header keeps the name length in one byte.
  if (nameLength < 0 || nameLength > 255 || (nameLength > 0 && name == nullptr)) {
    rc = kCmpHeaderTooLong;
    return;
  }
  CmpControlBlock& cb = *slot;
  rc = kCmpOk;
  cb.systemHeader = nullptr;
  cb.systemHeaderLength = 0;
  cb.headerBuffer = cb.inlineHeader;
  cb.headerCapacity = kCmpInlineHeader;
  static constexpr std::uint8_t kNoOrigin[2] = {0, 0};
  BuildHeader(cb, name, static_cast<std::uint32_t>(nameLength), organisation, recordFormat,
              recordLength, blockSize, originPair ? originPair : kNoOrigin);
  if (moreHeaders != 0) return;
  // A secured member's header record always closes with its security header (member number,
  // and with AES the member keys), which the reader finds only behind a user header length:
  // written as with an empty user header.
  if (SecuredHeaderRecord(cb)) {
    std::int32_t none = 0;
    cmppuh(slot, rc, none, nullptr);
    return;
  }
  const HeaderPart part{cb.headerBuffer, cb.headerLength, false};
  rc = WriteHeaderRecord(cb, &part, 1);
}

void cmpghd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& nameLength, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* /*unused8*/, const void* /*unused9*/, std::int32_t& blockSize,
            const void* /*unused11*/, std::uint8_t* originPair) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  const CmpControlBlock& cb = *slot;
  const bool sevenBit = Is7Bit(cb);
  if (cb.headerLength < (sevenBit ? 61u : 32u)) {
    nameLength = 0;
    rc = kCmpNoFileHeader;
    return;
  }
  // Fields in binary order: origin pair, organisation letter, format byte, then bytes 8-31.
  std::uint8_t f[32];
  std::uint32_t nameAt = 0;
  std::uint32_t n = 0;
  if (sevenBit) {
    std::uint32_t offset = 0;
    if (!CopyHeaderBytes(cb, 5, 4, f + 4) || !CopyHeaderBytes(cb, 13, 24, f + 8) ||
        !HeaderLetters(cb, 53, 2, offset)) {
      rc = kCmpBadFormat;
      return;
    }
    nameAt = 53 + 2 * offset;
  } else {
    std::memcpy(f, cb.headerBuffer, 32);
    nameAt = 28u + f[28];
  }
  n = f[29];
  if (nameAt + n > cb.headerLength) {
    rc = kCmpBadFormat;
    return;
  }
  rc = kCmpOk;
  if (originPair) {
    originPair[0] = f[4];
    originPair[1] = f[5];
  }
  const std::uint32_t copy = std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(nameLength, 0)), n);
  if (copy > 0 && name != nullptr) {
    for (std::uint32_t i = 0; i < copy; ++i) {
      const std::uint8_t c = cb.headerBuffer[nameAt + i];
      name[i] = static_cast<char>(cb.charCode == 1 ? c : cb.e2a[c]);
    }
    name[copy] = '\0';
  }
  nameLength = name != nullptr ? static_cast<std::int32_t>(copy) : 0;
  organisation = OrganisationCode(f[6]);
  recordFormat = RecordFormatCode(f[7], recordFormat);
  recordLength = static_cast<std::int32_t>(Be32(f + 8));
  blockSize = static_cast<std::int32_t>(Be32(f + 12));
}
