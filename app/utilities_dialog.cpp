#include "app/utilities_dialog.h"

#include <fmt/core.h>

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

#include "app/controls.h"
#include "app/file_box.h"
#include "platform/files.h"
#include "scan/list_format.h"
#include "support/form_place.h"
#include "support/string_list.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kTag[] = "tag";
constexpr char kSubtitleHint[] = "Subtitle texts";
// Keeps the information line off the window's edges.
constexpr int kInfoMargin = 3;

// Lines shorter than this are not in the old layout.
constexpr size_t kOldLineMinChars = 80;
// The old layout's extra character, 0-based.
constexpr size_t kOldExtraChar = 76;
// From the "/" of "/p" to the character that becomes a blank.
constexpr size_t kPathFlagOffset = 7;
// The fixed part of an R line ends this many characters before its bar.
constexpr size_t kHeadBeforeBar = 6;
constexpr size_t kBlockLength = 15;
constexpr size_t kMinBlocks = 4;

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

// A line as its characters, each the bytes of one code point (or one invalid byte), so
// that counting and cutting never split a sequence or re-encode a byte.
using Chars = std::vector<std::string_view>;

Chars SplitChars(std::string_view text) {
  Chars chars;
  chars.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    support::NextChar(text, &pos);
    chars.push_back(text.substr(start, pos - start));
  }
  return chars;
}

std::string Join(Chars::const_iterator begin, Chars::const_iterator end) {
  std::string text;
  for (auto it = begin; it != end; ++it) text += *it;
  return text;
}

std::string Join(const Chars& chars) { return Join(chars.begin(), chars.end()); }

// Index of the first character equal to `c`, or chars.size().
size_t FindChar(const Chars& chars, std::string_view c) {
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i] == c) return i;
  }
  return chars.size();
}

// An A, F or T line: the old layout kept a flag 7 characters after the "/p" of the path
// section, where the new one has a blank.
std::string ConvertFileLine(Chars copy) {
  for (size_t i = 0; i + 1 < copy.size(); ++i) {
    if (copy[i] == "/" && copy[i + 1] == "p") {
      if (i + kPathFlagOffset < copy.size()) copy[i + kPathFlagOffset] = " ";
      break;
    }
  }
  return Join(copy);
}

// An R line: the old layout held the whole directory after the bar; the new one splits
// it into the last name and the path above it. Empty when the line stays as it is.
std::string ConvertDirectoryLine(const Chars& copy) {
  const size_t bar = FindChar(copy, "|");
  if (bar == copy.size()) return {};
  const size_t data_start = std::min(bar + 2, copy.size());
  const size_t head_length = bar > kHeadBeforeBar ? bar - kHeadBeforeBar : 0;
  const size_t data_length = copy.size() - data_start;
  // The last character is the directory's own closing "/": the one before it is sought.
  size_t slash = data_length;
  for (size_t i = data_length >= 2 ? data_length - 1 : 0; i-- > 0;) {
    if (copy[data_start + i] == "/") {
      slash = i;
      break;
    }
  }
  if (slash == data_length) return {};
  const auto data_begin = copy.begin() + static_cast<std::ptrdiff_t>(data_start);
  const std::string path = Join(data_begin, data_begin + static_cast<std::ptrdiff_t>(slash + 1));
  const std::string name = Join(data_begin + static_cast<std::ptrdiff_t>(slash + 1), copy.end());
  const size_t name_chars = data_length - slash - 1;
  const size_t path_chars = slash + 1;
  const size_t blocks = std::max((name_chars + 1) / kBlockLength + 1, kMinBlocks);
  std::string out = Join(copy.begin(), copy.begin() + static_cast<std::ptrdiff_t>(head_length));
  out += fmt::format("{:>3}+{} | ", name_chars, blocks);
  out += name;
  // The block count always leaves at least one blank after the name.
  out.append(blocks * kBlockLength - 1 - name_chars, ' ');
  out += fmt::format("/p{:>3}+0 : _=", path_chars);
  out += path;
  return out;
}

// One list line rewritten from the old layout; lines it did not change come back as they
// are.
std::string ConvertOldListLine(const std::string& line) {
  // Fewer bytes than characters needed: no need to count them.
  if (line.size() < kOldLineMinChars) return line;
  Chars copy = SplitChars(line);
  if (copy.size() < kOldLineMinChars) return line;
  copy.erase(copy.begin() + static_cast<std::ptrdiff_t>(kOldExtraChar));
  const std::string_view record = copy.front();
  if (record == "A" || record == "F" || record == "T") return ConvertFileLine(std::move(copy));
  if (record == "R") {
    std::string converted = ConvertDirectoryLine(copy);
    return converted.empty() ? line : converted;
  }
  return line;
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
  tsCnv_ = BuildConvertPage();
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
  FormPlaceGetSx(&placement_);
}

QWidget* TDsk201::BuildConvertPage() {
  auto* page = Named(new QWidget, "tsCnv");
  page->setToolTip("Convert old disk id files into new format.");
  auto* grid = new QGridLayout(page);
  lcVal01_ = Named(new QLabel(" Input value"), "lcVal01");
  eVal01_ = Named(new QLineEdit, "eVal01");
  lcVal02_ = Named(new QLabel(" Output value"), "lcVal02");
  eVal02_ = Named(new QLineEdit, "eVal02");
  lcPar01_ = Named(new QLabel(" Parameter 1"), "lcPar01");
  ePar01_ = Named(new QLineEdit("999"), "ePar01");
  bcFnc01_ = Button("bcFnc01", "CutAtts", kCommandCutAtts, "Cut attrubutes ");
  AddFieldRow(grid, 0, lcVal01_, eVal01_);
  AddFieldRow(grid, 1, lcVal02_, eVal02_);
  AddFieldRow(grid, 2, lcPar01_, ePar01_);
  grid->addWidget(bcFnc01_, 0, 2);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 2);
  grid->setRowStretch(3, 1);
  return page;
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
    case kCommandCutAtts:
      CutAtts();
      break;
    case kCommandConvert:
      ConvertListFiles();
      break;
    default:
      // kCommandToMax and every other number do nothing.
      break;
  }
}

void TDsk201::CutAtts() {
  const uint32_t value = static_cast<uint32_t>(TextToIntSx(eVal01_));
  const uint32_t limit = static_cast<uint32_t>(TextToIntSx(ePar01_));
  eVal02_->setText(QString::number(LowBitsSumSx(value, limit)));
}

void TDsk201::ConvertListFiles() {
  if (file_box_ == nullptr) return;
  const std::string folder = support::WithTrailingSlash(file_box_->folder());
  // Without a folder the names would be taken relative to the working directory.
  if (folder.empty()) return;
  for (const std::string& name : file_box_->names()) {
    const std::string path = folder + name;
    if (!FileExistsSx(path, 1)) continue;
    std::string text;
    // A file that cannot be read must not be saved back empty.
    if (!platform::ReadWholeFile(path, &text)) continue;
    support::StringList lines;
    lines.SetText(text);
    for (std::string& line : lines.items()) line = ConvertOldListLine(line);
    // Lists use CR LF: a text without a line end gets that.
    const std::string_view line_end = support::FirstLineEnd(text);
    lines.SaveToFile(path, line_end.empty() ? support::kCrLf : line_end);
  }
}

void TDsk201::closeEvent(QCloseEvent* event) {
  FormPlaceSetSx(&placement_, true, false);
  AppIniSaveSx();
  event->accept();
}
