#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/audit/audit_model.h"
#include "app/audit/audit_page.h"
#include "app/editors/double_edit.h"
#include "app/editors/editor_pages.h"
#include "app/find/find_page.h"
#include "app/hidden_bars.h"
#include "app/kit/controls.h"
#include "app/kit/file_box.h"
#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "app/kit/table_kit.h"
#include "app/menu_bar.h"
#include "app/run/job_link.h"
#include "app/run/run_control.h"
#include "app/run/run_page.h"
#include "app/settings/settings_page.h"
#include "audit/audit_report.h"
#include "editor/visible_marks.h"
#include "support/form_place.h"
#include "support/sys_init.h"

namespace {

constexpr int kDesignLeft = 34;
constexpr int kDesignTop = 146;
constexpr int kDesignWidth = 1048;
constexpr int kDesignHeight = 683;
constexpr int kFileBoxWidth = 260;
constexpr int kRightSplitterHandle = 3;
constexpr int kFileBoxLeastWidth = 120;
// The file box is never kept narrower than a list name of a few parts needs.
constexpr char kListNameSample[] = "nas%Music^Pop~123.v00";
constexpr int kFileBoxFrame = 24;  // the list's frame and its scroll bar

constexpr char kKeyLastPage[] = "LastPage";
constexpr char kKeyFileBoxWidth[] = "FileBoxWidth";

// The field a focus change concerns: a combo box's inner line edit counts as the box.
QWidget* FieldOf(QWidget* widget) {
  if (widget == nullptr) return nullptr;
  if (auto* box = qobject_cast<QComboBox*>(widget->parentWidget())) {
    if (box->lineEdit() == widget) return box;
  }
  if (qobject_cast<QLineEdit*>(widget) != nullptr || qobject_cast<QComboBox*>(widget) != nullptr) {
    return widget;
  }
  return nullptr;
}

QString TextOf(const QWidget* field) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(field)) return edit->text();
  if (const auto* box = qobject_cast<const QComboBox*>(field)) return box->currentText();
  return {};
}

}  // namespace

TViv050::TViv050(QWidget* parent) : QMainWindow(parent), run_(std::make_unique<RunControl>()) {
  setObjectName("Viv050");
  setWindowTitle(kDesignCaption);
  setGeometry(kDesignLeft, kDesignTop, kDesignWidth, kDesignHeight);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(kWindowColour));
  setPalette(palette);
  setAutoFillBackground(true);

  bars_ = std::make_unique<HiddenBars>(this);
  pcCln_ = Named(new QTabWidget, "pcCln");
  bFil_ = new FileBox;
  run_page_ = std::make_unique<RunPage>();
  settings_ = std::make_unique<SettingsPage>(bFil_, [this] { return run_->JobRunning(); });
  editors_ = std::make_unique<EditorPages>(this, pcCln_);
  audit_page_ = std::make_unique<AuditPage>();
  find_page_ =
      std::make_unique<FindPage>([this] { return run_->JobRunning() || run_->AuditRunning(); });
  BuildWidgets();
  ConnectParts();
  ConnectCommands();
  BuildMenu();
  LoadSettings();
  settings_->MirrorInfo(findChild<QLabel*>("sbInfo"));
  settings_loaded_ = true;
}

TViv050::~TViv050() {
  // Children still send signals and events while QWidget's destructor removes them, when
  // this object is no longer a TViv050.
  QObject::disconnect(qApp, nullptr, this, nullptr);
  for (QObject* child : findChildren<QObject*>()) {
    QObject::disconnect(child, nullptr, this, nullptr);
    child->removeEventFilter(this);
  }
  if (settings_loaded_) SaveSettings();
  run_->Shutdown();
}

JobLink* TViv050::link() const { return run_->link(); }
TDskFil* TViv050::running_job() const { return run_->running_job(); }
bool TViv050::JobRunning() const { return run_->JobRunning(); }
const std::shared_future<scan::ScanOutcome>& TViv050::job_done() const { return run_->job_done(); }
TTbsDoubleEdit* TViv050::added_page() const { return editors_->added_page(); }

void TViv050::BuildWidgets() {
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(bars_->top());

  pcCln_->setTabPosition(QTabWidget::East);
  QWidget* run_page = run_page_->Build();
  QWidget* settings_page = settings_->Build();
  editors_->Build();
  pcCln_->addTab(run_page, "Run");
  pcCln_->addTab(settings_page, "Settings");
  pcCln_->addTab(editors_->edit1(), "Edit1");
  pcCln_->addTab(editors_->edit2(), "Edit2");
  pcCln_->addTab(audit_page_->Build(), "Audit");
  pcCln_->addTab(find_page_->Build(), "Find");
  pcCln_->tabBar()->setAccessibleName("Pages");

  spRgt_ = Named(new QSplitter(Qt::Horizontal), "spRgt");
  spRgt_->setHandleWidth(kRightSplitterHandle);
  spRgt_->addWidget(pcCln_);
  spRgt_->addWidget(bFil_);
  spRgt_->setStretchFactor(0, 1);
  spRgt_->setStretchFactor(1, 0);
  spRgt_->setSizes({kDesignWidth - kFileBoxWidth, kFileBoxWidth});
  column->addWidget(spRgt_, 1);
  column->addWidget(bars_->bottom());
  setCentralWidget(central);
  // The info line's reasons and alerts, seen on every page.
  auto* status = Named(new ElidedLabel, "sbInfo");
  status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addWidget(status, 1);
}

