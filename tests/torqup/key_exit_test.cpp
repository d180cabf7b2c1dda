#include "torqup/key_exit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/platform/dynamic_library.h"

namespace {

TEST(KeyExit, WindowsModuleNamesLoadAsSharedObjects) {
  const std::pair<const char*, const char*> cases[] = {
      {"torqkme.dll", "torqkme.so"}, {"/x/A.DLL", "/x/A.so"}, {"lib.so", "lib.so"}, {".dll", ".dll"}};
  for (const auto& [name, expected] : cases) {
    char local[64];
    ASSERT_TRUE(torq::platform::LocalModuleName(name, local, sizeof local));
    EXPECT_STREQ(local, expected);
  }
  char tiny[4];
  EXPECT_FALSE(torq::platform::LocalModuleName("torqkme.dll", tiny, sizeof tiny));
}

TEST(KeyExit, LoadsTheModuleAndFindsTheProcedure) {
  void* module = nullptr;
  std::int32_t rc = -5;
  EXPECT_EQ(TorqDynLoad(rc, module, "./no-such-module.dll", "torqkme"), nullptr);
  EXPECT_EQ(rc, kRcModuleNotLoaded);
  EXPECT_EQ(module, nullptr);

  TorqKmExitProc* procedure = TorqDynLoad(rc, module, "./torqkme_test.so", "torqkme");
  ASSERT_NE(procedure, nullptr) << torq::platform::ModuleError();
  EXPECT_EQ(rc, 0);
  std::int32_t function = -1, exitRc = 7, msgLength = 128;
  char message[130] = {};
  setenv("TORQKME_START", "msg=5", 1);
  procedure(&function, &exitRc, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &msgLength, message);
  unsetenv("TORQKME_START");
  EXPECT_EQ(exitRc, 0);
  EXPECT_EQ(msgLength, 5);

  EXPECT_EQ(TorqDynLoad(rc, module, "./torqkme_test.so", "no_such_procedure"), nullptr);
  EXPECT_EQ(rc, kRcModuleNotCalled);
  TorqDynFree(module);
  EXPECT_EQ(module, nullptr);
  TorqDynFree(module);
}

TEST(KeyExit, ResultsAreCheckedAgainstTheBuffers) {
  struct Case {
    KmExitResult result;
    bool checkKey, checkPassword;
    std::int32_t rc;
    const char* line;  // expected in the output
  };
  const Case cases[] = {
      {{0, 512, 66, 128}, true, true, 0, "MMMMMMMM\n"},
      {{0, 0, 0, 0}, true, true, 0, ""},
      {{5, 0, 0, 0}, true, true, kRcExitAbend, "*ERROR* TORQKMEXIT 5 (0x00000005)\n"},
      {{-1, 0, 0, 0}, false, false, kRcExitAbend, "*ERROR* TORQKMEXIT -1 (0xFFFFFFFF)\n"},
      {{0, 513, 0, 0}, true, true, kRcExitAbend, "key length 513"},
      {{0, -1, 0, 0}, true, true, kRcExitAbend, "key length -1"},
      {{0, 9999, 0, 0}, false, true, 0, ""},
      {{0, 0, 67, 0}, true, true, kRcExitAbend, "password length 67"},
      {{0, 0, -2, 0}, false, true, kRcExitAbend, "password length -2"},
      {{0, 0, 0, 129}, true, true, kRcExitAbend, "message length 129"},
      {{0, 0, 0, -1}, true, true, kRcExitAbend, "message length -1"},
  };
  for (const Case& c : cases) {
    char message[kKmMessageCapacity + 2];
    std::memset(message, 'M', sizeof message);
    testing::internal::CaptureStderr();
    const std::int32_t rc = KmExitAfterCall(c.result, message, kKmKeyCapacity, c.checkKey, c.checkPassword);
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, c.rc) << c.line;
    EXPECT_NE(output.find(c.line), std::string::npos) << output;
    if (c.result.msgLength == kKmMessageCapacity) {
      EXPECT_NE(output.find(std::string(128, 'M') + "\n"), std::string::npos);
      EXPECT_EQ(output.find(std::string(129, 'M')), std::string::npos);
    }
  }
}

}  // namespace
