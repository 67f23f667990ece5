#pragma once
// The window's menu bar: File, Edit, View and Help. Every entry hands its command's
// number to the window's one command handler. An entry that stands for a button is
// enabled exactly when that button is, the Edit entries while an editor page is in
// front; with the pointer on an entry the window hears its hint, or why it is off.

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QPushButton;

class MenuBar : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<void(int tag)> execute;
    // Why the entry with this number is off.
    std::function<std::string(int tag)> reason_off;
    std::function<bool()> editor_in_front;
  };

  // Puts the menus on `window`, whose buttons must exist already.
  MenuBar(QMainWindow* window, Hooks hooks);

  // Each entry enabled as its button, or the page in front, allows.
  void Refresh();

 signals:
  // The pointer or the keyboard is on an entry: its hint, or (`off`) why it is off.
  void entryPointed(const std::string& text, bool off);
  // A menu closed: what the hint covered may show again.
  void menuClosed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    QAction* action;
    QPushButton* button;  // null when the entry follows no button
    bool editor;          // an Edit entry
    std::string hint;
  };

  QMenu* AddMenu(const char* title);
  void Point(const QAction* action);
  const Entry* EntryOf(const QAction* action) const;

  QMainWindow* window_;
  Hooks hooks_;
  std::vector<Entry> entries_;
  const QAction* pointed_ = nullptr;
};
