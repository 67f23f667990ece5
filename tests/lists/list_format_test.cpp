#include "lists/list_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "content/content_id.h"
#include "support/toolkit.h"

namespace lists {
namespace {

using testing_support::TempTree;

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

uint64_t FileTimeOf(int64_t unix_seconds) {
  return kUnixEpochAsFileTime + static_cast<uint64_t>(unix_seconds) * 10000000ULL;
}

std::string Blanks(size_t n) { return std::string(n, ' '); }

// The record of the worked example: 1234567 bytes, written 2020-05-01 12:34:56,
// created 2020-04-30 08:00:00, an ordinary file.
support::FindData ExampleRecord() {
  support::FindData record;
  record.attributes = 32;
  record.size = 1234567;
  record.last_write_time = FileTimeOf(1588336496);
  record.creation_time = FileTimeOf(1588233600);
  return record;
}

// Columns 15-72 of the example record.
const std::string kExampleFixed = "      1 234 567 2020-05-01 12:34:56 2020-04-30 08:00:00 32";

ListOptions DefaultOptions() {
  ListOptions options;
  options.min_blocks = kDefaultMinBlocks;
  options.root_column = 4;
  return options;
}

platform::DateTime At(int year, int month, int day, int hour, int minute, int second) {
  platform::DateTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  return time;
}

// Paths of the same lengths as "C:\Data\" and "C:\Data\Photos\" on a volume mounted
// at "/x".
constexpr std::string_view kSearchPath = "/x/Data/";
constexpr std::string_view kPhotos = "/x/Data/Photos/";

TEST(IdListWriterTest, FileLineMatchesTheWorkedExample) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory(kPhotos);
  EXPECT_EQ(writer.FormatFileLine(content::kChkOk, 701218845, ExampleRecord(), "IMG_0001.JPG"), 0);
  const std::string& line = writer.line();
  EXPECT_EQ(line, "F  07012 18845" + kExampleFixed + " 12+4 | IMG_0001.JPG" + Blanks(45) +
                      "/p 15+0 | 4 /x/Data/Photos/\r\n");
  EXPECT_EQ(line[78], '|');
  EXPECT_EQ(line.substr(137, 2), "/p");
  EXPECT_EQ(line.size(), 164u + 2);
}

TEST(IdListWriterTest, HeaderMatchesTheWorkedExampleAndTakesItsEndStamp) {
  IdListWriter writer(DefaultOptions());
  writer.FormatHeader(RunMode::kCreate, 305441741, "DATA", At(2020, 5, 1, 12, 0, 0), kSearchPath);
  const std::string header = "A1 03054 41741 DATA" + Blanks(11) + "2020-05-01 12:00:00 ";
  const std::string sections = "  5+4 | Data/" + Blanks(52) + "/p  3+0 | 4 /x/";
  EXPECT_EQ(writer.line(), header + "0000-00-00 00:00:00 __" + sections + "\r\n\r\n");
  ASSERT_EQ(writer.end_stamp_offset(), 50u);

  std::string stamped = writer.line();
  const std::string stamp = EndStamp(At(2020, 5, 1, 12, 34, 56), RunState::kFinished, false);
  ASSERT_EQ(stamp.size(), kEndStampWidth);
  stamped.replace(writer.end_stamp_offset(), stamp.size(), stamp);
  EXPECT_EQ(stamped, header + "2020-05-01 12:34:56 F " + sections + "\r\n\r\n");
}

TEST(IdListWriterTest, EndStampShowsStateAndErrors) {
  EXPECT_EQ(EndStamp(At(2021, 12, 31, 23, 59, 9), RunState::kStopped, true),
            "2021-12-31 23:59:09 CE");
  EXPECT_EQ(EndStamp(At(2021, 1, 2, 3, 4, 5), RunState::kRunning, false), "2021-01-02 03:04:05 _ ");
}

TEST(IdListWriterTest, ContinuedHeaderEndsTheOldContentFirst) {
  IdListWriter writer(DefaultOptions());
  writer.FormatHeader(RunMode::kContinue, 0, "", At(2020, 5, 1, 12, 0, 0), kSearchPath);
  EXPECT_EQ(writer.line(), "\r\nA2 00000 00000 " + Blanks(15) +
                               "2020-05-01 12:00:00 0000-00-00 00:00:00 __  5+4 | Data/" +
                               Blanks(52) + "/p  3+0 | 4 /x/\r\n\r\n");
  EXPECT_EQ(writer.end_stamp_offset(), 52u);
  EXPECT_EQ(writer.line().substr(52, 19), "0000-00-00 00:00:00");
}

TEST(IdListWriterTest, LabelIsCutToElevenCharactersAndMovesTheStampByItsBytes) {
  IdListWriter writer(DefaultOptions());
  // 13 characters, the first three of two bytes each; CR and LF become "?".
  writer.FormatHeader(RunMode::kUpdate, 1, "ÄÖÜ\nabcdefghi", At(2020, 5, 1, 12, 0, 0), kSearchPath);
  const std::string& line = writer.line();
  EXPECT_EQ(line.substr(0, 38), "A3 00000 00001 ÄÖÜ?abcdefg    2020-");
  EXPECT_EQ(writer.end_stamp_offset(), 53u);
  EXPECT_EQ(line.substr(53, 22), "0000-00-00 00:00:00 __");
}

TEST(IdListWriterTest, HeaderWithoutRootColumnHasNoSections) {
  ListOptions options = DefaultOptions();
  options.root_column = 0;
  IdListWriter writer(options);
  writer.FormatHeader(RunMode::kCreate, 7, "L", At(1999, 9, 9, 9, 9, 9), "/x/Data/");
  EXPECT_EQ(writer.line(),
            "A1 00000 00007 L" + Blanks(14) + "1999-09-09 09:09:09 0000-00-00 00:00:00 __\r\n\r\n");
}

TEST(IdListWriterTest, DirectoryLineMatchesTheWorkedExample) {
  IdListWriter writer(DefaultOptions());
  writer.FormatDirectoryLine(kPhotos, 4207283160u, 1234574, 2);
  EXPECT_EQ(writer.line(), "R  00 000 000 004 207 283 160" + Blanks(11) + "1 234 574" + Blanks(10) +
                               "2" + Blanks(10) + "16  7+4 | Photos/" + Blanks(50) +
                               "/p  8+0 | 4 /x/Data/\r\n");
}

TEST(IdListWriterTest, TotalsLineFollowsAnEmptyLineAndWritesSumsInFull) {
  IdListWriter writer(DefaultOptions());
  writer.FormatTotalsLine(18446744073709551615u, 1234567890123456u, 1234567890, kSearchPath);
  EXPECT_EQ(writer.line(), "\r\nT  18 446 744 073 709 551 615" +
                               std::string("1234 567 890 123 456") + "1234 567 890" + Blanks(11) +
                               "8  5+4 | Data/" + Blanks(52) + "/p  3+0 | 4 /x/\r\n");
}

TEST(IdListWriterTest, RootSearchPathHasAnEmptyNamePart) {
  ListOptions options = DefaultOptions();
  options.root_column = 2;
  IdListWriter writer(options);
  writer.FormatTotalsLine(0, 0, 0, "/");
  EXPECT_EQ(writer.line(), "\r\nT  00 000 000 000 000 000 000" + Blanks(19) + "0" + Blanks(10) +
                               "0" + Blanks(11) + "8  0+4 | " + Blanks(57) + "/p  1+0 | 2 /\r\n");
  // A search path without its trailing "/" is shown as entered.
  writer.FormatDirectoryLine("/x/Data", 1, 2, 3);
  EXPECT_EQ(writer.line().substr(72), "  4+4 | Data" + Blanks(53) + "/p  3+0 | 2 /x/\r\n");
}

// The name section and the path section after column 72, for names at the block
// boundaries.
struct NameCase {
  size_t length;
  uint16_t min_blocks;
  std::string sections;  // expected from column 73, without the path
};

TEST(IdListWriterTest, NameSectionsGrowByBlocksAtTheirBoundaries) {
  const std::vector<NameCase> cases = {
      {0, 0, "  0+1 | " + Blanks(12)},
      {11, 0, " 11+1 | " + std::string(11, 'n') + " "},
      {12, 0, " 12+2 | " + std::string(12, 'n') + Blanks(15)},
      {26, 0, " 26+2 | " + std::string(26, 'n') + " "},
      {27, 0, " 27+3 | " + std::string(27, 'n') + Blanks(15)},
      {56, 0, " 56+4 | " + std::string(56, 'n') + " "},
      {57, 0, " 57+5 | " + std::string(57, 'n') + Blanks(15)},
      {11, 4, " 11+4 | " + std::string(11, 'n') + Blanks(46)},
      {56, 4, " 56+4 | " + std::string(56, 'n') + " "},
      {57, 4, " 57+5 | " + std::string(57, 'n') + Blanks(15)},
      {146, 0, "146+10| " + std::string(146, 'n') + " "},
      {255, 0, "255+18| " + std::string(255, 'n') + Blanks(12)},
      {5, 1000, "  5+99| nnnnn" + Blanks(99 * 15 - 8)},
  };
  for (const NameCase& c : cases) {
    ListOptions options = DefaultOptions();
    options.min_blocks = c.min_blocks;
    IdListWriter writer(options);
    writer.SetDirectory("/a/");
    writer.FormatFileLine(content::kChkEmpty, 0, ExampleRecord(), std::string(c.length, 'n'));
    EXPECT_EQ(writer.line(), "F  00000 00000" + kExampleFixed + c.sections + "/p  3+0 | 4 /a/\r\n")
        << c.length << " characters, minimum " << c.min_blocks;
  }
}

TEST(IdListWriterTest, HexOptionsWriteLengthsAndCountsInHex) {
  ListOptions options = DefaultOptions();
  options.min_blocks = 0;
  options.hex_file = true;
  IdListWriter writer(options);
  writer.SetDirectory("/abcdefghijklmnopqrstuvwx/");
  const std::string name(31, 'h');
  writer.FormatFileLine(content::kChkOk, 0, ExampleRecord(), name);
  EXPECT_EQ(writer.line().substr(72),
            " 1F$3 | " + name + Blanks(11) + "/p 26+0 | 4 /abcdefghijklmnopqrstuvwx/\r\n");

  options.hex_file = false;
  options.hex_path = true;
  IdListWriter path_writer(options);
  path_writer.SetDirectory("/abcdefghijklmnopqrstuvwx/");
  path_writer.FormatFileLine(content::kChkOk, 0, ExampleRecord(), name);
  EXPECT_EQ(path_writer.line().substr(72),
            " 31+3 | " + name + Blanks(11) + "/p 1A$0 | 4 /abcdefghijklmnopqrstuvwx/\r\n");

  options.hex_file = true;
  options.min_blocks = 0;
  IdListWriter both(options);
  both.SetDirectory("/");
  both.FormatFileLine(content::kChkOk, 0, ExampleRecord(), std::string(255, 'h'));
  EXPECT_EQ(both.line().substr(72, 8), " FF$12| ");
  EXPECT_EQ(both.line().substr(72 + 6 + 18 * 15 - 1), "/p  1$0 | 4 /\r\n");
}

TEST(IdListWriterTest, MultiByteNamesCountCharacters) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/Öl/");
  writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "Äpfel.txt");
  EXPECT_EQ(writer.line(), "F  00000 00001" + kExampleFixed + "  9+4 | Äpfel.txt" + Blanks(48) +
                               "/p  6+0 | 4 /x/Öl/\r\n");
  // 12 characters of three bytes each take two blocks like any 12 characters.
  const std::string wide = "日本語日本語日本語日本語";
  ListOptions options = DefaultOptions();
  options.min_blocks = 0;
  IdListWriter small(options);
  small.SetDirectory("/");
  small.FormatFileLine(content::kChkOk, 1, ExampleRecord(), wide);
  EXPECT_EQ(small.line().substr(72), " 12+2 | " + wide + Blanks(15) + "/p  1+0 | 4 /\r\n");
  // An invalid byte is one character.
  small.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "a\xC9z");
  EXPECT_EQ(small.line().substr(72), "  3+1 | a\xC9z" + Blanks(9) + "/p  1+0 | 4 /\r\n");
}

