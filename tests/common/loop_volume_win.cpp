#include "common/loop_volume.h"

#include <utility>

namespace testing_support {

// Windows has no loop devices nor mkfs.ext4: every case that wants a volume of its own
// skips with the reason Mount gives.
LoopVolume::LoopVolume(std::string image, std::string label, std::string uuid)
    : image_(std::move(image)), label_(std::move(label)), uuid_(std::move(uuid)) {}

LoopVolume::~LoopVolume() = default;

bool LoopVolume::Mount(const std::string&, std::string* why) {
  *why = "no loop devices to mount an ext4 image on Windows";
  return false;
}

void LoopVolume::Unmount() {}

bool LoopVolume::CloneTo(const std::string&, const std::string&, std::string* why) const {
  *why = "no loop devices on Windows";
  return false;
}

bool LoopVolume::Damage(const std::string&, const std::string&) const { return false; }

}  // namespace testing_support
