// checker-cli scan and continue, run as a program on temp trees.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/scan_command_fixture.h"
#include "cli/scan_options.h"
#include "common/test_os.h"
#include "common/test_text.h"
#include "platform/files.h"

namespace scan_command_tests {
namespace {

// A search path that is there but no directory says what it is, and nothing is created.
TEST_F(ScanCommandTest, SearchPathThatIsNoDirectorySaysWhatItIs) {
  tree_.File("data/a", "abcdef");
  const struct {
    std::string command, path, reason;
  } cases[] = {
      {"scan", tree_.Path("data/a/b"), "no such directory"},
      {"continue", tree_.Path("nothing"), "no such directory"},
      {"scan", tree_.Path("data/a"), "not a directory"},
  };
  for (const auto& c : cases) {
    const CommandResult result = Cli({c.command, c.path});
    EXPECT_EQ(result.exit_code, 2) << c.path;
    EXPECT_EQ(result.err, "checker-cli: cannot scan " + c.path + ": " + c.reason + "\n");
    EXPECT_EQ(result.out, "") << c.path;
  }
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
  const CommandResult result = WithLists({"scan", "--label", "DATA", "--serial", "305441741"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "tree list: " + tree_.Path("out/run.t00") +
                            "\nid list: " + tree_.Path("out/run.v00") + "\n");
  EXPECT_EQ(result.err, "checker-cli: 2 files, 0 errors\n");  // no progress off a terminal
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.t00")),
            path_ + Native("/") + "\r\n" + path_ + Native("/sub/") + "\r\n");
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
    const CommandResult r = CliTest::Cli({"scan", "--threads", threads, "--list",
                                          tree_.Path("out/r" + threads + ".v00"), "--tree",
                                          tree_.Path("out/r" + threads + ".t00"), path_});
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
  // The child starts in this process's current folder.
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(testing_support::PathOf(tree_.root()));
  const CommandResult result =
      Cli({"scan", "--quiet", "--list", "r.v00", "--tree", "r.t00", "data"});
  std::filesystem::current_path(before);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(TempTree::Read(tree_.Path("r.t00")), path_ + Native("/") + "\r\n");
}

TEST_F(ScanCommandTest, DerivedNamesFollowTheBaseSettings) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nVolPath=lists/\nLstExt=idl\n");
  CommandResult result = Cli({"scan", "--name", "Vol7", path_});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string lists = app_ + Native("lists/");
  EXPECT_EQ(result.out, "tree list: " + lists + "Vol7.t00\nid list: " + lists + "Vol7.idl\n");
  EXPECT_EQ(result.err,
            "checker-cli: created the list folder " + lists + "\nchecker-cli: 1 files, 0 errors\n");
  EXPECT_TRUE(std::filesystem::exists(testing_support::PathOf(lists + "Vol7.idl")));

