#include "cmp/matrix_frame.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include <sys/random.h>

#include "cmp/security_records.h"
#include "crypt/frame_cipher.h"
#include "crypt/sampled_crc.h"
#include "crypt/torqenc.h"
#include "support/crc.h"
#include "support/sysinfo.h"
#include "cmp/big_endian.h"

namespace {

constexpr std::uint32_t kWindow = 64;

std::uint16_t PrefixCrc(const std::uint8_t* frame) {
  const std::int32_t n = 16;
  std::uint16_t c16 = 0;
  torqcrc(frame, &n, &c16);
  return c16;
}

struct FixedIds {
  bool fixed = false;
  std::uint32_t blockId = 0;
  std::uint32_t machineId = 0;
};
FixedIds gFixedIds;

}  // namespace

void CmpFixFrameIds(bool fixed, std::uint32_t blockId, std::uint32_t machineId) {
  gFixedIds = {fixed, blockId, machineId};
}

void CmpFrameIds(std::uint32_t& blockId, std::uint32_t& machineId) {
  if (gFixedIds.fixed) {
    blockId = gFixedIds.blockId;
    machineId = gFixedIds.machineId;
    return;
  }
  // A random start keeps apart the frame keys of containers under one password; the time
  // only when the system gives no random bytes.
  std::uint32_t random = 0;
  if (getrandom(&random, sizeof random, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof random)) {
    blockId = random;
  } else {
    blockId = TorqTimeId();
  }
  machineId = TorqHardwareId();
}

std::uint32_t BuildMatrixFrame(CmpControlBlock& cb, std::uint8_t* frame, std::uint32_t length) {
  const bool aes = cb.cryptMode == 32;
  const std::uint32_t k = length + kFrameOverhead + (aes ? kFrameAesBlock : 0);
  std::uint8_t* const data = frame + kFramePrefix;
  PutBe32(frame, k);
  frame[4] = aes ? kFrameAesBlock : 0;
  const std::uint32_t id = cb.blockId;
  PutBe32(frame + 8, id);
  PutBe32(frame + 12, std::rotl(cb.machineId ^ id, static_cast<int>(id & 31)));
  const std::uint16_t c16 = PrefixCrc(frame);
  frame[16] = static_cast<std::uint8_t>(c16 >> 8);
  frame[17] = static_cast<std::uint8_t>(c16);
  PutBe32(frame + 18, id ^ (std::uint32_t{c16} << 16) ^ cb.prevFrameCrc);
  ++cb.blockId;

  // The window: the last bytes of the data, whitened; the prefix CRC enters its first two.
  const std::uint32_t w = std::min(length, kWindow);
  std::uint8_t* const window = data + length - w;
  if (w >= 2) {
    window[0] ^= static_cast<std::uint8_t>(c16 >> 8);
    window[1] ^= static_cast<std::uint8_t>(c16);
  }
  std::uint16_t w16 = 0;
  const auto wl = static_cast<std::int32_t>(w);
  torqcro(window, &wl, &w16);
  if (aes || length == 0) {
    frame[22] = static_cast<std::uint8_t>(w16 >> 8);
    frame[23] = static_cast<std::uint8_t>(w16);
  } else {
    // The last four data bytes go to the prefix; the window CRC and the length-part length
    // take their place.
    std::uint8_t* const last = data + length - 4;
    const std::uint8_t partLength[2] = {frame[24], frame[25]};
    std::memcpy(frame + 22, last, 4);
    last[0] = static_cast<std::uint8_t>(w16 >> 8);
    last[1] = static_cast<std::uint8_t>(w16);
    last[2] = partLength[0];
    last[3] = partLength[1];
  }

  // With a password, TORQenc enciphers bytes 22-25 and the data, keyed by the key word.
  if (cb.passwordSet > 0 && cb.cryptMode == 16 && cb.pwdState != nullptr) {
    const auto n = static_cast<std::int32_t>(length + 4);
    trqpwdv(frame + 18, &n, cb.pwdState);
  }
  std::uint8_t* const block = data + length + 4;  // the AES frame block, behind the chain CRC
  std::uint32_t sampled = 0;
  if (aes) {
    if (cb.passwordSet > 0) {
      int bits = 0;
      faess(&cb.aes, 1, &bits, frame, length, block + 7, block + 12);
    }
    sampled = storchen(frame + 18, length + 8);
  }

  // The chain CRC covers the key word, bytes 22-25 and the data, whitening them.
  const auto chained = static_cast<std::int32_t>(length + 8);
  const std::uint32_t start = 0xFFFFFFFFu;
  std::uint32_t c32 = 0;
  trqcro3(frame + 18, &chained, &c32, &start);
  PutBe32(frame + 18, Be32(frame + 18) ^ c32);
  cb.prevFrameCrc = c32;
  PutBe32(data + length, c32);
  if (aes) {
    PutBe32(block, sampled ^ (std::uint32_t{c16} << 16));
    block[4] = 0;
    block[5] = 0;
    block[6] = 0x21;
    block[11] = 0x17;
    std::uint16_t b16 = 0;
    const std::int32_t n = 28;
    torqcro(block, &n, &b16);
    block[28] = static_cast<std::uint8_t>(b16 >> 8);
    block[29] = static_cast<std::uint8_t>(b16);
    block[30] = static_cast<std::uint8_t>(kFrameAesBlock);
    block[31] = static_cast<std::uint8_t>(k >> 16);
    block[32] = static_cast<std::uint8_t>(k >> 8);
    block[33] = static_cast<std::uint8_t>(k);
  }
  std::memcpy(frame + k, kFrameEndMark, 4);
  return k + 4;
}

