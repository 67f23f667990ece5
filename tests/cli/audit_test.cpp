// checker-cli compare and verify on real trees: scan, change the tree, then look.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_report.h"
#include "cli/audit_fixture.h"
#include "platform/paths.h"

namespace audit_tests {
namespace {

using testing_support::Native;

// Every class of the table, from real changes to a real tree; verify and compare agree.
TEST_F(AuditTest, VerifyAndCompareTellEveryChange) {
  Data("same.txt", "stays as it is");
  Data("touch.txt", "only its time changes");
  Data("edit.txt", "an ordinary edit");
  Data("rot.bin", "0123456789abcdef");
  Data("old/photo.jpg", "a photo that is moved");
  Data("gone.txt", "deleted later");
  Data("empty0", "");
  for (int i = 1; i <= 3; ++i) Data("copies/c" + std::to_string(i), "one of several copies");
  const std::string old_list = Out("old.v00");
  ASSERT_EQ(Scan(old_list).exit_code, 0);
  const std::string listed = TempTree::Read(old_list);

  SetWriteTime(data_ + "touch.txt", kLaterTime);
  Data("edit.txt", "an ordinary edit, longer now", kLaterTime);
  cli_tests::Rot(data_ + "rot.bin", "0123456789abcdeX");
  std::filesystem::create_directories(data_ + "new");
  std::filesystem::rename(data_ + "old/photo.jpg", data_ + "new/photo.jpg");
  std::filesystem::remove(data_ + "gone.txt");
  std::filesystem::rename(data_ + "empty0", data_ + "empty1");
  for (int i = 1; i <= 3; ++i) {
    std::filesystem::rename(data_ + "copies/c" + std::to_string(i),
                            data_ + "copies/d" + std::to_string(i));
  }
  Data("added.txt", "a new file");

  const std::string d = data_;
  const std::string expected_out =
      "new            " + d +
      "added.txt\n"
      "missing        " +
      d + Native("copies/c1\n") + "missing        " + d + Native("copies/c2\n") +
      "missing        " + d + Native("copies/c3\n") + "new            " + d +
      Native("copies/d1\n") + "new            " + d + Native("copies/d2\n") + "new            " +
      d + Native("copies/d3\n") + "changed        " + d +
      "edit.txt\n"
      "missing        " +
      d +
      "empty0\n"
      "new            " +
      d +
      "empty1\n"
      "missing        " +
      d +
      "gone.txt\n"
      "moved          " +
      d + Native("old/photo.jpg") + " -> " + d + Native("new/photo.jpg\n") + "corrupted      " + d +
      "rot.bin\n"
      "touched        " +
      d + "touch.txt\n";
  const std::string expected_err =
      "unchanged                1 files                        14 bytes\n"
      "touched                  1 files                        21 bytes\n"
      "changed                  1 files                        28 bytes\n"
      "corrupted                1 files                        16 bytes\n"
      "unreadable               0 files                         0 bytes\n"
      "moved                    1 files                        21 bytes\n"
      "missing                  5 files                        76 bytes\n"
      "new                      5 files                        73 bytes\n"
      "not listed               0 files                         0 bytes\n"
      "not comparable           0 files                         0 bytes\n";

  const std::string new_list = Out("new.v00");
  const CommandResult verified = Cli({"verify", "--quiet", "--interval", "0", "--write", new_list,
                                      old_list});
  EXPECT_EQ(verified.exit_code, 3) << verified.err;
  EXPECT_EQ(verified.out, expected_out);
  EXPECT_EQ(verified.err, expected_err);
  EXPECT_EQ(TempTree::Read(old_list), listed);
  EXPECT_TRUE(std::filesystem::exists(Out("new.t00")));

  const CommandResult compared = Cli({"compare", old_list, new_list});
  EXPECT_EQ(compared.exit_code, 3) << compared.err;
  EXPECT_EQ(compared.out, expected_out);
  EXPECT_EQ(compared.err, expected_err);

  // --all adds the unchanged file in its place.
  const CommandResult all = Cli({"compare", "--all", old_list, new_list});
  std::string with_unchanged = expected_out;
  const std::string before = "touched        " + d + "touch.txt\n";
  with_unchanged.insert(with_unchanged.find(before), "unchanged      " + d + "same.txt\n");
  EXPECT_EQ(all.out, with_unchanged);

  // The list against itself: nothing to say.
  const CommandResult same = Cli({"compare", new_list, new_list});
  EXPECT_EQ(same.exit_code, 0);
  EXPECT_EQ(same.out, "");
}

TEST_F(AuditTest, DifferencesWithoutDamageGiveStatusOne) {
  Data("a.txt", "first");
  Data("b.txt", "second");
  const std::string old_list = Out("old.v00");
  ASSERT_EQ(Scan(old_list).exit_code, 0);
  SetWriteTime(data_ + "a.txt", kLaterTime);
  // Without --write the new lists go to a temp folder that is removed again.
  const std::string temp = tree_.Dir("tmp");
  std::vector<std::string> env = env_;
  env.push_back("TMPDIR=" + temp);
  SyncData();
  const CommandResult result = testing_support::RunCommand(
      CHECKER_CLI_PATH, {"verify", "--quiet", "--interval", "0", old_list}, env);
  EXPECT_EQ(result.exit_code, 1) << result.err;
  EXPECT_EQ(result.out, "touched        " + data_ + "a.txt\n");
  EXPECT_TRUE(std::filesystem::is_empty(temp));
}

// A path listed twice counts once, by its last line.
TEST_F(AuditTest, RepeatedPathCountsItsLastLine) {
  Data("a.txt", "first");
  const std::string list = Out("old.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  std::vector<std::string> lines = testing_support::ListLines(TempTree::Read(list));
  ASSERT_EQ(lines[2].substr(0, 3), "F  ");
  // A second run that lists the same file again with another id.
  std::string again = lines[2];
  again.replace(3, 11, "12345 67890");
  std::string header = lines[0];
  header[1] = '2';
  const std::string twice = Out("twice.v00");
  std::ofstream(twice, std::ios::binary) << TempTree::Read(list) << "\r\n"
                                         << header << "\r\n\r\n"
                                         << again << "\r\n";
  const CommandResult result = Cli({"compare", list, twice});
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.out, "corrupted      " + data_ + "a.txt\n");
  EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1),
            "checker-cli: warning: " + twice +
                " lists 1 paths more than once; the last line of each counts\n");
}

