// The catalogue's index as the commands meet it: names in every script and byte, folders
// that cannot be read or are links, dates that do not exist, several commands at once, a
// full disk, who may read the index, its files damaged, cut or of another version, whole
// paths searched, a first page of results taken from several lists, a list replaced whole.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_fixture.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

using cli_tests::CommandResult;
using cli_tests::TempTree;

// The paths of find's lines, sorted by path: the lines lead with sizes and times, whose
// order is no path order.
std::vector<std::string> FoundPaths(const std::string& out) {
  std::vector<std::string> paths;
  for (const std::string& line : testing_support::SortedLines(out))
    paths.push_back(line.substr(line.rfind("  ") + 2));
  std::sort(paths.begin(), paths.end());
  return paths;
}

class CatalogueIndexTest : public cli_tests::CliTest {
 protected:
  CommandResult Find(std::vector<std::string> args) {
    args.insert(args.begin(), {"find", "--catalogue", catalogue_});
    return Cli(args);
  }

  // Writes the files below "volumes/NAME/" and scans them into `folder` as list NAME;
  // returns their paths, sorted.
  std::vector<std::string> Volume(const std::string& name, const std::vector<std::string>& files,
                                  const std::string& folder) {
    std::vector<std::string> paths;
    for (const std::string& file : files)
      paths.push_back(tree_.File("volumes/" + name + "/" + file, "x"));
    const CommandResult r = ScanLists(folder + name + ".v00", tree_.Path(name + ".t00"),
                                      tree_.Path("volumes/" + name), {"--label", name});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  std::string IndexFile() const {
    return TempTree::FileEndingWith(tree_.Path("cache/checker"), ".db");
  }

  // The index's files of one list each.
  std::vector<std::string> Parts() const {
    std::vector<std::string> parts;
    for (const auto& entry : std::filesystem::directory_iterator(IndexFile() + "-names"))
      parts.push_back(testing_support::TextOf(entry.path()));
    std::sort(parts.begin(), parts.end());
    return parts;
  }
};

// A name folds case in every script and reads a stray byte as its character; with
// --path, the text is sought in the whole path, across the last slash.
TEST_F(CatalogueIndexTest, FindsNamesInEveryScriptAndFoldersAcrossTheLastSlash) {
  std::vector<std::string> names = {
      "\xD0\x96\xD1\x83\xD0\xBA.txt",                          // Жук
      "\u0178es.txt",                                          // Ÿes
      "\xF0\x90\x90\x80\xF0\x90\x90\x81\xF0\x90\x90\x82.txt",  // Deseret capitals
      "\xCE\xA3\xCE\x99\xCE\xA3\xCE\xA5\xCE\xA6.txt",          // ΣΙΣΥΦ
      "plain.txt",
      "Holiday 2019/beach.jpg",
      "Holiday 2019/sub/deep.txt",
      "work/holiday.txt",
      "work/report.pdf"};
  // A lone byte 0xE9 ("é"): names Windows' UTF-16 cannot hold.
  if (platform::kNativePathStyle != platform::PathStyle::kWindows) {
    names.insert(names.end(), {"pq\xE9rs.txt", "odd\xE9/x.bin"});
  }
  Volume("Disk", names, catalogue_);
  const std::string root = tree_.Path("volumes/Disk/");
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> found;  // below the root
  } cases[] = {
      {{"pq\xC3\xA9"}, {"pq\xE9rs.txt"}},
      {{"q\xC3\xA9"}, {"pq\xE9rs.txt"}},
      {{"PQ\xC3\x89RS"}, {"pq\xE9rs.txt"}},
      {{"pq\xE9"}, {"pq\xE9rs.txt"}},
      {{"*\xC3\xA9rs.*"}, {"pq\xE9rs.txt"}},
      {{"\xD0\xB6\xD1\x83\xD0\xBA"}, {"\xD0\x96\xD1\x83\xD0\xBA.txt"}},
      {{"\xD0\xB6\xD1\x83\xD0\xBA*"}, {"\xD0\x96\xD1\x83\xD0\xBA.txt"}},
      {{"\u00FFes"}, {"\u0178es.txt"}},
      {{"\xC3\xBF*.txt"}, {"\u0178es.txt"}},
      {{"\xF0\x90\x90\xA8\xF0\x90\x90\xA9\xF0\x90\x90\xAA"},
       {"\xF0\x90\x90\x80\xF0\x90\x90\x81\xF0\x90\x90\x82.txt"}},
      {{"\xCF\x83\xCE\xB9\xCF\x83"}, {"\xCE\xA3\xCE\x99\xCE\xA3\xCE\xA5\xCE\xA6.txt"}},
      {{"PLAIN"}, {"plain.txt"}},
      {{"--path", "holiday"},
       {"Holiday 2019/beach.jpg", "Holiday 2019/sub/deep.txt", "work/holiday.txt"}},
      {{"--path", "2019/sub"}, {"Holiday 2019/sub/deep.txt"}},
      {{"--path", "work/rep"}, {"work/report.pdf"}},
      {{"--path", "/disk/work/"}, {"work/holiday.txt", "work/report.pdf"}},
      {{"--path", "*/work/*.pdf"}, {"work/report.pdf"}},
      {{"--path", "ODD\xC3\x89/"}, {"odd\xE9/x.bin"}},
      {{"--path", "9/b"}, {"Holiday 2019/beach.jpg"}},
      {{"--path", "nowhere/"}, {}},
      // Without --path a folder's name finds nothing of it.
      {{"2019"}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> expected;
    for (const std::string& below : c.found) {
      if (std::find(names.begin(), names.end(), below) != names.end()) {
        expected.push_back(root + testing_support::Native(below));
      }
    }
    std::sort(expected.begin(), expected.end());
    // A path's text with the separator of the paths it is sought in.
    std::vector<std::string> args = c.args;
    if (args.front() == "--path") args.back() = testing_support::Native(args.back());
    const CommandResult r = Find(args);
    EXPECT_EQ(FoundPaths(r.out), expected) << args.back() << r.err;
  }
}

TEST_F(CatalogueIndexTest, ImpossibleDatesAndTimesAreUsageErrors) {
  Volume("One", {"a.txt"}, catalogue_);
  for (const std::vector<std::string>& options :
       std::vector<std::vector<std::string>>{{"--from", "2026-13-45"},
                                             {"--to", "2026-02-30"},
                                             {"--to", "2025-02-29"},
                                             {"--from", "2026-04-31"},
                                             {"--from", "2026-01-01 99:99:99"},
                                             {"--to", "2026-01-01 24:00:00"},
                                             {"--from", "0000-01-01"}}) {
    std::vector<std::string> args = options;
    const CommandResult r = Find(args);
    EXPECT_EQ(r.exit_code, 2) << options[1];
    EXPECT_EQ(r.err, "checker-cli: find: " + options[0] +
                         " takes yyyy-mm-dd or \"yyyy-mm-dd hh:nn:ss\", not '" + options[1] +
                         "'\n");
  }
  // A leap day and the last second of a day are there.
  EXPECT_EQ(Find({"--from", "2024-02-29", "--to", "2099-12-31 23:59:59"}).exit_code, 0);
}

TEST_F(CatalogueIndexTest, UnreadableFolderKeepsItsListsWithOneWarning) {
  const std::string other = tree_.Dir("other");
  const std::vector<std::string> one = Volume("One", {"a.txt"}, catalogue_);
  const std::vector<std::string> two = Volume("Two", {"b.txt"}, other);
  const std::vector<std::string> args = {"find",        "--catalogue", catalogue_,
                                         "--catalogue", other,         "*"};
  ASSERT_EQ(FoundPaths(Cli(args).out), (std::vector<std::string>{one[0], two[0]}));
  std::filesystem::permissions(other, std::filesystem::perms::owner_exec);
  std::error_code denied;
  std::filesystem::directory_iterator probe(other, denied);
  if (!denied) {
    std::filesystem::permissions(other, std::filesystem::perms::owner_all);
    GTEST_SKIP() << "this user reads every folder";
  }
  const CommandResult r = Cli(args);
  std::filesystem::permissions(other, std::filesystem::perms::owner_all);
  EXPECT_EQ(FoundPaths(r.out), (std::vector<std::string>{one[0], two[0]}));
  EXPECT_EQ(r.err, "checker-cli: cannot read the catalogue folder " + other +
                       ": Permission denied; its lists stay in the index as they were\n");
}

TEST_F(CatalogueIndexTest, ListThatIsALinkIsLeftOutWithTheReasonVerifyGives) {
  Volume("One", {"a.txt"}, tree_.Dir("elsewhere"));
  const std::string link = catalogue_ + "One.v00";
  std::filesystem::create_symlink(tree_.Path("elsewhere/One.v00"), link);
  const CommandResult r = Find({"*"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "checker-cli: " + link + " is a symbolic link; give the list itself\n");
}

TEST_F(CatalogueIndexTest, ListFolderThatIsALinkToAFolderIsTheListFolder) {
  // The settings' list folder (xBase of the program folder) leads to a folder elsewhere.
  const std::string real = tree_.Dir("real lists");
  std::filesystem::create_symlink(real, tree_.Path("app/xBase"));
  tree_.File("volumes/Own/kept.txt", "x");
  const CommandResult scan =
      Cli({"scan", "--no-backup", "--label", "OWN", "--serial", "7", tree_.Path("volumes/Own")});
  EXPECT_EQ(scan.exit_code, 0) << scan.err;
  EXPECT_EQ(scan.err.find("created the list folder"), std::string::npos) << scan.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real),
                          std::filesystem::directory_iterator()),
            2);
  const CommandResult r = Cli({"find", "kept"});
  EXPECT_EQ(FoundPaths(r.out), std::vector<std::string>{tree_.Path("volumes/Own/kept.txt")})
      << r.err;
  // A link that leads nowhere is named as what it is.
  std::filesystem::remove(tree_.Path("app/xBase"));
  std::filesystem::create_symlink(tree_.Path("gone"), tree_.Path("app/xBase"));
  const CommandResult dangling = Cli({"volumes"});
  EXPECT_EQ(dangling.exit_code, 2);
  EXPECT_EQ(dangling.err,
            "checker-cli: no catalogue: the list folder " + tree_.Path("app/xBase/") +
                " is a symbolic link to no folder and no --catalogue DIR was given\n");
  const CommandResult refused =
      Cli({"scan", "--no-backup", "--label", "OWN", "--serial", "7", tree_.Path("volumes/Own")});
  EXPECT_NE(refused.exit_code, 0);
  EXPECT_NE(refused.err.find("checker-cli: the list folder " + tree_.Path("app/xBase/") +
                             " is a symbolic link to no folder\n"),
            std::string::npos)
      << refused.err;
}

