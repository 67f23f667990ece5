// The mend of one file: what it leaves under the name when the process is killed at each
// step, and what the mended file takes from the damaged one.

#include "repair/mend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/clock.h"
#include "repair/device_read.h"

namespace {

using repair::MendStep;
using testing_support::TempTree;

constexpr char kDamaged[] = "the damaged bytes, as the disk rotted them";
constexpr char kGood[] = "the good bytes of the copy, longer than the damaged ones";
// 2024-02-29 23:59:58 UTC, as a file time.
constexpr platform::FileTime kListedTime = (1709251198ULL + 11644473600ULL) * 10000000ULL;

MendStep g_stop_at = MendStep::kWritten;

void ExitAt(MendStep step) {
  if (step == g_stop_at) _exit(42);
}

std::atomic<bool> g_stop{false};

void StopAt(MendStep step) {
  if (step == g_stop_at) g_stop.store(true);
}

repair::MendRequest Request(const TempTree& tree) {
  repair::MendRequest request;
  request.target = tree.Path("disk/photo.jpg");
  request.copy = tree.Path("backup/photo.jpg");
  request.write_time = kListedTime;
  request.now = kListedTime;
  return request;
}

enum class How { kKill, kStop };

class MendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = tree_.File("disk/photo.jpg", kDamaged);
    tree_.File("backup/photo.jpg", kGood);
    // The kept file's name holds the time of the mend in local time.
    testing_support::SetEnv("TZ", "UTC");
    tzset();
  }
  void Steps(How which);

  TempTree tree_;
  std::string target_;
};

// A kill at any step leaves a whole file under the name, and a mend a second later
// finishes the work. A stop asked for before the rename leaves the name, the folder and
// the keep folder as they were; after it, the mend is whole.
void MendTest::Steps(How which) {
  const struct {
    How how;
    MendStep step;
    bool keep_dir;
    const char* left;
  } cases[] = {{How::kKill, MendStep::kWritten, false, kDamaged},
               {How::kKill, MendStep::kFlushed, false, kDamaged},
               {How::kKill, MendStep::kKept, false, kDamaged},
               {How::kKill, MendStep::kRenamed, false, kGood},
               {How::kStop, MendStep::kWritten, false, kDamaged},
               {How::kStop, MendStep::kFlushed, false, kDamaged},
               {How::kStop, MendStep::kKept, false, kDamaged},
               {How::kStop, MendStep::kKept, true, kDamaged},
               {How::kStop, MendStep::kRenamed, false, kGood}};
  for (const auto& c : cases) {
    if (c.how != which) continue;
    SCOPED_TRACE(::testing::Message() << (c.how == How::kKill ? "kill at " : "stop at ")
                                      << static_cast<int>(c.step) << (c.keep_dir ? " keep" : ""));
    std::filesystem::remove_all(tree_.Path("disk"));
    std::filesystem::remove_all(tree_.Path("kept"));
    tree_.File("disk/photo.jpg", kDamaged);
    g_stop_at = c.step;
    g_stop.store(false);
    repair::MendRequest request = Request(tree_);
    if (c.keep_dir) request.keep_dir = tree_.Dir("kept");
    const bool mended = c.left == kGood;
    if (c.how == How::kKill) {
      EXPECT_EQ(testing_support::ExitStatusOfChild([&] {
                  repair::SetMendHookForTesting(ExitAt);
                  repair::Mend(request);
                  return 0;
                }),
                42);
    } else {
      request.stop = &g_stop;
      repair::SetMendHookForTesting(StopAt);
      const repair::MendResult result = repair::Mend(request);
      repair::SetMendHookForTesting(nullptr);
      EXPECT_EQ(result.mended, mended);
      EXPECT_EQ(result.stopped, !mended);
    }
    EXPECT_EQ(TempTree::Read(target_), c.left);
    if (c.how == How::kKill) {
      repair::MendRequest later = Request(tree_);
      later.now += 10000000;
      const repair::MendResult again = repair::Mend(later);
      EXPECT_TRUE(again.mended) << again.error;
      EXPECT_EQ(TempTree::Read(target_), kGood);
      EXPECT_EQ(TempTree::FileEndingWith(tree_.Path("disk/"), ".checker-mend"), "");
      continue;
    }
    // Nothing beside it but the kept file of a whole mend.
    size_t beside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(tree_.Path("disk"))) {
      beside += entry.path().filename() != "photo.jpg";
    }
    EXPECT_EQ(beside, mended ? 1u : 0u);
    if (c.keep_dir) {
      EXPECT_TRUE(std::filesystem::is_empty(tree_.Path("kept")));
    }
  }
}

