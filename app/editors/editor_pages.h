#pragma once
// The editor pages: Edit1 and Edit2 with their editors, the pages "TBS" adds, the
// editors' popup menus and the editor commands. Which editor a command works on is
// decided here; what the window shows about it goes out as signals.

#include <QObject>
#include <QPointer>
#include <string>

#include "app/kit/command_tags.h"

class EditorFiles;
class QAction;
class QMenu;
class QPoint;
class QTabWidget;
class QWidget;
class TTbsDoubleEdit;
class TextEditor;

class EditorPages : public QObject {
  Q_OBJECT
 public:
  // `window` owns the menus and every editor; pages added later go on `pages`.
  EditorPages(QWidget* window, QTabWidget* pages);

  // Builds Edit1 and Edit2 (unparented until put on `pages`) and the menus.
  void Build();
  TTbsDoubleEdit* edit1() const { return tsEdit1_; }
  TTbsDoubleEdit* edit2() const { return tsEdit2_; }
  // The page 801 added last; null when none or removed.
  TTbsDoubleEdit* added_page() const;

  // The editor commands, 60, 801 and 802; false for any other command.
  bool Execute(Command command);
  // The window's caption while `page` shows: the program's, and the files of Edit1's
  // or Edit2's editors.
  std::string Caption(const QWidget* page) const;
  // Another page shows: no editor is current.
  void PageChanged();
  // The window's Edit menu works on `page` while it is in front: on the current editor
  // when that is on the page, else on the page's upper editor. Nothing for other pages.
  void AimAt(QWidget* page);
  // The file the file box chose (empty: the current editor's own) into the current
  // editor; nothing without a current editor or a non-empty file.
  void LoadChosenFile(const std::string& chosen);
  // Asks about every changed editor before the window closes; false to stay open.
  bool MayClose();

  // The window's section: Edit1's "2nd editor" and "Vertical" and both pages' splitters.
  void Load();
  void Save() const;

 signals:
  void info(int kind, const std::string& text);
  // An editor's file name changed.
  void captionChanged();
  // A file was written where the file box may list it.
  void fileSaved();
  // The current editor's caret column and selection ("start-length", empty without lines).
  void positionsChanged(const QString& column, const QString& selection);

 private:
  void BuildMenus();
  void ConnectEditor(TextEditor* editor);
  void ShowEditorMenu(TextEditor* editor, const QPoint& global_pos);
  void EditorFocused(TextEditor* editor);
  // The editor a command works on: the one whose menu is open, else the one under the
  // pointer, else the current one; null when there is none.
  TextEditor* CommandEditor() const;
  void ExecuteEditorCommand(Command command, TextEditor* editor);
  void ShowPositions();
  void StripBlanks(TextEditor* editor);
  void SortEditor(TextEditor* editor);
  void FixOldData(TextEditor* editor);
  void ClearEditor(TextEditor* editor);
  void ListFolderInto(TextEditor* editor, bool directories);
  // How the save question names an editor: its file, else where it sits.
  std::string Title(const TextEditor* editor) const;
  // A status text on the page of `editor`, at the foot of its editors.
  void ShowStatus(const TextEditor* editor, const std::string& text);
  // Edit1's menu: the second editor shown or hidden, the editors side by side or not.
  void ShowSecondEditor(bool shown);
  void SetSideBySide(bool side_by_side);
  // The editor of Edit1 its menu's "Save" works on: the one focused last.
  TextEditor* Edit1Editor() const;
  void AddEditorPage();
  void RemoveEditorPage();

  QWidget* window_;
  QTabWidget* pages_;
  EditorFiles* files_;
  TTbsDoubleEdit* tsEdit1_ = nullptr;
  TTbsDoubleEdit* tsEdit2_ = nullptr;
  TextEditor* sEdt11_ = nullptr;
  TextEditor* sEdt12_ = nullptr;
  TextEditor* sEdt21_ = nullptr;
  TextEditor* sEdt22_ = nullptr;
  QMenu* mE_ = nullptr;
  QMenu* mTE_ = nullptr;
  QAction* second_editor_ = nullptr;
  QAction* vertical_ = nullptr;
  // The page 801 added last; earlier ones stay until the window goes.
  QPointer<TTbsDoubleEdit> added_page_;
  QPointer<TextEditor> current_editor_;
  QPointer<TextEditor> command_editor_;
  QPointer<TextEditor> menu_editor_;
  QPointer<TextEditor> edit1_editor_;
};
