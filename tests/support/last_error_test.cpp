#include "support/last_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

TEST(LastError, RecordsCodeAndHint) {
  TorqClearErrors();
  EXPECT_EQ(TorqSetLastError(47, "torqdef.dat"), 47);
  EXPECT_EQ(GetLastTorqError(), 47);
  EXPECT_STREQ(GetLastTorqErrorHint(), "torqdef.dat");
  EXPECT_STREQ(LastTorqHint, "torqdef.dat");
  EXPECT_EQ(GetLastSysError(), 0u);
  EXPECT_STREQ(GetLastSysErrorHint(), "");
  EXPECT_EQ(TorqSetLastSysError(5, "x"), 5u);
  EXPECT_EQ(GetLastSysError(), 5u);
  EXPECT_STREQ(GetLastSysErrorHint(), "x");
  EXPECT_EQ(LastErrorType, 3u);
}

TEST(LastError, OnlyMinusOneTakesTheThreadsError) {
  errno = ENOENT;
  EXPECT_EQ(TorqSetLastSysError(-1, "a"), static_cast<std::uint32_t>(ENOENT));
  EXPECT_EQ(GetLastSysError(), static_cast<std::uint32_t>(ENOENT));
  errno = ENOENT;
  EXPECT_EQ(TorqSetLastSysError(-2, "a"), 0xFFFFFFFEu);
  EXPECT_EQ(GetLastSysError(), 0xFFFFFFFEu);
}

TEST(LastError, ClearingHidesEverything) {
  TorqSetLastError(12, "one");
  TorqSetLastSysError(13, "two");
  TorqClearTorqError();
  EXPECT_EQ(GetLastTorqError(), 0);
  EXPECT_STREQ(GetLastTorqErrorHint(), "");
  EXPECT_EQ(GetLastSysError(), 13u);
  TorqSetLastError(12, "one");
  TorqClearSysError();
  EXPECT_EQ(GetLastSysError(), 0u);
  EXPECT_STREQ(GetLastSysErrorHint(), "");
  EXPECT_EQ(GetLastTorqError(), 12);
  TorqSetLastSysError(13, "two");
  TorqClearErrors();
  EXPECT_EQ(GetLastTorqError(), 0);
  EXPECT_EQ(GetLastSysError(), 0u);
  EXPECT_STREQ(GetLastTorqErrorHint(), "");
  EXPECT_STREQ(GetLastSysErrorHint(), "");
}

TEST(LastError, HintsAreCopiedNotKept) {
  char hint[16] = "first";
  TorqSetLastError(1, hint);
  TorqSetLastSysError(2, hint);
  std::strcpy(hint, "second");
  EXPECT_STREQ(GetLastTorqErrorHint(), "first");
  EXPECT_STREQ(GetLastSysErrorHint(), "first");
}

TEST(LastError, NullAndOverlongHints) {
  TorqSetLastError(3, nullptr);
  EXPECT_STREQ(GetLastTorqErrorHint(), "");
  const std::string longHint(kLastErrorHintSize + 100, 'h');
  TorqSetLastError(4, longHint.c_str());
  EXPECT_EQ(std::strlen(GetLastTorqErrorHint()), kLastErrorHintSize - 1);
  // Re-recording the current hint is safe.
  TorqSetLastError(5, GetLastTorqErrorHint());
  EXPECT_EQ(std::strlen(GetLastTorqErrorHint()), kLastErrorHintSize - 1);
  TorqClearErrors();
}
