#include "app/menu_bar.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <iterator>

#include "app/kit/command_tags.h"

namespace {

// One entry of a menu; an empty caption is a separator.
struct EntryDesign {
  const char* caption;
  Command command;
  const char* button;  // the object name of the button it stands for
  const char* hint;    // for entries without a button
  const char* keys;
};

constexpr EntryDesign kFile[] = {
    {"&Create", Command::kCreate, "bcRun01", nullptr, nullptr},
    {"C&ontinue", Command::kContinue, "bcRun02", nullptr, nullptr},
    {"", Command::kCreate, nullptr, nullptr, nullptr},
    {"&Verify", Command::kVerifySelected, "bcRunVerify", nullptr, nullptr},
    {"Compare &with...", Command::kCompareSelected, "bcRunCompare", nullptr, nullptr},
    {"", Command::kCreate, nullptr, nullptr, nullptr},
    {"O&pen list...", Command::kOpenList, nullptr, "Open a list in the upper editor of Edit1",
     nullptr},
    {"&Save report...", Command::kSaveReport, "bcAudSave", nullptr, nullptr},
    {"", Command::kCreate, nullptr, nullptr, nullptr},
    {"&Quit", Command::kQuit, nullptr, "Close the window", "Ctrl+Q"},
};

// The editors' own popup menu, for the editor in front.
constexpr EntryDesign kEdit[] = {
    {"Strip &Blanks", Command::kStripBlanks, nullptr, nullptr, nullptr},
    {"S&ort", Command::kSort, nullptr, nullptr, nullptr},
    {"", Command::kCreate, nullptr, nullptr, nullptr},
    {"&Clear lines", Command::kClearLines, nullptr, nullptr, nullptr},
    {"&File list from directory ...", Command::kListFiles, nullptr, nullptr, nullptr},
    {"&Directory list  ...", Command::kListDirectories, nullptr, nullptr, nullptr},
    {"", Command::kCreate, nullptr, nullptr, nullptr},
    {"O&pen ...", Command::kMenuOpen, nullptr, nullptr, nullptr},
    {"&Load", Command::kMenuLoad, nullptr, nullptr, nullptr},
    {"&Save", Command::kMenuSave, nullptr, nullptr, nullptr},
    {"Save &as ...", Command::kMenuSaveAs, nullptr, nullptr, nullptr},
};

constexpr const char* kPageCaptions[] = {"&Run",   "&Settings", "Edit&1",
                                         "Edit&2", "&Audit",    "&Find"};

constexpr EntryDesign kHelp[] = {
    {"&What each page does", Command::kHelpPages, nullptr, nullptr, nullptr},
    {"What a &run tells you", Command::kHelpRun, nullptr, nullptr, nullptr},
    {"", Command::kCreate, nullptr, nullptr, nullptr},
    {"&About Checker", Command::kAbout, nullptr, nullptr, nullptr},
};

}  // namespace

MenuBar::MenuBar(QMainWindow* window, Hooks hooks) : window_(window), hooks_(std::move(hooks)) {
  const auto fill = [this](QMenu* menu, const auto& designs, bool editor) {
    for (const EntryDesign& design : designs) {
      if (*design.caption == '\0') {
        menu->addSeparator();
        continue;
      }
      const int tag = static_cast<int>(design.command);
      QAction* action = menu->addAction(design.caption);
      SetTag(action, design.command);
      if (design.keys != nullptr) action->setShortcut(QKeySequence(design.keys));
      connect(action, &QAction::triggered, this, [this, tag] { hooks_.execute(tag); });
      QPushButton* button = nullptr;
      if (design.button != nullptr) button = window_->findChild<QPushButton*>(design.button);
      // The button tells when its enabled state changes.
      if (button != nullptr) button->installEventFilter(this);
      entries_.push_back({action, button, editor, design.hint != nullptr ? design.hint : ""});
    }
  };
  fill(AddMenu("&File"), kFile, false);
  fill(AddMenu("&Edit"), kEdit, true);
  QMenu* view = AddMenu("&View");
  const int first_page = static_cast<int>(Command::kViewRun);
  for (int page = 0; page < static_cast<int>(std::size(kPageCaptions)); ++page) {
    const int tag = first_page + page;
    QAction* action = view->addAction(kPageCaptions[page]);
    action->setProperty(kTagProperty, tag);
    action->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + page)));
    connect(action, &QAction::triggered, this, [this, tag] { hooks_.execute(tag); });
    entries_.push_back({action, nullptr, false, ""});
  }
  fill(AddMenu("&Help"), kHelp, false);
  Refresh();
}

QMenu* MenuBar::AddMenu(const char* title) {
  QMenu* menu = window_->menuBar()->addMenu(title);
  menu->setObjectName(QString("mnu") + QString(title).remove('&'));
  connect(menu, &QMenu::aboutToShow, this, &MenuBar::Refresh);
  connect(menu, &QMenu::hovered, this, &MenuBar::Point);
  connect(menu, &QMenu::aboutToHide, this, [this] {
    pointed_ = nullptr;
    emit menuClosed();
  });
  // Styles do not let a disabled entry be hovered; the pointer over it still asks why.
  menu->installEventFilter(this);
  return menu;
}

void MenuBar::Refresh() {
  const bool editor_in_front = hooks_.editor_in_front();
  for (const Entry& entry : entries_) {
    if (entry.button != nullptr) {
      entry.action->setEnabled(entry.button->isEnabled());
    } else if (entry.editor) {
      entry.action->setEnabled(editor_in_front);
    }
  }
}

const MenuBar::Entry* MenuBar::EntryOf(const QAction* action) const {
  for (const Entry& entry : entries_) {
    if (entry.action == action) return &entry;
  }
  return nullptr;
}

void MenuBar::Point(const QAction* action) {
  if (action == pointed_) return;
  pointed_ = action;
  const Entry* entry = EntryOf(action);
  if (entry == nullptr) return;
  if (!action->isEnabled()) {
    emit entryPointed(hooks_.reason_off(TagOf(action)), true);
    return;
  }
  const std::string hint =
      entry->button != nullptr ? entry->button->toolTip().toStdString() : entry->hint;
  if (!hint.empty()) emit entryPointed(hint, false);
}

bool MenuBar::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::EnabledChange && qobject_cast<QPushButton*>(watched) != nullptr) {
    for (const Entry& entry : entries_) {
      if (entry.button == watched) entry.action->setEnabled(entry.button->isEnabled());
    }
  } else if (event->type() == QEvent::MouseMove) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      Point(menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
    }
  }
  return QObject::eventFilter(watched, event);
}
