// checker-cli scan and continue on Linux: links, FIFOs, sockets and devices as search
// paths, unreadable modes, names with line breaks and escape sequences, terminals, and
// runs stopped by signals through a shell.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cli/scan_command_fixture.h"

namespace scan_command_tests {
namespace {

using testing_support::RunCommand;
using testing_support::RunOnTerminal;

// Runs a shell command line with the test's environment; "@CLI@" in the line stands for
// the program, and `tree` keeps what it writes.
CommandResult Shell(const std::vector<std::string>& env, const TempTree& tree, std::string line) {
  const std::string cli = "'" CHECKER_CLI_PATH "'";
  for (size_t at = line.find("@CLI@"); at != std::string::npos; at = line.find("@CLI@", at)) {
    line.replace(at, 5, cli);
    at += cli.size();
  }
  std::string command;
  for (const std::string& entry : env) {
    command += "export '" + entry + "'; ";
  }
  const std::string out = tree.Path("stdout");
  const std::string err = tree.Path("stderr");
  command += "(" + line + ") >'" + out + "' 2>'" + err + "' </dev/null";
  const int status = std::system(command.c_str());
  CommandResult result;
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_code = 128 + WTERMSIG(status);
  result.out = TempTree::Read(out);
  result.err = WithoutReaders(TempTree::Read(err));
  return result;
}

TEST_F(ScanCommandTest, SearchPathInAnUnreadableDirectorySaysWhy) {
  const std::string locked = tree_.Dir("locked");
  tree_.Dir("locked/data");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  if (access((locked + "data").c_str(), F_OK) == 0)
    GTEST_SKIP() << "this user reads every directory";
  const CommandResult result = Cli({"scan", "--list", "x.v00", "--tree", "x.t00", locked + "data"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "checker-cli: cannot scan " + locked + "data: Permission denied\n");
}

// A link, a FIFO, a socket or a device as the search path says what it is, and nothing
// is created.
TEST_F(ScanCommandTest, SearchPathThatIsALinkOrSpecialFileSaysWhatItIs) {
  tree_.File("data/a", "abcdef");
  namespace fs = std::filesystem;
  fs::create_directory_symlink(path_, tree_.Path("to-dir"));
  fs::create_symlink(tree_.Path("data/a"), tree_.Path("to-file"));
  fs::create_symlink(tree_.Path("nothing"), tree_.Path("to-nothing"));
  ASSERT_EQ(mkfifo(tree_.Path("fifo").c_str(), 0600), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string sock_path = tree_.Path("sock");
  ASSERT_LT(sock_path.size(), sizeof address.sun_path);
  sock_path.copy(address.sun_path, sock_path.size());
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string to_dir = "is a symbolic link to a directory; give the directory itself";
  const struct {
    std::string command, path, reason;
  } cases[] = {
      {"scan", tree_.Path("to-dir"), to_dir},
      {"continue", tree_.Path("to-dir/"), to_dir},
      {"scan", tree_.Path("to-file"), "is a symbolic link, not a directory"},
      {"scan", tree_.Path("to-nothing"), "is a symbolic link, not a directory"},
      {"scan", tree_.Path("fifo"), "is a FIFO, not a directory"},
      {"continue", tree_.Path("fifo"), "is a FIFO, not a directory"},
      {"scan", sock_path, "is a socket, not a directory"},
      {"scan", "/dev/null", "is a device, not a directory"},
  };
  for (const auto& c : cases) {
    const CommandResult result = Cli({c.command, c.path});
    EXPECT_EQ(result.exit_code, 2) << c.path;
    EXPECT_EQ(result.err, "checker-cli: cannot scan " + c.path + ": " + c.reason + "\n");
    EXPECT_EQ(result.out, "") << c.path;
  }
  close(sock);
  EXPECT_FALSE(std::filesystem::exists(app_ + "xBase"));
}

// The question on a terminal: three answers and the two folders, in a few lines.
class BaseFileQuestionTest : public ScanCommandTest {
 protected:
  // A first scan with `typed` as the answers; quiet, only the question is printed.
  CommandResult Ask(const std::string& typed, bool quiet = true) {
    tree_.File("data/a.txt", "abcdef");
    std::vector<std::string> args = {"scan", "--name", "x", path_};
    if (quiet) args.insert(args.begin() + 1, "--quiet");
    return RunOnTerminal(CHECKER_CLI_PATH, args, env_, typed);
  }
  std::string Question() const {
    return "The base settings file Quorvane.Ini was not found. Where shall it be created?\n"
           "  yes     in the folder all programs of the family share: " +
           config_ +
           "\n"
           "  no      in this program's own folder: " +
           app_ +
           "\n"
           "  cancel  nowhere; quit\n";
  }
};

TEST_F(BaseFileQuestionTest, NoCreatesItInTheProgramsFolder) {
  const auto r = Ask("later\nno\n");
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out, Question() + "[y]es/[n]o/[c]ancel? [y]es/[n]o/[c]ancel? ");
  EXPECT_TRUE(std::filesystem::exists(app_ + "Quorvane.Ini"));
  EXPECT_FALSE(std::filesystem::exists(config_ + "Quorvane.Ini"));
  EXPECT_TRUE(std::filesystem::exists(app_ + "xBase/x.v00"));
}

TEST_F(BaseFileQuestionTest, YesCreatesItInTheSharedFolderAndSaysSo) {
  const auto r = Ask("y\n", false);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out.rfind(Question() +
                            "[y]es/[n]o/[c]ancel? checker-cli: created the base "
                            "settings file " +
                            config_ + "Quorvane.Ini\n",
                        0),
            0u)
      << r.out;
  EXPECT_TRUE(std::filesystem::exists(config_ + "Quorvane.Ini"));
}

TEST_F(BaseFileQuestionTest, CancelEndsWithoutWritingAnything) {
  const auto r = Ask("c\n");
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out, Question() + "[y]es/[n]o/[c]ancel? ");
  EXPECT_FALSE(std::filesystem::exists(app_ + "Quorvane.Ini"));
  EXPECT_FALSE(std::filesystem::exists(config_ + "Quorvane.Ini"));
  EXPECT_FALSE(std::filesystem::exists(app_ + "xBase"));
}

TEST_F(ScanCommandTest, FileErrorsGiveStatusOne) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("data/two\nlines", "abcdef");  // a name a line cannot hold counts as an error
  tree_.Dir("out");
  const CommandResult result = WithLists({"scan", "--quiet"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  const std::vector<std::string> lines = Lines(TempTree::Read(tree_.Path("out/run.v00")));
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(70, 2), "FE");
}

// Every error the closing line counts is named above it, with its reason. (A file that
// vanishes or fails to read is named as the scan job's tests show.)
TEST_F(ScanCommandTest, UnreadableFilesAndEveryOtherErrorCountedAreNamed) {
  for (const char* name : {"a.txt", "closed", "locked/b", "two\nlines", "x\ry/c"}) {
    tree_.File(std::string("data/") + name, "abcdef");
  }
  tree_.Dir("out");
  const std::string dir = "checker-cli: " + path_ + "/";
  const std::string shown = " holds a line break; the list shows it as \"?\"\n";
  std::string expected = dir + "two?lines: the name" + shown + dir + "x?y/c: its directory's name" +
                         shown + "checker-cli: 5 files, 2 errors\n";
  if (geteuid() != 0) {  // root opens every file
    chmod(tree_.Path("data/closed").c_str(), 0);
    chmod(tree_.Path("data/locked").c_str(), 0);
    expected = "checker-cli: cannot read directory " + path_ + "/locked/: Permission denied\n" +
               "checker-cli: cannot read " + path_ + "/closed: Permission denied\n" +
               expected.substr(0, expected.rfind("checker-cli: ")) +
               "checker-cli: 4 files, 4 errors (1 directories not read)\n";
  }
  const CommandResult result = WithLists({"scan"});
  chmod(tree_.Path("data/locked").c_str(), 0700);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.err, expected);
}

