// checker-cli scan and continue, run as a program on temp trees.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/scan_options.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "fs/volume_info.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

using testing_support::TempTree;

struct CliResult {
  int code = -1;
  std::string out;
  std::string err;
};

std::vector<std::string> Lines(const std::string& text) { return testing_support::ListLines(text); }

// The reader count that ends a closing line depends on the machine;
// ReaderCountEndsTheClosingLine checks it.
std::string WithoutReaders(const std::string& err) {
  static const std::regex kReaders(", [0-9]+ readers( \\(at most [0-9]+\\))?(?=,|\n)");
  return std::regex_replace(err, kReaders, "");
}

class ScanCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = tree_.Dir("app");
    config_ = tree_.Dir("config");
    path_ = tree_.root() + "data";
  }

  // Runs a shell command line with the program's settings kept in the temp dir; "@CLI@"
  // in the line stands for the program.
  CliResult Shell(std::string line) {
    const std::string cli = "'" CHECKER_CLI_PATH "'";
    for (size_t at = line.find("@CLI@"); at != std::string::npos; at = line.find("@CLI@", at)) {
      line.replace(at, 5, cli);
      at += cli.size();
    }
    const std::string out = tree_.Path("stdout");
    const std::string err = tree_.Path("stderr");
    const std::string command = "CHECKER_APPDIR='" + app_ + "' XDG_CONFIG_HOME='" + config_ +
                                "'; export CHECKER_APPDIR XDG_CONFIG_HOME; (" + line + ") >'" +
                                out + "' 2>'" + err + "' </dev/null";
    const int status = std::system(command.c_str());
    CliResult result;
    if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.code = 128 + WTERMSIG(status);
    result.out = TempTree::Read(out);
    result.err = WithoutReaders(TempTree::Read(err));
    return result;
  }

  CliResult Cli(const std::string& args) { return Shell("@CLI@ " + args); }

  // The network host of the data's volume and the directories below its root, run
  // together, as a derived list name shows them.
  bool VolumeParts(std::string* net, std::string* dirs) const {
    fs::TVolumeInfo volume;
    if (!fs::GetVolumeInfoSx(path_, &volume)) return false;
    const std::string real = platform::ResolveExisting(path_);
    if (real.rfind(volume.root_path, 0) != 0) return false;
    *dirs = real.substr(volume.root_path.size());
    std::erase(*dirs, '/');
    *net = volume.network_host;
    return true;
  }

  std::string ListArgs() const {
    return "--list '" + tree_.Path("out/run.v00") + "' --tree '" + tree_.Path("out/run.t00") + "'";
  }

  TempTree tree_;
  std::string app_;
  std::string config_;
  std::string path_;
};

TEST_F(ScanCommandTest, SearchPathInAnUnreadableDirectorySaysWhy) {
  const std::string locked = tree_.Dir("locked");
  tree_.Dir("locked/data");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  if (access((locked + "data").c_str(), F_OK) == 0)
    GTEST_SKIP() << "this user reads every directory";
  const CliResult result = Cli("scan --list x.v00 --tree x.t00 " + locked + "data");
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.err, "checker-cli: cannot scan " + locked + "data: Permission denied\n");
}

