// nuccmp_adc: worked blocks, refused matrices, the data-part coder by environment, and blocks
// read back with nucdcm_adc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <numeric>
#include <optional>
#include <string>

#include "coders/adc_context.h"
#include "coders_test_util.h"
#include "support/heap.h"

namespace {

constexpr std::size_t kHead = 21;
constexpr std::size_t kCodedArea = 102656;  // the record interface's coded-block area

// Sets the two environment variables for one scope and restores them after it.
class Environment {
 public:
  Environment(const char* zedc, const char* fast) {
    Save("TQ_ZEDC_SUPPORT", zedc, saved_[0]);
    Save("TQ_FAST_SUPPORT", fast, saved_[1]);
  }
  ~Environment() {
    Restore("TQ_ZEDC_SUPPORT", saved_[0]);
    Restore("TQ_FAST_SUPPORT", saved_[1]);
  }

 private:
  static void Save(const char* name, const char* value, std::optional<std::string>& saved) {
    if (const char* old = std::getenv(name)) saved = old;
    if (value != nullptr) setenv(name, value, 1);
    else unsetenv(name);
  }
  static void Restore(const char* name, const std::optional<std::string>& saved) {
    if (saved) setenv(name, saved->c_str(), 1);
    else unsetenv(name);
  }
  std::optional<std::string> saved_[2];
};

struct Written {
  std::int32_t rc = -9;
  std::int32_t length = 0;
  Bytes block;  // the 21 head bytes, then `length` bytes from S
  std::uint32_t d = 0;
  std::uint32_t l = 0;
};

// A matrix buffer as the record interface hands it over, with its room behind the records.
struct MatrixBuffer {
  std::vector<std::uint32_t> words = std::vector<std::uint32_t>((kAdcLengthArea + kAdcMaxData + 264) / 4);
  std::uint8_t* records() { return reinterpret_cast<std::uint8_t*>(words.data()) + kAdcLengthArea; }
};

Written Write(AdcContext*& ctx, const std::vector<std::uint32_t>& lengths, const Bytes& data,
              std::int32_t d = -1) {
  MatrixBuffer m;
  std::copy(lengths.begin(), lengths.end(), m.words.begin());
  std::copy(data.begin(), data.end(), m.records());
  Bytes area(kHead + kCodedArea, 0xEE);
  Written w;
  w.length = d >= 0 ? d : static_cast<std::int32_t>(data.size());
  w.rc = nuccmp_adc(ctx, m.words.data(), static_cast<std::int32_t>(lengths.size()),
                    area.data() + kHead, w.length);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), m.records())) << "records changed";
  if (w.rc != 0) return w;
  w.block.assign(area.begin(), area.begin() + kHead + w.length);
  w.d = (std::uint32_t{area[0]} << 16) | (std::uint32_t{area[1]} << 8) | area[2];
  w.l = (std::uint32_t{area[kHead - 2]} << 8) | area[kHead - 1];
  return w;
}

Bytes Body(const Written& w) { return Bytes(w.block.begin() + kHead, w.block.end()); }
Bytes DataPart(const Written& w) { return Bytes(w.block.begin() + kHead + w.l, w.block.end()); }

// Reads a written block back and compares lengths and bytes.
void ExpectReadsBack(const Written& w, const std::vector<std::uint32_t>& lengths,
                     const Bytes& data) {
  AdcContextHolder reader;
  MatrixBuffer m;
  const auto n = static_cast<std::int32_t>(lengths.size());
  ASSERT_EQ(nucdcm_adc(reader.ctx, w.block.data() + kHead, w.length, m.words.data(), n), 0);
  EXPECT_TRUE(std::equal(lengths.begin(), lengths.end(), m.words.begin()));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), m.records()));
}

std::vector<std::uint32_t> Cut(std::size_t total, std::size_t records, std::uint32_t seed) {
  std::vector<std::uint32_t> lengths(records, 0);
  std::uint32_t x = seed | 1;
  for (std::size_t left = total; left > 0;) {
    x = x * 1103515245u + 12345u;
    const std::size_t take = std::min<std::size_t>(left, 1 + (x >> 16) % (2 * total / records + 1));
    lengths[(x >> 8) % records] += static_cast<std::uint32_t>(take);
    left -= take;
  }
  return lengths;
}

