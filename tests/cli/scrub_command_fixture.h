#pragma once
// checker-cli scrub over lists real scans wrote into a catalogue folder of the test's tree.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "catalogue/sqlite_db.h"
#include "cli/cli_fixture.h"

namespace scrub_command_tests {

using cli_tests::CommandResult;
using cli_tests::Row;
using cli_tests::TempTree;
using testing_support::SortedLines;

// The pages of every file dropped where this user may: the reads below come from disk.
inline void DropCaches() { std::ofstream("/proc/sys/vm/drop_caches") << "3\n"; }

class ScrubCommandTest : public cli_tests::CliTest {
 protected:
  void SetUp() override { UseFolders(tree_.Dir("data")); }

  CommandResult Scrub(std::vector<std::string> args) {
    args.insert(args.begin(), {"scrub", "--catalogue", catalogue_});
    return Cli(args);
  }

  std::string Data(const std::string& name, const std::string& content) {
    return tree_.File("volume/" + name, content);
  }

  // The volume at `root` scanned into the catalogue as the list and label `name`.
  void ScanInto(const std::string& name, const std::string& root,
                std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"--label", name});
    CliTest::ScanInto(name, root, extra);
  }

  // How many files the history holds a check of.
  int64_t Checked() {
    catalogue::Database db;
    EXPECT_TRUE(db.Open(tree_.Path("data/checker/history.db")));
    catalogue::Statement count;
    EXPECT_TRUE(db.Prepare("SELECT count(checked) FROM checks", &count));
    return count.Step() ? count.Int(0) : -1;
  }
};

}  // namespace scrub_command_tests