// A search path that is there but no directory says what it is, and nothing is created.
TEST_F(ScanCommandTest, SearchPathThatIsNoDirectorySaysWhatItIs) {
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
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"scan " + tree_.Path("to-dir"),
       "is a symbolic link to a directory; give the directory itself"},
      {"continue " + tree_.Path("to-dir/"),
       "is a symbolic link to a directory; give the directory itself"},
      {"scan " + tree_.Path("to-file"), "is a symbolic link, not a directory"},
      {"scan " + tree_.Path("to-nothing"), "is a symbolic link, not a directory"},
      {"scan " + tree_.Path("fifo"), "is a FIFO, not a directory"},
      {"continue " + tree_.Path("fifo"), "is a FIFO, not a directory"},
      {"scan " + sock_path, "is a socket, not a directory"},
      {"scan /dev/null", "is a device, not a directory"},
      {"scan " + tree_.Path("data/a/b"), "no such directory"},
      {"scan " + tree_.Path("nothing"), "no such directory"},
      {"scan " + tree_.Path("data/a"), "not a directory"},
  };
  for (const auto& [args, reason] : cases) {
    const CliResult result = Cli(args);
    EXPECT_EQ(result.code, 2) << args;
    EXPECT_EQ(result.err,
              "checker-cli: cannot scan " + args.substr(args.find(' ') + 1) + ": " + reason + "\n")
        << args;
    EXPECT_EQ(result.out, "") << args;
  }
  close(sock);
  EXPECT_FALSE(std::filesystem::exists(app_ + "xBase"));
}

TEST_F(ScanCommandTest, OptionsInBothForms) {
  cli::ScanOptions options;
  std::string error;
  ASSERT_TRUE(cli::ParseScanOptions(
      {"--list=a b", "--tree", "t", "--hex-file", "--min-blocks=0", "--buffer-max", "-1",
       "--serial=305441741", "--interval", "-1", "--threads=3", "--", "-odd path"},
      &options, &error))
      << error;
  EXPECT_EQ(options.list_file, "a b");
  EXPECT_EQ(options.tree_file, "t");
  EXPECT_EQ(options.run.options, scan::kOptHexFile);
  EXPECT_EQ(options.run.min_blocks, 0);
  EXPECT_EQ(options.run.buffer_max, -1);
  EXPECT_EQ(options.serial, 305441741u);
  EXPECT_EQ(options.run.interval, -1);
  EXPECT_EQ(options.run.threads, 3);
  EXPECT_EQ(options.path, "-odd path");
  EXPECT_FALSE(options.label.has_value());

  cli::ScanOptions defaults;
  ASSERT_TRUE(cli::ParseScanOptions({"p"}, &defaults, &error));
  EXPECT_EQ(defaults.run.dir_params,
            "/EP recycler|recycled|temp|tmp|system volume information|#recycled");
  EXPECT_EQ(defaults.run.file_params, "/EF thumbs.db|desktop.ini|*.tmp");
  EXPECT_EQ(defaults.run.min_blocks, 4);
  EXPECT_EQ(defaults.run.expand, 100000);
  EXPECT_EQ(defaults.run.buffer_percent, 30);
  EXPECT_EQ(defaults.run.buffer_max, 512000);
  EXPECT_EQ(defaults.run.interval, 1000);
  EXPECT_EQ(defaults.run.threads, 0);  // the run chooses
}

TEST_F(ScanCommandTest, ScanWithGivenListsWritesBothAndPrintsTheirNames) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("data/sub/b.txt", "abcdefg");
  tree_.Dir("out");
  const CliResult result = Cli("scan " + ListArgs() + " --label DATA --serial 305441741 " + path_);
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, "tree list: " + tree_.Path("out/run.t00") +
                            "\nid list: " + tree_.Path("out/run.v00") + "\n");
  EXPECT_EQ(result.err, "checker-cli: 2 files, 0 errors\n");  // no progress off a terminal
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.t00")), path_ + "/\r\n" + path_ + "/sub/\r\n");
  const std::vector<std::string> lines = Lines(TempTree::Read(tree_.Path("out/run.v00")));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0].substr(0, 30), "A1 03054 41741 DATA           ");
  EXPECT_EQ(lines[0].substr(70, 2), "F ");
  EXPECT_EQ(lines[2].substr(0, 29), "F  07012 18845              6");
  EXPECT_EQ(lines[5].substr(0, 29), "F  35060 64315              7");
  EXPECT_EQ(lines[8].substr(0, 60), "T  00 000 000 004 207 283 160                  13          2");
}

