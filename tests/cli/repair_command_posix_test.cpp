// repair: damaged files of a list mended from proven copies on other volumes, each
// volume a small file system mounted for the test.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_fixture.h"
#include "cli/commands.h"
#include "common/loop_volume.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "platform/files.h"

namespace {

using cli_tests::CommandResult;
using cli_tests::Rot;
using cli_tests::Row;
using cli_tests::TempTree;

// The one file of `folder` named `name`.damaged-yyyymmdd-hhmmss, or empty.
std::string KeptFile(const std::string& folder, const std::string& name) {
  const std::string head = name + ".damaged-";
  std::string found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string file = entry.path().filename();
    if (!file.starts_with(head) || file.size() != head.size() + 15 || file[head.size() + 8] != '-')
      continue;
    if (!found.empty()) return {};
    found = entry.path();
  }
  return found;
}

// The file systems a test mounts, unmounted before its tree goes.
class Mounts {
 public:
  ~Mounts() {
    for (auto it = points_.rbegin(); it != points_.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
  }
  // Empty when a tmpfs of `size` is mounted at `dir`, else why not.
  std::string Tmpfs(const std::string& dir, const std::string& size = "4m") {
    if (geteuid() != 0) return "needs root to mount a file system";
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0)
      return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    points_.push_back(dir);
    return {};
  }
  // Moves the file system mounted at `from` to `to`, as a disk plugged in elsewhere.
  std::string Move(const std::string& from, const std::string& to) {
    if (mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) != 0)
      return std::string("cannot bind a mount here: ") + std::strerror(errno);
    points_.push_back(to);
    umount2(from.c_str(), MNT_DETACH);
    return {};
  }

 private:
  std::vector<std::string> points_;
};

constexpr char kBeach[] = "waves on the sand, all day long";
constexpr char kBeachRotten[] = "waves on the sand, ALL day long";
constexpr char kTown[] = "roofs and chimneys under the rain";

using Files = std::vector<std::pair<std::string, std::string>>;

// A tree of volumes, their lists in a catalogue of their own and the program's folders.
struct Bench {
  Bench()
      : env_{"CHECKER_APPDIR=" + tree_.Dir("app"), "XDG_CONFIG_HOME=" + tree_.Dir("config"),
             "XDG_CACHE_HOME=" + tree_.Dir("cache"), "XDG_DATA_HOME=" + tree_.Dir("data"),
             "TZ=UTC"},
        catalogue_(tree_.Dir("catalogue")) {}

  CommandResult Cli(std::vector<std::string> args) {
    sync();  // verify and repair read what is on the disk
    if (args.front() == "repair" || args.front() == "verify" || args.front() == "scrub") {
      args.insert(args.begin() + 1, {"--catalogue", catalogue_});
    }
    return testing_support::RunCommand(CHECKER_CLI_PATH, args, env_);
  }

  // The list `name` of `root`; its volume's own label unless `label`.
  std::string Scan(const std::string& name, const std::string& root, bool label = true) {
    const std::string list = catalogue_ + name + ".v00";
    std::vector<std::string> args = {
        "scan", "--quiet", "--no-backup", "--list", list, "--tree", tree_.Path(name + ".t00")};
    if (label) args.insert(args.end(), {"--label", name});
    args.push_back(root);
    const CommandResult r = Cli(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return list;
  }

  // A volume named `name` mounted at tree/name/, holding `files` (path, bytes) all
  // last written at one time, and its list. Empty when it cannot be mounted.
  std::string Volume(const std::string& name, const Files& files, const std::string& size = "4m") {
    if (std::string why = mounts_.Tmpfs(tree_.Dir(name), size); !why.empty()) {
      why_ = why;
      return {};
    }
    for (const auto& [path, bytes] : files) {
      const std::string file = tree_.File(name + "/" + path, bytes);
      const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 0}};
      EXPECT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    }
    return Scan(name, tree_.Path(name + "/"));
  }

  // Each list verifies as it was written.
  void ExpectVerified(const std::vector<std::string>& lists) {
    for (const std::string& list : lists) {
      const CommandResult verify = Cli({"verify", list});
      EXPECT_EQ(verify.exit_code, 0) << list << verify.out << verify.err;
      EXPECT_EQ(verify.out, "") << list;
    }
  }

  // `text` with each "@" the tree's root.
  std::string Rooted(const std::string& text) const {
    std::string rooted;
    for (const char c : text) rooted += c == '@' ? tree_.root() : std::string(1, c);
    return rooted;
  }

  TempTree tree_;
  Mounts mounts_;
  std::vector<std::string> env_;
  std::string catalogue_;
  std::string why_;
};

