// checker-cli scan on trees that strain the walk: deeper than the descriptors a process
// may hold, and holding mounts of other file systems.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
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
  // Runs a shell line with the program's settings kept in the temp dir: "@CLI@" stands
  // for the program, "@LISTS@" for --quiet and the lists in out/.
  ShellResult Shell(std::string line) {
    const std::pair<std::string, std::string> marks[] = {
        {"@CLI@", "'" CHECKER_CLI_PATH "'"},
        {"@LISTS@", "--quiet --list '" + out_ + "run.v00' --tree '" + out_ + "run.t00'"}};
    for (const auto& [mark, text] : marks) {
      for (size_t at = line.find(mark); at != std::string::npos; at = line.find(mark, at)) {
        line.replace(at, mark.size(), text);
      }
    }
    const std::string err = tree_.Path("stderr");
    const std::string command = "CHECKER_APPDIR='" + tree_.Dir("app") + "' XDG_CONFIG_HOME='" +
                                tree_.Dir("config") +
                                "'; export CHECKER_APPDIR XDG_CONFIG_HOME; (" + line +
                                ") >/dev/null 2>'" + err + "' </dev/null";
    const int status = std::system(command.c_str());
    ShellResult result;
    if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
    result.err = TempTree::Read(err);
    return result;
  }

  ShellResult Scan(const std::string& options) {
    return Shell("@CLI@ scan @LISTS@ " + options + " '" + path_ + "'");
  }

  std::vector<std::string> ListOf(const char* name) const {
    return ListLines(TempTree::Read(out_ + name));
  }

  // Each F line as its id field and its path below the search path.
  std::vector<std::string> FileLines() const {
    std::vector<std::string> keys;
    for (const std::string& line : ListOf("run.v00")) {
      if (line.rfind("F  ", 0) != 0) continue;
      const size_t name_at = line.find(" | ", 72) + 3;
      const size_t name_end = line.find(' ', name_at);
      const size_t dir_at = line.find(' ', line.rfind(" | ") + 3) + 1;
      const std::string dir = line.substr(dir_at);
      keys.push_back(line.substr(0, 14) + " " +
                     (dir.rfind(path_, 0) == 0 ? dir.substr(path_.size()) : dir) +
                     line.substr(name_at, name_end - name_at));
    }
    return keys;
  }

  TempTree tree_;
  const std::string path_ = tree_.Dir("data");  // ends with "/"
  const std::string out_ = tree_.Dir("out");
};

// Far more levels than descriptors: every file is read, at any depth, with one reader
// and with several.
TEST_F(ScanWalkTest, TreeDeeperThanTheDescriptorLimitIsReadWhole) {
  constexpr int kDepth = 1500;
  const std::vector<int> with_files = {0, 1, 31, 32, 33, 64, 65, 130, 700, 1000, kDepth};
  std::vector<std::string> expected;
  std::string below;
  size_t next = 0;
  for (int depth = 0; depth <= kDepth; ++depth) {
    if (depth > 0) below += "d/";
    if (next < with_files.size() && with_files[next] == depth) {
      const std::string name = "f" + std::to_string(depth);
      tree_.File("data/" + below + name, "abcdef");
      expected.push_back(std::string(kSixId) + " " + below + name);
      ++next;
    }
  }
  tree_.Dir("data/" + below);
  for (const char* threads : {"1", "4"}) {
    const ShellResult result =
        Shell(std::string("ulimit -n 128; exec @CLI@ scan @LISTS@ --threads ") + threads + " '" +
              path_ + "'");
    EXPECT_EQ(result.code, 0) << threads;
    EXPECT_EQ(result.err.substr(0, 300), "") << threads;
    const std::vector<std::string> lines = FileLines();
    EXPECT_TRUE(lines == expected) << threads << ": " << lines.size() << " F lines";
    EXPECT_EQ(ListOf("run.t00").size(), kDepth + 1u) << threads;
  }
}

// A file system mounted inside the tree while the test runs (root only).
class OtherVolumeTest : public ScanWalkTest {
 protected:
  void TearDown() override {
    for (const std::string& dir : mounted_) umount2(dir.c_str(), MNT_DETACH);
  }

  bool Mount(const char* type, const std::string& dir) {
    if (mount(type, dir.c_str(), type, 0, nullptr) != 0) return false;
    mounted_.push_back(dir);
    return true;
  }

  std::vector<std::string> mounted_;
};

std::vector<std::string> SixEach(const std::vector<std::string>& paths) {
  std::vector<std::string> lines;
  for (const std::string& path : paths) lines.push_back(std::string(kSixId) + " " + path);
  return lines;
}

TEST_F(OtherVolumeTest, MountPointIsListedButNotEnteredUnlessAsked) {
  tree_.File("data/a", "abcdef");
  tree_.File("data/after/b", "abcdef");
  if (!Mount("tmpfs", tree_.Dir("data/mnt"))) GTEST_SKIP() << "cannot mount here";
  tree_.File("data/mnt/inner", "abcdef");
  tree_.File("data/mnt/sub/deep", "abcdef");
  const std::string named = "checker-cli: another volume, not entered: " + path_ + "mnt/\n";

  ShellResult result = Scan("");
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, named);
  EXPECT_EQ(ListOf("run.t00"), (std::vector<std::string>{path_, path_ + "after/", path_ + "mnt/"}));
  EXPECT_EQ(FileLines(), SixEach({"a", "after/b"}));

  result = Scan("--cross-mounts");
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ListOf("run.t00"), (std::vector<std::string>{path_, path_ + "after/", path_ + "mnt/",
                                                         path_ + "mnt/sub/"}));
  EXPECT_EQ(FileLines(), SixEach({"a", "after/b", "mnt/inner", "mnt/sub/deep"}));

  // A continued run reads the directories of that tree list, and does not enter either.
  ASSERT_EQ(std::remove((out_ + "run.v00").c_str()), 0);
  result = Shell("@CLI@ continue @LISTS@ '" + path_ + "'");
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, named);
  EXPECT_EQ(FileLines(), SixEach({"a", "after/b"}));
}

TEST_F(OtherVolumeTest, KernelFileSystemIsNeverEntered) {
  tree_.File("data/a", "abcdef");
  if (!Mount("proc", tree_.Dir("data/proc"))) GTEST_SKIP() << "cannot mount here";
  const ShellResult result = Scan("--cross-mounts");
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, "checker-cli: another volume, not entered: " + path_ + "proc/\n");
  EXPECT_EQ(ListOf("run.t00"), (std::vector<std::string>{path_, path_ + "proc/"}));
  EXPECT_EQ(FileLines(), SixEach({"a"}));
}

}  // namespace
