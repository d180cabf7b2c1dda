// The bytes of small containers, as peers exchange them.
#include <gtest/gtest.h>

#include "cmp_test_util.h"

using namespace cmptest;

namespace {

TEST(WorkedExamples, BinaryFixedBlock) {
  ScratchDir dir;
  const std::string path = dir / "c";
  {
    Options o;
    o.fixed = 1;
    o.blockSize = 80;
    Writer w(path, o);
    ASSERT_EQ(w.rc, 0);
    EXPECT_EQ(w.Header("a"), 0);
    const Bytes coded = {0x00, 0x09, 0x07, 0x00, 0x00, 0x09, 0x09, 0x01, 0x02, 0x00, 0x00,
                         0x00, 0x0B, 0x09, 0x48, 0x57, 0x45, 0x4F, 0x4C, 0x52, 0x4C, 0x4C, 0x4F, 0x44};
    EXPECT_EQ(w.Put(coded, 1, 2), 0);
    EXPECT_EQ(w.Close(), 0);
  }
  Bytes expect = {0x00, 0x4E, 0x80, 0x04, 0x00, 0x21, 0x30, 0x41, 0xF2, 0x1D, 0x00, 0xE0, 0x53, 0x88};
  expect.resize(expect.size() + 16, 0);
  const Bytes rest = {0x80, 0x00, 0x00, 0x00, 0x04, 0x01, 0x00, 0x01, 0x61, 0x00, 0x03, 0x8A, 0x88, 0x02,
                      0x09, 0x07, 0x00, 0x00, 0x09, 0x09, 0x01, 0x02, 0x00, 0x00, 0x0B, 0x09, 0x48,
                      0x57, 0x45, 0x4F, 0x4C, 0x52, 0x4C, 0x4C, 0x4F, 0x44};
  expect.insert(expect.end(), rest.begin(), rest.end());
  expect.resize(78, 0);
  expect.push_back(0x20);
  expect.push_back(0x5A);
  EXPECT_EQ(fiotest::ReadFileBytes(path), expect);
}

TEST(WorkedExamples, LetterFormTextLines) {
  ScratchDir dir;
  const std::string path = dir / "c";
  {
    Options o;
    o.modeWord = 1;
    o.blockSize = 4095;
    Writer w(path, o);
    ASSERT_EQ(w.rc, 0);
    EXPECT_EQ(w.Header("a"), 0);
    EXPECT_EQ(w.Put(Segments({B("iACJAA"), B("EHELLO")}), 0, 1), 0);
    EXPECT_EQ(w.Close(), 0);
  }
  const std::string expect = "AEDfADO0A2BNAAOAFDII" + std::string(40, 'A') + "AEABAAABaOD\n" +
                             "ACFbAAMICAIAB      MAAGiACJAAGAAGEHELLOGF\n";
  const Bytes got = fiotest::ReadFileBytes(path);
  EXPECT_EQ(std::string(got.begin(), got.end()), expect);
}

}  // namespace
