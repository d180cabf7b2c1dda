#include "crypt/mixing.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>

#include "hex.h"

namespace {

void EvpEncrypt(const std::uint8_t* key, const std::uint8_t* in, std::uint8_t* out) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int n = 0;
  std::uint8_t buf[32];
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, buf, &n, in, 16);
  EVP_CIPHER_CTX_free(ctx);
  std::memcpy(out, buf, 16);
}

TEST(Mixing, WrapPExample) {
  auto b = Hex("000102030405060708090A0B0C0D0E0F");
  WrapP(b.data());
  EXPECT_EQ(ToHex(b.data(), 16), "8687078418505860E080A0C004100002");
}

TEST(Mixing, PassPhraseChainsEachBlockUnderTheOneBefore) {
  std::mt19937 rng(3);
  std::uint8_t s[kMixArea], expect[kMixArea];
  for (auto& b : s) b = static_cast<std::uint8_t>(rng());
  std::memcpy(expect, s, sizeof s);
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t* key = expect + 16 * ((i + 4) % 5);
    EvpEncrypt(key, expect + 16 * i, expect + kMixWork);
    for (int j = 0; j < 16; ++j) expect[16 * i + j] ^= expect[kMixWork + j];
  }
  PassPhrase(s);
  EXPECT_EQ(ToHex(s, kMixArea), ToHex(expect, kMixArea));
}

TEST(Mixing, PassPhraseSpread) {
  std::uint8_t base[kMixArea] = {};
  for (int i = 0; i < 80; ++i) base[i] = static_cast<std::uint8_t>(i * 7);
  std::uint8_t plain[kMixArea], b4[kMixArea], b3[kMixArea];
  std::memcpy(plain, base, sizeof base);
  std::memcpy(b4, base, sizeof base);
  std::memcpy(b3, base, sizeof base);
  b4[64] ^= 1;
  b3[48] ^= 1;
  PassPhrase(plain);
  PassPhrase(b4);
  PassPhrase(b3);
  for (int blk = 0; blk < 5; ++blk) EXPECT_NE(std::memcmp(plain + 16 * blk, b4 + 16 * blk, 16), 0) << blk;
  EXPECT_EQ(std::memcmp(plain, b3, 48), 0);
  EXPECT_NE(std::memcmp(plain + 48, b3 + 48, 32), 0);
}

}  // namespace