// JSON lines escape every byte a name may hold.
TEST_F(AuditTest, JsonLinesEscapeAnyByte) {
  Data("keep", "kept");
  const std::string list = Out("old.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  Data("b\xC9\"q\\\x01\xC3\xA4.txt", "odd name", kBaseTime);
  const std::string new_list = Out("new.v00");
  ASSERT_EQ(Scan(new_list).exit_code, 0);
  const CommandResult result = Cli({"compare", "--format", "jsonl", list, new_list});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out,
            "{\"class\":\"new\",\"path\":\"" + data_ +
                "b\\u00c9\\\"q\\\\\\u0001\xC3\xA4.txt\",\"old_size\":null,\"old_time\":null,"
                "\"old_id\":null,\"new_size\":8,\"new_time\":\"2020-05-01 12:34:56\","
                "\"new_id\":\"34953 79050\"}\n");
}

// --output saves what stdout would show behind a header: what was compared, when, and
// the counts stderr shows; a file that cannot be written is an error of its own.
TEST_F(AuditTest, OutputSavesTheReportBehindAHeader) {
  Data("a.txt", "first");
  const std::string list = Out("old.v00");
  ASSERT_EQ(Scan(list).exit_code, 0);
  const std::string added = Data("b.txt", "second");
  const std::string new_list = Out("new.v00");
  ASSERT_EQ(Scan(new_list).exit_code, 0);
  const struct {
    std::vector<std::string> args;
    std::string title;
  } cases[] = {
      {{"compare", list, new_list}, "Compare " + list + " with " + new_list},
      {{"compare", "--relative", list, new_list},
       "Compare " + list + " with " + new_list + " (paths below each list's search path)"},
      {{"verify", "--quiet", list}, "Verify of " + list + " against " + data_},
  };
  for (const auto& c : cases) {
    const CommandResult shown = Cli(c.args);
    EXPECT_EQ(shown.out, Row("new", added)) << c.title;
    std::vector<std::string> args = c.args;
    args.insert(args.end() - (args[0] == "verify" ? 1 : 2), {"--output", Out("report.txt")});
    const CommandResult saved = Cli(args);
    EXPECT_EQ(saved.exit_code, 1) << saved.err;
    EXPECT_EQ(saved.out, "");
    EXPECT_EQ(saved.err, shown.err);
    const std::string report = TempTree::Read(Out("report.txt"));
    const std::string date = report.substr(report.find('\n') + 1, 25);
    EXPECT_TRUE(date.starts_with("Date: 20")) << report;
    EXPECT_EQ(report, c.title + "\n" + date + "\n" + shown.err + "\n" + shown.out);
  }
  const std::string nowhere = Out("no such folder/report.txt");
  const CommandResult refused = Cli({"compare", "--output", nowhere, list, new_list});
  EXPECT_EQ(refused.exit_code, 2);
  // Then the system's own words for a missing folder.
  const std::string head = "checker-cli: cannot write " + nowhere + ": ";
  EXPECT_TRUE(refused.err.starts_with(head) && refused.err.find('\n') == refused.err.size() - 1)
      << refused.err;
  if (platform::kNativePathStyle != platform::PathStyle::kWindows) {
    EXPECT_EQ(refused.err, head + "No such file or directory\n");
  }
  EXPECT_EQ(refused.out, "");
}