// Ctrl-C stops the run at its next notification; continue with the same arguments
// finishes it, each file listed once.
TEST_F(ScanCommandTest, InterruptThenContinueCompletesTheList) {
  constexpr int kFiles = 1500;
  for (int i = 0; i < kFiles; ++i) tree_.File("data/f" + std::to_string(10000 + i), "abcdef");
  tree_.Dir("out");
  const std::string args = "--interval 1 --list '" + tree_.Path("out/run.v00") + "' --tree '" +
                           tree_.Path("out/run.t00") + "' " + path_;
  // The progress goes into a pipe that is read only up to the first file's line, so the
  // run cannot get far before the signal arrives.
  const std::string pid = tree_.Path("pid");
  const std::string rc = tree_.Path("rc");
  Shell(env_, tree_,
        "{ sh -c 'echo $$ > \"$0\"; exec \"$@\" 2>&1 >/dev/null' " + pid +
            " @CLI@ scan --progress " + args + "; echo $? > " + rc +
            "; } | { while read -r l; do case \"$l\" in *files*) kill -INT $(cat " + pid +
            "); break;; esac; done; cat >/dev/null; }");
  EXPECT_EQ(TempTree::Read(rc), "130\n");
  const std::string first = TempTree::Read(tree_.Path("out/run.v00"));
  std::vector<std::string> lines = Lines(first);
  ASSERT_GE(lines.size(), 3u) << first;
  EXPECT_EQ(lines[0].substr(70, 1), "C");
  EXPECT_LT(lines.size(), static_cast<size_t>(kFiles));

  const CommandResult finished = WithLists({"continue", "--quiet", "--interval", "1"});
  EXPECT_EQ(finished.exit_code, 0) << finished.err;
  lines = Lines(TempTree::Read(tree_.Path("out/run.v00")));
  std::set<std::string> names;
  size_t file_lines = 0;
  for (const std::string& line : lines) {
    if (line.rfind("F  ", 0) != 0) continue;
    ++file_lines;
    names.insert(line.substr(81, 6));
  }
  EXPECT_EQ(file_lines, static_cast<size_t>(kFiles));
  EXPECT_EQ(names.size(), static_cast<size_t>(kFiles));
  EXPECT_EQ(lines.back().substr(0, 3), "T  ");
}

