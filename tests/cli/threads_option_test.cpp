// The reader count on the command line: the lists are the same whatever it is.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/scan_options.h"
#include "common/run_command.h"
#include "common/temp_tree.h"

namespace {

using testing_support::RunCommand;
using testing_support::TempTree;

TEST(ThreadsOptionTest, EveryReaderCountWritesTheSameLists) {
  TempTree tree;
  for (int i = 0; i < 40; ++i) {
    tree.File("data/d" + std::to_string(i % 4) + "/f" + std::to_string(i),
              std::string(static_cast<size_t>(i * 997), static_cast<char>('a' + i % 26)));
  }
  tree.File("data/big", std::string(5 << 20, 'x'));
  const std::vector<std::string> env = {"CHECKER_APPDIR=" + tree.Dir("app"),
                                        "XDG_CONFIG_HOME=" + tree.Dir("config")};
  std::string first;
  for (const char* threads : {"1", "2", "5", "0"}) {
    const std::string list = tree.Path(std::string("run") + threads + ".v00");
    const auto result = RunCommand(
        CHECKER_CLI_PATH,
        {"scan", "--quiet", "--threads", threads, "--label", "L", "--serial", "1", "--list", list,
         "--tree", tree.Path(std::string("run") + threads + ".t00"), tree.Path("data")},
        env);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::string text = TempTree::Read(list);
    ASSERT_GT(text.size(), 72u);
    text.replace(30, 39, std::string(39, '#'));  // the run's start and end times
    if (first.empty()) first = text;
    EXPECT_EQ(text, first) << threads;
  }
}

}  // namespace
