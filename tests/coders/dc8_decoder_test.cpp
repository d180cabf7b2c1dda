// The DC8 decoder on damaged blocks: every fault ends with 60, nothing outside the output is
// written, and the reported length is 0.
#include <gtest/gtest.h>

#include <string>

#include "coders/dc8_block.h"
#include "dc8_test_util.h"

using namespace dc8test;

namespace {

// The whole bytes of a string of '0' and '1' (spaces ignored). As in the coder's output, the
// bits of a last partial byte (the closing code's) are left to the decoder's guard byte.
Bytes FromBits(const std::string& bits) {
  Bytes out;
  std::uint32_t byte = 1;
  for (char ch : bits) {
    if (ch == ' ') continue;
    byte = (byte << 1) | (ch == '1' ? 1 : 0);
    if (byte & 0x100) {
      out.push_back(static_cast<std::uint8_t>(byte));
      byte = 1;
    }
  }
  return out;
}

// An ASCII block of the given kind letter around a payload.
Bytes Block(char kind, std::uint32_t inputLength, const Bytes& payload) {
  const auto p = static_cast<std::uint32_t>(payload.size());
  Bytes b = Of({static_cast<int>((14 + p) >> 8), static_cast<int>((14 + p) & 0xFF), 'B', kind,
                'T', 'O', 'R', 'Q', 0, 1, 0, 0, static_cast<int>(inputLength >> 8),
                static_cast<int>(inputLength & 0xFF), static_cast<int>(p >> 8),
                static_cast<int>(p & 0xFF)});
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

const std::string kA = "110 01100001";          // 'a' as a new raw byte
const std::string kKnownA = "100 0";            // 'a' again: move-to-front index 2
const std::string kRun2 = "1110 00";            // length code for 2
const std::string kClose = "1111111";
const std::string k24Steps(24 * 8, '1');        // 24 class-12 codes: K from 6 to 18

}  // namespace

TEST(Dc8Decoder, HandBuiltCodesThatAreWhole) {
  struct Case {
    std::string bits;
    std::uint32_t inputLength;
    Bytes output;
  } cases[] = {
      {kA + kClose, 1, Text("a")},
      {kA + kKnownA + kRun2 + kClose, 4, Text("aaaa")},
      // The phrase of the second item (a a a) used again: reference 3 in class 4.
      {kA + kKnownA + kRun2 + "100 1" + kClose, 7, Text("aaaaaaa")},
      // K up to 18: a new byte is then class 6 with 12 bits of 0 before its raw bits (the
      // closing code is read as one more half step).
      {k24Steps + "110 000000000000 01100001" + kClose, 1, Text("a")},
  };
  Context decoder(0, 1);
  for (const Case& c : cases) {
    const Decoded d = Decompress(decoder, Block('D', c.inputLength, FromBits(c.bits)));
    EXPECT_EQ(d.rc, 0) << c.bits;
    EXPECT_EQ(d.out, c.output) << c.bits;
  }
}

TEST(Dc8Decoder, DamagedBlocksGive60) {
  const Bytes aaaa = Block('D', 4, FromBits(kA + kKnownA + kRun2 + kClose));
  const Bytes stored = Block('0', 8, Text("abcdefgh"));
  auto with = [](Bytes b, std::size_t at, std::uint8_t v) {
    b[at] = v;
    return b;
  };
  struct Case {
    const char* what;
    Bytes block;
    std::int32_t room = kDc8MaxInput;
    std::int32_t heldShort = 0;  // bytes of the block the caller does not hold
  } cases[] = {
      {"unknown kind", with(aaaa, 3, 'X')},
      {"length word not 14 + payload", with(aaaa, 1, 0x12)},
      {"payload not held", aaaa, kDc8MaxInput, 1},
      {"header not held", Of({0, 0x0E, 'B', 'D', 'T', 'O', 'R', 'Q', 0, 1, 0, 0}), kDc8MaxInput},
      {"stored payload shorter than the input", with(stored, 13, 9)},
      {"stored payload longer than the input", with(stored, 13, 7)},
      {"input longer than the room", aaaa, 3},
      {"stored input longer than the room", stored, 7},
      {"K above 18", Block('D', 1, FromBits(k24Steps + "11111111 11111111" + kA + kClose))},
      {"phrase index 0", Block('D', 3, FromBits(kA + "100 1" + kClose))},
      {"phrase index below 0", Block('D', 3, FromBits("000 0000" + kClose))},
      {"repeat request before a phrase was used", Block('D', 3, FromBits(kA + "101 1" + kClose))},
      {"pending copy past the output", with(aaaa, 13, 3)},
      {"phrase past the output", Block('D', 5, FromBits(kA + kKnownA + kRun2 + "100 1" + kClose))},
      {"length code after a new byte", Block('D', 3, FromBits(kA + kRun2 + kClose))},
      {"length code before any item", Block('D', 3, FromBits(kRun2 + kClose))},
      // 216 + 1,020 more bytes, whose last 2 bits would come from beyond the guard byte.
      {"read past the guard byte", Block('D', 1238, FromBits(kA + kKnownA + "111110 1 00"))},
      {"fewer bytes than the input length", with(aaaa, 13, 5)},
  };
  Context decoder(0, 1);
  for (const Case& c : cases) {
    const Bytes held(c.block.begin(), c.block.end() - c.heldShort);
    Bytes out(static_cast<std::size_t>(c.room) + 8, 0xEE);
    std::int32_t length = -7;
    const std::int32_t rc =
        nucdcm_dc8(decoder.slot(), held.data(), static_cast<std::int32_t>(held.size()) - 2,
                   out.data(), c.room, length);
    EXPECT_EQ(rc, kDc8Corrupted) << c.what;
    EXPECT_EQ(length, 0) << c.what;
    EXPECT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0xEE)) << c.what;
  }
}

// A block held in exactly its own bytes: the guard byte is never read from or written to the
// caller's memory (the sanitizer build watches the bytes after it).
TEST(Dc8Decoder, GuardByteStaysVirtual) {
  Context coder(1, 1), decoder(0, 1);
  for (const Bytes& in : {Text("a"), Text("aaaa"), Text("aababcab")}) {
    const Bytes block = Compress(coder, in);
    const Bytes copy = block;
    const Decoded d = Decompress(decoder, block);
    EXPECT_EQ(d.out, in);
    EXPECT_EQ(block, copy);
  }
}
