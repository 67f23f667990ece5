#include "app/audit/audit_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QVBoxLayout>

#include "app/audit/audit_model.h"
#include "app/kit/folder_picker.h"
#include "app/kit/table_kit.h"
#include "app/kit/widget_kit.h"
#include "audit/audit_report.h"
#include "editor/visible_marks.h"
#include "platform/paths.h"
#include "scan/progress_figures.h"
#include "support/msg.h"
#include "support/toolkit.h"

namespace {

constexpr char kSaveCaption[] = "Save report";
// The least room of a class's count of files and of bytes.
constexpr int kFilesWidth = 80;
constexpr int kBytesWidth = 120;
// Room for a horizontal scroll bar below the counts when the window is narrow.
constexpr int kCountsScrollBar = 18;

// "not listed" -> "NotListed", for the names of a class's widgets.
std::string CamelName(std::string_view name) {
  std::string camel;
  bool upper = true;
  for (char c : name) {
    if (c == ' ') {
      upper = true;
      continue;
    }
    camel.push_back(upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    upper = false;
  }
  return camel;
}

// The folder of a path ("/a/b/c" -> "/a/b/").
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(platform::kSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

AuditPage::FolderOpener AuditPage::SetFolderOpener(FolderOpener opener) {
  return SetPathOpener(std::move(opener));
}

bool AuditPage::OpenFolderOf(const std::string& folder) { return OpenPath(folder); }

AuditPage::AuditPage() = default;
AuditPage::~AuditPage() = default;

QWidget* AuditPage::Build() {
  auto* page = Named(new QWidget, "tsAudit");
  auto* layout = new QVBoxLayout(page);
  // Elided: a long list name never widens the window.
  liAudLists_ = Named(new ElidedLabel("No verify or comparison yet"), "liAudLists");
  liAudLists_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  liAudNotes_ = Named(new QLabel, "liAudNotes");
  SetColours(liAudNotes_, QColor(kAlertText));
  liAudNotes_->setWordWrap(true);
  liAudNotes_->hide();
  // Beside the title: the page's tools row has no room left.
  cbAudRelative_ = Named(new QCheckBox("&Paths below each search path"), "cbAudRelative");
  cbAudRelative_->setToolTip(
      "Compare with... matches paths below each list's search path: a tree and its copy "
      "elsewhere compare as the same tree");
  connect(cbAudRelative_, &QCheckBox::toggled, this, &AuditPage::relativeToggled);
  auto* title = new QHBoxLayout;
  title->addWidget(liAudLists_, 1);
  title->addWidget(cbAudRelative_);
  layout->addLayout(title);
  layout->addWidget(liAudNotes_);
  // In a scroll area: the counts never make the window wider than the other pages do.
  auto* counts = Named(new QScrollArea, "sbAudCounts");
  counts->setAccessibleName("Counts by class");
  counts->setFrameShape(QFrame::NoFrame);
  counts->setWidgetResizable(true);
  counts->setWidget(BuildCounts());
  counts->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  counts->setFixedHeight(counts->widget()->sizeHint().height() + kCountsScrollBar);
  layout->addWidget(counts);
  layout->addWidget(BuildTools());

  model_ = new AuditModel(page);
  tvAudit_ = Named(new QTableView, "tvAudit");
  tvAudit_->setAccessibleName("Files compared");
  tvAudit_->setModel(model_);
  tvAudit_->setSortingEnabled(true);
  tvAudit_->sortByColumn(AuditModel::kPath, Qt::AscendingOrder);
  tvAudit_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tvAudit_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvAudit_->setWordWrap(false);
  tvAudit_->setTextElideMode(Qt::ElideMiddle);
  // Fixed row heights: the view never measures a million rows.
  tvAudit_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tvAudit_->verticalHeader()->setDefaultSectionSize(tvAudit_->fontMetrics().height() + 4);
  tvAudit_->verticalHeader()->hide();
  // Classes and reasons whole; times too: the elided middle of a time says nothing.
  ShapeColumns(tvAudit_, AuditModel::kPath, {AuditModel::kClass, AuditModel::kReason});
  const int time_width = tvAudit_->fontMetrics().horizontalAdvance("0000-00-00 00:00:00  ") + 8;
  tvAudit_->setColumnWidth(AuditModel::kOldTime, time_width);
  tvAudit_->setColumnWidth(AuditModel::kNewTime, time_width);
  connect(tvAudit_, &QTableView::doubleClicked, this, &AuditPage::OpenFolder);
  OfferRowMenu(tvAudit_, [this](int row) { return RowActions(row); });
  layout->addWidget(tvAudit_, 1);
  return page;
}

QWidget* AuditPage::BuildCounts() {
  auto* counts = Named(new QWidget, "pnAudCounts");
  auto* grid = new QGridLayout(counts);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(0);
  const int half = static_cast<int>((audit::kFileChangeCount + 1) / 2);
  QString taken = QString("pjs") + kMenuTitleKeys;  // the page's other controls, the menus
  for (size_t k = 0; k < audit::kFileChangeCount; ++k) {
    const auto change = static_cast<audit::FileChange>(k);
    const std::string name = CamelName(audit::FileChangeName(change));
    auto* box = new QCheckBox(WithMnemonic(Q(std::string(audit::FileChangeName(change))), &taken));
    box->setObjectName(Q("cbAud" + name));
    box->setChecked(change != audit::FileChange::kUnchanged);
    const ClassColours colours = ColoursOf(change);
    // A box's text is shown on the page's colour: a class that fills its rows shows in that fill.
    SetColours(box, QColor(colours.background != 0 ? colours.background : colours.text));
    auto* files = ValueLabel("", nullptr, "0");
    files->setObjectName(Q("liAudFiles" + name));
    auto* bytes = ValueLabel("", nullptr, "0");
    bytes->setObjectName(Q("liAudBytes" + name));
    // As wide as their figures: two columns of classes fit beside the file box.
    files->setMinimumWidth(kFilesWidth);
    bytes->setMinimumWidth(kBytesWidth);
    const int row = static_cast<int>(k) % half;
    const int column = static_cast<int>(k) / half * 4;
    grid->addWidget(box, row, column);
    grid->addWidget(files, row, column + 1);
    grid->addWidget(bytes, row, column + 2);
    connect(box, &QCheckBox::toggled, this, &AuditPage::ApplyFilter);
    class_boxes_.push_back(box);
    file_counts_.push_back(files);
    byte_counts_.push_back(bytes);
  }
  grid->setColumnMinimumWidth(3, 24);
  grid->setColumnStretch(7, 1);
  return counts;
}

QWidget* AuditPage::BuildTools() {
  auto* tools = Named(new QWidget, "pnAudTools");
  auto* row = new QHBoxLayout(tools);
  row->setContentsMargins(0, 0, 0, 0);
  eAudFilter_ = Named(new QLineEdit, "eAudFilter");
  eAudFilter_->setPlaceholderText("Filter: part of a path");
  eAudFilter_->setClearButtonEnabled(true);
  eAudFilter_->setAccessibleName("Filter");
  connect(eAudFilter_, &QLineEdit::textChanged, this, &AuditPage::ApplyFilter);
  liAudShown_ = Named(new QLabel, "liAudShown");
  // A box, not a combo: the window treats every combo box as a history field.
  cbAudJson_ = Named(new QCheckBox("&JSON lines"), "cbAudJson");
  cbAudJson_->setToolTip("Save one JSON object a line instead of text");
  bcAudSave_ = Named(new QPushButton("&Save report"), "bcAudSave");
  bcAudSave_->setAutoDefault(false);
  bcAudSave_->setToolTip("Writes what checker-cli writes; unchanged files too when ticked");
  bcAudSave_->setEnabled(false);
  connect(bcAudSave_, &QPushButton::clicked, this, &AuditPage::SaveReport);
  row->addWidget(eAudFilter_, 1);
  row->addWidget(liAudShown_);
  row->addWidget(cbAudJson_);
  row->addWidget(bcAudSave_);
  return tools;
}

void AuditPage::Show(std::shared_ptr<const audit::AuditResult> result, const std::string& title,
                     const std::vector<std::string>& notes) {
  liAudLists_->setText(VisibleName(title));
  liAudLists_->setToolTip(liAudLists_->text());
  std::string note_text;
  for (const std::string& note : notes) note_text += (note_text.empty() ? "" : "\n") + note;
  liAudNotes_->setText(VisibleLines(note_text));
  liAudNotes_->setVisible(!note_text.empty());
  model_->SetResult(std::move(result));
  bcAudSave_->setEnabled(model_->result() != nullptr);
  ShowCounts();
  ApplyFilter();
}

bool AuditPage::relative() const { return cbAudRelative_->isChecked(); }

void AuditPage::ShowCounts() {
  const audit::AuditResult* result = model_->result();
  for (size_t k = 0; k < audit::kFileChangeCount; ++k) {
    const uint64_t files = result != nullptr ? result->comparison.totals.files[k] : 0;
    const uint64_t bytes = result != nullptr ? result->comparison.totals.bytes[k] : 0;
    file_counts_[k]->setText(
        Q(scan::CountText(static_cast<int64_t>(files)) + (files == 1 ? " file" : " files")));
    byte_counts_[k]->setText(Q(scan::BytesText(static_cast<int64_t>(bytes))));
  }
}

void AuditPage::ApplyFilter() {
  AuditModel::ClassSet shown{};
  for (size_t k = 0; k < class_boxes_.size(); ++k) shown[k] = class_boxes_[k]->isChecked();
  model_->SetFilter(shown, eAudFilter_->text().toStdString());
  const audit::AuditResult* result = model_->result();
  const size_t kept = result != nullptr ? result->comparison.files.size() : 0;
  liAudShown_->setText(Q(scan::CountText(model_->rowCount()) + " of " +
                         scan::CountText(static_cast<int64_t>(kept)) + " shown"));
}

void AuditPage::SaveReport() {
  const audit::AuditResult* result = model_->result();
  if (result == nullptr) return;
  std::string file;
  if (!ChooseFileSx(ReportFileChoice(kSaveCaption, result->old_name, cbAudJson_->isChecked()),
                    &file)) {
    return;
  }
  audit::ReportOptions options;
  options.all = class_boxes_[static_cast<size_t>(audit::FileChange::kUnchanged)]->isChecked();
  options.jsonl = cbAudJson_->isChecked();
  options.left_out = &result->left_out;
  std::string error;
  if (!audit::SaveReport(file, *result, options, &error)) {
    support::MsgSx(error, kSaveCaption);
  }
}

std::string AuditPage::PathNow(int row) const {
  const std::string moved_to = model_->OtherPathAt(row);
  return moved_to.empty() ? model_->PathAt(row) : moved_to;
}

void AuditPage::ShowNote(const std::string& note) {
  liAudNotes_->setText(VisibleName(note));
  liAudNotes_->show();
}

void AuditPage::OpenFolder(const QModelIndex& index) {
  if (!index.isValid() || model_->result() == nullptr) return;
  const std::string folder = FolderOf(PathNow(index.row()));
  if (folder.empty() || !support::DirExistsSx(folder)) {
    ShowNote(folder + " is not mounted here");
    return;
  }
  if (!OpenFolderOf(folder)) ShowNote(NoFolderProgramText(folder));
}

std::vector<RowAction> AuditPage::RowActions(int row) {
  const audit::AuditResult* result = model_->result();
  if (result == nullptr || row < 0 || row >= model_->rowCount()) return {};
  const std::string path = PathNow(row);
  const bool there = support::FileExistsSx(path, 0);
  const QModelIndex index = model_->index(row, AuditModel::kPath);
  std::vector<RowAction> actions = {
      OpenAction(there ? std::function<void()>([this, path] {
        if (!OpenFolderOf(path)) ShowNote(NoFileProgramText(path));
      })
                       : nullptr),
      OpenFolderAction(support::DirExistsSx(FolderOf(path))
                           ? std::function<void()>([this, index] { OpenFolder(index); })
                           : nullptr),
      CopyPathAction(path)};
  // A verify's rows are all of one volume: the one its id list names.
  if (result->verify) {
    const std::string list = result->old_name;
    actions.push_back(VerifyVolumeAction([this, list] { emit verifyRequested(list); }));
  }
  return actions;
}
