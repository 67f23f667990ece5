// Reading files as a listing found them: one read when a file fits the buffer, the
// recorded size as the end, parts folded apart that combine to the whole; and the walk's
// records kept for the file pass within their memory limit.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "content/content_id.h"
#include "content/fold.h"
#include "content/literal_fold.h"
#include "fs/dir_iter.h"
#include "job_builder.h"
#include "platform/files.h"
#include "scan/listings.h"
#include "scan/scan_job.h"

namespace scan {

namespace {

using testing_support::LiteralId;
using testing_support::MixedBytes;
using testing_support::TempTree;

// Counts the reads of the files the code under test opens, and what each asked for.
std::vector<size_t> g_requests;
int64_t CountingRead(platform::NativeHandle fd, void* buffer, size_t size) {
  g_requests.push_back(size);
  return platform::ReadHandle(fd, buffer, size);
}

struct CountedReads {
  CountedReads() {
    g_requests.clear();
    platform::SetReadHookForTesting(&CountingRead);
  }
  ~CountedReads() { platform::SetReadHookForTesting(nullptr); }
};

struct Outcome {
  uint8_t code;
  uint32_t id;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{code " << int(o.code) << ", id " << o.id << "}";
}

class ListedReadsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.Open(tree_.root())); }

  // Reads `name` as a listing that found it as it is now, but with `size` bytes, through a
  // lent buffer of `buffer_size` bytes (0: the thread's own buffer).
  Outcome Read(const std::string& name, uint64_t size, size_t buffer_size,
               content::FirstBytes* first = nullptr) {
    std::vector<uint8_t> memory(buffer_size);
    content::LentBuffer buffer;
    if (buffer_size > 0) buffer = {memory.data(), buffer_size};
    content::FirstBytes unused;
    platform::FileInfo info;
    dir_.Stat(name, &info);
    content::ListedFile listed = content::ListedFileOf(info);
    listed.size = size;
    Outcome outcome{};
    outcome.code = content::FileChkListed(dir_, name, listed, buffer, content::StopTest{},
                                          &outcome.id, first != nullptr ? first : &unused);
    return outcome;
  }

  TempTree tree_;
  platform::DirHandle dir_;
};

TEST_F(ListedReadsTest, AFileThatFitsTheBufferTakesOneReadAndNothingMore) {
  const std::string bytes = MixedBytes(20001, 1);
  tree_.File("f", bytes);
  const Outcome whole{content::kChkOk, LiteralId(bytes)};
  {
    CountedReads counted;
    EXPECT_EQ(Read("f", bytes.size(), 512000), whole);
    EXPECT_EQ(g_requests, (std::vector<size_t>{20001}));
  }
  {
    CountedReads counted;
    EXPECT_EQ(Read("f", bytes.size(), 20001), whole);  // exactly the file
    EXPECT_EQ(g_requests, (std::vector<size_t>{20001}));
  }
  {
    // Larger than the buffer: chunks of its even part, then the rest in one read.
    CountedReads counted;
    EXPECT_EQ(Read("f", bytes.size(), 8193), whole);
    EXPECT_EQ(g_requests, (std::vector<size_t>{8192, 8192, 3617}));
  }
  {
    CountedReads counted;
    EXPECT_EQ(Read("f", bytes.size(), 0), whole);  // an own buffer holds it all
    EXPECT_EQ(g_requests, (std::vector<size_t>{20001}));
  }
}

TEST_F(ListedReadsTest, AFileNotAsListedIsChangedAndNotRead) {
  const std::string bytes = MixedBytes(4000, 2);
  tree_.File("f", bytes);
  // Grown or shrunk since it was listed with 3001 or 5000 bytes: no id, not a byte read.
  for (const uint64_t listed : {3001, 5000}) {
    CountedReads counted;
    EXPECT_EQ(Read("f", listed, 512000), (Outcome{content::kChkChanged, 0})) << listed;
    EXPECT_EQ(Read("f", listed, 1000), (Outcome{content::kChkChanged, 0})) << listed;
    EXPECT_TRUE(g_requests.empty()) << listed;
  }

  // An empty file is not even opened, so one gone since is still empty.
  EXPECT_EQ(Read("gone", 0, 512000), (Outcome{content::kChkEmpty, 0}));

  // 1 to 5 bytes: no id; the line shows what the file holds, unless it changed.
  tree_.File("short", "abc");
  content::FirstBytes first;
  EXPECT_EQ(Read("short", 3, 512000, &first), (Outcome{content::kChkTooShort, 0}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first.bytes), first.count), "abc");
  EXPECT_EQ(Read("short", 5, 512000, &first), (Outcome{content::kChkChanged, 0}));
}

