// The catalogue's name index where it can break on its own: its files damaged, cut or of
// another version, whole paths searched, a first page of results taken from several
// lists, a list replaced whole, and two commands building it at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"

namespace {

using testing_support::CommandResult;
using testing_support::TempTree;

std::vector<std::string> FoundPaths(const std::string& out) {
  std::vector<std::string> paths;
  for (const std::string& line : testing_support::SortedLines(out))
    paths.push_back(line.substr(line.rfind("  ") + 2));
  return paths;
}

class CatalogueNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = {"CHECKER_APPDIR=" + tree_.Dir("app"), "XDG_CONFIG_HOME=" + tree_.Dir("config"),
            "XDG_CACHE_HOME=" + tree_.Path("cache")};
    catalogue_ = tree_.Dir("catalogue");
  }

  CommandResult Cli(const std::vector<std::string>& args) {
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }
  CommandResult Find(std::vector<std::string> args) {
    args.insert(args.begin(), {"find", "--catalogue", catalogue_});
    return Cli(args);
  }

  // Writes the files below "volumes/NAME/" (anything there before removed) and scans
  // them into the catalogue as list NAME; returns their paths, sorted.
  std::vector<std::string> Volume(const std::string& name, const std::vector<std::string>& files) {
    std::filesystem::remove_all(tree_.Path("volumes/" + name));
    std::vector<std::string> paths;
    for (const std::string& file : files)
      paths.push_back(tree_.File("volumes/" + name + "/" + file, "x"));
    const CommandResult r =
        Cli({"scan", "--quiet", "--no-backup", "--list", catalogue_ + name + ".v00", "--tree",
             tree_.Path(name + ".t00"), "--label", name, tree_.Path("volumes/" + name)});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  // The index's files of one list each.
  std::vector<std::string> Parts() const {
    std::vector<std::string> parts;
    const std::string db = TempTree::FileEndingWith(tree_.Path("cache/checker"), ".db");
    for (const auto& entry : std::filesystem::directory_iterator(db + "-names"))
      parts.push_back(entry.path());
    std::sort(parts.begin(), parts.end());
    return parts;
  }

  TempTree tree_;
  std::vector<std::string> env_;
  std::string catalogue_;
};