TEST_F(ScanCommandTest, ReaderCountEndsTheClosingLine) {
  tree_.File("data/a.txt", "abcdef");
  tree_.Dir("out");
  const auto closing = [&](const std::string& threads) {
    const auto r = testing_support::RunCommand(
        CHECKER_CLI_PATH,
        {"scan", "--threads", threads, "--list", tree_.Path("out/r" + threads + ".v00"), "--tree",
         tree_.Path("out/r" + threads + ".t00"), path_},
        {"CHECKER_APPDIR=" + app_, "XDG_CONFIG_HOME=" + config_});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.err;
  };
  EXPECT_EQ(closing("1"), "checker-cli: 1 files, 0 errors, 1 readers\n");
  EXPECT_EQ(closing("3"), "checker-cli: 1 files, 0 errors, 3 readers\n");
  // Chosen: one file is read long before the count could change.
  const std::string chosen = closing("0");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(chosen, match,
                               std::regex("checker-cli: 1 files, 0 errors, ([0-9]+) readers\n")))
      << chosen;
  EXPECT_GE(std::stoi(match[1]), 1);
  EXPECT_LE(std::stoi(match[1]), 8);
}

TEST_F(ScanCommandTest, RelativePathsAreMadeAbsolute) {
  tree_.File("data/a.txt", "abcdef");
  const CliResult result =
      Shell("cd '" + tree_.root() + "' && @CLI@ scan --quiet --list r.v00 --tree r.t00 data");
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(TempTree::Read(tree_.Path("r.t00")), path_ + "/\r\n");
}

TEST_F(ScanCommandTest, DerivedNamesFollowTheBaseSettings) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nVolPath=lists/\nLstExt=idl\n");
  CliResult result = Cli("scan --name Vol7 " + path_);
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out,
            "tree list: " + app_ + "lists/Vol7.t00\nid list: " + app_ + "lists/Vol7.idl\n");
  EXPECT_EQ(result.err, "checker-cli: created the list folder " + app_ +
                            "lists/\nchecker-cli: 1 files, 0 errors\n");
  EXPECT_TRUE(std::filesystem::exists(app_ + "lists/Vol7.idl"));

  // Without a name the lists are named after the volume's parts: the directories below
  // the root run together after one "^" (not the "Get" name of `names`, with one each).
  std::string net, dirs;
  ASSERT_TRUE(VolumeParts(&net, &dirs));
  result = Cli("scan --quiet --label Music --serial 123 " + path_);
  EXPECT_EQ(result.code, 0) << result.err;
  const std::string name = (net.empty() ? "" : net + "%") + "Music^" + dirs + "~00000_00123";
  EXPECT_TRUE(std::filesystem::exists(app_ + "lists/" + name + ".idl")) << name;
  EXPECT_TRUE(std::filesystem::exists(app_ + "lists/" + name + ".t00")) << name;
}

TEST_F(ScanCommandTest, MissingBaseFileIsCreatedWithoutAsking) {
  tree_.File("data/a.txt", "abcdef");
  const CliResult result = Cli("scan --name x " + path_);
  EXPECT_EQ(result.code, 0) << result.err;
  // No terminal: the first button, the shared folder, said in one line.
  EXPECT_TRUE(std::filesystem::exists(config_ + "Quorvane.Ini"));
  EXPECT_TRUE(std::filesystem::exists(app_ + "xBase/x.v00"));
  EXPECT_EQ(result.err, "checker-cli: created the base settings file " + config_ +
                            "Quorvane.Ini\nchecker-cli: created the list folder " + app_ +
                            "xBase/\nchecker-cli: 1 files, 0 errors\n");
  // Once there, it is not created again.
  EXPECT_EQ(Cli("scan --name x " + path_).err, "checker-cli: 1 files, 0 errors\n");
}

