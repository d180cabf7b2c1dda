// The ADC coder: worked streams byte for byte, keys, blocks, and round trips through the decoder.
#include <gtest/gtest.h>

#include <cstring>

#include "coders/adc_coder.h"
#include "coders/adc_coder_steps.h"
#include "coders_test_util.h"

namespace {

// Codes input (room: no bound unless given) and checks that the 4 bytes behind it come back.
// Empty when the coder gave up.
Bytes Code(AdcContext*& ctx, const Bytes& input, std::uint32_t room = 1u << 18) {
  Bytes in(input);
  const Bytes tail = {0x11, 0x22, 0x33, 0x44};
  in.insert(in.end(), tail.begin(), tail.end());
  Bytes out(std::min<std::size_t>(room, 1u << 18) + 3);
  const std::int32_t coded = adc::encode(ctx->coder, in.data(),
                                         static_cast<std::int32_t>(input.size()), out.data(), room);
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), in.end() - 4)) << "tail not restored";
  EXPECT_TRUE(std::equal(input.begin(), input.end(), in.begin()));
  if (coded < 0) return {};
  out.resize(static_cast<std::size_t>(coded));
  return out;
}

Bytes Decode(AdcContext*& ctx, const Bytes& code, std::uint32_t room) {
  Bytes out(room + 8);
  std::int32_t rc = -9;
  std::uint32_t inLength = static_cast<std::uint32_t>(code.size());
  std::int32_t outLength = -1;
  trqadcd(ctx, rc, code.data(), inLength, out.data(), outLength, room);
  EXPECT_EQ(rc, 0);
  if (rc != 0 || outLength < 0) return {};
  out.resize(static_cast<std::size_t>(outLength));
  return out;
}

struct StreamCase {
  const char* name;
  Bytes input;
  const char* code;
};

TEST(AdcCoder, TableKeys) {
  EXPECT_EQ(adc::pairKey(0x7F, 0xFF), 32767u);
  EXPECT_EQ(adc::pairKey(0xFF, 0xFF), 32767u);
  EXPECT_EQ(adc::pairKey(0xFF, 0xFF) + adc::kPairProbes * adc::kPairProbeStep, 33332u);
  EXPECT_EQ(adc::pairKey(0x40, 0x40), 16448u);
  EXPECT_EQ(adc::tripleKey('A', 'B', 'C'), 31249u);
  EXPECT_EQ(adc::endKey(5000), 7232u);
  EXPECT_EQ(adc::childKey(3, 100, 0x41), 4239u);
  // The highest slots any probe sequence reaches stay inside the table.
  EXPECT_LT(32761u + adc::kSearchBudget * adc::kSearchStep, adc::kPairSlots);
  EXPECT_LT(33332u + adc::kSearchBudget * adc::kSearchStep, adc::kPairSlots);
}

TEST(AdcCoder, IncompressibleInputGivesUpOnlyPastSixteenKilobytes) {
  AdcContextHolder h(1);
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    EXPECT_FALSE(Code(h.ctx, Sample(16000, seed, true)).empty()) << seed;
    EXPECT_TRUE(Code(h.ctx, Sample(20000, seed, true)).empty()) << seed;
  }
  // trqadcc reports a give-up as the input length and gives the tail back.
  Bytes in = Sample(20000, 9, true);
  in.insert(in.end(), {1, 2, 3, 4});
  Bytes out(20003);
  std::int32_t length = 20000, coded = -1;
  trqadcc(h.ctx, in.data(), length, out.data(), coded, 1u << 20);
  EXPECT_EQ(coded, 20000);
  EXPECT_EQ(Bytes(in.end() - 4, in.end()), Bytes({1, 2, 3, 4}));
}

TEST(AdcCoder, StopsWhenTheOutputReachesItsRoom) {
  AdcContextHolder h(1);
  const Bytes input = Sample(3000, 5, false);
  const Bytes code = Code(h.ctx, input);
  ASSERT_FALSE(code.empty());
  const auto size = static_cast<std::uint32_t>(code.size());
  EXPECT_EQ(Code(h.ctx, input, size + 1), code);
  EXPECT_TRUE(Code(h.ctx, input, size).empty());
  EXPECT_TRUE(Code(h.ctx, input, size / 2).empty());
  EXPECT_TRUE(Code(h.ctx, Text("AB"), 2).empty());
}

TEST(AdcCoder, PeriodTwoIsOneReferenceToTheFirstPair) {
  AdcContextHolder h(1);
  for (int n = 8; n <= 400; n += 7) {
    Bytes input;
    for (int i = 0; i < n; ++i) input.push_back(i % 2 ? 'B' : 'A');
    const Bytes code = Code(h.ctx, input);
    // First byte, a run of one literal, one extended reference, the end code.
    EXPECT_LE(code.size(), 8u) << n;
    EXPECT_EQ(Bytes(code.begin(), code.begin() + 3), Hex("41 80 FE")) << n;
    EXPECT_EQ(Decode(h.ctx, code, static_cast<std::uint32_t>(n)), input) << n;
  }
}

