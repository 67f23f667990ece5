// checker-cli compare and verify on Linux: runs cut short by a shell's ulimit and by
// signals, lists held with flock, links, /proc, unreadable modes, names with line breaks,
// terminals, the page cache and the device reads of children.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_report.h"
#include "cli/audit_fixture.h"
#include "common/loop_volume.h"

namespace audit_tests {
namespace {

// An exclusive lock on a file, as a running scan holds its lists.
class HeldLock {
 public:
  explicit HeldLock(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0) << path;
  }
  ~HeldLock() { close(fd_); }

 private:
  int fd_;
};

// Runs checker-cli with `env` until `appears` holds bytes, stops it (SIGSTOP) while
// `paused` runs, and lets it finish; its output passes through files of `tree`.
CommandResult RunPaused(const std::vector<std::string>& env, const TempTree& tree,
                        const std::vector<std::string>& args, const std::string& appears,
                        const std::function<void()>& paused) {
  const std::string out = tree.Path("paused.out");
  const std::string err = tree.Path("paused.err");
  std::string line = "exec '" CHECKER_CLI_PATH "'";
  for (const std::string& arg : args) line += " '" + arg + "'";
  line += " >'" + out + "' 2>'" + err + "'";
  const pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
    execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  bool ended = false;
  std::error_code ignored;
  while (!ended && !(std::filesystem::file_size(appears, ignored) > 0 && !ignored)) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    usleep(1000);
  }
  EXPECT_FALSE(ended) << "ended before " << appears << " was written";
  if (!ended) {
    kill(pid, SIGSTOP);
    waitpid(pid, &status, WUNTRACED);
    paused();
    kill(pid, SIGCONT);
    waitpid(pid, &status, 0);
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, TempTree::Read(out), TempTree::Read(err)};
}

// The name of the k-th file line of a list this test wrote (ASCII names, minimum block
// count 0 and hex fields: the name starts at column 81).
std::vector<std::string> ListedNames(const std::string& text) {
  std::vector<std::string> names;
  for (const std::string& line : testing_support::ListLines(text)) {
    if (line.rfind("F  ", 0) != 0) continue;
    const size_t end = line.find(' ', 80);
    names.push_back(line.substr(80, end - 80));
  }
  return names;
}

// A run cut short, finished by continue, in hex fields: the same files as one scan.
TEST_F(AuditTest, ContinuedListWithHexFieldsEqualsOneScan) {
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) {
    names.push_back("f" + std::to_string(100 + i));
    Data("dir" + std::to_string(i % 3) + "/" + names.back(), "content " + std::to_string(i));
  }
  const std::vector<std::string> hex = {"--hex-file", "--hex-path", "--min-blocks", "0"};
  const std::string cut = Out("cut.v00");
  // A file size limit stops the first run's list after a few lines: a write failure.
  std::string line = "ulimit -f 4; '" CHECKER_CLI_PATH
                     "' scan --quiet --interval 0 "
                     "--no-backup --hex-file --hex-path --min-blocks 0 --list '" +
                     cut + "' --tree '" + cut + ".t00' '" + data_ + "' 2>'" + Out("cut.err") + "'";
  for (const std::string& entry : env_) line = "export " + entry + "; " + line;
  const int status = std::system(line.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(TempTree::Read(Out("cut.err")).find("checker-cli: cannot write the id list " + cut),
            std::string::npos);
  const std::string stopped = Out("stopped.v00");
  std::filesystem::copy_file(cut, stopped);
  const std::string stopped_text = TempTree::Read(stopped);
  ASSERT_GE(stopped_text.size(), 2u);
  EXPECT_EQ(stopped_text.substr(stopped_text.size() - 2), "\r\n");  // whole lines only
  const std::vector<std::string> first_run = ListedNames(stopped_text);
  ASSERT_GT(first_run.size(), 0u);
  ASSERT_LT(first_run.size(), names.size());

  std::vector<std::string> args = {"continue", "--quiet", "--interval", "0",
                                   "--list",   cut,       "--tree",     cut + ".t00"};
  args.insert(args.end(), hex.begin(), hex.end());
  args.push_back(data_);
  ASSERT_EQ(Cli(args).exit_code, 0);
  const std::string whole = Out("whole.v00");
  ASSERT_EQ(Scan(whole).exit_code, 0);

  const CommandResult same = Cli({"compare", cut, whole});
  EXPECT_EQ(same.exit_code, 0) << same.err;
  EXPECT_EQ(same.out, "");

  // The stopped list against the whole one: what it did not reach is "not listed".
  const CommandResult partial = Cli({"compare", stopped, whole});
  EXPECT_EQ(partial.exit_code, 1);
  // Sorted by path as the test names them: dir0 first, then the names in order.
  std::vector<std::string> lines;
  for (int i = 0; i < 60; ++i) {
    const std::string name = names[static_cast<size_t>(i)];
    if (std::find(first_run.begin(), first_run.end(), name) != first_run.end()) continue;
    lines.push_back(Row("not listed", data_ + "dir" + std::to_string(i % 3) + "/" + name));
  }
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& entry : lines) sorted += entry;
  EXPECT_EQ(partial.out, sorted);
  EXPECT_EQ(partial.err.substr(0, partial.err.find('\n') + 1),
            "checker-cli: warning: " + stopped +
                " is incomplete (stopped): files it does not hold are \"not listed\"\n");
}