void TViv050::ConnectParts() {
  connect(link(), &JobLink::jobNotified, this,
          [this](TDskFil& job, int code) { zmDskThread(job, static_cast<int16_t>(code)); });
  const auto show_info = [this](int kind, const std::string& text) {
    settings_->ShowInfo(kind, text);
  };
  connect(run_.get(), &RunControl::info, this, show_info);
  connect(run_.get(), &RunControl::starting, this, [this] { settings_->DisableStartButtons(); });
  connect(run_.get(), &RunControl::startFailed, this, [this] { ShowRunButtons(false); });
  connect(editors_.get(), &EditorPages::info, this, show_info);
  connect(editors_.get(), &EditorPages::captionChanged, this, &TViv050::RefreshCaption);
  connect(editors_.get(), &EditorPages::fileSaved, bFil_, &FileBox::Refresh);
  connect(editors_.get(), &EditorPages::positionsChanged, bars_.get(), &HiddenBars::ShowPositions);
  connect(bars_.get(), &HiddenBars::actionTriggered, this, &TViv050::ExecuteCommand);
  connect(bFil_, &FileBox::fileChosen, this,
          [this] { editors_->LoadChosenFile(bFil_->selectedPath()); });
  connect(pcCln_, &QTabWidget::currentChanged, this, &TViv050::OnPageChanged);
  connect(find_page_.get(), &FindPage::folderOpenRequested, this, [this](const std::string& folder) {
    if (!AuditPage::OpenFolderOf(folder)) find_page_->FolderNotOpened(folder);
  });
  ConnectAudit();
}

void TViv050::ConnectAudit() {
  connect(bFil_, &FileBox::verifyRequested, this, &TViv050::VerifySelected);
  connect(bFil_, &FileBox::compareRequested, this, &TViv050::CompareSelected);
  connect(run_page_->verify_button(), &QPushButton::clicked, this, &TViv050::VerifySelected);
  connect(run_page_->compare_button(), &QPushButton::clicked, this, &TViv050::CompareSelected);
  connect(audit_page_.get(), &AuditPage::relativeToggled, this, &TViv050::CompareAgain);
  // "Verify this volume" on a row of the Audit or Find page.
  const auto verify = [this](const std::string& list) {
    if (run_->StartVerify(list)) pcCln_->setCurrentIndex(kPageRun);
  };
  connect(audit_page_.get(), &AuditPage::verifyRequested, this, verify);
  connect(find_page_.get(), &FindPage::verifyRequested, this, verify);
  connect(run_.get(), &RunControl::auditEnded, this, &TViv050::ShowAudit);
  connect(find_page_.get(), &FindPage::scrubRequested, this,
          [this](const catalogue::CatalogueList& list) {
            if (!run_->StartScrub(list)) return;
            run_page_->StartScrub(list.name, static_cast<int64_t>(list.bytes));
            ShowRunButtons(true);
            pcCln_->setCurrentIndex(kPageRun);
          });
  connect(run_.get(), &RunControl::scrubProgress, this,
          [this](uint64_t files, uint64_t bytes, const std::string& path) {
            run_page_->ShowScrubProgress(files, bytes, path);
          });
  connect(run_.get(), &RunControl::scrubFound, this,
          [this](const std::string& path, const std::string& reason) {
            run_page_->AddScrubProblem(path, reason);
          });
  connect(run_.get(), &RunControl::starting, this, &TViv050::RefreshAuditButtons);
  connect(run_.get(), &RunControl::startFailed, this, &TViv050::RefreshAuditButtons);
  // After zmDskThread, which forgets the job at its end.
  connect(link(), &JobLink::notified, this, [this](int code) {
    if (code == scan::kNotifyEnd) RefreshAuditButtons();
  });
}

void TViv050::RefreshAuditButtons() {
  run_page_->EnableAudit(!run_->JobRunning() && !run_->AuditRunning());
  find_page_->RefreshScrubButton();
}

void TViv050::VerifySelected() {
  const std::string list = bFil_->selectedPath();
  if (list.empty()) {
    settings_->ShowInfo(kInfoAlert, "Select the id list to verify in the file box");
    return;
  }
  if (run_->StartVerify(list)) pcCln_->setCurrentIndex(kPageRun);
}