TEST_F(CatalogueIndexTest, CommandsAtOnceAllAnswer) {
  // Wine makes files about a hundred times more slowly; a fifth still outlasts a start.
  constexpr int kFiles = platform::kNativePathStyle == platform::PathStyle::kWindows ? 2000 : 10000;
  std::vector<std::string> files;
  for (int i = 0; i < kFiles; ++i)
    files.push_back("d" + std::to_string(i % 50) + "/f" + std::to_string(i) + ".dat");
  const std::vector<std::string> big = Volume("Big", files, catalogue_);
  const std::vector<std::string> small = Volume("Small", {"f1.dat"}, catalogue_);
  std::vector<CommandResult> results(4);
  std::vector<std::thread> threads;
  for (CommandResult& result : results) {
    threads.emplace_back([&] { result = Find({"--limit", "100000", "f1.dat"}); });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> all;
  for (const std::string& path : big) {
    if (path.ends_with(testing_support::Native("/f1.dat"))) all.push_back(path);
  }
  all.push_back(small[0]);
  std::sort(all.begin(), all.end());
  for (const CommandResult& r : results) {
    const std::vector<std::string> found = FoundPaths(r.out);
    if (r.err.empty()) {
      EXPECT_EQ(found, all);
      EXPECT_EQ(r.exit_code, 0);
      continue;
    }
    // Answered from the lists indexed so far, and says how many are still missing.
    EXPECT_TRUE(std::includes(all.begin(), all.end(), found.begin(), found.end())) << r.err;
    EXPECT_TRUE(r.err.starts_with("checker-cli: ")) << r.err;
    EXPECT_NE(r.err.find(" not in the catalogue index yet: another command is indexing "),
              std::string::npos)
        << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.exit_code, found.empty() ? 1 : 0) << r.err;
  }
}