TEST_F(AuditTest, ForeignOrDamagedListsGiveStatusTwoAndTheLine) {
  Data("a.txt", "first");
  Data("b.txt", "second");
  const std::string list = Out("old.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  const std::string text = TempTree::Read(list);
  const std::vector<std::string> lines = testing_support::ListLines(text);
  ASSERT_EQ(lines[3].substr(0, 3), "F  ");

  const std::string foreign = tree_.File("out/notes.txt", "just some notes\nmore\n");
  std::string damaged_text = text;
  const size_t fourth = text.find(lines[3]);
  damaged_text[fourth + 20] = 'x';  // a letter in the size field
  const std::string damaged = tree_.File("out/damaged.v00", damaged_text);
  // A complete list whose last line lost its end.
  const std::string cut = tree_.File("out/cut.v00", text.substr(0, text.rfind("T  ") + 10));
  const std::string missing = Out("nothing.v00");
  // Converted to CR line ends, a name holding a NUL, lists given as symbolic links, and
  // one a running scan holds.
  std::string cr_text = text;
  std::erase(cr_text, '\n');
  const std::string cr_only = tree_.File("out/cr.v00", cr_text);
  std::string nul_text = text;
  nul_text[text.find(lines[3]) + lines[3].find(" | ") + 4] = '\0';  // b.txt -> b\0txt
  const std::string nul_name = tree_.File("out/nul.v00", nul_text);
  const std::string link = Out("link.v00");
  std::filesystem::create_symlink(list, link);
  const std::string dangling = Out("nowhere.v00");
  std::filesystem::create_symlink(Out("none.v00"), dangling);
  const std::string said = " is a symbolic link; give the list itself";
  const std::string held = tree_.File("out/held.v00", text);
  const HeldLock scan_running(held);
  const std::string empty = tree_.File("out/empty.v00", "");

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"compare", foreign, list}, foreign + ": line 1: not an id list (no run header)"},
      {{"compare", list, damaged}, damaged + ": line 4: not a line of an id list"},
      {{"compare", cut, list},
       cut + ": line " + std::to_string(lines.size()) + ": not a line of an id list"},
      {{"compare", list, missing}, "cannot read " + missing + ": No such file or directory"},
      {{"verify", damaged}, damaged + ": line 4: not a line of an id list"},
      {{"compare", cr_only, list},
       cr_only + ": line 1: a CR inside the line: the line ends are not CR LF"},
      {{"verify", cr_only},
       cr_only + ": line 1: a CR inside the line: the line ends are not CR LF"},
      {{"compare", list, nul_name}, nul_name + ": line 4: a NUL byte inside the line"},
      // A file of /proc records size 0 and holds text.
      {{"compare", "/proc/self/status", list},
       "/proc/self/status: line 1: not an id list (no run header)"},
      {{"verify", "--list", Out("x.v00"), list},
       "verify: --list and --name are no options of verify; --write NEW keeps the new lists"},
      {{"verify", "--tree", Out("x.t00"), list}, "verify: --tree goes with --write"},
      {{"verify", "--write", list, list}, "--write " + list + " would replace the list to verify"},
      {{"compare", list, held}, held + " is in use by another run"},
      // An empty file is a list of no run: it names no search path.
      {{"compare", "--relative", list, empty},
       empty + " names no search path: paths cannot be matched below it"},
      {{"verify", "--quiet", held}, held + " is in use by another run"},
      {{"compare", link, list}, link + said},
      {{"compare", list, dangling}, dangling + said},
      {{"verify", link}, link + said},
      {{"verify", "--write", link, list}, link + said},
      {{"verify", "--write", Out("new.v00"), "--tree", dangling, list}, dangling + said},
      {{"scan", "--quiet", "--list", link, "--tree", Out("t.t00"), data_},
       "the id list " + link + said},
      {{"continue", "--quiet", "--list", Out("c.v00"), "--tree", dangling, data_},
       "the tree list " + dangling + said},
  };
  for (const auto& [args, message] : cases) {
    const CommandResult result = Cli(args);
    EXPECT_EQ(result.exit_code, 2) << message;
    EXPECT_EQ(result.err, "checker-cli: " + message + "\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(TempTree::Read(list), text);
  EXPECT_FALSE(std::filesystem::exists(Out("none.v00")));
}

// A name that would erase the line above it reaches a terminal without its escapes, from
// every command that shows names, nor its direction mark and lone C1 byte; a pipe gets
// its bytes. Other invalid UTF-8 stays in both.
TEST_F(AuditTest, NamesReachATerminalWithoutTheirControlCharacters) {
  const std::string list = Out("old.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  const std::string name =
      "e\x1b[1A\x1b[2Kx\xff\x9b\xe2\x80\xae"
      "fdp.exe";
  const std::string file = Data(name, "12");
  const std::string new_list = Out("new.v00");
  ASSERT_EQ(Scan(new_list).exit_code, 0);
  const struct {
    std::vector<std::string> args;
    std::string piped;
  } commands[] = {
      {{"compare", list, new_list}, Row("new", file)},
      {{"verify", "--quiet", list}, Row("new", file)},
      {{"list", data_, "--options", "32"}, name + "\n"},
      {{"id", file}, "F  $3132        " + file + "\n"},
  };
  for (const auto& command : commands) {
    EXPECT_EQ(Cli(command.args).out, command.piped) << command.args[0];
    const CommandResult shown =
        (SyncData(), testing_support::RunOnTerminal(CHECKER_CLI_PATH, command.args, env_, ""));
    EXPECT_EQ(shown.out.find('\x1b'), std::string::npos) << shown.out;
    std::string expected = command.piped;
    expected.replace(expected.find(name), name.size(), "e?[1A?[2Kx\xff??fdp.exe");
    EXPECT_NE(shown.out.find(expected), std::string::npos) << shown.out;
  }
}

// Ctrl-C during verify: what it covered is compared, the rest is "not listed".
TEST_F(AuditTest, StoppedVerifyIsPartial) {
  Data("a.txt", "first");
  const std::string last = Data("zz.txt", "after the big one");
  const std::string big = tree_.Path("data/zbig");
  std::ofstream(big, std::ios::binary).close();
  ASSERT_EQ(truncate(big.c_str(), int64_t{4} << 30), 0);
  const std::string list = Out("old.v00");
  // The old list leaves the big file out, so that only verify spends seconds in it.
  ASSERT_EQ(Scan(list, {"--files", "/EF zbig"}).exit_code, 0);
  const std::string new_list = Out("new.v00");
  const std::string out = tree_.Path("stdout");
  const std::string err = tree_.Path("stderr");
  std::string line = "'" CHECKER_CLI_PATH "' verify --quiet --interval 0 --write '" + new_list +
                     "' '" + list + "' >'" + out + "' 2>'" + err + "' & pid=$!; while [ ! -s '" +
                     Out("new.t00") + "' ]; do sleep 0.01; done; sleep 0.2; kill -INT $pid; " +
                     "wait $pid";
  for (const std::string& entry : env_) line = "export " + entry + "; " + line;
  SyncData();
  const int status = std::system(line.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(TempTree::Read(out), "not listed     " + last + "\n");
  const std::string errors = TempTree::Read(err);
  EXPECT_NE(errors.find("checker-cli: stopped after 1 files: the verify is partial; files it did "
                        "not reach are \"not listed\"\n"),
            std::string::npos)
      << errors;
}

// A verify paused after its walk: a list it reads cannot be rewritten meanwhile, and a
// file cut or removed before its read changed; it did not rot, nor is it gone.
TEST_F(AuditTest, VerifyHoldsItsListAndFilesChangedBeforeTheirReadAreChanged) {
  const std::string victim = Data("b_victim", std::string(20000, 'v'));
  const std::string gone = Data("c_gone", "soon removed");
  const std::string old_list = Out("old.v00");
  ASSERT_EQ(Scan(old_list, {"--files", "/EF a_big"}).exit_code, 0);
  const std::string listed = TempTree::Read(old_list);
  // Read first, it keeps the verify busy while the others change.
  const std::string big = tree_.File("data/a_big", "");
  ASSERT_EQ(truncate(big.c_str(), 256 << 20), 0);
  CommandResult rewrite;
  const auto change = [&] {
    ASSERT_EQ(truncate(victim.c_str(), 100), 0);
    std::filesystem::remove(gone);
    rewrite = Scan(old_list);
  };
  SyncData();
  const CommandResult result = RunPaused(env_, tree_,
                                         {"verify", "--quiet", "--interval", "0", "--threads", "1",
                                          "--write", Out("new.v00"), old_list},
                                         Out("new.t00"), change);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out, Row("new", big) + Row("changed", victim) + Row("changed", gone));
  EXPECT_NE(result.err.find(victim + ": changed while read\n"), std::string::npos) << result.err;
  EXPECT_EQ(rewrite.exit_code, 2);
  EXPECT_EQ(rewrite.err,
            "checker-cli: cannot open the id list " + old_list + ": in use by another run\n");
  EXPECT_EQ(TempTree::Read(old_list), listed);
}

// Names with a line break share their line with a "?": no verdict is given for them.
TEST_F(AuditTest, NamesListsCannotTellApartAreNotComparable) {
  const std::string lf = Data("r\nx", "0123456789abcdef");
  Data("r?x", "fedcba9876543210");
  Data("d\ry/in", "in a directory named with a CR");
  Data("plain", "stays");
  const std::string old_list = Out("old.v00");
  Scan(old_list);
  cli_tests::Rot(lf, "0123456789abcdeX");
  const std::string new_list = Out("new.v00");
  const CommandResult verified =
      Cli({"verify", "--quiet", "--interval", "0", "--write", new_list, old_list});
  EXPECT_EQ(verified.exit_code, 1) << verified.err;
  EXPECT_EQ(verified.out,
            Row("not comparable", data_ + "d?y/in") + Row("not comparable", data_ + "r?x"));
  EXPECT_NE(verified.err.find("not comparable           2 files"), std::string::npos)
      << verified.err;
  const CommandResult compared = Cli({"compare", old_list, new_list});
  EXPECT_EQ(compared.exit_code, 1) << compared.err;
  EXPECT_EQ(compared.out, Row("not comparable", data_ + "r?x"));

  // A search path with a line break, or a "?" that may stand for one, is refused.
  const std::string list = Out("list.v00");
  const std::string question = tree_.Dir("s?t");
  ASSERT_EQ(Cli({"scan", "--quiet", "--no-backup", "--list", list, "--tree", list + ".t", question})
                .exit_code,
            0);
  const CommandResult given = Cli({"verify", "--quiet", "--path", tree_.Dir("s\nt"), list});
  EXPECT_EQ(given.exit_code, 2);
  EXPECT_EQ(given.err, "checker-cli: cannot verify " + question +
                           ": the path holds a line break (CR or LF), which a list writes as "
                           "\"?\"\n");
  const CommandResult listed = Cli({"verify", "--quiet", list});
  EXPECT_EQ(listed.exit_code, 2);
  EXPECT_EQ(listed.err, "checker-cli: cannot verify " + list + ": its search path " + question +
                            " may stand for a name with a line break (a list writes CR and LF "
                            "as \"?\"); give --path\n");
}

// A file the user can no longer read, and the files of a directory verify cannot read,
// are unreadable, not gone.
TEST_F(AuditTest, UnreadableFilesAndDirectoriesAreReported) {
  Data("open.txt", "anyone reads this");
  const std::string secret = Data("secret.txt", "soon locked");
  const std::string a = Data("locked/a.txt", "soon locked away");
  const std::string b = Data("locked/deeper/b.txt", "below it");
  const std::string old_list = Out("old.v00");
  ASSERT_EQ(Scan(old_list).exit_code, 0);
  const std::string locked = data_ + "locked";
  ASSERT_EQ(chmod(secret.c_str(), 0), 0);
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  struct Unlock {
    std::string path;
    ~Unlock() { chmod(path.c_str(), 0755); }
  } unlock{locked};
  if (access(secret.c_str(), R_OK) == 0) GTEST_SKIP() << "this user reads every file";
  const CommandResult result =
      Cli({"verify", "--quiet", "--interval", "0", "--write", Out("new.v00"), old_list});
  EXPECT_EQ(result.exit_code, 3) << result.err;
  EXPECT_EQ(result.out, Row("unreadable", a) + Row("unreadable", b) + Row("unreadable", secret));
}

// A verify killed (SIGKILL) leaves its folder of new lists; the next verify removes it,
// but never the folder of a verify still running (its lock is held) nor one without a lock.
TEST_F(AuditTest, VerifyRemovesTheFoldersOfKilledVerifies) {
  Data("a.txt", "first");
  const std::string list = Out("old.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  for (const char* folder : {"Kx1lld", "Run1ng"}) {
    tree_.File(std::string("tmp/checker-verify-") + folder + "/lock", "");
    tree_.File(std::string("tmp/checker-verify-") + folder + "/verify.v00", "half a list");
  }
  tree_.File("tmp/checker-verify-nolock/mine", "no verify's");
  const HeldLock still_running(tree_.Path("tmp/checker-verify-Run1ng/lock"));
  std::vector<std::string> env = env_;
  env.push_back("TMPDIR=" + tree_.Path("tmp"));
  SyncData();
  const CommandResult result = testing_support::RunCommand(
      CHECKER_CLI_PATH, {"verify", "--quiet", "--interval", "0", list}, env);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("tmp/checker-verify-Kx1lld")));
  EXPECT_TRUE(std::filesystem::exists(tree_.Path("tmp/checker-verify-Run1ng/verify.v00")));
  EXPECT_TRUE(std::filesystem::exists(tree_.Path("tmp/checker-verify-nolock/mine")));
  // Its own folder is gone too.
  const std::filesystem::directory_iterator left(tree_.Path("tmp"));
  EXPECT_EQ(std::distance(left, std::filesystem::directory_iterator()), 2);
}