TEST_F(ListedReadsTest, WhatIsNoLongerARegularFileIsNotFound) {
  const std::string dir = tree_.root();
  tree_.Dir("now_a_dir");
  ASSERT_EQ(testing_support::MakeFifo(dir + "now_a_fifo"), 0);
  tree_.File("target", "abcdefgh");
  ASSERT_EQ(testing_support::MakeSymlink("target", dir + "now_a_link"), 0);
  for (const char* name : {"now_a_dir", "now_a_fifo", "now_a_link"}) {
    EXPECT_EQ(Read(name, 8, 512000), (Outcome{content::kChkNotFound, 0})) << name;
    EXPECT_EQ(Read(name, 3, 512000), (Outcome{content::kChkNotFound, 0})) << name;
  }
  EXPECT_EQ(Read("gone", 8, 512000), (Outcome{content::kChkGone, 0}));
  EXPECT_EQ(Read("gone", 3, 512000), (Outcome{content::kChkGone, 0}));
}

TEST_F(ListedReadsTest, UnreadableFileCannotBeOpened) {
  if (testing_support::RunsAsRoot()) GTEST_SKIP() << "root opens every file";
  chmod(tree_.File("closed", "abcdefgh").c_str(), 0);
  EXPECT_EQ(Read("closed", 8, 512000), (Outcome{content::kChkOpenFailed, 0}));
  EXPECT_EQ(Read("closed", 3, 512000), (Outcome{content::kChkOpenFailed, 0}));
}

TEST_F(ListedReadsTest, PartsFoldedApartCombineToTheWholeId) {
  // Zero words run across both part edges; an odd size ends the last part.
  std::string bytes = MixedBytes(300001, 3);
  std::fill(bytes.begin() + 99000, bytes.begin() + 101000, '\0');
  std::fill(bytes.begin() + 199990, bytes.begin() + 200020, '\0');
  tree_.File("f", bytes);
  platform::File file;
  ASSERT_EQ(content::OpenListedFile(dir_, "f", &file), content::kChkOk);
  std::vector<uint8_t> memory(4096);
  const content::LentBuffer buffer{memory.data(), memory.size()};
  struct Part {
    uint64_t offset, length;
  };
  // Folded last part first, into states of their own.
  content::FoldState whole;
  for (const Part& part : {Part{200000, 100001}, Part{0, 100000}, Part{100000, 100000}}) {
    content::FoldState state;
    ASSERT_EQ(
        content::FoldFileRange(file, part.offset, part.length, buffer, content::StopTest{}, &state),
        content::kChkOk);
    content::FoldCombine(state, &whole);
  }
  EXPECT_EQ(content::FoldResult(whole), LiteralId(bytes));

  content::FoldState state;
  EXPECT_EQ(content::FoldFileRange(file, 300000, 2, buffer, content::StopTest{}, &state),
            content::kChkChanged);
  std::atomic<bool> stop{true};
  EXPECT_EQ(
      content::FoldFileRange(file, 0, 100000, buffer, content::StopTest{&stop, nullptr}, &state),
      content::kChkStopped);
}

// ---------------------------------------------------------------------------------------

// What a keeper holds for one directory: name -> size.
std::map<std::string, uint64_t> Kept(scan::ListingKeeper& keeper, const std::string& path) {
  std::map<std::string, uint64_t> files;
  const std::unique_ptr<scan::DirectoryFiles> kept = keeper.Take(path);
  if (kept == nullptr) return files;
  uint64_t total = 0;
  for (size_t i = 0; i < kept->size(); ++i) {
    EXPECT_TRUE(kept->record(i).found);
    files[std::string(kept->name(i))] = kept->record(i).size;
    total += kept->record(i).size;
  }
  EXPECT_EQ(kept->total_size(), total);
  return files;
}

constexpr uint32_t kTreeWalk =
    fs::walk_option::NoFiles | fs::walk_option::Recurse | fs::walk_option::SumSizes;

