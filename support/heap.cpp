#include "support/heap.h"

#include "support/build_stamp.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "support/debug_log.h"
#include "support/platform/process_heap.h"

TORQ_BUILD_STAMP("TorqHeap")

namespace {

HANDLE hProcessHeap = nullptr;
std::uint32_t dwHeapCount = 0;
std::uint32_t dwHeapMax = 0;
std::uint32_t failCountdown = 0;

bool InjectedFailure() {
  if (failCountdown == 0) return false;
  return --failCountdown == 0;
}

}  // namespace

HANDLE F_GetProcessHeap() {
  static int heap;  // the platform has one process heap; its handle is just a token
  return &heap;
}

std::uint32_t rmHeapSize(const void* block) {
  if (!block) return 0;
  const std::uint32_t size = torq::platform::HeapBlockSize(block);
  if (size == 0xFFFFFFFFu) OutputDebugLog("*EXCEPTION* rmHeapSize Mem=%p", block);
  return size;
}

void rmIncHeapCount(const void* block) {
  const std::uint32_t size = rmHeapSize(block);
  dwHeapCount += size;
  if (dwHeapCount > dwHeapMax) dwHeapMax = dwHeapCount;
  OutputDebugLog("*ALLOC* %p size %d ( Curr:%d Max:%d )", block, size, dwHeapCount, dwHeapMax);
}

void rmDecHeapCount(const void* block) {
  const std::uint32_t size = rmHeapSize(block);
  dwHeapCount -= size;
  OutputDebugLog("*FREE*  %p size %d ( Curr:%d Max:%d )", block, size, dwHeapCount, dwHeapMax);
}

// Null when memory runs out, so the callers' own no-memory codes are reachable.
void* rmHeapAlloc(std::uint32_t size) {
  if (!hProcessHeap) hProcessHeap = F_GetProcessHeap();
  if (InjectedFailure()) return nullptr;
  void* block = torq::platform::HeapAllocZeroed(size);
  if (block) rmIncHeapCount(block);
  return block;
}

int rmHeapFree(void* block) {
  if (!block) return 1;
  rmDecHeapCount(block);
  return torq::platform::HeapRelease(block) ? 1 : 0;
}

int rmHeapFree0(void* slot) {
  void** p = static_cast<void**>(slot);
  if (!*p) return 1;
  const int status = rmHeapFree(*p);
  *p = nullptr;
  return status;
}

void* rmHeapReAlloc(void* block, std::uint32_t size) {
  if (!block) return size == 0 ? nullptr : rmHeapAlloc(size);
  if (size == rmHeapSize(block)) return block;
  if (size == 0) {
    rmHeapFree(block);
    return nullptr;
  }
  if (InjectedFailure()) return nullptr;
  rmDecHeapCount(block);
  void* moved = torq::platform::HeapReAllocZeroed(block, size);
  if (!moved) {  // the old block is still out: count it again
    rmIncHeapCount(block);
    return nullptr;
  }
  rmIncHeapCount(moved);
  return moved;
}

char* rmStrDup(const char* s) {
  if (!s) return nullptr;
  const std::size_t n = std::strlen(s) + 1;
  if (n > 0xFFFFFFFFu) return nullptr;
  auto* copy = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(n)));
  if (copy) std::memcpy(copy, s, n);
  return copy;
}

void* rmDupMem(const void* block) {
  std::uint32_t n = rmHeapSize(block);
  if (n == 0xFFFFFFFFu) return nullptr;
  void* copy = rmHeapAlloc(n);
  if (copy && n) std::memcpy(copy, block, n);
  return copy;
}

std::uint32_t rmGetHeapMax() { return dwHeapMax; }
std::uint32_t rmGetHeapCount() { return dwHeapCount; }
void rmHeapInjectFailure(std::uint32_t countdown) { failCountdown = countdown; }

void rmLogHeapCount() {
  OutputString("LOCAL HEAP Count: Current %d Max was: %d", dwHeapCount, dwHeapMax);
}