TEST(IdListWriterTest, LineBreaksInNamesAndDirectoriesBecomeQuestionMarksAndCount) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  EXPECT_EQ(writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "a\r\nb"), 1);
  EXPECT_EQ(writer.line().substr(72), "  4+4 | a??b" + Blanks(53) + "/p  3+0 | 4 /x/\r\n");
  EXPECT_EQ(writer.FormatFileLine(content::kChkOpenFailed, 0, ExampleRecord(), "c\n"), 2);
  EXPECT_EQ(writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "plain"), 0);

  writer.SetDirectory("/x/new\nline/");
  EXPECT_EQ(writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "plain"), 1);
  EXPECT_EQ(writer.line().substr(72),
            "  5+4 | plain" + Blanks(52) + "/p 12+0 | 4 /x/new?line/\r\n");
  EXPECT_EQ(writer.directory(), "/x/new\nline/");

  writer.FormatDirectoryLine("/x/new\nline/", 0, 0, 0);
  EXPECT_EQ(writer.line().substr(72), "  9+4 | new?line/" + Blanks(48) + "/p  3+0 | 4 /x/\r\n");
}

TEST(IdListWriterTest, IdFieldFollowsEveryResultCode) {
  struct CodeCase {
    uint8_t code;
    std::string id_field;
    int errors;
  };
  const std::vector<CodeCase> cases = {
      {content::kChkOk, "F  35060 64315", 0},
      {content::kChkEmpty, "F  00000 00000", 0},
      {content::kChkOpenFailed, "F  !CannotOpen", 1},
      {content::kChkBufferSizeFailed, "F  !Allocation", 1},
      {content::kChkNoBuffer, "F  !Allocation", 1},
      {content::kChkReadError, "F  %IO000 001 ", 1},
      {77, "F  %IO000 077 ", 1},
  };
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  for (const CodeCase& c : cases) {
    EXPECT_EQ(writer.FormatFileLine(c.code, 3506064315u, ExampleRecord(), "f"), c.errors);
    EXPECT_EQ(writer.line(),
              c.id_field + kExampleFixed + "  1+4 | f" + Blanks(56) + "/p  3+0 | 4 /x/\r\n")
        << int{c.code};
  }
}