  // Without a name the lists are named after the volume's parts: the directories below
  // the root run together after one "^" (not the "Get" name of `names`, with one each).
  std::string net, dirs;
  ASSERT_TRUE(VolumeParts(&net, &dirs));
  result = Cli({"scan", "--quiet", "--label", "Music", "--serial", "123", path_});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string name = (net.empty() ? "" : net + "%") + "Music^" + dirs + "~00000_00123";
  EXPECT_TRUE(std::filesystem::exists(testing_support::PathOf(lists + name + ".idl"))) << name;
  EXPECT_TRUE(std::filesystem::exists(testing_support::PathOf(lists + name + ".t00"))) << name;
}

TEST_F(ScanCommandTest, MissingBaseFileIsCreatedWithoutAsking) {
  tree_.File("data/a.txt", "abcdef");
  const CommandResult result = Cli({"scan", "--name", "x", path_});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  // No terminal: the first button, the shared folder, said in one line.
  EXPECT_TRUE(std::filesystem::exists(tree_.Path("config/Quorvane.Ini")));
  EXPECT_TRUE(std::filesystem::exists(tree_.Path("app/xBase/x.v00")));
  EXPECT_EQ(result.err, "checker-cli: created the base settings file " + config_ +
                            "Quorvane.Ini\nchecker-cli: created the list folder " + app_ +
                            Native("xBase/") + "\nchecker-cli: 1 files, 0 errors\n");
  // Once there, it is not created again.
  EXPECT_EQ(Cli({"scan", "--name", "x", path_}).err, "checker-cli: 1 files, 0 errors\n");
}

TEST_F(ScanCommandTest, BaseFileThatCannotBeCreatedLeavesTheDefaults) {
  tree_.File("data/a.txt", "abcdef");
  const std::string plain = tree_.File("plain", "a file, not a folder");
  env_ = testing_support::FoldersEnv(plain, tree_.Dir("cache"));
  env_.push_back("CHECKER_APPDIR=" + app_);
  const CommandResult r = Cli({"scan", "--name", "x", path_});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "checker-cli: cannot create the base settings file " +
                       tree_.Path("plain/Quorvane.Ini") +
                       "; the default settings are used\n"
                       "checker-cli: created the list folder " +
                       app_ + Native("xBase/") + "\nchecker-cli: 1 files, 0 errors\n");
}

TEST_F(ScanCommandTest, ListsThatCannotBeWrittenAreRefused) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nVolPath=lists/\nLstExt=t00\n");
  CommandResult result = Cli({"scan", "--name", "same", path_});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "checker-cli: created the list folder " + app_ + Native("lists/") +
                            "\nchecker-cli: Tree and list filenames are the same: " + app_ +
                            Native("lists/same.t00") + "\n");

  // A list folder below a file cannot be made.
  const std::string below_a_file = tree_.File("plain", "a file, not a folder") + Native("/lists/");
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nVolPath=" + below_a_file + "\n");
  result = Cli({"scan", "--name", "x", path_});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "checker-cli: cannot create the list folder " + below_a_file + "\n");

  const std::string folder = tree_.Path("listdir");
  tree_.Dir("listdir");
  for (const bool id_list : {true, false}) {
    const std::string other = tree_.Path(id_list ? "r.t00" : "r.v00");
    result = Cli(
        {"scan", "--list", id_list ? folder : other, "--tree", id_list ? other : folder, path_});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.err, "checker-cli: the " + std::string(id_list ? "id" : "tree") + " list " +
                              folder + " is not a regular file\n");
    EXPECT_FALSE(std::filesystem::exists(testing_support::PathOf(other)));
  }
}

TEST_F(ScanCommandTest, ListHeldByAnotherRunIsRefused) {
  tree_.File("data/a.txt", "abcdef");
  tree_.File("out/run.v00", "held\r\n");
  platform::File holder;
  ASSERT_TRUE(holder.Open(tree_.Path("out/run.v00"), platform::OpenMode::kReadWriteLocked));
  const CommandResult result = WithLists({"scan"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "checker-cli: cannot open the id list " + tree_.Path("out/run.v00") +
                            ": in use by another run\n");
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(std::filesystem::exists(testing_support::PathOf(tree_.Path("out/run.t00"))));
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.v00")), "held\r\n");
}

// A volume label comes from whoever formatted the disk; it must not lead the lists out of
// their folder, nor make a name longer than a file name may be.
TEST_F(ScanCommandTest, HostileLabelsStayInsideTheListFolder) {
  tree_.File("data/a.txt", "abcdef");
  std::string net, dirs;
  ASSERT_TRUE(VolumeParts(&net, &dirs));
  const std::string folder = app_ + Native("xBase/");
  for (const std::string& label :
       std::vector<std::string>{"../../evil", "a/b", "..", std::string(300, 'L')}) {
    const CommandResult result = Cli({"scan", "--quiet", "--label", label, "--serial", "1", path_});
    EXPECT_EQ(result.exit_code, 0) << label << ": " << result.err;
    std::string part = label == ".." ? "_" : label;
    std::replace(part.begin(), part.end(), '/', '_');
    std::string name = (net.empty() ? "" : net + "%") + part + "^" + dirs + "~00000_00001";
    name.resize(std::min<size_t>(name.size(), 255 - 4));
    for (const char* extension : {".v00", ".t00"}) {
      EXPECT_TRUE(std::filesystem::exists(testing_support::PathOf(folder + name + extension)))
          << name;
    }
  }
  // Nothing was written anywhere but the list folder, the settings and the data.
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(testing_support::PathOf(tree_.root()))) {
    if (!entry.is_regular_file()) continue;
    const std::string path = testing_support::TextOf(entry.path());
    EXPECT_TRUE(path.starts_with(folder) || path.starts_with(path_ + Native("/")) ||
                path == config_ + "Quorvane.Ini")
        << path;
  }
}

