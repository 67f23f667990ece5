// Reading whole id lists back: every shape of line the scan writes.

#include "lists/list_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "content/content_id.h"
#include "lists/list_format.h"
#include "support/find_data.h"

namespace {

using testing_support::TempTree;

constexpr uint64_t kFileTime = 132328100960000000ULL;  // 2020-05-01 12:34:56 UTC
constexpr uint64_t kWrittenTime = 20200501123456ULL;

struct Entry {
  std::string dir;
  std::string name;
  uint64_t size;
  uint8_t code = content::kChkOk;
  uint32_t id = 701218845;
};

class ListReaderTest : public ::testing::Test {
 protected:
  // One run of the given files, stamped with `state`; `stamp` false leaves the header
  // as a run still going (or crashed) leaves it.
  static std::string Run(const std::vector<Entry>& entries, const lists::ListOptions& options,
                         lists::RunMode mode, lists::RunState state, bool stamp = true) {
    lists::IdListWriter writer(options);
    writer.FormatHeader(mode, 1, "LÄBEL", platform::DateTime{2020, 5, 1, 12, 0, 0, 0},
                        "/media/u/USB/Photos");
    std::string text = writer.line();
    if (stamp) {
      text.replace(writer.end_stamp_offset(), lists::kEndStampWidth,
                   lists::EndStamp(platform::DateTime{2020, 5, 1, 13, 0, 0, 0}, state, false));
    }
    for (const Entry& entry : entries) {
      writer.SetDirectory(entry.dir);
      support::FindData data;
      data.attributes = 32;
      data.size = entry.size;
      data.last_write_time = kFileTime;
      data.creation_time = kFileTime;
      writer.FormatFileLine(entry.code, entry.id, data, entry.name);
      text += writer.line();
    }
    return text;
  }

  static lists::ListOptions Options(bool hex, uint16_t min_blocks, int root_column = 14) {
    lists::ListOptions options;
    options.hex_file = hex;
    options.hex_path = hex;
    options.min_blocks = min_blocks;
    options.root_column = root_column;
    return options;
  }

  bool Read(const std::string& text, lists::IdList* list, lists::ListReadError* error) {
    return lists::ReadIdList(tree_.File("list.v00", text), list, error);
  }

