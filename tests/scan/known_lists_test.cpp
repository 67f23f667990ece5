// Scans of one fixed tree, compared byte for byte with the lists that a scan which listed
// every directory anew and took every file's record from the open file wrote for it. What
// depends on where and when the test runs is checked by rule and then masked: the
// directory in each path section, the run times of the header, and the creation time
// (the file system's birth time, set when the test makes the file).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "common/test_os.h"
#include "fs/volume_info.h"
#include "job_builder.h"
#include "scan/scan_job.h"
#include "support/msg.h"

namespace scan {

namespace {

using testing_support::TempTree;

// 2021-03-04 05:06:07 UTC, the last write time of every file.
constexpr time_t kWriteTime = 1614834367;

// Bytes of a simple generator; runs of zero words are mixed in when `zero_runs` is set.
std::string Bytes(size_t size, uint32_t seed, bool zero_runs = false) {
  std::string out(size, '\0');
  uint32_t x = seed;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<char>(x >> 16);
    if (zero_runs && (i / 3000) % 3 == 1) out[i] = 0;
  }
  return out;
}

std::string UtcText(time_t seconds) {
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

std::string Pad(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// The byte where character `column` (0-based) begins: a valid UTF-8 sequence is one
// character, and so is every byte that is not part of one.
size_t ByteOfColumn(const std::string& line, size_t column) {
  size_t pos = 0;
  for (size_t chars = 0; chars < column && pos < line.size(); ++chars) {
    const auto lead = static_cast<unsigned char>(line[pos]);
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 1;
    bool valid = pos + length <= line.size();
    for (size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(line[pos + k]) & 0xC0) == 0x80;
    pos += valid ? length : 1;
  }
  return pos;
}

// Bytes outside printable ASCII as \xNN, and a "$" at the end, so that blanks show.
std::string Visible(const std::string& line) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : line) {
    if (c < 0x20 || c >= 0x7f || c == '\\') {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "$";
}

class KnownListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    search_path_ = tree_.root() + "scan";
    root_column_ = fs::RootColumn(search_path_);
    tree_.Dir("lists");
    previous_handler_ = support::SetMsgHandler(
        [](const std::string&, const std::string&, int) { return support::kIdOk; });
    made_from_ = std::time(nullptr);
    BuildTree();
    made_until_ = std::time(nullptr);
  }
  void TearDown() override { support::SetMsgHandler(previous_handler_); }

  std::string MakeFile(const std::string& relative, const std::string& contents) {
    const std::string path = tree_.File("scan/" + relative, contents);
    EXPECT_TRUE(testing_support::SetFileTimes(path, testing_support::AtSecond(kWriteTime))) << path;
    return path;
  }

  void BuildTree() {
    MakeFile("a.txt", "abcdef");
    MakeFile("c", "abc");
    MakeFile("s1", "a");
    MakeFile("s5", "abcde");
    MakeFile("seven", "abcdefg");
    MakeFile("empty", "");
    MakeFile("Thumbs.db", "xxxx");
    MakeFile("notes.tmp", "abcdefgh");
    MakeFile(".hidden", "abcdefg");
    chmod(MakeFile("readonly", "abcdef").c_str(), 0444);
    MakeFile("name with spaces.bin", Bytes(1000, 1));
    MakeFile("\xC3\x84pfel.txt", Bytes(33, 2));
    MakeFile("\xC9t\xE9", Bytes(12, 3));
    MakeFile("line\nbreak", "abcdef");
    MakeFile(std::string(60, 'n'), Bytes(100, 4));
    MakeFile("zeros600", std::string(600, '\0'));
    MakeFile("zero_runs", Bytes(70001, 5, true));
    MakeFile("big20001", Bytes(20001, 6));
    MakeFile("big16384", Bytes(16384, 7));
    MakeFile("big1m3", Bytes(1048579, 8));
    MakeFile("sub/b.txt", "abcdefg");
    MakeFile("sub/deeper/c.dat", Bytes(5000, 9));
    MakeFile("sub/deeper/Desktop.ini", "x");
    MakeFile("temp/hidden.txt", "abcdef");
    MakeFile("Recycled/x", "abcdef");
    MakeFile("dir with\nbreak/f", "abcdef");
    MakeFile("UPPER/B", "abcdef");
    MakeFile("UPPER/a", "abcdefg");
    MakeFile("UPPER/_x", "abcdefgh");
    MakeFile("lower/apple", "abcdef");
    MakeFile("lower/APPLE", "abcdefg");
    MakeFile("lower/Apple", "abcdefgh");
    tree_.Dir("scan/empty_dir");
    tree_.Dir("scan/only_dirs/inner");
    const std::string dir = tree_.root() + "scan/";
    testing_support::MakeSymlink("a.txt", dir + "link_file");
    testing_support::MakeSymlink("sub", dir + "link_dir");
    testing_support::MakeSymlink("nowhere", dir + "dangling");
    testing_support::MakeFifo(dir + "fifo");
  }

  testing_support::JobBuilder MakeJob(uint8_t mode, ScanWindow* window) {
    auto job = testing_support::DesktopJob(mode, window, search_path_, tree_.Path("lists/"));
    job.interval(0);
    return job;
  }

  // Checks the path section that begins at `start` by its rule and replaces it with the
  // directory below the temp dir; a section that breaks the rule stays as it is.
  std::string MaskPathSection(const std::string& line, size_t start, bool hex_path) {
    if (line.compare(start, 2, "/p") != 0 || line.size() < start + 12) return line;
    const std::string dir = line.substr(start + 12);
    char length[8];
    std::snprintf(length, sizeof length, hex_path ? "%3zX" : "%3zu", dir.size());
    const std::string expected = std::string("/p") + length + (hex_path ? "$0 |" : "+0 |") +
                                 Pad(std::to_string(root_column_), 2) + " " + dir;
    const std::string& root = tree_.root();
    if (line.substr(start) != expected || dir.compare(0, root.size(), root) != 0) return line;
    return line.substr(0, start) + "/p{" + dir.substr(root.size()) + "}";
  }

  // The id list as lines with the run's own paths and times masked.
  std::string Masked(const std::string& text, bool hex_path) {
    std::set<std::string> made;  // when the test made the files
    for (time_t t = made_from_ - 1; t <= made_until_ + 1; ++t) made.insert(UtcText(t));
    const std::string written = UtcText(kWriteTime);
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      EXPECT_NE(end, std::string::npos) << "a line without CR LF at " << pos;
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(pos, end - pos);
      pos = end + 2;
      if (line.size() >= 79 && line[78] == '|') {
        const std::string blocks = line.substr(75, 3);
        const unsigned count = static_cast<unsigned>(
            std::strtoul(blocks.c_str() + 1, nullptr, blocks[0] == '$' ? 16 : 10));
        line = MaskPathSection(line, ByteOfColumn(line, count * 15 + 77), hex_path);
      }
      if (!line.empty() && line[0] == 'A' && line.size() >= 72) {
        line.replace(50, 19, "{end time         }");
        line.replace(30, 19, "{start time       }");
      }
      if (!line.empty() && line[0] == 'F' && line.compare(0, 14, "F  !CannotFind") != 0) {
        EXPECT_EQ(line.substr(30, 19), written) << line;
        const std::string created = line.substr(50, 19);
        EXPECT_TRUE(created == written || made.count(created) == 1) << line;
        line.replace(50, 19, "{created          }");
      }
      out += Visible(line) + "\n";
    }
    return out;
  }

