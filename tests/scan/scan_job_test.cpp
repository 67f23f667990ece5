// Whole scans of real trees: the tree list and the id list compared line for line with
// lines built here from the format rules.

#include "scan/scan_job.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "content/content_id.h"
#include "fs/volume_info.h"
#include "job_builder.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "support/find_data.h"
#include "support/msg.h"
#include "support/toolkit.h"

namespace scan {

namespace {

using testing_support::Grouped;
using testing_support::Native;
using testing_support::TempTree;

// ---------------------------------------------------------------------------------------
// Expected lines, built from the rules of the list format.

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// "00 000 000 000 000 000 000": 20 digits with leading zeros.
std::string IdSum(uint64_t value) {
  std::string digits = std::to_string(value);
  digits.insert(0, 20 - digits.size(), '0');
  std::string out = digits.substr(0, 2);
  for (size_t i = 2; i < 20; i += 3) out += " " + digits.substr(i, 3);
  return out;
}

std::string NameSection(const std::string& name, unsigned min_blocks = 4) {
  unsigned blocks = static_cast<unsigned>((name.size() + 3) / 15 + 1);
  if (blocks < min_blocks) blocks = min_blocks;
  std::string block_field = "+" + std::to_string(blocks);
  if (block_field.size() == 2) block_field += ' ';
  return Pad(std::to_string(name.size()), 3) + block_field + "| " + name +
         std::string(blocks * 15 - 3 - name.size(), ' ');
}

std::string PathSection(const std::string& dir, int root_column) {
  return "/p" + Pad(std::to_string(dir.size()), 3) + "+0 |" + Pad(std::to_string(root_column), 2) +
         " " + dir;
}

// Splits at the last "/" before the last character.
void SplitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash =
      path.size() >= 2 ? path.rfind(Native("/"), path.size() - 2) : std::string::npos;
  if (slash == std::string::npos) {
    *dir = path;
    name->clear();
    return;
  }
  *dir = path.substr(0, slash + 1);
  *name = path.substr(slash + 1);
}

std::string FileTimes(const std::string& path) {
  support::FindData data;
  EXPECT_TRUE(support::FindDataSx(path, &data, 1)) << path;
  return support::FileTimeTextSx(data.last_write_time, 0) + " " +
         support::FileTimeTextSx(data.creation_time, 0);
}

// The attribute field of a file: 32, plus 1 when no write bit is set, plus 2 when the
// name begins with ".".
std::string FileAttributes(const std::string& dir, const std::string& name) {
  struct stat st;
  EXPECT_EQ(stat((dir + name).c_str(), &st), 0) << dir + name;
  int attributes = 32;
  if ((st.st_mode & 0222) == 0) attributes += 1;
  if (!name.empty() && name[0] == '.') attributes += 2;
  return Pad(std::to_string(attributes), 3);
}

std::string FLine(const std::string& id_field, const std::string& dir, const std::string& name,
                  uint64_t size, int root_column) {
  std::string field = id_field;
  field.resize(14, ' ');
  return field + Pad(Grouped(size), 15) + " " + FileTimes(dir + name) +
         FileAttributes(dir, name) + NameSection(name) + PathSection(dir, root_column);
}

// A directory's trailer ("R", attributes 16) or the totals of the search path ("T", 8).
std::string SumLine(char kind, const std::string& path, uint64_t id_sum, uint64_t bytes,
                    uint64_t files, int root_column) {
  std::string parent, name;
  SplitPath(path, &parent, &name);
  return std::string(1, kind) + "  " + IdSum(id_sum) + Pad(Grouped(bytes), 20) +
         Pad(Grouped(files), 11) + (kind == 'R' ? "          16" : "           8") +
         NameSection(name) + PathSection(parent, root_column);
}

std::vector<std::string> Lines(const std::string& text) { return testing_support::ListLines(text); }

// lines[first] onwards are `expected`, each compared whole.
void ExpectLinesFrom(const std::vector<std::string>& lines, size_t first,
                     const std::vector<std::string>& expected) {
  ASSERT_GE(lines.size(), first + expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[first + i], expected[i]) << first + i;
}

// The ids of "abcdef" and "abcdefg", worked by hand, and their values in a trailer's sum.
constexpr char kId6[] = "07012 18845";
constexpr char kId7[] = "35060 64315";
constexpr uint64_t kSum6 = 701218845;
constexpr uint64_t kSum7 = 3506064315u;

// ---------------------------------------------------------------------------------------
// A window that records every notification and can stop the job or change it.

struct Seen {
  int16_t code;
  uint32_t wparam;
  uint32_t lparam;
  uint16_t sender_kind;
  int32_t files_done;
  int32_t buffer_size;
  std::string current_file;
};

class RecordingWindow : public ScanWindow {
 public:
  int32_t OnJobNotify(TDskFil& job, const JobEvent& event) override {
    const int16_t code = event.code;
    seen.push_back({code, event.wparam, event.lparam, event.sender_kind, job.files_done(),
                    job.buffer_size(), job.current_file()});
    const int count = ++counts[code];
    if (on_notify) on_notify(job, code, count);
    if (code == kNotifyEnd) {
      for (int slot = 0; slot <= 11; ++slot) end_slots.push_back(job.GetSlot(slot));
      end_failure = job.failure();
    }
    if (code == stop_code && count == stop_count) return kStopReply;
    return 0;
  }

  std::vector<int16_t> Codes() const {
    std::vector<int16_t> codes;
    for (const Seen& s : seen) codes.push_back(s.code);
    return codes;
  }

  std::vector<Seen> seen;
  std::map<int16_t, int> counts;
  std::vector<int32_t> end_slots;
  std::string end_failure;
  int16_t stop_code = 0;
  int stop_count = 1;
  std::function<void(TDskFil&, int16_t, int)> on_notify;
};

class ScanJobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    search_path_ = tree_.root() + "scan";  // without the trailing "/" on purpose
    dir_ = search_path_ + Native("/");
    id_list_ = tree_.Path("lists/run.v00");
    tree_list_ = tree_.Path("lists/run.t00");
    tree_.Dir("lists");
    root_column_ = fs::RootColumn(search_path_);
    previous_handler_ =
        support::SetMsgHandler([this](const std::string& text, const std::string& caption, int) {
          messages_.push_back(caption + ": " + text);
          return support::kIdOk;
        });
  }
  void TearDown() override { support::SetMsgHandler(previous_handler_); }

  // The job as the desktop program configures it.
  testing_support::JobBuilder MakeJob(uint8_t mode, ScanWindow* window) {
    return testing_support::DesktopJob(mode, window, search_path_, tree_.Path("lists/"));
  }

  ScanOutcome Run(std::unique_ptr<TDskFil> job) { return TDskFil::Start(std::move(job)).get(); }

  // A Create stopped at its first progress notification, after its first file.
  void RunStoppedAfterFirstFile() {
    RecordingWindow window;
    window.stop_code = kNotifyProgress;
    auto job = MakeJob(kModeCreate, &window);
    job.interval(1);
    Run(std::move(job));
  }

  std::string IdList() const { return TempTree::Read(id_list_); }

  // Lines of this run's id list: a file, a directory's trailer, the totals, the header's
  // name and path sections.
  std::string FileLine(const std::string& id, const std::string& dir, const std::string& name,
                       uint64_t size) const {
    return FLine("F  " + id, dir, name, size, root_column_);
  }
  std::string DirLine(const std::string& dir, uint64_t id_sum, uint64_t bytes,
                      uint64_t files) const {
    return SumLine('R', dir, id_sum, bytes, files, root_column_);
  }
  std::string TotalLine(uint64_t id_sum, uint64_t bytes, uint64_t files) const {
    return SumLine('T', search_path_, id_sum, bytes, files, root_column_);
  }
  std::string HeaderSections() const {
    std::string parent, name;
    SplitPath(search_path_, &parent, &name);
    return NameSection(name) + PathSection(parent, root_column_);
  }

  // What a Create of BuildSmallTree writes after its header.
  std::vector<std::string> SmallTreeLines() const {
    return {"",
            FileLine(kId6, dir_, "a.txt", 6),
            FileLine("$616263", dir_, "c", 3),
            FileLine("00000 00000", dir_, "empty", 0),
            DirLine(dir_, kSum6, 13, 3),
            "",
            FileLine(kId7, dir_ + Native("sub/"), "b.txt", 7),
            DirLine(dir_ + Native("sub/"), kSum7, 7, 1),
            "",
            TotalLine(kSum6 + kSum7, 20, 4)};
  }

  TempTree tree_;
  std::string search_path_;
  std::string dir_;
  std::string id_list_;
  std::string tree_list_;
  int root_column_ = 0;
  std::vector<std::string> messages_;
  support::MsgHandler previous_handler_;
};

