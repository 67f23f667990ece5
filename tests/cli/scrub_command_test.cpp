// checker-cli scrub over lists real scans wrote: damage made under the file system, the
// quiet run, the status and two runs at once.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/scrub_command_fixture.h"
#include "common/loop_volume.h"
#include "common/test_text.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace scrub_command_tests {
namespace {

TEST_F(ScrubCommandTest, QuietWhenAllIsWellAndOneLinePerProblem) {
  const std::string same = Data("same.txt", "as it was");
  const std::string rotten = Data("photos/rotten.jpg", "photo bytes, all good");
  const std::string edited = Data("edited.txt", "a draft");
  const std::string touched = Data("touched.txt", "the same words");
  const std::string gone = Data("gone.txt", "soon deleted");
  ScanInto("Disk", tree_.Path("volume/"));
  CommandResult r = Scrub({"--budget", "100%"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");

  cli_tests::Rot(rotten, "photo bytes, ALL good");
  std::ofstream(edited, std::ios::app) << " and more";
  const std::string words = TempTree::Read(touched);
  std::filesystem::last_write_time(
      touched, std::filesystem::last_write_time(touched) + std::chrono::hours(1));
  std::filesystem::remove(gone);
  DropCaches();
  r = Scrub({"--budget", "100%"});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string stale = "edited since its list was written; scan again";
  EXPECT_EQ(SortedLines(r.out),
            SortedLines(Row("corrupted", rotten) + Row("changed", edited, stale) +
                        Row("touched", touched,
                            "its write time changed since its list was written; scan again") +
                        Row("missing", gone, "gone since it was listed")));
  r = Scrub({"--budget", "100%", "--format", "jsonl"});
  EXPECT_NE(r.out.find("{\"class\":\"corrupted\",\"volume\":\"Disk\",\"path\":\"" +
                       testing_support::JsonPath(rotten) + "\"}\n"),
            std::string::npos)
      << r.out;
  // Edits alone are differences, not damage: the exit status of verify.
  cli_tests::Rot(rotten, "photo bytes, all good");
  r = Scrub({"--budget", "100%"});
  EXPECT_EQ(r.exit_code, 1) << r.out;
}

TEST_F(ScrubCommandTest, UnreadableFileIsNamedWithItsReason) {
  const std::string secret = Data("secret.txt", "not for everyone");
  ScanInto("Disk", tree_.Path("volume/"));
  std::filesystem::permissions(secret, std::filesystem::perms::none);
  if (std::ifstream(secret).is_open()) GTEST_SKIP() << "this user reads every file";
  const CommandResult r = Scrub({});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.out, Row("unreadable", secret, "Permission denied"));
}

TEST_F(ScrubCommandTest, DamageUnderTheFileSystemOfALoopMountedDisk) {
  testing_support::LoopVolume disk(tree_.Path("disk.img"), "DISK");
  const std::string root = tree_.Path("disk/");
  std::string why;
  if (!disk.Mount(root, &why)) GTEST_SKIP() << why;
  const std::string photo = tree_.File("disk/photo.jpg", "photo " + std::string(9000, 'p'));
  tree_.File("disk/note.txt", "a note");
  ScanInto("Disk", root);
  ASSERT_TRUE(disk.Damage("photo ppp", "photo PPP"));
  const CommandResult r = Scrub({"--budget", "100%"});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(r.out, Row("corrupted", photo));
}

TEST_F(ScrubCommandTest, StatusShowsEachVolumeBeforeAndAfter) {
  Data("a.txt", "0123456789");
  Data("b.txt", "9876543210");
  ScanInto("Disk", tree_.Path("volume/"));
  const auto status = [&] {
    const CommandResult r = Scrub({"--status", "--format", "jsonl"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
  };
  EXPECT_NE(status().find("\"files\":2,\"bytes\":20,\"cycle_percent\":0,\"never_checked\":2,"
                          "\"overdue\":0,\"damaged\":0,\"oldest_check\":\"never\","
                          "\"last_run\":\"never\",\"mounted_at\":\""),
            std::string::npos)
      << status();
  ASSERT_EQ(Scrub({"--bytes", "1"}).exit_code, 0);
  EXPECT_NE(status().find("\"cycle_percent\":50,\"never_checked\":1,"), std::string::npos)
      << status();
}

TEST_F(ScrubCommandTest, NoVolumeMountedIsNothingToDo) {
  Data("a.txt", "on a disk that is away");
  ScanInto("Away", tree_.Path("volume/"), {"--serial", "424242"});
  CommandResult r = Scrub({});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out + r.err, "");
  // Named, it is an error the user hears of.
  r = Scrub({"Away"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "checker-cli: scrub: Away: its volume is not mounted\n");
  // No catalogue at all: a timer's run on a machine without lists.
  r = Cli({"scrub"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
}

TEST_F(ScrubCommandTest, AVolumeHeldElsewhereIsSkippedWithOneLineOrWaitedFor) {
  Data("a.txt", "some bytes");
  ScanInto("Disk", tree_.Path("volume/"));
  ASSERT_EQ(Scrub({}).exit_code, 0);
  const std::string locks = tree_.Path("data/checker/locks/");
  const std::string lock = TempTree::FileEndingWith(locks, ".lock");
  ASSERT_FALSE(lock.empty());
  const std::string skipped =
      "checker-cli: scrub: Disk: skipped: another scrub reads its volume, or a scan writes "
      "its list (--wait waits)\n";
  for (const std::string& held : {lock, catalogue_ + "Disk.v00"}) {
    SCOPED_TRACE(held);
    platform::File holder;
    ASSERT_TRUE(holder.Open(held, platform::OpenMode::kReadWriteLocked)) << holder.ErrorText();
    CommandResult r = Scrub({});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, skipped);
    // --wait waits until the other lets go.
    std::thread release([&holder] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      holder.Close();
    });
    r = Scrub({"--wait", "--budget", "100%"});
    release.join();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out + r.err, "");
  }
}

TEST_F(ScrubCommandTest, UsageErrors) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--budget", "five"}, "scrub: --budget takes a share such as 5%, not 'five'"},
      {{"--budget", "120%"}, "scrub: --budget takes a share such as 5%, not '120%'"},
      {{"--budget", "5%", "--time", "1h"}, "scrub: give one of --budget, --time and --bytes"},
      {{"--time", "soon"}, "scrub: --time takes a time such as 90s, 30m or 2h, not 'soon'"},
      {{"--cycle", "0d"}, "scrub: --cycle takes a time such as 30d or 12h, not '0d'"},
      {{"--rate", "fast"},
       "scrub: option '--rate' needs bytes or a size such as 390k or 1.5G (powers of 1024), not "
       "'fast'"},
      {{"--rate", "0"}, "scrub: --rate takes a size above 0 such as 50M, not '0'"},
      {{"--time", "-1m"}, "scrub: --time takes a time such as 90s, 30m or 2h, not '-1m'"},
      {{"--budget", "0%"}, "scrub: --budget takes a share such as 5%, not '0%'"},
      {{tree_.File("notes.txt", "not a list\n")},
       "scrub: no list of the catalogue is named '" + tree_.Path("notes.txt") + "'"},
  };
  for (const auto& [args, error] : cases) {
    SCOPED_TRACE(args.front());
    const CommandResult r = Scrub(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "checker-cli: " + error + "\n");
  }
  // Nothing was written: no history.
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("data/checker")));
  // A data folder that cannot be made.
  for (const std::string& entry :
       testing_support::FoldersEnv(tree_.Path("config"), tree_.Path("cache"),
                                   tree_.File("plain", "a file, not a folder"))) {
    env_.push_back(entry);
  }
  const CommandResult r = Scrub({});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  // Windows keeps the shared settings there too: they cannot be made either.
  const std::string settings = platform::kNativePathStyle == platform::PathStyle::kWindows
                                   ? "checker-cli: cannot create the base settings file " +
                                         tree_.Path("plain/Quorvane.Ini") +
                                         "; the default settings are used\n"
                                   : "";
  EXPECT_EQ(r.err, settings + "checker-cli: scrub: cannot make the folder " +
                       tree_.Path("plain/checker/") + "\n");
}

}  // namespace
}  // namespace scrub_command_tests
