#include "lists/list_paths.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/find_data.h"
#include "support/ini.h"
#include "support/string_list.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace lists {

namespace {

// Copies of lists written within one second, before a backup gives up.
constexpr int kMaxBackUpsPerSecond = 999;

// Whether two files hold the same bytes; false when either cannot be read.
bool SameBytes(const std::string& a, const std::string& b) {
  platform::File x;
  platform::File y;
  if (!x.Open(a, platform::OpenMode::kRead) || !y.Open(b, platform::OpenMode::kRead) ||
      x.Size() != y.Size()) {
    return false;
  }
  constexpr size_t kPiece = 1 << 20;
  std::string piece_x(kPiece, '\0');
  std::string piece_y(kPiece, '\0');
  for (;;) {
    const int64_t got = x.Read(piece_x.data(), kPiece);
    if (got < 0 || y.Read(piece_y.data(), kPiece) != got) return false;
    if (got == 0) return true;
    if (std::memcmp(piece_x.data(), piece_y.data(), static_cast<size_t>(got)) != 0) return false;
  }
}

std::string ReadText(const support::StringList& ini, const char* key, const std::string& fallback) {
  return support::Trim(support::IniGetSx(ini, kBaseSection, key, SxValue(fallback)).AsText());
}

}  // namespace

BaseSettings LoadBaseSettingsFrom(const std::string& ini_file, const std::string& app_dir) {
  BaseSettings settings;
  settings.app_path = app_dir;
  support::StringList ini;
  // An empty or missing file leaves every default.
  if (!support::FileExistsSx(ini_file, 1) || !ini.LoadFromFile(ini_file)) return settings;
  settings.app_path = ReadText(ini, kKeyAppPath, settings.app_path);
  settings.vol_path = ReadText(ini, kKeyVolPath, settings.vol_path);
  settings.dir_path = ReadText(ini, kKeyDirPath, settings.dir_path);
  settings.back_ups = ReadText(ini, kKeyBackUps, settings.back_ups);
  settings.lst_ext = ReadText(ini, kKeyLstExt, settings.lst_ext);
  settings.dir_ext = ReadText(ini, kKeyDirExt, settings.dir_ext);
  return settings;
}

std::string FolderProblem(const std::string& folder, bool* missing) {
  std::string error;
  const platform::PathKind kind = platform::PathKindOf(folder, &error);
  if (missing != nullptr) *missing = kind == platform::PathKind::kMissing;
  switch (kind) {
    case platform::PathKind::kDirectory:
    case platform::PathKind::kLinkToDirectory:
      return {};
    case platform::PathKind::kMissing:
      return "does not exist";
    case platform::PathKind::kUnknown:
      return "cannot be looked up: " + error;
    case platform::PathKind::kLink:
      return "is a symbolic link to no folder";
    default:
      return "is not a folder";
  }
}

std::string ResolveBaseFolder(std::string_view app_path, std::string_view setting,
                              std::string_view app_dir) {
  const std::string_view folder = support::TrimView(setting);
  if (folder.empty()) return {};
  std::string result;
  if (!platform::IsAbsolute(folder)) {
    std::string_view base = support::TrimView(app_path);
    if (base.empty()) base = app_dir;
    if (platform::RootLength(folder) == 0) {
      result.assign(base);
      if (!result.empty() && !platform::IsSeparator(result.back())) result += platform::kSeparator;
    } else if (platform::IsSeparator(folder[0])) {
      // "\srv" on Windows starts at the root of the base's drive or share.
      std::string_view drive = base.substr(0, platform::RootLength(base));
      while (!drive.empty() && platform::IsSeparator(drive.back())) drive.remove_suffix(1);
      result.assign(drive);
    }
  }
  // A setting's "/" ("xBase/") is written as the system writes its separator.
  for (const char c : folder) result += platform::IsSeparator(c) ? platform::kSeparator : c;
  if (!platform::IsSeparator(result.back())) result += platform::kSeparator;
  return result;
}