// The tree of the create test: an excluded directory, an excluded file whose size still
// counts, files of 6, 3, 0 and 7 bytes.
void BuildSmallTree(TempTree& tree) {
  tree.File("scan/a.txt", "abcdef");
  tree.File("scan/c", "abc");
  tree.File("scan/empty", "");
  tree.File("scan/Thumbs.db", "xxxx");
  tree.File("scan/sub/b.txt", "abcdefg");
  tree.File("scan/temp/hidden.txt", "not listed");
}

void ExpectHeader(const std::string& line, char mode, char state, char error_flag,
                  const std::string& sections) {
  ASSERT_GE(line.size(), 72u) << line;
  EXPECT_EQ(line.substr(0, 30), std::string("A") + mode + " 03054 41741 DATA           ");
  EXPECT_EQ(line[49], ' ');
  EXPECT_EQ(line[69], ' ');
  EXPECT_NE(line.substr(50, 19), "0000-00-00 00:00:00");
  EXPECT_EQ(line[70], state) << line;
  EXPECT_EQ(line[71], error_flag) << line;
  EXPECT_EQ(line.substr(72), sections);
}

TEST_F(ScanJobTest, CreateWritesBothListsLineForLine) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  EXPECT_TRUE(outcome.finished);
  EXPECT_TRUE(outcome.failure.empty()) << outcome.failure;
  EXPECT_EQ(outcome.files_done, 4);
  EXPECT_EQ(outcome.error_count, 0);

  EXPECT_EQ(TempTree::Read(tree_list_), dir_ + "\r\n" + dir_ + Native("sub/\r\n"));

  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 11u) << IdList();
  ExpectHeader(lines[0], '1', 'F', ' ', HeaderSections());
  ExpectLinesFrom(lines, 1, SmallTreeLines());
  EXPECT_EQ(IdList().substr(IdList().size() - 2), "\r\n");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ScanJobTest, NotificationsCarryCodeAndSenderKind) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window);
  job.interval(1);
  Run(std::move(job));
  const std::vector<int16_t> expected = {kNotifyStart,    kNotifyGather,   kNotifySort,
                                         kNotifyScan,     kNotifyProgress, kNotifyProgress,
                                         kNotifyProgress, kNotifyProgress, kNotifyEnd};
  ASSERT_EQ(window.Codes(), expected);
  // 9000 = 0x2328 before the scan (kind 0); 3 and 9080 = 0x2378 with kind 2.
  EXPECT_EQ(window.seen[0].wparam, 0x28000000u);
  EXPECT_EQ(window.seen[0].lparam, 0x23u);
  EXPECT_EQ(window.seen[3].wparam, 0x03000200u);
  EXPECT_EQ(window.seen[3].lparam, 0u);
  EXPECT_EQ(window.seen[4].wparam, 0x78000200u);
  EXPECT_EQ(window.seen[4].lparam, 0x23u);
  EXPECT_EQ(window.seen[0].sender_kind, 0u);
  EXPECT_EQ(window.seen[3].sender_kind, kSenderScan);
  EXPECT_EQ(window.seen[4].current_file, "a.txt");
  EXPECT_EQ(window.seen[4].files_done, 1);
  // Slots 4 and 7 to 9 are never set; 10 is set at the end of the scan.
  ASSERT_EQ(window.end_slots.size(), 12u);
  EXPECT_EQ(window.end_slots[4], -1);
  EXPECT_EQ(window.end_slots[7], -1);
  EXPECT_EQ(window.end_slots[9], -1);
  EXPECT_EQ(window.end_slots[11], -1);
  EXPECT_NE(window.end_slots[10], -1);
}

TEST_F(ScanJobTest, SlotsGrowWithMinusOne) {
  TDskFil job(nullptr, "", "");
  EXPECT_EQ(job.GetSlot(0), -1);
  job.SetSlot(3, 77);
  EXPECT_EQ(job.GetSlot(3), 77);
  EXPECT_EQ(job.GetSlot(2), -1);
  EXPECT_EQ(job.GetSlot(255), -1);
  job.SetSlot(255, 5);
  EXPECT_EQ(job.GetSlot(255), 5);
  EXPECT_EQ(job.GetSlot(256), -1);
  EXPECT_EQ(job.job_name(), "DskFil");

  class NamedWindow : public RecordingWindow {
    std::string WindowName() const override { return "Viv050"; }
  } window;
  EXPECT_EQ(TDskFil(&window, "", "").job_name(), "Viv050_DskFil");
  EXPECT_EQ(TDskFil(&window, "mine", "").job_name(), "mine");
}

TEST_F(ScanJobTest, StopAtGatheringOrSortingLeavesTheListsAlone) {
  BuildSmallTree(tree_);
  for (int16_t code : {kNotifyGather, kNotifySort}) {
    tree_.File("lists/run.v00", "old list\r\n");
    std::filesystem::remove(tree_list_);
    RecordingWindow window;
    window.stop_code = code;
    const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
    EXPECT_FALSE(outcome.finished);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(IdList(), "old list\r\n");
    EXPECT_FALSE(std::filesystem::exists(tree_list_));
    EXPECT_EQ(window.Codes().back(), kNotifyEnd);
    EXPECT_EQ(window.counts[kNotifyScan], 0);
  }
}

