// The counting heap: every control block, buffer and string copy of the system comes from here.
// Blocks are zero-filled; the heap keeps the bytes currently out and the peak.
#pragma once
#include <cstdint>

using HANDLE = void*;

void* rmHeapAlloc(std::uint32_t size);
int rmHeapFree(void* block);
int rmHeapFree0(void* slot);  // the address of a pointer variable; the variable is cleared
void* rmHeapReAlloc(void* block, std::uint32_t size);
std::uint32_t rmHeapSize(const void* block);
char* rmStrDup(const char* s);
void* rmDupMem(const void* block);
void rmIncHeapCount(const void* block);
void rmDecHeapCount(const void* block);
std::uint32_t rmGetHeapMax();
void rmLogHeapCount();
HANDLE F_GetProcessHeap();

// Current count; for the statistics and for tests that check nothing leaks.
std::uint32_t rmGetHeapCount();

// Test hook: the allocation `countdown` calls from now (1 = the next one) fails as if
// memory had run out; 0 disarms it.
void rmHeapInjectFailure(std::uint32_t countdown);

// Frees a counted block when it leaves scope; for buffers held only for one call.
struct HeapBlockDeleter {
  void operator()(void* p) const { rmHeapFree(p); }
};
