#include "crypt/aes_keys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hex.h"
#include "support/crc.h"

namespace {

AesKeyArea Derive(const std::string& password, std::uint32_t member) {
  AesKeyArea a{};
  EXPECT_TRUE(faesi(&a, reinterpret_cast<const std::uint8_t*>(password.data()),
                    static_cast<std::uint32_t>(password.size())));
  faesm(&a, member);
  return a;
}

// The file part: everything up to the member values.
constexpr std::size_t kFilePart = offsetof(AesKeyArea, memberValues);

TEST(AesKeys, WorkedValuesForTorqMemberOne) {
  const AesKeyArea a = Derive("TORQ", 1);
  EXPECT_EQ(ToHex(a.fileFinal, 16), "AD04253AA6DB474A3A0F07A07BF0B239");
  EXPECT_EQ(ToHex(a.memberFinal, 16), "E067CF34134976516042BEB604D788E1");
  EXPECT_EQ(calc_crc32(&a, sizeof a), 0x93AD8263u);
  EXPECT_EQ(std::memcmp(a.fileChain, a.fileFinal, 16), 0);
  EXPECT_EQ(std::memcmp(a.memberChain, a.memberFinal, 16), 0);
}

TEST(AesKeys, PasswordLengthsAndRepeats) {
  // A 64-byte password (the constant unrotated), an empty one, and two passwords with the
  // same repeated pattern: all key material differs.
  const std::string p64(64, 'x');
  const AesKeyArea longest = Derive(p64, 1), empty = Derive("", 1), ab = Derive("ab", 1),
                   abab = Derive("abab", 1), ab32 = Derive(std::string(32, 'a') + std::string(32, 'b'), 1);
  const AesKeyArea* all[] = {&longest, &empty, &ab, &abab, &ab32};
  for (int i = 0; i < 5; ++i)
    for (int j = i + 1; j < 5; ++j) EXPECT_NE(std::memcmp(all[i], all[j], kFilePart), 0) << i << " " << j;
  // The same password gives the same keys: no salt.
  const AesKeyArea again = Derive("ab", 1);
  EXPECT_EQ(std::memcmp(&ab, &again, sizeof ab), 0);
}

TEST(AesKeys, LongerPasswordRefusedAndAreaCleared) {
  AesKeyArea a = Derive("TORQ", 1);
  const std::string p65(65, 'y');
  EXPECT_FALSE(faesi(&a, reinterpret_cast<const std::uint8_t*>(p65.data()), 65));
  const AesKeyArea zero{};
  EXPECT_EQ(std::memcmp(&a, &zero, sizeof a), 0);
}

TEST(AesKeys, MemberParts) {
  AesKeyArea a = Derive("TORQ", 1);
  const AesKeyArea one = a;
  faesm(&a, 2);
  EXPECT_EQ(std::memcmp(&a, &one, kFilePart), 0);  // the file part stays
  EXPECT_NE(std::memcmp(a.memberValues, one.memberValues, sizeof a - kFilePart), 0);
  // Every member-part field differs between members 1 and 2.
  EXPECT_NE(std::memcmp(a.memberTable, one.memberTable, 256), 0);
  EXPECT_NE(std::memcmp(a.memberFinal, one.memberFinal, 16), 0);
  // Deriving a member again restarts its chain and gives the same part.
  faesm(&a, 1);
  EXPECT_EQ(std::memcmp(&a, &one, sizeof a), 0);
  a.memberChain[0] ^= 1;
  faesm(&a, 1);
  EXPECT_EQ(std::memcmp(&a, &one, sizeof a), 0);
}

}  // namespace
