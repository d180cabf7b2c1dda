#include "cmp/security_calls.h"

#include "cmp/block_io.h"

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

void cmppwd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t& /*length*/,
            const std::uint8_t* /*password*/) {
  if (!CmpValid(slot)) {
    rc = kCmpBad;
    return;
  }
  // Interim: no cipher is set up yet, so no password is taken and nothing changes.
  rc = kCmpPasswordWrong;
}

void init_sec(CmpControlBlock& /*cb*/) {}
void build_memhdr(CmpControlBlock& /*cb*/) {}
void build_sectlr(CmpControlBlock& /*cb*/) {}
std::int32_t check_sectlr(CmpControlBlock& /*cb*/) { return kCmpSecureNotAllowed; }
