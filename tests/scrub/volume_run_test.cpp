// Which files a scrub reads, run after run, on a clock the test sets.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "catalogue/volumes.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "scrub/selection.h"
#include "scrub_fixture.h"

namespace {

using scrub::Budget;
using scrub_testing::kDay;

class VolumeRunTest : public scrub_testing::ScrubFixture {
 protected:
  // The files one run reads, by their names.
  std::vector<std::string> Read(const catalogue::CatalogueList& list, const Budget& budget) {
    std::vector<std::string> names;
    scrub::RunOptions options;
    options.budget = budget;
    options.now = [this] { return now_; };
    scrub::RunSinks sinks;
    sinks.progress = [&](uint64_t, uint64_t, const std::string& path) {
      names.push_back(path.substr(path.find_last_of(testing_support::Native("/")) + 1));
    };
    const scrub::RunResult result = scrub::ScrubVolume(&History(), history_path_, list,
                                                       catalogue::MountedVolumes(), options, sinks);
    EXPECT_EQ(result.state, scrub::RunState::kDone) << result.error;
    EXPECT_TRUE(result.findings.empty());
    // Files are read several at once: which, not in what order.
    std::sort(names.begin(), names.end());
    return names;
  }

  // A run of every file a day later, with a rate cap or none (0).
  scrub::RunResult RunAll(const catalogue::CatalogueList& list, uint64_t rate) {
    scrub::RunOptions options;
    options.budget.percent = 100;
    options.rate = rate;
    options.now = [this] { return now_ += kDay; };
    return scrub::ScrubVolume(&History(), history_path_, list, catalogue::MountedVolumes(), options,
                              {});
  }
};

Budget Bytes(uint64_t bytes) {
  Budget budget;
  budget.kind = Budget::Kind::kBytes;
  budget.bytes = bytes;
  return budget;
}

Budget Share(double percent) {
  Budget budget;
  budget.percent = percent;
  return budget;
}

TEST_F(VolumeRunTest, NeverCheckedFirstThenTheOldestCheckAsFarAsTheBudgetGoes) {
  MakeVolume("Disk", 6, 1000);
  const catalogue::CatalogueList list = List("Disk");
  using Names = std::vector<std::string>;
  struct Night {
    Budget budget;
    Names read;
  };
  // 1000 bytes a file: a budget stops before the first file that would pass it, and the
  // stalest file is read even when it alone passes the budget.
  const Night nights[] = {
      {Bytes(2500), {"f000", "f001"}},
      {Share(50), {"f002", "f003", "f004"}},
      {Bytes(10), {"f005"}},
      {Bytes(3000), {"f000", "f001", "f002"}},
      {Bytes(0), {"f003"}},
  };
  for (const Night& night : nights) {
    now_ += kDay;
    EXPECT_EQ(Read(list, night.budget), night.read);
  }
}

TEST_F(VolumeRunTest, ChecksAreKeptByTheFilesLineAndAMendChecksItAgain) {
  const std::vector<std::string> paths = MakeVolume("Disk", 3, 100);
  const catalogue::CatalogueList list = List("Disk");
  EXPECT_EQ(Read(list, Bytes(200)), (std::vector<std::string>{"f000", "f001"}));
  // The key as a list shows the file: its path below the volume's root.
  lists::IdList read;
  lists::ListReadError error;
  ASSERT_TRUE(lists::ReadIdList(list.path, &read, &error));
  std::map<std::string, scrub::FileKey> keys;
  for (const lists::ListedFile& file : read.files()) {
    scrub::FileKey key;
    key.volume = scrub::VolumeKey(list);
    key.path = catalogue::PathOnVolume(list, read.FullPath(file));
    key.size = file.size;
    key.write_time = file.write_time;
    key.id = *catalogue::ContentKey(file.id_text());
    keys[std::string(file.name())] = key;
  }
  read = {};
  const std::optional<scrub::LastCheck> first = History().Last(keys["f000"]);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->time, now_);
  EXPECT_EQ(first->verdict, scrub::Verdict::kUnchanged);
  EXPECT_EQ(first->id_read, keys["f000"].id);
  EXPECT_FALSE(History().Last(keys["f002"]));
  // Another size is another line: it has no history.
  scrub::FileKey other = keys["f000"];
  ++other.size;
  EXPECT_FALSE(History().Last(other));