TEST(IdListWriterTest, VanishedFileLeavesTheFixedPartBlank) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  support::FindData unset;
  EXPECT_EQ(writer.FormatFileLine(content::kChkNotFound, 0, unset, "gone.txt"), 1);
  EXPECT_EQ(writer.line(), "F  !CannotFind" + Blanks(58) + "  8+4 | gone.txt" + Blanks(49) +
                               "/p  3+0 | 4 /x/\r\n");
  EXPECT_EQ(writer.line()[78], '|');
}

TEST(IdListWriterTest, ShortFilesShowTheirBytesInHex) {
  TempTree tree;
  tree.File("abc", "abc");
  tree.File("one", "\x01");
  tree.File("five", std::string("\x00\xff\x10\x7f\x80", 5));
  const std::string dir = tree.root();
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory(dir);
  support::FindData record = ExampleRecord();
  record.size = 3;
  EXPECT_EQ(writer.FormatFileLine(content::kChkTooShort, 0, record, "abc"), 0);
  EXPECT_EQ(writer.line().substr(0, 29), "F  $616263" + Blanks(18) + "3");
  EXPECT_EQ(writer.FormatFileLine(content::kChkTooShort, 0, record, "one"), 0);
  EXPECT_EQ(writer.line().substr(0, 14), "F  $01        ");
  EXPECT_EQ(writer.FormatFileLine(content::kChkTooShort, 0, record, "five"), 0);
  EXPECT_EQ(writer.line().substr(0, 14), "F  $00FF107F80");
  EXPECT_EQ(writer.line()[78], '|');
  // Gone by the time it is read again.
  EXPECT_EQ(writer.FormatFileLine(content::kChkTooShort, 0, record, "missing"), 1);
  EXPECT_EQ(writer.line().substr(0, 14), "F  !CannotOpen");
  // A directory by that name is not opened either.
  tree.Dir("sub");
  EXPECT_EQ(writer.FormatFileLine(content::kChkTooShort, 0, record, "sub"), 1);
  EXPECT_EQ(writer.line().substr(0, 14), "F  !CannotOpen");
}