TEST_F(ScanJobTest, StopAtScanStartEmptiesACreatedListButKeepsAContinuedOne) {
  BuildSmallTree(tree_);
  tree_.File("lists/run.v00", "old list\r\n");
  RecordingWindow window;
  window.stop_code = kNotifyScan;
  Run(MakeJob(kModeCreate, &window));
  EXPECT_EQ(IdList(), "");
  EXPECT_TRUE(std::filesystem::exists(id_list_));
  EXPECT_EQ(TempTree::Read(tree_list_), dir_ + "\r\n" + dir_ + Native("sub/\r\n"));

  // A list left padded with NULs by a crash keeps its lines; the padding goes.
  RunStoppedAfterFirstFile();
  const std::string lines = IdList();
  ASSERT_NE(lines, "");
  tree_.File("lists/run.v00", lines + std::string(300, '\0'));
  RecordingWindow again;
  again.stop_code = kNotifyScan;
  Run(MakeJob(kModeContinue, &again));
  EXPECT_EQ(IdList(), lines);
  EXPECT_EQ(again.counts[kNotifySort], 0);  // the tree list was reused
}

TEST_F(ScanJobTest, StopAtProgressThenContinueFinishesTheList) {
  tree_.File("scan/a1", "abcdef");
  tree_.File("scan/a2", "abcdefg");
  tree_.File("scan/a3", "abcdef");
  tree_.File("scan/d/b1", "abcdefg");
  RecordingWindow window;
  window.stop_code = kNotifyProgress;
  window.stop_count = 2;
  auto job = MakeJob(kModeCreate, &window);
  job.interval(1);
  ScanOutcome outcome = Run(std::move(job));
  EXPECT_TRUE(outcome.stopped);
  EXPECT_FALSE(outcome.finished);

  std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 4u) << IdList();
  ExpectHeader(lines[0], '1', 'C', ' ', HeaderSections());
  ExpectLinesFrom(lines, 1, {"", FileLine(kId6, dir_, "a1", 6), FileLine(kId7, dir_, "a2", 7)});

  RecordingWindow second;
  outcome = Run(MakeJob(kModeContinue, &second));
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.files_done, 2);
  EXPECT_EQ(second.counts[kNotifySort], 0);
  lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 14u) << IdList();
  ExpectHeader(lines[0], '1', 'C', ' ', HeaderSections());
  EXPECT_EQ(lines[4], "");
  ExpectHeader(lines[5], '2', 'F', ' ', HeaderSections());
  // The trailer counts what this run processed, the bytes and files of the listing.
  ExpectLinesFrom(lines, 6,
                  {"", FileLine(kId6, dir_, "a3", 6), DirLine(dir_, kSum6, 19, 3), "",
                   FileLine(kId7, dir_ + Native("d/"), "b1", 7),
                   DirLine(dir_ + Native("d/"), kSum7, 7, 1), "", TotalLine(kSum6 + kSum7, 26, 2)});
}

TEST_F(ScanJobTest, ContinueOverAFullyListedDirectoryWritesOnlyAnEmptyLine) {
  tree_.File("scan/d/b1", "abcdefg");
  RecordingWindow window;
  window.stop_code = kNotifyProgress;
  auto job = MakeJob(kModeCreate, &window);
  job.interval(1);
  Run(std::move(job));  // stops after d/b1, before the trailer of d/
  const std::string first = IdList();
  ASSERT_EQ(Lines(first).size(), 3u) << first;
  tree_.File("scan/a0", "abcdef");  // new since the first run

  RecordingWindow second;
  Run(MakeJob(kModeContinue, &second));
  const std::vector<std::string> lines = Lines(IdList().substr(first.size()));
  ASSERT_EQ(lines.size(), 8u) << IdList();
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1].substr(0, 2), "A2");
  ExpectLinesFrom(lines, 2,
                  {"",  // after the header
                   FileLine(kId6, dir_, "a0", 6), DirLine(dir_, kSum6, 6, 1),
                   "",  // d/, whose only file was listed before
                   "",  // before the totals
                   TotalLine(kSum6, 13, 1)});
}

TEST_F(ScanJobTest, ContinueWithoutAListCreatesItAndScansEverything) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeContinue, &window));
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.files_done, 4);
  EXPECT_EQ(window.counts[kNotifySort], 1);  // no tree list to reuse
  // Nothing to continue: the list is a Create's, which a later Continue can take.
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0].substr(0, 2), "A1");
  ExpectLinesFrom(lines, 1, SmallTreeLines());
}

TEST_F(ScanJobTest, BufferSettings) {
  tree_.File("scan/big", std::string(20001, 'x'));
  tree_.File("scan/a.txt", "abcdef");
  struct Case {
    int32_t percent;
    int32_t max;
  };
  const uint64_t page = platform::PageSize();
  std::string big_line;
  for (const Case& c : {Case{0, 512000}, Case{30, 20}, Case{30, 512000}, Case{30, 8192}}) {
    RecordingWindow window;
    auto job = MakeJob(kModeCreate, &window);
    job.buffer_percent(c.percent);
    job.buffer_max(c.max);
    const ScanOutcome outcome = Run(std::move(job));
    EXPECT_TRUE(outcome.finished);
    ASSERT_GE(window.seen.size(), 4u);
    const int32_t size = window.seen[3].buffer_size;  // at code 3
    if (c.percent == 0) {
      EXPECT_EQ(size, 0);
    } else if (c.max == 20) {
      EXPECT_GT(size, 512000);  // a maximum below 32 is ignored
    } else {
      EXPECT_EQ(static_cast<uint64_t>(size), (c.max + page - 1) / page * page);
    }
    const std::vector<std::string> lines = Lines(IdList());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], FileLine(kId6, dir_, "a.txt", 6));
    // The same id whatever the buffer.
    if (big_line.empty()) big_line = lines[3];
    EXPECT_EQ(lines[3], big_line);
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(ScanJobTest, IntervalZeroSendsNoProgress) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window);
  job.interval(0);
  Run(std::move(job));
  const std::vector<int16_t> expected = {kNotifyStart, kNotifyGather, kNotifySort, kNotifyScan,
                                         kNotifyEnd};
  EXPECT_EQ(window.Codes(), expected);
}

TEST_F(ScanJobTest, WindowMayChangeTheIntervalDuringTheRun) {
  for (int i = 0; i < 5; ++i) tree_.File("scan/f" + std::to_string(i), "abcdef");
  RecordingWindow window;
  window.on_notify = [](TDskFil& job, int16_t code, int count) {
    if (code == kNotifyProgress && count == 2) job.set_interval(0);
  };
  auto job = MakeJob(kModeCreate, &window);
  job.interval(-5);  // negative: after every file
  Run(std::move(job));
  EXPECT_EQ(window.counts[kNotifyProgress], 2);
  EXPECT_EQ(window.counts[kNotifyEnd], 1);
}

TEST_F(ScanJobTest, ExpandGrowsTheListInStepsAndTheEndCutsIt) {
  for (int i = 0; i < 3; ++i) tree_.File("scan/f" + std::to_string(i), "abcdef");
  for (int32_t expand : {512, 100000}) {
    std::filesystem::remove(id_list_);
    RecordingWindow window;
    int64_t size_during_run = -1;
    window.on_notify = [&](TDskFil&, int16_t code, int count) {
      if (code != kNotifyProgress || count != 1) return;
      platform::FileInfo info;
      ASSERT_TRUE(platform::StatPath(id_list_, &info));
      size_during_run = static_cast<int64_t>(info.size);
    };
    auto job = MakeJob(kModeCreate, &window);
    job.interval(1);
    job.expand(expand);
    Run(std::move(job));
    if (expand == 512) {
      EXPECT_LT(size_during_run, 512);
    } else {
      EXPECT_GE(size_during_run, 100000);
    }
    const std::string text = IdList();
    EXPECT_EQ(text.find('\0'), std::string::npos);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[7], TotalLine(3 * kSum6, 18, 3));
  }
}

