// DC8 round trips: generated data of many shapes and sizes, and record blocks laid out as the
// record interface hands them over, in both character codes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "coders/dc8_block.h"
#include "dc8_test_util.h"
#include "support/code_tables.h"

using namespace dc8test;

namespace {

enum Shape { kTextLines, kCards, kRuns, kRandom, kPeriodic, kSmallAlphabet, kPhrases, kAllBytes };
const char* const kShapeNames[] = {"text",     "cards",          "runs",    "random",
                                   "periodic", "small alphabet", "phrases", "all bytes"};

const char* const kWords[] = {"move", "to",     "perform", "until",   "add",    "giving",
                              "if",   "else",   "end-if",  "compute", "record", "the",
                              "of",   "and",    "display", "zero",    "value",  "pic"};

std::string TextLine(std::mt19937& rng) {
  std::string line;
  const std::size_t target = 5 + rng() % 70;
  while (line.size() < target) {
    if (!line.empty()) line += ' ';
    line += kWords[rng() % std::size(kWords)];
  }
  return line;
}

// An 80-column EBCDIC card: text from column 8, blanks, a sequence number.
Bytes Card(std::mt19937& rng, unsigned sequence) {
  std::string line = "       " + TextLine(rng);
  for (char& ch : line) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  line.resize(72, ' ');
  char seq[9];
  std::snprintf(seq, sizeof seq, "%08u", sequence);
  line += seq;
  Bytes card;
  for (char ch : line) card.push_back(ca2e[static_cast<std::uint8_t>(ch)]);
  return card;
}

Bytes Generate(Shape shape, std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(n + 128);
  const std::size_t period = 1 + rng() % 300;
  const unsigned alphabet = 2 + rng() % 15;
  unsigned sequence = 100;
  while (b.size() < n) {
    switch (shape) {
      case kTextLines: {
        const std::string line = TextLine(rng) + "\n";
        b.insert(b.end(), line.begin(), line.end());
        break;
      }
      case kCards: {
        const Bytes card = Card(rng, sequence += 100);
        b.insert(b.end(), card.begin(), card.end());
        break;
      }
      case kRuns: b.insert(b.end(), 1 + rng() % 5000, static_cast<std::uint8_t>(rng())); break;
      case kRandom: b.push_back(static_cast<std::uint8_t>(rng())); break;
      case kPeriodic:
        b.push_back(b.size() < period ? static_cast<std::uint8_t>(rng()) : b[b.size() - period]);
        break;
      case kSmallAlphabet: b.push_back(static_cast<std::uint8_t>('A' + rng() % alphabet)); break;
      case kPhrases:
        // Any byte value, or a copy of an earlier stretch: many distinct bytes far back in the
        // move-to-front table, in a code that still pays.
        if (b.size() < 16 || rng() % 4 == 0) {
          b.push_back(static_cast<std::uint8_t>(rng()));
        } else {
          const std::size_t from = rng() % b.size(), len = 3 + rng() % 40;
          for (std::size_t k = 0; k < len; ++k) b.push_back(b[from + k]);
        }
        break;
      case kAllBytes:
        // Every byte value once (16 raw bytes, every nibble bucket taken over), then again.
        for (int v = 0; v < 256; ++v) b.push_back(static_cast<std::uint8_t>((v * 17 + v / 16) & 0xFF));
        break;
    }
  }
  b.resize(n);
  return b;
}

// Codes input with the least room, decodes it into exactly its length, and compares. Returns
// the kind byte.
std::uint8_t RoundTrip(Context& coder, Context& decoder, const Bytes& input, const std::string& what) {
  std::int32_t rc = -9;
  const Bytes block = Compress(coder, input, &rc);
  EXPECT_EQ(rc, 0) << what;
  if (rc != 0) return 0;
  EXPECT_LE(block.size(), input.size() + kDc8HeaderSize + 3) << what;
  const Decoded d = Decompress(decoder, block, static_cast<std::int32_t>(input.size()));
  EXPECT_EQ(d.rc, 0) << what;
  EXPECT_TRUE(d.out == input) << what;
  return block[3];
}

// The record interface's DC8 input: the records, their 4-byte big-endian lengths from the last
// record to the first, then the count.
Bytes RecordBlock(const std::vector<Bytes>& records) {
  Bytes b;
  for (const Bytes& r : records) b.insert(b.end(), r.begin(), r.end());
  auto put32 = [&b](std::size_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
  };
  for (auto r = records.rbegin(); r != records.rend(); ++r) put32(r->size());
  put32(records.size());
  return b;
}

}  // namespace