TEST(AdcBlockWrite, WorkedBlocks) {
  Environment env(nullptr, nullptr);
  const Bytes abab = Text("ABABABABABABABAB");
  struct Case {
    const char* name;
    int mode;
    std::vector<std::uint32_t> lengths;
    Bytes data;
    std::uint32_t d, l;
    const char* body;
  } cases[] = {
      {"two records ADC", 3, {8, 8}, abab, 16, 7, "00 C8 38 69 35 F0 00 41 80 FE D0 2F 00"},
      {"two records NDC", 4, {8, 8}, abab, 16, 7,
       "00 C8 38 69 35 F0 00 41 42 41 42 41 42 41 42 41 42 41 42 41 42 41 42"},
      {"no records", 3, {}, {}, 0, 0, ""},
      {"three empty records", 3, {0, 0, 0}, {}, 0, 5, "00 D8 83 E0 00"},
      {"one record, stored", 3, {5}, Text("hello"), 5, 4, "00 00 00 05 68 65 6C 6C 6F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AdcContextHolder h(1, c.mode);
    const Written w = Write(h.ctx, c.lengths, c.data);
    ASSERT_EQ(w.rc, 0);
    EXPECT_EQ(w.d, c.d);
    if (c.lengths.size() != 1) {
      EXPECT_EQ(w.l, c.l);
    }
    EXPECT_EQ(Body(w), Hex(c.body));
    EXPECT_EQ(static_cast<std::size_t>(w.length), Hex(c.body).size());
    if (!c.lengths.empty()) ExpectReadsBack(w, c.lengths, c.data);
  }
}

TEST(AdcBlockWrite, RefusesBlocksThatCouldNotBeReadBack) {
  AdcContextHolder h(1);
  const Bytes data(100, 'x');
  EXPECT_EQ(Write(h.ctx, {60, 30}, data).rc, -1);             // D is not the sum
  EXPECT_EQ(Write(h.ctx, {70000}, Bytes(65537, 'y'), 65537).rc, -1);  // D above 65,536
  EXPECT_EQ(Write(h.ctx, std::vector<std::uint32_t>(4097, 0), {}).rc, -1);
  EXPECT_EQ(Write(h.ctx, {100}, data, -1).rc, 0);
  h.ctx->self = nullptr;  // a block that is not what its slot says
  EXPECT_EQ(Write(h.ctx, {100}, data).rc, -1);
  h.ctx->self = h.ctx;
}

TEST(AdcBlockWrite, DataPartCoderByEnvironment) {
  enum Coder { kAdc, kDeflate, kFast };
  const struct {
    const char* zedc;
    const char* fast;
    Coder coder;
  } cases[] = {
      {nullptr, nullptr, kAdc}, {"ON", nullptr, kDeflate}, {"on", nullptr, kAdc},
      {"on", "ON", kFast},      {"ON", "ON", kDeflate},    {nullptr, "ON", kFast},
      {nullptr, "On", kAdc},
  };
  const Bytes text = Sample(20000, 3, false);
  const std::vector<std::uint32_t> textLengths = Cut(text.size(), 300, 1);
  const Bytes noise = Sample(3000, 4, true);
  const Bytes prefixes[] = {{}, Hex("1F 8B 08"), Hex("FF FA 51")};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zedc ? c.zedc : "-") + " " + (c.fast ? c.fast : "-"));
    Environment env(c.zedc, c.fast);
    AdcContextHolder h(1);
    const Written w = Write(h.ctx, textLengths, text);
    ASSERT_EQ(w.rc, 0);
    const Bytes part = DataPart(w);
    ASSERT_LT(part.size(), text.size());
    if (c.coder == kAdc) {
      EXPECT_NE(Bytes(part.begin(), part.begin() + 3), prefixes[kDeflate]);
      EXPECT_NE(Bytes(part.begin(), part.begin() + 3), prefixes[kFast]);
    } else {
      EXPECT_EQ(Bytes(part.begin(), part.begin() + 3), prefixes[c.coder]);
    }
    ExpectReadsBack(w, textLengths, text);
    // Incompressible bytes are stored under every coder.
    const Written s = Write(h.ctx, {1000, 2000}, noise);
    ASSERT_EQ(s.rc, 0);
    EXPECT_EQ(DataPart(s), noise);
    ExpectReadsBack(s, {1000, 2000}, noise);
    // NDC stores whatever the environment says.
    AdcContextHolder ndc(1, 4);
    const Written n = Write(ndc.ctx, textLengths, text);
    EXPECT_EQ(DataPart(n), text);
  }
}