  // Mended: never checked since, so read before the file never checked yet.
  ASSERT_TRUE(History().RecordMend(keys["f001"], now_, "/elsewhere/f001"));
  EXPECT_FALSE(History().Last(keys["f001"]));
  now_ += kDay;
  EXPECT_EQ(Read(list, Bytes(0)), (std::vector<std::string>{"f001"}));
}

// Daily runs with the volume mounted on random days and a budget of nothing: every
// file is still read within 30 days of the volume being mounted.
TEST_F(VolumeRunTest, EveryFileIsReadWithinItsCycleOfMountedDays) {
  MakeVolume("Disk", 40, 64);
  const catalogue::CatalogueList list = List("Disk");
  constexpr int kCycleDays = 30;
  // A run costs wine about half a second: there the random seeds see just over one cycle.
  constexpr int kDays = platform::kNativePathStyle == platform::PathStyle::kWindows ? 120 : 400;
  Budget budget = Bytes(0);
  budget.cycle = kCycleDays * kDay;
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    history_.reset();  // closed first: Windows removes no open file
    std::filesystem::remove_all(tree_.Path("data"));
    std::mt19937 random(seed);
    std::bernoulli_distribution mounted(seed == 1 ? 1.0 : 0.3);
    std::map<std::string, int> last;  // mounted days counted at each file's last read
    int days = 0;                     // days the volume was mounted at a run
    for (int day = 0; day < kDays; ++day) {
      now_ = scrub_testing::kStart + day * kDay;
      if (!mounted(random)) continue;
      ++days;
      for (const std::string& name : Read(list, budget)) last[name] = days;
      for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "f%03d", i);
        // Never read yet counts from the first mounted day.
        const int since = days - (last.count(name) != 0 ? last[name] : 1);
        ASSERT_LT(since, kCycleDays) << name << " on day " << day;
      }
    }
  }
}

TEST_F(VolumeRunTest, DamageIsFoundAndLeftForTheNextRunToSee) {
  const std::vector<std::string> paths = MakeVolume("Disk", 2, 100);
  const catalogue::CatalogueList list = List("Disk");
  // The same size and write time, other bytes.
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(paths[1], std::string(100, 'Z')));
  const scrub::RunResult result = Run(list, Share(100));
  ASSERT_EQ(result.findings.size(), 1u);
  EXPECT_EQ(result.findings[0].verdict, scrub::Verdict::kCorrupted);
  EXPECT_EQ(result.findings[0].path, paths[1]);
  EXPECT_EQ(result.files, 2u);
}

// A file whose data is not on this disk is left unread, its reason given, unless the run
// is told to read it; with several readers or one under a rate cap alike.
TEST_F(VolumeRunTest, PlaceholdersAreUnreadableUnreadUnlessTheRunReadsThem) {
  const std::vector<std::string> paths = MakeVolume("Disk", 3, 100);
  const catalogue::CatalogueList list = List("Disk");
  for (const bool read : {false, true}) {
    for (const uint64_t rate : {uint64_t{0}, uint64_t{1} << 30}) {
      SCOPED_TRACE(::testing::Message() << (read ? "read " : "left ") << rate);
      scrub::RunOptions options;
      options.budget.percent = 100;
      options.rate = rate;
      options.read_placeholders = read;
      options.now = [this] { return now_ += kDay; };
      platform::SetPlaceholderNameForTesting("f001");
      const scrub::RunResult result = scrub::ScrubVolume(&History(), history_path_, list,
                                                         catalogue::MountedVolumes(), options, {});
      platform::SetPlaceholderNameForTesting("");
      std::vector<std::string> lines;
      for (const scrub::Finding& finding : result.findings) {
        lines.push_back(finding.path + " " + std::to_string(static_cast<int>(finding.verdict)) +
                        " " + finding.reason);
      }
      const std::vector<std::string> left = {paths[1] + " 4 not on this disk: a placeholder"};
      EXPECT_EQ(lines, read ? std::vector<std::string>() : left);
    }
  }
}

