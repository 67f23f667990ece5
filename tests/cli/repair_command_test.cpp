// repair refused before it reads or writes anything: the command line, the list, and a
// folder to keep damaged files in that would not serve.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_fixture.h"

namespace {

using cli_tests::CommandResult;

class RepairUsageTest : public cli_tests::CliTest {
 protected:
  void SetUp() override { UseFolders(tree_.Dir("data")); }
};

TEST_F(RepairUsageTest, ErrorsOfTheCommandLineAndTheListAreRefusedBeforeAnything) {
  // A keep folder beside the list's files: a link keeps the damaged file there.
  tree_.File("Disk/photos/beach.jpg", "waves on the sand");
  const std::string disk = ScanInto("Disk", tree_.Path("Disk/"), {"--label", "Disk"});
  const std::string keep = tree_.Dir("kept");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"repair", "x.v00"}, "checker-cli: repair: give the PATHs to mend, or --all\n"},
      {{"repair", "--all", "x.v00", "/a"}, "checker-cli: repair: give --all or PATHs, not both\n"},
      {{"repair", "--all", "--keep", "/nowhere/at/all", "x.v00"},
       "checker-cli: repair: --keep /nowhere/at/all: no such folder\n"},
      {{"repair", "--format", "xml", "--all", "x.v00"},
       "checker-cli: repair: option '--format' takes text or jsonl, not 'xml'\n"},
      {{"repair", "--all", tree_.File("notes.txt", "not a list\n")},
       "checker-cli: " + tree_.Path("notes.txt") + ": line 1: not an id list (no run header)\n"},
      {{"repair", "--all", tree_.File("pic.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16))},
       "checker-cli: " + tree_.Path("pic.png") + ": line 1: not an id list (no run header)\n"},
      {{"repair", "--keep", keep, disk, tree_.Path("Disk/photos")},
       "checker-cli: repair: --keep " + keep + ": on the same file system as " +
           tree_.Path("Disk/photos/beach.jpg") +
           ", where the damaged file is kept by a link without --keep\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    const CommandResult r = Cli(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(std::filesystem::exists(tree_.Path("data/checker"))) << "a history was written";
  }
}

}  // namespace
