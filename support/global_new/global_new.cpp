// The global allocation operators, served by the counting heap. Programs link this object (the
// tests too); the launcher library does not, since a shared library must not replace the
// allocator of the program that loads it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "support/debug_log.h"
#include "support/heap.h"

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
