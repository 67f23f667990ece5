#include "app/utilities_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <vector>

#include "app/convert_tab.h"
#include "app/kit/file_box.h"
#include "lists/old_layout.h"
#include "platform/files.h"
#include "support/form_place.h"
#include "support/string_list.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kTag[] = "tag";
constexpr char kSubtitleHint[] = "Subtitle texts";
// Keeps the information line off the window's edges.
constexpr int kInfoMargin = 3;

template <typename T>
T* Named(T* widget, const char* name, int tag = 0) {
  widget->setObjectName(name);
  widget->setProperty(kTag, tag);
  return widget;
}

QPushButton* Button(const char* name, const char* caption, int tag, const char* hint) {
  auto* button = Named(new QPushButton(caption), name, tag);
  button->setToolTip(hint);
  button->setAutoDefault(false);
  return button;
}

void AddFieldRow(QGridLayout* grid, int row, QLabel* label, QLineEdit* edit) {
  grid->addWidget(label, row, 0);
  grid->addWidget(edit, row, 1);
}

}  // namespace

TDsk201::TDsk201(QWidget* parent, FileBox* file_box)
    : QWidget(parent, Qt::Window), file_box_(file_box) {
  setObjectName("Dsk201");
  setWindowTitle(kCaption);
  setAttribute(Qt::WA_DeleteOnClose);
  // Hints also while another window is active.
  setAttribute(Qt::WA_AlwaysShowToolTips);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  pgCtl_ = Named(new QTabWidget, "pgCtl");
  tsCnv_ = new ConvertTab;
  tsChrRpl_ = BuildRepCharsPage();
  tsSet_ = Named(new QWidget, "tsSet");
  pgCtl_->addTab(tsCnv_, "Convert");
  pgCtl_->setTabToolTip(kPageConvert, tsCnv_->toolTip());
  pgCtl_->addTab(tsChrRpl_, "RepChars");
  pgCtl_->addTab(tsSet_, "Disks");
  pgCtl_->setCurrentIndex(kPageDisks);
  column->addWidget(pgCtl_, 1);
  lInfo_ = Named(new QLabel("."), "lInfo");
  lInfo_->setContentsMargins(kInfoMargin, kInfoMargin, kInfoMargin, kInfoMargin);
  column->addWidget(lInfo_);
  for (QPushButton* button : findChildren<QPushButton*>()) {
    connect(button, &QPushButton::clicked, this, &TDsk201::xBtn_click);
  }

  // Centred on the main window until a placement has been stored.
  QRect designed(0, 0, kDesignWidth, kDesignHeight);
  if (parent != nullptr) designed.moveCenter(parent->geometry().center());
  setGeometry(designed);
  support::FormPlaceGetSx(&placement_);
}

QWidget* TDsk201::BuildRepCharsPage() {
  auto* page = Named(new QWidget, "tsChrRpl");
  auto* grid = new QGridLayout(page);
  Label4_ = Named(new QLabel(" Serial number"), "Label4");
  eSer_ = Named(new QLineEdit, "eSer");
  Label1_ = Named(new QLabel(" Volume label "), "Label1");
  eLbl_ = Named(new QLineEdit, "eLbl");
  Label6_ = Named(new QLabel(" Volume label "), "Label6");
  Edit1_ = Named(new QLineEdit, "Edit1");
  AddFieldRow(grid, 0, Label4_, eSer_);
  AddFieldRow(grid, 1, Label1_, eLbl_);
  AddFieldRow(grid, 2, Label6_, Edit1_);
  for (QLineEdit* edit : {eSer_, eLbl_, Edit1_}) edit->setToolTip(kSubtitleHint);
  Button1_ = Button("Button1", "To max", kCommandToMax, "Set file block to max length");
  bcCmd01_ = Button("bcCmd01", "Stretch", kCommandConvert,
                    "Stretch of shirnk SRT display times with given cap");
  grid->addWidget(Button1_, 3, 0);
  grid->addWidget(bcCmd01_, 3, 1);
  grid->setRowStretch(4, 1);
  // Unreachable on purpose: the converter rewrites every listed file in place.
  for (QWidget* control : page->findChildren<QWidget*>()) control->hide();
  return page;
}

void TDsk201::xBtn_click() {
  if (const QObject* control = sender()) ExecuteCommand(control->property(kTag).toInt());
}

void TDsk201::ExecuteCommand(int tag) {
  switch (tag) {
    case ConvertTab::kCommandCutAtts:
      tsCnv_->CutAtts();
      break;
    case kCommandConvert:
      ConvertListFiles();
      break;
    default:
      // kCommandToMax and every other number do nothing.
      break;
  }
}

void TDsk201::ConvertListFiles() {
  if (file_box_ == nullptr) return;
  const std::string folder = support::WithTrailingSlash(file_box_->folder());
  // Without a folder the names would be taken relative to the working directory.
  if (folder.empty()) return;
  for (const std::string& name : file_box_->names()) {
    const std::string path = folder + name;
    if (!support::FileExistsSx(path, 1)) continue;
    std::string text;
    // A file that cannot be read must not be saved back empty.
    if (!platform::ReadWholeFile(path, &text)) continue;
    support::StringList lines;
    lines.SetText(text);
    for (std::string& line : lines.items()) line = lists::ConvertOldListLine(line);
    // Lists use CR LF: a text without a line end gets that.
    const std::string_view line_end = support::FirstLineEnd(text);
    lines.SaveToFile(path, line_end.empty() ? support::kCrLf : line_end);
  }
}

void TDsk201::closeEvent(QCloseEvent* event) {
  support::FormPlaceSetSx(&placement_, true, false);
  support::AppIniSaveSx();
  event->accept();
}
