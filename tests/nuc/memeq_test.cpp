#include <gtest/gtest.h>

#include "nuc/memeq.h"
#include "nuc_test_util.h"

using namespace nuctest;

TEST(Memeq, ForwardScanFindsFirstDifferentByte) {
  for (std::size_t run = 1; run < 40; ++run) {
    Bytes b = Cat({Repeat('x', run), Text("y"), Repeat('z', 3)});
    EXPECT_EQ(memeqi(b.data()), b.data() + run) << run;
  }
}

TEST(Memeq, BackwardScanFindsNearestDifferentByte) {
  for (std::size_t run = 1; run < 40; ++run) {
    Bytes b = Cat({Repeat('z', 3), Text("y"), Repeat('x', run)});
    EXPECT_EQ(memeqd(b.data() + b.size() - 1), b.data() + 3) << run;
  }
}