// Without progress notifications Ctrl-C still stops the run, also inside one large file.
TEST_F(ScanCommandTest, InterruptWithoutProgressStillStops) {
  tree_.File("data/a", "abcdef");
  {
    std::FILE* big = std::fopen(tree_.Path("data/zbig").c_str(), "w");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(ftruncate(fileno(big), int64_t{4} << 30), 0);
    std::fclose(big);
  }
  tree_.Dir("out");
  const std::string list = tree_.Path("out/run.v00");
  // The tree list is written before the file pass begins; the big file takes seconds.
  const CommandResult result = Shell(
      env_, tree_,
      "@CLI@ scan --quiet --interval 0 --list '" + list + "' --tree '" + tree_.Path("out/run.t00") +
          "' " + path_ + " & pid=$!; while [ ! -s '" + tree_.Path("out/run.t00") +
          "' ]; do sleep 0.01; done; sleep 0.1;" + " kill -INT $pid; wait $pid");
  EXPECT_EQ(result.exit_code, 130) << result.err;
  EXPECT_EQ(TempTree::Read(list).find("zbig"), std::string::npos);
}

// A stop that arrives before the program has got far is still a stop (130), not a
// death by the signal (143). The signal waits, blocked, until the program unblocks it.
TEST_F(ScanCommandTest, AStopInTheFirstMomentsEndsTheRunAsStopped) {
  tree_.File("data/a", "abcdef");
  tree_.Dir("out");
  ASSERT_EQ(WithLists({"scan", "--quiet"}).exit_code, 0);
  std::vector<char*> envp;
  std::vector<std::string> env = env_;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  sigset_t blocked;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setsigmask(&attributes, &blocked);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  for (std::vector<std::string> args :
       {std::vector<std::string>{"scan", "--quiet", "--no-backup", "--list",
                                 tree_.Path("out/new.v00"), "--tree", tree_.Path("out/new.t00"),
                                 path_},
        std::vector<std::string>{"verify", "--quiet", tree_.Path("out/run.v00")}}) {
    std::vector<char*> argv = {const_cast<char*>(CHECKER_CLI_PATH)};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, CHECKER_CLI_PATH, nullptr, &attributes, argv.data(), envp.data()),
              0);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << args[0] << ": " << status;
  }
  posix_spawnattr_destroy(&attributes);
}

