#pragma once
// Runs a program with arguments and collects its exit status and output.

#include <cstdint>
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

// A program left running while the test goes on, its output going nowhere; killed and
// waited for on destruction if the test has not waited.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& args);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // Ends it at once, as a power cut would: no handler of its own runs.
  void Kill();
  // Its exit status; kKilledStatus after Kill; 127 when it could not start.
  int Wait();

  static constexpr int kKilledStatus = 137;  // 128 + SIGKILL, as a shell reports it

 private:
  intptr_t process_ = -1;
  int status_ = -1;
};

}  // namespace testing_support