TEST_F(ScanCommandTest, DirectoriesNotReadAreNamedAndCounted) {
  tree_.File("data/a", "abcdef");
  tree_.File("data/gone/b", "abcdef");
  tree_.Dir("out");
  ASSERT_EQ(WithLists({"scan", "--quiet"}).exit_code, 0);
  std::filesystem::remove_all(testing_support::PathOf(path_ + Native("/gone")));
  tree_.File("data/new", "abcdefg");
  const CommandResult result = WithLists({"continue"});
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.err, "checker-cli: cannot read directory " + path_ + Native("/gone/") + ": " +
                            testing_support::NotFoundText() +
                            "\n"
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
  const std::string tmp = path_ + Native("/sub/tmp/");
  const std::string temp = path_ + Native("/temp/");
  const std::string reason = ": left out by the parameters (/EP ";
  const std::string named =
      "checker-cli: " + tmp + reason + "tmp)\n" + "checker-cli: " + temp + reason + "temp)\n";
  const std::string closing =
      "checker-cli: 1 files, 0 errors, 2 folders left out by the parameters\n";
  CommandResult result = WithLists({"scan", "--no-backup"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, closing);
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.t00")),
            path_ + Native("/") + "\r\n" + path_ + Native("/sub/") + "\r\n");
  const std::string id_list = TempTree::Read(tree_.Path("out/run.v00"));
  EXPECT_EQ(id_list.substr(70, 2), "F ");  // finished, no error
  result = WithLists({"scan", "--no-backup", "--verbose"});
  EXPECT_EQ(result.err, named + closing);
  result = WithLists({"scan", "--no-backup", "--verbose", "--dirs", "/ES temp"});
  EXPECT_EQ(result.err,
            "checker-cli: " + temp + ": left out by the parameters (/ES temp)\n" +
                "checker-cli: 3 files, 0 errors, 1 folder left out by the parameters\n");

  ASSERT_EQ(WithLists({"scan", "--no-backup", "--quiet"}).exit_code, 0);
  std::filesystem::remove(testing_support::PathOf(tree_.Path("out/run.v00")));
  result = WithLists({"continue", "--verbose"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, named + closing);

  const std::string note = "note           ";
  // Cached: what was just written need not have reached the disk.
  result = Cli({"verify", "--cached", tree_.Path("out/run.v00")});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, note + tmp + reason + "tmp)\n" + note + temp + reason + "temp)\n");
  result = Cli({"verify", "--cached", "--format", "jsonl", tree_.Path("out/run.v00")});
  const std::string json = "{\"note\":\"left out by the parameters (/EP ";
  EXPECT_EQ(result.out, json + "tmp)\",\"path\":\"" + testing_support::JsonPath(tmp) + "\"}\n" +
                            json + "temp)\",\"path\":\"" + testing_support::JsonPath(temp) +
                            "\"}\n");
}

