#include "crypt/aes_keys.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(AesKeys, WorkedValuesForTorqMemberOne) {
  const AesKeyArea a = Derive("TORQ", 1);
  EXPECT_EQ(ToHex(a.fileFinal, 16), "AD04253AA6DB474A3A0F07A07BF0B239");
  EXPECT_EQ(ToHex(a.memberFinal, 16), "E067CF34134976516042BEB604D788E1");
  EXPECT_EQ(calc_crc32(&a, sizeof a), 0x93AD8263u);
}

}  // namespace