TEST(AdcCoder, WorkedStreams) {
  const StreamCase cases[] = {
      {"one byte", Text("A"), "41 F0 00"},
      {"two bytes", Text("AB"), "41 80 FF 80"},
      {"copy into itself", Text("AAAA"), "41 F0 7C 00"},
      {"sixteen A", Repeat("A", 16), "41 DA 83 E0 00"},
      {"period two", Text("ABABABAB"), "41 80 FE 80 BC 00"},
      {"predictions and disturbances", Text("AxAyAzAwAvAuA"),
       "41 81 F8 1F 08 1C 06 72 07 E2 80 3F 28 F0 00"},
  };
  AdcContextHolder h(1);
  for (const auto& c : cases) {
    EXPECT_EQ(Code(h.ctx, c.input), Hex(c.code)) << c.name;
  }
}

}  // namespace

namespace {

enum class Kind { kText, kCards, kRuns, kRandom, kPeriodic, kMutated };
constexpr Kind kKinds[] = {Kind::kText,   Kind::kCards,    Kind::kRuns,
                           Kind::kRandom, Kind::kPeriodic, Kind::kMutated};

struct Rng {
  std::uint64_t x;
  std::uint32_t operator()() {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(x >> 33);
  }
};

Bytes Make(Kind kind, std::size_t n, std::uint32_t seed) {
  Rng rng{seed * 7919ull + 3};
  Bytes out;
  switch (kind) {
    case Kind::kText:
      return Sample(n, seed, false);
    case Kind::kRandom:
      return Sample(n, seed, true);
    case Kind::kCards:
      while (out.size() < n) {
        Bytes card(80, 0x40);
        const std::size_t words = rng() % 8;
        std::size_t at = 7;
        for (std::size_t w = 0; w < words && at < 70; ++w) {
          const std::size_t len = 2 + rng() % 8;
          for (std::size_t i = 0; i < len && at < 71; ++i) card[at++] = 0xC1 + rng() % 9;
          ++at;
        }
        for (int i = 72; i < 80; ++i) card[static_cast<std::size_t>(i)] = 0xF0 + rng() % 10;
        out.insert(out.end(), card.begin(), card.end());
      }
      break;
    case Kind::kRuns:
      while (out.size() < n) {
        const std::uint8_t b = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : 0x40);
        out.insert(out.end(), 1 + rng() % (rng() % 2 ? 6 : 300), b);
      }
      break;
    case Kind::kPeriodic: {
      const std::size_t period = 1 + rng() % (rng() % 2 ? 9 : 1100);
      Bytes unit(period);
      for (auto& b : unit) b = static_cast<std::uint8_t>(rng() % 3 ? 'a' + rng() % 4 : rng());
      while (out.size() < n) out.insert(out.end(), unit.begin(), unit.end());
      break;
    }
    case Kind::kMutated: {
      out = Sample(n, seed, false);
      const std::size_t gap = 2 + rng() % 40;
      for (std::size_t i = rng() % gap; i < out.size(); i += 1 + rng() % gap)
        out[i] = static_cast<std::uint8_t>(rng() % 2 ? out[i] + 1 : rng());
      break;
    }
  }
  out.resize(n);
  return out;
}

TEST(AdcCoder, RoundTripsThroughTheDecoder) {
  AdcContextHolder h(1);
  const std::size_t sizes[] = {1, 2, 3, 4, 5, 7, 8, 13, 31, 100, 1000, 4097, 20000, 65536};
  std::uint32_t seed = 1;
  for (Kind kind : kKinds) {
    for (std::size_t n : sizes) {
      for (int rep = 0; rep < 3; ++rep, ++seed) {
        const Bytes input = Make(kind, n, seed);
        const Bytes code = Code(h.ctx, input);
        if (code.empty()) continue;  // gave up: stored by the block writer
        ASSERT_EQ(Decode(h.ctx, code, static_cast<std::uint32_t>(n)), input)
            << "kind " << static_cast<int>(kind) << " size " << n << " seed " << seed;
      }
    }
  }
  // Every rare road of the coder was walked on the way.
  const adc::CoderCounts& k = h.ctx->coder.counts;
  EXPECT_GT(k.classGrowths, 0u);
  EXPECT_GT(k.entryWraps, 0u);
  EXPECT_GT(k.runForms, 0u);
  EXPECT_GT(k.leadBytes, 0u);
  EXPECT_GT(k.relocations, 0u);
  EXPECT_GT(k.giveUps, 0u);
  EXPECT_GT(k.disturbances, 0u);
  EXPECT_GT(k.continuations, 0u);
}

// Nothing of an earlier input may leak into the next: the coder keeps its tables in the
// context and clears only what it must. Each input codes the same in a fresh context as in one
// that has just coded long inputs of every kind (phrase list wrapped, predictions everywhere).
TEST(AdcCoder, EarlierInputsChangeNoByteOfTheNext) {
  AdcContextHolder used(1);
  std::uint32_t seed = 100;
  for (Kind kind : kKinds) {
    for (std::size_t n : {std::size_t{3}, std::size_t{500}, std::size_t{9000}, std::size_t{65536}}) {
      const Bytes input = Make(kind, n, seed++);
      AdcContextHolder fresh(1);
      const Bytes expected = Code(fresh.ctx, input);
      for (Kind other : kKinds) Code(used.ctx, Make(other, 65536, seed++));
      EXPECT_EQ(Code(used.ctx, input), expected) << "kind " << static_cast<int>(kind) << " size " << n;
    }
  }
}

}  // namespace
