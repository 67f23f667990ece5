#pragma once
// checker-cli compare and verify on real trees: a data tree with fixed write times,
// scanned into lists, and the commands run on them.

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_fixture.h"
#include "common/test_os.h"
#include "platform/files.h"

namespace audit_tests {

using cli_tests::CommandResult;
using cli_tests::Row;
using cli_tests::TempTree;

// 2020-05-01 12:34:56 UTC and some later times.
constexpr time_t kBaseTime = 1588336496;
constexpr time_t kLaterTime = kBaseTime + 3600;

inline void SetWriteTime(const std::string& path, time_t seconds) {
  ASSERT_TRUE(testing_support::SetFileTimes(path, testing_support::AtSecond(seconds))) << path;
}

class AuditTest : public cli_tests::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    data_ = tree_.Dir("data");
    tree_.Dir("out");
  }

  CommandResult Cli(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "verify") SyncData();
    return CliTest::Cli(args);
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
    extra.insert(extra.begin(), {"--interval", "0"});
    return ScanLists(list, list + ".t00", data_, extra);
  }

  std::string Out(const std::string& name) const { return tree_.Path("out/" + name); }

  std::string data_;
};

}  // namespace audit_tests