TEST_F(ScanJobTest, FileVanishingBeforeItIsReadIsReportedInItsLine) {
  tree_.File("scan/a1", "abcdef");
  tree_.File("scan/a2", "abcdefg");
  RecordingWindow window;
  window.on_notify = [&](TDskFil&, int16_t code, int count) {
    if (code == kNotifyProgress && count == 1) std::filesystem::remove(dir_ + "a2");
  };
  auto job = MakeJob(kModeCreate, &window);
  job.threads(1);  // reads on the job's thread, between its notifications
  job.interval(1);
  const ScanOutcome outcome = Run(std::move(job));
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.error_count, 1);
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0][71], 'E');
  EXPECT_EQ(lines[3], "F  !CannotFind" + std::string(58, ' ') + NameSection("a2") +
                          PathSection(dir_, root_column_));
  // The vanished file adds nothing to the bytes done; the listing still counted it.
  EXPECT_EQ(lines[4], DirLine(dir_, kSum6, 13, 2));
  EXPECT_EQ(lines[6], TotalLine(kSum6, 13, 2));
}

TEST_F(ScanJobTest, SmallFilesAroundTheSixByteBoundary) {
  tree_.File("scan/s0", "");
  tree_.File("scan/s1", "a");
  tree_.File("scan/s5", "abcde");
  tree_.File("scan/s6", "abcdef");
  tree_.File("scan/s7", "abcdefg");
  tree_.File("scan/z10", std::string(10, '\0'));
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  EXPECT_EQ(outcome.error_count, 0);
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 11u);
  ExpectLinesFrom(lines, 2,
                  {FileLine("00000 00000", dir_, "s0", 0), FileLine("$61", dir_, "s1", 1),
                   FileLine("$6162636465", dir_, "s5", 5), FileLine(kId6, dir_, "s6", 6),
                   FileLine(kId7, dir_, "s7", 7), FileLine("00000 00120", dir_, "z10", 10),
                   DirLine(dir_, kSum6 + kSum7 + 120, 29, 6)});
}

TEST_F(ScanJobTest, HexOptionsAndMinimumBlocksReachTheLines) {
  const std::string name = "abcdefghijklmnopqrstuvwxyz01234";  // 31 characters
  tree_.File("scan/" + name, "abcdef");
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window);
  job.options(kOptHexFile | kOptHexPath | kOptNoLocks);
  job.min_blocks(0);
  Run(std::move(job));
  char dir_length[8];
  std::snprintf(dir_length, sizeof dir_length, "%3zX", dir_.size());
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2].substr(0, 69), FileLine(kId6, dir_, name, 6).substr(0, 69));
  EXPECT_EQ(lines[2].substr(69), " 32 1F$3 | " + name + std::string(11, ' ') + "/p" + dir_length +
                                     "$0 |" + Pad(std::to_string(root_column_), 2) + " " + dir_);
}

TEST_F(ScanJobTest, ListHeldByAnotherRunIsNotTouched) {
  BuildSmallTree(tree_);
  tree_.File("lists/run.v00", "other run\r\n");
  platform::File holder;
  ASSERT_TRUE(holder.Open(id_list_, platform::OpenMode::kReadWriteLocked));
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  EXPECT_FALSE(outcome.finished);
  EXPECT_NE(outcome.failure.find("in use by another run"), std::string::npos) << outcome.failure;
  EXPECT_EQ(window.Codes().back(), kNotifyEnd);
  EXPECT_EQ(window.counts[kNotifyScan], 0);
  EXPECT_EQ(IdList(), "other run\r\n");
}

TEST_F(ScanJobTest, ContinuedListThatCannotBeReadIsLeftAlone) {
  BuildSmallTree(tree_);
  const std::string old = std::string(80, 'x') + "\r\n";
  tree_.File("lists/run.v00", old);
  platform::SetReadHookForTesting(
      [](platform::NativeHandle, void*, size_t) -> int64_t { return -1; });
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeContinue, &window));
  platform::SetReadHookForTesting(nullptr);
  EXPECT_FALSE(outcome.finished);
  EXPECT_NE(outcome.failure.find("cannot read the id list"), std::string::npos) << outcome.failure;
  EXPECT_EQ(window.counts[kNotifyScan], 0);
  EXPECT_EQ(IdList(), old);
}

TEST_F(ScanJobTest, IdListThatIsADirectoryFailsWithoutWriting) {
  BuildSmallTree(tree_);
  tree_.Dir("lists/run.v00");
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  EXPECT_FALSE(outcome.finished);
  EXPECT_FALSE(outcome.failure.empty());
  EXPECT_EQ(window.end_failure, outcome.failure);
  EXPECT_EQ(window.Codes().back(), kNotifyEnd);
}

TEST_F(ScanJobTest, JobWithoutWindowRunsOnTheCallingThread) {
  BuildSmallTree(tree_);
  auto job = MakeJob(kModeCreate, nullptr).Build();
  job->Execute();
  EXPECT_EQ(job->files_done(), 4);
  EXPECT_NE(job->end_time(), 0);
  EXPECT_EQ(Lines(IdList()).size(), 11u);
}

TEST_F(ScanJobTest, JobToldToStopBeforeStartEndsWithoutScanning) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window).Build();
  job->Terminate();
  job->set_window(nullptr);
  const ScanOutcome outcome = Run(std::move(job));
  EXPECT_FALSE(outcome.scanned);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_TRUE(window.seen.empty());
  EXPECT_FALSE(std::filesystem::exists(id_list_));
  EXPECT_FALSE(std::filesystem::exists(tree_list_));
}

TEST_F(ScanJobTest, WindowThatThrowsStillGetsTheEnd) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  window.on_notify = [](TDskFil&, int16_t code, int) {
    if (code == kNotifyScan) throw std::runtime_error("window broke");
  };
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  EXPECT_EQ(outcome.failure, "window broke");
  EXPECT_EQ(window.Codes().back(), kNotifyEnd);
  EXPECT_EQ(IdList(), "");  // opened, nothing written before the header
}

// A write failure (here the file-size limit) ends the run with the complete lines that
// reached the list, stamped as stopped, and the end still notified. Runs in a child
// process so that the limit stays there.
TEST_F(ScanJobTest, WriteFailureEndsTheRunAndStillNotifies) {
  for (int i = 0; i < 60; ++i) tree_.File("scan/file" + std::to_string(i), "abcdef");
  constexpr uint64_t kLimit = 4000;
  const int status = testing_support::ExitStatusOfChild(
      [&] {
        RecordingWindow window;
        auto job = MakeJob(kModeCreate, &window);
        job.expand(0);
        const ScanOutcome outcome = TDskFil::Start(std::move(job)).get();
        const bool ok = !outcome.finished &&
                        outcome.failure.find("cannot write the id list") != std::string::npos &&
                        !window.seen.empty() && window.seen.back().code == kNotifyEnd;
        return ok ? 0 : 1;
      },
      kLimit);
  EXPECT_EQ(status, 0);
  const std::string text = IdList();
  EXPECT_LE(text.size(), kLimit);
  ASSERT_GE(text.size(), 74u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text[70], 'C');  // stamped: Continue can finish it
  EXPECT_EQ(Lines(text).back().substr(0, 14), "F  07012 18845");
}

}  // namespace