TEST(ListingKeeperTest, KeepsEachDirectorysFilesAcrossItsSubdirectories) {
  TempTree tree;
  tree.File("top/a", "12345");
  tree.File("top/sub/b", "1234567");
  tree.File("top/sub/deeper/c", "");
  tree.File("top/z", "123");
  tree.Dir("top/empty");
  testing_support::MakeSymlink("a", tree.Path("top/link"));
  scan::ListingKeeper keeper(1 << 20);
  fs::THddRun run;
  run.set_recorder(&keeper);
  support::StringList dirs;
  EXPECT_EQ(fs::FilesToStringsSx(&dirs, tree.Path("top"), kTreeWalk, &run, {}, {}), 15);
  const std::string top = tree.Path("top/");
  EXPECT_EQ(Kept(keeper, top), (std::map<std::string, uint64_t>{{"a", 5}, {"z", 3}}));
  EXPECT_EQ(Kept(keeper, tree.Path("top/sub/")), (std::map<std::string, uint64_t>{{"b", 7}}));
  EXPECT_EQ(Kept(keeper, tree.Path("top/sub/deeper/")),
            (std::map<std::string, uint64_t>{{"c", 0}}));
  const std::unique_ptr<scan::DirectoryFiles> empty = keeper.Take(tree.Path("top/empty/"));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->size(), 0u);                        // kept, and empty
  EXPECT_EQ(keeper.Take(top), nullptr);                // handed over once
  EXPECT_FALSE(keeper.full());
}

TEST(ListingKeeperTest, PastItsLimitDirectoriesAreListedAgainAndNoneIsKeptInPart) {
  TempTree tree;
  for (int d = 0; d < 6; ++d) {
    for (int f = 0; f < 20; ++f) {
      tree.File("top/d" + std::to_string(d) + "/file" + std::to_string(f), "x");
    }
  }
  // Room for about two and a half directories.
  scan::ListingKeeper keeper(2500);
  fs::THddRun run;
  run.set_recorder(&keeper);
  support::StringList dirs;
  fs::FilesToStringsSx(&dirs, tree.Path("top"), kTreeWalk, &run, {}, {});
  EXPECT_TRUE(keeper.full());
  size_t whole = 0;
  for (int d = 0; d < 6; ++d) {
    const size_t files = Kept(keeper, tree.Path("top/d" + std::to_string(d) + "/")).size();
    EXPECT_TRUE(files == 0 || files == 20) << d;
    whole += files == 20;
  }
  EXPECT_GE(whole, 1u);
  EXPECT_LE(whole, 3u);
}

TEST(ListingKeeperTest, LookupsOnThreadsOfItsOwnGiveTheSameFilesAndSizes) {
  TempTree tree;
  uint64_t total = 0;
  for (int d = 0; d < 30; ++d) {
    for (int f = 0; f <= d; ++f) {
      const std::string contents(static_cast<size_t>(d * 100 + f), 'x');
      tree.File("top/d" + std::to_string(d) + "/f" + std::to_string(f), contents);
      total += contents.size();
    }
  }
  tree.File("top/sub/inner/g", "1234567");
  total += 7;
  scan::ListingKeeper keeper(1 << 20);
  keeper.StartLookups(2, nullptr);
  fs::THddRun run;
  run.set_recorder(&keeper);
  support::StringList dirs;
  const int64_t walked = fs::FilesToStringsSx(&dirs, tree.Path("top"), kTreeWalk, &run, {}, {});
  EXPECT_EQ(static_cast<uint64_t>(walked) + keeper.FinishLookups(), total);
  for (int d = 0; d < 30; ++d) {
    std::map<std::string, uint64_t> expected;
    for (int f = 0; f <= d; ++f) expected["f" + std::to_string(f)] = d * 100 + f;
    EXPECT_EQ(Kept(keeper, tree.Path("top/d" + std::to_string(d) + "/")), expected) << d;
  }
  EXPECT_EQ(Kept(keeper, tree.Path("top/sub/inner/")), (std::map<std::string, uint64_t>{{"g", 7}}));
}

// ---------------------------------------------------------------------------------------

// "F  " and the id with "00000 00000", then the size right-aligned in 15 with blanks
// between groups of three: columns 1-29 of a file's line.
std::string IdAndSize(const std::string& id_field, uint64_t size) {
  std::string digits = std::to_string(size);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  std::string field = id_field;
  field.resize(14, ' ');
  return field + std::string(15 - grouped.size(), ' ') + grouped;
}

std::string IdField(uint32_t id) {
  std::string digits = std::to_string(id);
  digits.insert(0, 10 - digits.size(), '0');
  return "F  " + digits.substr(0, 5) + " " + digits.substr(5);
}

