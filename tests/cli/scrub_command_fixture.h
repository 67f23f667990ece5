#pragma once
// checker-cli scrub over lists real scans wrote into a catalogue folder of the test's tree.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "catalogue/sqlite_db.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/user_folders.h"

namespace scrub_command_tests {

using testing_support::CommandResult;
using testing_support::SortedLines;
using testing_support::TempTree;

// A line of scrub: the class padded to column 16, the path, then what to know.
inline std::string Row(const std::string& change, const std::string& path,
                       const std::string& note = "") {
  std::string line = change;
  line.resize(15, ' ');
  return line + path + (note.empty() ? "" : ": " + note) + "\n";
}

// Rewrites a file's bytes and sets its times back, as rot under the file system leaves it.
inline void RotKeepingTimes(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(path, bytes)) << path;
}

// The pages of every file dropped where this user may: the reads below come from disk.
inline void DropCaches() { std::ofstream("/proc/sys/vm/drop_caches") << "3\n"; }

class ScrubCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = testing_support::FoldersEnv(tree_.Dir("config"), tree_.Dir("cache"), tree_.Dir("data"));
    env_.push_back("CHECKER_APPDIR=" + tree_.Dir("app"));
    catalogue_ = tree_.Dir("catalogue");
  }

  CommandResult Scrub(std::vector<std::string> args) {
    args.insert(args.begin(), {"scrub", "--catalogue", catalogue_});
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }

  std::string Data(const std::string& name, const std::string& content) {
    return tree_.File("volume/" + name, content);
  }

  void ScanInto(const std::string& name, const std::string& root,
                const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"scan", "--quiet", "--no-backup", "--list",
                                     catalogue_ + name + ".v00"};
    args.insert(args.end(), {"--tree", tree_.Path(name + ".t00"), "--label", name});
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(root);
    const CommandResult r = testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }

  // How many files the history holds a check of.
  int64_t Checked() {
    catalogue::Database db;
    EXPECT_TRUE(db.Open(tree_.Path("data/checker/history.db")));
    catalogue::Statement count;
    EXPECT_TRUE(db.Prepare("SELECT count(checked) FROM checks", &count));
    return count.Step() ? count.Int(0) : -1;
  }

  TempTree tree_;
  std::vector<std::string> env_;
  std::string catalogue_;
};

}  // namespace scrub_command_tests
