// A member's file, system and user headers pass through the record interface to the
// container layer; the handle keeps them in order with its call-state word.
#include "cmp/cmp.h"
#include "cmp/record_interface.h"
#include "cmp/record_methods.h"

namespace {

// A handle with an open container, for the direction asked; null otherwise.
RecordHandle* Open(RecordHandle*& slot, bool writing) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h || !h->container || (h->direction != 0) != writing ||
      !(h->callState & kTrqContainerOpen))
    return nullptr;
  return h;
}

// Origins whose files carry a system header.
bool HasSystemHeader(std::uint8_t maker, std::uint8_t system) {
  if ((maker == 0 && system == 224) || (maker >= 17 && maker <= 31) || maker == 12 ||
      maker == 15 || (maker == 1 && system == 6) || (maker == 13 && system > 2))
    return true;
  return !(maker < 2 || maker == 13 || system < 2);
}

}  // namespace

void trqphd(RecordHandle*& slot, std::int32_t& rc, std::int32_t& nameLength, const char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* unused8, const void* unused9, std::int32_t& blockSize,
            const void* unused11, const std::uint8_t* originPair, std::int32_t& moreHeaders) {
  RecordHandle* const h = Open(slot, true);
  if (!h || h->callState > kTrqFileHeader) {
    rc = kTrqBadCall;
    return;
  }
  h->callState |= kTrqFileHeader;
  rc = 0;
  cmpphd(h->container, rc, nameLength, name, organisation, recordFormat, recordLength, unused8,
         unused9, blockSize, unused11, originPair, moreHeaders);
  if (rc == 0 && moreHeaders == 0) {
    h->callState |= kTrqHeadersDone;
    h->memberContent = 1;
  }
}

void trqpsh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& kind, const std::uint8_t* data,
            std::int32_t& moreHeaders) {
  RecordHandle* const h = Open(slot, true);
  if (!h || h->callState >= 0x0101) {
    rc = kTrqBadCall;
    return;
  }
  rc = 0;
  const bool accepted = kind == 0 || kind == 1 || kind == 2 || kind == 3 || kind == 44;
  if (accepted) {
    h->callState |= kTrqSystemHeader;
  } else {
    kind = 0;
    rc = kTrqNoSystemHeader;
  }
  if (accepted || moreHeaders == 0) {
    std::int32_t code = 0;
    cmppsh(h->container, code, kind, data, moreHeaders);
    if (code != 0) rc = code;
    if (code == 0 && moreHeaders == 0) {
      h->callState |= kTrqHeadersDone;
      h->memberContent = 1;
    }
  }
  const RecordMethod* const method = TrqMethod(h->method);
  if (method && method->startMatrix && h->matrixBuffer) method->startMatrix(*h);
}

void trqpuh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* data) {
  RecordHandle* const h = Open(slot, true);
  if (!h || h->callState >= 0x0401) {
    rc = kTrqBadCall;
    return;
  }
  h->callState |= kTrqHeadersDone;
  h->memberContent = 1;
  rc = 0;
  cmppuh(h->container, rc, length, data);
}

void trqghd(RecordHandle*& slot, std::int32_t& rc, std::int32_t& nameLength, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* unused8, const void* unused9, std::int32_t& blockSize,
            const void* unused11, std::uint8_t* originPair) {
  RecordHandle* const h = Open(slot, false);
  if (!h) {
    rc = kTrqBadCall;
    return;
  }
  if (h->callState > kTrqFileHeader) h->callState %= 64;
  h->callState |= kTrqFileHeader;
  rc = 0;
  std::uint8_t origin[2] = {h->origin[0], h->origin[1]};
  cmpghd(h->container, rc, nameLength, name, organisation, recordFormat, recordLength, unused8,
         unused9, blockSize, unused11, origin);
  if (rc == 0) {
    h->origin[0] = origin[0];
    h->origin[1] = origin[1];
  }
  if (originPair) {
    originPair[0] = origin[0];
    originPair[1] = origin[1];
  }
}

void trqgsh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer) {
  RecordHandle* const h = Open(slot, false);
  if (!h || h->callState >= 0x0101) {
    rc = kTrqBadCall;
    return;
  }
  h->callState |= kTrqSystemHeader;
  if (!HasSystemHeader(h->origin[0], h->origin[1])) {
    length = 0;
    rc = kTrqNoSystemHeader;
    return;
  }
  rc = 0;
  cmpgsh(h->container, rc, length, buffer);
}

void trqguh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer) {
  RecordHandle* const h = Open(slot, false);
  if (!h || h->callState >= 0x0401) {
    rc = kTrqBadCall;
    return;
  }
  h->callState |= kTrqHeadersDone;
  rc = 0;
  cmpguh(h->container, rc, length, buffer);
}
