#pragma once
// Choosing a folder and the files of the editors. Each goes through a replaceable
// handler, so tests script the answers; the defaults show real Qt dialogs.

#include <functional>
#include <string>

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

// Handler of the editors' file dialogs: save or open, caption and preset file in; true
// and the chosen file out.
using FileHandler = std::function<bool(bool save, const std::string& caption,
                                       const std::string& preset, std::string* file)>;
FileHandler SetFileHandler(FileHandler handler);

// The open or save dialog of the editors, titled `caption`, preset to `preset` (a file
// or empty), with the text-file filter. True with the chosen file; false when cancelled.
bool ChooseFileSx(bool save, const std::string& caption, const std::string& preset,
                  std::string* file);
