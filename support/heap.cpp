#include "support/heap.h"

#include "support/build_stamp.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

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

// The global operators use the same counted memory. A size that does not fit the heap's
// 32-bit sizes is refused rather than cut. Every form is replaced (plain, array, nothrow and
// over-aligned), so no block from another allocator ever reaches rmHeapFree.
namespace {
void* CountedNew(std::size_t size) {
  if (size > 0xFFFFFFFFu) throw std::bad_alloc();
  void* p = rmHeapAlloc(static_cast<std::uint32_t>(size));
  if (!p) throw std::bad_alloc();
  return p;
}

// Heap blocks are aligned to 16 bytes. A stricter alignment takes a larger block and keeps the
// block's address in the 8 bytes in front of the aligned start.
constexpr std::size_t kHeapAlignment = 16;
void* AlignedNew(std::size_t size, std::align_val_t al) {
  const std::size_t align = static_cast<std::size_t>(al);
  if (align <= kHeapAlignment) return CountedNew(size);
  if (size > 0xFFFFFFFFu - align - sizeof(void*)) throw std::bad_alloc();
  auto* raw = static_cast<char*>(CountedNew(size + align + sizeof(void*)));
  const auto start = (reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*) + align - 1) & ~(align - 1);
  auto* p = reinterpret_cast<char*>(start);
  std::memcpy(p - sizeof(void*), &raw, sizeof raw);
  return p;
}
void AlignedDelete(void* p, std::align_val_t al) noexcept {
  if (!p) return;
  if (static_cast<std::size_t>(al) <= kHeapAlignment) {
    rmHeapFree(p);
    return;
  }
  void* raw;
  std::memcpy(&raw, static_cast<char*>(p) - sizeof(void*), sizeof raw);
  rmHeapFree(raw);
}
}  // namespace

void* operator new(std::size_t size) {
  OutputDebugLog("operator new Size=%d", static_cast<int>(size));
  return CountedNew(size);
}
void* operator new[](std::size_t size) {
  OutputDebugLog("operator new[] Size=%d", static_cast<int>(size));
  return CountedNew(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  OutputDebugLog("operator new Size=%d", static_cast<int>(size));
  return size > 0xFFFFFFFFu ? nullptr : rmHeapAlloc(static_cast<std::uint32_t>(size));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  OutputDebugLog("operator new[] Size=%d", static_cast<int>(size));
  return size > 0xFFFFFFFFu ? nullptr : rmHeapAlloc(static_cast<std::uint32_t>(size));
}
void* operator new(std::size_t size, std::align_val_t al) { return AlignedNew(size, al); }
void* operator new[](std::size_t size, std::align_val_t al) { return AlignedNew(size, al); }
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  try {
    return AlignedNew(size, al);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept {
  try {
    return AlignedNew(size, al);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void operator delete(void* p) noexcept {
  OutputDebugLog("operator delete Mem=%p", p);
  rmHeapFree(p);
}
void operator delete[](void* p) noexcept {
  OutputDebugLog("operator delete[] Mem=%p", p);
  rmHeapFree(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete[](p); }
void operator delete(void* p, std::align_val_t al) noexcept { AlignedDelete(p, al); }
void operator delete[](void* p, std::align_val_t al) noexcept { AlignedDelete(p, al); }
void operator delete(void* p, std::size_t, std::align_val_t al) noexcept { AlignedDelete(p, al); }
void operator delete[](void* p, std::size_t, std::align_val_t al) noexcept { AlignedDelete(p, al); }
void operator delete(void* p, std::align_val_t al, const std::nothrow_t&) noexcept { AlignedDelete(p, al); }
void operator delete[](void* p, std::align_val_t al, const std::nothrow_t&) noexcept { AlignedDelete(p, al); }