std::string FileNamePart(std::string_view part) {
  if (part == "." || part == "..") return "_";
  std::string result(part);
  for (char& c : result) {
    if (platform::IsSeparator(c) || c == '\0') c = '_';
  }
  return result;
}

std::string ComposeListName(std::string_view net, std::string_view label, std::string_view dirs,
                            std::string_view serial, std::string_view net_sep,
                            std::string_view dir_sep, std::string_view ser_sep) {
  std::string name;
  if (!net.empty()) {
    name.append(FileNamePart(net));
    name.append(net_sep);
  }
  name.append(FileNamePart(label));
  if (!dirs.empty()) {
    name.append(dir_sep);
    name.append(FileNamePart(dirs));
  }
  if (!serial.empty()) {
    name.append(ser_sep);
    name.append(FileNamePart(serial));
  }
  return name;
}

bool BackUpList(const std::string& list, const std::string& folder, std::string* error) {
  support::FindData record;
  if (!support::FindDataSx(list, &record, 1) || record.size == 0) return true;
  bool missing = false;
  const std::string problem = folder.empty() ? "" : FolderProblem(folder, &missing);
  if (!problem.empty() && !missing) {
    *error = "the backup folder " + folder + " " + problem;
    return false;
  }
  if (folder.empty() || !platform::MakeDirs(folder)) {
    *error = "cannot create the backup folder " + folder;
    return false;
  }
  platform::DateTime written;
  if (!platform::FileTimeToLocalDateTime(record.last_write_time, &written)) written = {};
  const std::string stamp = fmt::format("{:04}{:02}{:02}-{:02}{:02}{:02}", written.year,
                                        written.month, written.day, written.hour, written.minute,
                                        written.second);
  const size_t slash = list.find_last_of(platform::kSeparators);
  const std::string file = list.substr(slash == std::string::npos ? 0 : slash + 1);
  const size_t dot = file.rfind('.');
  const std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : file.substr(dot);
  const std::string base = support::WithTrailingSlash(folder) + stem + "." + stamp;
  for (int copy = 1; copy <= kMaxBackUpsPerSecond; ++copy) {
    const std::string target = copy == 1 ? base + ext : fmt::format("{}-{}{}", base, copy, ext);
    std::string reason;
    switch (platform::CopyToNewFile(list, target, &reason)) {
      case platform::CopyResult::kCopied:
        return true;
      case platform::CopyResult::kExists:
        // This very list, saved before; anything else keeps its name.
        if (SameBytes(list, target)) return true;
        break;
      case platform::CopyResult::kFailed:
        *error = "cannot back up " + list + " to " + target + ": " + reason;
        return false;
    }
  }
  *error = "cannot back up " + list + ": " + std::to_string(kMaxBackUpsPerSecond) +
           " backups of the same second are in " + folder;
  return false;
}

ListFileNames NameListFiles(const std::string& folder, std::string_view base_name,
                            std::string_view lst_ext, std::string_view dir_ext) {
  std::string_view trimmed = support::TrimView(base_name);
  if (!trimmed.empty() && platform::IsSeparator(trimmed.front())) trimmed.remove_prefix(1);
  std::string name = FileNamePart(trimmed);
  const std::string lst = lst_ext.empty() ? std::string(kDefaultLstExt) : FileNamePart(lst_ext);
  const std::string dir = dir_ext.empty() ? std::string(kDefaultDirExt) : FileNamePart(dir_ext);
  // Room for the longer extension and its dot; whole characters only.
  const size_t ext = std::max(lst.size(), dir.size()) + 1;
  const size_t room = kMaxListFileName > ext ? kMaxListFileName - ext : 0;
  if (name.size() > room) {
    size_t keep = 0;
    size_t pos = 0;
    while (pos < name.size()) {
      support::NextChar(name, &pos);
      if (pos > room) break;
      keep = pos;
    }
    name.resize(keep);
  }
  ListFileNames names;
  names.folder = folder;
  const std::string stem = folder + name + ".";
  names.id_list = stem + lst;
  names.tree_list = stem + dir;
  // File names on Linux differ by case, so equal means byte for byte.
  names.same = names.id_list == names.tree_list;
  return names;
}

}  // namespace lists
