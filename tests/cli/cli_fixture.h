#pragma once
// checker-cli run as a program on a test's own tree: its settings, cache and program
// folders inside the tree, and lists scanned into a catalogue folder there.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/user_folders.h"

namespace cli_tests {

using testing_support::CommandResult;
using testing_support::TempTree;

// A line of compare, verify, scrub and repair: the word padded to column 16, the path,
// then what to know after a colon.
inline std::string Row(std::string_view word, const std::string& path,
                       const std::string& note = "") {
  std::string row(word);
  row.resize(15, ' ');
  return row + path + (note.empty() ? "" : ": " + note) + "\n";
}

// Writes `content` over a file and gives it back its times, as a disk that rots below
// its file system.
inline void Rot(const std::string& path, std::string_view content) {
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(path, content)) << path;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { UseFolders(); }

  // The child's folders in the tree; `data`, when given, keeps what must last (the history).
  void UseFolders(const std::string& data = "") {
    env_ = testing_support::FoldersEnv(tree_.Dir("config"), tree_.Dir("cache"), data);
    env_.push_back("CHECKER_APPDIR=" + tree_.Dir("app"));
    catalogue_ = tree_.Dir("catalogue");
  }

  CommandResult Cli(const std::vector<std::string>& args) const {
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }

  // A quiet scan of `root` into `list` and `tree_list` that keeps no backup; `extra`
  // goes before the root.
  CommandResult ScanLists(const std::string& list, const std::string& tree_list,
                          const std::string& root,
                          const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args = {"scan", "--quiet", "--no-backup", "--list",
                                     list,   "--tree",  tree_list};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(root);
    return Cli(args);
  }

  // ScanLists into the list NAME.v00 of the catalogue folder (NAME.t00 at the tree's top),
  // its status at most `worst`; the list's path.
  std::string ScanInto(const std::string& name, const std::string& root,
                       const std::vector<std::string>& extra = {}, int worst = 0) {
    const std::string list = catalogue_ + name + ".v00";
    const CommandResult r = ScanLists(list, tree_.Path(name + ".t00"), root, extra);
    EXPECT_TRUE(r.exit_code >= 0 && r.exit_code <= worst) << name << ": " << r.err;
    return list;
  }

  TempTree tree_;
  std::vector<std::string> env_;
  std::string catalogue_;
};

}  // namespace cli_tests