class RepairCommandTest : public ::testing::Test, public Bench {};

TEST_F(RepairCommandTest, MendsACorruptedFileFromAProvenCopy) {
  const std::string disk = Volume("Disk", {{"photos/beach.jpg", kBeach}, {"town.jpg", kTown}});
  if (disk.empty()) GTEST_SKIP() << why_;
  const std::string backup = Volume("Backup", {{"old/beach.jpg", kBeach}});
  const std::string rotten = tree_.Path("Disk/photos/beach.jpg");
  Rot(rotten, kBeachRotten);
  // A scrub finds the damage and keeps it in the history until it is mended.
  const auto damaged = [&] {
    const CommandResult status = Cli({"scrub", "--status", "--format", "jsonl", disk});
    EXPECT_EQ(status.exit_code, 0) << status.err;
    const size_t at = status.out.find("\"damaged\":");
    return at == std::string::npos ? std::string("none") : status.out.substr(at + 10, 1);
  };
  const CommandResult scrub = Cli({"scrub", "--budget", "100%", disk});
  EXPECT_EQ(scrub.exit_code, 3) << scrub.out << scrub.err;
  EXPECT_EQ(damaged(), "1");

  const CommandResult dry = Cli({"repair", "--dry-run", "--all", disk});
  EXPECT_EQ(dry.exit_code, 3) << dry.err;
  EXPECT_EQ(dry.out,
            Row("would mend", rotten + " (corrupted) from " + tree_.Path("Backup/old/beach.jpg")));
  EXPECT_EQ(TempTree::Read(rotten), kBeachRotten);

  const CommandResult r = Cli({"repair", disk, tree_.Path("Disk/photos")});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string kept = KeptFile(tree_.Path("Disk/photos/"), "beach.jpg");
  ASSERT_NE(kept, "") << r.out;
  EXPECT_EQ(r.out,
            Row("mended", rotten + " (corrupted) from " + tree_.Path("Backup/old/beach.jpg") +
                              "; the damaged file kept as " + kept));
  EXPECT_EQ(TempTree::Read(kept), kBeachRotten);
  EXPECT_EQ(damaged(), "0");
  // Both volumes verify as listed, the kept file the only new one; the mended file is
  // read again by the next scrub, and found as listed.
  std::filesystem::remove(kept);
  const CommandResult again = Cli({"scrub", "--budget", "100%", disk});
  EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_EQ(again.out, "");
  ExpectVerified({disk, backup});
}

TEST_F(RepairCommandTest, MendsAMissingFileOnlyWhenAskedTo) {
  const std::string disk = Volume("Disk", {{"town.jpg", kTown}});
  if (disk.empty()) GTEST_SKIP() << why_;
  Volume("Backup", {{"town-copy.jpg", kTown}});
  const std::string gone = tree_.Path("Disk/town.jpg");
  std::filesystem::remove(gone);

  const CommandResult left = Cli({"repair", "--all", disk});
  EXPECT_EQ(left.exit_code, 0) << left.err;
  EXPECT_EQ(left.out, Row("not mended", gone + " (missing): it may have been deleted on purpose; "
                                               "--missing mends it"));
  const CommandResult r = Cli({"repair", "--all", "--missing", disk});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, Row("mended", gone + " (missing) from " + tree_.Path("Backup/town-copy.jpg")));
  ExpectVerified({disk});
  const CommandResult none = Cli({"repair", disk, gone, tree_.Path("Disk/town")});
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err,
            "checker-cli: " + tree_.Path("Disk/town") + ": no file of the list is there\n");
}

