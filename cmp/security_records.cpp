#include "cmp/security_records.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "crypt/trailer_macs.h"
#include "support/debug_log.h"

namespace {

bool gStampFixed = false;
std::tm gStampTime{};

void PutBe(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

std::uint64_t GetBe(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

std::uint8_t* Image(CmpControlBlock& cb) { return cb.trailerImage + kTrailerHead; }

// One count of a trailer: the stored value plus the base must equal the reader's own.
bool CountMatches(std::uint64_t stored, std::uint64_t base, std::uint64_t own) {
  return stored + base == own;
}

// The crypt mode the trailers were written with: on reading, the one the member's security
// header names (the matrix headers read since may name another).
std::uint32_t SecuredCrypt(const CmpControlBlock& cb) {
  if (cb.direction != 0) return cb.cryptMode;
  static constexpr std::uint32_t kCrypt[16] = {0, 16, 32};
  return kCrypt[cb.securityHeader[2] >> 4];
}

}  // namespace

namespace torq::cmp {
void SetFixedStampTime(const std::tm* local) {
  gStampFixed = local != nullptr;
  if (local != nullptr) gStampTime = *local;
}
}  // namespace torq::cmp

std::uint32_t TrailerRecordLength(std::uint32_t cryptMode) {
  switch (cryptMode) {
    case 0: return 45;
    case 16: return 49;
    case 32: return 57;
    default: return 0;
  }
}

void TmstampOf(const std::tm& local, std::span<std::uint8_t, 7> out) {
  // Formatted apart from the image: the text is longer than the 7 packed bytes.
  std::array<char, 64> text{};
  std::snprintf(text.data() + 1, text.size() - 1, "%04d%03d%02d%02d%02d", local.tm_year + 1900,
                local.tm_yday + 1, local.tm_hour, local.tm_min, local.tm_sec);
  text[0] = static_cast<char>(out[0]);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto hi = static_cast<std::uint8_t>(text[2 * i]);
    const auto lo = static_cast<std::uint8_t>(text[2 * i + 1]);
    out[i] = static_cast<std::uint8_t>(hi << 4 | (lo & 0x0F));
  }
}

void tmstamp(std::span<std::uint8_t, 7> out) {
  std::tm local{};
  if (gStampFixed) {
    local = gStampTime;
  } else {
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
  }
  TmstampOf(local, out);
}

void init_sec(CmpControlBlock& cb) {
  std::uint8_t* s = cb.securityHeader;
  std::memset(s, 0, sizeof cb.securityHeader);
  s[1] = 0x0D;
  s[2] = static_cast<std::uint8_t>(cb.cryptMode + 1);
  s[8] = 0x0A;
  tmstamp(std::span<std::uint8_t, 7>(s + 8, 7));
  std::uint8_t* t = cb.trailerImage;
  std::memset(t, 0, sizeof cb.trailerImage);
  t[1] = 0x80;
  std::memcpy(t + kTrailerHead, s + 2, 13);
  RefreshCryptType(cb);
}

void RefreshCryptType(CmpControlBlock& cb) {
  cb.securityHeader[2] = static_cast<std::uint8_t>(cb.cryptMode + 1);
  const std::uint32_t l = TrailerRecordLength(cb.cryptMode);
  cb.trailerImage[2] = static_cast<std::uint8_t>(l);
  cb.trailerLength = l + kTrailerHead;
  std::uint8_t& type = Image(cb)[0];
  type = static_cast<std::uint8_t>((cb.securityHeader[2] & 0xF0) | (type & 0x0F));
  if ((type & 0x0F) != kTrailerKindFile) type = static_cast<std::uint8_t>((type & 0xF0) | kTrailerKindMember);
}

void build_memhdr(CmpControlBlock& cb) {
  ++cb.mem_cnt;
  PutBe(cb.securityHeader + 3, cb.mem_cnt, 4);
}

void build_sectlr(CmpControlBlock& cb) {
  std::uint8_t* image = Image(cb);
  PutBe(image + 1, cb.mem_cnt, 4);
  PutBe(image + 13, cb.tr_origbyt, 8);
  PutBe(image + 21, cb.tr_origrec, 8);
  PutBe(image + 29, cb.zkb, 8);
  PutBe(image + 37, cb.zks, 8);
}

std::int32_t check_sectlr(CmpControlBlock& cb) {
  std::uint8_t* image = Image(cb);
  const bool member = cb.secinf == 2;
  OutputDebugLog("Test counter == lpcmp->mem_cnt: %d lpcmp->secinf=%d",
                 static_cast<int>(cb.mem_cnt), static_cast<int>(cb.secinf));
  if (GetBe(image + 1, 4) != cb.mem_cnt) return kCmpMemberNumber;
  if (cb.optionWord == 2) return kCmpOk;
  const bool originalsChecked = cb.positioning != 1 && (member || cb.positioning != 2);
  if (originalsChecked) {
    OutputDebugLog("Test counter == lpcmp->tr_origbyt");
    if (!CountMatches(GetBe(image + 13, 8), member ? cb.prev_origbyt : 0, cb.tr_origbyt))
      return kCmpCounters;
    cb.prev_origbyt = cb.tr_origbyt;
    OutputDebugLog("Test counter == lpcmp->tr_origrec");
    if (!CountMatches(GetBe(image + 21, 8), member ? cb.prev_origrec : 0, cb.tr_origrec))
      return kCmpCounters;
    cb.prev_origrec = cb.tr_origrec;
  } else if (member) {
    // Passed over by positioning: the members read on count from the totals here.
    cb.prev_origbyt = cb.tr_origbyt;
    cb.prev_origrec = cb.tr_origrec;
  }
  const auto byteSum = static_cast<std::uint64_t>(cb.byteSum);
  OutputDebugLog("Test counter == lpcmp->zkb");
  if (!CountMatches(GetBe(image + 29, 8), member ? cb.zkb : 0, byteSum)) return kCmpCounters;
  cb.zkb = byteSum;
  OutputDebugLog("Test counter == lpcmp->zks");
  if (!CountMatches(GetBe(image + 37, 8), member ? cb.zks : 0, cb.blockCount)) return kCmpCounters;
  cb.zks = cb.blockCount;
  // Without the password there are no keys and no chain to check against.
  if (SecuredCrypt(cb) != 32 || cb.passwordLength == 0) return kCmpOk;
  int bits = 0;
  std::uint8_t* mac = image + kTrailerImageSize;
  if (member) {
    if (cb.positioning == 1) return kCmpOk;
    OutputDebugLog("STAT_MEM_TRL: faestm");
    faestm(&cb.aes, 0, &bits, image, kTrailerImageSize, mac);
    if (bits != 0 && !(bits == 2 && cb.positioning == 2)) return kCmpMemberMacs;
    return kCmpOk;
  }
  if (cb.positioning != 0) return kCmpOk;
  OutputDebugLog("STAT_FIL_TRL: faestf");
  faestf(&cb.aes, 0, &bits, image, kTrailerImageSize, mac);
  return bits != 0 ? kCmpFileMacs : kCmpOk;
}

std::int32_t TakeTrailer(CmpControlBlock& cb, const std::uint8_t* content, std::uint32_t length) {
  const std::uint32_t expected = TrailerRecordLength(SecuredCrypt(cb));
  if (expected == 0 || length != expected) return kCmpBadFormat;
  std::memset(cb.trailerImage, 0, sizeof cb.trailerImage);
  std::memcpy(Image(cb), content, length);
  cb.secinf = (content[0] & 0x08) != 0 ? 3 : 2;
  return check_sectlr(cb);
}
