#include "scan/list_paths.h"

#include <algorithm>

#include "support/ini.h"
#include "support/string_list.h"
#include "support/sys_init.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace scan {

namespace {

std::string ReadText(const support::StringList& ini, const char* key, const std::string& fallback) {
  return support::Trim(IniGetSx(ini, kBaseSection, key, SxValue(fallback)).AsText());
}

}  // namespace

BaseSettings LoadBaseSettingsFrom(const std::string& ini_file, const std::string& app_dir) {
  BaseSettings settings;
  settings.app_path = app_dir;
  support::StringList ini;
  // An empty or missing file leaves every default.
  if (!FileExistsSx(ini_file, 1) || !ini.LoadFromFile(ini_file)) return settings;
  settings.app_path = ReadText(ini, kKeyAppPath, settings.app_path);
  settings.vol_path = ReadText(ini, kKeyVolPath, settings.vol_path);
  settings.dir_path = ReadText(ini, kKeyDirPath, settings.dir_path);
  settings.back_ups = ReadText(ini, kKeyBackUps, settings.back_ups);
  settings.lst_ext = ReadText(ini, kKeyLstExt, settings.lst_ext);
  settings.dir_ext = ReadText(ini, kKeyDirExt, settings.dir_ext);
  return settings;
}

BaseSettings LoadBaseSettings() { return LoadBaseSettingsFrom(SxBaseIniFile, SxAppDir); }

std::string ResolveBaseFolder(std::string_view app_path, std::string_view setting,
                              std::string_view app_dir) {
  const std::string_view folder = support::TrimView(setting);
  if (folder.empty()) return {};
  std::string result;
  if (folder.front() == '/') {
    result.assign(folder);
  } else {
    std::string_view base = support::TrimView(app_path);
    if (base.empty()) base = app_dir;
    result.assign(base);
    if (!result.empty() && result.back() != '/') result += '/';
    result.append(folder);
  }
  if (result.back() != '/') result += '/';
  return result;
}

std::string FileNamePart(std::string_view part) {
  if (part == "." || part == "..") return "_";
  std::string result(part);
  for (char& c : result) {
    if (c == '/' || c == '\0') c = '_';
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

ListFileNames NameListFiles(const std::string& folder, std::string_view base_name,
                            std::string_view lst_ext, std::string_view dir_ext) {
  std::string_view trimmed = support::TrimView(base_name);
  if (!trimmed.empty() && trimmed.front() == '/') trimmed.remove_prefix(1);
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

}  // namespace scan