// Files left as they are, each with the reason, and nothing kept beside them.
TEST(RepairLeavesTest, FilesItMustNotMendAreLeftWithTheReason) {
  enum class How { kAsIs, kReadOnly, kNoHistory };
  const std::vector<std::pair<std::string, Files>> beach_twice = {
      {"Disk", {{"beach.jpg", kBeach}}}, {"Backup", {{"beach.jpg", kBeach}}}};
  const Files beach_rotten = {{"Disk/beach.jpg", kBeachRotten}};
  const struct {
    std::string name;
    std::vector<std::pair<std::string, Files>> volumes;  // the first is the list's
    Files rot;   // changed under the file system, the times kept
    Files edit;  // the user's edits
    How how;
    std::vector<std::string> args;  // after "repair": "LIST" the first volume's list; "@" the tree
    int exit_code;
    std::string out, err = "";
  } cases[] = {
      // clang-format off
      {"no proven copy, and a file the user changed",
       {{"Disk", {{"beach.jpg", kBeach}, {"town.jpg", kTown}}}, beach_twice[1]},
       {{"Disk/beach.jpg", kBeachRotten}, {"Backup/beach.jpg", "waves on the sand, all DAY long"}},
       {{"Disk/town.jpg", "roofs"}}, How::kAsIs, {"LIST", "@Disk/beach.jpg", "@Disk/town.jpg"}, 3,
       Row("not mended", "@Disk/beach.jpg (corrupted): no proven copy: @Backup/beach.jpg has "
                         "another id on its disk") +
       Row("not mended", "@Disk/town.jpg (changed): changed since the list was written "
                         "(another size or write time); scan it again")},
      // The words of the second copy in another order: the same id, other bytes.
      {"two proven copies that differ",
       {{"Disk", {{"a.bin", "ABCDEFGH"}}}, {"One", {{"a.bin", "ABCDEFGH"}}},
        {"Two", {{"a.bin", "GHEFCDAB"}}}},
       {{"Disk/a.bin", "ABCDEFGX"}}, {}, How::kAsIs, {"--all", "LIST"}, 3,
       Row("not mended", "@Disk/a.bin (corrupted): the proven copies @One/a.bin and @Two/a.bin "
                         "differ")},
      {"a volume mounted read-only", beach_twice, beach_rotten, {}, How::kReadOnly,
       {"--all", "LIST"}, 3,
       Row("not mended", "@Disk/beach.jpg (corrupted): its volume is mounted read-only")},
      // The next scrub would not know of a mend the history cannot hold.
      {"no history", beach_twice, beach_rotten, {}, How::kNoHistory, {"--all", "LIST"}, 2, "",
       "checker-cli: repair: no history of checks: cannot make the folder @plain/checker/\n"},
      // clang-format on
  };
  for (const auto& c : cases) {
    Bench bench;
    std::string list;
    for (const auto& [name, files] : c.volumes) {
      const std::string made = bench.Volume(name, files);
      if (list.empty()) list = made;
    }
    if (list.empty()) GTEST_SKIP() << bench.why_;
    for (const auto& [path, bytes] : c.rot) Rot(bench.Rooted("@" + path), bytes);
    for (const auto& [path, bytes] : c.edit) bench.tree_.File(path, bytes);
    if (c.how == How::kReadOnly && mount(nullptr, bench.Rooted("@Disk").c_str(), nullptr,
                                         MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
      ADD_FAILURE() << c.name << ": cannot mount the volume read-only: " << std::strerror(errno);
      continue;
    }
    // The later of two entries of a name is the one seen.
    if (c.how == How::kNoHistory)
      bench.env_.push_back("XDG_DATA_HOME=" + bench.tree_.File("plain", "a file, not a folder"));
    std::vector<std::string> args = {"repair"};
    for (const std::string& arg : c.args) args.push_back(arg == "LIST" ? list : bench.Rooted(arg));

    const CommandResult r = bench.Cli(args);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.name << r.err;
    EXPECT_EQ(r.out, bench.Rooted(c.out)) << c.name;
    EXPECT_EQ(r.err, bench.Rooted(c.err)) << c.name;
    for (const Files& changed : {c.rot, c.edit}) {
      for (const auto& [path, bytes] : changed) {
        EXPECT_EQ(TempTree::Read(bench.Rooted("@" + path)), bytes) << c.name << path;
        EXPECT_EQ(KeptFile(bench.Rooted("@Disk/"), path.substr(path.rfind('/') + 1)), "") << c.name;
      }
    }
  }
}

// A damaged file kept on another file system: a copy into the folder given.
TEST_F(RepairCommandTest, KeepsTheDamagedFileInAFolderOnAnotherFileSystem) {
  const std::string disk = Volume("Disk", {{"beach.jpg", kBeach}});
  if (disk.empty()) GTEST_SKIP() << why_;
  Volume("Backup", {{"beach.jpg", kBeach}});
  Rot(tree_.Path("Disk/beach.jpg"), kBeachRotten);
  const std::string keep = tree_.Dir("kept");

  const CommandResult r = Cli({"repair", "--keep", keep, "--all", disk});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string kept = KeptFile(keep, "beach.jpg");
  EXPECT_EQ(r.out, Row("mended", tree_.Path("Disk/beach.jpg") + " (corrupted) from " +
                                     tree_.Path("Backup/beach.jpg") +
                                     "; the damaged file kept as " + kept));
  EXPECT_EQ(TempTree::Read(kept), kBeachRotten);
  EXPECT_EQ(KeptFile(tree_.Path("Disk/"), "beach.jpg"), "");
}

// A disk and its clone relabelled share a serial number: the clone is another volume,
// and its file serves a file of the disk damaged below the file system.
TEST_F(RepairCommandTest, ARelabelledCloneMendsItsDisk) {
  testing_support::LoopVolume disk(tree_.Path("disk.img"), "DISK");
  testing_support::LoopVolume clone(tree_.Path("clone.img"), "CLONE");
  std::string why;
  if (!disk.Mount(tree_.Path("disk/"), &why)) GTEST_SKIP() << why;
  const std::string photo = tree_.File("disk/photos/lake.jpg", "lake " + std::string(9000, 'l'));
  disk.Unmount();
  ASSERT_TRUE(disk.CloneTo(tree_.Path("clone.img"), "CLONE", &why)) << why;
  ASSERT_TRUE(disk.Mount(tree_.Path("disk/"), &why)) << why;
  ASSERT_TRUE(clone.Mount(tree_.Path("clone/"), &why)) << why;
  const std::string list = Scan("Disk", tree_.Path("disk/"), false);
  const std::string clone_list = Scan("Clone", tree_.Path("clone/"), false);
  ASSERT_TRUE(disk.Damage("lake lll", "lake LLL"));

  const CommandResult r = Cli({"repair", "--all", list});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string kept = KeptFile(tree_.Path("disk/photos/"), "lake.jpg");
  EXPECT_EQ(r.out,
            Row("mended", photo + " (corrupted) from " + tree_.Path("clone/photos/lake.jpg") +
                              "; the damaged file kept as " + kept));
  EXPECT_TRUE(TempTree::Read(kept).starts_with("lake LLL"));
  std::filesystem::remove(kept);
  ExpectVerified({list, clone_list});
}

TEST_F(RepairCommandTest, MendsTheVolumeWhereItIsMountedNow) {
  const std::string disk = Volume("Disk", {{"beach.jpg", kBeach}});
  if (disk.empty()) GTEST_SKIP() << why_;
  Volume("Backup", {{"beach.jpg", kBeach}});
  Rot(tree_.Path("Disk/beach.jpg"), kBeachRotten);
  if (std::string why = mounts_.Move(tree_.Path("Disk/"), tree_.Dir("Moved")); !why.empty())
    GTEST_SKIP() << why;

  const CommandResult r = Cli({"repair", "--all", disk});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string kept = KeptFile(tree_.Path("Moved/"), "beach.jpg");
  EXPECT_EQ(r.out, Row("mended", tree_.Path("Moved/beach.jpg") + " (corrupted) from " +
                                     tree_.Path("Backup/beach.jpg") +
                                     "; the damaged file kept as " + kept));
  EXPECT_TRUE(r.err.starts_with("checker-cli: " + tree_.Path("Disk/") +
                                " is on another volume; repairing " + disk +
                                " on its volume \"\" (serial "))
      << r.err;
  EXPECT_EQ(TempTree::Read(tree_.Path("Moved/beach.jpg")), kBeach);
}

// Ctrl-C while a large copy is written: the name holds a whole file, no temporary is
// left, the run ends as stopped, and the next run mends the file.
TEST_F(RepairCommandTest, AStopDuringACopyLeavesAWholeFile) {
  const std::string good(32 << 20, 'g');
  std::string rotten = good;
  rotten[1000] = 'R';
  // Room for the file and its temporary.
  const std::string disk = Volume("Disk", {{"big.bin", good}}, "80m");
  if (disk.empty()) GTEST_SKIP() << why_;
  Volume("Backup", {{"big.bin", good}}, "40m");
  const std::string name = tree_.Path("Disk/big.bin");
  Rot(name, rotten);
  sync();
  const std::vector<std::string> args = {CHECKER_CLI_PATH, "repair", "--catalogue",
                                         catalogue_,       "--all",  disk};
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (const std::string& entry : env_) putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(CHECKER_CLI_PATH, argv.data());
    _exit(127);
  }
  // The copy is under way once its temporary is there.
  const std::string temporary = tree_.Path("Disk/.big.bin.checker-mend");
  int status = 0;
  bool ended = false;
  while (!std::filesystem::exists(temporary)) {
    ended = waitpid(child, &status, WNOHANG) == child;
    if (ended) break;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  ASSERT_FALSE(ended) << "the repair ended before its copy was seen";
  kill(child, SIGINT);
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_FALSE(std::filesystem::exists(temporary));
  const std::string held = TempTree::Read(name);
  EXPECT_TRUE(held == good || held == rotten) << held.size() << " bytes under the name";
  // A damaged file kept beside it only when the mend went through.
  EXPECT_EQ(KeptFile(tree_.Path("Disk/"), "big.bin").empty(), held == rotten);

  const CommandResult again = Cli({"repair", "--all", disk});
  EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
  EXPECT_TRUE(TempTree::Read(name) == good);
  EXPECT_FALSE(std::filesystem::exists(temporary));
}

// --format jsonl: one object per file, in scrub's field names where they mean the same.
TEST_F(RepairCommandTest, JsonLinesNameEachEvent) {
  const std::string disk = Volume(
      "Disk", {{"say \"cheese\".jpg", kBeach}, {"lone.txt", "only here"}, {"town.jpg", kTown}});
  if (disk.empty()) GTEST_SKIP() << why_;
  Volume("Backup", {{"copy.jpg", kBeach}});
  Rot(tree_.Path("Disk/say \"cheese\".jpg"), kBeachRotten);
  Rot(tree_.Path("Disk/lone.txt"), "only HERE");
  tree_.File("Disk/town.jpg", "roofs");
  const std::string d = tree_.Path("Disk/");
  const std::string photo = "{\"class\":\"corrupted\",\"volume\":\"Disk\",\"path\":\"" + d +
                            "say \\\"cheese\\\".jpg\",\"action\":";
  const std::string copy = ",\"copy\":\"" + tree_.Path("Backup/copy.jpg") + "\"";
  const std::string others =
      "{\"class\":\"corrupted\",\"volume\":\"Disk\",\"path\":\"" + d +
      "lone.txt\",\"action\":\"refused\",\"note\":\"no copy on another volume mounted now\"}\n"
      "{\"class\":\"changed\",\"volume\":\"Disk\",\"path\":\"" +
      d +
      "town.jpg\",\"action\":\"skipped\",\"note\":\"changed since the list was written "
      "(another size or write time); scan it again\"}\n";

  const CommandResult dry = Cli({"repair", "--format", "jsonl", "--dry-run", disk, d});
  EXPECT_EQ(dry.exit_code, 3) << dry.err;
  EXPECT_EQ(testing_support::SortedLines(dry.out),
            testing_support::SortedLines(photo + "\"would mend\"" + copy + "}\n" + others));
  const CommandResult r = Cli({"repair", "--format", "jsonl", disk, d});
  EXPECT_EQ(r.exit_code, 3) << r.err;
  const std::string kept = KeptFile(d, "say \"cheese\".jpg");
  ASSERT_FALSE(kept.empty()) << r.out;
  const std::string stamp = kept.substr(kept.rfind(".damaged-"));
  EXPECT_EQ(testing_support::SortedLines(r.out),
            testing_support::SortedLines(photo + "\"mended\"" + copy + ",\"kept\":\"" + d +
                                         "say \\\"cheese\\\".jpg" + stamp + "\"}\n" + others));
}

// A file whose data is not on this disk (a cloud placeholder) is read only with
// --read-placeholders, as a read fetches it: the damaged file left unread is named with
// the reason, a copy passed over with its own. The run is in this process, where a name
// can be marked a placeholder.
TEST_F(RepairCommandTest, PlaceholdersAreReadOnlyWhenTold) {
  const std::string disk = Volume("Disk", {{"beach.jpg", kBeach}});
  if (disk.empty()) GTEST_SKIP() << why_;
  Volume("Cloud", {{"sand.jpg", kBeach}});
  Rot(tree_.Path("Disk/beach.jpg"), kBeachRotten);
  sync();
  const std::string from = Row("would mend", "@Disk/beach.jpg (corrupted) from @Cloud/sand.jpg");
  const struct {
    const char* marked;
    bool told;
    int exit_code;
    std::string out;
  } cases[] = {
      {"beach.jpg", false, 3,
       Row("not mended",
           "@Disk/beach.jpg (unreadable): not on this disk: a placeholder; "
           "--read-placeholders fetches it to check it")},
      {"beach.jpg", true, 3, from},
      {"sand.jpg", false, 3,
       Row("not mended",
           "@Disk/beach.jpg (corrupted): no proven copy: @Cloud/sand.jpg is not on "
           "this disk: a placeholder (--read-placeholders lets it serve)")},
      {"sand.jpg", true, 3, from},
  };
  for (const std::string& variable : env_) {
    const size_t equals = variable.find('=');
    setenv(variable.substr(0, equals).c_str(), variable.c_str() + equals + 1, 1);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.marked << (c.told ? " told" : ""));
    std::vector<std::string> args = {"--catalogue", catalogue_, "--dry-run", "--all", disk};
    if (c.told) args.insert(args.begin(), "--read-placeholders");
    platform::SetPlaceholderNameForTesting(c.marked);
    testing::internal::CaptureStdout();
    const int exit_code = cli::RunRepairCommand(args);
    const std::string out = testing::internal::GetCapturedStdout();
    platform::SetPlaceholderNameForTesting("");
    EXPECT_EQ(exit_code, c.exit_code);
    EXPECT_EQ(out, Rooted(c.out));
  }
  for (const std::string& variable : env_) unsetenv(variable.substr(0, variable.find('=')).c_str());
  EXPECT_EQ(TempTree::Read(tree_.Path("Disk/beach.jpg")), kBeachRotten);
}

}  // namespace
