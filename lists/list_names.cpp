#include "lists/list_names.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/paths.h"
#include "support/text.h"

namespace lists {

namespace {

constexpr uint32_t kSerialSplit = 100000;

// The first three characters of the separator text, each one whole UTF-8 character;
// a missing one is empty.
std::array<std::string_view, 3> SplitSeparators(std::string_view separators) {
  std::array<std::string_view, 3> parts;
  size_t pos = 0;
  for (std::string_view& part : parts) {
    if (pos >= separators.size()) break;
    const size_t start = pos;
    support::NextChar(separators, &pos);
    part = separators.substr(start, pos - start);
  }
  return parts;
}

}  // namespace

std::string SerialNumberText(uint32_t serial) {
  return fmt::format("{:05}_{:05}", serial / kSerialSplit, serial % kSerialSplit);
}

bool SerialFromDigits(std::string_view text, uint32_t* serial) {
  uint64_t value = 0;
  bool any = false;
  for (const char c : text) {
    if (c < '0' || c > '9') continue;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    any = true;
  }
  if (any) *serial = static_cast<uint32_t>(value);
  return any;
}

std::string JoinNameParts(const fs::TVolumeInfo& volume, std::string_view dirs_below_root,
                          uint8_t selector, std::string_view separators) {
  if (selector == 0) selector = kNameAll;
  const std::array<std::string_view, 3> seps = SplitSeparators(separators);
  const std::string_view serial_sep = seps[0];
  const std::string_view dir_sep = seps[1];
  const std::string_view net_sep = seps[2];

  std::string result;
  if (selector & kNameLabel) result = volume.label;
  if ((selector & kNameNetwork) && volume.root_kind == fs::kRootKindNetwork &&
      !volume.network_host.empty()) {
    result = volume.network_host + std::string(net_sep) + result;
  }
  if (selector & kNameDirectories) {
    size_t pos = 0;
    while (pos < dirs_below_root.size()) {
      size_t end = dirs_below_root.find_first_of(platform::kSeparators, pos);
      if (end == std::string_view::npos) end = dirs_below_root.size();
      if (end > pos) {
        result += dir_sep;
        result += dirs_below_root.substr(pos, end - pos);
      }
      pos = end + 1;
    }
  }
  if (selector & kNameSerial) {
    result += serial_sep;
    result += SerialNumberText(volume.serial_number);
  }
  return result;
}

bool NamePartsSx(const std::string& path, std::string* result, uint8_t selector,
                 std::string_view separators) {
  result->clear();
  if (path.empty()) return false;
  fs::TVolumeInfo volume;
  if (!fs::GetVolumeInfoSx(path, &volume)) return false;
  std::string below = path;
  if (!platform::IsSeparator(below.back())) below += platform::kSeparator;
  // The root column counts leading parts as written, so a path reached through a link
  // to the mount point still loses exactly its root.
  const size_t root_length = static_cast<size_t>(fs::RootColumnFor(path, volume.root_path) - 1);
  below.erase(0, std::min(root_length, below.size()));
  *result = lists::JoinNameParts(volume, below, selector, separators);
  return true;
}

}  // namespace lists
