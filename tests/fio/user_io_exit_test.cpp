#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fio/user_io_exit.h"
#include "support/heap.h"

namespace {

// Every routine refuses with -1 and reads or changes nothing else.
TEST(UserIoExit, EveryCallIsRefused) {
  std::uint8_t area[kUserIoAreaSize] = {};
  void* exitArea = area;
  char name[] = "some/file.dat";
  const std::string longName(255, 'n');
  const std::uint32_t before = rmGetHeapCount();
  for (char* n : {name, const_cast<char*>(longName.c_str())}) {
    std::int32_t rc = 0, openMode = 0, org = 1, format = 3, reclen = 80, blksize = 0, x1 = 11,
                 x2 = 22, x3 = 33, device = kUserIoDevice, disposition = 0,
                 nameLength = static_cast<std::int32_t>(std::strlen(n));
    std::uint32_t delimiter = 0x02000A0D;
    std::uint8_t fill[2] = {0x40, 1};
    usropn(exitArea, rc, openMode, n, org, format, reclen, blksize, x2, device, delimiter, fill,
           x3, disposition, x1, nameLength, n);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(exitArea, area);
    EXPECT_EQ(device, kUserIoDevice);
    EXPECT_EQ(format, 3);
    EXPECT_EQ(reclen, 80);
    EXPECT_EQ(delimiter, 0x02000A0Du);
    EXPECT_EQ(x1 + x2 + x3, 66);
  }
  std::int32_t rc = 0, length = 5, capacity = 100;
  std::uint8_t buffer[100] = {1, 2, 3};
  usrget(exitArea, rc, length, buffer, capacity);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(buffer[0], 1);
  rc = 0;
  usrput(exitArea, rc, length, buffer);
  EXPECT_EQ(rc, -1);
  rc = 0;
  usrcls(exitArea, rc);
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(exitArea, area);
  for (std::uint8_t b : area) ASSERT_EQ(b, 0);
  EXPECT_EQ(rmGetHeapCount(), before);  // nothing allocated
}

}  // namespace
