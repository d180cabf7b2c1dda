#include "support/platform/process_heap.h"

#include <cstdlib>
#include <cstring>

namespace torq::platform {
namespace {

// Each block carries a 16-byte header in front of the user bytes: the size that was asked for
// and a check word, so the size is exact (the counters return to their old value on release)
// and a foreign pointer is recognised. 16 bytes keep the user bytes aligned for any type.
struct Header {
  std::uint64_t size;
  std::uint64_t check;
};
static_assert(sizeof(Header) == 16);
constexpr std::uint64_t kMagic = 0x54524F5148454150ULL;  // "TRQHEAP"

Header* HeaderOf(const void* block) {
  return reinterpret_cast<Header*>(const_cast<char*>(static_cast<const char*>(block)) - sizeof(Header));
}
void* Stamp(void* raw, std::uint32_t size) {
  auto* h = static_cast<Header*>(raw);
  h->size = size;
  h->check = kMagic ^ size;
  return h + 1;
}
bool IsOurs(const Header* h) { return (h->size ^ kMagic) == h->check && h->size <= 0xFFFFFFFFu; }

}  // namespace

void* HeapAllocZeroed(std::uint32_t size) {
  void* raw = std::calloc(1, sizeof(Header) + static_cast<std::size_t>(size));
  return raw ? Stamp(raw, size) : nullptr;
}

void* HeapReAllocZeroed(void* block, std::uint32_t size) {
  Header* h = HeaderOf(block);
  if (!IsOurs(h)) return nullptr;
  const std::uint64_t old = h->size;
  void* raw = std::realloc(h, sizeof(Header) + static_cast<std::size_t>(size));
  if (!raw) return nullptr;
  if (size > old) std::memset(static_cast<char*>(raw) + sizeof(Header) + old, 0, size - old);
  return Stamp(raw, size);
}

bool HeapRelease(void* block) {
  Header* h = HeaderOf(block);
  if (!IsOurs(h)) return false;
  h->check = 0;
  std::free(h);
  return true;
}

std::uint32_t HeapBlockSize(const void* block) {
  const Header* h = HeaderOf(block);
  return IsOurs(h) ? static_cast<std::uint32_t>(h->size) : 0xFFFFFFFFu;
}

}  // namespace torq::platform
