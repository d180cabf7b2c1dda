// Fuzz target for nucdcm: arbitrary bytes as a coded matrix, for each method and character
// code, any record count and matrix kind, and data areas of many sizes. The buffer is sized
// exactly (descriptors, data area, coded matrix at its end), so any read or write outside it
// is caught. A matrix that decodes must describe records that lie inside the data area.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "nuc/kernel.h"
#include "nuc_contexts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NucFuzzContexts contexts(0);
  if (size < 4) return 0;
  const int mode = data[0] % 3;
  const int code = (data[0] >> 2) & 1;
  std::int32_t kind = (data[0] >> 3) & 1;
  std::int32_t count = data[1];
  if (data[0] & 0x10) count += 250;  // counts above 255 too
  const std::uint32_t dataSize = std::uint32_t{16} << (data[2] % 13);
  (void)data[3];
  const std::uint8_t* coded = data + 4;
  std::int32_t codedLength = static_cast<std::int32_t>(size - 4);

  const std::size_t total = kNucDescriptorArea + dataSize + static_cast<std::size_t>(codedLength);
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[total]());
  std::uint8_t* codedBlock = buffer.get() + kNucDescriptorArea + dataSize;
  std::memcpy(codedBlock, coded, static_cast<std::size_t>(codedLength));

  std::int32_t rc = 0;
  nucdcm(contexts.slot[mode][code], rc, codedLength, codedBlock, kind, count, buffer.get());
  // The coded matrix is never written, whatever the result.
  if (std::memcmp(codedBlock, coded, static_cast<std::size_t>(codedLength)) != 0) std::abort();
  if (rc != 0) return 0;
  // Success: every record lies inside the data area.
  const auto* d = reinterpret_cast<const RecordDescriptor*>(buffer.get());
  const int records = count <= 1 ? 1 : count;
  const std::uint8_t* dataBegin = buffer.get() + kNucDescriptorArea;
  unsigned sum = 0;
  for (int i = 0; i < records; ++i) {
    if (d[i].length < 4 || d[i].position != 0 || d[i].repeatCount != 0) std::abort();
    if (d[i].data < dataBegin || d[i].data + d[i].length > codedBlock) std::abort();
    for (int j = 4; j < d[i].length; ++j) sum += d[i].data[j];
  }
  volatile unsigned sink = sum;
  (void)sink;
  return 0;
}