TEST(AdcBlockWrite, FailingDeflateStoresTheData) {
  Environment env("ON", nullptr);
  AdcContextHolder h(1);
  const Bytes text = Sample(5000, 8, false);
  MatrixBuffer m;
  m.words[0] = 5000;
  std::copy(text.begin(), text.end(), m.records());
  Bytes area(kHead + kCodedArea);
  bool stored = false;
  for (std::uint32_t fail = 1; fail <= 6; ++fail) {
    std::int32_t length = 5000;
    rmHeapInjectFailure(fail);  // every allocation from here counts, so nothing else is made
    const std::int32_t rc = nuccmp_adc(h.ctx, m.words.data(), 1, area.data() + kHead, length);
    rmHeapInjectFailure(0);
    ASSERT_EQ(rc, 0);
    Written w;
    w.length = length;
    w.l = 4;
    w.block.assign(area.begin(), area.begin() + kHead + length);
    const Bytes part = DataPart(w);
    if (part.size() == text.size()) {
      EXPECT_EQ(part, text) << fail;
      stored = true;
    } else {
      EXPECT_EQ(Bytes(part.begin(), part.begin() + 3), Hex("1F 8B 08")) << fail;
    }
    ExpectReadsBack(w, {5000}, text);
  }
  EXPECT_TRUE(stored);
}

TEST(AdcBlockWrite, AdcCodeThatLooksLikeDeflateIsStored) {
  Environment env(nullptr, nullptr);
  AdcContextHolder h(1);
  Bytes data = Hex("1F A2 C3");
  data.insert(data.end(), 200, 'x');
  // The code itself begins 1F 8B 08 ...
  Bytes in(data);
  in.insert(in.end(), 4, 0);
  Bytes out(in.size() + 3);
  std::int32_t length = static_cast<std::int32_t>(data.size()), coded = 0;
  trqadcc(h.ctx, in.data(), length, out.data(), coded, 1000);
  ASSERT_EQ(coded, 10);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), Hex("1F 8B 08"));
  // ... so the block stores the data.
  const Written w = Write(h.ctx, {203}, data);
  ASSERT_EQ(w.rc, 0);
  EXPECT_EQ(DataPart(w), data);
  ExpectReadsBack(w, {203}, data);
}

TEST(AdcBlockWrite, RandomBlocksReadBack) {
  const char* environments[][2] = {{nullptr, nullptr}, {"ON", nullptr}, {nullptr, "ON"}};
  std::uint32_t seed = 11;
  for (const auto& e : environments) {
    Environment env(e[0], e[1]);
    for (int mode : {3, 4}) {
      AdcContextHolder h(1, mode);
      const std::size_t sizes[] = {0, 1, 77, 4096, 30000, 65536};
      const std::size_t counts[] = {1, 2, 17, 4095, 4096};
      for (std::size_t size : sizes) {
        for (std::size_t n : counts) {
          ++seed;
          const Bytes data = Sample(size, seed, seed % 3 == 0);
          const std::vector<std::uint32_t> lengths = Cut(size, n, seed);
          const Written w = Write(h.ctx, lengths, data);
          ASSERT_EQ(w.rc, 0) << size << " " << n;
          EXPECT_LE(static_cast<std::size_t>(w.length), w.l + size);
          ExpectReadsBack(w, lengths, data);
        }
      }
    }
  }
}

}  // namespace
