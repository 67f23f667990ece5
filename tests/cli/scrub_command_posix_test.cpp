// checker-cli scrub killed in the middle of a run (a child of its own, and a signal).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "cli/scrub_command_fixture.h"

namespace scrub_command_tests {
namespace {

TEST_F(ScrubCommandTest, AKilledRunKeepsTheChecksItCompleted) {
  for (int i = 0; i < 40; ++i) Data("f" + std::to_string(i), std::string(50000, 'a' + i % 26));
  ScanInto("Disk", tree_.Path("volume/"));
  // 2 MB at 500 kB a second: four seconds, killed after two.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (const std::string& entry : env_) putenv(const_cast<char*>(entry.c_str()));
    execl(CHECKER_CLI_PATH, CHECKER_CLI_PATH, "scrub", "--catalogue", catalogue_.c_str(),
          "--budget", "100%", "--rate", "500k", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  const int64_t kept = Checked();
  EXPECT_GT(kept, 10);
  EXPECT_LT(kept, 40);
  // The next run goes on with the files never checked.
  ASSERT_EQ(Scrub({"--bytes", "1"}).exit_code, 0);
  EXPECT_EQ(Checked(), kept + 1);
}

}  // namespace
}  // namespace scrub_command_tests