// The same tree elsewhere is the same tree: paths match below each search path.
TEST_F(AuditTest, VerifyElsewhereMatchesPathsBelowTheSearchPath) {
  const std::string copy = tree_.Dir("copy");
  for (const std::string& root : {std::string("data/"), std::string("copy/")}) {
    SetWriteTime(tree_.File(root + "a.txt", "first"), kBaseTime);
    SetWriteTime(tree_.File(root + "sub/rot.bin", "0123456789abcdef"), kBaseTime);
  }
  const std::string old_list = Out("old.v00");
  ASSERT_EQ(Scan(old_list).exit_code, 0);

  const CommandResult same =
      Cli({"verify", "--quiet", "--interval", "0", "--path", copy, old_list});
  EXPECT_EQ(same.exit_code, 0) << same.out << same.err;
  EXPECT_EQ(same.out, "");

  cli_tests::Rot(copy + "sub/rot.bin", "0123456789abcdeX");
  const std::string copy_list = Out("copy.v00");
  const CommandResult rotted = Cli({"verify", "--quiet", "--interval", "0", "--path", copy,
                                    "--write", copy_list, old_list});
  EXPECT_EQ(rotted.exit_code, 3) << rotted.err;
  EXPECT_EQ(rotted.out, Row("corrupted", copy + Native("sub/rot.bin")));
  const CommandResult relative = Cli({"compare", "--relative", old_list, copy_list});
  EXPECT_EQ(relative.exit_code, 3) << relative.err;
  EXPECT_EQ(relative.out, Row("corrupted", copy + Native("sub/rot.bin")));
}

// A file verify could read from memory alone keeps the class its bytes give, is named
// and counted as such, and the verify does not say "same".
TEST_F(AuditTest, FilesReadFromMemoryAreNamedAndCounted) {
  const std::string same = Data("same.txt", "as it was");
  const std::string rotten = Data("rotten.txt", "as it was, too");
  const std::string before = Out("before.v00");
  ASSERT_EQ(Scan(before).exit_code, 0);
  cli_tests::Rot(rotten, "as it WAS, too");
  const std::string after = Out("after.v00");
  ASSERT_EQ(Scan(after).exit_code, 0);
  lists::IdList old_list;
  lists::IdList new_list;
  lists::ListReadError error;
  ASSERT_TRUE(lists::ReadIdList(before, &old_list, &error));
  ASSERT_TRUE(lists::ReadIdList(after, &new_list, &error));
  const std::string note = "read from memory, not the disk";
  for (const bool both : {false, true}) {
    SCOPED_TRACE(both ? "both" : "the unchanged one");
    std::vector<scan::ScanProblem> problems = {{same, note, scan::ProblemKind::kFromMemory}};
    if (both) problems.push_back({rotten, note, scan::ProblemKind::kFromMemory});
    audit::CompareOptions options;
    options.new_problems = &problems;
    const audit::ListComparison c = audit::CompareIdLists(old_list, new_list, options);
    std::string text;
    std::string json;
    audit::ReportOptions report;
    audit::WriteReportLines(c, old_list, new_list, report, [&](std::string_view t) { text += t; });
    report.jsonl = true;
    audit::WriteReportLines(c, old_list, new_list, report, [&](std::string_view t) { json += t; });
    const std::string below = std::string(15, ' ') + note + "\n";
    EXPECT_EQ(text,
              Row("corrupted", rotten) + (both ? below : "") + Row("unchanged", same) + below);
    const std::string flag = ",\"from_memory\":true}\n";
    const size_t second = json.find('\n') + 1;
    EXPECT_EQ(json.substr(0, second).ends_with(flag), both) << json;
    EXPECT_TRUE(json.substr(second).starts_with("{\"class\":\"unchanged\"")) << json;
    EXPECT_TRUE(json.ends_with(flag)) << json;
    const std::string summary = audit::SummaryText(c.totals);
    const std::string files = both ? "2" : "1";
    const std::string bytes = both ? "23" : "9";
    EXPECT_TRUE(summary.ends_with("from memory" + std::string(4 + 11 - files.size(), ' ') + files +
                                  " files " + std::string(25 - bytes.size(), ' ') + bytes +
                                  " bytes\n"))
        << summary;
    EXPECT_EQ(audit::VerdictOf(c.totals), audit::AuditVerdict::kDamaged);
    // Without the damaged file the verdict is "different", not "same".
    audit::ChangeTotals totals = c.totals;
    totals.files[static_cast<size_t>(audit::FileChange::kCorrupted)] = 0;
    EXPECT_EQ(audit::VerdictOf(totals), audit::AuditVerdict::kDifferent);
  }
}

}  // namespace
}  // namespace audit_tests