// While another command holds the index to write it, a command answers from what is
// committed and counts the lists that leaves out.
TEST_F(CatalogueIndexTest, CommandWhileAnotherWritesAnswersFromWhatIsCommitted) {
  const std::vector<std::string> one = Volume("One", {"same.txt"}, catalogue_);
  ASSERT_EQ(FoundPaths(Find({"same"}).out), one);
  const std::vector<std::string> two = Volume("Two", {"same.txt"}, catalogue_);
  platform::File writer;
  ASSERT_TRUE(writer.Open(IndexFile() + ".lock", platform::OpenMode::kReadWriteLocked));
  const CommandResult r = Find({"same"});
  writer.Close();
  EXPECT_EQ(FoundPaths(r.out), one);
  EXPECT_EQ(r.err,
            "checker-cli: 1 list is not in the catalogue index yet: another command is indexing "
            "it; this answer leaves it out\n");
  const CommandResult after = Find({"same"});
  EXPECT_EQ(FoundPaths(after.out), (std::vector<std::string>{one[0], two[0]}));
  EXPECT_EQ(after.err, "");
}

TEST_F(CatalogueIndexTest, IndexIsReadableByItsOwnerOnly) {
  Volume("One", {"a.txt"}, catalogue_);
  const mode_t old_mask = umask(0);
  const CommandResult first = Find({"*"});
  umask(old_mask);
  ASSERT_EQ(first.exit_code, 0) << first.err;
  const auto mode = [](const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0u;
  };
  EXPECT_EQ(mode(tree_.Path("cache/checker")), 0700u);
  const std::string index = IndexFile();
  for (const char* tail : {"", "-wal", "-shm"}) {
    if (std::filesystem::exists(index + tail)) {
      EXPECT_EQ(mode(index + tail), 0600u) << tail;
    }
  }
  // An index found open to others is closed, with a word.
  chmod(index.c_str(), 0644);
  chmod(tree_.Path("cache/checker").c_str(), 0755);
  const CommandResult again = Find({"*"});
  EXPECT_EQ(again.err, "checker-cli: the catalogue index " + index +
                           " could be read by others; now only its owner can\n");
  EXPECT_EQ(mode(index), 0600u);
  EXPECT_EQ(mode(tree_.Path("cache/checker")), 0700u);
}

