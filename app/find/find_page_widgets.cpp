#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

#include "app/find/find_model.h"
#include "app/find/find_page.h"
#include "app/find/find_volumes.h"
#include "app/kit/table_kit.h"
#include "app/kit/widget_kit.h"

// The Find page's widgets: the filters, the results with the copies of the chosen file,
// the volumes and the catalogue folders.

namespace {

constexpr int kLimitMax = 1000000;
constexpr int kLeastTableHeight = 24;

QTableView* Table(const char* name, QAbstractItemModel* model) {
  auto* view = Named(new QTableView, name);
  view->setModel(model);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setTextElideMode(Qt::ElideMiddle);
  // Fixed row heights: the view never measures every row.
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
  view->verticalHeader()->hide();
  view->setSortingEnabled(true);
  // The order the files came in until a column is clicked.
  view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  // The page never makes the window taller than the other pages do.
  view->setMinimumHeight(kLeastTableHeight);
  return view;
}

}  // namespace

QWidget* FindPage::BuildFilters() {
  auto* filters = Named(new QWidget, "pnFndFilters");
  auto* grid = new QGridLayout(filters);
  grid->setContentsMargins(0, 0, 0, 0);
  const auto field = [](const char* name, const char* hint) {
    auto* edit = Named(new QLineEdit, name);
    edit->setPlaceholderText(hint);
    edit->setClearButtonEnabled(true);
    return edit;
  };
  eFndName_ = field("eFndName", "Name: a mask (*.jpg, IMG_4?01*) or part of a name");
  eFndMinSize_ = field("eFndMinSize", "at least: bytes, 390k, 1.5G");
  eFndMaxSize_ = field("eFndMaxSize", "at most: bytes, 390k, 1.5G");
  eFndFrom_ = field("eFndFrom", "yyyy-mm-dd [hh:nn:ss]");
  eFndTo_ = field("eFndTo", "yyyy-mm-dd [hh:nn:ss]");
  eFndVolume_ = field("eFndVolume", "list, label or serial, or part of a name");
  // The catalogue's volumes by list name and label, offered as one types any part of one.
  auto* volumes = new QCompleter(new QStringListModel(eFndVolume_), eFndVolume_);
  volumes->setObjectName("cpFndVolume");
  volumes->setCaseSensitivity(Qt::CaseInsensitive);
  volumes->setFilterMode(Qt::MatchContains);
  eFndVolume_->setCompleter(volumes);
  sFndLimit_ = Named(new QSpinBox, "sFndLimit");
  sFndLimit_->setRange(1, kLimitMax);
  sFndLimit_->setValue(kDefaultLimit);
  sFndLimit_->setToolTip("The most files shown");
  grid->addWidget(FieldLabel("Fi&nd", eFndName_), 0, 0);
  grid->addWidget(eFndName_, 0, 1, 1, 5);
  grid->addWidget(FieldLabel("&Limit", sFndLimit_), 0, 6);
  grid->addWidget(sFndLimit_, 0, 7);
  eFndMaxSize_->setAccessibleName("Size to");
  eFndTo_->setAccessibleName("Written to");
  const std::pair<const char*, QLineEdit*> rest[] = {{"Si&ze", eFndMinSize_},
                                                     {"to", eFndMaxSize_},
                                                     {"&Written", eFndFrom_},
                                                     {"to", eFndTo_},
                                                     {"Vol&ume", eFndVolume_}};
  auto* row = new QHBoxLayout;
  for (const auto& [caption, edit] : rest) {
    row->addWidget(FieldLabel(caption, edit));
    row->addWidget(edit, 1);
  }
  grid->addLayout(row, 1, 0, 1, 8);
  grid->setColumnStretch(1, 1);
  return filters;
}

