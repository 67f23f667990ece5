// Lists written on Windows, read on Linux: find, copies and compare use them; verify,
// which must read the list's own volume, refuses them.

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/test_os.h"

namespace {

using testing_support::CommandResult;
using testing_support::TempTree;

constexpr time_t kBaseTime = 1588336496;  // 2020-05-01 12:34:56 UTC

// The list as Windows writes the same tree: each path section's path gets a drive
// ("/data/" as "C:\data\"), two characters more in its count and its root column.
std::string AsWindowsList(const std::string& list) {
  static const std::regex kPathSection(R"(/p( *)(\d+)(\+\d+ \| )(\d+) (/[^\r]*))");
  std::string out;
  std::istringstream lines(list);
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch m;
    if (std::regex_search(line, m, kPathSection)) {
      // The count keeps its right-aligned width.
      const std::string digits = std::to_string(std::stoi(m[2]) + 2);
      const size_t width = static_cast<size_t>(m[1].length() + m[2].length());
      const std::string count(width > digits.size() ? width - digits.size() : 0, ' ');
      std::string path = "C:" + m[5].str();
      for (char& c : path) c = c == '/' ? '\\' : c;
      line = m.prefix().str() + "/p" + count + digits + m[3].str() +
             std::to_string(std::stoi(m[4]) + 2) + " " + path + m.suffix().str();
    }
    out += line + "\n";
  }
  return out;
}

class ForeignListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = {"CHECKER_APPDIR=" + tree_.Dir("app"), "XDG_CONFIG_HOME=" + tree_.Dir("config"),
            "XDG_CACHE_HOME=" + tree_.Dir("cache")};
    for (const auto& [name, content] :
         std::vector<std::pair<std::string, std::string>>{{"data/a.txt", "first file"},
                                                          {"data/sub/b.txt", "second file"},
                                                          {"data/sub/deep/c.txt", "first file"}}) {
      testing_support::SetFileTimes(tree_.File(name, content),
                                    testing_support::AtSecond(kBaseTime));
    }
    tree_.Dir("catalogue");
  }
  CommandResult Cli(const std::vector<std::string>& args) {
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }
  // Scans the data tree into `list` as the volume DATA of serial 4242.
  void Scan(const std::string& list) {
    const CommandResult r =
        Cli({"scan", "--quiet", "--no-backup", "--list", list, "--tree", list + ".t00", "--label",
             "DATA", "--serial", "4242", tree_.Path("data")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }
  // The data tree listed on Windows, in the catalogue beside its list from Linux.
  std::string WindowsList() {
    const std::string linux_list = tree_.Path("catalogue/Lin.v00");
    Scan(linux_list);
    const std::string windows = AsWindowsList(TempTree::Read(linux_list));
    EXPECT_NE(windows.find("| 4 C:" + Backslashed(tree_.Path("data/sub/deep/"))),
              std::string::npos);
    return tree_.File("catalogue/Win.v00", windows);
  }
  static std::string Backslashed(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
  }
  TempTree tree_;
  std::vector<std::string> env_;
};

TEST_F(ForeignListTest, VerifyRefusesAListWrittenOnWindowsAndReadsNothing) {
  const std::string list = WindowsList();
  const std::string before = TempTree::Read(list);
  const CommandResult r = Cli({"verify", list});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "checker-cli: cannot verify " + list +
                       ": the list was written on Windows; verify it on Windows\n");
  EXPECT_EQ(TempTree::Read(list), before);
}

TEST_F(ForeignListTest, CompareMatchesPathsWithEitherSeparator) {
  const std::string windows = WindowsList();
  const CommandResult same =
      Cli({"compare", "--relative", windows, tree_.Path("catalogue/Lin.v00")});
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_EQ(same.out, "");
  // The totals: every file unchanged.
  EXPECT_TRUE(same.err.starts_with("unchanged                3 files                        31 bytes\n"
                                   "touched                  0 files"))
      << same.err;
  EXPECT_NE(same.err.find("\nmissing                  0 files"), std::string::npos);
  EXPECT_NE(same.err.find("\nnew                      0 files"), std::string::npos);
}

TEST_F(ForeignListTest, FindAndCopiesReadTheWindowsList) {
  const std::string windows = WindowsList();
  const std::string catalogue = tree_.Path("catalogue/");
  const std::string from_windows = "C:" + Backslashed(tree_.Path("data/sub/b.txt"));
  const CommandResult found = Cli({"find", "--catalogue", catalogue, "b.txt"});
  ASSERT_EQ(found.exit_code, 0) << found.err;
  EXPECT_NE(found.out.find("  " + from_windows + "\n"), std::string::npos) << found.out;
  EXPECT_NE(found.out.find("  " + tree_.Path("data/sub/b.txt") + "\n"), std::string::npos)
      << found.out;
  // The same volume listed on both systems: a file is never its own copy.
  const CommandResult copies = Cli({"copies", "--catalogue", catalogue, windows});
  ASSERT_EQ(copies.exit_code, 0) << copies.err;
  EXPECT_NE(copies.out.find("1  " + from_windows + "\n"), std::string::npos) << copies.out;
  EXPECT_EQ(copies.out.find("probable copy  Lin  " + tree_.Path("data/sub/b.txt")),
            std::string::npos)
      << copies.out;
}

}  // namespace
