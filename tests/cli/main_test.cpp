#include <gtest/gtest.h>

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

TEST(CliMainTest, VersionIsOneLine) {
  const auto r = RunCommand(CHECKER_CLI_PATH, {"--version"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.rfind("checker-cli ", 0), 0u);
  EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);
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
}

}  // namespace
