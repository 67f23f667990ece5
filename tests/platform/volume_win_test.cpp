// The volume that holds a path on Windows: its label and serial as the system gives them
// (made up by wine, but there and the same each time), and the serial as every file's
// device.

#include <gtest/gtest.h>

#include <string>

#include "common/temp_tree.h"
#include "platform/files.h"
#include "platform/volume.h"

namespace {

using testing_support::TempTree;

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

TEST(WindowsVolumeTest, LabelAndSerialOfTheTempDirsDriveAreThereAndStable) {
  TempTree tree;
  const std::string file = tree.File("f", "bytes");
  platform::Mount first, second;
  ASSERT_TRUE(platform::MountOfPath(file, &first)) << file;
  ASSERT_TRUE(platform::MountOfPath(tree.root(), &second));
  EXPECT_EQ(first.mount_point, second.mount_point);
  EXPECT_EQ(first.mount_point.size(), 3u) << first.mount_point;  // "C:\"
  EXPECT_FALSE(first.fs_type.empty());
  const platform::DeviceFacts facts = platform::QueryDevice(first);
  const platform::DeviceFacts again = platform::QueryDevice(second);
  // The serial as the system's own tools show it: "1A2B-3C4D".
  ASSERT_EQ(facts.uuid.size(), 9u) << facts.uuid;
  for (size_t i = 0; i < facts.uuid.size(); ++i) {
    EXPECT_TRUE(i == 4 ? facts.uuid[i] == '-' : IsHexDigit(facts.uuid[i])) << facts.uuid;
  }
  EXPECT_EQ(facts.uuid, again.uuid);
  EXPECT_EQ(facts.label, again.label);
  // The serial stands for the device of every file on the volume.
  platform::FileInfo info;
  ASSERT_TRUE(platform::StatPath(file, &info));
  EXPECT_EQ(info.device, first.device);
  EXPECT_EQ(std::stoul(facts.uuid.substr(0, 4) + facts.uuid.substr(5), nullptr, 16),
            static_cast<uint32_t>(first.device));
}

}  // namespace
