#include "common/run_command.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace testing_support {

namespace {

constexpr int kTerminalTimeoutMs = 20000;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// In the child: adds the environment entries and becomes the program.
[[noreturn]] void Exec(const std::string& program, const std::vector<std::string>& args,
                       const std::vector<std::string>& env) {
  for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

// A waitpid status as a shell reports it: the exit code, or 128 + the signal.
int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
  CommandResult result;
  char out_name[] = "/tmp/checker-out-XXXXXX";
  char err_name[] = "/tmp/checker-err-XXXXXX";
  const int out_fd = mkstemp(out_name);
  const int err_fd = mkstemp(err_name);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in_fd = open("/dev/null", O_RDONLY);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    Exec(program, args, env);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = ExitStatus(status);
  close(out_fd);
  close(err_fd);
  result.out = Slurp(out_name);
  result.err = Slurp(err_name);
  unlink(out_name);
  unlink(err_name);
  return result;
}

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    for (int fd : {0, 1, 2}) dup2(null_fd, fd);
    Exec(program, args, {});
  }
  process_ = pid;
}

RunningProgram::~RunningProgram() {
  if (process_ <= 0 || status_ >= 0) return;
  Kill();
  Wait();
}

void RunningProgram::Kill() {
  if (process_ > 0 && status_ < 0) kill(static_cast<pid_t>(process_), SIGKILL);
}

int RunningProgram::Wait() {
  if (status_ >= 0) return status_;
  int status = 0;
  if (process_ <= 0 || waitpid(static_cast<pid_t>(process_), &status, 0) != process_) {
    status_ = 127;
  } else {
    status_ = ExitStatus(status);
  }
  return status_;
}

CommandResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& env, const std::string& input,
                            int columns) {
  CommandResult result;
  termios modes{};
  cfmakeraw(&modes);
  // Lines as typed, but no echo and no CR before each LF, so the output is what the
  // program wrote.
  modes.c_lflag |= ICANON | ISIG;
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, &modes, &size);
  if (pid < 0) return result;
  if (pid == 0) {
    Exec(program, args, env);
  }
  if (!input.empty() && write(master, input.data(), input.size()) < 0) {
    result.err = "cannot type the input";
  }
  char buffer[4096];
  for (;;) {
    // A program waiting for an answer nobody types would hang the test.
    pollfd ready{master, POLLIN, 0};
    if (poll(&ready, 1, kTerminalTimeoutMs) != 1) {
      kill(pid, SIGKILL);
      result.err = "no output for a while; killed";
      break;
    }
    const ssize_t n = read(master, buffer, sizeof buffer);
    // EIO once the program has closed its side.
    if (n <= 0) break;
    result.out.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = ExitStatus(status);
  return result;
}

}  // namespace testing_support
