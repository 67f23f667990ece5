// One damaged file decided and mended: an unreadable file, the copy last found unchanged
// preferred, the mend told to the history.

#include "repair/repair_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/files.h"

namespace {

using testing_support::TempTree;

constexpr char kGood[] = "the good bytes, the same in every copy";

// The id field of a file as the id command prints it.
std::string IdField(const std::string& path) {
  const testing_support::CommandResult r =
      testing_support::RunCommand(CHECKER_CLI_PATH, {"id", path});
  return r.out.size() >= 14 ? r.out.substr(3, 11) : std::string();
}

// Reads fail for the file "disk/photo.jpg", as a disk with bad sectors.
int64_t FailOnDisk(platform::NativeHandle fd, void* buffer, size_t size) {
  if (testing_support::PathOfHandle(fd).ends_with(testing_support::Native("disk/photo.jpg"))) {
    errno = EIO;
    return -1;
  }
  return platform::ReadHandle(fd, buffer, size);
}

int g_reads = 0;

int64_t CountReads(platform::NativeHandle fd, void* buffer, size_t size) {
  ++g_reads;
  return platform::ReadHandle(fd, buffer, size);
}

class History : public repair::MendHistory {
 public:
  std::optional<repair::LastVerdict> LastVerdictOf(const repair::FileKey& key) override {
    if (key.path == unchanged) return repair::LastVerdict::kUnchanged;
    return std::nullopt;
  }
  void RecordMend(const repair::FileKey& key, platform::FileTime,
                  const std::string& copy) override {
    mends.push_back(key.path + " <- " + copy);
  }
  std::string unchanged;
  std::vector<std::string> mends;
};

class RepairFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = tree_.File("disk/photo.jpg", kGood);
    tree_.File("one/photo.jpg", kGood);
    tree_.File("two/photo.jpg", kGood);
    testing_support::FileTimes times;
    ASSERT_TRUE(testing_support::GetFileTimes(target_, &times));
    const int64_t seconds = times.write_ns / 1000000000;
    key_ = {"DISK", "/listed/photo.jpg", sizeof kGood - 1,
            repair::ListWriteTime((seconds + 11644473600ULL) * 10000000ULL), IdField(target_)};
    ASSERT_EQ(key_.id.size(), 11u);
    for (const char* copy : {"one/photo.jpg", "two/photo.jpg"}) {
      const std::string path = tree_.Path(copy);
      ASSERT_TRUE(testing_support::SetFileTimes(path, times));
      candidates_.push_back(
          {path, {"COPY", std::string("/listed/") + copy, key_.size, key_.write_time, key_.id}});
    }
  }
  void TearDown() override { platform::SetReadHookForTesting(nullptr); }

  TempTree tree_;
  std::string target_;
  repair::FileKey key_;
  std::vector<repair::Candidate> candidates_;
};

TEST_F(RepairFileTest, AnUnreadableFileIsMendedFromTheCopyLastFoundUnchanged) {
  platform::SetReadHookForTesting(FailOnDisk);
  repair::FileNow now;
  const repair::Damage damage = repair::FindDamage(target_, key_, &now);
  ASSERT_EQ(damage, repair::Damage::kUnreadable);
  platform::SetReadHookForTesting(nullptr);
  History history;
  history.unchanged = "/listed/two/photo.jpg";
  const repair::FileRepair done =
      repair::RepairFile(target_, key_, damage, now, candidates_, {}, &history);
  EXPECT_EQ(done.outcome, repair::Outcome::kMended) << done.error;
  EXPECT_EQ(done.copy, tree_.Path("two/photo.jpg"));
  EXPECT_EQ(history.mends,
            std::vector<std::string>{"/listed/photo.jpg <- " + tree_.Path("two/photo.jpg")});
  EXPECT_EQ(TempTree::Read(target_), kGood);
}

TEST_F(RepairFileTest, AStopLeavesTheFileAsItWas) {
  tree_.File("disk/photo.jpg", "THE good bytes, the same in every copy");
  const repair::FileNow now = repair::ReadFromDevice(target_);
  History history;
  std::atomic<bool> stop{true};
  repair::RepairOptions options;
  options.stop = &stop;
  g_reads = 0;
  platform::SetReadHookForTesting(CountReads);
  const repair::FileRepair done = repair::RepairFile(target_, key_, repair::Damage::kCorrupted, now,
                                                     candidates_, options, &history);
  EXPECT_EQ(done.outcome, repair::Outcome::kStopped);
  EXPECT_EQ(g_reads, 0) << "no copy is read once stopped";
  EXPECT_TRUE(history.mends.empty());
  EXPECT_EQ(TempTree::Read(target_), "THE good bytes, the same in every copy");
}

