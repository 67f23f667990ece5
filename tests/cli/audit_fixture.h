#pragma once
// checker-cli compare and verify on real trees: a data tree with fixed write times,
// scanned into lists, and the commands run on them.

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "common/user_folders.h"
#include "platform/files.h"

namespace audit_tests {

using testing_support::CommandResult;
using testing_support::TempTree;

// 2020-05-01 12:34:56 UTC and some later times.
constexpr time_t kBaseTime = 1588336496;
constexpr time_t kLaterTime = kBaseTime + 3600;

inline void SetWriteTime(const std::string& path, time_t seconds) {
  ASSERT_TRUE(testing_support::SetFileTimes(path, testing_support::AtSecond(seconds))) << path;
}

// Replaces a file's content and gives it back its write time, as a disk that rots.
inline void RewriteBehindTheFileSystem(const std::string& path, const std::string& content) {
  ASSERT_TRUE(testing_support::RewriteKeepingTimes(path, content)) << path;
}

// One line of compare's text output: the class in its column, then the path.
inline std::string Row(std::string_view change, const std::string& path) {
  std::string row(change);
  row.resize(15, ' ');
  return row + path + "\n";
}

class AuditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = testing_support::FoldersEnv(tree_.Dir("config"), tree_.Dir("cache"));
    env_.push_back("CHECKER_APPDIR=" + tree_.Dir("app"));
    data_ = tree_.Dir("data");
    tree_.Dir("out");
  }

  CommandResult Cli(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "verify") SyncData();
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }

  // Verify reads the disk and calls a file whose pages are not all on it yet "still
  // being written": what a test wrote goes to the disk first.
  void SyncData() const {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             tree_.root(), std::filesystem::directory_options::skip_permission_denied, ec)) {
      if (!entry.is_regular_file(ec)) continue;
      platform::File file;
      if (file.Open(testing_support::TextOf(entry.path()), platform::OpenMode::kRead)) file.Sync();
    }
  }

  // A file of the data tree with a fixed write time.
  std::string Data(const std::string& relative, const std::string& content,
                   time_t time = kBaseTime) {
    const std::string path = tree_.File("data/" + relative, content);
    SetWriteTime(path, time);
    return path;
  }

  CommandResult Scan(const std::string& list, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"scan",   "--quiet", "--interval", "0",          "--no-backup",
                                     "--list", list,      "--tree",     list + ".t00"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(data_);
    return Cli(args);
  }

  std::string Out(const std::string& name) const { return tree_.Path("out/" + name); }

  TempTree tree_;
  std::vector<std::string> env_;
  std::string data_;
};

}  // namespace audit_tests