TEST(IdListWriterTest, TerabyteSizesWidenTheSizeField) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  support::FindData record = ExampleRecord();
  record.size = 1000000000000;
  writer.FormatFileLine(content::kChkOk, 5, record, "big");
  EXPECT_EQ(writer.line(),
            "F  00000 000051000 000 000 000 2020-05-01 12:34:56 2020-04-30 08:00:00 32  3+4 | big" +
                Blanks(54) + "/p  3+0 | 4 /x/\r\n");
  record.size = 999999999999;
  writer.FormatFileLine(content::kChkOk, 5, record, "big");
  EXPECT_EQ(writer.line().substr(14, 15), "999 999 999 999");
}

TEST(IdListWriterTest, AttributesAboveNineHundredNinetyNineKeepTheirLowBits) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  support::FindData record = ExampleRecord();
  const std::vector<std::pair<uint32_t, std::string>> cases = {
      {128, "08:00:00128  1+4"},     {2080, "08:00:00 32  1+4"}, {0x2020, "08:00:00 32  1+4"},
      {0x10021, "08:00:00 33  1+4"}, {999, "08:00:00999  1+4"},  {0, "08:00:00  0  1+4"},
  };
  for (const auto& [attributes, expected] : cases) {
    record.attributes = attributes;
    writer.FormatFileLine(content::kChkOk, 1, record, "f");
    EXPECT_EQ(writer.line().substr(61, 16), expected) << attributes;
  }
}

