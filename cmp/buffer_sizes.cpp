#include "cmp/buffer_sizes.h"

std::int32_t GetBufSize(std::int32_t id) {
  if (id < 0 || id >= static_cast<std::int32_t>(buftab.size())) return buftab[kDefaultBufSizeId];
  return buftab[static_cast<std::size_t>(id)];
}

std::int32_t GetBufSizeId(std::int32_t size) {
  // Widened first: the magnitude of INT32_MIN does not fit 32 bits.
  std::int64_t s = size < 0 ? -static_cast<std::int64_t>(size) : size;
  if (s == 0) s = buftab[kDefaultBufSizeId];
  else if (s <= 256) s *= 1024;
  for (std::int32_t i = 0; i < 31; ++i)
    if (s <= buftab[static_cast<std::size_t>(i)]) return i;
  return 31;
}