bool RefuseEverything(uint64_t) { return true; }
bool RefuseAboveTwoMiB(uint64_t size) { return size > 2 * 1048576; }

// Puts the memory seam back whatever the test's outcome.
struct MapRefusal {
  explicit MapRefusal(platform::MapRefusal refusal) {
    platform::SetMapRefusalForTesting(refusal);
  }
  ~MapRefusal() { platform::SetMapRefusalForTesting(nullptr); }
};

TEST_F(ScanJobTest, NoSharedBufferAtAnySizeShowsTheMessageAndEndsTheRun) {
  BuildSmallTree(tree_);
  tree_.File("lists/run.v00", "old list\r\n");
  RecordingWindow window;
  ScanOutcome outcome;
  {
    MapRefusal refuse(&RefuseEverything);
    outcome = Run(MakeJob(kModeCreate, &window));
  }
  EXPECT_EQ(messages_, (std::vector<std::string>{"Scandisk: Failed to allocate memory buffer"}));
  EXPECT_FALSE(outcome.finished);
  EXPECT_EQ(IdList(), "");  // opened for the run, then cut before any header
  EXPECT_EQ(window.Codes(),
            (std::vector<int16_t>{kNotifyStart, kNotifyGather, kNotifySort, kNotifyEnd}));
  EXPECT_EQ(window.seen.back().buffer_size, -1);
}

TEST_F(ScanJobTest, RefusedSharedBufferShrinksUntilASizeIsGranted) {
  tree_.File("scan/a", "abcdef");
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window);
  job.buffer_percent(80);
  job.buffer_max(-1);
  ScanOutcome outcome;
  {
    MapRefusal refuse(&RefuseAboveTwoMiB);
    outcome = Run(std::move(job));
  }
  EXPECT_TRUE(outcome.finished);
  EXPECT_TRUE(messages_.empty());
  ASSERT_GE(window.seen.size(), 3u);
  const Seen& at_scan = window.seen[3];
  ASSERT_EQ(at_scan.code, kNotifyScan);
  EXPECT_GT(at_scan.buffer_size, 1048576);
  EXPECT_LE(at_scan.buffer_size, 2 * 1048576);
}

TEST_F(ScanJobTest, FileWithoutAnyBufferIsAnAllocationError) {
  tree_.File("scan/six", "abcdef");
  tree_.File("scan/tiny", "abc");  // short files need no buffer
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window);
  job.buffer_percent(0);
  ScanOutcome outcome;
  {
    MapRefusal refuse(&RefuseEverything);
    outcome = Run(std::move(job));
  }
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.error_count, 1);
  EXPECT_TRUE(messages_.empty());
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[2].substr(0, 29), "F  !Allocation              6");
  EXPECT_EQ(lines[3].substr(0, 29), "F  $616263                  3");
  EXPECT_EQ(lines[4], DirLine(dir_, 0, 9, 2));
}

TEST_F(ScanJobTest, EmptySearchPathWritesNothing) {
  tree_.File("lists/run.t00", "old tree\r\n");
  RecordingWindow window;
  auto job = MakeJob(kModeCreate, &window);
  job.search_path("");
  const ScanOutcome outcome = Run(std::move(job));
  EXPECT_FALSE(outcome.finished);
  EXPECT_EQ(outcome.failure, "no search path");
  EXPECT_EQ(TempTree::Read(tree_list_), "old tree\r\n");
  EXPECT_FALSE(std::filesystem::exists(id_list_));
  EXPECT_EQ(window.Codes(), (std::vector<int16_t>{kNotifyStart, kNotifyGather, kNotifyEnd}));
}

// ---------------------------------------------------------------------------------------
// Lists that tell the truth.

namespace {

std::vector<std::string> FileLinesNamed(const std::string& text, const std::string& name) {
  std::vector<std::string> found;
  for (const std::string& line : Lines(text)) {
    if (!line.empty() && line[0] == 'F' && line.find("| " + name + " ") != std::string::npos)
      found.push_back(line);
  }
  return found;
}

size_t FileLineCount(const std::string& text) {
  size_t count = 0;
  for (const std::string& line : Lines(text)) count += !line.empty() && line[0] == 'F';
  return count;
}

// Makes File::Read give up after a number of reads, as a file cut short on disk does.
std::atomic<int> g_reads_left{0};
int64_t ShortAfterSomeReads(platform::NativeHandle fd, void* buffer, size_t size) {
  if (g_reads_left.fetch_sub(1) <= 0) return 0;
  return platform::ReadHandle(fd, buffer, size);
}

// Stops a job from inside its own reads, at the n-th one.
std::atomic<TDskFil*> g_job_to_stop{nullptr};
std::atomic<int> g_reads_before_stop{0};
int64_t StopAfterSomeReads(platform::NativeHandle fd, void* buffer, size_t size) {
  if (g_reads_before_stop.fetch_sub(1) == 1) {
    TDskFil* job = g_job_to_stop.load();
    if (job != nullptr) job->Terminate();
  }
  return platform::ReadHandle(fd, buffer, size);
}

struct ReadHook {
  explicit ReadHook(platform::ReadHook hook) { platform::SetReadHookForTesting(hook); }
  ~ReadHook() { platform::SetReadHookForTesting(nullptr); }
};

}  // namespace

TEST_F(ScanJobTest, DotFilesCarryTheHiddenBitLikeTheirLookup) {
  tree_.File("scan/.hidden", "abcdef");
  const std::string read_only = tree_.File("scan/.hidden_ro", "abcdef");
  std::filesystem::permissions(read_only, std::filesystem::perms::owner_read |
                                              std::filesystem::perms::group_read |
                                              std::filesystem::perms::others_read);
  tree_.File("scan/.dir/inside", "abcdefg");
  tree_.File("scan/plain", "abcdef");
  RecordingWindow window;
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  ASSERT_TRUE(outcome.finished);
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 11u) << IdList();
  ExpectLinesFrom(lines, 2,
                  {FileLine(kId6, dir_, ".hidden", 6), FileLine(kId6, dir_, ".hidden_ro", 6),
                   FileLine(kId6, dir_, "plain", 6)});
  EXPECT_EQ(lines[7], FileLine(kId7, dir_ + Native(".dir/"), "inside", 7));
  EXPECT_EQ(lines[2].substr(69, 3), " 34");
  EXPECT_EQ(lines[3].substr(69, 3), " 35");
  EXPECT_EQ(lines[7].substr(69, 3), " 32");

  // The record read from the open file and the one looked up by name agree in full.
  for (const std::string& path :
       {dir_ + ".hidden", read_only, dir_ + Native(".dir/inside"), dir_ + "plain"}) {
    support::FindData opened;
    support::FindData looked_up;
    content::FileChkSx(path, nullptr, &opened, -1, nullptr, 1);
    ASSERT_TRUE(support::FindDataSx(path, &looked_up, 1)) << path;
    EXPECT_EQ(opened.attributes, looked_up.attributes) << path;
    EXPECT_EQ(opened.creation_time, looked_up.creation_time) << path;
    EXPECT_EQ(opened.last_access_time, looked_up.last_access_time) << path;
    EXPECT_EQ(opened.last_write_time, looked_up.last_write_time) << path;
    EXPECT_EQ(opened.size, looked_up.size) << path;
    EXPECT_EQ(opened.name, looked_up.name) << path;
    EXPECT_EQ(opened.short_name, looked_up.short_name) << path;
  }
}