  std::string MaskedTree(const std::string& text) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(pos, end - pos);
      pos = end + 2;
      if (line.compare(0, tree_.root().size(), tree_.root()) == 0)
        line = "{" + line.substr(tree_.root().size()) + "}";
      out += Visible(line) + "\n";
    }
    return out;
  }

  std::string Lists(const std::string& title, bool hex_path) {
    return "== " + title + ": tree list\n" +
           MaskedTree(TempTree::Read(tree_.Path("lists/run.t00"))) + "== " + title + ": id list\n" +
           Masked(TempTree::Read(tree_.Path("lists/run.v00")), hex_path);
  }

  TempTree tree_;
  std::string search_path_;
  int root_column_ = 0;
  time_t made_from_ = 0;
  time_t made_until_ = 0;
  support::MsgHandler previous_handler_;
};

// Stops the job at the n-th progress notification.
class StoppingWindow : public ScanWindow {
 public:
  explicit StoppingWindow(int stop_at) : stop_at_(stop_at) {}
  int32_t OnJobNotify(TDskFil&, const JobEvent& event) override {
    if (event.code == kNotifyProgress && ++seen_ == stop_at_) return kStopReply;
    return 0;
  }

 private:
  int stop_at_;
  int seen_ = 0;
};

std::string ExpectedText() {
  return TempTree::Read(std::string(CHECKER_TESTS_DIR) + "/scan/data/known_lists.txt");
}

TEST_F(KnownListsTest, ListsOfAFixedTreeAreThoseScansHaveAlwaysWritten) {
  std::string actual;
  {
    auto job = MakeJob(kModeCreate, nullptr);
    ASSERT_TRUE(TDskFil::Start(std::move(job)).get().finished);
    actual += Lists("create", false);
  }
  {
    auto job = MakeJob(kModeCreate, nullptr);
    job.options(kOptHexFile | kOptHexPath | kOptNoLocks);
    job.min_blocks(0);
    job.buffer_max(8192);
    ASSERT_TRUE(TDskFil::Start(std::move(job)).get().finished);
    actual += Lists("create, hex, no minimum blocks, 8 KiB buffer", true);
  }
  {
    StoppingWindow window(9);
    auto job = MakeJob(kModeCreate, &window);
    job.interval(1);
    job.buffer_percent(0);
    ASSERT_TRUE(TDskFil::Start(std::move(job)).get().stopped);
    actual += Lists("create stopped at the 9th progress, own buffers", false);
    ASSERT_TRUE(TDskFil::Start(MakeJob(kModeContinue, nullptr)).get().finished);
    actual += Lists("then continued", false);
  }
  // Made once from a scan, and only made anew when the list format changes on purpose.
  if (const char* write_to = std::getenv("CHECKER_WRITE_KNOWN_LISTS")) {
    std::FILE* file = std::fopen(write_to, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(actual.data(), 1, actual.size(), file);
    std::fclose(file);
  }
  EXPECT_EQ(actual, ExpectedText());
}

}  // namespace

}  // namespace scan
