// Two real lists of one tree, scanned before and after changes, compared in the engine.

#include "audit/compare.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "audit/verify_run.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/test_os.h"

namespace {

using testing_support::TempTree;

constexpr time_t kBaseTime = 1588336496;  // 2020-05-01 12:34:56 UTC
constexpr time_t kLaterTime = kBaseTime + 3600;

// A file as one scan finds it.
struct Seen {
  std::string bytes;
  time_t time = kBaseTime;
};

// One path before and after; nullopt where it does not exist.
struct Row {
  std::string path;
  std::optional<Seen> before;
  std::optional<Seen> after;
};

// What a comparison must say of a row, by what the two scans saw.
std::string ExpectedClass(const Row& row) {
  if (!row.before) return "new";
  if (!row.after) return "missing";
  const bool same_bytes = row.before->bytes == row.after->bytes;
  const bool same_time = row.before->time == row.after->time;
  if (same_bytes) return same_time ? "unchanged" : "touched";
  const bool same_size = row.before->bytes.size() == row.after->bytes.size();
  return same_size && same_time ? "corrupted" : "changed";
}

class CompareTest : public ::testing::Test {
 protected:
  void Put(const std::string& path, const Seen& seen) {
    const std::string full = tree_.File("data/" + path, seen.bytes);
    ASSERT_TRUE(testing_support::SetFileTimes(full, testing_support::AtSecond(seen.time))) << full;
  }

  // A list of the data tree, written by the command-line program's scan.
  std::string Scan(const std::string& name) {
    const std::string list = tree_.Path(name);
    const testing_support::CommandResult run = testing_support::RunCommand(
        CHECKER_CLI_PATH,
        {"scan", "--quiet", "--no-backup", "--list", list, "--tree", list + ".t00",
         tree_.Path("data")},
        {"CHECKER_APPDIR=" + tree_.Dir("app"), "XDG_CONFIG_HOME=" + tree_.Dir("config")});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return list;
  }

  // path -> class of every file the comparison names.
  std::map<std::string, std::string> Classes(const std::string& old_list,
                                             const std::string& new_list) {
    audit::AuditResult result;
    audit::CompareOptions options;
    options.keep_unchanged = true;
    std::vector<std::string> errors;
    EXPECT_TRUE(audit::CompareListFiles(old_list, new_list, options, &result, &errors));
    std::map<std::string, std::string> classes;
    for (const audit::FileComparison& file : result.comparison.files) {
      const lists::ListedFile& listed = file.old_file ? *file.old_file : *file.new_file;
      const lists::IdList& list = file.old_file ? result.old_list : result.new_list;
      classes[list.FullPath(listed)] = std::string(audit::FileChangeName(file.change));
    }
    return classes;
  }

