#include "support/heap.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <memory>
#include <new>
#include <vector>

#include "support/debug_log.h"

TEST(Heap, AllocIsZeroedAndCountedUntilReleased) {
  const auto before = rmGetHeapCount();
  auto* p = static_cast<unsigned char*>(rmHeapAlloc(1000));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0) << i;
  EXPECT_GE(rmHeapSize(p), 1000u);
  EXPECT_EQ(rmGetHeapCount(), before + rmHeapSize(p));
  const auto peak = rmGetHeapMax();
  EXPECT_GE(peak, rmGetHeapCount());
  EXPECT_EQ(rmHeapFree(p), 1);
  EXPECT_EQ(rmGetHeapCount(), before);
  EXPECT_EQ(rmGetHeapMax(), peak);
}

TEST(Heap, NullArgumentsReleaseNothing) {
  const auto count = rmGetHeapCount(), peak = rmGetHeapMax();
  EXPECT_EQ(rmHeapFree(nullptr), 1);
  void* slot = nullptr;
  EXPECT_EQ(rmHeapFree0(&slot), 1);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(rmHeapSize(nullptr), 0u);
  EXPECT_EQ(rmStrDup(nullptr), nullptr);
  EXPECT_EQ(rmHeapReAlloc(nullptr, 0), nullptr);
  delete static_cast<int*>(nullptr);
  EXPECT_EQ(rmGetHeapCount(), count);
  EXPECT_EQ(rmGetHeapMax(), peak);
}

TEST(Heap, Free0ClearsTheSlot) {
  const auto before = rmGetHeapCount();
  void* slot = rmHeapAlloc(16);
  EXPECT_EQ(rmHeapFree0(&slot), 1);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(Heap, StrDupAndDupMem) {
  const auto before = rmGetHeapCount();
  char* empty = rmStrDup("");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(rmHeapSize(empty), 1u);
  EXPECT_EQ(empty[0], '\0');
  char* s = rmStrDup("TORQ");
  EXPECT_STREQ(s, "TORQ");
  auto* copy = static_cast<char*>(rmDupMem(s));
  EXPECT_EQ(rmHeapSize(copy), 5u);
  EXPECT_STREQ(copy, "TORQ");
  rmHeapFree(empty);
  rmHeapFree(s);
  rmHeapFree(copy);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(Heap, ReAllocCases) {
  const auto before = rmGetHeapCount();
  auto* p = static_cast<unsigned char*>(rmHeapAlloc(8));
  EXPECT_EQ(rmHeapReAlloc(p, rmHeapSize(p)), p);
  std::memset(p, 0xAB, 8);
  p = static_cast<unsigned char*>(rmHeapReAlloc(p, 4096));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], 0xAB);
  for (int i = 8; i < 4096; ++i) ASSERT_EQ(p[i], 0) << i;
  EXPECT_EQ(rmGetHeapCount(), before + rmHeapSize(p));
  EXPECT_EQ(rmHeapReAlloc(p, 0), nullptr);
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(Heap, InjectedFailureGivesNullOnceAndOperatorNewThrows) {
  rmHeapInjectFailure(2);
  void* first = rmHeapAlloc(10);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(rmHeapAlloc(10), nullptr);
  void* third = rmHeapAlloc(10);
  EXPECT_NE(third, nullptr);
  rmHeapFree(first);
  rmHeapFree(third);

  rmHeapInjectFailure(1);
  EXPECT_THROW((void)std::make_unique<int[]>(4), std::bad_alloc);
}

TEST(Heap, OperatorNewNeverCutsTheSize) {
  // 4 GiB + 16 would become 16 bytes if the size were cut to 32 bits.
  const std::size_t huge = (std::size_t{1} << 32) + 16;
  EXPECT_THROW(::operator delete[](::operator new[](huge)), std::bad_alloc);
  EXPECT_THROW(::operator delete(::operator new(huge)), std::bad_alloc);
}

TEST(Heap, OperatorNewUsesTheCountedHeap) {
  const auto before = rmGetHeapCount();
  auto* v = new std::vector<int>(100);
  EXPECT_GT(rmGetHeapCount(), before);
  delete v;
  EXPECT_EQ(rmGetHeapCount(), before);
}

TEST(DebugLog, OutputLinesAreCutAtTheirBuffers) {
  char name[] = "/tmp/torq_debug_XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  setenv("TORQ_DEBUG_OUTPUT", name, 1);
  OutputDebugLog("%s %d", "anything", 42);  // the trace hook writes nothing
  const std::string longText(500, 'x');
  OutputString("%s", longText.c_str());
  TorqDebugLog("%s", longText.c_str());
  OutputString("short %d", 7);
  unsetenv("TORQ_DEBUG_OUTPUT");
  std::ifstream in(name);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(name);
  EXPECT_EQ(text.str(), std::string(119, 'x') + "\n*DLOG: " + std::string(216, 'x') + "\nshort 7\n");
}

TEST(Heap, EveryOperatorFormUsesTheCountedHeap) {
  const auto before = rmGetHeapCount();
  auto* plain = new (std::nothrow) int[10];
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(rmHeapSize(plain), 40u);
  delete[] plain;
  struct alignas(64) Wide { char bytes[64]; };
  auto* wide = new Wide[3];
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide) % 64, 0u);
  EXPECT_GT(rmGetHeapCount(), before);
  delete[] wide;
  auto* one = new (std::nothrow) Wide;
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(one) % 64, 0u);
  delete one;
  EXPECT_EQ(rmGetHeapCount(), before);
  rmHeapInjectFailure(1);
  EXPECT_EQ(new (std::nothrow) char[8], nullptr);
}
