#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/controls.h"
#include "app/double_edit.h"
#include "editor/text_editor.h"
#include "app/file_box.h"
#include "app/job_link.h"
#include "scan/list_names.h"
#include "scan/list_paths.h"

namespace {

constexpr int kDesignLeft = 34;
constexpr int kDesignTop = 146;
constexpr int kDesignWidth = 1048;
constexpr int kDesignHeight = 683;
constexpr int kNamePanelWidth = 459;
constexpr int kFileBoxWidth = 260;
constexpr int kRightSplitterHandle = 3;
constexpr int kNetNamWidth = 80;

constexpr char kTag[] = "tag";

constexpr char kDefaultDirParams[] =
    "/EP recycler|recycled|temp|tmp|system volume information|#recycled";
constexpr char kDefaultFileParams[] = "/EF thumbs.db|desktop.ini|*.tmp";

void SetTag(QObject* object, int tag) { object->setProperty(kTag, tag); }

int TagOf(const QObject* object) {
  return object != nullptr ? object->property(kTag).toInt() : 0;
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QPushButton* Button(const char* name, const char* caption, int tag, const char* hint = nullptr) {
  auto* button = Named(new QPushButton(caption), name);
  SetTag(button, tag);
  if (hint != nullptr) button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

QPushButton* DialogButton(const char* name, int tag, const char* hint) {
  QPushButton* button = Button(name, ">>", tag, hint);
  button->setFixedWidth(button->fontMetrics().horizontalAdvance(">>") + 16);
  return button;
}

QComboBox* HistoryBox(const char* name, int tag, const char* hint = nullptr) {
  auto* box = Named(new QComboBox, name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  SetTag(box, tag);
  if (hint != nullptr) box->setToolTip(hint);
  return box;
}

QLineEdit* Field(const char* name, const char* text = "", int tag = 0) {
  auto* edit = Named(new QLineEdit(text), name);
  SetTag(edit, tag);
  return edit;
}

QLabel* ValueLabel(const char* name, const char* hint = nullptr, const char* text = "") {
  auto* label = Named(new QLabel(text), name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(150);
  if (hint != nullptr) label->setToolTip(hint);
  return label;
}

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

void SetColours(QWidget* widget, QColor text, QColor background) {
  QPalette palette = widget->palette();
  if (text.isValid()) palette.setColor(QPalette::WindowText, text);
  if (background.isValid()) {
    palette.setColor(QPalette::Window, background);
    widget->setAutoFillBackground(true);
  } else {
    widget->setAutoFillBackground(false);
  }
  widget->setPalette(palette);
}

TViv050::TViv050(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Viv050");
  setWindowTitle(kDesignCaption);
  setGeometry(kDesignLeft, kDesignTop, kDesignWidth, kDesignHeight);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(kWindowColour));
  setPalette(palette);
  setAutoFillBackground(true);

  link_ = new JobLink(qApp);
  connect(link_, &JobLink::jobNotified, this,
          [this](TDskFil& job, int code) { zmDskThread(job, static_cast<int16_t>(code)); });

  BuildWidgets();
  ConnectCommands();
  LoadSettings();
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
  // Until the link is closed a job that has not ended is still alive; from then on it
  // answers "stop" by itself and never reaches a widget.
  if (!link_->closed() && running_job_ != nullptr) running_job_->Terminate();
  link_->MarkClosed();
}

void TViv050::BuildWidgets() {
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  BuildHiddenParts();
  column->addWidget(pnBots_);

  pcCln_ = Named(new QTabWidget, "pcCln");
  pcCln_->setTabPosition(QTabWidget::East);
  tsRun_ = BuildRunPage();
  tsSet_ = BuildSettingsPage();
  BuildEditorPages();
  pcCln_->addTab(tsRun_, "Run");
  pcCln_->addTab(tsSet_, "Settings");
  pcCln_->addTab(tsEdit1_, "Edit1");
  pcCln_->addTab(tsEdit2_, "Edit2");

  bFil_ = new FileBox;
  spRgt_ = Named(new QSplitter(Qt::Horizontal), "spRgt");
  spRgt_->setHandleWidth(kRightSplitterHandle);
  spRgt_->addWidget(pcCln_);
  spRgt_->addWidget(bFil_);
  spRgt_->setStretchFactor(0, 1);
  spRgt_->setStretchFactor(1, 0);
  spRgt_->setSizes({kDesignWidth - kFileBoxWidth, kFileBoxWidth});
  column->addWidget(spRgt_, 1);
  column->addWidget(pneBot_);
  setCentralWidget(central);
}

QWidget* TViv050::BuildRunPage() {
  auto* page = Named(new QWidget, "tsRun");
  auto* layout = new QVBoxLayout(page);

  auto* top = Named(new QWidget, "pnRunTop");
  auto* grid = new QGridLayout(top);
  liPth_ = Named(new QLabel, "liPth");
  liPth_->setToolTip("Current path");
  liFil_ = Named(new QLabel, "liFil");
  liFil_->setToolTip("Current file ( when screen was updated )");
  liTotPrc_ = Named(new QLabel, "liTotPrc");
  liError_ = Named(new QLabel("0"), "liError");
  bcRun09_ = Button("bcRun09", "Cancel", 9);
  bcRun09_->setEnabled(false);
  liCancel_ = Named(new QLabel(" CANCELLING "), "liCancel");
  QFont bold = liCancel_->font();
  bold.setBold(true);
  liCancel_->setFont(bold);
  SetColours(liCancel_, QColor(kCancellingText), QColor(kCancellingBackground));
  liCancel_->hide();
  pbRun_ = Named(new QProgressBar, "pbRun");
  pbRun_->setRange(0, 100);
  pbRun_->setValue(0);
  grid->addWidget(new QLabel(" Path "), 0, 0);
  grid->addWidget(liPth_, 0, 1, 1, 4);
  grid->addWidget(new QLabel(" File "), 1, 0);
  grid->addWidget(liFil_, 1, 1, 1, 4);
  grid->addWidget(new QLabel("Progress"), 2, 0);
  grid->addWidget(liTotPrc_, 2, 1);
  grid->addWidget(pbRun_, 2, 2);
  grid->addWidget(new QLabel(" Errors "), 2, 3);
  grid->addWidget(liError_, 2, 4);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(bcRun09_);
  buttons->addWidget(liCancel_);
  buttons->addStretch(1);
  grid->addLayout(buttons, 3, 0, 1, 5);
  grid->setColumnStretch(2, 1);
  layout->addWidget(top);

  auto* scroll = Named(new QScrollArea, "sbRun");
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget;
  auto* groups = new QVBoxLayout(inner);

  auto* times = new QFormLayout;
  liTme_ = ValueLabel("liTme", "Time spent so far");
  liLeft_ = ValueLabel("liLeft", "Estmated time left");
  liTime1_ = ValueLabel("liTime1", nullptr, "2000-12-12 24:24:24-000");
  liTime2_ = ValueLabel("liTime2", "Last or finish time ");
  times->addRow("Time", liTme_);
  times->addRow("- left", liLeft_);
  times->addRow("Began", liTime1_);
  times->addRow("Latest", liTime2_);
  groups->addLayout(times);

  auto* directory = Named(new QGroupBox("Directory"), "gbDirectory");
  auto* dir_form = new QFormLayout(directory);
  liDirSize_ = ValueLabel("liDirSize");
  liDirDone_ = ValueLabel("liDirDone");
  liDirSpeed_ = ValueLabel("liDirSpeed");
  dir_form->addRow("Total", liDirSize_);
  dir_form->addRow("Done", liDirDone_);
  dir_form->addRow("Speed", liDirSpeed_);
  groups->addWidget(directory);

  auto* totals = Named(new QGroupBox("Totals"), "gbTotals");
  auto* tot_form = new QFormLayout(totals);
  liTotSize_ = ValueLabel("liTotSize", "Total number of bytes to process");
  liTotDone_ = ValueLabel("liTotDone", "Total number of bytes processed so far");
  liTotSpeed_ = ValueLabel("liTotSpeed");
  liTotFil_ = ValueLabel("liTotFil", "Total number of files processed so far");
  tot_form->addRow("Total", liTotSize_);
  tot_form->addRow("Done", liTotDone_);
  tot_form->addRow("Speed", liTotSpeed_);
  tot_form->addRow(" - files ", liTotFil_);
  groups->addWidget(totals);
  groups->addStretch(1);
  scroll->setWidget(inner);
  layout->addWidget(scroll, 1);
  return page;
}

QWidget* TViv050::BuildNameParts() {
  pccNam_ = Named(new QWidget, "pccNam");
  pccNam_->setFixedWidth(kNamePanelWidth);
  auto* column = new QVBoxLayout(pccNam_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(1);

  // The headers have no layout: command 550 places each over its field.
  headers_ = Named(new QWidget, "pnNamHeaders");
  lNetNam_ = Named(new QLabel("Net Name", headers_), "lNetNam");
  lLblNam_ = Named(new QLabel("Label", headers_), "lLblNam");
  lDirNam_ = Named(new QLabel("Directory", headers_), "lDirNam");
  lSerNam_ = Named(new QLabel("Serial", headers_), "lSerNam");
  SetTag(lNetNam_, 551);
  SetTag(lLblNam_, 552);
  SetTag(lDirNam_, 553);
  SetTag(lSerNam_, 554);
  headers_->setFixedHeight(lNetNam_->sizeHint().height());
  column->addWidget(headers_);

  names_ = Named(new NamePartsSplitter, "spNames");
  eNetNam_ = Field("eNetNam");
  eLblNam_ = Field("eLblNam");
  eDirNam_ = Field("eDirNam");
  eSerNam_ = Field("eSerNam");
  for (QLineEdit* e : {eNetNam_, eLblNam_, eDirNam_, eSerNam_}) {
    e->setMinimumWidth(0);
    names_->addWidget(e);
  }
  names_->setStretchFactor(0, 0);
  names_->setStretchFactor(1, 0);
  names_->setStretchFactor(2, 1);
  names_->setStretchFactor(3, 0);
  spNetSep_ = names_->separator(1);
  spDirSep_ = names_->separator(2);
  spSerSep_ = names_->separator(3);
  const char* captions[] = {"%", "^", "~"};
  const char* handle_names[] = {"spNetSep", "spDirSep", "spSerSep"};
  TSplitterSx* handles[] = {spNetSep_, spDirSep_, spSerSep_};
  for (int i = 0; i < 3; ++i) {
    TSplitterSx* h = handles[i];
    h->setObjectName(handle_names[i]);
    h->setCaption(captions[i]);
    h->setFontAlign(kAlignCentreX | kAlignCentreY);
    QFont font = h->font();
    font.setBold(true);
    h->setFont(font);
    SetTag(h, 550);
  }
  names_->setSizes({kNetNamWidth, TViv050::kLblNamWidth,
                    kNamePanelWidth - kNetNamWidth - TViv050::kLblNamWidth - TViv050::kSerNamWidth -
                        3 * NamePartsSplitter::kHandleWidth,
                    TViv050::kSerNamWidth});
  column->addWidget(names_);
  return pccNam_;
}

QWidget* TViv050::BuildSettingsPage() {
  auto* page = Named(new QWidget, "tsSet");
  page->setToolTip("Changes you make here have no eddect to current running batch job.");
  auto* outer = new QVBoxLayout(page);
  auto* scroll = Named(new QScrollArea, "sbSet");
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget;
  auto* rows = new QVBoxLayout(inner);

  // Search path.
  auto* path_row = new QHBoxLayout;
  cPath_ = HistoryBox("cPath", 43);
  bcRun971_ = DialogButton("bcRun971", 971, "Dialog for setting path entry");
  path_row->addWidget(new QLabel(" Path "));
  path_row->addWidget(cPath_, 1);
  path_row->addWidget(bcRun971_);
  rows->addLayout(path_row);

  // Name parts.
  auto* parts_row = new QHBoxLayout;
  parts_row->addWidget(BuildNameParts());
  bcRun044_ = Button("bcRun044", "!", 44, "Refresh names on the left.");
  bcRun044_->setFixedWidth(24);
  parts_row->addWidget(bcRun044_, 0, Qt::AlignBottom);
  parts_row->addStretch(1);
  rows->addLayout(parts_row);

  // Custom name.
  auto* name_row = new QHBoxLayout;
  cbName_ = Named(new QCheckBox(" Name"), "cbName");
  cName_ = HistoryBox("cName", 41);
  bcRun045_ = Button("bcRun045", "Get", 45, "Generate file name from given path");
  bcRun041_ = Button("bcRun041", "Set", 41, "Generate file names from the above");
  name_row->addWidget(cbName_);
  name_row->addWidget(cName_, 1);
  name_row->addWidget(bcRun045_);
  name_row->addWidget(bcRun041_);
  rows->addLayout(name_row);

  // List names.
  auto* lists = new QGridLayout;
  lIdList_ = Named(new QLabel(" Id list"), "lIdList");
  eLstExt_ = Field("eLstExt", scan::kDefaultLstExt, 40);
  eLstExt_->setFixedWidth(60);
  lHdList_ = Named(new QLabel, "lHdList");
  lTreeFile_ = Named(new QLabel(" Tree-file"), "lTreeFile");
  eDirExt_ = Field("eDirExt", scan::kDefaultDirExt, 40);
  eDirExt_->setFixedWidth(60);
  lHdDirs_ = Named(new QLabel, "lHdDirs");
  for (QLabel* l : {lHdList_, lHdDirs_}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lists->addWidget(lIdList_, 0, 0);
  lists->addWidget(eLstExt_, 0, 1);
  lists->addWidget(lHdList_, 0, 2);
  lists->addWidget(lTreeFile_, 1, 0);
  lists->addWidget(eDirExt_, 1, 1);
  lists->addWidget(lHdDirs_, 1, 2);
  lists->setColumnStretch(2, 1);
  rows->addLayout(lists);

  // Walk parameters.
  auto* params = Named(new QGroupBox(" Parameters"), "gbParams");
  params->setToolTip("Parameters for FilesToStringsSx command");
  auto* params_form = new QFormLayout(params);
  cDirPar_ = HistoryBox("cDirPar", 0, "String parmeters for directory list iteration");
  cDirPar_->setEditText(kDefaultDirParams);
  cLstPar_ = HistoryBox("cLstPar", 0, "String parmeters for file list iteration");
  cLstPar_->setEditText(kDefaultFileParams);
  params_form->addRow(" Dirs ", cDirPar_);
  params_form->addRow(" List ", cLstPar_);
  rows->addWidget(params);

  // Interval and buffers.
  auto* numbers = new QHBoxLayout;
  eTimer_ = Field("eTimer", "1000");
  bcRun08_ = Button("bcRun08", "!", 8, "Set Interval to currently running job");
  bcRun08_->setEnabled(false);
  bcRun08_->setFixedWidth(24);
  eExpand_ = Field("eExpand", "100000");
  eBufPrc_ = Field("eBufPrc", "30");
  eBufMax_ = Field("eBufMax", "512000");
  for (QLineEdit* e : {eTimer_, eExpand_, eBufPrc_, eBufMax_}) e->setFixedWidth(70);
  eThreads_ = Field("eThreads", "0");
  eThreads_->setFixedWidth(40);
  eThreads_->setToolTip("Threads reading files at once; 0 chooses by the disk and the cores");
  numbers->addWidget(new QLabel(" Interval "));
  numbers->addWidget(eTimer_);
  numbers->addWidget(new QLabel("ms"));
  numbers->addWidget(bcRun08_);
  numbers->addSpacing(12);
  numbers->addWidget(new QLabel("Expand"));
  numbers->addWidget(eExpand_);
  numbers->addWidget(new QLabel("bytes"));
  numbers->addSpacing(12);
  numbers->addWidget(new QLabel("Max buffer ="));
  numbers->addWidget(eBufPrc_);
  numbers->addWidget(new QLabel("% and <"));
  numbers->addWidget(eBufMax_);
  numbers->addWidget(new QLabel("bytes"));
  numbers->addStretch(1);
  rows->addLayout(numbers);

  // Shared base paths.
  lPathsFor_ = Named(new QLabel(" Paths for"), "lPathsFor");
  lPathsFor_->setToolTip("Shared data section. Changes affect to all settings");
  rows->addWidget(lPathsFor_);
  auto* paths = Named(new QFrame, "pnPaths");
  paths->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(paths);
  eAppPath_ = Field("eAppPath", "", 40);
  eAppPath_->setToolTip(
      "Path for system, when set, paths without drive uses this ( instead of Application path "
      ")");
  bcRun973_ = DialogButton("bcRun973", 973, "Browse for path");
  lVolPath_ = Named(new QLabel("Vol Files"), "lVolPath");
  eVolPath_ = Field("eVolPath", scan::kDefaultVolPath, 40);
  bcRun974_ = DialogButton("bcRun974", 974, nullptr);
  lDirPath_ = Named(new QLabel("Dir Files"), "lDirPath");
  eDirPath_ = Field("eDirPath", scan::kDefaultDirPath, 40);
  bcRun975_ = DialogButton("bcRun975", 975, nullptr);
  lBackUps_ = Named(new QLabel("Backups"), "lBackUps");
  eBackUps_ = Field("eBackUps", scan::kDefaultBackUps, 40);
  bcRun976_ = DialogButton("bcRun976", 976, nullptr);
  cbDirs_ = Named(new QCheckBox(" Dir files"), "cbDirs");
  SetTag(cbDirs_, 40);
  ldPath_ = Named(new QLabel, "ldPath");
  grid->addWidget(eAppPath_, 0, 1);
  grid->addWidget(bcRun973_, 0, 2);
  grid->addWidget(lVolPath_, 1, 0);
  grid->addWidget(eVolPath_, 1, 1);
  grid->addWidget(bcRun974_, 1, 2);
  grid->addWidget(lDirPath_, 2, 0);
  grid->addWidget(eDirPath_, 2, 1);
  grid->addWidget(bcRun975_, 2, 2);
  grid->addWidget(lBackUps_, 3, 0);
  grid->addWidget(eBackUps_, 3, 1);
  grid->addWidget(bcRun976_, 3, 2);
  grid->addWidget(cbDirs_, 4, 0);
  grid->addWidget(ldPath_, 4, 1, 1, 2);
  grid->setColumnStretch(1, 1);
  rows->addWidget(paths);

  // Options.
  auto* options = new QHBoxLayout;
  cOpt4_ = Named(new QCheckBox(" Hex-Path"), "cOpt4");
  cOpt4_->setToolTip("When checked, sets path lengths in hexadecimals ");
  cOpt2_ = Named(new QCheckBox(" Hex-File"), "cOpt2");
  cOpt2_->setToolTip("When checked, sets file lengths in hexadecimals ");
  cOpt8_ = Named(new QCheckBox(" No Locks"), "cOpt8");
  cOpt8_->setToolTip("Open files without locks");
  cOpt1_ = Named(new QCheckBox(" No BackUp"), "cOpt1");
  cOpt1_->setToolTip("Do not create Back Ups");
  options->addWidget(new QLabel(" Options :"));
  for (QCheckBox* c : {cOpt4_, cOpt2_, cOpt8_, cOpt1_}) options->addWidget(c);
  options->addStretch(1);
  rows->addLayout(options);

  auto* blocks = new QHBoxLayout;
  eMinBlk_ = Field("eMinBlk", "4");
  eMinBlk_->setFixedWidth(40);
  lMinBlk_ = Named(new QLabel(" x 15 = 60 chars "), "lMinBlk");
  blocks->addWidget(new QLabel(" Min block count"));
  blocks->addWidget(eMinBlk_);
  blocks->addWidget(lMinBlk_);
  // The buffer row is full at the window's first width: the reader count goes here.
  blocks->addSpacing(24);
  blocks->addWidget(new QLabel(" Readers "));
  blocks->addWidget(eThreads_);
  blocks->addStretch(1);
  rows->addLayout(blocks);

  // File box.
  auto* box_row = new QGridLayout;
  cbPath_ = HistoryBox("cbPath", 47);
  bcRun977_ = DialogButton("bcRun977", 977, "Dialog for setting path entry");
  cbMask_ = HistoryBox("cbMask", 48);
  cbMask_->setEditText(FileBox::kDesignMask);
  box_row->addWidget(new QLabel(" File list path"), 0, 0);
  box_row->addWidget(cbPath_, 0, 1);
  box_row->addWidget(bcRun977_, 0, 2);
  box_row->addWidget(new QLabel(" File list filter"), 1, 0);
  box_row->addWidget(cbMask_, 1, 1);
  box_row->setColumnStretch(1, 1);
  rows->addLayout(box_row);
  rows->addStretch(1);
  scroll->setWidget(inner);
  outer->addWidget(scroll, 1);

  // Bottom panel.
  auto* bottom = Named(new QWidget, "pnSetBottom");
  auto* bottom_row = new QHBoxLayout(bottom);
  bcRun01_ = Button("bcRun01", "Create", 1, "Create new files, back up existing");
  bcRun02_ = Button("bcRun02", "Continue", 2, "Continue aborted creation");
  bcRun03_ = Button("bcRun03", "Update", 4);
  bcRun03_->hide();
  lInfo_ = Named(new QLabel, "lInfo");
  lInfo_->setMinimumWidth(100);
  lInfo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bottom_row->addWidget(bcRun01_);
  bottom_row->addWidget(bcRun02_);
  bottom_row->addWidget(bcRun03_);
  bottom_row->addWidget(lInfo_, 1);
  outer->addWidget(bottom);
  return page;
}

void TViv050::BuildHiddenParts() {
  pnBots_ = Named(new QWidget, "pnBots");
  auto* bar = new QHBoxLayout(pnBots_);
  bar->addWidget(Button("bnTools", "Tools", 1201,
                        "Open form for tools, which needs input parameters"));
  bar->addWidget(Button("bnTbs", "TBS", 801));
  bar->addWidget(Button("bnTbsD", "TBS_D", 802));
  bar->addWidget(Button("bnFile", "File", 202));
  bar->addWidget(Button("bnEdit", "Edit", 201));
  bar->addWidget(Button("bnWindow", "Window", 8));
  QPushButton* view = Button("bnView", "View", 851);
  view->hide();
  bar->addWidget(view);
  bar->addStretch(1);
  pnBots_->hide();

  pneBot_ = Named(new QWidget, "pneBot");
  auto* bottom = new QHBoxLayout(pneBot_);
  lbdPos1_ = Named(new QLabel, "lbdPos1");
  lbdSel1_ = Named(new QLabel, "lbdSel1");
  bottom->addWidget(new QLabel(" Pos  "));
  bottom->addWidget(lbdPos1_);
  bottom->addWidget(new QLabel(" Select "));
  bottom->addWidget(lbdSel1_);
  bottom->addStretch(1);
  pneBot_->hide();

  // Actions of menus no control shows.
  const std::pair<const char*, int> actions[] = {
      {"New", 980},  {"Open", 981},     {"Load", 982},
      {"Save", 983}, {"Save as ...", 984}, {"Exit", 999},
      {"FileList", 89}, {"Show 2nd Editor", 420}, {"Horizontal", 421}};
  for (const auto& [caption, tag] : actions) {
    auto* action = new QAction(caption, this);
    action->setData(tag);
    action->setObjectName(QString("act%1").arg(tag));
    connect(action, &QAction::triggered, this, [this, tag = tag] { ExecuteCommand(tag); });
    addAction(action);
  }
}

void TViv050::ConnectCommands() {
  for (QPushButton* button : findChildren<QPushButton*>()) {
    if (TagOf(button) == 0) continue;
    connect(button, &QPushButton::clicked, this, [this, button] { ExecuteCommand(TagOf(button)); });
  }
  connect(cbDirs_, &QCheckBox::clicked, this, [this] { ExecuteCommand(TagOf(cbDirs_)); });
  for (QLineEdit* edit : findChildren<QLineEdit*>()) {
    if (qobject_cast<QComboBox*>(edit->parentWidget()) != nullptr) continue;
    connect(edit, &QLineEdit::returnPressed, this, [this, edit] { FieldLeft(edit); });
  }
  for (QComboBox* box : {cPath_, cName_, cDirPar_, cLstPar_, cbPath_, cbMask_}) {
    connect(box->lineEdit(), &QLineEdit::returnPressed, this, [this, box] { FieldLeft(box); });
    connect(box, &QComboBox::activated, this, [this, box] { FieldLeft(box); });
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
  }
  for (QLabel* header : {lNetNam_, lLblNam_, lDirNam_, lSerNam_}) header->installEventFilter(this);
  connect(names_, &QSplitter::splitterMoved, this, [this] { ExecuteCommand(550); });
  connect(eMinBlk_, &QLineEdit::textChanged, this, [this] { UpdateMinBlockLabel(); });
  connect(qApp, &QApplication::focusChanged, this, &TViv050::OnFocusChanged);
  connect(pcCln_, &QTabWidget::currentChanged, this, &TViv050::OnPageChanged);
  connect(bFil_, &FileBox::fileChosen, this, &TViv050::LoadFromFileBox);
}

void TViv050::UpdateMinBlockLabel() {
  lMinBlk_->setText(QString(" x 15 = %1 characters ").arg(15 * TextToIntSx(eMinBlk_)));
}

void TViv050::AlignNameHeaders() {
  const std::pair<QLabel*, QLineEdit*> pairs[] = {
      {lNetNam_, eNetNam_}, {lLblNam_, eLblNam_}, {lDirNam_, eDirNam_}, {lSerNam_, eSerNam_}};
  for (const auto& [header, field] : pairs) {
    const QPoint at = field->mapTo(pccNam_, QPoint(0, 0));
    header->move(headers_->mapFrom(pccNam_, at).x(), 0);
    header->adjustSize();
  }
}

void TViv050::SetNamePartWidth(int index, int width) {
  QList<int> sizes = names_->sizes();
  const int change = width - sizes[index];
  sizes[index] = width;
  // The directory field takes up the difference.
  sizes[2] = std::max(0, sizes[2] - change);
  names_->setSizes(sizes);
  AlignNameHeaders();
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
    ShowInfo(kInfoButton, "");
  }
}

void TViv050::FieldEntered(QWidget* field) {
  ShowInfo(kInfoField, "");
  text_on_enter_ = TextOf(field);
}

void TViv050::FieldLeft(QWidget* field) {
  path_changed_ = false;
  if (TextOf(field) != text_on_enter_) path_changed_ = true;
  // The text now stands as entered; a second exit without a change is no change.
  text_on_enter_ = TextOf(field);
  const int tag = TagOf(field);
  if (tag != 0) ExecuteCommand(tag);
}

bool TViv050::eventFilter(QObject* watched, QEvent* event) {
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

void TViv050::OnPageChanged(int) {
  current_editor_ = nullptr;
  RefreshCaption();
}

void TViv050::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (first_show_done_) return;
  first_show_done_ = true;
  // The Settings page must have been laid out once for the headers to find their fields.
  const int page = pcCln_->currentIndex();
  pcCln_->setCurrentIndex(kPageSettings);
  tsSet_->layout()->activate();
  for (QLayout* layout : tsSet_->findChildren<QLayout*>()) layout->activate();
  ExecuteCommand(550);
  pcCln_->setCurrentIndex(page);
  OnPageChanged(page);
}
