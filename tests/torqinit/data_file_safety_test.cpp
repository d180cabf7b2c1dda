// Data files that cannot hurt: special files in their place, hostile catalogue texts, and
// rewrites that never lose the old file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "data_files.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/message_catalog.h"
#include "support/message_output.h"
#include "support/platform/file_io.h"

using torqtest::DataFiles;
using torqtest::ReadBytes;
using torqtest::WriteBytes;

namespace {

std::string Strerror(int e) { return std::strerror(e); }

// Puts a special file of a kind in the place of `name`.
void MakeSpecial(const std::string& name, char kind) {
  std::remove(name.c_str());
  switch (kind) {
    case 'p': ASSERT_EQ(mkfifo(name.c_str(), 0644), 0); break;
    case 'd': ASSERT_EQ(mkdir(name.c_str(), 0755), 0); break;
    case 'c': ASSERT_EQ(symlink("/dev/zero", name.c_str()), 0); break;  // endless zeros
  }
}

void RemoveSpecial(const std::string& name) {
  if (rmdir(name.c_str()) != 0) std::remove(name.c_str());
}

}  // namespace

// A FIFO, a device or a directory in a data file's place gives that file's error code with a
// system error that says what stands there; nothing blocks.
TEST_F(DataFiles, SpecialFilesInPlaceOfTheDataFilesAreRefusedAtOnce) {
  WriteBoth();
  const std::string exe = dir_ + "/torq4";
  struct Case {
    char kind;
    bool catalogue;
    int rc;
    int error;
  };
  const Case cases[] = {
      {'p', true, 45, ESPIPE}, {'c', true, 45, ENODEV}, {'d', true, -1, EISDIR},
      {'p', false, 47, ESPIPE}, {'c', false, 47, ENODEV}, {'d', false, -1, EISDIR},
  };
  for (const Case& c : cases) {
    const std::string& name = c.catalogue ? msg_ : def_;
    const auto good = ReadBytes(name);
    MakeSpecial(name, c.kind);
    EXPECT_EQ(LoadEnvironment(exe.c_str()), c.rc) << c.kind << c.catalogue;
    EXPECT_EQ(GetLastTorqErrorHint(), name) << c.kind << c.catalogue;
    EXPECT_EQ(GetLastSysError(), static_cast<std::uint32_t>(c.error)) << c.kind << c.catalogue;
    RemoveSpecial(name);
    WriteBytes(name, good.data(), good.size());
  }
  EXPECT_EQ(LoadEnvironment(exe.c_str()), 0);
}

// torqinit never replaces a special file, and the old file survives a failed write.
TEST_F(DataFiles, RewritesReplaceOnlyRegularFilesAndOnlyWhenComplete) {
  for (char kind : {'p', 'c', 'd'}) {
    MakeSpecial(msg_, kind);
    testing::internal::CaptureStdout();
    EXPECT_EQ(MakeMsgDat(), 1) << kind;
    const int error = kind == 'p' ? ESPIPE : kind == 'c' ? ENODEV : EISDIR;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Openfehler " + msg_ + " ERROR: " + std::to_string(error) + "\n" + Strerror(error) + "\n");
    struct stat st {};
    EXPECT_EQ(lstat(msg_.c_str(), &st), 0);
    EXPECT_FALSE(S_ISREG(st.st_mode)) << kind;  // still what it was
    RemoveSpecial(msg_);
  }

  WriteBoth();
  const auto oldMsg = ReadBytes(msg_);
  const auto oldDef = ReadBytes(def_);
  static int writes = 0;
  static const torq::platform::FileIoHooks kFull = {
      nullptr, [](int, const void*, std::size_t) -> ssize_t {
        ++writes;
        errno = ENOSPC;
        return -1;
      }};
  torq::platform::SetFileIoHooks(&kFull);
  testing::internal::CaptureStdout();
  EXPECT_EQ(MakeMsgDat(), 1);
  EXPECT_EQ(MakeDefDat(), 1);
  const std::string out = testing::internal::GetCapturedStdout();
  torq::platform::SetFileIoHooks(nullptr);
  EXPECT_GT(writes, 0);
  EXPECT_NE(out.find("Schreibfehler " + msg_ + " ERROR: 28\n" + Strerror(ENOSPC) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Schreibfehler " + def_ + " ERROR: 28\n" + Strerror(ENOSPC) + "\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("*OK*"), std::string::npos) << out;
  EXPECT_EQ(ReadBytes(msg_), oldMsg);
  EXPECT_EQ(ReadBytes(def_), oldDef);
  struct stat st {};
  EXPECT_NE(stat((msg_ + ".new").c_str(), &st), 0);  // no temporary file stays behind
  EXPECT_NE(stat((def_ + ".new").c_str(), &st), 0);

  rmHeapFree0(&TorqMgsdatName);
  TorqMgsdatName = rmStrDup((dir_ + "/no/such/dir/torqmsg.dat").c_str());
  testing::internal::CaptureStdout();
  EXPECT_EQ(MakeMsgDat(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Openfehler " + dir_ + "/no/such/dir/torqmsg.dat ERROR: 2\n" + Strerror(ENOENT) + "\n");
}

// A catalogue text is sound only with the built-in conversions and widths or precisions of at
// most three digits: otherwise one message could take gigabytes, or vanish.
TEST_F(DataFiles, HostileWidthsAndPrecisionsAreRefused) {
  WriteBoth();
  const auto good = ReadBytes(msg_);
  const std::size_t en = good[0] | good[1] << 8;  // the English block follows the German one
  const std::string key = "0051:";                // "Unknown argument or qualifier: %s%s"
  const std::size_t entry =
      static_cast<std::size_t>(std::search(good.begin() + en, good.end(), key.begin(), key.end()) - good.begin()) - 1;
  // The catalogue with the text of entry 81 replaced.
  auto withText = [&](const std::string& text) {
    std::vector<unsigned char> b(good.begin(), good.begin() + entry);
    b.push_back(static_cast<unsigned char>(text.size() + 5));
    b.insert(b.end(), key.begin(), key.end());
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    const std::size_t oldEnd = entry + good[entry] + 2;
    b.insert(b.end(), good.begin() + oldEnd, good.end());
    const std::size_t length = b.size() - en;
    b[en] = static_cast<unsigned char>(length);
    b[en + 1] = static_cast<unsigned char>(length >> 8);
    return b;
  };
  gLaguageId = 0x0409;
  struct Case {
    const char* text;
    int rc;
  };
  const Case cases[] = {
      {"Unknown argument or qualifier: %s%s", 0},   {"Unknown: %999s%.999s", 0},
      {"Unknown: %-12.3s%s", 0},                    {"Unknown: %1000s%s", 45},
      {"Unknown: %s%.1000s", 45},                   {"Unknown: %999999999s%s", 45},
      {"Unknown: %.999999999s%s", 45},              {"Unknown: %2147483647s%s", 45},
      {"Unknown: %s%d", 45},
  };
  for (const Case& c : cases) {
    const auto bytes = withText(c.text);
    WriteBytes(msg_, bytes.data(), bytes.size());
    EXPECT_EQ(LoadMessageTab(msg_.c_str()), c.rc) << c.text;
    if (c.rc == 0) {
      EXPECT_STREQ(FindMsgText(81), c.text);
    }
  }
  FreeMessageTab();
}
