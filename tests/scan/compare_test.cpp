// Comparing two id lists: matching below the search paths, paths a list cannot tell
// apart, and what the problems of a verify's own scan make of the verdicts.

#include "scan/compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "scan/content_id.h"
#include "scan/list_format.h"
#include "support/find_data.h"

namespace {

constexpr uint64_t kFileTime = 132328100960000000ULL;   // 2020-05-01 12:34:56 UTC
constexpr uint64_t kLaterTime = 132328136960000000ULL;  // an hour later

// One file line: its full path (as on disk: CR and LF stay), size, id and result code.
struct Listed {
  std::string path;
  uint64_t size = 100;
  uint32_t id = 701218845;
  uint8_t code = kChkOk;
  uint64_t write_time = kFileTime;
};

// A finished run of `root` (empty: a header without a search path) listing `files`;
// `mode` kContinue appends it to an earlier run.
std::string RunText(const std::string& root, const std::vector<Listed>& files,
                    scan::RunMode mode = scan::RunMode::kCreate) {
  scan::ListOptions options;
  options.min_blocks = 4;
  options.root_column = root.empty() ? 0 : 2;
  scan::IdListWriter writer(options);
  writer.FormatHeader(mode, 1, "LABEL", platform::DateTime{2020, 5, 1, 12, 0, 0, 0}, root);
  std::string text = writer.line();
  text.replace(writer.end_stamp_offset(), scan::kEndStampWidth,
               scan::EndStamp(platform::DateTime{2020, 5, 1, 13, 0, 0, 0},
                              scan::RunState::kFinished, false));
  for (const Listed& file : files) {
    const size_t slash = file.path.rfind('/');
    writer.SetDirectory(file.path.substr(0, slash + 1));
    support::FindData data;
    data.attributes = 32;
    data.size = file.size;
    data.last_write_time = file.write_time;
    data.creation_time = kFileTime;
    writer.FormatFileLine(file.code, file.id, data, file.path.substr(slash + 1));
    text += writer.line();
  }
  return text;
}

scan::IdList Parse(const std::string& text) {
  auto bytes = std::make_unique<char[]>(text.size());
  std::memcpy(bytes.get(), text.data(), text.size());
  scan::IdList list;
  scan::ListReadError error;
  EXPECT_TRUE(scan::ParseIdList(std::move(bytes), text.size(), &list, &error))
      << error.line << ": " << error.message;
  return list;
}

// "class path" for every file the comparison lists, and the counts by class.
std::vector<std::string> Report(const scan::IdList& old_list, const scan::IdList& new_list,
                                const scan::CompareOptions& options) {
  const scan::ListComparison comparison = scan::CompareIdLists(old_list, new_list, options);
  std::vector<std::string> lines;
  for (const scan::FileComparison& entry : comparison.files) {
    std::string line(scan::FileChangeName(entry.change));
    line += " ";
    line += entry.old_file != nullptr
                ? scan::ReportedPath(comparison, old_list, *entry.old_file, true)
                : scan::ReportedPath(comparison, new_list, *entry.new_file, false);
    if (entry.change == scan::FileChange::kMoved) {
      line += " -> " + scan::ReportedPath(comparison, new_list, *entry.new_file, false);
    }
    lines.push_back(line);
  }
  uint64_t listed = 0;
  for (size_t k = 1; k < scan::kFileChangeCount; ++k) listed += comparison.totals.files[k];
  EXPECT_EQ(listed + (options.keep_unchanged ? comparison.totals.files[0] : 0),
            comparison.files.size());
  return lines;
}

TEST(CompareTest, ProblemsOfTheNewScanDecideWhatItCannotVouchFor) {
  const Listed in_dir = {"/t/d\ry/in", 700, 777777777};
  const std::vector<Listed> old_files = {
      in_dir,
      {"/t/edited", 100, 1111111111},
      {"/t/gone/a", 200, 2222222222},
      {"/t/gone/deeper/b", 300, 333333333},
      {"/t/locked", 400, 444444444},
      {"/t/r\nx", 500, 555555555},
      {"/t/same", 600, 666666666},
  };
  struct Case {
    const char* what;
    std::vector<Listed> new_files;
    std::vector<ScanProblem> problems;
    std::vector<std::string> expected;
  };
  const Listed edited_shrunk = {"/t/edited", 100, 0};  // id 0: it shrank while read
  const Listed edited_vanished = {"/t/edited", 0, 0, kChkNotFound, 0};
  const Listed locked = {"/t/locked", 400, 0, kChkOpenFailed};
  const Listed rx = {"/t/r\nx", 500, 555555555};
  const Listed same = {"/t/same", 600, 666666666};
  const ScanProblem changed = {"/t/edited", kChangedWhileRead, ProblemKind::kChanged};
  const ScanProblem gone_dir = {"/t/gone/", "Permission denied", ProblemKind::kDirectory};
  const ScanProblem unlistable = {"/t/r\nx", "a line break in the name", ProblemKind::kUnlistable};
  const ScanProblem unreadable = {"/t/locked", "Permission denied", ProblemKind::kUnreadable};
  const Case cases[] = {
      {"without problems the lines speak alone",
       {in_dir, edited_shrunk, locked, rx, same},
       {},
       {"corrupted /t/edited", "missing /t/gone/a", "missing /t/gone/deeper/b",
        "unreadable /t/locked"}},
      {"every problem",
       {in_dir, edited_shrunk, locked, rx, same, {"/t/zz", 9, 9}},
       {changed,
        gone_dir,
        unlistable,
        unreadable,
        {"/t/zz", kChangedWhileRead, ProblemKind::kChanged}},
       {"changed /t/edited", "unreadable /t/gone/a", "unreadable /t/gone/deeper/b",
        "unreadable /t/locked", "not comparable /t/r?x", "new /t/zz"}},
      {"vanished between the walk and the open",
       {in_dir, edited_vanished, locked, rx, same},
       {changed},
       {"changed /t/edited", "missing /t/gone/a", "missing /t/gone/deeper/b",
        "unreadable /t/locked"}},
      {"a directory named with a line break, and a name gone from the new list",
       {in_dir, edited_shrunk, locked, same},
       {{"/t/d\ry/", "a line break in the name", ProblemKind::kUnlistable}, unlistable},
       {"not comparable /t/d?y/in", "corrupted /t/edited", "missing /t/gone/a",
        "missing /t/gone/deeper/b", "unreadable /t/locked", "not comparable /t/r?x"}},
      {"below the directory only",
       {in_dir, edited_shrunk, {"/t/gone/a", 200, 2222222222}, locked, rx, same},
       {{"/t/gone/deeper/", "Permission denied", ProblemKind::kDirectory}},
       {"corrupted /t/edited", "unreadable /t/gone/deeper/b", "unreadable /t/locked"}},
  };
  const scan::IdList old_list = Parse(RunText("/t", old_files));
  for (const Case& one : cases) {
    SCOPED_TRACE(one.what);
    const scan::IdList new_list = Parse(RunText("/t", one.new_files));
    scan::CompareOptions options;
    options.new_problems = &one.problems;
    EXPECT_EQ(Report(old_list, new_list, options), one.expected);
  }
}

TEST(CompareTest, RelativeMatchesTheSameTreeUnderAnotherSearchPath) {
  const std::vector<Listed> files = {
      {"/media/a/Photos/one", 100, 1},
      {"/media/a/Photos/2020/two", 200, 2},
      {"/media/a/Photos/2020/rot", 300, 3},
  };
  std::vector<Listed> copy;
  for (Listed file : files) {
    file.path.replace(0, std::strlen("/media/a"), "/mnt/usb2");
    copy.push_back(file);
  }
  copy[2].id = 4;                            // rotted on the copy
  copy.push_back({"/elsewhere/odd", 7, 7});  // outside the search path
  const scan::IdList old_list = Parse(RunText("/media/a/Photos", files));
  const scan::IdList new_list = Parse(RunText("/mnt/usb2/Photos/", copy));

  scan::CompareOptions options;
  options.relative = true;
  EXPECT_EQ(
      Report(old_list, new_list, options),
      (std::vector<std::string>{"new /elsewhere/odd", "corrupted /mnt/usb2/Photos/2020/rot"}));
  options.keep_unchanged = true;
  EXPECT_EQ(Report(old_list, new_list, options).size(), 4u);

  // Whole paths: every file is gone from one place and came to another.
  options = {};
  const std::vector<std::string> whole = Report(old_list, new_list, options);
  EXPECT_EQ(whole.front(), "new /elsewhere/odd");
  EXPECT_EQ(whole[1], "missing /media/a/Photos/2020/rot");
  EXPECT_EQ(whole.back(), "new /mnt/usb2/Photos/2020/rot");

  // A list without a search path is matched whole.
  options.relative = true;
  const scan::IdList rootless = Parse(RunText("", copy));
  EXPECT_EQ(Report(old_list, rootless, options).front(), "new /elsewhere/odd");
  EXPECT_EQ(Report(old_list, rootless, options).size(), whole.size());
}

TEST(CompareTest, PathListedTwiceInOneRunIsNeverUnchanged) {
  // "r<LF>x" and "r?x" both stand as "r?x": the run lists one path twice.
  const std::vector<Listed> files = {{"/t/a", 100, 1}, {"/t/r\nx", 200, 2}, {"/t/r?x", 300, 3}};
  const scan::IdList twice = Parse(RunText("/t", files));
  ASSERT_EQ(twice.ambiguous(), 1u);
  scan::CompareOptions options;
  EXPECT_EQ(Report(twice, twice, options), (std::vector<std::string>{"not comparable /t/r?x"}));

  // Against a list that names it once, either way round; never moved either.
  const scan::IdList once = Parse(RunText("/t", {{"/t/a", 100, 1}, {"/t/r?x", 200, 2}}));
  EXPECT_EQ(Report(once, twice, options), (std::vector<std::string>{"not comparable /t/r?x"}));
  EXPECT_EQ(Report(twice, once, options), (std::vector<std::string>{"not comparable /t/r?x"}));
  const scan::IdList without = Parse(RunText("/t", {{"/t/a", 100, 1}, {"/t/b", 300, 3}}));
  EXPECT_EQ(Report(twice, without, options),
            (std::vector<std::string>{"new /t/b", "not comparable /t/r?x"}));

  // A later run that lists the path again (a Continue) is no collision.
  const scan::IdList continued =
      Parse(RunText("/t", {{"/t/a", 100, 1}, {"/t/r?x", 200, 2}}) +
            RunText("/t", {{"/t/r?x", 200, 2, kChkOk, kLaterTime}}, scan::RunMode::kContinue));
  EXPECT_EQ(continued.ambiguous(), 0u);
  EXPECT_EQ(continued.repeated(), 1u);
  EXPECT_EQ(Report(once, continued, options), (std::vector<std::string>{"touched /t/r?x"}));
}

}  // namespace