void TViv050::CompareSelected() {
  const std::string list = bFil_->selectedPath();
  if (list.empty()) {
    settings_->ShowInfo(kInfoAlert, "Select the id list to compare in the file box");
    return;
  }
  std::string other;
  if (!ChooseFileSx(settings_->ListChoice("Compare " + list + " with"), &other)) return;
  if (run_->StartCompare(list, other, audit_page_->relative())) RefreshAuditButtons();
}

void TViv050::CompareAgain() {
  const audit::AuditResult* shown = audit_page_->model()->result();
  if (shown == nullptr || shown->verify) return;
  if (run_->StartCompare(shown->old_name, shown->new_name, audit_page_->relative())) {
    RefreshAuditButtons();
  }
}

void TViv050::ShowAudit(const AuditEnd& end) {
  // Closed with Yes while it ran: the window goes now that it has ended.
  if (run_->TakeCloseAtEnd()) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  run_page_->ShowCancelling(false);
  RefreshAuditButtons();
  if (end.scrub) {
    run_page_->ShowScrubEnd(end.scrub_line, end.scrub_files, end.scrub_bytes);
    ShowRunButtons(false);
    // The volumes table shows where the volume stands now.
    find_page_->Refresh();
  }
  if (end.result == nullptr) {
    settings_->ShowInfo(kInfoAlert, end.error);
    return;
  }
  const audit::AuditResult& result = *end.result;
  audit_page_->Show(end.result, end.title.empty() ? audit::ReportTitle(result) : end.title,
                    end.notes);
  // A scrub's problems show on the Run page first; the Audit page holds their detail.
  if (end.scrub) return;
  pcCln_->setCurrentIndex(kPageAudit);
  if (end.verify) emit verifyProblems(result.problems);
}

// Every control that carries a command runs it; fields run theirs when they are left.
void TViv050::ConnectCommands() {
  for (QPushButton* button : findChildren<QPushButton*>()) {
    if (TagOf(button) == 0) continue;
    connect(button, &QPushButton::clicked, this, [this, button] { ExecuteCommand(TagOf(button)); });
    // Its hint shows while the pointer is over it.
    if (!button->toolTip().isEmpty()) button->installEventFilter(this);
  }
  for (QCheckBox* box : findChildren<QCheckBox*>()) {
    if (TagOf(box) == 0) continue;
    connect(box, &QCheckBox::clicked, this, [this, box] { ExecuteCommand(TagOf(box)); });
  }
  for (QLineEdit* edit : findChildren<QLineEdit*>()) {
    if (qobject_cast<QComboBox*>(edit->parentWidget()) != nullptr) continue;
    connect(edit, &QLineEdit::returnPressed, this, [this, edit] { FieldLeft(edit); });
  }
  for (QComboBox* box : findChildren<QComboBox*>()) {
    connect(box->lineEdit(), &QLineEdit::returnPressed, this, [this, box] { FieldLeft(box); });
    connect(box, &QComboBox::activated, this, [this, box] { FieldLeft(box); });
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
  }
  // The name headers: a double-click runs their command.
  for (QLabel* label : findChildren<QLabel*>()) {
    if (TagOf(label) != 0) label->installEventFilter(this);
  }
  connect(qApp, &QApplication::focusChanged, this, &TViv050::OnFocusChanged);
}

void TViv050::OnFocusChanged(QWidget* old_widget, QWidget* new_widget) {
  if (new_widget != nullptr && new_widget->window() != this &&
      new_widget->window()->windowType() == Qt::Popup) {
    return;  // a combo box's list is part of the box
  }
  if (old_widget != nullptr && old_widget->window() != this &&
      old_widget->window()->windowType() == Qt::Popup) {
    old_widget = nullptr;
  }
  QWidget* old_field = FieldOf(old_widget);
  QWidget* new_field = FieldOf(new_widget);
  if (old_field != nullptr && old_field == new_field) return;
  if (old_field != nullptr && old_field->window() == this) FieldLeft(old_field);
  if (new_widget == nullptr || new_widget->window() != this) return;
  if (new_field != nullptr) {
    FieldEntered(new_field);
  } else if (qobject_cast<QPushButton*>(new_widget) != nullptr) {
    settings_->ShowInfo(kInfoButton, "");
  }
}

void TViv050::FieldEntered(QWidget* field) {
  settings_->ShowInfo(kInfoField, "");
  text_on_enter_ = TextOf(field);
}

void TViv050::FieldLeft(QWidget* field) {
  settings_->NoteFieldLeft(TextOf(field) != text_on_enter_);
  // The text now stands as entered; a second exit without a change is no change.
  text_on_enter_ = TextOf(field);
  const int tag = TagOf(field);
  if (tag != 0) ExecuteCommand(tag);
}