// Bytes that children waited for so far read from a device.
uint64_t ChildDeviceReads() {
  struct rusage usage {};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<uint64_t>(usage.ru_inblock) * 512;
}

// Verify reads the device even when every file is cached; --cached reads the cache.
TEST_F(AuditTest, VerifyReadsTheDeviceUnlessCached) {
  constexpr uint64_t kMiB = 1048576;
  // One file large enough to be read in parts by several readers.
  const uint64_t sizes[] = {6 * kMiB, 2 * kMiB, 2 * kMiB + 1};
  uint64_t total = 0;
  for (size_t i = 0; i < std::size(sizes); ++i) {
    const std::string path = Data("f" + std::to_string(i), std::string(sizes[i], char('a' + i)));
    const int fd = open(path.c_str(), O_RDONLY);
    fsync(fd);
    close(fd);
    total += sizes[i];
  }
  const std::string list = Out("cache.v00");
  ASSERT_EQ(Scan(list, {"--threads", "2"}).exit_code, 0);
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "--cached" : "verify");
    std::vector<std::string> args = {"verify", "--threads", "2", list};
    if (cached) args.insert(args.begin() + 1, "--cached");
    const uint64_t before = ChildDeviceReads();
    const CommandResult verify = Cli(args);
    const uint64_t read = ChildDeviceReads() - before;
    EXPECT_EQ(verify.exit_code, 0) << verify.err;
    if (!cached && read == 0) GTEST_SKIP() << data_ << ": reads are not counted (tmpfs?)";
    // Within 5 %: the lists and the program are read too, or may be cached.
    EXPECT_EQ(read >= total - total / 20, !cached) << read << " of " << total;
  }
}

