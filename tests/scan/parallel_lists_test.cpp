// Runs with several reader threads against the run with one: over random trees (sizes
// from 0 to a few MiB, empty directories, unreadable files, files that vanish once the
// directories are gathered), for whole runs, stops at each phase and at progress
// notifications, and Continue after a stop, both lists must be the same bytes (but for
// the run times in the headers), the notifications the same in order, codes and figures,
// and the outcome the same.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "content/literal_fold.h"
#include "content/reader_control.h"
#include "job_builder.h"
#include "scan/scan_job.h"
#include "support/msg.h"

namespace scan {

namespace {

using testing_support::TempTree;

struct RunOptions {
  uint8_t option_bits = 0;
  uint16_t min_blocks = 4;
  int32_t buffer_percent = 30;
  int32_t buffer_max = 512000;
};

struct Scenario {
  int16_t stop_code = 0;  // 0: no stop
  int stop_count = 1;
  bool then_continue = false;
};

std::string Describe(const Scenario& scenario) {
  if (scenario.stop_code == 0) return "whole run";
  return "stop at " + std::to_string(scenario.stop_code) + " #" +
         std::to_string(scenario.stop_count) + (scenario.then_continue ? ", then continue" : "");
}

// Everything a run leaves that must not depend on the number of readers.
struct RunRecord {
  std::string tree_list;  // "(none)" when there is none
  std::string id_list;
  std::vector<std::string> notifications;
  std::string outcome;
};

// Records each notification's figures, moves the vanishing files away once the
// directories are gathered, and stops where the scenario says.
class DifferentialWindow : public ScanWindow {
 public:
  DifferentialWindow(const Scenario& scenario, std::function<void()> on_scan_start,
                     std::vector<std::string>* notes)
      : scenario_(scenario), on_scan_start_(std::move(on_scan_start)), notes_(notes) {}

  int32_t OnJobNotify(TDskFil& job, const JobEvent& event) override {
    const int16_t code = event.code;
    if (code == kNotifyScan) on_scan_start_();
    const int count = ++counts_[code];
    notes_->push_back(std::to_string(code) + " files " + std::to_string(job.files_done()) +
                      " errors " + std::to_string(job.error_count()) + " bytes " +
                      std::to_string(job.bytes_done()) + "/" + std::to_string(job.total_bytes()) +
                      " dir " + std::to_string(job.dir_index()) + " " + job.current_dir() + " " +
                      std::to_string(job.dir_bytes_done()) + "/" + std::to_string(job.dir_bytes()) +
                      " file " + std::to_string(job.file_index()) + "/" +
                      std::to_string(job.last_file_index()) + " " + job.current_file() + " ids " +
                      std::to_string(job.dir_id_sum()) + "/" + std::to_string(job.run_id_sum()) +
                      " buffer " + std::to_string(job.buffer_size()));
    if (code == scenario_.stop_code && count == scenario_.stop_count) return kStopReply;
    return 0;
  }

 private:
  Scenario scenario_;
  std::function<void()> on_scan_start_;
  std::vector<std::string>* notes_;
  std::map<int16_t, int> counts_;
};

class ParallelListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_handler_ = support::SetMsgHandler(
        [](const std::string&, const std::string&, int) { return support::kIdOk; });
    search_path_ = tree_.root() + "scan";
    aside_ = tree_.Dir("aside");
    tree_.Dir("lists");
  }
  void TearDown() override { support::SetMsgHandler(previous_handler_); }

  std::string Name(std::mt19937& random) {
    static const char kChars[] = "abcdeABCDE_019. xyzXYZ";
    std::string name;
    const size_t length = 1 + random() % 18;
    for (size_t i = 0; i < length; ++i) name += kChars[random() % (sizeof kChars - 1)];
    if (name == "." || name == "..") name += "x";
    return name;
  }

