#pragma once
// What every table of the window shares: the path column takes the spare width, the
// columns whose text must show whole are as wide as it, the rest keep the width the user
// drags them to; each table's widths and sort order are kept with the window's settings,
// one key per table; a right-click on a row offers what can be done with its file.

#include <QString>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QAbstractItemView;
class QHeaderView;
class QMenu;
class QPoint;
class QWidget;

// `path` takes the width the other columns leave, never less than a readable least (the
// table scrolls then); each of `whole` sizes to its contents; the others stay interactive.
void ShapeColumns(QAbstractItemView* view, int path, std::initializer_list<int> whole);

// The widths and sort order of every named table below `window`, under "Columns" and the
// table's name. A state that no longer fits a table is left unread.
void LoadTableColumns(QWidget* window);
void SaveTableColumns(const QWidget* window);

// An entry of a row's menu; one without `run` shows disabled.
struct RowAction {
  QString caption;
  const char* name = "";
  std::function<void()> run;
};

// The usual entries, named miOpen, miOpenFolder, miCopyPath, miShowCopies, miVerifyVolume,
// miScrubNow.
RowAction OpenAction(std::function<void()> run);
RowAction OpenFolderAction(std::function<void()> run);
RowAction CopyPathAction(const std::string& path);
RowAction ShowCopiesAction(std::function<void()> run);
RowAction VerifyVolumeAction(std::function<void()> run);
RowAction ScrubNowAction(std::function<void()> run);

// Pops the entries up at `at` (in the view's viewport) in a menu named "pmRow" that goes
// when it closes; returns it.
QMenu* PopRowMenu(QAbstractItemView* view, const QPoint& at, const std::vector<RowAction>& actions);
// Right-clicks on `view` ask `actions` for the entries of the row under the pointer.
void OfferRowMenu(QAbstractItemView* view, std::function<std::vector<RowAction>(int row)> actions);

// Opening a file failed: the desktop has no program set up for it.
std::string NoFileProgramText(const std::string& file);

// Opens a file or folder for the user; tests replace it. Returns the previous one; an
// empty opener restores the desktop's own.
using PathOpener = std::function<bool(const std::string& path)>;
PathOpener SetPathOpener(PathOpener opener);
// False when the desktop could not open it.
bool OpenPath(const std::string& path);
