#pragma once
// What every desktop test needs: a fresh settings folder with a base file, recorded
// message boxes, scripted folder choices, and a shown main window.

#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/kit/folder_picker.h"
#include "app/main_window.h"

class QAbstractItemView;
class QMenu;
#include "support/recording_msg.h"

namespace testing_support {

// Answers from a script (an empty answer cancels), keeping the captions asked with.
class ScriptedAnswers {
 public:
  void Answer(const std::string& answer) { answers_.push_back(answer); }
  const std::vector<std::string>& captions() const { return captions_; }

 protected:
  bool Next(const std::string& caption, std::string* answer);

 private:
  std::deque<std::string> answers_;
  std::vector<std::string> captions_;
};

// Answers BrowseFolderSx, keeping the folders the dialogs would have opened in.
class ScriptedFolders : public ScriptedAnswers {
 public:
  ScriptedFolders();
  ~ScriptedFolders();
  const std::vector<std::string>& starts() const { return starts_; }

 private:
  std::vector<std::string> starts_;
};

// Answers the open and save dialogs, keeping what each asked.
class ScriptedFiles : public ScriptedAnswers {
 public:
  ScriptedFiles();
  ~ScriptedFiles();
  const std::vector<FileChoice>& choices() const { return choices_; }

 private:
  std::vector<FileChoice> choices_;
};

// A settings folder of its own (CHECKER_APPDIR and XDG_CONFIG_HOME) with an empty base
// file and SysInitSx run on it; without the base file SysInitSx is left to the test.
class AppEnv {
 public:
  explicit AppEnv(bool with_base_file = true);
  // SxAppDir, ending with "/".
  std::string dir() const;
  std::string ini_file() const;
  std::string base_file() const;
  // Runs SysInitSx again (after the files were changed by hand).
  void Init();

  RecordingMsg msg;
  ScriptedFolders folders;
  ScriptedFiles files;

 private:
  QTemporaryDir temp_;
};

// A new main window, shown and exposed.
std::unique_ptr<TViv050> OpenWindow();

template <typename T>
T* Find(const QObject* window, const char* name) {
  return window->findChild<T*>(QString::fromLatin1(name));
}

std::string TextOf(const QObject* window, const char* name);
// Types into a field or box and leaves it with Return, as a person would.
void Enter(TViv050* window, const char* name, const QString& text);

// Keeps the files and folders the window would have opened, for as long as it lives.
class RecordedOpens {
 public:
  RecordedOpens();
  ~RecordedOpens();
  std::vector<std::string> paths;

 private:
  std::function<bool(const std::string&)> previous_;
};

// Right-clicks row `row` of a table as a person would; the menu that came up (null: none).
QMenu* RowMenu(QAbstractItemView* view, int row);
// The entries of a row's menu as "name" for each enabled and "(name)" for each disabled.
std::vector<std::string> Entries(const QMenu* menu);
// Runs the entry named `name` of a row's menu; false when it is absent or disabled.
bool Choose(QMenu* menu, const char* name);

// Lines of a file split at CR LF (or LF).
std::vector<std::string> FileLines(const std::string& path);

}  // namespace testing_support
