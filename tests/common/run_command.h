#pragma once
// Runs a program with arguments and collects its exit status and output.

#include <string>
#include <vector>

namespace testing_support {

struct CommandResult {
  int exit_code = -1;  // 128 + signal when killed by a signal
  std::string out;
  std::string err;
};

// Runs `program` with `args`, stdin from /dev/null, extra environment entries
// ("NAME=value") added to the current environment.
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

}  // namespace testing_support
