// The VR8 bit code: a piece is cut into literals and runs as CX8 cuts it; their lengths go into a
// bit stream of short codes, their bytes into a literal pool after it.
#include <algorithm>
#include <array>
#include <cstring>

#include "nuc/bitio.h"
#include "nuc/run_scan.h"
#include "nuc/vr8.h"
#include "nuc/vr8_pool.h"

namespace {

constexpr std::int32_t kMaxPiece = 2048;
constexpr int kMaxCounters = 1024;
// The codes of a piece that the decoder reads before it gives up: the start code and 1025 codes
// of at most 16 bits, and the byte the reader holds ahead.
constexpr std::size_t kCodeReadBound = 1 + (kMaxCounters + 1) * 2 + 1;
constexpr std::size_t kInputReadBound = kCodeReadBound + kVr8PoolReadBound;

inline void PutLiteralCode(BitFile& f, std::uint32_t len) {
  if (len <= 4) Put4Bits(f, static_cast<std::uint16_t>(len - 1));
  else if (len <= 20) Put7Bits(f, static_cast<std::uint16_t>(64 + len - 5));
  else if (len <= 84) Put10Bits(f, static_cast<std::uint16_t>(0x300 + len - 21));
  else Put16Bits(f, static_cast<std::uint16_t>(0xE000 + len - 85));
}

inline void PutRunCode(BitFile& f, std::uint32_t len) {
  if (len <= 6) Put4Bits(f, static_cast<std::uint16_t>(4 + len - 3));
  else if (len <= 22) Put7Bits(f, static_cast<std::uint16_t>(0x50 + len - 7));
  else if (len <= 86) Put10Bits(f, static_cast<std::uint16_t>(0x340 + len - 23));
  else Put16Bits(f, static_cast<std::uint16_t>(0xE800 + len - 87));
}

}  // namespace

void rlcvr8(std::uint8_t* source, std::int32_t sourceLength, const std::uint8_t* encodeTables,
            std::uint8_t* destination, std::uint16_t& outLength) {
  if (sourceLength < 1 || sourceLength > kMaxPiece) {  // not a piece the matrix layout cuts
    outLength = 0;
    return;
  }
  // Lengths into the bit stream, bytes into the pool; the cut is the one CX8 makes.
  struct Emitter {
    BitFile f;
    std::array<std::uint8_t, kMaxPiece + 4> pool;  // the pool coder writes 4 bytes after it
    std::int32_t poolLength = 0;
    void Run(std::uint8_t b, std::size_t len) {
      pool[static_cast<std::size_t>(poolLength++)] = b;
      PutRunCode(f, static_cast<std::uint32_t>(len));
    }
    void Literal(const std::uint8_t* p, std::size_t len) {
      PutLiteralCode(f, static_cast<std::uint32_t>(len));
      std::memcpy(pool.data() + poolLength, p, len);
      poolLength += static_cast<std::int32_t>(len);
    }
  } e;
  BitFile& f = e.f;
  OpenOutputBitFile(f, destination);
  Put4Bits(f, 8);
  nuc::CutRunsAndLiterals(source, sourceLength, e);
  auto& pool = e.pool;
  const std::int32_t poolLength = e.poolLength;
  Put4Bits(f, 15);
  std::uint32_t fillBits = 0;
  std::uint8_t* poolStart = CloseOutputBitFile(f, fillBits);
  std::uint16_t poolCodeLength = 0;
  if (poolLength < 16) {
    std::memcpy(poolStart, pool.data(), static_cast<std::size_t>(poolLength));
    poolCodeLength = static_cast<std::uint16_t>(poolLength);
  } else {
    torqflc(encodeTables, pool.data(), poolLength, poolStart, poolCodeLength);
  }
  outLength = static_cast<std::uint16_t>(poolStart - destination + poolCodeLength);
}

