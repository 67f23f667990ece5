#include "lists/list_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/temp_tree.h"
#include "platform/paths.h"

namespace {

using lists::JoinNameParts;
using testing_support::TempTree;

fs::TVolumeInfo LocalVolume() {
  fs::TVolumeInfo volume;
  volume.root_kind = fs::kRootKindDrive;
  volume.root_path = "/media/u/DATA/";
  volume.label = "DATA";
  volume.serial_number = 305441741;
  volume.source = "/dev/sdb1";
  return volume;
}

fs::TVolumeInfo ShareVolume(const std::string& label) {
  fs::TVolumeInfo volume;
  volume.root_kind = fs::kRootKindNetwork;
  volume.root_path = "/mnt/nas/";
  volume.label = label;
  volume.serial_number = 7;
  volume.source = "//nas/photos";
  volume.network_host = "nas";
  return volume;
}

TEST(ListNamesTest, SerialNumberTextHasTenDigitsAndAnUnderscore) {
  EXPECT_EQ(lists::SerialNumberText(305441741), "03054_41741");
  EXPECT_EQ(lists::SerialNumberText(7), "00000_00007");
  EXPECT_EQ(lists::SerialNumberText(0), "00000_00000");
  EXPECT_EQ(lists::SerialNumberText(99999), "00000_99999");
  EXPECT_EQ(lists::SerialNumberText(100000), "00001_00000");
  EXPECT_EQ(lists::SerialNumberText(4294967295u), "42949_67295");
}

TEST(ListNamesTest, LocalVolumeParts) {
  const fs::TVolumeInfo volume = LocalVolume();
  EXPECT_EQ(JoinNameParts(volume, "Photos/2020/", 15, "~^%"), "DATA^Photos^2020~03054_41741");
  EXPECT_EQ(JoinNameParts(volume, "Photos/2020/", 0, "~^%"), "DATA^Photos^2020~03054_41741");
  EXPECT_EQ(JoinNameParts(volume, "Photos/2020/", 4, ""), "Photos2020");
  EXPECT_EQ(JoinNameParts(volume, "Photos/2020/", 2, ""), "DATA");
  EXPECT_EQ(JoinNameParts(volume, "Photos/2020/", 1, "~^%"), "");
  // The root itself has no directory part.
  EXPECT_EQ(JoinNameParts(volume, "", 4, ""), "");
  EXPECT_EQ(JoinNameParts(volume, "", 15, "~^%"), "DATA~03054_41741");
  // A local volume gets no host even when the record carries one.
  fs::TVolumeInfo odd = volume;
  odd.network_host = "box";
  EXPECT_EQ(JoinNameParts(odd, "", 3, "~^%"), "DATA");
}

TEST(ListNamesTest, NetworkVolumeParts) {
  EXPECT_EQ(JoinNameParts(ShareVolume("PICS"), "2020/", 15, "~^%"), "nas%PICS^2020~00000_00007");
  EXPECT_EQ(JoinNameParts(ShareVolume("PICS"), "2020/", 1, ""), "nas");
  EXPECT_EQ(JoinNameParts(ShareVolume("PICS"), "2020/", 1, "~^%"), "nas%");
  // Without a label the host and its separator run straight into the directories.
  EXPECT_EQ(JoinNameParts(ShareVolume(""), "2020/", 15, "~^%"), "nas%^2020~00000_00007");
  EXPECT_EQ(JoinNameParts(ShareVolume(""), "2020/", 8, ""), "00000_00007");
  // A share whose source names no host.
  fs::TVolumeInfo no_host = ShareVolume("PICS");
  no_host.network_host.clear();
  EXPECT_EQ(JoinNameParts(no_host, "2020/", 15, "~^%"), "PICS^2020~00000_00007");
}

TEST(ListNamesTest, SeparatorsAreWholeCharactersAndMayBeMissing) {
  const fs::TVolumeInfo volume = ShareVolume("PICS");
  EXPECT_EQ(JoinNameParts(volume, "a/b/", 15, "~"), "nasPICSab~00000_00007");
  EXPECT_EQ(JoinNameParts(volume, "a/b/", 15, "~^"), "nasPICS^a^b~00000_00007");
  EXPECT_EQ(JoinNameParts(volume, "a/b/", 15, "é·»"), "nas»PICS·a·bé00000_00007");
  EXPECT_EQ(JoinNameParts(volume, "a/b/", 15, "~^%extra"), "nas%PICS^a^b~00000_00007");
  // Empty pieces between doubled slashes are skipped; names keep their blanks.
  EXPECT_EQ(JoinNameParts(volume, "a//My Photos/", 4, "~^%"), "^a^My Photos");
}

class NamePartsTest : public ::testing::Test {
 protected:
  TempTree tree_;
};

TEST_F(NamePartsTest, EmptyOrRelativePathGivesFalseAndAnEmptyResult) {
  std::string result = "stale";
  EXPECT_FALSE(lists::NamePartsSx("", &result, 15, "~^%"));
  EXPECT_EQ(result, "");
  result = "stale";
  EXPECT_FALSE(lists::NamePartsSx("relative/dir", &result, 15, "~^%"));
  EXPECT_EQ(result, "");
}

TEST_F(NamePartsTest, TheTempDirsOwnVolume) {
  const std::string dir = platform::ResolveExisting(tree_.Dir("Photos/2020"));
  fs::TVolumeInfo volume;
  ASSERT_TRUE(fs::GetVolumeInfoSx(dir, &volume));
  ASSERT_EQ(dir.rfind(volume.root_path, 0), 0u);
  // The directories below the root, each after the directory separator.
  std::string dirs;
  for (const char c : dir.substr(volume.root_path.size())) {
    if (c != '/') {
      dirs += c;
    } else if (!dirs.empty() && dirs.back() != '^') {
      dirs += '^';
    }
  }
  if (!dirs.empty() && dirs.back() == '^') dirs.pop_back();
  if (!dirs.empty()) dirs.insert(0, "^");
  const std::string serial = lists::SerialNumberText(volume.serial_number);

  std::string result;
  ASSERT_TRUE(lists::NamePartsSx(dir, &result, 8, ""));
  EXPECT_EQ(result, serial);
  ASSERT_TRUE(lists::NamePartsSx(dir, &result, 2, ""));
  EXPECT_EQ(result, volume.label);
  ASSERT_TRUE(lists::NamePartsSx(dir, &result, 4, "~^%"));
  EXPECT_EQ(result, dirs);
  ASSERT_TRUE(lists::NamePartsSx(dir, &result, 15, "~^%"));
  const std::string host = volume.root_kind == fs::kRootKindNetwork && !volume.network_host.empty()
                               ? volume.network_host + "%"
                               : "";
  EXPECT_EQ(result, host + volume.label + dirs + "~" + serial);
  // Without the trailing "/" the parts are the same.
  std::string again;
  ASSERT_TRUE(lists::NamePartsSx(dir.substr(0, dir.size() - 1), &again, 15, "~^%"));
  EXPECT_EQ(again, result);
  ASSERT_TRUE(lists::NamePartsSx(volume.root_path, &again, 4, "~^%"));
  EXPECT_EQ(again, "");
}

TEST_F(NamePartsTest, ALinkKeepsItsNameAsWritten) {
  const std::string real = tree_.Dir("real/sub");
  std::filesystem::create_directory_symlink(tree_.Path("real"), tree_.Path("alias"));
  fs::TVolumeInfo volume;
  ASSERT_TRUE(fs::GetVolumeInfoSx(real, &volume));
  if (volume.root_path != "/") GTEST_SKIP() << "temp dir is not on the root file system";
  std::string result;
  ASSERT_TRUE(lists::NamePartsSx(tree_.Path("alias/sub/"), &result, 4, "~/%"));
  EXPECT_EQ(result, tree_.Path("alias/sub"));
}

}  // namespace