TEST_F(ScanJobTest, StopBetweenFilesWithoutNotificationsEndsTheRunAtOnce) {
  for (int i = 0; i < 40; ++i) tree_.File("scan/f" + std::to_string(100 + i), "abcdefgh");
  auto job = MakeJob(kModeCreate, nullptr).threads(1).interval(0).Build();
  g_job_to_stop = job.get();  // it reads on its own thread, between its notifications
  g_reads_before_stop = 5;
  ScanOutcome outcome;
  {
    ReadHook hook(&StopAfterSomeReads);
    outcome = Run(std::move(job));
  }
  g_job_to_stop = nullptr;
  EXPECT_TRUE(outcome.stopped);
  EXPECT_FALSE(outcome.finished);
  const std::string text = IdList();
  // The fifth read belongs to a file given up at its next buffer or not started: at
  // most the four before it are listed.
  EXPECT_LE(FileLineCount(text), 5u) << text;
  EXPECT_GE(FileLineCount(text), 4u) << text;
  EXPECT_EQ(text[70], 'C');
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

  // A Continue finishes the list with every file exactly once.
  const ScanOutcome second = Run(MakeJob(kModeContinue, nullptr));
  EXPECT_TRUE(second.finished);
  EXPECT_FALSE(second.stopped);
  EXPECT_EQ(FileLineCount(IdList()), 40u);
}

TEST_F(ScanJobTest, StopWhileOneLargeFileIsReadLeavesItUnlisted) {
  tree_.File("scan/a", "abcdef");
  tree_.File("scan/big", std::string(64 * 8192 + 1, 'x'));
  tree_.File("scan/c", "abcdef");
  auto job = MakeJob(kModeCreate, nullptr).threads(1).buffer_max(8192).Build();
  g_job_to_stop = job.get();  // it reads on its own thread, between its notifications
  g_reads_before_stop = 4;  // a: 1 read, then three buffers into big
  ScanOutcome outcome;
  {
    ReadHook hook(&StopAfterSomeReads);
    outcome = Run(std::move(job));
  }
  g_job_to_stop = nullptr;
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(outcome.files_done, 1);
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 3u) << IdList();
  EXPECT_EQ(lines[0][70], 'C');
  EXPECT_EQ(lines[2], FileLine(kId6, dir_, "a", 6));
}

// The stop is asked for from another thread while a large tree is scanned without any
// notification between files: far fewer files than the tree holds may be listed.
TEST_F(ScanJobTest, StopFromAnotherThreadReachesARunWithoutNotifications) {
  // Windows (and wine most of all) makes and removes files so much more slowly that a
  // fifth of the tree still outlasts the stop, where the whole takes minutes.
  constexpr int kFiles = platform::kNativePathStyle == platform::PathStyle::kWindows ? 4000 : 20000;
  for (int d = 0; d < 20; ++d) {
    const std::string dir = tree_.Dir("scan/d" + std::to_string(d));
    for (int f = 0; f < kFiles / 20; ++f) {
      std::FILE* file = std::fopen((dir + std::to_string(f)).c_str(), "w");
      ASSERT_NE(file, nullptr);
      std::fputs("abcdefgh", file);
      std::fclose(file);
    }
  }
  auto job = MakeJob(kModeCreate, nullptr).interval(0).Build();
  const std::shared_ptr<std::atomic<bool>> stop = job->StopFlag();
  JobThread done = TDskFil::Start(std::move(job));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  stop->store(true);
  const ScanOutcome outcome = done.get();
  EXPECT_TRUE(outcome.stopped);
  EXPECT_FALSE(outcome.finished);
  EXPECT_LT(FileLineCount(IdList()), static_cast<size_t>(kFiles / 2));
}

TEST_F(ScanJobTest, FinishedAndStoppedAreNeverBothReported) {
  BuildSmallTree(tree_);
  RecordingWindow window;
  window.stop_code = kNotifyEnd;  // too late to stop anything
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, &window));
  EXPECT_TRUE(outcome.finished);
  EXPECT_FALSE(outcome.stopped);
}

TEST_F(ScanJobTest, FileThatShrinksWhileReadIsAnErrorOfTheRun) {
  tree_.File("scan/big", std::string(20001, 'x'));
  auto job = MakeJob(kModeCreate, nullptr);
  job.buffer_max(8192);
  g_reads_left = 1;  // the second read finds the file ended
  ScanOutcome outcome;
  {
    ReadHook hook(&ShortAfterSomeReads);
    outcome = Run(std::move(job));
  }
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.error_count, 1);
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, dir_ + "big");
  EXPECT_EQ(outcome.problems[0].reason, "changed while read");
  const std::vector<std::string> lines = Lines(IdList());
  ASSERT_EQ(lines.size(), 6u) << IdList();
  EXPECT_EQ(lines[0][71], 'E');
  // The line is the one the format gives: id 0 and the size of the record.
  EXPECT_EQ(lines[2], FileLine("00000 00000", dir_, "big", 20001));
}

TEST_F(ScanJobTest, DirectoriesThatCannotBeReadAreErrorsOfTheRun) {
  tree_.File("scan/a", "abcdef");
  tree_.File("scan/gone/b", "abcdef");
  tree_.File("scan/kept/c", "abcdef");
  // A first run stopped after its first file leaves a tree list naming gone/.
  RunStoppedAfterFirstFile();
  std::filesystem::remove_all(dir_ + "gone");
  const ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.error_count, 1);
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, dir_ + Native("gone/"));
  EXPECT_TRUE(outcome.problems[0].directory());
  const std::string text = IdList();
  const size_t second = text.find("A2");
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(text[second + 71], 'E');
  EXPECT_EQ(FileLinesNamed(text, "c").size(), 1u);
}

TEST_F(ScanJobTest, UnreadableSubdirectoryIsAnErrorOfTheRun) {
  if (testing_support::RunsAsRoot()) GTEST_SKIP() << "root reads every directory";
  tree_.File("scan/a", "abcdef");
  const std::string closed = tree_.Dir("scan/closed");
  tree_.File("scan/closed/b", "abcdef");
  std::filesystem::permissions(closed, std::filesystem::perms::none);
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, nullptr));
  std::filesystem::permissions(closed, std::filesystem::perms::owner_all);
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.error_count, 1);
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, dir_ + Native("closed/"));
  EXPECT_EQ(IdList()[71], 'E');
}

