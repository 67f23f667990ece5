#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/test_os.h"
#include "fs/volume_info.h"
#include "lists/list_names.h"
#include "platform/paths.h"

namespace {

using testing_support::RunCommand;
using testing_support::TempTree;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos) + "(no newline)");
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

std::string Field(const std::string& name, const std::string& value) {
  return value.empty() ? name + ":" : name + ": " + value;
}

// The directories of `dir` below the volume root, each after `separator`.
std::string DirsBelowRoot(const std::string& dir, const fs::TVolumeInfo& volume,
                          const std::string& separator) {
  const char own = testing_support::Native("/").front();
  std::string dirs;
  std::string piece;
  for (const char c : dir.substr(volume.root_path.size()) + own) {
    if (c != own) {
      piece += c;
    } else if (!piece.empty()) {
      dirs += separator + piece;
      piece.clear();
    }
  }
  return dirs;
}

class VolumeCommandTest : public ::testing::Test {
 protected:
  TempTree tree_;
};

TEST_F(VolumeCommandTest, PrintsTheRecordOneFieldALine) {
  const std::string dir = platform::ResolveExisting(tree_.Dir("Photos"));
  fs::TVolumeInfo volume;
  ASSERT_TRUE(fs::GetVolumeInfoSx(dir, &volume));

  const auto r = RunCommand(CHECKER_CLI_PATH, {"volume", dir});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 18u) << r.out;
  const char* drive_names[] = {"unknown", "no root directory", "removable", "fixed", "remote",
                               "CD-ROM",  "RAM disk"};
  EXPECT_EQ(lines[0], Field("Root path", volume.root_path));
  EXPECT_EQ(lines[1], Field("Root kind", std::to_string(volume.root_kind)));
  EXPECT_EQ(lines[2], "Drive type: " + std::to_string(volume.drive_type) + " (" +
                          drive_names[volume.drive_type] + ")");
  EXPECT_EQ(lines[3], Field("File system", volume.file_system_name));
  EXPECT_EQ(lines[4], Field("Label", volume.label));
  EXPECT_EQ(lines[5], "Serial number: " + std::to_string(volume.serial_number) + " (" +
                          lists::SerialNumberText(volume.serial_number) + ")");
  EXPECT_EQ(lines[6], Field("File-system flags", std::to_string(volume.file_system_flags)));
  EXPECT_EQ(lines[7], Field("Maximum name length", std::to_string(volume.max_name_length)));
  // Free space moves while other programs write; only the names are fixed.
  EXPECT_EQ(lines[8].rfind("Free bytes for caller: ", 0), 0u);
  EXPECT_EQ(lines[9], Field("Total bytes", std::to_string(volume.total_bytes)));
  EXPECT_EQ(lines[10].rfind("Total free bytes: ", 0), 0u);
  EXPECT_EQ(lines[11], Field("Bytes per sector", std::to_string(volume.bytes_per_sector)));
  EXPECT_EQ(lines[12], Field("Sectors per cluster", std::to_string(volume.sectors_per_cluster)));
  EXPECT_EQ(lines[13], Field("Total clusters", std::to_string(volume.total_clusters)));
  EXPECT_EQ(lines[14].rfind("Free clusters: ", 0), 0u);
  EXPECT_EQ(lines[15], Field("Source", volume.source));
  EXPECT_EQ(lines[16], Field("Network host", volume.network_host));
  const int column = volume.root_path == "/" ? 2 : static_cast<int>(volume.root_path.size()) + 1;
  EXPECT_EQ(lines[17], Field("Root column", std::to_string(column)));
}

TEST_F(VolumeCommandTest, ARelativePathIsTakenFromTheCurrentDirectory) {
  fs::TVolumeInfo volume;
  ASSERT_TRUE(fs::GetVolumeInfoSx(platform::CurrentDir(), &volume));
  const auto r = RunCommand(CHECKER_CLI_PATH, {"volume", "."});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Lines(r.out).at(0), Field("Root path", volume.root_path));
}

// A path that is not there fails as in every other command, instead of describing the
// volume of the part that is.
TEST_F(VolumeCommandTest, MissingPathIsAnError) {
  const std::string missing = tree_.Path("nothing/here");
  for (const char* command : {"volume", "names"}) {
    const auto r = RunCommand(CHECKER_CLI_PATH, {command, missing});
    EXPECT_EQ(r.exit_code, 2) << command;
    EXPECT_EQ(r.out, "") << command;
    EXPECT_EQ(r.err, "checker-cli: cannot query the volume of '" + missing +
                         "': no such file or directory\n");
  }
  // Anything that is there has a volume: a file, a link, even one that leads nowhere
  // (where the system makes links).
  std::vector<std::string> present = {tree_.File("file", "x")};
  if (testing_support::MakeSymlink(tree_.Path("nothing"), tree_.Path("broken")) == 0) {
    present.push_back(tree_.Path("broken"));
  }
  for (const std::string& there : present) {
    const auto r = RunCommand(CHECKER_CLI_PATH, {"volume", there});
    EXPECT_EQ(r.exit_code, 0) << there << r.err;
  }
}

class NamesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = platform::ResolveExisting(tree_.Dir("My Photos/2020"));
    ASSERT_TRUE(fs::GetVolumeInfoSx(dir_, &volume_));
    ASSERT_EQ(dir_.rfind(volume_.root_path, 0), 0u);
    host_ = volume_.root_kind == fs::kRootKindNetwork ? volume_.network_host : "";
  }
  std::string Expected(const std::string& name) const {
    return Field("Net name", host_) + "\n" + Field("Label", volume_.label) + "\n" +
           Field("Directory", DirsBelowRoot(dir_, volume_, "")) + "\n" +
           Field("Serial", lists::SerialNumberText(volume_.serial_number)) + "\n" +
           Field("Name", name) + "\n";
  }
  TempTree tree_;
  std::string dir_;
  std::string host_;
  fs::TVolumeInfo volume_;
};

TEST_F(NamesCommandTest, FourPartsAndTheJoinedName) {
  const std::string serial = lists::SerialNumberText(volume_.serial_number);
  const std::string net = host_.empty() ? "" : host_ + "%";
  auto r = RunCommand(CHECKER_CLI_PATH, {"names", dir_});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            Expected(net + volume_.label + DirsBelowRoot(dir_, volume_, "^") + "~" + serial));

  const std::string plus = host_.empty() ? "" : host_ + "=";
  r = RunCommand(CHECKER_CLI_PATH, {"names", "--separators", "+-=", dir_});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            Expected(plus + volume_.label + DirsBelowRoot(dir_, volume_, "-") + "+" + serial));
  // None at all: the parts run together (fewer characters: ListNamesTest).
  r = RunCommand(CHECKER_CLI_PATH, {"names", dir_, "--separators="});
  EXPECT_EQ(r.out, Expected(host_ + volume_.label + DirsBelowRoot(dir_, volume_, "") + serial));
}

// More separators than a name has places: the command's own refusal.
TEST_F(NamesCommandTest, FourSeparatorsAreAUsageError) {
  const auto r = RunCommand(CHECKER_CLI_PATH, {"names", dir_, "--separators", "~^%!"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "checker-cli: names: --separators takes at most three characters (serial, directory, "
            "network), got '~^%!'\n");
}

}  // namespace