TEST_F(ScanCommandTest, BaseFileThatCannotBeCreatedLeavesTheDefaults) {
  tree_.File("data/a.txt", "abcdef");
  const auto r =
      testing_support::RunCommand(CHECKER_CLI_PATH, {"scan", "--name", "x", path_},
                                  {"CHECKER_APPDIR=" + app_, "XDG_CONFIG_HOME=/proc/checker-none"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(WithoutReaders(r.err),
            "checker-cli: cannot create the base settings file "
            "/proc/checker-none/Quorvane.Ini; the default settings are used\n"
            "checker-cli: created the list folder " +
                app_ + "xBase/\nchecker-cli: 1 files, 0 errors\n");
}

// The question on a terminal: three answers and the two folders, in a few lines.
class BaseFileQuestionTest : public ScanCommandTest {
 protected:
  // A first scan with `typed` as the answers; quiet, only the question is printed.
  testing_support::CommandResult Ask(const std::string& typed, bool quiet = true) {
    tree_.File("data/a.txt", "abcdef");
    std::vector<std::string> args = {"scan", "--name", "x", path_};
    if (quiet) args.insert(args.begin() + 1, "--quiet");
    return testing_support::RunOnTerminal(
        CHECKER_CLI_PATH, args, {"CHECKER_APPDIR=" + app_, "XDG_CONFIG_HOME=" + config_}, typed);
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

TEST_F(ScanCommandTest, ListsThatCannotBeWrittenAreRefused) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nVolPath=lists/\nLstExt=t00\n");
  CliResult result = Cli("scan --name same " + path_);
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.err, "checker-cli: created the list folder " + app_ +
                            "lists/\nchecker-cli: Tree and list filenames are the same: " + app_ +
                            "lists/same.t00\n");

  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nVolPath=/proc/checker-none/\n");
  result = Cli("scan --name x " + path_);
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.err, "checker-cli: cannot create the list folder /proc/checker-none/\n");

  tree_.Dir("listdir");
  result = Cli("scan --list '" + tree_.Path("listdir") + "' --tree '" + tree_.Path("r.t00") + "' " +
               path_);
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.err,
            "checker-cli: the id list " + tree_.Path("listdir") + " is not a regular file\n");
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("r.t00")));

  result = Cli("scan --list '" + tree_.Path("r.v00") + "' --tree '" + tree_.Path("listdir") + "' " +
               path_);
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.err,
            "checker-cli: the tree list " + tree_.Path("listdir") + " is not a regular file\n");
}

TEST_F(ScanCommandTest, ListHeldByAnotherRunIsRefused) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("out/run.v00", "held\r\n");
  platform::File holder;
  ASSERT_TRUE(holder.Open(tree_.Path("out/run.v00"), platform::OpenMode::kReadWriteLocked));
  const CliResult result = Cli("scan " + ListArgs() + " " + path_);
  EXPECT_EQ(result.code, 2);
  EXPECT_EQ(result.err, "checker-cli: cannot open the id list " + tree_.Path("out/run.v00") +
                            ": in use by another run\n");
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("out/run.t00")));
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.v00")), "held\r\n");
}

TEST_F(ScanCommandTest, FileErrorsGiveStatusOne) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("data/two\nlines", "abcdef");  // a name a line cannot hold counts as an error
  tree_.Dir("out");
  const CliResult result = Cli("scan --quiet " + ListArgs() + " " + path_);
  EXPECT_EQ(result.code, 1) << result.err;
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
  const CliResult result = Cli("scan " + ListArgs() + " " + path_);
  chmod(tree_.Path("data/locked").c_str(), 0700);
  EXPECT_EQ(result.code, 1) << result.err;
  EXPECT_EQ(result.err, expected);
}