TEST_F(ScanJobTest, DirectoryThatFailsMidwayIsAnErrorOfTheRun) {
  tree_.File("scan/a", "abcdef");
  tree_.File("scan/torn/b", "abcdef");
  tree_.File("scan/torn/c", "abcdefg");
  tree_.File("scan/whole/d", "abcdef");
  // The listing of "torn" fails at whichever of its files comes second.
  static std::atomic<int> seen{0};
  seen = 0;
  platform::SetDirEntryHookForTesting([](std::string_view name) {
    return (name == "b" || name == "c") && ++seen == 2 ? EIO : 0;
  });
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, nullptr));
  platform::SetDirEntryHookForTesting(nullptr);
  EXPECT_TRUE(outcome.finished);
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, dir_ + Native("torn/"));
  EXPECT_EQ(outcome.problems[0].reason, std::strerror(EIO));
  EXPECT_TRUE(outcome.problems[0].directory());
  EXPECT_GE(outcome.error_count, 1);
  const std::string list = IdList();
  EXPECT_EQ(list[71], 'E');
  // The directories beside it are listed whole.
  EXPECT_EQ(FileLinesNamed(list, "a").size(), 1u) << list;
  EXPECT_EQ(FileLinesNamed(list, "d").size(), 1u) << list;
}

TEST_F(ScanJobTest, TreeListThatCannotBeWrittenEndsTheRun) {
  tree_.File("scan/a", "abcdef");
  tree_.File("lists/run.v00", "");
  // The tree list is written beside itself first; a directory in that place fails it.
  tree_.Dir("lists/run.t00.new");
  const ScanOutcome outcome = Run(MakeJob(kModeCreate, nullptr));
  EXPECT_FALSE(outcome.finished);
  EXPECT_NE(outcome.failure.find("cannot write the tree list"), std::string::npos)
      << outcome.failure;
  EXPECT_EQ(IdList(), "");
}

TEST_F(ScanJobTest, ContinueMatchesNamesWithLineBreaksAsTheListWritesThem) {
  tree_.File("scan/a\nb", "abcdef");
  tree_.File("scan/z", "abcdefg");
  RunStoppedAfterFirstFile();  // stops after "a\nb"
  ASSERT_EQ(FileLinesNamed(IdList(), "a?b").size(), 1u) << IdList();
  const ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
  EXPECT_TRUE(outcome.finished);
  EXPECT_EQ(outcome.files_done, 1);
  EXPECT_EQ(FileLinesNamed(IdList(), "a?b").size(), 1u) << IdList();
  EXPECT_EQ(FileLinesNamed(IdList(), "z").size(), 1u) << IdList();
}

// The tree list writes "d\ne" and "d?e" alike, and no folder is called what it writes: a
// Continue gathers every folder of the parent that reads as the line, subfolders too.
TEST_F(ScanJobTest, ContinueGathersAgainEveryFolderALineWithQuestionMarkStandsFor) {
  tree_.File("scan/a", "abcdef");
  tree_.File("scan/d\ne/x", "abcdef");
  tree_.File("scan/d\ne/deeper/z", "abcdef");
  tree_.File("scan/d?e/y", "abcdefg");
  RunStoppedAfterFirstFile();  // stops after "a"
  const ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
  EXPECT_TRUE(outcome.finished);
  for (const char* name : {"x", "y", "z"}) {
    EXPECT_EQ(FileLinesNamed(IdList(), name).size(), 1u) << name << "\n" << IdList();
  }
  // Only the two lines that cannot show their folder's name are errors.
  std::vector<std::string> problems;
  for (const ScanProblem& problem : outcome.problems) problems.push_back(problem.path);
  EXPECT_EQ(problems,
            (std::vector<std::string>{dir_ + Native("d\ne/x"), dir_ + Native("d\ne/deeper/z")}));
  EXPECT_EQ(outcome.error_count, 2);
}

// ---------------------------------------------------------------------------------------
// Lists a run trusts, and files it never leaves the tree for.

TEST_F(ScanJobTest, ContinueRefusesATreeListThatIsNotThisRuns) {
  tree_.File("scan/a", "abcdef");
  tree_.File("elsewhere/secret", "abcdef");
  const std::string other = tree_.Path("elsewhere/");
  const std::vector<std::string> foreign = {
      other + "\r\n",                                      // another tree
      dir_ + "\r\n" + other + "\r\n",                      // a line outside the tree
      dir_ + "\r\n" + dir_ + Native("../elsewhere/\r\n"),  // a way out
      dir_ + "\r\n" + dir_ + Native("./\r\n"),             // "." is no directory of its own
      dir_ + "\r\n   \r\n",                                // blanks
      dir_ + "\r\n" + dir_ + "sub\r\n",                    // not a directory line
      std::string("\x01\x02\xff\xfe binary\r\n"),          // garbage
  };
  for (const std::string& tree_text : foreign) {
    tree_.File("lists/run.t00", tree_text);
    std::filesystem::remove(id_list_);
    const ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
    EXPECT_TRUE(outcome.refused) << tree_text;
    EXPECT_NE(outcome.failure.find("the tree list " + tree_list_), std::string::npos)
        << outcome.failure;
    EXPECT_EQ(TempTree::Read(tree_list_), tree_text);
    EXPECT_FALSE(std::filesystem::exists(id_list_)) << tree_text;
  }
}

TEST_F(ScanJobTest, ContinueRefusesAnIdListThatIsNotThisRuns) {
  tree_.File("scan/a", "abcdef");
  tree_.File("other/b", "abcdef");
  // A text file under the list's name.
  tree_.File("lists/run.v00", "shopping list\r\n");
  ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
  EXPECT_TRUE(outcome.refused);
  EXPECT_EQ(IdList(), "shopping list\r\n");

  // The lists of another search path.
  auto job = MakeJob(kModeCreate, nullptr);
  job.search_path(tree_.root() + "other");
  ASSERT_TRUE(Run(std::move(job)).finished);
  const std::string lists_of_other = IdList();
  std::filesystem::remove(tree_list_);
  outcome = Run(MakeJob(kModeContinue, nullptr));
  EXPECT_TRUE(outcome.refused);
  EXPECT_NE(outcome.failure.find("the id list " + id_list_), std::string::npos) << outcome.failure;
  EXPECT_EQ(IdList(), lists_of_other);
  EXPECT_FALSE(std::filesystem::exists(tree_list_));
}

// A run killed after its first line must not leave the old list's tail behind it: the
// child ends itself without any clean-up, as SIGKILL would.
TEST_F(ScanJobTest, CreateEmptiesTheOldListBeforeWriting) {
  std::string old_list;
  for (int i = 0; i < 2000; ++i) old_list += "F  old line " + std::to_string(i) + "\r\n";
  tree_.File("lists/run.v00", old_list);
  for (int i = 0; i < 3; ++i) tree_.File("scan/f" + std::to_string(i), "abcdef");
  const int status = testing_support::ExitStatusOfChild([&] {
    RecordingWindow window;
    window.on_notify = [](TDskFil&, int16_t code, int) {
      if (code == kNotifyProgress) _exit(0);
    };
    auto job = MakeJob(kModeCreate, &window);
    job.interval(1);
    job.expand(0);
    TDskFil::Start(std::move(job)).get();
    return 1;
  });
  ASSERT_GE(status, 0);
  ASSERT_LT(status, 128);
  EXPECT_EQ(IdList().find("old line"), std::string::npos) << IdList().substr(0, 400);
}

