#include "cli/catalogue_access.h"

#include <cstdio>

#include "cli/progress_line.h"
#include "cli/start_up.h"
#include "cli/terminal_text.h"
#include "lists/list_names.h"
#include "lists/list_paths.h"
#include "platform/paths.h"
#include "support/sys_init.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace cli {

namespace {

constexpr int kStderr = 2;

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

std::optional<int> OpenCatalogue(const CatalogueOptions& options,
                                 std::unique_ptr<catalogue::CatalogueIndex>* index) {
  std::vector<std::string> folders;
  for (const std::string& given : options.folders) {
    const std::string folder = WithSlash(platform::AbsolutePath(given));
    if (!DirExistsSx(folder)) return UsageError("--catalogue " + given + ": no such folder");
    folders.push_back(platform::ResolveExisting(folder));
  }
  if (!StartUp(true)) return 0;
  const scan::BaseSettings base = scan::LoadBaseSettingsFrom(SxBaseIniFile, SxAppDir);
  const std::string own = scan::ResolveBaseFolder(base.app_path, base.vol_path, SxAppDir);
  if (!own.empty() && DirExistsSx(own)) folders.push_back(platform::ResolveExisting(own));
  const std::string index_path = catalogue::IndexPathFor(folders);
  if (index_path.empty())
    return UsageError("no cache folder: neither XDG_CACHE_HOME nor HOME is set");
  const std::string ext =
      support::Trim(base.lst_ext).empty() ? scan::kDefaultLstExt : support::Trim(base.lst_ext);
  *index = std::make_unique<catalogue::CatalogueIndex>(folders, index_path, ext);

  const bool show = options.progress || platform::IsTerminal(kStderr);
  const auto progress = [&](size_t done, size_t total, const std::string& list) {
    if (list.empty()) {
      PrintMessage("indexed " + std::to_string(total) + " lists; indexing names and ids");
    } else {
      PrintMessage("indexing list " + std::to_string(done + 1) + " of " + std::to_string(total) +
                   ": " + list);
    }
  };
  const bool ok = (*index)->Refresh(show ? catalogue::IndexProgress(progress) : nullptr);
  for (const std::string& note : (*index)->notes()) PrintMessage(note);
  if (!ok) {
    PrintMessage((*index)->error());
    return 2;
  }
  return std::nullopt;
}

const catalogue::CatalogueList* PickList(const std::vector<catalogue::CatalogueList>& lists,
                                         const std::string& name, std::string* error) {
  const std::string absolute = platform::ResolveExisting(platform::AbsolutePath(name));
  // A path, then a list name, then a label or serial: the first kind that names any.
  const auto by = [&](auto&& names) {
    std::vector<const catalogue::CatalogueList*> found;
    for (const catalogue::CatalogueList& list : lists) {
      if (names(list)) found.push_back(&list);
    }
    return found;
  };
  std::vector<const catalogue::CatalogueList*> found = by([&](const catalogue::CatalogueList& l) {
    return l.path == absolute || l.path.substr(l.path.rfind('/') + 1) == name;
  });
  if (found.empty()) {
    found = by([&](const catalogue::CatalogueList& l) { return l.name == name; });
  }
  if (found.empty()) {
    found = by([&](const catalogue::CatalogueList& l) {
      return support::SameText(l.label, name) || scan::SerialNumberText(l.serial) == name;
    });
  }
  if (found.size() == 1) return found.front();
  *error = found.empty() ? "no list of the catalogue is named '" + name + "'"
                         : "'" + name + "' names " + std::to_string(found.size()) +
                               " lists of the catalogue; give the list's path";
  return nullptr;
}

}  // namespace cli