// Ctrl-C stops the run at its next notification; continue with the same arguments
// finishes it, each file listed once.
TEST_F(ScanCommandTest, InterruptThenContinueCompletesTheList) {
  constexpr int kFiles = 1500;
  for (int i = 0; i < kFiles; ++i) tree_.File("data/f" + std::to_string(10000 + i), "abcdef");
  tree_.Dir("out");
  const std::string args = "--interval 1 " + ListArgs() + " " + path_;
  // The progress goes into a pipe that is read only up to the first file's line, so the
  // run cannot get far before the signal arrives.
  const std::string pid = tree_.Path("pid");
  const std::string rc = tree_.Path("rc");
  Shell("{ sh -c 'echo $$ > \"$0\"; exec \"$@\" 2>&1 >/dev/null' " + pid +
        " @CLI@ scan --progress " + args + "; echo $? > " + rc +
        "; } | { while read -r l; do case \"$l\" in *files*) kill -INT $(cat " + pid +
        "); break;; esac; done; cat >/dev/null; }");
  EXPECT_EQ(TempTree::Read(rc), "130\n");
  const std::string first = TempTree::Read(tree_.Path("out/run.v00"));
  std::vector<std::string> lines = Lines(first);
  ASSERT_GE(lines.size(), 3u) << first;
  EXPECT_EQ(lines[0].substr(70, 1), "C");
  EXPECT_LT(lines.size(), static_cast<size_t>(kFiles));

  const CliResult finished = Cli("continue --quiet " + args);
  EXPECT_EQ(finished.code, 0) << finished.err;
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

// A volume label comes from whoever formatted the disk; it must not lead the lists out of
// their folder, nor make a name longer than a file name may be.
TEST_F(ScanCommandTest, HostileLabelsStayInsideTheListFolder) {
  tree_.File("data/a.txt", "abcdef");
  std::string net, dirs;
  ASSERT_TRUE(VolumeParts(&net, &dirs));
  const std::string folder = app_ + "xBase/";
  for (const std::string& label : std::vector<std::string>{"../../evil", "a/b", "..", std::string(300, 'L')}) {
    const CliResult result = Cli("scan --quiet --label '" + label + "' --serial 1 " + path_);
    EXPECT_EQ(result.code, 0) << label << ": " << result.err;
    std::string part = label == ".." ? "_" : label;
    for (char& c : part) c = c == '/' ? '_' : c;
    std::string name = (net.empty() ? "" : net + "%") + part + "^" + dirs + "~00000_00001";
    name.resize(std::min<size_t>(name.size(), 255 - 4));
    EXPECT_TRUE(std::filesystem::exists(folder + name + ".v00")) << name;
    EXPECT_TRUE(std::filesystem::exists(folder + name + ".t00")) << name;
  }
  // Nothing was written anywhere but the list folder, the settings and the outputs.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tree_.root())) {
    if (!entry.is_regular_file()) continue;
    const std::string path = entry.path().string();
    const bool expected = path.rfind(folder, 0) == 0 || path.rfind(tree_.root() + "data/", 0) == 0 ||
                          path == config_ + "Quorvane.Ini" || path == tree_.Path("stdout") ||
                          path == tree_.Path("stderr");
    EXPECT_TRUE(expected) << path;
  }
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
  const CliResult result =
      Shell("@CLI@ scan --quiet --interval 0 " + ListArgs() + " " + path_ + " & pid=$!; while [ ! -s '" +
            tree_.Path("out/run.t00") + "' ]; do sleep 0.01; done; sleep 0.1;" +
            " kill -INT $pid; wait $pid");
  EXPECT_EQ(result.code, 130) << result.err;
  EXPECT_EQ(TempTree::Read(list).find("zbig"), std::string::npos);
}

// A stop that arrives before the program has got far is still a stop (130), not a
// death by the signal (143). The signal waits, blocked, until the program unblocks it.
TEST_F(ScanCommandTest, AStopInTheFirstMomentsEndsTheRunAsStopped) {
  tree_.File("data/a", "abcdef");
  tree_.Dir("out");
  ASSERT_EQ(Cli("scan --quiet " + ListArgs() + " " + path_).code, 0);
  std::string app = "CHECKER_APPDIR=" + app_;
  std::string config = "XDG_CONFIG_HOME=" + config_;
  char* envp[] = {app.data(), config.data(), nullptr};
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
    ASSERT_EQ(posix_spawn(&pid, CHECKER_CLI_PATH, nullptr, &attributes, argv.data(), envp), 0);
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << args[0] << ": " << status;
  }
  posix_spawnattr_destroy(&attributes);
}