std::int32_t CheckMatrixFrame(CmpControlBlock& cb, std::uint8_t* frame, std::uint32_t& length,
                              bool encrypted) {
  const std::uint32_t k = Be32(frame);
  const std::uint16_t c16 = PrefixCrc(frame);
  if ((std::uint32_t{frame[16]} << 8 | frame[17]) != c16) return kCmpBadCrc1;
  // The AES frame block is there exactly with crypt mode 32; no data length of 1 to 3.
  const std::uint32_t extra = cb.cryptMode == 32 ? kFrameAesBlock : 0;
  if (frame[4] != extra || k < kFrameOverhead + extra) return kCmpBadFormat;
  length = k - kFrameOverhead - extra;
  if (length > 0 && length < 4) return kCmpBadFormat;
  if (std::memcmp(frame + k, kFrameEndMark, 4) != 0) return kCmpBadFormat;
  const bool aes = extra != 0;

  std::uint8_t* const data = frame + kFramePrefix;
  std::uint8_t* const block = data + length + 4;
  std::uint32_t expectedSample = 0;
  if (aes) {
    std::uint16_t b16 = 0;
    const std::int32_t n = 28;
    torqcri(block, &n, &b16);
    if ((std::uint32_t{block[28]} << 8 | block[29]) != b16) return kCmpBadCrcOffset;
    expectedSample = Be32(block) ^ (std::uint32_t{c16} << 16);
  }
  const std::uint32_t c32 = Be32(data + length);
  cb.prevFrameCrc = c32;
  PutBe32(frame + 18, Be32(frame + 18) ^ c32);
  const auto chained = static_cast<std::int32_t>(length + 8);
  const std::uint32_t start = 0xFFFFFFFFu;
  std::uint32_t check = 0;
  trqcri3(frame + 18, &chained, &check, &start);
  if (check != c32) return kCmpBadCrc3;
  if (aes && storchen(frame + 18, length + 8) != expectedSample) return kCmpBadCrcSample;
  if (encrypted) {
    if (cb.passwordSet <= 0) return kCmpPasswordWrong;
    if (aes) {
      int bits = 0;
      faess(&cb.aes, 0, &bits, frame, length, block + 7, block + 12);
      if (bits != 0) return kCmpPasswordWrong;
    } else {
      if (cb.pwdState == nullptr) return kCmpPasswordWrong;
      const auto n = static_cast<std::int32_t>(length + 4);
      trqpwde(frame + 18, &n, cb.pwdState);
    }
  }

  std::uint16_t w16 = 0;
  if (aes || length == 0) {
    w16 = static_cast<std::uint16_t>(frame[22] << 8 | frame[23]);
  } else {
    std::uint8_t* const last = data + length - 4;
    std::uint8_t moved[4];
    std::memcpy(moved, last, 4);
    std::memcpy(last, frame + 22, 4);
    w16 = static_cast<std::uint16_t>(moved[0] << 8 | moved[1]);
    frame[22] = moved[0];
    frame[23] = moved[1];
    frame[24] = moved[2];
    frame[25] = moved[3];
  }
  const std::uint32_t w = std::min(length, kWindow);
  std::uint8_t* const window = data + length - w;
  std::uint16_t got = 0;
  const auto wl = static_cast<std::int32_t>(w);
  torqcri(window, &wl, &got);
  if (got != w16) return encrypted ? kCmpPasswordWrong : kCmpBadCrc3;
  if (w >= 2) {
    window[0] ^= static_cast<std::uint8_t>(c16 >> 8);
    window[1] ^= static_cast<std::uint8_t>(c16);
  }
  return kCmpOk;
}
