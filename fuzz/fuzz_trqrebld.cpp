// Fuzz target for TRQREBLD: any record count, lengths and data; the data and the work area are
// sized exactly. A rebuild never reads or writes outside them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "coders/record_rebuild.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::int32_t count = (data[0] << 8 | data[1]) % 4097 + 1;
  const std::size_t lengthBytes = std::size_t{4} * static_cast<std::size_t>(count);
  if (size - 2 < lengthBytes) return 0;
  std::unique_ptr<std::uint32_t[]> lengths(new std::uint32_t[count]);
  std::memcpy(lengths.get(), data + 2, lengthBytes);
  const std::size_t d = size - 2 - lengthBytes;
  if (d > 65536) return 0;
  std::unique_ptr<std::uint8_t[]> records(new std::uint8_t[d]);
  std::memcpy(records.get(), data + 2 + lengthBytes, d);
  std::unique_ptr<std::uint8_t[]> work(new std::uint8_t[kRebuildWorkArea]);
  std::int32_t rc = -1;
  const auto dataLength = static_cast<std::int32_t>(d);
  TRQREBLD(rc, count, lengths.get(), dataLength, records.get(), work.get());
  if (rc != 0 && rc != 60) std::abort();
  return 0;
}
