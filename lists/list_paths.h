#pragma once
// Where the lists of a run go: the base folders of the shared base settings file, their
// resolution against the base path, and the names of the tree list and the id list.

#include <string>
#include <string_view>

namespace lists {

// Section and keys of the shared base settings file.
constexpr char kBaseSection[] = "NorvelBase";
constexpr char kKeyAppPath[] = "AppPath";
constexpr char kKeyVolPath[] = "VolPath";
constexpr char kKeyDirPath[] = "DirPath";
constexpr char kKeyBackUps[] = "BackUps";
constexpr char kKeyLstExt[] = "LstExt";
constexpr char kKeyDirExt[] = "DirExt";

constexpr char kDefaultVolPath[] = "xBase/";
constexpr char kDefaultDirPath[] = "xData/";
constexpr char kDefaultBackUps[] = "xxBackUp/";
constexpr char kDefaultLstExt[] = "v00";
constexpr char kDefaultDirExt[] = "t00";

constexpr char kSameNamesMessage[] = "Tree and list filenames are the same";

// The "NorvelBase" settings as stored (texts as entered, not resolved).
struct BaseSettings {
  std::string app_path;
  std::string vol_path = kDefaultVolPath;
  std::string dir_path = kDefaultDirPath;
  std::string back_ups = kDefaultBackUps;
  std::string lst_ext = kDefaultLstExt;
  std::string dir_ext = kDefaultDirExt;
};

// Reads the section from the base settings file `ini_file` (only when it exists and is
// not empty); a missing key keeps its default, AppPath defaults to `app_dir`. Texts are
// trimmed. Throws support::ConversionError never (texts only).
BaseSettings LoadBaseSettingsFrom(const std::string& ini_file, const std::string& app_dir);

// A folder setting resolved against AppPath (both trimmed first): empty stays empty; a
// setting that begins with "/" is absolute and used unchanged; anything else is joined to
// AppPath, or to `app_dir` when AppPath is empty. The result ends with "/".
// Settings folders (list, backups, catalogue) are followed when they are links to
// folders: a user's choice of where lists live. What one is when it is no such folder
// ("does not exist", "is a symbolic link to no folder", ...); empty when it is one.
// `missing` (optional) is set when nothing is there, so that it may be created.
std::string FolderProblem(const std::string& folder, bool* missing = nullptr);

std::string ResolveBaseFolder(std::string_view app_path, std::string_view setting,
                              std::string_view app_dir);

// The longest file name the lists may have, extension included.
constexpr size_t kMaxListFileName = 255;

// A name part as it may stand in a file name: every "/" and NUL becomes "_", and a part
// that is "." or ".." becomes "_" (a volume label comes from whoever formatted the disk).
std::string FileNamePart(std::string_view part);

// The list base name composed from name parts: [net + net_sep] label [dir_sep + dirs]
// [ser_sep + serial]; parts that are empty are left out with their separators. Each part
// passes FileNamePart first.
std::string ComposeListName(std::string_view net, std::string_view label, std::string_view dirs,
                            std::string_view serial, std::string_view net_sep = "%",
                            std::string_view dir_sep = "^", std::string_view ser_sep = "~");

// Before a Create replaces a list that exists with a size above 0, it is copied into
// `folder` (created when missing) as its name + "." + its write time "yyyymmdd-hhmmss"
// (local time) + its extension. A file of that name that holds other bytes (another list
// of the same second, a copy cut by a crash) is kept, and the copy takes the next free
// name with a counter: name.yyyymmdd-hhmmss-2.ext, -3, ... The copy is complete and on
// the disk before it has its name. True when there was nothing to copy, an identical
// copy is there already, or it was made; false with *error set (say nothing may be
// overwritten then).
bool BackUpList(const std::string& list, const std::string& folder, std::string* error);

struct ListFileNames {
  std::string folder;     // the resolved list folder, ending with "/"
  std::string id_list;    // folder + name + "." + LstExt (".v00" when empty)
  std::string tree_list;  // folder + name + "." + DirExt (".t00" when empty)
  bool same = false;      // both names are equal
};

// Names the two lists: base_name (trimmed; one leading "/" dropped, then made a single
// file name by FileNamePart) in `folder`. A name too long for the file system with
// either extension is cut at a character boundary before the extension.
ListFileNames NameListFiles(const std::string& folder, std::string_view base_name,
                            std::string_view lst_ext, std::string_view dir_ext);

}  // namespace lists