TEST_F(ScanCommandTest, DirectoriesNotReadAreNamedAndCounted) {
  tree_.File("data/a", "abcdef");
  tree_.File("data/gone/b", "abcdef");
  tree_.Dir("out");
  ASSERT_EQ(Cli("scan --quiet " + ListArgs() + " " + path_).code, 0);
  std::filesystem::remove_all(path_ + "/gone");
  tree_.File("data/new", "abcdefg");
  const CliResult result = Cli("continue " + ListArgs() + " " + path_);
  EXPECT_EQ(result.code, 1) << result.err;
  EXPECT_EQ(result.err, "checker-cli: cannot read directory " + path_ +
                            "/gone/: No such file or directory\n"
                            "checker-cli: 1 files, 1 errors (1 directories not read)\n");
}

// The default parameters leave out folders named temp and tmp: each run says how many,
// --verbose names them, and a verify reports them; none is an error, and the lists are
// what they were.
TEST_F(ScanCommandTest, FoldersLeftOutByTheParametersAreNamedButAreNoErrors) {
  tree_.File("data/a", "abcdef");
  tree_.File("data/temp/b", "abcdef");
  tree_.File("data/sub/tmp/c", "abcdef");
  tree_.Dir("out");
  const std::string scan = "scan --no-backup " + ListArgs() + " ";
  const std::string reason = ": left out by the parameters (/EP ";
  const std::string named = "checker-cli: " + path_ + "/sub/tmp/" + reason + "tmp)\n" +
                            "checker-cli: " + path_ + "/temp/" + reason + "temp)\n";
  const std::string closing =
      "checker-cli: 1 files, 0 errors, 2 folders left out by the parameters\n";
  CliResult result = Cli(scan + path_);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, closing);
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.t00")), path_ + "/\r\n" + path_ + "/sub/\r\n");
  const std::string id_list = TempTree::Read(tree_.Path("out/run.v00"));
  EXPECT_EQ(id_list.substr(70, 2), "F ");  // finished, no error
  result = Cli(scan + "--verbose " + path_);
  EXPECT_EQ(result.err, named + closing);
  result = Cli(scan + "--verbose --dirs '/ES temp' " + path_);
  EXPECT_EQ(result.err,
            "checker-cli: " + path_ + "/temp/: left out by the parameters (/ES temp)\n" +
                "checker-cli: 3 files, 0 errors, 1 folder left out by the parameters\n");

  ASSERT_EQ(Cli(scan + "--quiet " + path_).code, 0);
  ASSERT_EQ(std::remove(tree_.Path("out/run.v00").c_str()), 0);
  result = Cli("continue --verbose " + ListArgs() + " " + path_);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, named + closing);

  const std::string note = "note           " + path_ + "/";
  // Cached: what was just written need not have reached the disk.
  result = Cli("verify --cached " + tree_.Path("out/run.v00"));
  EXPECT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out,
            note + "sub/tmp/" + reason + "tmp)\n" + note + "temp/" + reason + "temp)\n");
  result = Cli("verify --cached --format jsonl " + tree_.Path("out/run.v00"));
  const std::string json = "{\"note\":\"left out by the parameters (/EP ";
  EXPECT_EQ(result.out, json + "tmp)\",\"path\":\"" + path_ + "/sub/tmp/\"}\n" + json +
                            "temp)\",\"path\":\"" + path_ + "/temp/\"}\n");
}

