#include "crypt/password_setup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypt/wipe.h"
#include "support/heap.h"

namespace {

const auto* Pw(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }
std::int32_t Len(const std::string& s) { return static_cast<std::int32_t>(s.size()); }

TEST(PasswordSetup, LengthLimitsPerMode) {
  AesKeyArea keys{};
  const AesKeyArea zero{};
  PwdCipherState* state = nullptr;
  const std::string p65(65, 'a'), p66(66, 'a'), p67(67, 'a');
  EXPECT_EQ(CryptSetPassword(kCryptAes, false, 1, Pw(p65), Len(p65), &state, &keys), 29);
  EXPECT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw(p67), Len(p67), &state, &keys), 29);
  EXPECT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw(p67), -1, &state, &keys), 29);
  EXPECT_EQ(state, nullptr);
  EXPECT_EQ(std::memcmp(&keys, &zero, sizeof keys), 0);
  EXPECT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw(p66), Len(p66), &state, &keys), 0);
  EXPECT_NE(state, nullptr);
  EXPECT_EQ(CryptSetPassword(kCryptAes, false, 1, Pw(p66), 64, &state, &keys), 0);
  EXPECT_EQ(state, nullptr);  // the TORQenc state of the first set-up is gone
  EXPECT_NE(std::memcmp(&keys, &zero, sizeof keys), 0);
  EXPECT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw(p66), 1, &state, &keys), 0);
  EXPECT_EQ(std::memcmp(&keys, &zero, sizeof keys), 0);  // and the AES keys of the second
  CryptRelease(&state, &keys);
  EXPECT_EQ(state, nullptr);
}

TEST(PasswordSetup, AesReadingDerivesTheMemberAtOnce) {
  AesKeyArea writing{}, reading{}, expect{};
  PwdCipherState* state = nullptr;
  ASSERT_EQ(CryptSetPassword(kCryptAes, false, 3, Pw("pw"), 2, &state, &writing), 0);
  ASSERT_EQ(CryptSetPassword(kCryptAes, true, 3, Pw("pw"), 2, &state, &reading), 0);
  faesi(&expect, Pw("pw"), 2);
  const AesKeyArea fileOnly = expect;
  faesm(&expect, 3);
  EXPECT_EQ(std::memcmp(&writing, &fileOnly, sizeof writing), 0);
  EXPECT_EQ(std::memcmp(&reading, &expect, sizeof reading), 0);
  EXPECT_EQ(state, nullptr);
}

// Which key stores were wiped (no allocation here: the heap count is checked).
bool gStateWiped = false, gKeysWiped = false, gAllZero = true;
void Probe(const void* p, std::size_t n) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  for (std::size_t i = 0; i < n; ++i) gAllZero = gAllZero && b[i] == 0;
  gStateWiped = gStateWiped || n == sizeof(PwdCipherState);
  gKeysWiped = gKeysWiped || n == sizeof(AesKeyArea);
}

TEST(PasswordSetup, RepeatedSetupAndReleaseWipeAndFree) {
  const std::uint32_t heapBefore = rmGetHeapCount();
  AesKeyArea keys{};
  PwdCipherState* state = nullptr;
  ASSERT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw("one"), 3, &state, &keys), 0);
  gAllZero = true;
  const auto old = torq::crypt::SetWipeProbe(Probe);
  ASSERT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw("two"), 3, &state, &keys), 0);
  EXPECT_TRUE(gStateWiped);  // the first state, before its release
  gStateWiped = false;
  ASSERT_EQ(CryptSetPassword(kCryptAes, true, 1, Pw("three"), 5, &state, &keys), 0);
  EXPECT_TRUE(gStateWiped);
  gStateWiped = false;
  gKeysWiped = false;
  CryptRelease(&state, &keys);
  torq::crypt::SetWipeProbe(old);
  EXPECT_TRUE(gAllZero);
  EXPECT_TRUE(gKeysWiped);
  EXPECT_EQ(state, nullptr);
  EXPECT_EQ(rmGetHeapCount(), heapBefore);
}

TEST(PasswordSetup, NoMemory) {
  AesKeyArea keys{};
  PwdCipherState* state = nullptr;
  rmHeapInjectFailure(1);
  EXPECT_EQ(CryptSetPassword(kCryptTorqenc, false, 1, Pw("x"), 1, &state, &keys), -1);
  rmHeapInjectFailure(0);
  EXPECT_EQ(state, nullptr);
}

}  // namespace