QWidget* FindPage::BuildResults() {
  auto* part = Named(new QWidget, "pnFndResults");
  auto* layout = new QVBoxLayout(part);
  layout->setContentsMargins(0, 0, 0, 0);
  results_ = new FindModel(this);
  tvFndResults_ = Table("tvFndResults", results_);
  tvFndResults_->setAccessibleName("Files found");
  // Sizes and times whole: their elided middle says nothing.
  ShapeColumns(tvFndResults_, FindModel::kPath, {FindModel::kSize, FindModel::kWriteTime});
  OfferRowMenu(tvFndResults_, [this](int row) { return FileActions(results_, row, true); });
  connect(tvFndResults_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &FindPage::ChooseResult);
  // A long error must not widen the window: it is cut to fit and shown whole as a hint.
  liFndMore_ = Named(new ElidedLabel, "liFndMore");
  layout->addWidget(tvFndResults_, 3);
  layout->addWidget(liFndMore_);

  auto* tools = new QHBoxLayout;
  liFndCopies_ = Named(new ElidedLabel("Choose a file to see its copies"), "liFndCopies");
  bcFndOpen_ = Named(new QPushButton("&Open folder"), "bcFndOpen");
  bcFndOpen_->setToolTip("Opens the file's folder where its volume is mounted now");
  bcFndCopy_ = Named(new QPushButton("&Copy path"), "bcFndCopy");
  bcFndCopy_->setToolTip(
      "Copies the file's path (where its volume is mounted now) to the clipboard");
  for (QPushButton* button : {bcFndOpen_, bcFndCopy_}) {
    button->setAutoDefault(false);
    button->setEnabled(false);
  }
  connect(bcFndOpen_, &QPushButton::clicked, this, &FindPage::OpenFolder);
  connect(bcFndCopy_, &QPushButton::clicked, this, &FindPage::CopyPath);
  tools->addWidget(liFndCopies_, 1);
  tools->addWidget(bcFndOpen_);
  tools->addWidget(bcFndCopy_);
  layout->addLayout(tools);
  copies_ = new FindModel(this);
  tvFndCopies_ = Table("tvFndCopies", copies_);
  tvFndCopies_->setAccessibleName("Probable copies");
  ShapeColumns(tvFndCopies_, FindModel::kPath, {FindModel::kSize, FindModel::kWriteTime});
  OfferRowMenu(tvFndCopies_, [this](int row) { return FileActions(copies_, row, false); });
  layout->addWidget(tvFndCopies_, 1);
  return part;
}

QWidget* FindVolumes::Build() {
  auto* part = Named(new QWidget, "pnFndVolumes");
  auto* layout = new QHBoxLayout(part);
  layout->setContentsMargins(0, 0, 0, 0);
  tvFndVolumes_ = Table("tvFndVolumes", volumes_);
  tvFndVolumes_->setAccessibleName("Volumes");
  ShapeColumns(tvFndVolumes_, VolumesModel::kSearchPath,
               {VolumesModel::kSerial, VolumesModel::kFiles, VolumesModel::kBytes,
                VolumesModel::kLastCheck, VolumesModel::kCycleShare});
  auto* table = new QVBoxLayout;
  table->addWidget(tvFndVolumes_, 1);
  bcFndScrub_ = Named(new QPushButton("&Scrub now"), "bcFndScrub");
  bcFndScrub_->setAutoDefault(false);
  bcFndScrub_->setEnabled(false);
  SetTag(bcFndScrub_, Command::kScrubVolume);
  auto* scrub = new QHBoxLayout;
  scrub->addWidget(bcFndScrub_);
  scrub->addStretch(1);
  table->addLayout(scrub);
  layout->addLayout(table, 3);

  auto* folders = new QVBoxLayout;
  lbFndFolders_ = Named(new QListWidget, "lbFndFolders");
  folders->addWidget(FieldLabel("Catalo&gue folders", lbFndFolders_));
  lbFndFolders_->setMinimumHeight(kLeastTableHeight);
  folders->addWidget(lbFndFolders_, 1);
  auto* buttons = new QHBoxLayout;
  auto* add = Named(new QPushButton("&Add..."), "bcFndAddFolder");
  auto* remove = Named(new QPushButton("Re&move"), "bcFndRemoveFolder");
  auto* refresh = Named(new QPushButton("&Refresh"), "bcFndRefresh");
  refresh->setToolTip("Reads the lists that changed since the index last saw them");
  for (QPushButton* button : {add, remove, refresh}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  connect(add, &QPushButton::clicked, this, &FindVolumes::AddFolder);
  connect(remove, &QPushButton::clicked, this, &FindVolumes::RemoveFolder);
  connect(refresh, &QPushButton::clicked, this, &FindVolumes::refreshRequested);
  folders->addLayout(buttons);
  layout->addLayout(folders, 1);
  return part;
}
