// Lists written on the other system: find, copies and compare use them; verify, which
// must read the list's own volume, refuses them.

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/paths.h"

namespace {

using cli_tests::CommandResult;
using cli_tests::TempTree;

constexpr time_t kBaseTime = 1588336496;  // 2020-05-01 12:34:56 UTC
constexpr bool kOnWindows = platform::kNativePathStyle == platform::PathStyle::kWindows;
const char* const kOtherSystem = kOnWindows ? "Linux" : "Windows";

// A path of this system as the other writes it: Windows has a drive ("/data/" as
// "C:\data\"); Linux has none ("C:\data\" as "/data/").
std::string OtherSystemsPath(std::string path) {
  if (kOnWindows) {
    path.erase(0, 2);
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path;
  }
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "C:" + path;
}

// The list as the other system writes the same tree: each path section's path as it
// writes it, its count and its root column changed by as many characters.
std::string AsOtherSystemsList(const std::string& list) {
  static const std::regex kPathSection(R"(/p( *)(\d+)(\+\d+ \| )(\d+) ([^\r]*))");
  const int change = kOnWindows ? -2 : 2;
  std::string out;
  std::istringstream lines(list);
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch m;
    if (std::regex_search(line, m, kPathSection)) {
      // The count keeps its right-aligned width.
      const std::string digits = std::to_string(std::stoi(m[2]) + change);
      const size_t width = static_cast<size_t>(m[1].length() + m[2].length());
      const std::string count(width > digits.size() ? width - digits.size() : 0, ' ');
      line = m.prefix().str() + "/p" + count + digits + m[3].str() +
             std::to_string(std::stoi(m[4]) + change) + " " + OtherSystemsPath(m[5].str()) +
             m.suffix().str();
    }
    out += line + "\n";
  }
  return out;
}

class ForeignListTest : public cli_tests::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    for (const auto& [name, content] :
         std::vector<std::pair<std::string, std::string>>{{"data/a.txt", "first file"},
                                                          {"data/sub/b.txt", "second file"},
                                                          {"data/sub/deep/c.txt", "first file"}}) {
      testing_support::SetFileTimes(tree_.File(name, content),
                                    testing_support::AtSecond(kBaseTime));
    }
  }
  // Scans the data tree into `list` as the volume DATA of serial 4242.
  void Scan(const std::string& list) {
    const CommandResult r = ScanLists(list, list + ".t00", tree_.Path("data"),
                                      {"--label", "DATA", "--serial", "4242"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }
  // The data tree listed on the other system, in the catalogue beside its list from this
  // one ("Own").
  std::string OtherList() {
    const std::string own_list = tree_.Path("catalogue/Own.v00");
    Scan(own_list);
    const std::string other = AsOtherSystemsList(TempTree::Read(own_list));
    const std::string deep = OtherSystemsPath(tree_.Path("data/sub/deep/"));
    EXPECT_NE(other.find("| " + std::to_string(kOnWindows ? 2 : 4) + " " + deep), std::string::npos)
        << other;
    return tree_.File("catalogue/Other.v00", other);
  }
};

TEST_F(ForeignListTest, VerifyRefusesAListOfTheOtherSystemAndReadsNothing) {
  const std::string list = OtherList();
  const std::string before = TempTree::Read(list);
  const CommandResult r = Cli({"verify", list});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "checker-cli: cannot verify " + list + ": the list was written on " +
                       kOtherSystem + "; verify it on " + kOtherSystem + "\n");
  EXPECT_EQ(TempTree::Read(list), before);
}

TEST_F(ForeignListTest, CompareMatchesPathsWithEitherSeparator) {
  const CommandResult same =
      Cli({"compare", "--relative", OtherList(), tree_.Path("catalogue/Own.v00")});
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_EQ(same.out, "");
  // The totals: every file unchanged.
  EXPECT_TRUE(same.err.starts_with("unchanged                3 files                        31 bytes\n"
                                   "touched                  0 files"))
      << same.err;
  EXPECT_NE(same.err.find("\nmissing                  0 files"), std::string::npos);
  EXPECT_NE(same.err.find("\nnew                      0 files"), std::string::npos);
}

TEST_F(ForeignListTest, FindAndCopiesReadTheOtherSystemsList) {
  const std::string other = OtherList();
  const std::string catalogue = tree_.Path("catalogue/");
  const std::string from_other = OtherSystemsPath(tree_.Path("data/sub/b.txt"));
  const CommandResult found = Cli({"find", "--catalogue", catalogue, "b.txt"});
  ASSERT_EQ(found.exit_code, 0) << found.err;
  EXPECT_NE(found.out.find("  " + from_other + "\n"), std::string::npos) << found.out;
  EXPECT_NE(found.out.find("  " + tree_.Path("data/sub/b.txt") + "\n"), std::string::npos)
      << found.out;
  // A path typed with either separator finds the file in the lists of both systems.
  for (const char* typed : {"sub/b.txt", "sub\\b.txt"}) {
    const CommandResult by_path = Cli({"find", "--catalogue", catalogue, "--path", typed});
    ASSERT_EQ(by_path.exit_code, 0) << typed << by_path.err;
    EXPECT_NE(by_path.out.find("  " + from_other + "\n"), std::string::npos) << by_path.out;
    EXPECT_NE(by_path.out.find("  " + tree_.Path("data/sub/b.txt") + "\n"), std::string::npos)
        << by_path.out;
  }
  // The same volume listed on both systems: a file is never its own copy.
  const CommandResult copies = Cli({"copies", "--catalogue", catalogue, other});
  ASSERT_EQ(copies.exit_code, 0) << copies.err;
  EXPECT_NE(copies.out.find("1  " + from_other + "\n"), std::string::npos) << copies.out;
  EXPECT_EQ(copies.out.find("probable copy  Own  " + tree_.Path("data/sub/b.txt")),
            std::string::npos)
      << copies.out;
}

}  // namespace