TEST_F(RepairFileTest, ACopyWithAnotherWriteTimeServesOnlyWhenAnyTimeWill) {
  const testing_support::FileTimes later = {testing_support::kKeepTime, 2000000000LL * 1000000000};
  for (const repair::Candidate& candidate : candidates_) {
    ASSERT_TRUE(testing_support::SetFileTimes(candidate.path, later));
  }
  // Rotten, and listed with the write time it has now.
  tree_.File("disk/photo.jpg", "THE good bytes, the same in every copy");
  repair::FileNow now;
  repair::FileKey key = key_;
  key.write_time =
      repair::ListWriteTime(repair::ReadFromDevice(target_, true).info.last_write_time);
  const repair::Damage damage = repair::FindDamage(target_, key, &now);
  ASSERT_EQ(damage, repair::Damage::kCorrupted);
  repair::NoMendHistory history;
  repair::RepairOptions options;
  options.dry_run = true;
  repair::FileRepair done =
      repair::RepairFile(target_, key, damage, now, candidates_, options, &history);
  EXPECT_EQ(done.outcome, repair::Outcome::kNoCopy);
  ASSERT_EQ(done.not_proven.size(), 2u);
  EXPECT_EQ(done.not_proven[0].why, repair::Unproven::kWriteTime);
  options.any_time = true;
  done = repair::RepairFile(target_, key, damage, now, candidates_, options, &history);
  EXPECT_EQ(done.outcome, repair::Outcome::kWouldMend);
  EXPECT_EQ(done.copy, tree_.Path("one/photo.jpg"));
}

// Counts the reads of the files whose path ends so: those the test marks placeholders.
std::string g_marked;
int g_marked_reads = 0;
int64_t CountMarkedReads(platform::NativeHandle fd, void* buffer, size_t size) {
  if (testing_support::PathOfHandle(fd).ends_with(g_marked)) ++g_marked_reads;
  return platform::ReadHandle(fd, buffer, size);
}

// A file whose data is not on this disk (a cloud placeholder) is opened only when the run
// reads placeholders, as a read fetches it: the damaged file itself is then left as it
// is, not known to be damaged; a copy is passed over with its reason.
TEST_F(RepairFileTest, PlaceholdersAreLeftUnreadUnlessTheRunReadsThem) {
  const std::string cloud = tree_.File("cloud/beach.jpg", kGood);
  testing_support::FileTimes times;
  ASSERT_TRUE(testing_support::GetFileTimes(target_, &times));
  ASSERT_TRUE(testing_support::SetFileTimes(cloud, times));
  tree_.File("disk/photo.jpg", "THE good bytes, the same in every copy");
  ASSERT_TRUE(testing_support::SetFileTimes(target_, times));
  // The cloud's copy is met first.
  std::vector<repair::Candidate> candidates = candidates_;
  candidates.insert(candidates.begin(),
                    {cloud, {"CLOUD", "/listed/beach.jpg", key_.size, key_.write_time, key_.id}});
  using repair::Damage;
  using repair::Outcome;
  using Passed = std::vector<std::pair<std::string, repair::Unproven>>;
  struct Case {
    const char* marked;  // the name the seam marks a placeholder
    bool read;
    Damage damage;
    Outcome outcome;
    std::string copy;
    Passed passed_over;
  };
  const Case cases[] = {
      {"photo.jpg", false, Damage::kPlaceholder, Outcome::kPlaceholder, "", {}},
      {"photo.jpg", true, Damage::kCorrupted, Outcome::kWouldMend, cloud, {}},
      {"beach.jpg",
       false,
       Damage::kCorrupted,
       Outcome::kWouldMend,
       tree_.Path("one/photo.jpg"),
       {{cloud, repair::Unproven::kPlaceholder}}},
      {"beach.jpg", true, Damage::kCorrupted, Outcome::kWouldMend, cloud, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.marked << (c.read ? " read" : " left"));
    g_marked = testing_support::Native(std::string("/") + c.marked);
    g_marked_reads = 0;
    repair::RepairOptions options;
    options.dry_run = true;
    options.read_placeholders = c.read;
    platform::SetPlaceholderNameForTesting(c.marked);
    platform::SetReadHookForTesting(CountMarkedReads);
    repair::FileNow now;
    const Damage damage = repair::FindDamage(target_, key_, &now, options);
    repair::NoMendHistory history;
    const repair::FileRepair done =
        repair::RepairFile(target_, key_, damage, now, candidates, options, &history);
    platform::SetReadHookForTesting(nullptr);
    platform::SetPlaceholderNameForTesting("");
    EXPECT_EQ(damage, c.damage);
    EXPECT_EQ(done.outcome, c.outcome);
    EXPECT_EQ(done.copy, c.copy);
    Passed passed;
    for (const repair::NotProven& copy : done.not_proven) passed.emplace_back(copy.path, copy.why);
    EXPECT_EQ(passed, c.passed_over);
    EXPECT_EQ(g_marked_reads > 0, c.read);
    EXPECT_EQ(TempTree::Read(target_), "THE good bytes, the same in every copy");
  }
}

}  // namespace
