// Fuzz target for the fast-LZ decoders with any room (output sized exactly, input never
// changed), and for both coders: whatever they code decodes back to their input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "coders/fast_lz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > 65538) return 0;
  const std::int32_t room = data[0] << 8 | data[1];
  const auto len = static_cast<std::int32_t>(size - 2);
  std::unique_ptr<std::uint8_t[]> in(new std::uint8_t[len]);
  std::memcpy(in.get(), data + 2, static_cast<std::size_t>(len));
  std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[room]);
  for (auto decoder : {siFfwDco, siFswDco}) {
    const std::int32_t got = decoder(len, in.get(), out.get(), room);
    if (got > room || (got < 0 && got != -60 && got != -73)) std::abort();
  }
  if (std::memcmp(in.get(), data + 2, static_cast<std::size_t>(len)) != 0) std::abort();

  static std::uint32_t* table = pvFswOpn(1);
  std::unique_ptr<std::uint8_t[]> coded(new std::uint8_t[static_cast<std::size_t>(len) + 2]);
  std::unique_ptr<std::uint8_t[]> back(new std::uint8_t[len]);
  const std::pair<decltype(&siFfwCmp), decltype(&siFfwDco)> pairs[] = {{siFfwCmp, siFfwDco},
                                                                        {siFswCmp, siFswDco}};
  for (const auto& [coder, decoder] : pairs) {
    const std::int32_t c = coder(table, len, in.get(), coded.get());
    if (len > 0 && c >= len) continue;  // stored by the caller
    if (decoder(c, coded.get(), back.get(), len) != len) std::abort();
    if (std::memcmp(back.get(), in.get(), static_cast<std::size_t>(len)) != 0) std::abort();
  }
  return 0;
}
