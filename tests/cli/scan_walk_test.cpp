// checker-cli scan on trees that strain the walk: deeper than the descriptors a process
// may hold, and holding mounts of other file systems.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/temp_tree.h"

namespace {

using testing_support::ListLines;
using testing_support::TempTree;

struct ShellResult {
  int code = -1;
  std::string err;
};

// The id field of "abcdef", as the id command shows it.
constexpr char kSixId[] = "F  07012 18845";

class ScanWalkTest : public ::testing::Test {
 protected:
  // Runs a shell line with the program's settings kept in the temp dir.
  ShellResult Shell(const std::string& line) {
    const std::string err = tree_.Path("stderr");
    const std::string command = "export CHECKER_APPDIR='" + tree_.Dir("app") +
                                "' XDG_CONFIG_HOME='" + tree_.Dir("config") + "'; (" + line +
                                ") >/dev/null 2>'" + err + "' </dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempTree::Read(err)};
  }

  // The program, a command and --quiet with the lists in out/; the search path goes last.
  std::string Run(const std::string& command) const {
    return "'" CHECKER_CLI_PATH "' " + command + " --quiet --list '" + out_ + "run.v00' --tree '" +
           out_ + "run.t00' ";
  }

  ShellResult Scan(const std::string& options) {
    return Shell(Run("scan") + options + " '" + path_ + "'");
  }

  std::vector<std::string> ListOf(const char* name) const {
    return ListLines(TempTree::Read(out_ + name));
  }

  // The path below the search path of each F line (no blanks in names); every file of
  // these trees holds "abcdef", and a line with another id is kept whole.
  std::vector<std::string> FileLines() const {
    std::vector<std::string> paths;
    for (const std::string& line : ListOf("run.v00")) {
      if (!line.starts_with("F  ")) continue;
      const size_t name_at = line.find(" | ", 72) + 3;
      const std::string path = line.substr(line.rfind(' ') + 1 + path_.size()) +
                               line.substr(name_at, line.find(' ', name_at) - name_at);
      paths.push_back(line.starts_with(kSixId) ? path : line);
    }
    return paths;
  }

  TempTree tree_;
  const std::string path_ = tree_.Dir("data");  // ends with "/"
  const std::string out_ = tree_.Dir("out");
};

// Far more levels than descriptors: every file is read, at any depth, with one reader
// and with several; the walk needs about 16 descriptors beyond the readers' and what the
// program holds anyway.
TEST_F(ScanWalkTest, TreeDeeperThanTheDescriptorLimitIsReadWhole) {
  constexpr int kDepth = 3000;
  std::vector<std::string> expected;
  // Deeper than a path may be long: made level by level, each relative to the last.
  int dir = open(path_.c_str(), O_RDONLY | O_DIRECTORY);
  std::string path;
  for (int level = 0; level <= kDepth && dir >= 0; ++level) {
    for (const int depth : {0, 1, 31, 32, 33, 40, 64, 65, 130, 700, 1000, kDepth}) {
      if (depth != level) continue;
      const std::string name = "f" + std::to_string(depth);
      const int file = openat(dir, name.c_str(), O_WRONLY | O_CREAT, 0644);
      EXPECT_EQ(write(file, "abcdef", 6), 6);
      close(file);
      expected.push_back(path + name);
    }
    if (level == kDepth) break;
    mkdirat(dir, "d", 0755);
    const int below = openat(dir, "d", O_RDONLY | O_DIRECTORY);
    close(dir);
    dir = below;
    path += "d/";
  }
  ASSERT_GE(dir, 0);
  close(dir);
  const struct {
    int limit;
    const char* threads;
  } runs[] = {{72, "1"}, {64, "0"}, {32, "8"}, {24, "1"}};
  for (const auto& run : runs) {
    const std::string what = std::to_string(run.limit) + " descriptors, threads " + run.threads;
    const ShellResult result =
        Shell("ulimit -n " + std::to_string(run.limit) + "; exec " + Run("scan") +
              "--no-backup --threads " + run.threads + " '" + path_ + "'");
    EXPECT_EQ(result.code, 0) << what;
    EXPECT_EQ(result.err.substr(0, 300), "") << what;
    const std::vector<std::string> lines = FileLines();
    EXPECT_TRUE(lines == expected) << what << ": " << lines.size() << " F lines";
    EXPECT_EQ(ListOf("run.t00").size(), kDepth + 1u) << what;
  }
  Shell("rm -rf '" + path_ + "d'");  // a path this long is beyond the temp tree's removal
}

// File systems mounted inside the tree while the test runs (root only): listed but not
// entered unless asked, and a kernel's file system never.
TEST_F(ScanWalkTest, OtherVolumesAreListedButNotEnteredUnlessAsked) {
  tree_.File("data/a", "abcdef");
  tree_.File("data/after/b", "abcdef");
  struct Mounts {
    std::vector<std::string> dirs;
    bool Add(const char* type, const std::string& dir) {
      if (mount(type, dir.c_str(), type, 0, nullptr) != 0) return false;
      dirs.push_back(dir);
      return true;
    }
    ~Mounts() {
      for (const std::string& dir : dirs) umount2(dir.c_str(), MNT_DETACH);
    }
  } mounts;
  if (!mounts.Add("tmpfs", tree_.Dir("data/mnt")) || !mounts.Add("proc", tree_.Dir("data/proc"))) {
    GTEST_SKIP() << "cannot mount here";
  }
  tree_.File("data/mnt/inner", "abcdef");
  tree_.File("data/mnt/sub/deep", "abcdef");
  const std::string named = "checker-cli: another volume, not entered: " + path_;
  // Both named, in the order the walk met them.
  const auto both = [&](const std::string& err) {
    return err == named + "mnt/\n" + named + "proc/\n" ||
           err == named + "proc/\n" + named + "mnt/\n";
  };

  ShellResult result = Scan("");
  EXPECT_EQ(result.code, 0);
  EXPECT_TRUE(both(result.err)) << result.err;
  EXPECT_EQ(ListOf("run.t00"),
            (std::vector<std::string>{path_, path_ + "after/", path_ + "mnt/", path_ + "proc/"}));
  EXPECT_EQ(FileLines(), (std::vector<std::string>{"a", "after/b"}));

  result = Scan("--cross-mounts");
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, named + "proc/\n");
  EXPECT_EQ(ListOf("run.t00"), (std::vector<std::string>{path_, path_ + "after/", path_ + "mnt/",
                                                         path_ + "mnt/sub/", path_ + "proc/"}));
  EXPECT_EQ(FileLines(), (std::vector<std::string>{"a", "after/b", "mnt/inner", "mnt/sub/deep"}));

  // A continued run reads the directories of that tree list, and does not enter either.
  ASSERT_EQ(std::remove((out_ + "run.v00").c_str()), 0);
  result = Shell(Run("continue") + "'" + path_ + "'");
  EXPECT_EQ(result.code, 0);
  EXPECT_TRUE(both(result.err)) << result.err;
  EXPECT_EQ(FileLines(), (std::vector<std::string>{"a", "after/b"}));
}

}  // namespace
