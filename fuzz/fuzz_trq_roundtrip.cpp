// Fuzz target: arbitrary records, headers and options written into a TORQFILE through the
// record interface and read back; every member must come back equal.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cmp/buffer_sizes.h"
#include "tests/cmp/trq_roundtrip.h"

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint32_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Word() { return (Byte() << 8) | Byte(); }
  trqtest::Bytes Take(std::size_t n) {
    trqtest::Bytes b;
    while (n-- > 0 && at_ < size_) b.push_back(data_[at_++]);
    return b;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  trqtest::Layout layout;
  const std::uint32_t options = in.Byte();
  // CX8, CX7, VR8, or (bit 5) ADC, NDC, DC8.
  static constexpr std::int32_t kModes[] = {0, 1, 2, 3, 4, 8};
  layout.modeWord = kModes[options % 3 + 3 * ((options >> 5) & 1)];
  layout.charCode = static_cast<std::int32_t>((options >> 2) & 1);
  layout.fixedBlock = static_cast<std::int32_t>((options >> 3) & 1);
  const bool sevenBit = layout.modeWord == 1;
  if (sevenBit) {
    layout.recordFormat = (options & 0x10) ? 3 : 1;
    layout.recordLength = 80 + static_cast<std::int32_t>(in.Word() % (4095 - 80 + 1));
  } else {
    layout.recordFormat = (options & 0x10) ? 0 : 1;
    layout.recordLength = 80 + static_cast<std::int32_t>(in.Word() % (32760 - 80 + 1));
  }
  layout.bufferSize = GetBufSize(static_cast<std::int32_t>(in.Byte() % 12));
  layout.mostRecords = static_cast<std::int32_t>(in.Byte());
  // The longest record an empty matrix takes: buffer size - 7 for the record-matrix methods; for
  // DC8 the record, its length word and the count word share matrices of at most 64 KB.
  const std::int32_t dc8Room = std::min(std::min(layout.bufferSize, 65536) - 4, 65500) - 4;
  const std::int32_t room = layout.modeWord == 8 ? dc8Room : layout.bufferSize - 7;
  const std::int32_t longest = std::min(room, 32764);

  std::vector<trqtest::Member> members;
  while (!in.Empty() && members.size() < 8) {
    trqtest::Member m;
    const std::uint32_t shape = in.Byte();
    m.name = std::string(shape & 31, 'n');
    m.recordFormat = static_cast<std::int32_t>(shape >> 5);
    m.moreHeaders = shape & 0x80;
    if (m.moreHeaders) {
      static const std::size_t kSystemSizes[] = {0, 1, 3, 44};
      const std::size_t systemSize = kSystemSizes[in.Byte() & 3];
      m.systemHeader = in.Take(systemSize);
      m.systemHeader.resize(systemSize);
      m.userHeader = in.Take(in.Byte() % 40);
    }
    const std::uint32_t records = in.Byte();
    for (std::uint32_t i = 0; i < records && !in.Empty(); ++i) {
      const std::uint32_t lead = in.Byte();
      std::size_t n = lead & 0x7F;
      if (lead & 0x80) n = in.Word() % static_cast<std::uint32_t>(longest + 1);
      trqtest::Bytes r = in.Take(1);
      r.resize(n, r.empty() ? 0x40 : r[0]);  // long runs: cheap to code, long to decode
      m.records.push_back(std::move(r));
    }
    members.push_back(std::move(m));
  }

  static const std::string path = "/tmp/fuzz_trq_roundtrip_" + std::to_string(::getpid());
  const trqtest::Result written = trqtest::WriteContainer(path, layout, members);
  if (written.rc != 0) std::abort();
  const trqtest::ReadBack back = trqtest::ReadContainer(path);
  if (members.empty()) return 0;
  if (back.result.rc != 0 || back.members.size() != members.size()) std::abort();
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (back.members[i].records != members[i].records) std::abort();
    if (back.members[i].name != members[i].name) std::abort();
    if (members[i].moreHeaders && back.members[i].userHeader != members[i].userHeader)
      std::abort();
  }
  return 0;
}