// Continue leaves a finished list, and a list of another path, as they were.
TEST_F(ScanCommandTest, ContinueChangesNoFinishedListNorOneOfAnotherPath) {
  tree_.File("data/a", "abcdef");
  tree_.File("other/b", "abcdef");
  tree_.Dir("out");
  const std::vector<std::string> lists = {"--list", tree_.Path("out/run.v00"), "--tree",
                                          tree_.Path("out/run.t00")};
  for (const char* scanned : {"data", "other"}) {
    SCOPED_TRACE(scanned);
    std::vector<std::string> scan = {"scan", "--quiet"};
    scan.insert(scan.end(), lists.begin(), lists.end());
    scan.push_back(tree_.Path(scanned));
    ASSERT_EQ(Cli(scan).exit_code, 0);
    const std::string before = TempTree::Read(tree_.Path("out/run.v00"));
    const CommandResult result = WithLists({"continue"});
    if (scanned == std::string("data")) {
      EXPECT_EQ(result.exit_code, 0) << result.err;
      EXPECT_NE(result.err.find("nothing left to read"), std::string::npos) << result.err;
    } else {
      EXPECT_EQ(result.exit_code, 2);
      EXPECT_EQ(result.err, "checker-cli: the id list " + tree_.Path("out/run.v00") +
                                " does not begin with a header of " + path_ +
                                "; 'checker-cli scan' starts the lists afresh\n");
    }
    EXPECT_EQ(TempTree::Read(tree_.Path("out/run.v00")), before);
  }
}

// A Create keeps what it replaces: both lists are copied into the backup folder first,
// named with their write time, unless --no-backup is given.
TEST_F(ScanCommandTest, ScanBacksUpTheListsItReplaces) {
  tree_.File("data/a", "abcdef");
  tree_.Dir("out");
  ASSERT_EQ(WithLists({"scan", "--quiet"}).exit_code, 0);
  const std::string old_ids = TempTree::Read(tree_.Path("out/run.v00"));
  const std::string old_tree = TempTree::Read(tree_.Path("out/run.t00"));
  // The expected names from the files' own write times, in local time.
  auto stamp = [](const std::string& file) {
    testing_support::FileTimes times;
    EXPECT_TRUE(testing_support::GetFileTimes(file, &times)) << file;
    const time_t seconds = static_cast<time_t>(times.write_ns / 1000000000);
    struct tm parts;
    localtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return std::string(text);
  };
  const std::string backups = app_ + Native("xxBackUp/");
  const std::string ids_copy = backups + "run." + stamp(tree_.Path("out/run.v00")) + ".v00";
  const std::string tree_copy = backups + "run." + stamp(tree_.Path("out/run.t00")) + ".t00";
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\n");
  tree_.File("data/b", "abcdefg");
  ASSERT_EQ(WithLists({"scan", "--quiet"}).exit_code, 0);
  EXPECT_EQ(TempTree::Read(ids_copy), old_ids);
  EXPECT_EQ(TempTree::Read(tree_copy), old_tree);
  EXPECT_NE(TempTree::Read(tree_.Path("out/run.v00")), old_ids);

  std::filesystem::remove_all(testing_support::PathOf(backups));
  ASSERT_EQ(WithLists({"scan", "--quiet", "--no-backup"}).exit_code, 0);
  EXPECT_FALSE(std::filesystem::exists(testing_support::PathOf(backups)));

  // A backup that cannot be made refuses the run before anything is replaced.
  const std::string below_a_file = tree_.File("plain", "a file, not a folder") + Native("/b/");
  tree_.File("app/Quorvane.Ini", "[NorvelBase]\nBackUps=" + below_a_file + "\n");
  const std::string before = TempTree::Read(tree_.Path("out/run.v00"));
  const CommandResult refused = WithLists({"scan", "--quiet"});
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_NE(refused.err.find("cannot create the backup folder " + below_a_file), std::string::npos)
      << refused.err;
  EXPECT_EQ(TempTree::Read(tree_.Path("out/run.v00")), before);
}

}  // namespace
}  // namespace scan_command_tests
