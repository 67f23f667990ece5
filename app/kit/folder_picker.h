#pragma once
// Choosing a folder and the files of the editors. Each goes through a replaceable
// handler, so tests script the answers; the defaults show real Qt dialogs.

#include <functional>
#include <string>
#include <vector>

// Handler of BrowseFolderSx: caption and start folder in; true and the chosen folder out.
using FolderHandler = std::function<bool(const std::string& caption, const std::string& start,
                                         std::string* folder)>;
// Installs a handler and returns the previous one; an empty handler restores the dialog.
FolderHandler SetFolderHandler(FolderHandler handler);

// The folder a picker for `path` opens in: `path` when it is a folder, else the nearest
// folder above it that exists; empty for an empty or relative path.
std::string NearestFolder(const std::string& path);

// Shows the folder dialog with `caption` as its title, starting in NearestFolder(root)
// (the home folder when that is empty). True with the chosen folder in `path`, without a
// trailing "/" ("/" stays "/"); false with `path` empty when cancelled.
bool BrowseFolderSx(const std::string& caption, const std::string& root, std::string* path);

// The dialog BrowseFolderSx shows by default: application-modal, folders only, the
// home folder, "/" and the real mount points in its sidebar.
bool ShowFolderDialog(const std::string& caption, const std::string& start, std::string* folder);

// Mount points worth offering: no pseudo file systems.
bool IsPseudoFileSystem(const std::string& fs_type, const std::string& mount_point);

// What a file dialog asks: open or save, its title, where it starts (a folder, a file,
// or when saving a suggested name) and its filters, the first one chosen at the start.
struct FileChoice {
  bool save = false;
  std::string caption;
  std::string start;
  std::vector<std::string> filters;
};

// The editors' dialogs: the text-file filter, then every file.
FileChoice EditorFileChoice(bool save, const std::string& caption, const std::string& preset);
// Opening a list: id lists by `id_ext`, then tree lists by `tree_ext`, then every file,
// in `folder`.
FileChoice ListFileChoice(const std::string& caption, const std::string& folder,
                          const std::string& id_ext, const std::string& tree_ext);
// Saving the report of `list`: "name-report.txt" (".jsonl" for JSON lines) beside the
// list suggested, files of that extension first, then every file.
FileChoice ReportFileChoice(const std::string& caption, const std::string& list, bool jsonl);

// Handler of the file dialogs: the choice in; true and the chosen file out.
using FileHandler = std::function<bool(const FileChoice& choice, std::string* file)>;
FileHandler SetFileHandler(FileHandler handler);

// Shows the dialog of `choice`. True with the chosen file; false when cancelled.
bool ChooseFileSx(const FileChoice& choice, std::string* file);
// The open or save dialog of the editors, titled `caption`, preset to `preset` (a file
// or empty), with the text-file filter.
bool ChooseFileSx(bool save, const std::string& caption, const std::string& preset,
                  std::string* file);