TEST(Dc8RoundTrip, ShapesAndSizes) {
  const std::size_t sizes[] = {0, 1, 2, 3, 7, 15, 16, 17, 100, 1000, 4311, 4313, 10000, 65535};
  for (int charCode : {0, 1}) {
    Context coder(1, charCode), decoder(0, charCode);
    for (int shape = kTextLines; shape <= kAllBytes; ++shape) {
      for (std::size_t n : sizes) {
        if (shape == kRandom && n > 65521) n = 65521;  // a stored block's length word limit
        const Bytes input = Generate(static_cast<Shape>(shape), n, static_cast<unsigned>(n + shape));
        const std::uint8_t kind = RoundTrip(coder, decoder, input,
                                            std::string(kShapeNames[shape]) + " " + std::to_string(n));
        // The shapes with repeats pay from a thousand bytes on: the phrase code is what comes back.
        if (n >= 1000 && shape != kRandom) {
          EXPECT_EQ(kind, charCode ? 0x44 : 0xC4) << kShapeNames[shape] << " " << n;
        }
      }
    }
  }
}

TEST(Dc8RoundTrip, ManySeeds) {
  Context coder(1, 1), decoder(0, 1);
  for (unsigned seed = 0; seed < 300; ++seed) {
    const auto shape = static_cast<Shape>(seed % 8);
    const std::size_t n = seed * 7919 % 6000;
    RoundTrip(coder, decoder, Generate(shape, n, seed), std::string(kShapeNames[shape]) + " seed " + std::to_string(seed));
  }
}

TEST(Dc8RoundTrip, SixteenthRawByteAndTheNibbleAfterIt) {
  // Sixteen bytes of sixteen high nibbles (the last takes bucket index 0), then bytes of the
  // last nibble sent through that bucket, then repeats so that the phrase code pays.
  Bytes input;
  for (int h = 0; h < 16; ++h) input.push_back(static_cast<std::uint8_t>(h * 16 + 3));
  for (int v : {0xF1, 0xF7, 0xF3, 0x05, 0xF1}) input.push_back(static_cast<std::uint8_t>(v));
  const Bytes head = input;
  for (int i = 0; i < 20; ++i) input.insert(input.end(), head.begin(), head.end());
  Context coder(1, 1), decoder(0, 1);
  EXPECT_EQ(RoundTrip(coder, decoder, input, "sixteen nibbles"), 0x44);
}

TEST(Dc8RoundTrip, RecordBlocksAsTheRecordInterfaceLaysThemOut) {
  for (int charCode : {0, 1}) {
    Context coder(1, charCode), decoder(0, charCode);
    for (std::size_t room : {2048u, 65500u}) {
      std::mt19937 rng(static_cast<unsigned>(room + charCode));
      std::vector<Bytes> records;
      std::size_t used = 0;
      unsigned sequence = 0;
      for (;;) {
        Bytes r;
        if (charCode == 0) {
          r = Card(rng, sequence += 10);
        } else {
          const std::string line = TextLine(rng);
          r.assign(line.begin(), line.end());
        }
        if (used + r.size() + 4 + 3 >= room) break;
        used += r.size() + 4;
        records.push_back(std::move(r));
      }
      records.push_back({});  // an empty record too
      const Bytes block = RecordBlock(records);
      EXPECT_EQ(RoundTrip(coder, decoder, block, "records " + std::to_string(room)),
                charCode ? 0x44 : 0xC4);
    }
    // An empty matrix is coded too: only the count.
    RoundTrip(coder, decoder, RecordBlock({}), "empty matrix");
  }
}

// One context codes block after block; its child index is told apart by block, also after the
// marks come round.
TEST(Dc8RoundTrip, OneContextForManyBlocks) {
  Context coder(1, 1), decoder(0, 1);
  const Bytes a = Text("abababababcabcabcab"), b = Text("the cat and the hat and the bat");
  for (int i = 0; i < 65540; ++i) {
    const Bytes& input = i % 2 ? a : b;
    const Bytes block = Compress(coder, input);
    if (i % 1000 == 0 || i > 65530) {
      EXPECT_EQ(Decompress(decoder, block).out, input) << i;
    }
  }
}