// A copy just made is on its way to the disk, not being written: verify writes it
// there and reads it as it is.
TEST_F(AuditTest, VerifyReadsAFreshCopyAsItIs) {
  for (int i = 0; i < 6; ++i) Data("f" + std::to_string(i), std::string(20000 + i, 'a' + i));
  const std::string list = Out("fresh.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  const std::string copy = tree_.Path("copy/");
  ASSERT_EQ(testing_support::RunCommand("/bin/cp", {"-a", data_, copy}).exit_code, 0);
  // Not through Cli: nothing may write the copy's pages back first.
  const CommandResult r =
      testing_support::RunCommand(CHECKER_CLI_PATH, {"verify", "--path", copy, list}, env_);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

// Pages another process maps cannot be dropped: verify reads the disk past them, so
// a file damaged under them is caught.
TEST_F(AuditTest, VerifyReadsTheDiskPastPagesAnotherProcessMaps) {
  testing_support::LoopVolume disk(tree_.Path("disk.img"), "DISK");
  const std::string root = tree_.Path("disk/");
  std::string why;
  if (!disk.Mount(root, &why)) GTEST_SKIP() << why;
  const std::string photo = tree_.File("disk/photo.jpg", "photo " + std::string(9000, 'p'));
  tree_.File("disk/note.txt", "a note, not mapped");
  const std::string list = Out("disk.v00");
  ASSERT_EQ(Cli({"scan", "--quiet", "--no-backup", "--list", list, "--tree", list + ".t00", root})
                .exit_code,
            0);
  const int fd = open(photo.c_str(), O_RDONLY | O_CLOEXEC);
  void* map = mmap(nullptr, 9006, PROT_READ, MAP_SHARED, fd, 0);
  ASSERT_NE(map, MAP_FAILED);
  volatile char seen = static_cast<const char*>(map)[0];
  seen = static_cast<const char*>(map)[8192];
  ASSERT_TRUE(disk.Damage("photo ppp", "photo PPP"));
  const CommandResult r = Cli({"verify", list});
  munmap(map, 9006);
  close(fd);
  EXPECT_EQ(r.exit_code, 3) << r.err << seen;
  EXPECT_EQ(r.out, Row("corrupted", photo));
}

}  // namespace
}  // namespace audit_tests
