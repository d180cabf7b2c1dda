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

TEST(Torqenc, StateOfTorq) {
  auto s = Build("TORQ");
  EXPECT_EQ(calc_crc32(s->bytes, sizeof s->bytes), 0x21654E66u);
}

}  // namespace
