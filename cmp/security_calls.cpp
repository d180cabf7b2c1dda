#include "cmp/security_calls.h"

#include "cmp/block_io.h"
#include "crypt/password_setup.h"

void passcount(CmpControlBlock* cb, const std::uint32_t& records, const std::uint64_t& bytes,
               std::uint8_t flag) {
  if (cb == nullptr || cb->self != cb) return;
  cb->tr_origrec = records;
  cb->tr_origbyt = bytes;
  if (cb->direction != 1) return;
  if (flag != 0) {
    cb->prev_origrec = 0;
    cb->prev_origbyt = 0;
    return;
  }
  cb->tr_origrec = records - cb->prev_origrec;
  cb->tr_origbyt = bytes - cb->prev_origbyt;
  cb->prev_origrec = records;
  cb->prev_origbyt = bytes;
}

void cmppwd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* password) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  CmpControlBlock& cb = *slot;
  // ADC and NDC written with a password are enciphered at least with TORQenc.
  std::uint32_t crypt = cb.cryptMode;
  if (cb.direction == 1 && (cb.method == kMethodAdc || cb.method == kMethodNdc) && crypt == 0)
    crypt = kCryptTorqenc;
  const int r = CryptSetPassword(static_cast<int>(crypt), cb.direction == 0, cb.mem_cnt, password,
                                 length, &cb.pwdState, &cb.aes);
  if (r != 0) {
    rc = r;
    return;
  }
  if (crypt != cb.cryptMode) {
    cb.cryptMode = crypt;
    if (cb.secinf == 1) RefreshCryptType(cb);
  }
  // The block coders' frames of this container are enciphered from now on.
  if (cb.direction == 1 && (cb.method == kMethodAdc || cb.method == kMethodNdc))
    cb.matrixHeader[1] |= 0x10;
  cb.passwordSet = 1;
  cb.passwordLength = static_cast<std::uint32_t>(length);
  rc = kCmpOk;
}