// Names with an escape sequence (colours, a window title) and with invalid UTF-8.
class TerminalNamesTest : public ScanCommandTest {
 protected:
  void SetUp() override {
    ScanCommandTest::SetUp();
    tree_.File("data/\x1b]0;pwned\x07\x1b[31mred", "abcdef");
    tree_.File("data/bad\xff\x9b", "abcdefg");
    tree_.Dir("out");
    tree_.File("app/Quorvane.Ini", "");
  }
};

TEST_F(TerminalNamesTest, ProgressErrorsAndListNamesShowControlCharactersAsQuestionMarks) {
  const std::string list = tree_.Path("out/\x1b[1mrun.v00");
  const auto r = RunCommand(CHECKER_CLI_PATH,
                            {"scan", "--progress", "--interval", "1", "--list", list, "--tree",
                             tree_.Path("out/run.t00"), path_},
                            env_);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" | ?]0;pwned??[31mred\n"), std::string::npos) << r.err;
  // A lone 0x9B is a control to a terminal in an 8-bit mode; 0xFF is none anywhere.
  EXPECT_NE(r.err.find(" | bad\xff?\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "tree list: " + tree_.Path("out/run.t00") +
                       "\nid list: " + tree_.Path("out/?[1mrun.v00") + "\n");
  EXPECT_TRUE(std::filesystem::exists(list));

  const std::string missing = path_ + "/\x1b[2Jgone";
  const auto gone = RunCommand(CHECKER_CLI_PATH, {"continue", missing}, env_);
  EXPECT_EQ(gone.exit_code, 2);
  EXPECT_EQ(gone.err, "checker-cli: cannot scan " + path_ + "/?[2Jgone: no such directory\n");
}

TEST_F(TerminalNamesTest, OnATerminalNoEscapeSequenceComesFromAName) {
  const auto r = RunOnTerminal(
      CHECKER_CLI_PATH, {"scan", "--interval", "1", "--name", "x", "--label", "\x1b[41m", path_},
      env_, "");
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("| ?]0;pwned??[31mred"), std::string::npos) << r.out;
  // The only escape sequence is the progress line's own "erase to the end of the line".
  size_t sequences = 0;
  for (size_t at = r.out.find('\x1b'); at != std::string::npos; at = r.out.find('\x1b', at + 1)) {
    EXPECT_EQ(r.out.substr(at - 1, 4), "\r\x1b[K") << at;
    ++sequences;
  }
  EXPECT_GT(sequences, 2u);
}

// Piped, names keeps the bytes (id, list and compare: AuditTest).
TEST_F(TerminalNamesTest, StdoutOfNamesKeepsTheBytes) {
  tree_.Dir("data/\x1b[7mdir");
  const auto r = RunCommand(CHECKER_CLI_PATH, {"names", path_ + "/\x1b[7mdir"});
  EXPECT_NE(r.out.find("data\x1b[7mdir\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("^data^\x1b[7mdir~"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace scan_command_tests