  size_t Size(std::mt19937& random) {
    const uint32_t kind = random() % 100;
    if (kind < 25) return random() % 9;
    if (kind < 85) return random() % 70000;
    if (kind < 97) return 70000 + random() % 600000;
    return 1048576 + random() % (3 * 1048576);
  }

  // A random tree under scan/, with one file large enough to be read in parts.
  void BuildTree(uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::string> dirs = {"scan/"};
    for (int d = 0; d < 10; ++d) {
      const std::string parent = dirs[random() % dirs.size()];
      const std::string dir = parent + "d" + std::to_string(d) + Name(random) + "/";
      tree_.Dir(dir);
      dirs.push_back(dir);
    }
    std::set<std::string> used;
    for (int f = 0; f < 110; ++f) {
      const std::string dir = dirs[random() % dirs.size()];
      std::string name = Name(random);
      if (f % 23 == 0) name += ".tmp";  // excluded
      if (!used.insert(dir + name).second) continue;
      const std::string path =
          tree_.File(dir + name, testing_support::MixedBytes(Size(random), random()));
      const uint32_t fate = random() % 100;
      if (fate < 5) chmod(path.c_str(), 0);  // unreadable but to root
      if (fate >= 5 && fate < 10) vanishing_.push_back(dir + name);
    }
    tree_.File("scan/big", testing_support::MixedBytes(5 * 1048576 + 3, seed));
  }

  // Moves the vanishing files out of the tree, or back.
  void MoveVanishing(bool away) {
    for (size_t i = 0; i < vanishing_.size(); ++i) {
      const std::string in_tree = tree_.Path(vanishing_[i]);
      const std::string outside = aside_ + std::to_string(i);
      std::rename(away ? in_tree.c_str() : outside.c_str(),
                  away ? outside.c_str() : in_tree.c_str());
    }
  }

  testing_support::JobBuilder MakeJob(uint8_t mode, ScanWindow* window, int threads,
                                      const RunOptions& options) {
    auto job = testing_support::DesktopJob(mode, window, search_path_, tree_.Path("lists/"));
    job.interval(1);
    job.buffer_percent(options.buffer_percent);
    job.buffer_max(options.buffer_max);
    job.options(options.option_bits);
    job.min_blocks(options.min_blocks);
    job.threads(threads);
    return job;
  }

  static std::string Outcome(const ScanOutcome& outcome) {
    std::string text = "finished " + std::to_string(outcome.finished) + " stopped " +
                       std::to_string(outcome.stopped) + " files " +
                       std::to_string(outcome.files_done) + " errors " +
                       std::to_string(outcome.error_count) + " failure '" + outcome.failure + "'";
    for (const ScanProblem& problem : outcome.problems) {
      text += "\n  " + problem.path + ": " + problem.reason;
    }
    return text;
  }

  // The list as written, with the run times of each header replaced.
  static std::string WithoutRunTimes(const std::string& path) {
    if (!std::filesystem::exists(path)) return "(none)";
    std::string text = TempTree::Read(path);
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      if (text[at] == 'A' && end != std::string::npos && end - at >= 72) {
        text.replace(at + 30, 19, std::string(19, '#'));
        text.replace(at + 50, 19, std::string(19, '#'));
      }
      if (end == std::string::npos) break;
      at = end + 2;
    }
    return text;
  }

  RunRecord Run(int threads, const Scenario& scenario, const RunOptions& options) {
    std::filesystem::remove(tree_.Path("lists/run.t00"));
    std::filesystem::remove(tree_.Path("lists/run.v00"));
    RunRecord record;
    bool moved = false;
    auto move_away = [&] {
      if (!moved) MoveVanishing(true);
      moved = true;
    };
    {
      DifferentialWindow window(scenario, move_away, &record.notifications);
      record.outcome =
          Outcome(TDskFil::Start(MakeJob(kModeCreate, &window, threads, options)).get());
    }
    if (scenario.then_continue) {
      Scenario whole;
      DifferentialWindow window(whole, move_away, &record.notifications);
      record.outcome +=
          "\nthen " +
          Outcome(TDskFil::Start(MakeJob(kModeContinue, &window, threads, options)).get());
    }
    if (moved) MoveVanishing(false);
    record.tree_list = WithoutRunTimes(tree_.Path("lists/run.t00"));
    record.id_list = WithoutRunTimes(tree_.Path("lists/run.v00"));
    return record;
  }

  TempTree tree_;
  std::string search_path_;
  std::string aside_;
  std::vector<std::string> vanishing_;
  support::MsgHandler previous_handler_;
};

