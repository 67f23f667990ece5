#include "support/toolkit.h"

#include <fmt/core.h>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "support/text.h"

namespace support {

uint64_t MemPercentSx(uint8_t percent) {
  uint64_t p = percent == 0 ? 10 : (percent > 100 ? 100 : percent);
  uint64_t available = platform::AvailableMemory();
  // Split so that available * p cannot overflow on any machine.
  return available / 100 * p + (available % 100 * p + 50) / 100;
}

bool FileExistsSx(const std::string& path, uint8_t mode) {
  if (path.empty()) return false;
  platform::FileInfo info;
  std::string name;
  if (!platform::FindFirst(path, &info, &name)) return false;
  if (info.kind != platform::EntryKind::kFile) return false;
  if (info.attributes & (platform::kAttrDirectory | platform::kAttrVolumeLabel)) return false;
  return mode != 1 || info.size != 0;
}

namespace {

// A trailing separator would make the system follow a link to a directory.
std::string WithoutTrailingSlashes(std::string_view path) {
  return std::string(platform::WithoutSeparator(path));
}

}  // namespace

bool DirExistsSx(const std::string& path) {
  if (path.empty()) return false;
  platform::FileInfo info;
  return platform::StatPath(WithoutTrailingSlashes(path), &info) &&
         info.kind == platform::EntryKind::kDirectory;
}

namespace {

// The last component of a path, without a trailing separator.
std::string LastName(std::string_view path) {
  return std::string(platform::NameOf(platform::WithoutSeparator(path)));
}

bool IsRoot(std::string_view path) {
  return platform::IsAbsolute(path) &&
         platform::WithoutSeparator(path).size() == platform::RootLength(path);
}

bool LookUp(const std::string& path, support::FindData* record) {
  if (path.empty()) return false;
  platform::FileInfo info;
  std::string name;
  // "Data/" finds the directory "Data"; "file.txt/" finds the file as well.
  const std::string bare = WithoutTrailingSlashes(path);
  if (!platform::FindFirst(bare, &info, &name)) return false;
  support::AssignFileInfo(info, record);
  record->name = name.empty() ? LastName(path) : name;
  // A wildcard matched an entry of the same folder: its own alternate name is wanted.
  const size_t folder = bare.size() - platform::NameOf(bare).size();
  record->short_name = platform::ShortNameOf(bare.substr(0, folder) + record->name);
  return true;
}

}  // namespace

bool FindDataSx(const std::string& path, support::FindData* record, uint8_t conditions) {
  if (record == nullptr) return false;
  std::string trimmed = support::Trim(path);
  if (trimmed.empty()) return false;
  if (IsRoot(trimmed)) {
    // A root is a drive: directory and volume label, nothing else is known about it.
    record->attributes = platform::kAttrDirectory | platform::kAttrVolumeLabel;
  } else if (!LookUp(path, record) && (trimmed == path || !LookUp(trimmed, record))) {
    return false;
  }
  bool is_dir = (record->attributes & platform::kAttrDirectory) != 0;
  if ((conditions & 0x01) && is_dir) return false;
  if ((conditions & 0x02) && !is_dir) return false;
  return true;
}

std::string MsecTextSx(int64_t ms) {
  std::string text;
  uint64_t magnitude = static_cast<uint64_t>(ms);
  if (ms < 0) magnitude = 0 - magnitude;
  uint64_t seconds = magnitude / 1000;
  uint64_t millis = magnitude % 1000;
  uint64_t hours = seconds / 3600;
  seconds %= 3600;
  uint64_t minutes = seconds / 60;
  seconds %= 60;
  bool written = false;
  if (hours > 0) {
    text += fmt::format("{} h ", hours);
    written = true;
  }
  if (minutes > 0 || written) {
    text += fmt::format("{} m ", minutes);
    written = true;
  }
  if (seconds > 0 || written) text += fmt::format("{} s ", seconds);
  text += fmt::format("{} ms", millis);
  return ms < 0 ? fmt::format("-{}", text) : text;
}

std::string FileTimeTextSx(uint64_t file_time, uint8_t form) {
  platform::DateTime dt;
  if (!platform::FileTimeToDateTime(file_time, &dt)) return std::string();
  std::string text = fmt::format("{}-{:02}-{:02}", dt.year, dt.month, dt.day);
  if (form != 3) text += fmt::format(" {:02}:{:02}", dt.hour, dt.minute);
  if (form != 2 && form != 3) text += fmt::format(":{:02}", dt.second);
  if (form != 0 && form != 2 && form != 3) text += fmt::format(".{:03}", dt.millisecond);
  return text;
}

}  // namespace support
