#include "crypt/aes.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <vector>

#include "hex.h"

namespace {

using torq::crypt::AesPath;

// Runs the test body under each AES path this processor has.
class AesPaths : public ::testing::TestWithParam<AesPath> {
 protected:
  void SetUp() override {
    if (GetParam() == AesPath::kNi && !torq::crypt::AesNiAvailable()) GTEST_SKIP() << "no AES instructions";
    old_ = torq::crypt::AesSelectPath(GetParam());
    ASSERT_EQ(torq::crypt::AesCurrentPath(), GetParam());
  }
  void TearDown() override { torq::crypt::AesSelectPath(old_); }
  AesPath old_ = AesPath::kPortable;
};

std::string Encrypt(const std::string& keyHex, const std::string& plainHex) {
  const auto key = Hex(keyHex), plain = Hex(plainHex);
  std::uint8_t schedule[kAesSchedule], out[16];
  aessch(schedule, key.data());
  aesenc(schedule, plain.data(), out);
  return ToHex(out, 16);
}

TEST_P(AesPaths, StandardExamples) {
  // Appendix C.1 and appendix B.
  EXPECT_EQ(Encrypt("000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff"),
            "69C4E0D86A7B0430D8CDB78070B4C55A");
  EXPECT_EQ(Encrypt("2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734"),
            "3925841D02DC09FBDC118597196A0B32");
}

TEST_P(AesPaths, InPlace) {
  const auto key = Hex("000102030405060708090a0b0c0d0e0f");
  auto block = Hex("00112233445566778899aabbccddeeff");
  std::uint8_t schedule[kAesSchedule];
  aessch(schedule, key.data());
  aesenc(schedule, block.data(), block.data());
  EXPECT_EQ(ToHex(block.data(), 16), "69C4E0D86A7B0430D8CDB78070B4C55A");
}

TEST_P(AesPaths, RandomKeysAndBlocksEqualOpenSsl) {
  std::mt19937_64 rng(GetParam() == AesPath::kNi ? 11 : 7);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ASSERT_NE(ctx, nullptr);
  for (int n = 0; n < 10000; ++n) {
    std::uint8_t key[16], in[16], ours[16], theirs[32], schedule[kAesSchedule];
    for (auto& b : key) b = static_cast<std::uint8_t>(rng());
    for (auto& b : in) b = static_cast<std::uint8_t>(rng());
    aessch(schedule, key);
    aesenc(schedule, in, ours);
    int outLen = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    ASSERT_EQ(EVP_EncryptUpdate(ctx, theirs, &outLen, in, 16), 1);
    ASSERT_EQ(outLen, 16);
    ASSERT_EQ(std::memcmp(ours, theirs, 16), 0) << "pair " << n;
  }
  EVP_CIPHER_CTX_free(ctx);
}

// Chains equal CBC encryption with the start value as IV: in one run (apart and in place), and
// block by block with aesencxor.
TEST_P(AesPaths, ChainsEqualOpenSslCbc) {
  std::mt19937_64 rng(GetParam() == AesPath::kNi ? 13 : 17);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ASSERT_NE(ctx, nullptr);
  for (std::size_t blocks = 0; blocks <= 40; ++blocks) {
    SCOPED_TRACE(blocks);
    std::uint8_t key[16], iv[16], schedule[kAesSchedule];
    for (auto& b : key) b = static_cast<std::uint8_t>(rng());
    for (auto& b : iv) b = static_cast<std::uint8_t>(rng());
    std::vector<std::uint8_t> in(16 * blocks), theirs(16 * blocks + 16), ours(16 * blocks);
    for (auto& b : in) b = static_cast<std::uint8_t>(rng());
    int outLen = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, key, iv), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    ASSERT_EQ(EVP_EncryptUpdate(ctx, theirs.data(), &outLen, in.data(), static_cast<int>(in.size())), 1);
    ASSERT_EQ(outLen, static_cast<int>(in.size()));
    theirs.resize(in.size());
    const std::vector<std::uint8_t> last =
        blocks ? std::vector<std::uint8_t>(theirs.end() - 16, theirs.end()) : std::vector<std::uint8_t>(iv, iv + 16);
    aessch(schedule, key);
    std::uint8_t chain[16];
    std::memcpy(chain, iv, 16);
    aeschain(schedule, chain, in.data(), ours.data(), blocks);
    EXPECT_EQ(ours, theirs);
    EXPECT_EQ(std::vector<std::uint8_t>(chain, chain + 16), last);
    std::vector<std::uint8_t> inPlace = in;
    std::memcpy(chain, iv, 16);
    aeschain(schedule, chain, inPlace.data(), inPlace.data(), blocks);
    EXPECT_EQ(inPlace, theirs);
    std::memcpy(chain, iv, 16);
    for (std::size_t b = 0; b < blocks; ++b) {
      aesencxor(schedule, chain, in.data() + 16 * b);
      ASSERT_EQ(std::memcmp(chain, theirs.data() + 16 * b, 16), 0) << b;
    }
  }
  EVP_CIPHER_CTX_free(ctx);
}

INSTANTIATE_TEST_SUITE_P(Both, AesPaths, ::testing::Values(AesPath::kPortable, AesPath::kNi),
                         [](const auto& info) { return info.param == AesPath::kNi ? "Ni" : "Portable"; });

TEST(Aes, KeyExpansionExample) {
  const auto key = Hex("2b7e151628aed2a6abf7158809cf4f3c");
  std::uint8_t schedule[kAesSchedule];
  aessch(schedule, key.data());
  EXPECT_EQ(ToHex(schedule, 16), "2B7E151628AED2A6ABF7158809CF4F3C");
  EXPECT_EQ(ToHex(schedule + 16, 4), "A0FAFE17");      // w[4]
  EXPECT_EQ(ToHex(schedule + 160, 16), "D014F9A8C9EE2589E13F0CC8B6630CA6");  // w[40..43]
}

}  // namespace