TEST_F(ParallelListsTest, RandomTreesWithUnreadableAndVanishingFilesGiveTheListsOfOneReader) {
  const RunOptions kOptions[] = {
      {},
      {kOptHexFile | kOptHexPath, 0, 30, 8192},  // small slices, many chunks
      {0, 4, 0, -1},                             // no shared buffer: each reader its own
  };
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE("tree " + std::to_string(seed));
    BuildTree(seed);
    const RunOptions& options = kOptions[seed - 1];
    std::mt19937 random(seed * 7919);
    std::vector<Scenario> scenarios = {
        {}, {kNotifyGather, 1}, {kNotifySort, 1}, {kNotifyScan, 1}, {kNotifyProgress, 1},
    };
    for (int i = 0; i < 2; ++i) {
      const int at = 2 + static_cast<int>(random() % 90);
      scenarios.push_back({kNotifyProgress, at});
      scenarios.push_back({kNotifyProgress, at, true});
    }
    for (const Scenario& scenario : scenarios) {
      SCOPED_TRACE(Describe(scenario));
      const RunRecord one = Run(1, scenario, options);
      for (int threads : {0, 2, 3, 8}) {  // 0: chosen, and following the throughput
        SCOPED_TRACE(std::to_string(threads) + " readers");
        const RunRecord many = Run(threads, scenario, options);
        EXPECT_EQ(many.outcome, one.outcome);
        EXPECT_EQ(many.tree_list, one.tree_list);
        EXPECT_EQ(many.id_list, one.id_list);
        EXPECT_EQ(many.notifications, one.notifications);
      }
    }
    std::filesystem::remove_all(tree_.Path("scan"));
    vanishing_.clear();
  }
}

// The number of readers a run takes, as the window sees it once the scan begins.
TEST_F(ParallelListsTest, ReaderCountIsTheSettingOrChosenWithinItsLimits) {
  tree_.File("scan/a", "abcdef");
  struct Case {
    int32_t setting;
    int32_t low, high;
  };
  for (const Case& c :
       {Case{1, 1, 1}, Case{5, 5, 5}, Case{100, kMaxReaders, kMaxReaders},
        Case{-3, 1, content::kMaxAdaptiveReaders}, Case{0, 1, content::kMaxAdaptiveReaders}}) {
    int32_t readers = -1;
    class Window : public ScanWindow {
     public:
      explicit Window(int32_t* readers) : readers_(readers) {}
      int32_t OnJobNotify(TDskFil& job, const JobEvent&) override {
        if (job.readers() != 0) *readers_ = job.readers();
        return 0;
      }
      int32_t* readers_;
    } window(&readers);
    const ScanOutcome outcome =
        TDskFil::Start(MakeJob(kModeCreate, &window, c.setting, RunOptions())).get();
    ASSERT_TRUE(outcome.finished);
    EXPECT_GE(readers, c.low) << c.setting;
    EXPECT_LE(readers, c.high) << c.setting;
    // The outcome tells the count at the end and the most at once.
    EXPECT_EQ(outcome.readers_last, readers) << c.setting;
    EXPECT_GE(outcome.readers_most, outcome.readers_last) << c.setting;
    EXPECT_LE(outcome.readers_most, c.high) << c.setting;
  }
}

}  // namespace

}  // namespace scan