TEST_F(CatalogueNamesTest, DamagedCutOrForeignPartsAreReadAgainFromTheList) {
  std::vector<std::string> files;
  for (int i = 0; i < 40; ++i) files.push_back("photo " + std::to_string(i) + ".jpg");
  const std::vector<std::string> paths = Volume("Cam", files);
  ASSERT_EQ(FoundPaths(Find({"photo"}).out), paths);
  struct Case {
    const char* what;
    void (*harm)(const std::string& part);
  };
  const Case cases[] = {
      {"cut", [](const std::string& part) { std::filesystem::resize_file(part, 100); }},
      {"emptied", [](const std::string& part) { std::filesystem::resize_file(part, 0); }},
      {"overwritten",
       [](const std::string& part) {
         std::fstream file(part, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(8);
         file.write("\x7f\x7f\x7f\x7f", 4);  // the version
       }},
      {"removed", [](const std::string& part) { std::filesystem::remove(part); }},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> parts = Parts();
    ASSERT_EQ(parts.size(), 1u) << c.what;
    c.harm(parts[0]);
    const CommandResult r = Find({"photo"});
    EXPECT_EQ(r.exit_code, 0) << c.what << r.err;
    EXPECT_EQ(FoundPaths(r.out), paths) << c.what;
    EXPECT_EQ(r.err, "checker-cli: " + catalogue_ +
                         "Cam.v00: its part of the catalogue index is damaged or gone; reading "
                         "the list again\n")
        << c.what;
    EXPECT_EQ(Find({"photo"}).err, "") << c.what;
  }
}

TEST_F(CatalogueNamesTest, PathSearchFindsFoldersAndTextAcrossTheLastSlash) {
  const std::vector<std::string> paths =
      Volume("Disk", {"Holiday 2019/beach.jpg", "Holiday 2019/sub/deep.txt", "work/holiday.txt",
                      "work/report.pdf", "odd\xE9/x.bin"});
  const std::string root = tree_.Path("volumes/Disk/");
  struct Case {
    std::string query;
    std::vector<std::string> found;  // below the root
  };
  const Case cases[] = {
      {"holiday", {"Holiday 2019/beach.jpg", "Holiday 2019/sub/deep.txt", "work/holiday.txt"}},
      {"2019/sub", {"Holiday 2019/sub/deep.txt"}},
      {"work/rep", {"work/report.pdf"}},
      {"/disk/work/", {"work/holiday.txt", "work/report.pdf"}},
      {"*/work/*.pdf", {"work/report.pdf"}},
      {"ODD\xC3\x89/", {"odd\xE9/x.bin"}},
      {"9/b", {"Holiday 2019/beach.jpg"}},
      {"nowhere/", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> expected;
    for (const std::string& below : c.found) expected.push_back(root + below);
    std::sort(expected.begin(), expected.end());
    const CommandResult r = Find({"--path", c.query});
    EXPECT_EQ(FoundPaths(r.out), expected) << c.query << r.err;
  }
  // Without --path a folder's name finds nothing of it.
  EXPECT_EQ(FoundPaths(Find({"2019"}).out), std::vector<std::string>{});
}

TEST_F(CatalogueNamesTest, FirstResultsStraddleListsAndTheCountFollows) {
  std::vector<std::string> all;
  for (const char* disk : {"A", "B"}) {
    std::vector<std::string> files;
    for (int i = 0; i < 70; ++i) files.push_back("clip " + std::to_string(i) + ".mov");
    files.push_back("other.txt");
    for (const std::string& path : Volume(disk, files)) {
      if (path.ends_with(".mov")) all.push_back(path);
    }
  }
  const CommandResult r = Find({"--limit", "100", "CLIP"});
  const std::vector<std::string> shown = FoundPaths(r.out);
  ASSERT_EQ(shown.size(), 100u);
  EXPECT_TRUE(std::includes(all.begin(), all.end(), shown.begin(), shown.end()));
  EXPECT_EQ(r.err, "checker-cli: 40 more matched (140 in all; --limit N shows more)\n");
}

TEST_F(CatalogueNamesTest, AListReplacedWholeKeepsNothingOfItsOldFiles) {
  Volume("Usb", {"old one.txt", "old two.txt"});
  ASSERT_EQ(FoundPaths(Find({"old"}).out).size(), 2u);
  const std::vector<std::string> fresh = Volume("Usb", {"new one.txt"});
  EXPECT_EQ(FoundPaths(Find({"old"}).out), std::vector<std::string>{});
  EXPECT_EQ(FoundPaths(Find({"one"}).out), fresh);
  EXPECT_EQ(Parts().size(), 1u);
}

TEST_F(CatalogueNamesTest, TwoCommandsBuildingAtOnceBothAnswer) {
  std::vector<std::string> expected;
  for (const char* disk : {"P", "Q", "R", "S"}) {
    std::vector<std::string> files;
    for (int i = 0; i < 30; ++i) files.push_back("song " + std::to_string(i) + ".mp3");
    const std::vector<std::string> paths = Volume(disk, files);
    expected.insert(expected.end(), paths.begin(), paths.end());
  }
  std::sort(expected.begin(), expected.end());
  CommandResult first, second;
  std::thread other([&] { first = Find({"song"}); });
  second = Find({"song"});
  other.join();
  for (const CommandResult& r : {first, second}) {
    // One builds; the other answers from what is committed, saying what it leaves out.
    const std::vector<std::string> found = FoundPaths(r.out);
    EXPECT_EQ(r.exit_code, found.empty() ? 1 : 0) << r.err;
    EXPECT_TRUE(std::includes(expected.begin(), expected.end(), found.begin(), found.end()));
    if (found.size() < expected.size()) {
      EXPECT_NE(r.err.find("not in the catalogue index yet"), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(FoundPaths(Find({"song"}).out), expected);
  EXPECT_EQ(Parts().size(), 4u);
}

}  // namespace