TEST(IdListWriterTest, TimesThatCannotBeShownStayBlank) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  support::FindData record = ExampleRecord();
  record.last_write_time = 0;
  record.creation_time = 0xFFFFFFFFFFFFFFFFULL;
  writer.FormatFileLine(content::kChkOk, 1, record, "f");
  EXPECT_EQ(writer.line().substr(29, 50), " 1601-01-01 00:00:00 " + Blanks(19) + " 32  1+4 |");
}

TEST(IdListWriterTest, FileTimesReadLikeTheToolkitsForm0) {
  for (uint64_t time : {uint64_t{0}, FileTimeOf(0), FileTimeOf(951782400), FileTimeOf(1588336496),
                        FileTimeOf(4102444799), FileTimeOf(253402300799)}) {
    std::string text;
    AppendFileTime(&text, time);
    EXPECT_EQ(text, support::FileTimeTextSx(time, 0));
  }
}

TEST(IdListWriterTest, RootColumnsOfThreeDigitsAndUnknownRoots) {
  ListOptions options = DefaultOptions();
  options.root_column = 104;
  IdListWriter writer(options);
  writer.SetDirectory("/x/");
  writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "f");
  EXPECT_EQ(writer.line().substr(137), "/p  3+0 |104 /x/\r\n");
  options.root_column = 0;
  IdListWriter unknown(options);
  unknown.SetDirectory("/x/");
  unknown.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "f");
  EXPECT_EQ(unknown.line().substr(137), "/p  3+0 |   /x/\r\n");
}

