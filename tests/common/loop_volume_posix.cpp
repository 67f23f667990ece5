#include "common/loop_volume.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <utility>

#include "common/run_command.h"
#include "common/temp_tree.h"

namespace testing_support {

namespace {

constexpr char kImageSize[] = "16M";

// Where a system tool is installed, or empty.
std::string Tool(const std::string& name) {
  for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    const std::string path = std::string(dir) + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

bool Run(const std::string& tool, const std::vector<std::string>& args, std::string* why) {
  const std::string path = Tool(tool);
  if (path.empty()) {
    *why = tool + " is not installed";
    return false;
  }
  const CommandResult r = RunCommand(path, args);
  if (r.exit_code == 0) return true;
  *why = tool + " failed: " + r.err;
  return false;
}

}  // namespace

LoopVolume::LoopVolume(std::string image, std::string label, std::string uuid)
    : image_(std::move(image)), label_(std::move(label)), uuid_(std::move(uuid)) {}

LoopVolume::~LoopVolume() { Unmount(); }

bool LoopVolume::Mount(const std::string& at, std::string* why) {
  if (geteuid() != 0) {
    *why = "needs root to mount a file system";
    return false;
  }
  if (!std::filesystem::exists(image_)) {
    std::vector<std::string> args = {"-q", "-F", "-L", label_};
    if (!uuid_.empty()) args.insert(args.end(), {"-U", uuid_});
    args.insert(args.end(), {image_, kImageSize});
    if (!Run("mkfs.ext4", args, why)) return false;
  }
  std::filesystem::create_directories(at);
  if (!Run("mount", {"-o", "loop", image_, at}, why)) return false;
  mounted_at_ = at;
  return true;
}

void LoopVolume::Unmount() {
  if (mounted_at_.empty()) return;
  // Lazily: a test that failed may still hold something open there.
  umount2(mounted_at_.c_str(), MNT_DETACH);
  mounted_at_.clear();
}

bool LoopVolume::CloneTo(const std::string& image, const std::string& label,
                         std::string* why) const {
  sync();
  std::error_code ec;
  if (!std::filesystem::copy_file(image_, image, ec)) {
    *why = "cannot copy " + image_ + ": " + ec.message();
    return false;
  }
  return Run("e2label", {image, label}, why);
}

bool LoopVolume::Damage(const std::string& from, const std::string& to) const {
  sync();
  const std::string bytes = TempTree::Read(image_);
  const size_t at = bytes.find(from);
  if (at == std::string::npos || bytes.find(from, at + 1) != std::string::npos) return false;
  const int fd = open(image_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written =
      pwrite(fd, to.data(), to.size(), static_cast<off_t>(at)) == static_cast<ssize_t>(to.size()) &&
      fsync(fd) == 0;
  close(fd);
  return written;
}

}  // namespace testing_support