bool TViv050::eventFilter(QObject* watched, QEvent* event) {
  if (auto* button = qobject_cast<QPushButton*>(watched)) {
    if (event->type() == QEvent::Enter) settings_->ShowInfo(kInfoButton, button->toolTip().toStdString());
    if (event->type() == QEvent::Leave) settings_->RestoreInfo();
    return QMainWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::MouseButtonDblClick) {
    const int tag = TagOf(watched);
    if (qobject_cast<QLabel*>(watched) != nullptr && tag != 0) {
      ExecuteCommand(tag);
      return true;
    }
  }
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    QWidget* field = FieldOf(qobject_cast<QWidget*>(watched));
    auto* box = qobject_cast<QComboBox*>(field);
    if (box != nullptr && key->key() == Qt::Key_F5) {
      const int tag = TagOf(box);
      if (tag != 0) ExecuteCommand(tag);
      return true;
    }
    if (box != nullptr && key->key() == Qt::Key_F12) {
      ComboHistorySx(box, kHistoryMax);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TViv050::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F && event->modifiers() == Qt::ControlModifier) {
    pcCln_->setCurrentIndex(kPageFind);
    find_page_->FocusName();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TViv050::OnPageChanged(int index) {
  editors_->PageChanged();
  if (index == kPageFind) find_page_->Activated();
  if (menu_ != nullptr) menu_->Refresh();
  RefreshCaption();
}

void TViv050::RefreshCaption() {
  // The designed caption stands until the window is first shown.
  if (!first_show_done_) return;
  setWindowTitle(VisibleName(editors_->Caption(pcCln_->currentWidget())));
}

void TViv050::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (first_show_done_) return;
  first_show_done_ = true;
  // The Settings page must have been laid out once for the headers to find their fields.
  const int page = pcCln_->currentIndex();
  QWidget* settings_page = pcCln_->widget(kPageSettings);
  pcCln_->setCurrentIndex(kPageSettings);
  settings_page->layout()->activate();
  for (QLayout* layout : settings_page->findChildren<QLayout*>()) layout->activate();
  ExecuteCommand(static_cast<int>(Command::kAlignNameHeaders));
  pcCln_->setCurrentIndex(page);
  OnPageChanged(page);
  FitPages();
}

void TViv050::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FitPages();
}

void TViv050::FitPages() {
  // Widths mean nothing before the window is laid out.
  if (!isVisible()) return;
  const QList<int> sizes = spRgt_->sizes();
  if (sizes.size() != 2) return;
  const int tabs = pcCln_->width() - pcCln_->currentWidget()->width();
  const int needed = settings_->NeededWidth() + std::max(0, tabs);
  const int least = FileBoxLeastWidth();
  if (sizes[0] >= needed || sizes[1] <= least) return;
  const int total = sizes[0] + sizes[1];
  const int box = std::max(least, total - needed);
  spRgt_->setSizes({total - box, box});
}

int TViv050::FileBoxLeastWidth() const {
  return std::max(kFileBoxLeastWidth,
                  fontMetrics().horizontalAdvance(kListNameSample) + kFileBoxFrame);
}

// A stored page of Edit2 or beyond reopens on Edit1, a negative one on Settings.
void TViv050::ShowPage(int page) {
  if (page >= kPageEdit1) {
    pcCln_->setCurrentIndex(kPageEdit1);
  } else if (page < 0) {
    pcCln_->setCurrentIndex(kPageSettings);
  } else {
    pcCln_->setCurrentIndex(page);
  }
}

void TViv050::LoadSettings() {
  support::FormPlaceGetSx(&placement_);
  settings_->Load();
  ShowPage(ReadInt(kKeyLastPage, kPageSettings));
  settings_->LoadBase();
  editors_->Load();
  find_page_->Load();
  LoadTableColumns(this);
  int box_width = ReadInt(kKeyFileBoxWidth, kFileBoxWidth);
  if (box_width >= 0) {
    box_width = std::max(box_width, FileBoxLeastWidth());
    spRgt_->setSizes({std::max(0, width() - box_width), box_width});
  }
}

void TViv050::SaveSettings() {
  support::IniClearSectionSx(support::SxAppIni, kSettingsSection);
  support::FormPlaceSetSx(&placement_, false, false);
  WriteValue(kKeyLastPage, SxValue(pcCln_->currentIndex()));
  settings_->Save();
  editors_->Save();
  find_page_->Save();
  SaveTableColumns(this);
  // The file box keeps its width; the pages take what the window has left.
  WriteValue(kKeyFileBoxWidth,
             SxValue(std::max(spRgt_->sizes().value(1, kFileBoxWidth), FileBoxLeastWidth())));
  support::AppIniSaveSx();
  settings_->SaveBase();
}