// Continue leaves a finished list, and a list of another path, as they were.
TEST_F(ScanCommandTest, ContinueChangesNoFinishedListNorOneOfAnotherPath) {
  tree_.File("data/a", "abcdef");
  tree_.File("other/b", "abcdef");
  tree_.Dir("out");
  for (const char* scanned : {"data", "other"}) {
    SCOPED_TRACE(scanned);
    ASSERT_EQ(Cli("scan --quiet " + ListArgs() + " " + tree_.root() + scanned).code, 0);
    const std::string lists = TempTree::Read(tree_.Path("out/run.v00"));
    const CliResult result = Cli("continue " + ListArgs() + " " + path_);
    if (scanned == std::string("data")) {
      EXPECT_EQ(result.code, 0) << result.err;
      EXPECT_NE(result.err.find("nothing left to read"), std::string::npos) << result.err;
    } else {
      EXPECT_EQ(result.code, 2);
      EXPECT_EQ(result.err, "checker-cli: the id list " + tree_.Path("out/run.v00") +
                                " does not begin with a header of " + path_ +
                                "; 'checker-cli scan' starts the lists afresh\n");
    }
    EXPECT_EQ(TempTree::Read(tree_.Path("out/run.v00")), lists);
  }
}

}  // namespace

namespace {

using testing_support::RunCommand;
using testing_support::RunOnTerminal;

// Names with an escape sequence (colours, a window title) and with invalid UTF-8.
class TerminalNamesTest : public ScanCommandTest {
 protected:
  void SetUp() override {
    ScanCommandTest::SetUp();
    escape_ = tree_.File("data/\x1b]0;pwned\x07\x1b[31mred", "abcdef");
    invalid_ = tree_.File("data/bad\xff\x9b", "abcdefg");
    tree_.Dir("out");
    tree_.File("app/Quorvane.Ini", "");
    env_ = {"CHECKER_APPDIR=" + app_, "XDG_CONFIG_HOME=" + config_};
  }
  std::string escape_;
  std::string invalid_;
  std::vector<std::string> env_;
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

// A Create keeps what it replaces: both lists are copied into the backup folder first,
// named with their write time, unless --no-backup is given.
TEST_F(ScanCommandTest, ScanBacksUpTheListsItReplaces) {
  tree_.File("data/a", "abcdef");
  tree_.Dir("out");
  ASSERT_EQ(Cli("scan --quiet " + ListArgs() + " " + path_).code, 0);
  const std::string old_ids = TempTree::Read(tree_.Path("out/run.v00"));
  const std::string old_tree = TempTree::Read(tree_.Path("out/run.t00"));
  // The expected names from the files' own write times, in local time.
  auto stamp = [](const std::string& file) {
    struct stat st;
    EXPECT_EQ(stat(file.c_str(), &st), 0);
    struct tm parts;
    localtime_r(&st.st_mtime, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return std::string(text);
  };
  const std::string backups = app_ + "xxBackUp/";
  const std::string ids_copy = backups + "run." + stamp(tree_.Path("out/run.v00")) + ".v00";
  const std::string tree_copy = backups + "run." + stamp(tree_.Path("out/run.t00")) + ".t00";
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\n");
  tree_.File("data/b", "abcdefg");
  ASSERT_EQ(Cli("scan --quiet " + ListArgs() + " " + path_).code, 0);
  EXPECT_EQ(TempTree::Read(ids_copy), old_ids);
  EXPECT_EQ(TempTree::Read(tree_copy), old_tree);
  EXPECT_NE(TempTree::Read(tree_.Path("out/run.v00")), old_ids);

  std::filesystem::remove_all(backups);
  ASSERT_EQ(Cli("scan --quiet --no-backup " + ListArgs() + " " + path_).code, 0);
  EXPECT_FALSE(std::filesystem::exists(backups));

  // A backup that cannot be made refuses the run before anything is replaced.
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nBackUps=/proc/checker-none/\n");
  const std::string before = TempTree::Read(tree_.Path("out/run.v00"));
  const CliResult refused = Cli("scan --quiet " + ListArgs() + " " + path_);
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("cannot create the backup folder /proc/checker-none/"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.v00")), before);
}

}  // namespace
