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

std::int32_t WriteBufferSize(std::int32_t modeWord, std::int32_t bufferSize) {
  const std::int32_t method = modeWord & 15;
  if (method == 3 || method == 4) return 65536;
  return GetBufSize(GetBufSizeId(modeWord == 8 ? Dc8BufferSize(bufferSize) : bufferSize));
}