// A kill needs a child process, a copy of this one: Linux's fork.
TEST_F(MendTest, AKillAtAnyStepLeavesAWholeFileUnderTheName) { Steps(How::kKill); }

TEST_F(MendTest, AStopAtAnyStepLeavesTheFileAsItWasOrWhollyMended) { Steps(How::kStop); }

// What both systems carry over: the read-only bit, the listed write time.
TEST_F(MendTest, TheMendedFileHasTheDamagedOnesModeAttributesAndTheListedTime) {
  namespace fs = std::filesystem;
  fs::permissions(target_,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const repair::MendResult result = repair::Mend(Request(tree_));
  ASSERT_TRUE(result.mended) << result.error;
  EXPECT_EQ(result.kept, tree_.Path("disk/photo.jpg.damaged-20240229-235958"));
  EXPECT_EQ(TempTree::Read(result.kept), kDamaged);
  EXPECT_EQ(TempTree::Read(target_), kGood);
  EXPECT_EQ(fs::status(target_).permissions() & fs::perms::owner_write, fs::perms::none);
  testing_support::FileTimes times;
  ASSERT_TRUE(testing_support::GetFileTimes(target_, &times));
  EXPECT_EQ(times.write_ns / 1000000000, 1709251198);
  // Windows removes no read-only file.
  for (const std::string& path : {target_, result.kept}) {
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  }
}

// Linux's mode bits and extended attributes.
TEST_F(MendTest, TheMendedFileHasTheDamagedOnesModeBitsAndUserAttributes) {
  const std::string& target = target_;
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  const bool attributes = testing_support::SetUserAttribute(target, "origin", "camera");
  const repair::MendResult result = repair::Mend(Request(tree_));
  ASSERT_TRUE(result.mended) << result.error;
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(static_cast<unsigned>(st.st_mode & 07777), 0640u);
  if (attributes) {
    EXPECT_EQ(testing_support::UserAttribute(target, "origin"), "camera");
  }
}

TEST_F(MendTest, KeepCopiesTheDamagedFileIntoTheFolderGiven) {
  repair::MendRequest request = Request(tree_);
  request.keep_dir = tree_.Dir("kept");
  const repair::MendResult result = repair::Mend(request);
  ASSERT_TRUE(result.mended) << result.error;
  EXPECT_EQ(result.kept, tree_.Path("kept/photo.jpg.damaged-20240229-235958"));
  EXPECT_EQ(TempTree::Read(result.kept), kDamaged);
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("disk/photo.jpg.damaged-20240229-235958")));
  // A second mend in the same second finds the name taken and leaves the file as it is.
  tree_.File("disk/photo.jpg", kDamaged);
  const repair::MendResult again = repair::Mend(request);
  EXPECT_FALSE(again.mended);
  EXPECT_EQ(again.error, "cannot keep the damaged file: " + result.kept + " exists");
  EXPECT_EQ(TempTree::Read(target_), kDamaged);
}

TEST(ListTimeTest, ListTimesAndFileTimesConvertBothWays) {
  const uint64_t times[] = {20240229235958ULL, 19800101000000ULL, 20991231235959ULL};
  for (const uint64_t time : times) {
    EXPECT_EQ(repair::ListWriteTime(repair::FileTimeOfListTime(time)), time);
  }
  EXPECT_EQ(repair::FileTimeOfListTime(20240229235958ULL), kListedTime);
}

}  // namespace