// Large files are read in parts by several readers at once (no rate) or in slices told to
// the cap (a rate): either way a byte changed deep inside, times kept, is corruption.
TEST_F(VolumeRunTest, DamageDeepInLargeFilesIsFoundWithOrWithoutARate) {
  struct Sized {
    const char* name;
    size_t size;
  };
  const Sized files[] = {{"small", 100}, {"parts", 5 << 20}, {"slices", (9 << 20) + 3}};
  for (const Sized& file : files)
    tree_.File("volumes/Big/" + std::string(file.name), std::string(file.size, 'q'));
  Scan("Big");
  const catalogue::CatalogueList list = List("Big");
  for (const Sized& file : files) {
    const std::string path = tree_.Path("volumes/Big/" + std::string(file.name));
    std::string content(file.size, 'q');
    content[file.size * 2 / 3] = 'r';
    ASSERT_TRUE(testing_support::RewriteKeepingTimes(path, content));
  }
  for (const uint64_t rate : {uint64_t{0}, uint64_t{1} << 30}) {
    const scrub::RunResult result = RunAll(list, rate);
    std::vector<std::string> corrupted;
    for (const scrub::Finding& finding : result.findings) {
      if (finding.verdict == scrub::Verdict::kCorrupted) {
        corrupted.push_back(
            finding.path.substr(finding.path.find_last_of(testing_support::Native("/")) + 1));
      }
    }
    std::sort(corrupted.begin(), corrupted.end());
    EXPECT_EQ(corrupted, (std::vector<std::string>{"parts", "slices", "small"})) << rate;
    EXPECT_EQ(result.findings.size(), 3u) << rate;
    EXPECT_EQ(result.bytes, 100u + (5 << 20) + (9 << 20) + 3) << rate;
  }
}

// A folder's files are read through one handle of it, kept from file to file: a file is
// judged in its own folder, never in the folder of the file before, nor a folder gone.
TEST_F(VolumeRunTest, EachFileIsJudgedInItsOwnFolder) {
  const char* const names[] = {"a/x", "a/y", "a/b/x", "c/x", "c/y", "d/x", "e/x"};
  for (const char* name : names) tree_.File("volumes/Nest/" + std::string(name), name);
  Scan("Nest");
  const catalogue::CatalogueList list = List("Nest");
  const std::string root = tree_.Path("volumes/Nest/");
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(tree_.Path("volumes/Nest/a/b/x"), "A/B/X"));
  std::filesystem::remove_all(tree_.Path("volumes/Nest/c"));
  std::filesystem::remove(tree_.Path("volumes/Nest/d/x"));
  using testing_support::Native;
  const std::vector<std::string> expected = {
      Native("a/b/x") + " corrupted ",
      Native("c/x") + " missing its folder is gone",
      Native("c/y") + " missing its folder is gone",
      Native("d/x") + " missing gone since it was listed",
  };
  const char* const verdicts[] = {"unchanged",  "touched", "changed", "corrupted",
                                  "unreadable", "missing", "mended"};
  for (const uint64_t rate : {uint64_t{0}, uint64_t{1} << 30}) {
    const scrub::RunResult result = RunAll(list, rate);
    std::vector<std::string> lines;
    for (const scrub::Finding& finding : result.findings) {
      lines.push_back(finding.path.substr(root.size()) + " " +
                      verdicts[static_cast<int>(finding.verdict)] + " " + finding.reason);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, expected) << rate;
    EXPECT_EQ(result.files, std::size(names)) << rate;
  }
}

}  // namespace

// A history or an index put in a folder others share (the temp folder, a home) keeps
// itself to its owner but leaves the folder as it was; a folder made for it is private.
TEST_F(VolumeRunTest, StoresKeepToTheirOwnerAndLeaveASharedFolderAsItWas) {
  const auto mode = [](const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0u;
  };
  const struct {
    const char* folder;
    unsigned folder_mode;  // 0: the store makes the folder
    unsigned expected;
  } cases[] = {{"sticky/", 01777, 01777}, {"open/", 0755, 0755}, {"made/", 0, 0700}};
  for (const auto& c : cases) {
    const std::string folder = tree_.Path(c.folder);
    if (c.folder_mode != 0) {
      tree_.Dir(c.folder);
      ASSERT_EQ(chmod(folder.c_str(), c.folder_mode), 0);
    }
    {
      scrub::History history;
      ASSERT_TRUE(history.Open(folder + "history.db")) << history.error();
    }
    EXPECT_EQ(mode(folder + "history.db"), 0600u) << c.folder;
    EXPECT_EQ(mode(folder), c.expected) << c.folder << " after the history";
    catalogue::CatalogueIndex index({catalogue_}, folder + "index.db", "v00");
    EXPECT_TRUE(index.Refresh()) << index.error();
    EXPECT_EQ(mode(folder + "index.db"), 0600u) << c.folder;
    EXPECT_EQ(mode(folder), c.expected) << c.folder << " after the index";
  }
}
