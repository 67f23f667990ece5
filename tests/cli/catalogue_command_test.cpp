// checker-cli volumes, find and copies over lists that real scans wrote: several
// volumes faked with --label and --serial, the answers worked out from the trees.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "catalogue/sqlite_db.h"
#include "cli/cli_fixture.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "common/test_text.h"
#include "lists/list_names.h"
#include "platform/files.h"

namespace {

using cli_tests::CommandResult;
using cli_tests::TempTree;

constexpr time_t kBaseTime = 1588336496;  // 2020-05-01 12:34:56 UTC

using testing_support::JsonPath;
using testing_support::Lower;
using testing_support::TimeText;

using testing_support::SortedLines;

// A file of a made-up volume.
struct Made {
  std::string volume;  // the list's name
  std::string path;    // absolute
  std::string name;
  std::string content;
  time_t time;
};

class CatalogueCommandTest : public cli_tests::CliTest {
 protected:
  // The command with the test's catalogue folder.
  CommandResult Query(std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--catalogue", catalogue_});
    return Cli(args);
  }

  // Writes the files of a volume below "volumes/NAME/" with their write times, then
  // scans them into the catalogue as the volume LABEL of SERIAL.
  void MakeVolume(const std::string& name, const std::string& label, uint32_t serial,
                  const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string root = tree_.Dir("volumes/" + name);
    for (const auto& [relative, content] : files) {
      const std::string path = tree_.File("volumes/" + name + "/" + relative, content);
      const time_t time = kBaseTime + 3600 * static_cast<time_t>(made_.size());
      ASSERT_TRUE(testing_support::SetFileTimes(path, testing_support::AtSecond(time)));
      made_.push_back({name, path, relative.substr(relative.rfind('/') + 1), content, time});
    }
    ScanInto(name, label, serial, root);
  }

  void ScanInto(const std::string& name, const std::string& label, uint32_t serial,
                const std::string& root, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--label", label};
    if (serial != 0) args.insert(args.end(), {"--serial", std::to_string(serial)});
    args.insert(args.end(), extra.begin(), extra.end());
    // A name with a line break counts as an error of the run.
    CliTest::ScanInto(name, root, args, 1);
  }

  // find's line for a file.
  static std::string FindLine(const Made& file) {
    return file.volume + "  " + std::to_string(file.content.size()) + "  " + TimeText(file.time) +
           "  " + file.path;
  }