// Changes the tree once the directories have been gathered, before any file is read.
class ChangingWindow : public ScanWindow {
 public:
  explicit ChangingWindow(std::function<void()> change) : change_(std::move(change)) {}
  int32_t OnJobNotify(TDskFil&, const JobEvent& event) override {
    if (event.code == kNotifyScan) change_();
    return 0;
  }

 private:
  std::function<void()> change_;
};

// Appends to the file at g_append_path while its first read is under way, once; fails
// every read of the file with inode g_failing_inode as a bad disk does.
std::string g_append_path;
std::atomic<bool> g_appended{false};
std::atomic<ino_t> g_failing_inode{0};
int64_t AppendWhileRead(platform::NativeHandle fd, void* buffer, size_t size) {
  struct stat open_file;
  struct stat named;
#ifdef _WIN32
  const bool known = false;  // no inode behind a handle there
#else
  const bool known = fstat(fd, &open_file) == 0;
#endif
  if (known && open_file.st_ino == g_failing_inode.load()) {
    errno = EIO;
    return -1;
  }
  if (known && !g_appended.load() && stat(g_append_path.c_str(), &named) == 0 &&
      open_file.st_ino == named.st_ino && !g_appended.exchange(true)) {
    const int out = open(g_append_path.c_str(), O_WRONLY | O_APPEND);
    EXPECT_EQ(write(out, "more", 4), 4);
    close(out);
  }
  return platform::ReadHandle(fd, buffer, size);
}

// A file changed between the walk and its read, or while it is read, has no id of bytes
// the walk never saw: its line shows id 0 and the recorded size, and the run names it, as
// it names a read error with the system's reason. The same with one reader and several.
TEST(ListedScanTest, FilesChangedAfterTheWalkOrWhileReadHaveNoId) {
  const std::string grown = MixedBytes(3001, 4);
  for (int readers : {1, 3}) {
    TempTree tree;
    tree.File("scan/appended", MixedBytes(900, 1));
    tree.File("scan/grown", grown);
    struct stat io;
    ASSERT_EQ(stat(tree.File("scan/io", "abcdefgh").c_str(), &io), 0);
    g_failing_inode = io.st_ino;
    tree.File("scan/renamed", MixedBytes(700, 3));
    tree.File("scan/shrunk", MixedBytes(5000, 5));
    tree.File("scan/swapped", MixedBytes(700, 6));
    tree.File("scan/vanished", MixedBytes(800, 7));
    tree.File("scan/zz", "abcdef");
    const std::string dir = tree.Path("scan/");
    ChangingWindow window([&] {
      tree.File("scan/grown", grown + "more bytes");
      // Saved by rename: other bytes of the same size and write time, another file.
      testing_support::FileTimes old;
      ASSERT_TRUE(testing_support::GetFileTimes(dir + "renamed", &old));
      tree.File("saved", MixedBytes(700, 8));
      ASSERT_TRUE(testing_support::SetFileTimes(tree.Path("saved"), old));
      ASSERT_EQ(rename(tree.Path("saved").c_str(), (dir + "renamed").c_str()), 0);
      truncate((dir + "shrunk").c_str(), 100);
      std::filesystem::remove(dir + "swapped");
      std::filesystem::create_directory(dir + "swapped");
      std::filesystem::remove(dir + "vanished");
    });
    scan::RunSettings settings;
    settings.search_path = dir;
    testing_support::JobBuilder job(&window, settings);
    job.mode(kModeCreate);
    job.id_list(tree.Path("run.v00"));
    job.tree_list(tree.Path("run.t00"));
    job.buffer_percent(30);
    job.buffer_max(1000);
    job.threads(readers);
    g_append_path = dir + "appended";
    g_appended = false;
    platform::SetReadHookForTesting(&AppendWhileRead);
    const ScanOutcome outcome = TDskFil::Start(std::move(job)).get();
    platform::SetReadHookForTesting(nullptr);
    ASSERT_TRUE(outcome.finished);
    std::vector<std::string> named;
    for (const ScanProblem& p : outcome.problems) {
      EXPECT_EQ(p.kind, p.path == dir + "io" ? ProblemKind::kUnreadable : ProblemKind::kChanged);
      named.push_back(p.path + ": " + p.reason);
    }
    const std::vector<std::string> expected = {dir + "appended: changed while read",
                                               dir + "grown: changed while read",
                                               dir + "io: " + std::strerror(EIO),
                                               dir + "renamed: changed while read",
                                               dir + "shrunk: changed while read",
                                               dir + "swapped: is no longer a regular file",
                                               dir + "vanished: vanished before it was read"};
    EXPECT_EQ(named, expected) << readers;
    EXPECT_EQ(outcome.error_count, 7) << readers;

    const std::vector<std::string> lines =
        testing_support::ListLines(TempTree::Read(tree.Path("run.v00")));
    ASSERT_EQ(lines.size(), 13u) << readers;
    const std::string no_id = "F  00000 00000";
    const std::string gone = "F  !CannotFind" + std::string(15, ' ');
    const std::vector<std::string> fields = {IdAndSize(no_id, 900),
                                             IdAndSize(no_id, 3001),
                                             "F  %IO",
                                             IdAndSize(no_id, 700),
                                             IdAndSize(no_id, 5000),
                                             gone,
                                             gone,
                                             IdAndSize(IdField(701218845), 6)};
    for (size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(lines[i + 2].substr(0, fields[i].size()), fields[i]);
    }
  }
}

