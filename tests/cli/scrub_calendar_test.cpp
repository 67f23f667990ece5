// Daily scrubs on a simulated calendar (CHECKER_NOW moves a day a run), the volume a
// small file system that is out on random days: no file waits longer than a cycle of the
// days it was in for its check.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "catalogue/sqlite_db.h"
#include "common/run_command.h"
#include "common/temp_tree.h"

namespace {

using testing_support::CommandResult;
using testing_support::TempTree;

constexpr int64_t kDay = 86400;
constexpr int64_t kFirstDay = 1767261600;  // 2026-01-01 10:00 UTC
constexpr int kFiles = 40;
constexpr int kDays = 90;
constexpr int kCycleDays = 30;

// Empty when a tmpfs is mounted at `dir`, else why not.
std::string MountTmpfs(const std::string& dir) {
  if (geteuid() != 0) return "needs root to mount a file system";
  if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=4m") != 0)
    return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
  return {};
}

class Calendar {
 public:
  explicit Calendar(unsigned seed) : random_(seed) {}
  ~Calendar() {
    if (!in_) umount2(root_.c_str(), MNT_DETACH);
    for (const std::string& dir : {root_, state_}) umount2(dir.c_str(), MNT_DETACH);
  }

  // Empty when the disk is made, filled and listed; else why not. The program's own
  // files go to a file system of their own too, so that its flushes cost nothing.
  std::string Start() {
    for (const std::string& dir : {state_, root_}) {
      if (std::string why = MountTmpfs(dir); !why.empty()) return why;
    }
    env_ = {
        "CHECKER_APPDIR=" + tree_.Dir("state/app"), "XDG_CONFIG_HOME=" + tree_.Dir("state/config"),
        "XDG_CACHE_HOME=" + tree_.Dir("state/cache"), "XDG_DATA_HOME=" + tree_.Dir("state/data")};
    tree_.Dir("state/catalogue");
    for (int i = 0; i < kFiles; ++i) {
      tree_.File("disk/f" + std::to_string(i), std::string(1000 + 100 * i, 'a' + i % 26));
    }
    const CommandResult r = testing_support::RunCommand(
        CHECKER_CLI_PATH,
        {"scan", "--quiet", "--no-backup", "--list", catalogue_ + "Cal.v00", "--tree",
         tree_.Path("Cal.t00"), "--label", "Cal", root_},
        env_);
    return r.exit_code == 0 ? "" : "scan failed: " + r.err;
  }

  // Plugs the disk in or out for the day; whether it is in. Out, an empty file system
  // lies over it, and its volume is seen nowhere, as when it is unplugged.
  bool PlugForTheDay(int day) {
    const bool in = day == 0 || plugged_(random_);
    if (in != in_) {
      EXPECT_EQ(in ? umount2(root_.c_str(), 0) : mount("tmpfs", root_.c_str(), "tmpfs", 0, ""), 0)
          << std::strerror(errno);
    }
    in_ = in;
    return in;
  }

  CommandResult Scrub(int day, std::vector<std::string> args) {
    args.insert(args.begin(), {"scrub", "--catalogue", catalogue_});
    std::vector<std::string> env = env_;
    env.push_back("CHECKER_NOW=" + std::to_string(kFirstDay + day * kDay));
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env);
  }

  // Each file's check time as the history holds it (checked files only), and the runs.
  std::map<std::string, int64_t> Checks(int64_t* runs) {
    catalogue::Database db;
    EXPECT_TRUE(db.Open(tree_.Path("state/data/checker/history.db")));
    std::map<std::string, int64_t> checks;
    catalogue::Statement read;
    EXPECT_TRUE(db.Prepare("SELECT path, checked FROM checks WHERE checked IS NOT NULL", &read));
    while (read.Step()) checks[std::string(read.Bytes(0))] = read.Int(1);
    read.Finalize();
    catalogue::Statement count;
    EXPECT_TRUE(db.Prepare("SELECT count(*) FROM runs", &count));
    *runs = count.Step() ? count.Int(0) : -1;
    return checks;
  }

 private:
  TempTree tree_;
  std::string state_ = tree_.Dir("state");
  std::string root_ = tree_.Dir("disk");
  std::string catalogue_ = tree_.Path("state/catalogue/");
  std::vector<std::string> env_;
  std::mt19937 random_;
  std::bernoulli_distribution plugged_{0.5};
  bool in_ = true;
};

// With a 30-day cycle and one run a day reading one file beyond its budget's first, each
// file is read within 30 of the days the disk was in: the cycle raises the share.
TEST(ScrubCalendarTest, EveryFileIsCheckedWithinTheCycleOfMountedDays) {
  for (const unsigned seed : {1u, 2u}) {
    SCOPED_TRACE(seed);
    Calendar calendar(seed);
    if (std::string why = calendar.Start(); !why.empty()) GTEST_SKIP() << why;
    std::map<int64_t, int> mounted_day_of;  // a run's time: the how-manieth day mounted
    std::map<std::string, int> last;        // a file: the mounted day of its last check
    int mounted_days = 0;
    for (int day = 0; day < kDays; ++day) {
      SCOPED_TRACE(day);
      const bool in = calendar.PlugForTheDay(day);
      const CommandResult run = calendar.Scrub(day, {"--bytes", "1", "--cycle", "30d"});
      ASSERT_EQ(run.exit_code, 0) << run.err;
      EXPECT_EQ(run.out + run.err, "");
      if (!in) continue;
      mounted_day_of[kFirstDay + day * kDay] = ++mounted_days;
      int64_t runs = 0;
      for (const auto& [path, time] : calendar.Checks(&runs)) last[path] = mounted_day_of[time];
      EXPECT_EQ(runs, mounted_days);
      // A file never checked counts from the first day.
      if (mounted_days > kCycleDays) {
        EXPECT_EQ(last.size(), size_t{kFiles});
      }
      for (const auto& [path, checked] : last) {
        EXPECT_LE(mounted_days - checked, kCycleDays) << path;
      }
      if (mounted_days % 5 == 0) {
        const CommandResult status = calendar.Scrub(day, {"--status", "--format", "jsonl"});
        EXPECT_NE(status.out.find("\"overdue\":0,"), std::string::npos) << status.out;
      }
    }
    EXPECT_GT(mounted_days, kCycleDays);
    const CommandResult status = calendar.Scrub(kDays, {"--status", "--format", "jsonl"});
    EXPECT_NE(status.out.find("\"never_checked\":0,"), std::string::npos) << status.out;
  }
}

}  // namespace