  // The lines find should print: every made file the rule picks.
  template <typename Rule>
  std::vector<std::string> Expected(Rule rule) const {
    std::vector<std::string> lines;
    for (const Made& file : made_) {
      if (rule(file)) lines.push_back(FindLine(file));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  // Two volumes; Backup holds copies of some of Photos' files.
  void MakeTwoVolumes() {
    MakeVolume("Photos", "PHOTOS", 1111,
               {{"2020/Holiday_Beach.JPG", "sand and sea, a long photo"},
                {"2020/holiday_town.jpg", "streets and houses"},
                {"2021/Garden.png", "green things growing"},
                {"notes/readme.txt", "read me first, then the rest"},
                {"notes/empty.txt", ""}});
    MakeVolume("Backup", "BACKUP", 2222,
               {{"old/Holiday_Beach.JPG", "sand and sea, a long photo"},
                {"old/readme-copy.txt", "read me first, then the rest"},
                {"work/report.pdf", "quarterly figures in a report"},
                {"work/empty.txt", ""}});
  }

  std::string IndexFile() const {
    return TempTree::FileEndingWith(tree_.Path("cache/checker"), ".db");
  }

  std::vector<Made> made_;
};

// Names by text and mask without regard to case, and filters by size, time, id and volume.
TEST_F(CatalogueCommandTest, FindsByNameAndFilters) {
  MakeTwoVolumes();
  const time_t third = kBaseTime + 3600 * 2;
  const CommandResult id = Cli({"id", made_[0].path});
  ASSERT_EQ(id.exit_code, 0);
  const auto named = [](const std::string& text) {
    return [text](const Made& f) { return Lower(f.name).find(text) != std::string::npos; };
  };
  const struct {
    std::vector<std::string> options;
    std::function<bool(const Made&)> rule;
  } cases[] = {
      {{"holiday"}, named("holiday")},
      {{"HOLIDAY_B"}, named("holiday_b")},
      {{"*.jpg"}, [](const Made& f) { return Lower(f.name).ends_with(".jpg"); }},
      {{"read*"}, [](const Made& f) { return Lower(f.name).starts_with("read"); }},
      {{"*.t?t"}, [](const Made& f) { return Lower(f.name).ends_with(".txt"); }},
      {{"e"}, [](const Made& f) { return f.name.find('e') != std::string::npos; }},
      {{"{g,r}*"},
       [](const Made& f) { return Lower(f.name)[0] == 'g' || Lower(f.name)[0] == 'r'; }},
      {{""}, [](const Made&) { return true; }},
      {{"nowhere"}, [](const Made&) { return false; }},
      {{"--min-size", "20"}, [](const Made& f) { return f.content.size() >= 20; }},
      {{"--max-size", "0"}, [](const Made& f) { return f.content.empty(); }},
      // A hundredth of 1024 bytes is 10 whole bytes.
      {{"--min-size", "0.01k"}, [](const Made& f) { return f.content.size() >= 10; }},
      {{"--from", TimeText(third), "--to", TimeText(third + 3600)},
       [&](const Made& f) { return f.time >= third && f.time <= third + 3600; }},
      {{"--to", "2020-05-01"}, [](const Made& f) { return f.time < kBaseTime + 41104; }},
      {{"--volume", "backup"}, [](const Made& f) { return f.volume == "Backup"; }},
      {{"--volume", lists::SerialNumberText(1111)},
       [](const Made& f) { return f.volume == "Photos"; }},
      {{"--volume", "Photos", "--min-size", "20"},
       [](const Made& f) { return f.volume == "Photos" && f.content.size() >= 20; }},
      // The id of a file as the list writes it finds every file of that content.
      {{"--id", id.out.substr(3, 11)},
       [&](const Made& f) { return f.content == made_[0].content; }},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"find"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CommandResult r = Query(args);
    const std::vector<std::string> expected = Expected(c.rule);
    EXPECT_EQ(r.exit_code, expected.empty() ? 1 : 0) << c.options[0] << r.err;
    EXPECT_EQ(SortedLines(r.out), expected) << c.options[0];
  }
  EXPECT_EQ(Query({"find", "--volume", "Nobody"}).exit_code, 2);
  EXPECT_EQ(Query({"find", "--from", "May 1st"}).exit_code, 2);
  // A limit says how many more matched.
  const CommandResult r = Query({"find", "--limit", "2", "*"});
  EXPECT_EQ(SortedLines(r.out).size(), 2u);
  EXPECT_EQ(r.err, "checker-cli: " + std::to_string(made_.size() - 2) + " more matched (" +
                       std::to_string(made_.size()) + " in all; --limit N shows more)\n");
}

TEST_F(CatalogueCommandTest, SearchesTheListFolderOfTheSettings) {
  const std::string folder = tree_.Path("app/xBase/");
  const CommandResult none = Cli({"volumes"});
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_EQ(none.err, "checker-cli: no catalogue: the list folder " + folder +
                          " does not exist and no --catalogue DIR was given\n");
  catalogue_ = tree_.Dir("app/xBase");
  MakeVolume("Own", "OWN", 7, {{"kept.txt", "in the list folder"}});
  const CommandResult r = Cli({"find", "kept"});
  EXPECT_EQ(r.out, FindLine(made_[0]) + "\n") << r.err;
}

TEST_F(CatalogueCommandTest, KeepsTheBytesOfNamesWithLineBreaksAndInvalidUtf8) {
  MakeVolume("Odd", "ODD", 3333,
             {{"a\rb.dat", "one"}, {"a\nb.dat", "two"}, {"n\xFEme.txt", "three"}});
  // Lists write CR and LF as "?": both names are one path there.
  const CommandResult breaks = Query({"find", "b.dat"});
  ASSERT_EQ(SortedLines(breaks.out).size(), 1u) << breaks.out;
  EXPECT_TRUE(breaks.out.ends_with(tree_.Path("volumes/Odd/a?b.dat\n"))) << breaks.out;
  const CommandResult invalid = Query({"find", "me.txt"});
  EXPECT_EQ(SortedLines(invalid.out), std::vector<std::string>{FindLine(made_[2])});
  const CommandResult json = Query({"find", "--format", "jsonl", "\xFEme"});
  EXPECT_EQ(json.out, "{\"volume\":\"Odd\",\"path\":\"" + tree_.Path("volumes/Odd/n") +
                          "\\u00feme.txt\",\"size\":5,\"write_time\":\"" + TimeText(made_[2].time) +
                          "\",\"id\":\"$7468726565\"}\n");
}

// A direction mark or a lone C1 byte in a name reaches a terminal as "?", a pipe as it is.
TEST_F(CatalogueCommandTest, NamesReachATerminalWithoutDirectionMarksOrC1Bytes) {
  MakeVolume("Odd", "ODD", 3333,
             {{"zzz\xE2\x80\xAE"
               "FDP.exe",
               "the same bytes"}});
  MakeVolume("Other", "OTHER", 4444,
             {{"c\x9B"
               "2Jopy.exe",
               "the same bytes"}});
  const std::string marked = made_[0].path;
  const std::string c1 = made_[1].path;
  const std::string shown_marked = tree_.Path("volumes/Odd/zzz?FDP.exe");
  const std::string shown_c1 = tree_.Path("volumes/Other/c?2Jopy.exe");
  const struct {
    std::vector<std::string> args;
    std::string piped, shown;
  } commands[] = {
      {{"find", "--catalogue", catalogue_, "FDP"},
       FindLine(made_[0]) + "\n",
       "Odd  14  " + TimeText(made_[0].time) + "  " + shown_marked + "\n"},
      {{"copies", "--catalogue", catalogue_, "Odd"},
       "2  " + marked + "\n   probable copy  Other  " + c1 + "\n",
       "2  " + shown_marked + "\n   probable copy  Other  " + shown_c1 + "\n"},
  };
  for (const auto& command : commands) {
    EXPECT_EQ(Cli(command.args).out, command.piped) << command.args[0];
    const CommandResult shown =
        testing_support::RunOnTerminal(CHECKER_CLI_PATH, command.args, env_, "");
    EXPECT_EQ(shown.out, command.shown) << command.args[0];
  }
}

TEST_F(CatalogueCommandTest, VolumesShowsEveryListAndWhetherItIsMounted) {
  MakeTwoVolumes();
  const CommandResult r = Query({"volumes"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<std::string> expected;
  for (const auto& [name, label, serial] :
       {std::tuple{"Backup", "BACKUP", 2222u}, std::tuple{"Photos", "PHOTOS", 1111u}}) {
    uint64_t files = 0;
    uint64_t bytes = 0;
    for (const Made& f : made_) {
      if (f.volume != name) continue;
      ++files;
      bytes += f.content.size();
    }
    // The run's start as the list's header holds it.
    const std::string list = TempTree::Read(catalogue_ + name + ".v00");
    expected.push_back(std::string(name) + "  label " + label + "  serial " +
                       lists::SerialNumberText(serial) + "  " +
                       tree_.Path("volumes/" + std::string(name) + "/") + "  " +
                       std::to_string(files) + " files  " + std::to_string(bytes) +
                       " bytes  last run " + list.substr(30, 19) + " complete  not mounted");
  }
  EXPECT_EQ(SortedLines(r.out), expected);

  const CommandResult json = Query({"volumes", "--format", "jsonl"});
  const std::string list = TempTree::Read(catalogue_ + "Backup.v00");
  EXPECT_EQ(SortedLines(json.out)[0],
            "{\"list\":\"Backup\",\"list_path\":\"" + JsonPath(catalogue_) +
                "Backup.v00\",\"label\":\"BACKUP\",\"serial\":\"" + lists::SerialNumberText(2222) +
                "\",\"search_path\":\"" + JsonPath(tree_.Path("volumes/Backup/")) +
                "\",\"files\":4,\"bytes\":83,\"last_run\":\"" + list.substr(30, 19) +
                "\",\"state\":\"complete\",\"mounted_at\":null}");
}

TEST_F(CatalogueCommandTest, CopiesNamesTheOtherVolumesOfEachFile) {
  MakeTwoVolumes();
  // Per file of Photos with content: the files of Backup with the same content.
  std::vector<std::string> expected;
  std::vector<std::string> unique;
  for (const Made& own : made_) {
    if (own.volume != "Photos" || own.content.empty()) continue;
    std::vector<std::string> copies;
    for (const Made& other : made_) {
      if (other.volume != "Photos" && other.content == own.content) {
        copies.push_back("   probable copy  " + other.volume + "  " + other.path);
      }
    }
    expected.push_back(std::to_string(1 + copies.size()) + "  " + own.path);
    expected.insert(expected.end(), copies.begin(), copies.end());
    if (copies.empty()) unique.push_back("1  " + own.path);
  }
  const CommandResult all = Query({"copies", catalogue_ + "Photos.v00"});
  ASSERT_EQ(all.exit_code, 0) << all.err;
  EXPECT_EQ(SortedLines(all.out), [&] {
    std::sort(expected.begin(), expected.end());
    return expected;
  }());
  EXPECT_EQ(all.err,
            "checker-cli: 1 files of the list are empty or have no id; they are never counted "
            "as copies\n");
  const CommandResult json = Query({"copies", "--format", "jsonl", "--under", "3", "Backup"});
  EXPECT_EQ(SortedLines(json.out)[0],
            "{\"path\":\"" + JsonPath(made_[5].path) +
                "\",\"volumes\":2,\"copies\":[{\"volume\":\"Photos\",\"path\":\"" +
                JsonPath(made_[0].path) +
                "\",\"state\":\"probable copy\",\"label\":\"PHOTOS\",\"serial\":\"" +
                lists::SerialNumberText(1111) + "\"}]}");
  const CommandResult under = Query({"copies", "--under", "2", "Photos"});
  std::sort(unique.begin(), unique.end());
  EXPECT_EQ(SortedLines(under.out), unique);
  EXPECT_EQ(Query({"copies", "Nothing"}).exit_code, 2);
}

// One disk listed three times (again under a dated name, and one folder of it alone),
// a backup, a clone of the disk under another label, and a stick without a serial
// listed twice whole and once a folder of it.
class OneDiskListedAgainTest : public CatalogueCommandTest {
 protected:
  void SetUp() override {
    CatalogueCommandTest::SetUp();
    MakeVolume("Disk", "DISK", 3333,
               {{"docs/only.txt", "on this disk alone"},
                {"photos/beach.jpg", "waves on the sand"},
                {"photos/town.jpg", "roofs and chimneys"},
                {"spare/beach.jpg", "waves on the sand"}});
    ScanInto("Disk-2024", "DISK", 3333, Path("Disk", ""));
    ScanInto("Album", "DISK", 3333, Path("Disk", "photos"));
    MakeVolume("Backup", "BACKUP", 4444, {{"town.jpg", "roofs and chimneys"}});
    MakeVolume("Clone", "CLONE", 3333, {{"clone.txt", "a disk copied sector by sector"}});
    const std::vector<std::string> no_serial = {"--serial", "0"};
    MakeVolume("Stick", "STICK", 0, {{"b.txt", "at the top"}, {"docs/a.txt", "a letter"}});
    ScanInto("Stick", "STICK", 0, Path("Stick", ""), no_serial);
    ScanInto("Stick-old", "STICK", 0, Path("Stick", ""), no_serial);
    ScanInto("Letters", "STICK", 0, Path("Stick", "docs"), no_serial);
  }
  std::string Path(const std::string& volume, const std::string& below) {
    return tree_.Path("volumes/" + volume + "/" + below);
  }
};

TEST_F(OneDiskListedAgainTest, CopiesCountsVolumesAndNeverTheFileItself) {
  // Rule: another list of the disk with the file at the same path below the disk's
  // root holds the file itself; at another path it holds a copy on the same disk.
  const std::string line_copy = "   probable copy  ";
  std::vector<std::string> lonely = {
      "1  " + Path("Disk", "docs/only.txt"),
      "1  " + Path("Disk", "photos/beach.jpg"),
      line_copy + "Disk  " + Path("Disk", "spare/beach.jpg"),
      "1  " + Path("Disk", "spare/beach.jpg"),
      line_copy + "Disk  " + Path("Disk", "photos/beach.jpg"),
      line_copy + "Album  " + Path("Disk", "photos/beach.jpg"),
  };
  std::vector<std::string> all = lonely;
  all.insert(all.end(), {"2  " + Path("Disk", "photos/town.jpg"),
                         line_copy + "Backup  " + Path("Backup", "town.jpg")});
  std::sort(all.begin(), all.end());
  std::sort(lonely.begin(), lonely.end());
  const CommandResult every = Query({"copies", "Disk-2024"});
  EXPECT_EQ(SortedLines(every.out), all) << every.err;
  const CommandResult under = Query({"copies", "--under", "2", "Disk-2024"});
  EXPECT_EQ(SortedLines(under.out), lonely);
  // Without a serial, a list of another search path is another volume.
  const CommandResult stick = Query({"copies", "--under", "2", "Stick"});
  EXPECT_EQ(stick.out, "1  " + Path("Stick", "b.txt") + "\n") << stick.err;
  const CommandResult json = Query({"copies", "--format", "jsonl", "--under", "2", "Disk-2024"});
  const std::vector<std::string> objects = SortedLines(json.out);
  ASSERT_EQ(objects.size(), 3u) << json.out;
  EXPECT_EQ(objects[1], "{\"path\":\"" + JsonPath(Path("Disk", "photos/beach.jpg")) +
                            "\",\"volumes\":1,\"copies\":[{\"volume\":\"Disk\",\"path\":\"" +
                            JsonPath(Path("Disk", "spare/beach.jpg")) +
                            "\",\"state\":\"probable copy\",\"label\":\"DISK\",\"serial\":\"" +
                            lists::SerialNumberText(3333) + "\"}]}");
}

TEST_F(OneDiskListedAgainTest, VolumesShowsTheListsOfOneVolumeTogether) {
  // Each volume's lists in path order, the volumes in the order of their first lists.
  const std::vector<std::string> order = {"Album", "Disk-2024", "Disk",      "Backup",
                                          "Clone", "Letters",   "Stick-old", "Stick"};
  const CommandResult text = Query({"volumes"});
  const CommandResult json = Query({"volumes", "--format", "jsonl"});
  std::vector<std::string> text_names, json_names;
  for (size_t pos = 0; pos < text.out.size(); pos = text.out.find('\n', pos) + 1) {
    text_names.push_back(text.out.substr(pos, text.out.find("  ", pos) - pos));
  }
  const std::string key = "{\"list\":\"";
  for (size_t pos = 0; pos < json.out.size(); pos = json.out.find('\n', pos) + 1) {
    EXPECT_EQ(json.out.compare(pos, key.size(), key), 0) << json.out;
    json_names.push_back(
        json.out.substr(pos + key.size(), json.out.find('"', pos + key.size()) - pos - key.size()));
  }
  EXPECT_EQ(text_names, order);
  EXPECT_EQ(json_names, order);
  // The clone shares the disk's serial: said once; lists without a serial share none.
  const std::string warning = "checker-cli: the volumes \"DISK\" and \"CLONE\" share the serial " +
                              lists::SerialNumberText(3333) + ": a clone or a relabelled disk\n";
  EXPECT_EQ(text.err, warning);
  EXPECT_EQ(json.err, warning);
}

TEST_F(CatalogueCommandTest, ConfirmComparesMountedCopiesByteForByte) {
  // Both trees on the real volume of the temp folder, which is mounted. The records of
  // a file reordered keep its 2-byte words, and so its id.
  MakeVolume("One", "ONE", 0,
             {{"same.txt", "the very same words"},
              {"rotten.txt", "good bytes"},
              {"records.dat", "AAAABBBBCCCC"}});
  MakeVolume("Two", "TWO", 0,
             {{"same.txt", "the very same words"},
              {"rotten.txt", "good bytes"},
              {"records.dat", "CCCCAAAABBBB"}});
  // Same size and write time, other bytes, after the scan.
  std::filesystem::resize_file(made_[4].path, 0);
  const std::string rotten = tree_.File("volumes/Two/rotten.txt", "bad! bytes");
  const CommandResult probable = Query({"copies", "One"});
  EXPECT_NE(probable.out.find("   probable copy  Two  " + made_[5].path + "\n"), std::string::npos)
      << probable.out;
  const CommandResult r = Query({"copies", "--confirm", "One"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(SortedLines(r.out),
            SortedLines("1  " + made_[1].path + "\n   not a copy  Two  " + rotten + "\n2  " +
                        made_[0].path + "\n   copy  Two  " + made_[3].path + "\n1  " +
                        made_[2].path + "\n   not a copy  Two  " + made_[5].path + "\n"));
  // The help says so where it speaks of probable copies.
  for (const char* command : {"copies", "verify", "compare"}) {
    std::string help = Cli({command, "--help"}).out;
    std::replace(help.begin(), help.end(), '\n', ' ');
    EXPECT_NE(help.find("not depend on the order of a file's 2-byte words"), std::string::npos)
        << help;
    EXPECT_NE(help.find("--confirm"), std::string::npos) << help;
  }
}

TEST_F(CatalogueCommandTest, SkipsDamagedForeignAndReadsLockedLists) {
  MakeTwoVolumes();
  // A line cut in the middle of the list, and a text that is no list at all.
  std::string damaged = TempTree::Read(catalogue_ + "Photos.v00");
  const size_t third_line = damaged.find("\nF", damaged.find("\nF") + 2) + 2;
  damaged.insert(third_line, "F  garbage\n");
  tree_.File("catalogue/Damaged.v00", damaged);
  tree_.File("catalogue/Foreign.v00", "just some notes\n");
  const size_t line = static_cast<size_t>(
      std::count(damaged.begin(), damaged.begin() + static_cast<long>(third_line), '\n') + 1);
  platform::File held;
  ASSERT_TRUE(held.Open(catalogue_ + "Backup.v00", platform::OpenMode::kReadWriteLocked));
  const CommandResult r = Query({"find", "*"});
  held.Close();
  EXPECT_EQ(SortedLines(r.out), Expected([](const Made&) { return true; }));
  EXPECT_EQ(r.err, "checker-cli: " + catalogue_ + "Damaged.v00: line " + std::to_string(line) +
                       ": not a line of an id list; left out of the catalogue\n"
                       "checker-cli: " +
                       catalogue_ +
                       "Foreign.v00: line 1: not an id list (no run header); left out of the "
                       "catalogue\n");
}

TEST_F(CatalogueCommandTest, UnreadableListIsLeftOutUntilItCanBeRead) {
  MakeTwoVolumes();
  const std::string list = catalogue_ + "Backup.v00";
  std::filesystem::permissions(list, std::filesystem::perms::none);
  if (std::ifstream(list).is_open()) GTEST_SKIP() << "this user reads every file";
  const CommandResult r = Query({"find", "*"});
  EXPECT_EQ(SortedLines(r.out), Expected([](const Made& f) { return f.volume == "Photos"; }));
  EXPECT_EQ(r.err, "checker-cli: " + list +
                       ": cannot read it: Permission denied; left out of the catalogue\n");
  // Readable again, with nothing else changed: it is read this time.
  std::filesystem::permissions(list, std::filesystem::perms::owner_read);
  EXPECT_EQ(SortedLines(Query({"find", "*"}).out), Expected([](const Made&) { return true; }));
}

TEST_F(CatalogueCommandTest, FollowsListsThatChangeAppearAndGo) {
  MakeTwoVolumes();
  ASSERT_EQ(Query({"find", "*"}).exit_code, 0);
  // Photos scanned again with a file added, one gone and one rewritten; Backup's list
  // removed.
  made_.push_back({"Photos", tree_.File("volumes/Photos/new/added.txt", "a later file"),
                   "added.txt", "a later file", kBaseTime - 3600});
  Made& garden = made_[2];
  garden.content = "green things growing taller";
  garden.time = kBaseTime - 7200;
  for (const Made& file : {made_.back(), garden}) {
    tree_.File(file.path.substr(tree_.root().size()), file.content);
    ASSERT_TRUE(testing_support::SetFileTimes(file.path, testing_support::AtSecond(file.time)));
  }
  std::filesystem::remove(made_[3].path);
  made_.erase(made_.begin() + 3);
  ScanInto("Photos", "PHOTOS", 1111, tree_.Path("volumes/Photos"));
  std::filesystem::remove(catalogue_ + "Backup.v00");
  const CommandResult r = Query({"find", "*"});
  EXPECT_EQ(SortedLines(r.out), Expected([](const Made& f) { return f.volume == "Photos"; }));
  const CommandResult copies = Query({"copies", "Photos"});
  EXPECT_EQ(copies.out.find("probable copy"), std::string::npos) << copies.out;
}

TEST_F(CatalogueCommandTest, RebuildsAnIndexDeletedDamagedOrOfAnotherVersion) {
  MakeTwoVolumes();
  const std::vector<std::string> all = Expected([](const Made&) { return true; });
  ASSERT_EQ(SortedLines(Query({"find", "*"}).out), all);
  const std::string index = IndexFile();
  ASSERT_FALSE(index.empty());

  std::filesystem::remove(index);
  CommandResult r = Query({"find", "*"});
  EXPECT_EQ(SortedLines(r.out), all);
  EXPECT_EQ(r.err, "");

  {
    catalogue::Database db;
    ASSERT_TRUE(db.Open(index));
    ASSERT_TRUE(db.Exec("UPDATE meta SET value = 999 WHERE key = 'version'"));
  }
  r = Query({"find", "*"});
  EXPECT_EQ(SortedLines(r.out), all);
  EXPECT_EQ(r.err, "checker-cli: the catalogue index " + index +
                       " is of another version; building it again\n");

  tree_.File(index.substr(tree_.root().size()), std::string(8192, 'x'));
  r = Query({"find", "*"});
  EXPECT_EQ(SortedLines(r.out), all);
  EXPECT_EQ(r.err,
            "checker-cli: the catalogue index " + index + " is damaged; building it again\n");
}

}  // namespace
