#pragma once
// Where a front end finds its catalogue: the list folder of the settings and the folders
// it was given, the index file for them, and the extension of the id lists. Both front
// ends set up their CatalogueIndex from this.

#include <string>
#include <vector>

namespace catalogue {

// A folder a user names as a catalogue folder, made absolute with links resolved and
// ending with "/"; empty when it is no folder nor a link to one.
std::string CatalogueFolder(const std::string& given);

enum class SetupState {
  kReady,
  kNoFolder,  // neither the list folder of the settings nor a given folder exists
  kNoCache,   // neither XDG_CACHE_HOME nor HOME is set
};

struct CatalogueSetup {
  SetupState state = SetupState::kReady;
  std::vector<std::string> folders;  // the given ones, then the settings' list folder
  std::string own_folder;            // the list folder of the settings, existing or not
  std::string own_problem;  // what it is when it is no folder ("does not exist"), else empty
  std::string index_path;
  std::string list_ext;  // without the dot
};

// Reads the base settings of SxAppDir (SysInitSx has run) and adds their list folder,
// when it exists, after `folders` (each as CatalogueFolder gives it).
CatalogueSetup SetUpCatalogue(std::vector<std::string> folders);

}  // namespace catalogue
