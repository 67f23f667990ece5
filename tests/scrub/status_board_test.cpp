// The scrub figures of a view refreshed again and again: each list's as its status read
// afresh from the list, and a list read again only when it or its volume's history
// changed since the last look.

#include "scrub/status_board.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "catalogue/volumes.h"
#include "scrub_fixture.h"

namespace {

using scrub::VolumeStatus;
using scrub_testing::kDay;

std::string FiguresOf(const VolumeStatus& s) {
  const auto time = [](const std::optional<int64_t>& t) {
    return t ? std::to_string(*t) : std::string("-");
  };
  return std::to_string(s.files) + " files " + std::to_string(s.bytes) + " bytes, cycle " +
         std::to_string(s.cycle_files) + "/" + std::to_string(s.cycle_bytes) + ", never " +
         std::to_string(s.never_checked) + ", overdue " + std::to_string(s.overdue) + ", damaged " +
         std::to_string(s.damaged) + ", checked " + std::to_string(s.facts.checked_files) +
         " oldest " + time(s.facts.oldest_check) + ", run " + time(s.facts.last_run_start) + "-" +
         time(s.facts.last_run_end);
}

std::vector<std::string> Figures(const std::vector<VolumeStatus>& statuses) {
  std::vector<std::string> figures;
  for (const VolumeStatus& status : statuses) figures.push_back(FiguresOf(status));
  return figures;
}

class StatusBoardTest : public scrub_testing::ScrubFixture {
 protected:
  std::vector<catalogue::CatalogueList> Lists() { return {List("Aa"), List("Bb")}; }

  // Each list's figures as StatusOf gives them from the list read now.
  std::vector<std::string> Afresh(const std::vector<catalogue::CatalogueList>& lists) {
    std::vector<std::string> figures;
    for (const catalogue::CatalogueList& list : lists) {
      lists::IdList read;
      lists::ListReadError error;
      VolumeStatus status;
      EXPECT_TRUE(lists::ReadIdList(list.path, &read, &error));
      EXPECT_TRUE(scrub::StatusOf(&History(), list, read, scrub::Budget().cycle, &status));
      figures.push_back(FiguresOf(status));
    }
    return figures;
  }

  std::vector<VolumeStatus> Board(const std::vector<catalogue::CatalogueList>& lists) {
    std::vector<VolumeStatus> statuses;
    std::string error;
    EXPECT_TRUE(board_.Update(history_path_, lists, scrub::Budget().cycle, &statuses, &error))
        << error;
    return statuses;
  }

  scrub::Budget All() {
    scrub::Budget budget;
    budget.percent = 100;
    return budget;
  }

  // The key of the line of `name` in the list, as the history files it.
  scrub::FileKey KeyOf(const catalogue::CatalogueList& list, const std::string& name) {
    lists::IdList read;
    lists::ListReadError error;
    EXPECT_TRUE(lists::ReadIdList(list.path, &read, &error));
    for (const lists::ListedFile& file : read.files()) {
      const std::string path = read.FullPath(file);
      if (!path.ends_with(testing_support::Native("/") + name)) continue;
      return {scrub::VolumeKey(list), catalogue::PathOnVolume(list, path), file.size,
              file.write_time, catalogue::ContentKey(file.id_text()).value_or(0)};
    }
    ADD_FAILURE() << "no line " << name;
    return {};
  }

  scrub::StatusBoard board_;
};

// Rewrites a file's bytes and sets its times back, as rot under the file system leaves it.
void RotKeepingTimes(const std::string& path) {
  std::string bytes(100, 'a');
  bytes[50] = 'Z';
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(path, bytes));
}

TEST_F(StatusBoardTest, FiguresAsReadAfreshReadingOnlyWhatChanged) {
  const std::vector<std::string> a = MakeVolume("Aa", 3, 100);
  MakeVolume("Bb", 2, 100);
  // No history yet: the catalogue's facts, every file never checked, no list read.
  EXPECT_EQ(Figures(Board(Lists())),
            (std::vector<std::string>{
                "3 files 300 bytes, cycle 0/0, never 3, overdue 0, damaged 0, checked 0 "
                "oldest -, run ---",
                "2 files 200 bytes, cycle 0/0, never 2, overdue 0, damaged 0, checked 0 "
                "oldest -, run ---"}));
  EXPECT_EQ(board_.lists_read(), 0u);

  struct Step {
    const char* what;
    std::function<void()> change;
    size_t lists_read;
    uint64_t damaged_a;
  };
  const std::vector<Step> steps = {
      {"the first run of Aa makes the history", [&] { Run(List("Aa"), All()); }, 2, 0},
      {"nothing changed", [] {}, 0, 0},
      {"a day on, a file of Aa rotted and found",
       [&] {
         now_ += kDay;
         RotKeepingTimes(a[1]);
         Run(List("Aa"), All());
       },
       1, 1},
      {"Bb scanned again", [&] { Scan("Bb"); }, 1, 1},
      {"the rotted file of Aa mended",
       [&] { ASSERT_TRUE(History().RecordMend(KeyOf(List("Aa"), "f001"), now_, "/copy")); }, 1, 0},
      {"a run of Bb started, a check written, and killed",
       [&] {
         scrub::VolumeClock clock;
         ASSERT_TRUE(History().StartRun(scrub::VolumeKey(List("Bb")), now_, kDay, &clock));
         ASSERT_TRUE(History().Record(clock.volume, clock.now,
                                      {{KeyOf(List("Bb"), "f000"), now_, {}, {}}}));
       },
       1, 0},
      {"another check of the run not ended",
       [&] {
         scrub::VolumeClock clock;
         ASSERT_TRUE(History().PeekClock(scrub::VolumeKey(List("Bb")), &clock));
         ASSERT_TRUE(History().Record(clock.volume, clock.now,
                                      {{KeyOf(List("Bb"), "f001"), now_, {}, {}}}));
       },
       1, 0},
      {"a run of Bb that ends", [&] { Run(List("Bb"), All()); }, 1, 0},
      {"nothing changed since", [] {}, 0, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    const std::vector<catalogue::CatalogueList> lists = Lists();
    const std::vector<VolumeStatus> board = Board(lists);
    EXPECT_EQ(board_.lists_read(), step.lists_read);
    EXPECT_EQ(Figures(board), Afresh(lists));
    EXPECT_EQ(board[0].damaged, step.damaged_a);
  }
}

}  // namespace
