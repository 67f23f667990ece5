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

// Runs `program` with stdin, stdout and stderr on one new pseudo-terminal of `columns`
// columns, as from a person's terminal: `input` is typed first (without echo), and `out`
// receives everything the program wrote to the terminal, byte for byte (no CR added).
// A program silent for 20 s is killed, and `err` says so.
CommandResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& input,
                            int columns = 200);

}  // namespace testing_support
