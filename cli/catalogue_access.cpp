#include "cli/catalogue_access.h"

#include <cstdio>

#include "catalogue/catalogue_setup.h"
#include "catalogue/file_query.h"
#include "catalogue/mounted.h"
#include "catalogue/volumes.h"
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

}  // namespace

std::optional<int> OpenCatalogue(const CatalogueOptions& options,
                                 std::unique_ptr<catalogue::CatalogueIndex>* index, bool optional) {
  std::vector<std::string> folders;
  for (const std::string& given : options.folders) {
    const std::string folder = catalogue::CatalogueFolder(given);
    if (folder.empty()) return UsageError("--catalogue " + given + ": no such folder");
    folders.push_back(folder);
  }
  if (!StartUp(true)) return 0;
  const catalogue::CatalogueSetup setup = catalogue::SetUpCatalogue(std::move(folders));
  if (setup.state == catalogue::SetupState::kNoFolder) {
    if (optional) return std::nullopt;
    return UsageError("no catalogue: the list folder " + setup.own_folder + " " +
                      setup.own_problem + " and no --catalogue DIR was given");
  }
  if (setup.state == catalogue::SetupState::kNoCache)
    return UsageError("no cache folder: neither XDG_CACHE_HOME nor HOME is set");
  *index =
      std::make_unique<catalogue::CatalogueIndex>(setup.folders, setup.index_path, setup.list_ext);

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
    return l.path == absolute ||
           l.path.substr(l.path.find_last_of(platform::kSeparators) + 1) == name;
  });
  if (found.empty()) {
    found = by([&](const catalogue::CatalogueList& l) { return l.name == name; });
  }
  if (found.empty()) {
    found = by([&](const catalogue::CatalogueList& l) {
      return support::SameText(l.label, name) || lists::SerialNumberText(l.serial) == name;
    });
  }
  if (found.size() == 1) return found.front();
  *error = found.empty() ? "no list of the catalogue is named '" + name + "'"
                         : "'" + name + "' names " + std::to_string(found.size()) +
                               " lists of the catalogue; give the list's path";
  return nullptr;
}

std::function<std::optional<ProbableCopy>(const lists::IdList&, const lists::ListedFile&)>
ProbableCopyFinder(const CatalogueOptions& options, const std::string& own_list) {
  struct State {
    CatalogueOptions options;
    std::string own_path;
    bool opened = false;
    std::unique_ptr<catalogue::CatalogueIndex> index;
    catalogue::CatalogueList own;
    std::vector<catalogue::CatalogueList> lists;
  };
  auto state = std::make_shared<State>();
  state->options = options;
  state->own_path = platform::ResolveExisting(platform::AbsolutePath(own_list));
  return [state](const lists::IdList& list,
                 const lists::ListedFile& file) -> std::optional<ProbableCopy> {
    if (!file.has_id || file.size == 0) return std::nullopt;
    const std::optional<int64_t> key = catalogue::ContentKey(file.id_text());
    if (!key) return std::nullopt;
    if (!state->opened) {
      state->opened = true;
      if (OpenCatalogue(state->options, &state->index, true)) state->index.reset();
      if (state->index) state->lists = state->index->Lists();
      const catalogue::CatalogueList* own = nullptr;
      for (const catalogue::CatalogueList& known : state->lists) {
        if (known.path == state->own_path) own = &known;
      }
      // A list outside the catalogue may still be of a volume some list of it holds.
      state->own = own != nullptr ? *own : catalogue::ListOutsideCatalogue(state->own_path, list);
    }
    if (!state->index) return std::nullopt;
    const std::string path = std::string(list.directory(file)).append(file.name());
    const std::vector<catalogue::CatalogueFile> copies =
        state->index->CopiesOf(state->own, path, file.size, *key);
    // A copy on another volume first: a failing disk may take its other copies along.
    const catalogue::CatalogueFile* chosen = nullptr;
    const catalogue::CatalogueList* holder = nullptr;
    for (const catalogue::CatalogueFile& copy : copies) {
      const catalogue::CatalogueList* of = catalogue::ListById(state->lists, copy.list);
      if (of == nullptr) continue;
      const bool elsewhere = !catalogue::SameVolume(*of, state->own);
      if (chosen == nullptr || elsewhere) {
        chosen = &copy;
        holder = of;
      }
      if (elsewhere) break;
    }
    if (chosen == nullptr) return std::nullopt;
    return ProbableCopy{holder->name, chosen->path};
  };
}

}  // namespace cli
