#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/run_command.h"
#include "common/scoped_env.h"
#include "common/temp_tree.h"

namespace {

using testing_support::RunCommand;
using testing_support::TempTree;

TEST(IdCommandTest, PrintsTheIdFieldOfEveryFile) {
  TempTree tree;
  const std::string six = tree.File("six", "abcdef");
  const std::string seven = tree.File("with blank", "abcdefg");
  const std::string three = tree.File("abc", "abc");
  const std::string empty = tree.File("empty", "");
  const std::string zeros = tree.File("zeros", std::string(10, '\0'));
  const std::string utf8 = tree.File("Äpfel.txt", "abcdef");
  const auto r = RunCommand(CHECKER_CLI_PATH, {"id", six, seven, three, empty, zeros, utf8});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "F  07012 18845  " + six + "\nF  35060 64315  " + seven + "\nF  $616263      " +
                       three + "\nF  00000 00000  " + empty + "\nF  00000 00120  " + zeros +
                       "\nF  07012 18845  " + utf8 + "\n");
  EXPECT_EQ(r.err, "");
}

TEST(IdCommandTest, FilesWithoutAnIdMakeTheStatusOne) {
  TempTree tree;
  const std::string six = tree.File("six", "abcdef");
  const std::string dir = tree.Dir("sub");
  const std::string missing = tree.Path("missing");
  const auto r = RunCommand(CHECKER_CLI_PATH, {"id", missing, six, dir, "--", "-x"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "F  !CannotFind  " + missing + "\nF  07012 18845  " + six +
                       "\nF  !CannotFind  " + dir + "\nF  !CannotFind  -x\n");
}

TEST(IdCommandTest, UnreadableFilesCannotBeOpened) {
  TempTree tree;
  const std::string locked = tree.File("locked", "abcdefgh");
  const std::string tiny = tree.File("tiny", "ab");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  std::filesystem::permissions(tiny, std::filesystem::perms::none);
  if (std::ifstream(locked).is_open()) GTEST_SKIP() << "this user reads every file";
  const auto r = RunCommand(CHECKER_CLI_PATH, {"id", locked, tiny});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "F  !CannotOpen  " + locked + "\nF  !CannotOpen  " + tiny + "\n");
}

TEST(IdCommandTest, RelativeNamesArePrintedAsGiven) {
  TempTree tree;
  tree.File("a/one", "abcdef");
  tree.File("a/two", "xy");
  const testing_support::ScopedCurrentDir in_a(tree.Path("a"));
  const auto r = RunCommand(CHECKER_CLI_PATH, {"id", "one", "./two", "../a/one"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "F  07012 18845  one\nF  $7879        ./two\nF  07012 18845  ../a/one\n");
}

}  // namespace