// A small file system of its own stands for a full disk; only root can mount one.
TEST_F(CatalogueIndexTest, FullDiskNamesTheFirstErrorAndLeavesNoPartialIndex) {
  if (!testing_support::RunsAsRoot()) GTEST_SKIP() << "mounting a small file system takes root";
  const std::string cache = tree_.Dir("cache");
  if (std::system(("mount -t tmpfs -o size=96k tmpfs '" + cache + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  std::vector<std::string> files;
  for (int i = 0; i < 3000; ++i) {
    files.push_back("a rather long name for a file, number " + std::to_string(i) + ".dat");
  }
  Volume("Many", files, catalogue_);
  const CommandResult r = Find({"number"});
  const CommandResult again = Find({"number"});
  std::vector<std::string> left;
  if (std::filesystem::exists(cache + "checker")) {
    for (const auto& entry : std::filesystem::directory_iterator(cache + "checker")) {
      const std::string name = testing_support::TextOf(entry.path().filename());
      if (name.ends_with(".db") || name.ends_with("-wal") || name.ends_with("-shm") ||
          (name.ends_with("-names") && !std::filesystem::is_empty(entry.path()))) {
        left.push_back(name);
      }
    }
  }
  std::system(("umount '" + cache + "'").c_str());
  for (const CommandResult& each : {r, again}) {
    EXPECT_EQ(each.exit_code, 2);
    EXPECT_TRUE(each.err.starts_with("checker-cli: cannot ")) << each.err;
    EXPECT_NE(each.err.find(" the catalogue index " + cache + "checker/catalogue-"),
              std::string::npos)
        << each.err;
    EXPECT_TRUE(each.err.ends_with(": database or disk is full\n") ||
                each.err.ends_with(": No space left on device\n"))
        << each.err;
  }
  EXPECT_EQ(left, std::vector<std::string>{});
}

TEST_F(CatalogueIndexTest, DamagedCutOrForeignPartsAreReadAgainFromTheList) {
  std::vector<std::string> files;
  for (int i = 0; i < 40; ++i) files.push_back("photo " + std::to_string(i) + ".jpg");
  const std::vector<std::string> paths = Volume("Cam", files, catalogue_);
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

TEST_F(CatalogueIndexTest, FirstResultsStraddleListsAndTheCountFollows) {
  std::vector<std::string> all;
  for (const char* disk : {"A", "B"}) {
    std::vector<std::string> files;
    for (int i = 0; i < 70; ++i) files.push_back("clip " + std::to_string(i) + ".mov");
    files.push_back("other.txt");
    for (const std::string& path : Volume(disk, files, catalogue_)) {
      if (path.ends_with(".mov")) all.push_back(path);
    }
  }
  std::sort(all.begin(), all.end());
  const CommandResult r = Find({"--limit", "100", "CLIP"});
  const std::vector<std::string> shown = FoundPaths(r.out);
  ASSERT_EQ(shown.size(), 100u);
  EXPECT_TRUE(std::includes(all.begin(), all.end(), shown.begin(), shown.end()));
  EXPECT_EQ(r.err, "checker-cli: 40 more matched (140 in all; --limit N shows more)\n");
}

TEST_F(CatalogueIndexTest, AListReplacedWholeKeepsNothingOfItsOldFiles) {
  Volume("Usb", {"old one.txt", "old two.txt"}, catalogue_);
  ASSERT_EQ(FoundPaths(Find({"old"}).out).size(), 2u);
  std::filesystem::remove_all(tree_.Path("volumes/Usb"));
  const std::vector<std::string> fresh = Volume("Usb", {"new one.txt"}, catalogue_);
  EXPECT_EQ(FoundPaths(Find({"old"}).out), std::vector<std::string>{});
  EXPECT_EQ(FoundPaths(Find({"one"}).out), fresh);
  EXPECT_EQ(Parts().size(), 1u);
}

TEST_F(CatalogueIndexTest, TwoCommandsBuildingAtOnceBothAnswer) {
  std::vector<std::string> expected;
  for (const char* disk : {"P", "Q", "R", "S"}) {
    std::vector<std::string> files;
    for (int i = 0; i < 30; ++i) files.push_back("song " + std::to_string(i) + ".mp3");
    const std::vector<std::string> paths = Volume(disk, files, catalogue_);
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