TEST_F(ScanJobTest, SecondRunIsRefusedBeforeItTouchesEitherList) {
  tree_.File("scan/a", "abcdef");
  tree_.File("lists/run.v00", "");
  tree_.File("lists/run.t00", "old tree\r\n");
  {
    platform::File held;
    ASSERT_TRUE(held.Open(id_list_, platform::OpenMode::kReadWriteLocked));
    const ScanOutcome outcome = Run(MakeJob(kModeCreate, nullptr));
    EXPECT_FALSE(outcome.finished);
    EXPECT_NE(outcome.failure.find("the id list"), std::string::npos) << outcome.failure;
    EXPECT_EQ(TempTree::Read(tree_list_), "old tree\r\n");
  }
  {
    // Another run's id list, the same tree list.
    platform::File held;
    ASSERT_TRUE(held.Open(tree_list_, platform::OpenMode::kReadWriteLocked));
    auto job = MakeJob(kModeCreate, nullptr);
    job.id_list(tree_.Path("lists/other.v00"));
    const ScanOutcome outcome = Run(std::move(job));
    EXPECT_FALSE(outcome.finished);
    EXPECT_NE(outcome.failure.find("the tree list"), std::string::npos) << outcome.failure;
    EXPECT_EQ(TempTree::Read(tree_list_), "old tree\r\n");
    EXPECT_FALSE(std::filesystem::exists(tree_.Path("lists/other.v00")));
  }
}

TEST_F(ScanJobTest, DirectorySwappedForALinkDuringTheRunIsNotFollowed) {
  tree_.File("scan/a", "abcdef");
  tree_.File("scan/b/inner", "abcdef");
  tree_.File("outside/secret", "abcdefg");
  tree_.File("outside/tiny", "xyz");
  RecordingWindow window;
  window.on_notify = [&](TDskFil&, int16_t code, int count) {
    if (code != kNotifyProgress || count != 1) return;
    std::filesystem::remove_all(dir_ + "b");
    std::filesystem::create_directory_symlink(tree_.root() + "outside", dir_ + "b");
  };
  auto job = MakeJob(kModeCreate, &window);
  job.threads(1);  // reads on the job's thread, between its notifications
  job.interval(1);
  const ScanOutcome outcome = Run(std::move(job));
  EXPECT_TRUE(outcome.finished);
  const std::string text = IdList();
  EXPECT_EQ(FileLinesNamed(text, "secret").size(), 0u) << text;
  EXPECT_EQ(FileLinesNamed(text, "tiny").size(), 0u) << text;
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, dir_ + Native("b/"));
  EXPECT_EQ(outcome.problems[0].reason, "is a symbolic link");
  EXPECT_EQ(text[71], 'E');
}

TEST_F(ScanJobTest, ListsInsideTheTreeDoNotListThemselves) {
  tree_.File("scan/a", "abcdef");
  auto job = MakeJob(kModeCreate, nullptr);
  job.id_list(dir_ + "run.v00");
  job.tree_list(dir_ + "run.t00");
  ASSERT_TRUE(Run(std::move(job)).finished);
  const std::vector<std::string> lines = Lines(TempTree::Read(dir_ + "run.v00"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], FileLine(kId6, dir_, "a", 6));
  EXPECT_EQ(lines[3], DirLine(dir_, kSum6, 6, 1));
}

// The write time names backups and dates a list, so it is part of "as it was".
TEST_F(ScanJobTest, ContinueWithNothingLeftLeavesTheListAsItWas) {
  BuildSmallTree(tree_);
  ASSERT_TRUE(Run(MakeJob(kModeCreate, nullptr)).finished);
  const std::string finished = IdList();
  const std::string tree = TempTree::Read(tree_list_);
  const auto dated = std::filesystem::last_write_time(id_list_) - std::chrono::hours(1000);
  for (const std::string& list : {id_list_, tree_list_}) {
    std::filesystem::last_write_time(list, dated);
  }
  for (int again = 0; again < 2; ++again) {
    const ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.nothing_left);
    EXPECT_EQ(IdList(), finished);
    EXPECT_EQ(TempTree::Read(tree_list_), tree);
    for (const std::string& list : {id_list_, tree_list_}) {
      EXPECT_TRUE(std::filesystem::last_write_time(list) == dated) << list;
    }
  }
}

// A run killed during its walk leaves both lists empty, or the id list holding only the
// NULs of a crash while it grew: Continue makes of them what a Create makes, and the
// next Continue takes that list as its own.
TEST_F(ScanJobTest, ContinueOfEmptyListsWritesWhatACreateWrites) {
  BuildSmallTree(tree_);
  ASSERT_TRUE(Run(MakeJob(kModeCreate, nullptr)).finished);
  const std::string clean_tree = TempTree::Read(tree_list_);
  // The header's start and end times differ from run to run.
  const auto without_times = [](std::vector<std::string> lines) {
    if (!lines.empty() && lines[0].size() > 69) lines[0].replace(30, 39, 39, '.');
    return lines;
  };
  const std::vector<std::string> clean = without_times(Lines(IdList()));
  for (const std::string& left : {std::string(), std::string(300, '\0')}) {
    tree_.File("lists/run.v00", left);
    tree_.File("lists/run.t00", "");
    for (int again = 0; again < 2; ++again) {
      const ScanOutcome outcome = Run(MakeJob(kModeContinue, nullptr));
      EXPECT_TRUE(outcome.finished) << outcome.failure;
      EXPECT_FALSE(outcome.refused) << outcome.failure;
      EXPECT_EQ(without_times(Lines(IdList())), clean) << left.size() << " " << again;
      EXPECT_EQ(TempTree::Read(tree_list_), clean_tree);
    }
  }
}

// The line end that separates a continued run from the one before goes to the list only
// with the header after it: a Continue that cannot write its header leaves the list as it
// was, however often it is tried. The file-size limit stands for a full disk; it stays in
// a child process.
TEST_F(ScanJobTest, ContinueWhoseWritesFailLeavesTheListAsItWas) {
  for (int i = 0; i < 5; ++i) tree_.File("scan/f" + std::to_string(i), "abcdef");
  RunStoppedAfterFirstFile();
  const std::string stopped = IdList();
  ASSERT_EQ(FileLineCount(stopped), 1u) << stopped;
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Room for the line end and a few bytes of the header, not for a whole line.
    const int status = testing_support::ExitStatusOfChild(
        [&] {
          // On this thread alone: a forked child may start no threads under ThreadSanitizer.
          const std::unique_ptr<TDskFil> job = MakeJob(kModeContinue, nullptr).threads(1).Build();
          job->Execute();
          return job->failure().find("cannot write the id list") == 0 ? 0 : 1;
        },
        stopped.size() + 10);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(IdList(), stopped) << attempt;
  }
  // With room again the list is finished as ever.
  EXPECT_TRUE(Run(MakeJob(kModeContinue, nullptr)).finished);
  EXPECT_EQ(FileLineCount(IdList()), 5u);
}

}  // namespace scan
