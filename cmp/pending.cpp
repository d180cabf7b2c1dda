#include "cmp/block_io.h"
#include "cmp/cmp.h"

void cmpphd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, const char*, std::int32_t&,
            std::int32_t&, std::int32_t&, const void*, const void*, std::int32_t&, const void*,
            const std::uint8_t*, std::int32_t&) {
  rc = CmpValid(slot) ? kCmpBadMode : kCmpBad;
}
void cmpghd(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, char*, std::int32_t&,
            std::int32_t&, std::int32_t&, const void*, const void*, std::int32_t&, const void*,
            std::uint8_t*) {
  rc = CmpValid(slot) ? kCmpNoFileHeader : kCmpBad;
}
void cmppsh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, const std::uint8_t*,
            std::int32_t&) {
  rc = CmpValid(slot) ? kCmpBadMode : kCmpBad;
}
void cmppuh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, const std::uint8_t*) {
  rc = CmpValid(slot) ? kCmpBadMode : kCmpBad;
}
void cmpgsh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, std::uint8_t*) {
  rc = CmpValid(slot) ? kCmpNoFileHeader : kCmpBad;
}
void cmpguh(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, std::uint8_t*) {
  rc = CmpValid(slot) ? kCmpNoFileHeader : kCmpBad;
}
std::int32_t newrec(CmpControlBlock*&, std::int32_t&, std::int32_t&) { return kCmpBad; }
void cmp_gethdr(CmpControlBlock&, std::int32_t& rc, std::int32_t&, std::int32_t&, std::int32_t&,
                std::int32_t&, std::int32_t&, std::int32_t&) {
  rc = kCmpNotTorqfile;
}
std::int32_t getfh8(CmpControlBlock&) { return kCmpBadFormat; }
std::int32_t getfh7(CmpControlBlock&) { return kCmpBadFormat; }
void cmpput(CmpControlBlock*& slot, std::int32_t& rc, std::int32_t&, std::uint8_t*, std::int32_t&,
            std::int32_t&, std::int32_t&, std::uint8_t*) {
  rc = CmpValid(slot) ? kCmpBadMode : kCmpBad;
}
std::int32_t getma8(CmpControlBlock&, std::int32_t&, std::uint8_t*, std::int32_t, std::int32_t&,
                    std::int32_t&, std::int32_t&, std::uint8_t*) {
  return kCmpBadFormat;
}
std::int32_t getma7(CmpControlBlock&, std::int32_t&, std::uint8_t*, std::int32_t, std::int32_t&,
                    std::int32_t&, std::int32_t&, std::uint8_t*) {
  return kCmpBadFormat;
}
