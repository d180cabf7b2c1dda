// Fuzz target for the frame ciphers under a fixed password: arbitrary bytes as an AES frame
// (prefix, data, frame CRC and MAC) and as a TORQenc frame read back, each in a buffer of
// exactly its size; arbitrary trailer images and MACs checked; and the round trips, which
// must give the frame back with every check passed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypt/aes_keys.h"
#include "crypt/frame_cipher.h"
#include "crypt/torqenc.h"
#include "crypt/trailer_macs.h"

namespace {

const std::uint8_t kPassword[] = {'f', 'u', 'z', 'z'};

struct Keys {
  AesKeyArea aes{};
  PwdCipherState torqenc{};
  Keys() {
    faesi(&aes, kPassword, sizeof kPassword);
    faesm(&aes, 1);
    const std::int32_t n = sizeof kPassword;
    trqpwdi(kPassword, &n, &torqenc);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Keys keys;
  if (size < 1) return 0;
  const int mode = data[0] % 5;
  data += 1;
  size -= 1;
  if (size > 1 << 20) size = 1 << 20;

  if (mode == 0 || mode == 1) {  // AES frame: 26-byte prefix, data, then 4 + 16 check bytes
    if (size < kFramePrefix + 20) return 0;
    const std::uint32_t len = static_cast<std::uint32_t>(size - kFramePrefix - 20);
    std::vector<std::uint8_t> frame(data, data + kFramePrefix + len);
    std::vector<std::uint8_t> checks(data + kFramePrefix + len, data + size);
    AesKeyArea reader = keys.aes;
    int bits = 0;
    if (mode == 1) {  // round trip
      const std::vector<std::uint8_t> plain = frame;
      AesKeyArea writer = keys.aes;
      faess(&writer, 1, &bits, frame.data(), len, checks.data(), checks.data() + 4);
      faess(&reader, 0, &bits, frame.data(), len, checks.data(), checks.data() + 4);
      if (bits != 0 || frame != plain) std::abort();
    } else {
      faess(&reader, 0, &bits, frame.data(), len, checks.data(), checks.data() + 4);
    }
  } else if (mode == 2 || mode == 3) {  // TORQenc: 8 seed bytes, key word, region
    if (size < 12) return 0;
    std::vector<std::uint8_t> frame(data, data + size);
    const std::int32_t n = static_cast<std::int32_t>(size - 12);
    PwdCipherState* state = &keys.torqenc;
    if (mode == 3) {
      const std::vector<std::uint8_t> plain = frame;
      trqpwdv(frame.data() + 8, &n, state);
      trqpwde(frame.data() + 8, &n, state);
      if (frame != plain) std::abort();
    } else {
      trqpwde(frame.data() + 8, &n, state);
    }
  } else {  // trailer image and MAC
    if (size < kTrailerImage + kTrailerMac) return 0;
    std::vector<std::uint8_t> image(data, data + kTrailerImage);
    std::vector<std::uint8_t> mac(data + kTrailerImage, data + kTrailerImage + kTrailerMac);
    AesKeyArea reader = keys.aes;
    int bits = 0;
    faestm(&reader, 0, &bits, image.data(), kTrailerImage, mac.data());
    faestf(&reader, 0, &bits, image.data(), kTrailerImage, mac.data());
  }
  return 0;
}
