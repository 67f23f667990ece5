#include "catalogue/catalogue_setup.h"

#include "catalogue/catalogue_index.h"
#include "lists/list_paths.h"
#include "platform/paths.h"
#include "support/sys_init.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace catalogue {

namespace {

std::string WithSlash(std::string path) {
  if (path.empty() || !platform::IsSeparator(path.back())) path += platform::kSeparator;
  return path;
}

}  // namespace

std::string CatalogueFolder(const std::string& given) {
  const std::string folder = WithSlash(platform::AbsolutePath(given));
  if (!lists::FolderProblem(folder).empty()) return {};
  return platform::ResolveExisting(folder);
}

CatalogueSetup SetUpCatalogue(std::vector<std::string> folders) {
  CatalogueSetup setup;
  const lists::BaseSettings base =
      lists::LoadBaseSettingsFrom(support::SxBaseIniFile, support::SxAppDir);
  setup.own_folder = lists::ResolveBaseFolder(base.app_path, base.vol_path, support::SxAppDir);
  setup.own_problem =
      setup.own_folder.empty() ? "does not exist" : lists::FolderProblem(setup.own_folder);
  if (setup.own_problem.empty()) {
    folders.push_back(platform::ResolveExisting(setup.own_folder));
  }
  setup.folders = std::move(folders);
  const std::string ext = support::Trim(base.lst_ext);
  setup.list_ext = ext.empty() ? lists::kDefaultLstExt : ext;
  if (setup.folders.empty()) {
    setup.state = SetupState::kNoFolder;
    return setup;
  }
  setup.index_path = IndexPathFor(setup.folders);
  if (setup.index_path.empty()) setup.state = SetupState::kNoCache;
  return setup;
}

}  // namespace catalogue
