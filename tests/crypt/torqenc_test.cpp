#include "crypt/torqenc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "support/crc.h"

namespace {

std::unique_ptr<PwdCipherState> Build(const std::string& password) {
  auto s = std::make_unique<PwdCipherState>();
  const std::int32_t n = static_cast<std::int32_t>(password.size());
  EXPECT_TRUE(trqpwdi(reinterpret_cast<const std::uint8_t*>(password.data()), &n, s.get()));
  return s;
}

// A frame with 8 seed bytes in front of p; p[0..3] is the key, the region follows.
struct Frame {
  std::vector<std::uint8_t> bytes;
  explicit Frame(std::int32_t n, unsigned seed = 1) : bytes(8 + 4 + static_cast<std::size_t>(n)) {
    std::mt19937 rng(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  }
  std::uint8_t* p() { return bytes.data() + 8; }
};

TEST(Torqenc, StateOfTorq) {
  auto s = Build("TORQ");
  EXPECT_EQ(calc_crc32(s->bytes, sizeof s->bytes), 0x21654E66u);
}

TEST(Torqenc, PasswordLengths) {
  auto s = std::make_unique<PwdCipherState>();
  const std::string p67(67, 'z');
  for (std::int32_t n : {0, 7, 8, 64, 66}) EXPECT_TRUE(trqpwdi(reinterpret_cast<const std::uint8_t*>(p67.data()), &n, s.get())) << n;
  for (std::int32_t n : {-1, 67}) EXPECT_FALSE(trqpwdi(reinterpret_cast<const std::uint8_t*>(p67.data()), &n, s.get())) << n;
  // Lengths 7 and 8 fill the first 256 bytes differently (m = 256 and 261), and a password
  // and its repetition give different states.
  EXPECT_NE(std::memcmp(Build("1234567")->bytes, Build("12345678")->bytes, 8192), 0);
  EXPECT_NE(std::memcmp(Build("ab")->bytes, Build("abab")->bytes, 8192), 0);
}

TEST(Torqenc, RoundTripsAndLeavesTheStateAsItWas) {
  auto s = Build("secret");
  const auto before = std::vector<std::uint8_t>(s->bytes, s->bytes + 8192);
  for (std::int32_t n : {9, 10, 12, 13, 27, 28, 31, 32, 33, 35, 36, 63, 64, 65, 100, 1000, 65536 + 7}) {
    Frame f(n, static_cast<unsigned>(n));
    const auto plain = f.bytes;
    trqpwdv(f.p(), &n, s.get());
    EXPECT_NE(f.bytes, plain) << n;
    EXPECT_EQ(std::memcmp(s->bytes, before.data(), 8192), 0) << n;
    // Bytes outside p[0 .. n + 3] never change.
    EXPECT_EQ(std::memcmp(f.bytes.data(), plain.data(), 8), 0) << n;
    trqpwde(f.p(), &n, s.get());
    EXPECT_EQ(f.bytes, plain) << n;
    EXPECT_EQ(std::memcmp(s->bytes, before.data(), 8192), 0) << n;
  }
}

TEST(Torqenc, ShortLengthsChangeNothing) {
  auto s = Build("secret");
  const auto before = std::vector<std::uint8_t>(s->bytes, s->bytes + 8192);
  for (std::int32_t n : {0, 1, 8}) {
    Frame f(n + 8);
    const auto plain = f.bytes;
    trqpwdv(f.p(), &n, s.get());
    EXPECT_EQ(f.bytes, plain);
    trqpwde(f.p(), &n, s.get());
    EXPECT_EQ(f.bytes, plain);
  }
  EXPECT_EQ(std::memcmp(s->bytes, before.data(), 8192), 0);
}

TEST(Torqenc, LengthNineChangesThirteenBytes) {
  auto s = Build("secret");
  std::int32_t n = 9;
  Frame f(n + 16);  // room behind the region to see that it stays
  const auto plain = f.bytes;
  trqpwdv(f.p(), &n, s.get());
  for (std::size_t i = 0; i < f.bytes.size(); ++i) {
    const bool inside = i >= 8 && i < 8 + 13;
    if (!inside) {
      EXPECT_EQ(f.bytes[i], plain[i]) << i;
    }
  }
  EXPECT_NE(std::memcmp(f.p(), plain.data() + 8, 4), 0);  // the key bytes change too
  EXPECT_NE(std::memcmp(f.p() + 4, plain.data() + 12, 9), 0);
  trqpwde(f.p(), &n, s.get());
  EXPECT_EQ(f.bytes, plain);
}

TEST(Torqenc, DeterministicAndSeedOnlyReachesTheFirst32Bytes) {
  auto s = Build("secret");
  std::int32_t n = 200;
  Frame a(n, 5), b(n, 5);
  trqpwdv(a.p(), &n, s.get());
  trqpwdv(b.p(), &n, s.get());
  EXPECT_EQ(a.bytes, b.bytes);
  Frame c(n, 5);
  c.bytes[0] ^= 0x40;  // p[-8]
  trqpwdv(c.p(), &n, s.get());
  EXPECT_NE(std::memcmp(a.p(), c.p(), 32), 0);
  EXPECT_EQ(std::memcmp(a.p() + 32, c.p() + 32, static_cast<std::size_t>(n) + 4 - 32), 0);
}

}  // namespace
