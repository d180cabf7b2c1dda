// Fuzz target for nuccmp then nucdcm: arbitrary records (lengths, trailing repeats, contents
// taken from the input) go through each method and character code and must come back as they
// were.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "nuc/kernel.h"
#include "nuc_contexts.h"
#include "nuc/matrix_buffer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool RoundTrip(NucContext* ctx, const std::vector<Bytes>& records) {
  std::uint32_t room = 0;
  for (const Bytes& r : records) room += static_cast<std::uint32_t>(r.size()) + 7;
  NucMatrixBuffer m(room < 2048 ? 2048 : room);
  for (const Bytes& r : records)
    if (!m.Add(r)) std::abort();
  const Bytes before(m.Buffer() + kNucDescriptorArea, m.Buffer() + kNucDescriptorArea + m.DataSize());
  std::int32_t rc = 0, length = 0, kind = 1;
  m.Compress(ctx, rc, length, kind);
  if (rc != 0 || length < 0 || static_cast<std::uint32_t>(length) > m.CodedCapacity()) std::abort();
  // The records are left as they were.
  if (std::memcmp(before.data(), m.Buffer() + kNucDescriptorArea, before.size()) != 0) std::abort();
  // Decode from a buffer whose coded block is exactly the coded matrix, at its very end.
  const std::size_t total = kNucDescriptorArea + m.DataSize() + static_cast<std::size_t>(length);
  Bytes out(total);
  std::uint8_t* codedBlock = out.data() + kNucDescriptorArea + m.DataSize();
  if (length > 0) std::memcpy(codedBlock, m.CodedBlock(), static_cast<std::size_t>(length));
  std::int32_t count = static_cast<std::int32_t>(records.size());
  rc = 0;
  nucdcm(ctx, rc, length, codedBlock, kind, count, out.data());
  if (rc != 0) return false;
  const auto* d = reinterpret_cast<const RecordDescriptor*>(out.data());
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (d[i].length != records[i].size() + 4) return false;
    if (!records[i].empty() && std::memcmp(d[i].data + 4, records[i].data(), records[i].size()) != 0)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NucFuzzContexts contexts(2);
  if (size < 2) return 0;
  const int mode = data[0] % 3;
  const int code = (data[0] >> 2) & 1;
  const int n = 1 + data[1] % 255;
  const std::uint8_t* p = data + 2;
  const std::uint8_t* end = data + size;
  std::vector<Bytes> records;
  std::size_t at = 0;      // content is taken from the input cyclically
  std::size_t budget = 1 << 15;  // total record bytes, to keep each run quick
  for (int i = 0; i < n && p < end; ++i) {
    const std::uint8_t shape = *p++;
    std::size_t length = shape & 0x3F;
    if ((shape & 0x40) && p < end) length = length * 256 + *p++;  // up to 16383
    if ((shape & 0xC0) == 0xC0) length *= 2;                      // up to 32766
    if (length > 32764) length = 32764;
    if (length > budget) length = budget;
    budget -= length;
    Bytes r(length);
    for (std::size_t j = 0; j < length; ++j) {
      r[j] = size > 2 ? data[2 + (at % (size - 2))] : 0;
      if (j % 3 != 0) ++at;  // slow progress makes runs
    }
    if ((shape & 0x80) && length > 0 && p < end) {  // a trailing repeat
      const std::size_t repeat = *p++;
      std::fill(r.end() - static_cast<std::ptrdiff_t>(std::min(repeat, length)), r.end(), r.back());
    }
    records.push_back(std::move(r));
  }
  if (records.empty()) return 0;
  if (!RoundTrip(contexts.slot[mode][code], records)) std::abort();
  return 0;
}
