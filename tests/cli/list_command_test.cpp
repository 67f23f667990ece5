#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_command.h"
#include "common/scoped_env.h"
#include "common/temp_tree.h"

namespace {

using testing_support::Native;
using testing_support::RunCommand;
using testing_support::TempTree;
using Lines = std::vector<std::string>;

// The lines of the output, sorted (the walk keeps the file system's order).
Lines SortedLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class ListCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_.File("a.txt", "abc");
    tree_.File("b/c.txt", "12345");
    tree_.File("b/Temp/d.bin", "1234567");
  }
  testing_support::CommandResult List(const std::vector<std::string>& args) {
    return RunCommand(CHECKER_CLI_PATH, args);
  }
  TempTree tree_;
};

TEST_F(ListCommandTest, DefaultsListEveryDirectoryBelowTheStart) {
  const auto r = List({"list", tree_.root()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(SortedLines(r.out), (Lines{tree_.Path("b/"), tree_.Path("b/Temp/")}));
  EXPECT_EQ(r.err, "total 0\n");
}

TEST_F(ListCommandTest, OptionsAndParamsReachTheWalk) {
  auto r = List({"list", tree_.root(), "--options", "70", "--params", "/EP temp"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, tree_.Path("b/\n"));
  EXPECT_EQ(r.err, "total 8\n");
  r = List({"list", "--options=97", tree_.root() + "b"});
  EXPECT_EQ(r.out, "c.txt\n");
  EXPECT_EQ(r.err, "total 5\n");
  // Parameters written into the path.
  r = List({"list", tree_.root() + "*.txt /S", "--options", "1"});
  EXPECT_EQ(SortedLines(r.out), (Lines{tree_.Path("a.txt"), tree_.Path("b/c.txt")}));
}

TEST_F(ListCommandTest, RelativePathIsMadeAbsolute) {
  const testing_support::ScopedCurrentDir in_temp(tree_.Path("b/Temp"));
  const auto r = List({"list", Native("../../b"), "--options", "32"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(SortedLines(r.out), (Lines{Native("Temp/"), "c.txt"}));
}

TEST_F(ListCommandTest, LineBreakInANameDoesNotSplitItsLine) {
  tree_.File("b/two\nlines\r.txt", "");
  const auto r = List({"list", tree_.root() + "b/", "--options", "32"});
  EXPECT_EQ(SortedLines(r.out), (Lines{"Temp/", "c.txt", "two?lines?.txt"}));
}

TEST_F(ListCommandTest, MissingStartDirectoryReportsMinusOne) {
  const auto r = List({"list", tree_.root() + "missing/"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "total -1\n");
}

}  // namespace