TEST(LowBitsSumTest, StopsBeforeTheFirstBitThatWouldPassTheLimit) {
  EXPECT_EQ(LowBitsSumSx(0x2020, 999), 32u);
  EXPECT_EQ(LowBitsSumSx(2080, 999), 32u);
  EXPECT_EQ(LowBitsSumSx(1000, 999), 488u);
  EXPECT_EQ(LowBitsSumSx(999, 999), 999u);
  EXPECT_EQ(LowBitsSumSx(128, 999), 128u);
  EXPECT_EQ(LowBitsSumSx(0, 0), 0u);
  EXPECT_EQ(LowBitsSumSx(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(LowBitsSumSx(0xFFFFFFFF, 0xFFFFFFFE), 0x7FFFFFFFu);
  EXPECT_EQ(LowBitsSumSx(0x80000001, 5), 1u);
}

TEST(ListPathTest, SplitsAtTheLastSlashBeforeTheEnd) {
  const std::vector<std::array<std::string_view, 3>> cases = {
      {"/data/", "/", "data/"}, {"/", "/", ""}, {"/a/b", "/a/", "b"}, {"/a/b/c/", "/a/b/", "c/"},
      {"//", "/", "/"},         {"", "", ""},   {"abc", "abc", ""},   {"a/b", "a/", "b"},
  };
  for (const auto& c : cases) {
    std::string_view dir;
    std::string_view name;
    SplitListPath(c[0], &dir, &name);
    EXPECT_EQ(dir, c[1]) << c[0];
    EXPECT_EQ(name, c[2]) << c[0];
  }
}

TEST(TreeListTest, OneDirectoryPerLineWithLineBreaksReplaced) {
  support::StringList dirs;
  dirs.Add("/x/Data/");
  dirs.Add("/x/Data/a\rb\nc/");
  dirs.Add("/x/Data/Ölf/");
  EXPECT_EQ(TreeListText(dirs), "/x/Data/\r\n/x/Data/a?b?c/\r\n/x/Data/Ölf/\r\n");
  EXPECT_EQ(TreeListText(support::StringList()), "");

  TempTree tree;
  const std::string path = tree.Path("list.t00");
  ASSERT_TRUE(SaveTreeList(dirs, path));
  EXPECT_EQ(TempTree::Read(path), TreeListText(dirs));
  EXPECT_FALSE(SaveTreeList(dirs, tree.Path("missing/list.t00")));
}

// Reading.

TEST(FileLineReaderTest, ReadsTheWorkedExample) {
  const std::string line = "F  07012 18845" + kExampleFixed + " 12+4 | IMG_0001.JPG" + Blanks(45) +
                           "/p 15+0 | 4 C:\\Data\\Photos\\";
  FileLineFields fields;
  ASSERT_TRUE(ReadFileLine(line, &fields));
  EXPECT_EQ(fields.id_field, "F  07012 18845");
  EXPECT_EQ(fields.name, "IMG_0001.JPG");
  EXPECT_EQ(fields.directory, "C:\\Data\\Photos\\");
  std::string path;
  ASSERT_TRUE(FileLinePath(line + "   \r", &path));
  EXPECT_EQ(path, "C:\\Data\\Photos\\IMG_0001.JPG");
}

TEST(FileLineReaderTest, RoundTripsEveryResultCodeAndOption) {
  TempTree tree;
  tree.File("abc", "abc");
  const std::vector<uint8_t> codes = {content::kChkOk,         content::kChkReadError,
                                      content::kChkOpenFailed, content::kChkBufferSizeFailed,
                                      content::kChkNoBuffer,   content::kChkTooShort,
                                      content::kChkEmpty,      content::kChkNotFound};
  const std::vector<std::string> names = {"abc",
                                          "",
                                          "IMG_0001.JPG",
                                          std::string(56, 'x'),
                                          std::string(57, 'y'),
                                          "Äpfel.txt",
                                          " blank at both ends ",
                                          "a|b /p +0 |",
                                          std::string(255, 'z')};
  for (int flags = 0; flags < 8; ++flags) {
    ListOptions options;
    options.hex_file = (flags & 1) != 0;
    options.hex_path = (flags & 2) != 0;
    options.min_blocks = (flags & 4) != 0 ? kDefaultMinBlocks : 0;
    options.root_column = flags == 7 ? 123 : 5;
    IdListWriter writer(options);
    for (const std::string& dir : {tree.root(), std::string("/"), std::string("/a b/ü/")}) {
      writer.SetDirectory(dir);
      for (uint8_t code : codes) {
        for (const std::string& name : names) {
          writer.FormatFileLine(code, 12345, ExampleRecord(), name);
          std::string line = writer.line();
          ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
          line.resize(line.size() - 2);
          std::string path;
          ASSERT_TRUE(FileLinePath(line, &path)) << line;
          EXPECT_EQ(path, dir + name) << line;
        }
      }
    }
  }
}

TEST(FileLineReaderTest, ReadsLinesWithAWidenedSizeOrPathLength) {
  IdListWriter writer(DefaultOptions());
  const std::string dir = "/" + std::string(1200, 'd') + "/";
  writer.SetDirectory(dir);
  support::FindData record = ExampleRecord();
  record.size = 18446744073709551615u;
  writer.FormatFileLine(content::kChkOk, 5, record, "huge");
  std::string path;
  ASSERT_TRUE(FileLinePath(writer.line(), &path));
  EXPECT_EQ(path, dir + "huge");
}

TEST(FileLineReaderTest, SkipsLinesThatAreNotFileLinesWithANameSection) {
  const std::string good = "F  07012 18845" + kExampleFixed + " 12+4 | IMG_0001.JPG" + Blanks(45) +
                           "/p 15+0 | 4 /x/Data/Photos/";
  std::string path;
  ASSERT_TRUE(FileLinePath(good, &path));
  std::vector<std::string> bad = {
      "",
      "F",
      "A1 03054 41741 DATA",
      "R" + good.substr(1),
      " " + good,
      good.substr(0, 78),                                   // no bar
      good.substr(0, 75) + "   " + good.substr(78),         // empty block count
      good.substr(0, 75) + "+0 " + good.substr(78),         // zero blocks
      good.substr(0, 75) + "-4 " + good.substr(78),         // negative
      good.substr(0, 75) + "$ZZ" + good.substr(78),         // no number
      good.substr(0, 75) + "4x " + good.substr(78),         // trailing junk
      good.substr(0, 75) + "+99" + good.substr(78),         // runs past the line
      good.substr(0, 137),                                  // cut before "/p"
      good.substr(0, 138),                                  // "/" only
      good.substr(0, 137) + "/x 15+0 | 4 /x/Data/Photos/",  // not a path section
      good.substr(0, 137) + "/p 15+0 | 4 ",                 // no directory
      good.substr(0, 137) + "/q 15+0 | 4 /x/",              // kind q, count 0
      good.substr(0, 137) + "/q 15$Z | 4 /x/",              // kind q, bad count
      good.substr(0, 137) + "/q 15+2 | 4 /x/",              // kind q, past the end
      std::string(200, '\0'),
      "F" + std::string(300, '|'),
      "Some other program's line | with bars | and /p in it",
  };
  for (const std::string& line : bad) {
    EXPECT_FALSE(FileLinePath(line, &path)) << line;
  }
}

TEST(FileLineReaderTest, FollowsOtherSectionsToThePathSection) {
  const std::string head = "F  07012 18845" + kExampleFixed + "  4+1 | name" + Blanks(8);
  std::string path;
  // A section of two blocks (29 characters), then the path section.
  const std::string other = "/c 10+2 | comment" + Blanks(12);
  ASSERT_TRUE(FileLinePath(head + other + "/P  3+0 | 4 /x/", &path));
  EXPECT_EQ(path, "/x/name");
  // Hex block count in another section.
  ASSERT_TRUE(FileLinePath(head + "/c 10$2 | comment" + Blanks(12) + "/p  3+0 | 4 /x/", &path));
  EXPECT_EQ(path, "/x/name");
  // NUL bytes inside the name and the path are kept as they are.
  const std::string nul_name = std::string("F  07012 18845") + kExampleFixed + "  4+1 | a" +
                               std::string(1, '\0') + "bc" + Blanks(8) + "/p  3+0 | 4 /" +
                               std::string(1, '\0') + "/";
  ASSERT_TRUE(FileLinePath(nul_name, &path));
  EXPECT_EQ(path, std::string("/\0/a\0bc", 7));
}

TEST(FileLineReaderTest, NameLengthKeepsBlanksThatEndAName) {
  const std::string line =
      "F  07012 18845" + kExampleFixed + "  3+1 | ab " + Blanks(9) + "/p  3+0 | 4 /x/";
  std::string path;
  ASSERT_TRUE(FileLinePath(line, &path));
  EXPECT_EQ(path, "/x/ab ");
  // A length that disagrees with the name falls back to dropping the blanks.
  const std::string wrong =
      "F  07012 18845" + kExampleFixed + "  1+1 | ab " + Blanks(9) + "/p  3+0 | 4 /x/";
  ASSERT_TRUE(FileLinePath(wrong, &path));
  EXPECT_EQ(path, "/x/ab");
}

TEST(DoneListTest, CollectsTheFullPathOfEveryFileLine) {
  IdListWriter writer(DefaultOptions());
  std::string text;
  writer.FormatHeader(RunMode::kCreate, 1, "L", At(2020, 1, 1, 0, 0, 0), kSearchPath);
  text += writer.line();
  writer.SetDirectory("/x/Data/");
  writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "a.txt");
  text += writer.line();
  writer.FormatFileLine(content::kChkNotFound, 0, ExampleRecord(), "gone");
  text += writer.line();
  writer.FormatDirectoryLine("/x/Data/", 1, 2, 2);
  text += writer.line() + "\r\n";
  writer.SetDirectory("/x/Data/Photos/");
  writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), "b.jpg");
  text += writer.line();
  writer.FormatDirectoryLine("/x/Data/Photos/", 1, 1, 1);
  text += writer.line();
  writer.FormatTotalsLine(3, 3, 3, kSearchPath);
  text += writer.line();
  text += "garbage\nF  with LF only | ";
  text += std::string(5000, '\0');

  support::StringList done;
  EXPECT_EQ(ReadDoneList(text, &done), 3);
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[0], "/x/Data/a.txt");
  EXPECT_EQ(done[1], "/x/Data/gone");
  EXPECT_EQ(done[2], "/x/Data/Photos/b.jpg");

  support::StringList lines;
  lines.SetText(text);
  support::StringList from_lines;
  EXPECT_EQ(ReadDoneList(lines, &from_lines), 3);
  EXPECT_EQ(from_lines.items(), done.items());

  support::StringList none;
  EXPECT_EQ(ReadDoneList(std::string_view(), &none), 0);
  EXPECT_EQ(ReadDoneList(std::string(64, '\0'), &none), 0);
  EXPECT_TRUE(none.empty());
}

TEST(DoneListTest, LinesEndingInLfOrCrAloneAreReadToo) {
  IdListWriter writer(DefaultOptions());
  writer.SetDirectory("/x/");
  std::string text;
  for (const char* name : {"one", "two", "three"}) {
    writer.FormatFileLine(content::kChkOk, 1, ExampleRecord(), name);
    std::string line = writer.line();
    line.resize(line.size() - 2);
    text += line + (std::string(name) == "two" ? "\r" : "\n");
  }
  support::StringList done;
  EXPECT_EQ(ReadDoneList(text, &done), 3);
  EXPECT_EQ(done[2], "/x/three");
}

}  // namespace
}  // namespace lists
