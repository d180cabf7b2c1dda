#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "data_files.h"
#include "support/last_error.h"
#include "support/message_catalog.h"

using torqtest::ReadBytes;

// The program writes both files beside its own executable, whatever the current directory,
// and the environment then loads them.
TEST(TorqinitProgram, WritesBesideItselfAndTwiceTheSame) {
  const std::string built = std::string(TORQ_BIN_DIR) + "/torqinit";
  struct stat st {};
  ASSERT_EQ(stat(built.c_str(), &st), 0) << built;
  ASSERT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR)) << built;
  std::ifstream program(built, std::ios::binary);
  ASSERT_TRUE(program) << built;
  char dir[] = "/tmp/torq_prog_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string d = dir;
  {
    std::ofstream copy(d + "/torqinit", std::ios::binary);
    copy << program.rdbuf();
  }
  ASSERT_EQ(chmod((d + "/torqinit").c_str(), 0755), 0);
  const std::string run = "cd / && '" + d + "/torqinit' > '" + d + "/out.txt'";
  ASSERT_EQ(std::system(run.c_str()), 0);
  const auto msg = ReadBytes(d + "/torqmsg.dat");
  const auto def = ReadBytes(d + "/torqdef.dat");
  EXPECT_EQ(def.size(), 3068u);
  EXPECT_GT(msg.size(), 4977u);
  std::ifstream outFile(d + "/out.txt");
  std::stringstream out;
  out << outFile.rdbuf();
  EXPECT_NE(out.str().find("ENG (0x09) Len= 4969  (+ Header= 4977) Count=140\n"), std::string::npos);
  EXPECT_NE(out.str().find(d + "/torqdef.dat:  3068 *OK*\n"), std::string::npos) << out.str();

  ASSERT_EQ(std::system(run.c_str()), 0);
  EXPECT_EQ(ReadBytes(d + "/torqmsg.dat"), msg);
  EXPECT_EQ(ReadBytes(d + "/torqdef.dat"), def);

  gLaguageId = 0x0409;
  EXPECT_EQ(LoadEnvironment((d + "/torq4").c_str()), 0);
  EXPECT_STREQ(FindMsgText(0), "TORQ completetd successfully");
  TorqFreeEnvironment();
  for (const char* f : {"/torqinit", "/torqmsg.dat", "/torqdef.dat", "/out.txt"}) std::remove((d + f).c_str());
  rmdir(dir);
}

// With the data files missing, the start-up learns which one to ask torqinit for.
TEST(TorqinitProgram, MissingFilesPointToTorqinit) {
  char dir[] = "/tmp/torq_none_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  EXPECT_EQ(LoadEnvironment((std::string(dir) + "/torq4").c_str()), -1);
  EXPECT_EQ(std::string(LastTorqHint), std::string(dir) + "/torqmsg.dat");
  TorqFreeEnvironment();
  rmdir(dir);
}
