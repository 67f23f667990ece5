#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "common/run_command.h"

namespace {

using testing_support::RunCommand;

TEST(CliMainTest, HelpGoesToStdoutAndSucceeds) {
  const auto r = RunCommand(CHECKER_CLI_PATH, {"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("Usage: checker-cli COMMAND", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("  continue [OPTIONS] PATH"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

// The version is the one the build's project line gives.
TEST(CliMainTest, VersionIsTheProjectVersion) {
  std::ifstream build(std::string(CHECKER_TESTS_DIR) + "/../CMakeLists.txt");
  const std::string text((std::istreambuf_iterator<char>(build)), std::istreambuf_iterator<char>());
  std::smatch found;
  ASSERT_TRUE(std::regex_search(text, found, std::regex(R"(project\(checker VERSION ([0-9.]+))")));
  const auto r = RunCommand(CHECKER_CLI_PATH, {"--version"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "checker-cli " + found[1].str() + "\n");
}

TEST(CliMainTest, UsageErrorsGoToStderrWithStatus2) {
  auto r = RunCommand(CHECKER_CLI_PATH, {});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "checker-cli: missing command\nTry 'checker-cli --help' for more information.\n");
  r = RunCommand(CHECKER_CLI_PATH, {"frobnicate"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err,
            "checker-cli: unknown command 'frobnicate'\n"
            "Try 'checker-cli --help' for more information.\n");
  r = RunCommand(CHECKER_CLI_PATH, {"\x1b]0;x\x07"});
  EXPECT_EQ(r.err,
            "checker-cli: unknown command '?]0;x?'\n"
            "Try 'checker-cli --help' for more information.\n");
  r = RunCommand(CHECKER_CLI_PATH, {"id", "--\x1b[2J"});
  EXPECT_EQ(r.err, "checker-cli: id: unknown option '--?[2J'\n");
}

// Every command prints its own help, and says its usage errors under its own name (where
// "--help" may stand and what is an error: options_test.cpp).
TEST(CliMainTest, EveryCommandHasItsOwnHelpAndUsageErrors) {
  for (const std::string command :
       {"scan", "continue", "id", "volume", "names", "list", "compare", "verify"}) {
    auto r = RunCommand(CHECKER_CLI_PATH, {command, "--help"});
    EXPECT_EQ(r.exit_code, 0) << command;
    EXPECT_EQ(r.err, "") << command;
    EXPECT_EQ(r.out.rfind("Usage: checker-cli " + command + " ", 0), 0u) << r.out;
    EXPECT_TRUE(!r.out.empty() && r.out.back() == '\n') << command;
    r = RunCommand(CHECKER_CLI_PATH, {command, "--bogus", "x"});
    EXPECT_EQ(r.exit_code, 2) << command;
    EXPECT_EQ(r.out, "") << command;
    EXPECT_EQ(r.err, "checker-cli: " + command + ": unknown option '--bogus'\n");
  }
}

}  // namespace
