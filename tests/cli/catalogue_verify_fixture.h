#pragma once
// verify and compare with a catalogue: the lists scanned into a catalogue folder of the
// test's tree, and the commands run on them.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/user_folders.h"

namespace catalogue_verify_tests {

using testing_support::CommandResult;
using testing_support::TempTree;

// Replaces a file's bytes and gives it back its times, as a disk that rots.
inline void Rot(const std::string& path, const std::string& content) {
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(path, content)) << path;
}

inline std::string Row(const std::string& change, const std::string& text) {
  std::string row = change;
  row.resize(15, ' ');
  return row + text + "\n";
}

class CatalogueVerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = testing_support::FoldersEnv(tree_.Dir("config"), tree_.Dir("cache"));
    env_.push_back("CHECKER_APPDIR=" + tree_.Dir("app"));
    catalogue_ = tree_.Dir("catalogue");
  }

  CommandResult Cli(const std::vector<std::string>& args) {
#ifndef _WIN32
    sync();  // verify reads what is on the disk (Windows' unbuffered reads flush first)
#endif
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }

  std::string Scan(const std::string& name, const std::string& root,
                   std::vector<std::string> extra = {}) {
    const std::string list = catalogue_ + name + ".v00";
    std::vector<std::string> args = {
        "scan", "--quiet", "--no-backup", "--list", list, "--tree", tree_.Path(name + ".t00")};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(root);
    const CommandResult r = Cli(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return list;
  }

  // verify of `list` refused with `err`, nothing on stdout.
  void ExpectRefused(const std::string& list, const std::string& err) {
    const CommandResult r = Cli({"verify", list});
    EXPECT_EQ(r.exit_code, 2) << list;
    EXPECT_EQ(r.out, "") << list;
    EXPECT_EQ(r.err, "checker-cli: " + err + "\n") << list;
  }

  TempTree tree_;
  std::vector<std::string> env_;
  std::string catalogue_;
};

}  // namespace catalogue_verify_tests
