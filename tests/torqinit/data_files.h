// A temporary program directory in which the tests write and load the data files.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/environment.h"
#include "torqinit/defaults_file_writer.h"
#include "torqinit/message_file_writer.h"

namespace torqtest {

inline std::vector<unsigned char> ReadBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& name, const unsigned char* data, std::size_t n) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
}

class DataFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/torq_init_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    msg_ = dir_ + "/torqmsg.dat";
    def_ = dir_ + "/torqdef.dat";
    ASSERT_EQ(SetDataFileNames((dir_ + "/torqinit").c_str()), 0);
  }
  void TearDown() override {
    TorqFreeEnvironment();
    std::remove(msg_.c_str());
    std::remove(def_.c_str());
    rmdir(dir_.c_str());
  }
  // Writes both files as torqinit does; returns what the writers printed.
  std::string WriteBoth() {
    testing::internal::CaptureStdout();
    EXPECT_EQ(MakeMsgDat(), 0);
    EXPECT_EQ(MakeDefDat(), 0);
    return testing::internal::GetCapturedStdout();
  }
  std::string dir_, msg_, def_;
};

}  // namespace torqtest