  TempTree tree_;
};

TEST_F(ListReaderTest, EveryNameAndSizeShapeReadsBack) {
  const std::vector<Entry> entries = {
      {"/media/u/USB/Photos/", "ends in blanks  ", 5},
      {"/media/u/USB/Photos/", "Äpfel und Birnen, Sommer 2020 in den Bergen.jpeg", 1234567},
      {"/media/u/USB/Photos/", std::string(11, 'e'), 0, content::kChkEmpty},
      {"/media/u/USB/Photos/", std::string(12, 't'), 12},
      {"/media/u/USB/Photos/", "bad\xC9name", 10},
      {"/media/u/USB/Photos/big/", "huge", 12345678901234ULL},
      {"/media/u/USB/Photos/big/", "vanished", 0, content::kChkNotFound},
      {"/media/u/USB/Photos/big/", "unreadable", 77, content::kChkReadError},
  };
  for (const bool hex : {false, true}) {
    for (const uint16_t min_blocks : {uint16_t{0}, uint16_t{4}}) {
      for (const int root_column : {0, 2, 100}) {
        SCOPED_TRACE(testing::Message() << "hex " << hex << " min " << min_blocks << " root "
                                        << root_column);
        lists::IdList list;
        lists::ListReadError error;
        ASSERT_TRUE(Read(Run(entries, Options(hex, min_blocks, root_column),
                             lists::RunMode::kCreate, lists::RunState::kFinished),
                         &list, &error))
            << error.line << ": " << error.message;
        EXPECT_EQ(list.state(), lists::ListState::kComplete);
        EXPECT_EQ(list.search_path(), root_column > 0 ? "/media/u/USB/Photos" : "");
        // Sorted by directory, then name bytes.
        const std::vector<std::pair<std::string, uint64_t>> expected = {
            {"/media/u/USB/Photos/bad\xC9name", 10},
            {"/media/u/USB/Photos/eeeeeeeeeee", 0},
            {"/media/u/USB/Photos/ends in blanks  ", 5},
            {"/media/u/USB/Photos/tttttttttttt", 12},
            {"/media/u/USB/Photos/Äpfel und Birnen, Sommer 2020 in den Bergen.jpeg", 1234567},
            {"/media/u/USB/Photos/big/huge", 12345678901234ULL},
            {"/media/u/USB/Photos/big/unreadable", 77},
            {"/media/u/USB/Photos/big/vanished", 0},
        };
        ASSERT_EQ(list.files().size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
          const lists::ListedFile& file = list.files()[i];
          EXPECT_EQ(list.FullPath(file), expected[i].first);
          EXPECT_EQ(file.size, expected[i].second) << expected[i].first;
          const bool vanished = expected[i].first.ends_with("vanished");
          EXPECT_EQ(file.write_time, vanished ? 0 : kWrittenTime) << expected[i].first;
          EXPECT_EQ(file.has_size, !vanished);
          EXPECT_EQ(file.has_id, !vanished && !expected[i].first.ends_with("unreadable"));
        }
        EXPECT_EQ(list.files()[4].id_text(), "07012 18845");
        EXPECT_EQ(list.files()[1].id_text(), "00000 00000");
      }
    }
  }
}

TEST_F(ListReaderTest, TheLastRunGivesTheState) {
  const std::vector<Entry> first = {{"/d/", "a", 10}, {"/d/", "b", 10}};
  const std::vector<Entry> second = {{"/d/", "b", 11}, {"/d/", "c", 10}};
  const lists::ListOptions options = Options(false, 4);
  const std::string stopped =
      Run(first, options, lists::RunMode::kCreate, lists::RunState::kStopped);
  const struct {
    std::string text;
    lists::ListState state;
  } cases[] = {
      {stopped, lists::ListState::kStopped},
      {stopped + Run(second, options, lists::RunMode::kContinue, lists::RunState::kFinished),
       lists::ListState::kComplete},
      {stopped + Run(second, options, lists::RunMode::kContinue, lists::RunState::kRunning),
       lists::ListState::kAbnormal},
      {stopped + Run(second, options, lists::RunMode::kContinue, lists::RunState::kRunning, false),
       lists::ListState::kUnfinished},
      // A crash while the list grew: a NUL tail and a last line cut short.
      {Run(first, options, lists::RunMode::kCreate, lists::RunState::kRunning, false)
               .substr(0, 300) +
           std::string(100, '\0'),
       lists::ListState::kUnfinished},
      {"", lists::ListState::kNoRun},
  };
  for (const auto& one : cases) {
    lists::IdList list;
    lists::ListReadError error;
    ASSERT_TRUE(Read(one.text, &list, &error)) << error.line << ": " << error.message;
    EXPECT_EQ(list.state(), one.state) << one.text;
  }
  // b was listed again: its later line counts.
  lists::IdList list;
  lists::ListReadError error;
  ASSERT_TRUE(Read(cases[1].text, &list, &error));
  ASSERT_EQ(list.files().size(), 3u);
  EXPECT_EQ(list.FullPath(list.files()[1]), "/d/b");
  EXPECT_EQ(list.files()[1].size, 11u);
  EXPECT_EQ(list.repeated(), 1u);
  EXPECT_EQ(list.runs(), 2);

  // A last file line cut inside its path section names no file: "/d" + "b" is not one.
  const std::string grown = Run(first, options, lists::RunMode::kCreate, lists::RunState::kRunning, false);
  const size_t last_dir = grown.rfind("/d/");
  ASSERT_NE(last_dir, std::string::npos);
  ASSERT_EQ(grown.find('\n', last_dir), grown.size() - 1) << grown;
  lists::IdList cut;
  ASSERT_TRUE(Read(grown.substr(0, last_dir + 2), &cut, &error)) << error.message;
  ASSERT_EQ(cut.files().size(), 1u);
  EXPECT_EQ(cut.FullPath(cut.files()[0]), "/d/a");
}

TEST_F(ListReaderTest, AnyOtherLineFailsWithItsNumber) {
  const std::string good =
      Run({{"/d/", "a", 10}, {"/d/", "b", 10}}, Options(false, 4), lists::RunMode::kCreate,
          lists::RunState::kFinished);
  const std::vector<std::string> lines = testing_support::ListLines(good);
  ASSERT_EQ(lines.size(), 4u);
  const std::string header = lines[0] + "\r\n\r\n";
  const std::string file_line = lines[2];
  const struct {
    std::string text;
    size_t line;
  } cases[] = {
      {"hello\r\n", 1},
      {"\r\n\r\n" + file_line + "\r\n", 3},  // a file before any header
      {header + file_line.substr(0, 78) + "\r\n" + file_line + "\r\n", 3},
      {header + "F  12345 6789x" + file_line.substr(14) + "\r\n", 3},
      {header + file_line + "\r\nX\r\n", 4},
      {header + file_line.substr(0, 30) + "2020/05/01 12:34:56" + file_line.substr(49) + "\r\n",
       3},
      {"A9" + lines[0].substr(2) + "\r\n", 1},
      // A directory that does not end with "/".
      {header + file_line.substr(0, file_line.rfind("/d/") + 2) + "\r\n", 3},
      // A finished list never ends in a line cut short.
      {good.substr(0, good.size() - 20), 4},
  };
  for (const auto& one : cases) {
    lists::IdList list;
    lists::ListReadError error;
    EXPECT_FALSE(Read(one.text, &list, &error)) << one.text;
    EXPECT_EQ(error.line, one.line) << one.text;
  }
}

// A header line as written: "A", the mode, the serial's two groups of five digits, the
// label in 15 columns, the start and end times, the state and the error flag.
std::string HeaderLine(char mode, const std::string& serial, const std::string& label,
                       size_t label_columns, const std::string& tail) {
  return std::string("A") + mode + " " + serial + " " + label +
         std::string(15 - label_columns, ' ') + "2020-05-01 12:00:00 2020-05-01 13:00:00 " + tail;
}

TEST(RunHeaderTest, FieldsAtTheirColumns) {
  lists::ListOptions options;
  options.root_column = 14;
  lists::IdListWriter writer(options);
  writer.FormatHeader(lists::RunMode::kCreate, 42, "USB",
                      platform::DateTime{2020, 5, 1, 12, 0, 0, 0}, "/media/u/USB/Photos/");
  std::string written = writer.line();
  written.replace(
      writer.end_stamp_offset(), lists::kEndStampWidth,
      lists::EndStamp(platform::DateTime{2020, 5, 1, 13, 0, 0, 0}, lists::RunState::kFinished, true));
  written.resize(written.find("\r\n"));
  const struct {
    std::string line;
    bool header;
    bool volume_read;
    uint32_t serial;
    std::string label;
    bool errors;
    int root_column;
    std::string search_path;
  } cases[] = {
      {written, true, true, 42, "USB", true, 14, "/media/u/USB/Photos/"},
      // The label's multi-byte characters move the columns after it in bytes only.
      {HeaderLine('3', "00001 00002", "LÄBEL Ü", 7, "C "), true, true, 100002, "LÄBEL Ü", false, 0,
       ""},
      {HeaderLine('2', "00000 00007", "USB", 3, "F"), true, true, 7, "USB", false, 0, ""},
      // Cut inside the start time: the volume is unknown.
      {HeaderLine('1', "00000 00042", "USB", 3, "F").substr(0, 40), true, false, 0, "", false, 0,
       ""},
      {"A1 00000", true, false, 0, "", false, 0, ""},
      {HeaderLine('1', "xxxxx xxxxx", "USB", 3, "F"), true, false, 0, "", false, 0, ""},
      {HeaderLine('4', "00000 00042", "USB", 3, "F"), false, false, 0, "", false, 0, ""},
      {"A", false, false, 0, "", false, 0, ""},
      {"T  " + HeaderLine('1', "00000 00042", "USB", 3, "F"), false, false, 0, "", false, 0, ""},
  };
  for (const auto& one : cases) {
    lists::RunHeader header;
    EXPECT_EQ(lists::ReadRunHeader(one.line, &header), one.header) << one.line;
    EXPECT_EQ(header.volume_read, one.volume_read) << one.line;
    EXPECT_EQ(header.serial, one.serial) << one.line;
    EXPECT_EQ(header.label, one.label) << one.line;
    EXPECT_EQ(header.start_time, one.volume_read ? "2020-05-01 12:00:00" : "") << one.line;
    EXPECT_EQ(header.errors, one.errors) << one.line;
    EXPECT_EQ(header.root_column, one.root_column) << one.line;
    EXPECT_EQ(header.search_path, one.search_path) << one.line;
  }
}

TEST_F(ListReaderTest, TheLastReadableHeaderNamesTheVolume) {
  const std::string first =
      Run({{"/d/", "a", 10}}, Options(false, 4), lists::RunMode::kCreate, lists::RunState::kStopped);
  const std::string second = "\r\n" + HeaderLine('2', "00000 00009", "OTHER", 5, "F") + "\r\n";
  const struct {
    std::string text;
    uint32_t serial;
    std::string label;
  } cases[] = {
      {first, 1, "LÄBEL"},
      {first + second, 9, "OTHER"},
      // A header cut by a crash names no volume: the one before it still does.
      {first + "\r\n" + HeaderLine('2', "00000 00009", "OTHER", 5, "_") + "\r\n\r\nA2 00000 0", 9,
       "OTHER"},
      {first + "\r\n" + HeaderLine('2', "xxxxx xxxxx", "OTHER", 5, "F") + "\r\n", 1, "LÄBEL"},
  };
  for (const auto& one : cases) {
    lists::IdList list;
    lists::ListReadError error;
    ASSERT_TRUE(Read(one.text, &list, &error)) << error.line << ": " << error.message;
    EXPECT_EQ(list.last_header().serial, one.serial) << one.text;
    EXPECT_EQ(list.last_header().label, one.label) << one.text;
    EXPECT_EQ(list.search_path(), "/media/u/USB/Photos") << one.text;
  }
}

// The text of a read time is the list's own picture; a line without a time shows blanks.
TEST(WriteTimeTextTest, AsTheListShowsIt) {
  const struct {
    uint64_t time;
    std::string text;
  } cases[] = {
      {0, std::string(19, ' ')},
      {kWrittenTime, "2020-05-01 12:34:56"},
      {9991231235959, "0999-12-31 23:59:59"},
  };
  for (const auto& c : cases) EXPECT_EQ(lists::WriteTimeText(c.time), c.text) << c.time;
}

}  // namespace
