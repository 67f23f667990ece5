// Replacing a file in place on Windows: renames over held and read-only files, a file's
// record carried over, its write time set; and the idle priority read back.

#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/clock.h"
#include "platform/file_moves.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/priority.h"

namespace {

class FileMovesWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = platform::MakeTempDir("moves-");
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override {
    for (const char* name : {"old", "new", "copy"}) {
      SetFileAttributesA((root_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      platform::RemoveFile(root_ + name);
    }
    platform::RemoveDir(root_);
  }
  std::string Write(const char* name, const std::string& text) {
    EXPECT_TRUE(platform::WriteWholeFile(root_ + name, text));
    return root_ + name;
  }
  static std::string Read(const std::string& path) {
    std::string text;
    return platform::ReadWholeFile(path, &text) ? text : "(unreadable)";
  }
  std::string root_;
};

TEST_F(FileMovesWinTest, RenameOverReplacesAReadOnlyFile) {
  const std::string target = Write("old", "old bytes");
  const std::string source = Write("new", "new bytes");
  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
  std::string error;
  ASSERT_TRUE(platform::RenameOver(source, target, &error)) << error;
  EXPECT_EQ(Read(target), "new bytes");
  EXPECT_EQ(platform::PathKindOf(source), platform::PathKind::kMissing);
}

// Windows 10 replaces a file held with delete sharing; a system that cannot (wine) says
// so, and both files stay as they were.
TEST_F(FileMovesWinTest, RenameOverAHeldFileReplacesItOrLosesNothing) {
  const std::string target = Write("old", "old bytes");
  const std::string source = Write("new", "new bytes");
  platform::File held;
  ASSERT_TRUE(held.Open(target, platform::OpenMode::kRead));
  std::string error;
  if (platform::RenameOver(source, target, &error)) {
    held.Close();
    EXPECT_EQ(Read(target), "new bytes");
    EXPECT_EQ(platform::PathKindOf(source), platform::PathKind::kMissing);
  } else {
    held.Close();
    EXPECT_EQ(error.rfind("cannot rename " + source + ": ", 0), 0u) << error;
    EXPECT_EQ(Read(target), "old bytes");
    EXPECT_EQ(Read(source), "new bytes");
  }
}

TEST_F(FileMovesWinTest, RenameOverAFileNotSharedSaysWhy) {
  const std::string target = Write("old", "old bytes");
  const std::string source = Write("new", "new bytes");
  // Another program's open without delete sharing: the rename cannot happen.
  const HANDLE other = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  std::string error;
  EXPECT_FALSE(platform::RenameOver(source, target, &error));
  CloseHandle(other);
  EXPECT_EQ(error.rfind("cannot rename " + source + ": ", 0), 0u) << error;
  EXPECT_EQ(Read(target), "old bytes");
  EXPECT_EQ(Read(source), "new bytes");
}

TEST_F(FileMovesWinTest, CopyFileRecordCarriesTheAttributes) {
  const std::string from = Write("old", "a");
  const std::string to = Write("copy", "b");
  ASSERT_TRUE(SetFileAttributesA(
      from.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
  std::string error;
  ASSERT_TRUE(platform::CopyFileRecord(from, to, &error)) << error;
  // Wine shows every file as archived: the three bits a user sets.
  const DWORD got = GetFileAttributesA(to.c_str());
  EXPECT_EQ(got & 0x07,
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY});
}

TEST_F(FileMovesWinTest, SetWriteTimeLeavesTheOtherTimes) {
  const std::string path = Write("old", "x");
  platform::FileInfo before, after;
  ASSERT_TRUE(platform::StatPath(path, &before));
  // 2001-02-03 04:05:06.7 UTC: 981173106 s after 1970, plus 7 tenths.
  const platform::FileTime wanted = (981173106ULL + 11644473600ULL) * 10000000ULL + 7000000ULL;
  std::string error;
  ASSERT_TRUE(platform::SetWriteTime(path, wanted, &error)) << error;
  ASSERT_TRUE(platform::StatPath(path, &after));
  EXPECT_EQ(after.last_write_time, wanted);
  EXPECT_EQ(after.last_access_time, before.last_access_time);
  EXPECT_FALSE(platform::OnReadOnlyMount(root_));
}

TEST(ClockWinTest, DateTimeToFileTime) {
  struct Case {
    platform::DateTime utc;
    platform::FileTime want;
  } cases[] = {
      {{1601, 1, 1, 0, 0, 0, 0}, 0},
      {{1970, 1, 1, 0, 0, 0, 0}, 11644473600ULL * 10000000ULL},
      // 946684800 s after 1970, and 123 ms.
      {{2000, 1, 1, 0, 0, 0, 123}, (946684800ULL + 11644473600ULL) * 10000000ULL + 1230000},
      {{2000, 13, 1, 0, 0, 0, 0}, 0},  // no such month
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::DateTimeToFileTime(c.utc), c.want) << c.utc.year << "-" << c.utc.month;
  }
}

// The idle class lowers the CPU priority everywhere; the background mode that lowers the
// reads is Windows 10's, which wine refuses (then SetIdlePriority says false).
TEST(PriorityWinTest, IdleLowersTheWholeProcess) {
  ASSERT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD{NORMAL_PRIORITY_CLASS});
  platform::SetIdlePriority();
  const int nice = platform::NiceValue();
  const DWORD seen = GetPriorityClass(GetCurrentProcess());
  SetPriorityClass(GetCurrentProcess(), PROCESS_MODE_BACKGROUND_END);
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  EXPECT_EQ(seen, DWORD{IDLE_PRIORITY_CLASS});
  EXPECT_EQ(nice, 19);
  EXPECT_EQ(platform::NiceValue(), 0);
}

}  // namespace

#endif  // _WIN32