  TempTree tree_;
};

TEST_F(CompareTest, EveryRowGetsTheClassOfWhatChanged) {
  const std::vector<Row> rows = {
      {"same.txt", Seen{"kept as it was"}, Seen{"kept as it was"}},
      {"edited.txt", Seen{"first words"}, Seen{"other words", kLaterTime}},
      {"grown.txt", Seen{"short"}, Seen{"short and longer", kLaterTime}},
      {"rotten.txt", Seen{"bits on a disk"}, Seen{"bits on a dusk"}},
      {"touched.txt", Seen{"touched only"}, Seen{"touched only", kLaterTime}},
      {"sub/new.txt", std::nullopt, Seen{"made after"}},
      {"sub/gone.txt", Seen{"removed after"}, std::nullopt},
  };
  for (const Row& row : rows) {
    if (row.before) Put(row.path, *row.before);
  }
  Put("old/name.dat", Seen{"a file that moves"});
  const std::string old_list = Scan("old.v00");
  for (const Row& row : rows) {
    if (row.after) {
      Put(row.path, *row.after);
    } else {
      ASSERT_EQ(std::remove(tree_.Path("data/" + row.path).c_str()), 0);
    }
  }
  tree_.Dir("data/sub");
  ASSERT_EQ(std::rename(tree_.Path("data/old/name.dat").c_str(),
                        tree_.Path("data/sub/renamed.dat").c_str()),
            0);
  const std::string new_list = Scan("new.v00");

  std::map<std::string, std::string> expected;
  for (const Row& row : rows) expected[tree_.Path("data/" + row.path)] = ExpectedClass(row);
  // A moved file is named by its old path.
  expected[tree_.Path("data/old/name.dat")] = "moved";
  EXPECT_EQ(Classes(old_list, new_list), expected);
}

// A file that is no list, or one cut inside a line, is refused with the line it fails at.
TEST_F(CompareTest, ForeignOrBrokenListsAreRefusedWithTheirLine) {
  Put("a.txt", Seen{"a"});
  const std::string good = Scan("good.v00");
  const std::string text = TempTree::Read(good);
  const struct {
    std::string name;
    std::string text;
    std::string error;
  } cases[] = {
      {"foreign.v00", "just some notes\r\n", ": line 1: "},
      {"broken.v00", text.substr(0, text.find("\r\n") + 2) + "not a line of a list\r\n",
       ": line 2: "},
  };
  for (const auto& c : cases) {
    const std::string path = tree_.File(c.name, c.text);
    audit::AuditResult result;
    std::vector<std::string> errors;
    EXPECT_FALSE(audit::CompareListFiles(good, path, {}, &result, &errors)) << c.name;
    ASSERT_EQ(errors.size(), 1u) << c.name;
    EXPECT_EQ(errors[0].substr(0, path.size() + c.error.size()), path + c.error) << errors[0];
  }
}

// A comparison asked to stop ends with that alone: while it reads the lists, or once they
// are read.
TEST_F(CompareTest, AStopAskedEndsWithTheStopAlone) {
  for (int i = 0; i < 50; ++i) Put("f" + std::to_string(i), Seen{std::to_string(i)});
  const std::string old_list = Scan("old.v00");
  const std::string new_list = Scan("new.v00");
  std::atomic<bool> stop{true};
  audit::CompareOptions options;
  options.keep_unchanged = true;
  options.stop = &stop;

  audit::AuditResult read;
  std::vector<std::string> errors;
  EXPECT_TRUE(audit::CompareListFiles(old_list, new_list, options, &read, &errors));
  EXPECT_EQ(errors, std::vector<std::string>{});

  stop = false;
  audit::AuditResult whole;
  ASSERT_TRUE(audit::CompareListFiles(old_list, new_list, options, &whole, &errors));
  stop = true;
  for (const audit::ListComparison& stopped :
       {read.comparison, audit::CompareIdLists(whole.old_list, whole.new_list, options)}) {
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.files.empty());
    EXPECT_EQ(stopped.totals.files, decltype(stopped.totals.files){});
  }
  EXPECT_FALSE(whole.comparison.stopped);
  EXPECT_EQ(whole.comparison.files.size(), 50u);
}

// A verify's comparison, after its job, stops as a comparison of two files does.
TEST_F(CompareTest, AVerifyAskedToStopEndsWithTheStopAlone) {
  Put("a.txt", Seen{"a"});
  const std::string old_list = Scan("old.v00");
  for (const bool stop_asked : {false, true}) {
    audit::VerifyRun verify;
    std::string error;
    ASSERT_TRUE(verify.Open(old_list, "", &error)) << error;
    ASSERT_TRUE(verify.Prepare(tree_.Path("new" + std::to_string(stop_asked) + ".v00"), "", &error))
        << error;
    // The job's list: the same tree scanned again.
    std::filesystem::copy_file(old_list, verify.new_id_list());
    scan::ScanOutcome outcome;
    outcome.scanned = outcome.finished = outcome.id_list_written = true;
    const std::atomic<bool> stop{stop_asked};
    ASSERT_TRUE(verify.Compare(outcome, true, &error, &stop)) << error;
    EXPECT_EQ(verify.result()->comparison.stopped, stop_asked);
    EXPECT_EQ(verify.result()->comparison.files.size(), stop_asked ? 0u : 1u);
  }
}

}  // namespace