// Counts the reads of the file of kPlaceholderSize bytes, the one marked as a placeholder.
constexpr size_t kPlaceholderSize = 5000;
std::atomic<int> g_placeholder_reads{0};
int64_t CountPlaceholderReads(platform::NativeHandle fd, void* buffer, size_t size) {
  if (size == kPlaceholderSize) ++g_placeholder_reads;
  return platform::ReadHandle(fd, buffer, size);
}

// A file whose data is not on this disk (a cloud placeholder), as the listing marks it,
// is an error of the run with its reason and is never read, unless the run is to read
// placeholders; then it is listed as any file. With one reader and several.
TEST(ListedScanTest, PlaceholdersAreErrorsUnreadUnlessTheRunReadsThem) {
  const std::string cloud = MixedBytes(kPlaceholderSize, 9);
  struct Case {
    bool read_placeholders;
    std::string cloud_line;  // columns 1-29 of its line
    int reads;
  };
  const Case cases[] = {{false, IdAndSize("F  !CannotOpen", kPlaceholderSize), 0},
                        {true, IdAndSize(IdField(LiteralId(cloud)), kPlaceholderSize), 1}};
  for (const Case& c : cases) {
    for (int readers : {1, 3}) {
      TempTree tree;
      tree.File("scan/cloud", cloud);
      tree.File("scan/local", "abcdef");
      const std::string dir = tree.Path("scan/");
      scan::RunSettings settings;
      settings.search_path = dir;
      settings.read_placeholders = c.read_placeholders;
      ChangingWindow window([] {});
      testing_support::JobBuilder job(&window, settings);
      job.mode(kModeCreate).id_list(tree.Path("run.v00")).tree_list(tree.Path("run.t00"));
      job.threads(readers);
      g_placeholder_reads = 0;
      platform::SetPlaceholderNameForTesting("cloud");
      platform::SetReadHookForTesting(&CountPlaceholderReads);
      const ScanOutcome outcome = TDskFil::Start(std::move(job)).get();
      platform::SetReadHookForTesting(nullptr);
      platform::SetPlaceholderNameForTesting("");
      ASSERT_TRUE(outcome.finished);
      std::vector<std::string> named;
      for (const ScanProblem& p : outcome.problems) {
        EXPECT_EQ(p.kind, ProblemKind::kUnreadable);
        named.push_back(p.path + ": " + p.reason);
      }
      std::vector<std::string> expected;
      if (!c.read_placeholders) expected.push_back(dir + "cloud: not on this disk: a placeholder");
      EXPECT_EQ(named, expected) << readers;
      EXPECT_EQ(outcome.error_count, c.read_placeholders ? 0 : 1) << readers;
      EXPECT_EQ(g_placeholder_reads, c.reads) << readers;
      const std::vector<std::string> lines =
          testing_support::ListLines(TempTree::Read(tree.Path("run.v00")));
      ASSERT_GE(lines.size(), 4u) << readers;
      EXPECT_EQ(lines[2].substr(0, 29), c.cloud_line) << readers;
      EXPECT_EQ(lines[3].substr(0, 29), IdAndSize(IdField(LiteralId("abcdef")), 6)) << readers;
    }
  }
}

}  // namespace

}  // namespace scan