void rldvr8(const std::uint8_t* input, std::uint16_t inputLength, std::uint32_t /*spaceChar*/,
            std::uint32_t /*zeroChar*/, const std::uint8_t* decodeTables, std::uint8_t* output,
            std::uint32_t outputCapacity, std::int32_t& rc, std::uint16_t& outLength) {
  // A work copy of the input: the reader's look-ahead, the end of the code stream and the pool
  // decoder's zero bytes all go to bytes after it, never to the caller's buffer.
  std::array<std::uint8_t, kInputReadBound + kVr8PoolZeroPad> work;
  const std::size_t copied = std::min<std::size_t>(inputLength, kInputReadBound);
  if (copied > 0) std::memcpy(work.data(), input, copied);
  // Bits 1111 after the input: a code stream that runs past it meets an end code at once.
  std::memset(work.data() + copied, 0xFF, 8);

  BitFile f;
  InitInputBitFile(f, work.data());
  if (GetBit(f) == 0) {
    rc = 60;
    return;
  }
  Get3Bits(f);
  std::array<std::int16_t, kMaxCounters> counters;
  int count = 0;
  std::uint32_t poolLength = 0;
  std::uint32_t total = 0;
  for (;;) {
    const std::uint8_t prefix = Get4Bits(f);
    std::int32_t counter;
    switch (prefix) {
      case 0: case 1: case 2: case 3: counter = prefix + 1; break;
      case 4: case 5: case 6: case 7: counter = -(prefix - 1); break;
      case 8: counter = 5 + Get3Bits(f); break;
      case 9: counter = 13 + Get3Bits(f); break;
      case 10: counter = -(7 + Get3Bits(f)); break;
      case 11: counter = -(15 + Get3Bits(f)); break;
      case 12: counter = 21 + Get6Bits(f); break;
      case 13: counter = -(23 + Get6Bits(f)); break;
      case 14:
        if (GetBit(f) != 0) counter = -(87 + GetBits(f, 11));
        else counter = 85 + GetBits(f, 11);
        break;
      default: counter = 0; break;  // 15: the end code
    }
    if (counter == 0) break;
    if (count == kMaxCounters) {
      rc = 61;
      return;
    }
    counters[count++] = static_cast<std::int16_t>(counter);
    if (counter > 0) {
      poolLength += static_cast<std::uint32_t>(counter);
      total += static_cast<std::uint32_t>(counter);
    } else {
      poolLength += 1;
      total += static_cast<std::uint32_t>(-counter);
    }
  }
  // The end code must lie inside the input; the pool must fit a piece and the output the room.
  const std::size_t bitsRead = static_cast<std::size_t>(f.bytePointer - work.data()) * 8 -
                               static_cast<std::size_t>(f.bitCount);
  if (bitsRead > std::size_t{inputLength} * 8 || poolLength > kVr8MaxPool ||
      total > outputCapacity || total > 0xFFFF) {
    rc = 60;
    return;
  }
  std::uint8_t* poolStart = PosOfFirstUnusedByte(f);
  const auto poolOffset = static_cast<std::size_t>(poolStart - work.data());
  const std::size_t poolInputLength = inputLength - poolOffset;
  std::array<std::uint8_t, kVr8MaxPool + 3> decodedPool;
  const std::uint8_t* pool;
  if (poolLength >= 16) {
    std::memset(work.data() + copied, 0, kVr8PoolZeroPad);
    const std::int32_t code = Vr8DecodePool(decodeTables, poolStart, poolInputLength,
                                            decodedPool.data(),
                                            static_cast<std::uint16_t>(poolLength));
    if (code != 0) {
      rc = code;
      return;
    }
    pool = decodedPool.data();
  } else {
    if (poolLength > poolInputLength) {
      rc = 60;
      return;
    }
    pool = poolStart;
  }
  std::uint8_t* out = output;
  for (int i = 0; i < count; ++i) {
    const std::int32_t c = counters[i];
    if (c > 0) {
      std::memcpy(out, pool, static_cast<std::size_t>(c));
      pool += c;
      out += c;
    } else {
      std::memset(out, *pool++, static_cast<std::size_t>(-c));
      out -= c;
    }
  }
  outLength = static_cast<std::uint16_t>(total);
}
