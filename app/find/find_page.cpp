#include "app/find/find_page.h"

#include <QClipboard>
#include <QCompleter>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStringListModel>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "app/find/find_model.h"
#include "app/kit/table_kit.h"
#include "app/kit/widget_kit.h"
#include "catalogue/catalogue_setup.h"
#include "catalogue/file_query.h"
#include "catalogue/mounted.h"
#include "editor/visible_marks.h"
#include "platform/paths.h"
#include "scrub/status_board.h"
#include "support/byte_size.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(platform::kSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A size field: empty asks for nothing; else bytes, or with a unit ("390k", "1.5G").
bool ParseSize(const std::string& text, std::optional<uint64_t>* size) {
  size->reset();
  if (support::TrimView(text).empty()) return true;
  uint64_t value = 0;
  if (!support::ParseByteSize(text, &value)) return false;
  *size = value;
  return true;
}

// A volume named whole (list, label or serial) is that volume; else each volume whose
// list name or label holds the text, without regard to case.
std::vector<int64_t> ListsOfVolumeText(const std::vector<catalogue::CatalogueList>& lists,
                                       const std::string& text) {
  std::vector<int64_t> ids = catalogue::ListsOfVolume(lists, text);
  if (!ids.empty()) return ids;
  const QString part = Q(text);
  for (const catalogue::CatalogueList& list : lists) {
    if (Q(list.name).contains(part, Qt::CaseInsensitive) ||
        Q(list.label).contains(part, Qt::CaseInsensitive)) {
      ids.push_back(list.id);
    }
  }
  return ids;
}

}  // namespace

// The page's thread and what only its jobs touch: the index, opened for one set of folders.
class FindPage::Worker {
 public:
  Worker() {
    context_ = new QObject;
    context_->moveToThread(&thread_);
    thread_.start();
  }
  ~Worker() {
    // Jobs still queued are dropped; the one that runs ends first, a first index of a
    // large catalogue after the list it reads.
    stop.store(true);
    thread_.quit();
    thread_.wait();
    delete context_;
  }
  void Post(std::function<void(Worker&)> job) {
    QMetaObject::invokeMethod(
        context_, [this, job = std::move(job)] { job(*this); }, Qt::QueuedConnection);
  }

  std::unique_ptr<catalogue::CatalogueIndex> index;
  std::string index_key;           // the index file and extension `index` was opened with
  scrub::StatusBoard scrub_board;  // the volumes' scrub figures, kept between refreshes
  std::atomic<bool> stop{false};

 private:
  QThread thread_;
  QObject* context_ = nullptr;
};

FindPage::FindPage(std::function<bool()> busy)
    : busy_(std::move(busy)),
      latest_search_(std::make_shared<std::atomic<uint64_t>>(0)),
      volumes_(new FindVolumes(this)),
      worker_(std::make_unique<Worker>()) {
  connect(volumes_, &FindVolumes::refreshRequested, this, &FindPage::Refresh);
}

FindPage::~FindPage() { worker_.reset(); }

QWidget* FindPage::Build() {
  auto* page = Named(new QWidget, "tsFind");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(BuildFilters());
  liFndState_ = Named(new QLabel, "liFndState");
  liFndState_->setAccessibleName("Search state");
  liFndState_->setWordWrap(true);
  liFndState_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(liFndState_);
  auto* split = Named(new QSplitter(Qt::Vertical), "spFnd");
  split->addWidget(BuildResults());
  split->addWidget(volumes_->Build());
  OfferRowMenu(volumes_->table(), [this](int row) { return VolumeActions(row); });
  connect(volumes_->table()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this] {
            RefreshScrubButton();
            const std::string off = ScrubOffReason(volumes_->table()->currentIndex().row());
            if (!off.empty()) SetState(off, false);
          });
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  // The volumes open a third of the height: by their size hints alone a short window
  // shows one of them.
  split->setSizes({200, 100});  // in proportion to the height the splitter gets
  layout->addWidget(split, 1);

  typing_ = new QTimer(this);
  typing_->setSingleShot(true);
  typing_->setInterval(kTypingPauseMs);
  connect(typing_, &QTimer::timeout, this, &FindPage::Search);
  for (QLineEdit* edit : {eFndName_, eFndMinSize_, eFndMaxSize_, eFndFrom_, eFndTo_, eFndVolume_}) {
    connect(edit, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    // Return searches at once, without the pause.
    connect(edit, &QLineEdit::returnPressed, this, &FindPage::Search);
  }
  connect(sFndLimit_, &QSpinBox::valueChanged, typing_, qOverload<>(&QTimer::start));
  volumes_->ShowFolders();
  return page;
}

void FindPage::Activated() {
  Refresh();
  FocusName();
}

void FindPage::FocusName() {
  eFndName_->setFocus();
  eFndName_->selectAll();
}

void FindPage::Refresh() {
  std::vector<std::string> folders;
  std::vector<std::string> notes;
  for (const std::string& given : volumes_->added_folders()) {
    const std::string folder = catalogue::CatalogueFolder(given);
    if (folder.empty()) {
      notes.push_back(given + ": no such folder");
    } else {
      folders.push_back(folder);
    }
  }
  const catalogue::CatalogueSetup setup = catalogue::SetUpCatalogue(std::move(folders));
  volumes_->ShowFolders();
  if (setup.state != catalogue::SetupState::kReady) {
    const std::string why =
        setup.state == catalogue::SetupState::kNoFolder
            ? "No catalogue: the list folder " + setup.own_folder + " " + setup.own_problem +
                  " and no folder was added"
            : "No cache folder for the index: neither XDG_CACHE_HOME nor HOME is set";
    worker_->Post([](Worker& w) { w.index.reset(); });
    ShowVolumes({}, notes, why);
    return;
  }
  SetState("Bringing the index of the catalogue up to date", false);
  worker_->Post([this, setup, notes](Worker& w) mutable {
    const std::string key = setup.index_path + "\n" + setup.list_ext;
    if (w.index == nullptr || w.index_key != key) {
      w.index = std::make_unique<catalogue::CatalogueIndex>(setup.folders, setup.index_path,
                                                            setup.list_ext);
      w.index->SetStop(&w.stop);
      w.index_key = key;
    }
    const bool ok = w.index->Refresh([this](size_t done, size_t total, const std::string& list) {
      QMetaObject::invokeMethod(
          this, [this, done, total, list] { ShowProgress(done, total, list); },
          Qt::QueuedConnection);
    });
    notes.insert(notes.end(), w.index->notes().begin(), w.index->notes().end());
    std::string error;
    std::vector<VolumeRow> rows;
    if (ok) {
      const std::vector<catalogue::MountedVolume> mounted = catalogue::MountedVolumes();
      for (catalogue::CatalogueList& list : w.index->Lists()) {
        const std::string at = catalogue::MountPointOf(mounted, list.serial);
        rows.push_back({std::move(list), at, {}});
      }
      std::string history_error;
      if (!ReadScrubStatus(&w.scrub_board, &rows, &history_error)) {
        notes.push_back(history_error);
      }
    } else {
      error = w.index->error();
      w.index.reset();
    }
    QMetaObject::invokeMethod(
        this,
        [this, rows = std::move(rows), notes, error]() mutable {
          ShowVolumes(std::move(rows), notes, error);
        },
        Qt::QueuedConnection);
  });
  Search();
}

void FindPage::ShowProgress(size_t done, size_t total, const std::string& list) {
  if (list.empty()) {
    SetState("Indexed " + std::to_string(total) + " lists; indexing names and ids", false);
  } else {
    SetState(
        "Indexing list " + std::to_string(done + 1) + " of " + std::to_string(total) + ": " + list,
        false);
  }
}

void FindPage::ShowVolumes(std::vector<VolumeRow> rows, const std::vector<std::string>& notes,
                           const std::string& error) {
  volumes_->ShowRows(std::move(rows));
  RefreshScrubButton();
  QStringList names;
  for (const VolumeRow& row : volumes_->model()->rows()) {
    for (const std::string* name : {&row.list.name, &row.list.label}) {
      if (!name->empty()) names << Q(*name);
    }
  }
  names.removeDuplicates();
  names.sort(Qt::CaseInsensitive);
  static_cast<QStringListModel*>(eFndVolume_->completer()->model())->setStringList(names);
  std::string text;
  for (const std::string& note : notes) text += (text.empty() ? "" : "\n") + note;
  if (!error.empty()) text += (text.empty() ? "" : "\n") + error;
  if (text.empty()) text = volumes_->Summary();
  SetState(text, !notes.empty() || !error.empty());
  emit refreshed();
}

void FindPage::SetState(const std::string& text, bool alert) {
  liFndState_->setText(VisibleLines(text));
  SetColours(liFndState_, alert ? QColor(kAlertText) : QColor(Qt::black));
}

void FindPage::Search() {
  typing_->stop();
  catalogue::FindFields fields;
  fields.name = Text(eFndName_);
  fields.from = Text(eFndFrom_);
  fields.to = Text(eFndTo_);
  catalogue::FileQuery query;
  catalogue::BadField bad = catalogue::BadField::kNone;
  std::string error;
  if (!ParseSize(Text(eFndMinSize_), &fields.min_size)) {
    error = "Size takes bytes or a size such as 390k or 1.5G, not '" + Text(eFndMinSize_) + "'";
  } else if (!ParseSize(Text(eFndMaxSize_), &fields.max_size)) {
    error = "Size to takes bytes or a size such as 390k or 1.5G, not '" + Text(eFndMaxSize_) +
            "'";
  } else if (!catalogue::BuildFileQuery(fields, &query, &bad, &error)) {
    error = (bad == catalogue::BadField::kFrom ? "Written " : "Written to ") + error;
  }
  const uint64_t search = ++*latest_search_;
  if (!error.empty()) {
    ShowResults({}, -1, error);
    return;
  }
  const std::string volume = Text(eFndVolume_);
  const auto limit = static_cast<size_t>(sFndLimit_->value());
  const std::shared_ptr<std::atomic<uint64_t>> latest = latest_search_;
  worker_->Post([this, latest, search, query, volume, limit](Worker& w) mutable {
    // Typing on has made this search stale.
    if (latest->load() != search) return;
    std::vector<FoundFile> rows;
    int64_t count = -1;
    std::string error;
    bool flushed = false;
    if (w.index == nullptr) {
      error = "The catalogue has no index";
    } else {
      const std::vector<catalogue::CatalogueList> lists = w.index->Lists();
      if (!volume.empty()) query.lists = ListsOfVolumeText(lists, volume);
      if (!volume.empty() && query.lists.empty()) {
        error = "No volume of the catalogue is named '" + volume + "'";
      } else {
        const auto found = [&](const catalogue::CatalogueFile& file) {
          const catalogue::CatalogueList* list = catalogue::ListById(lists, file.list);
          rows.push_back({list != nullptr ? list->name : std::string(), file});
        };
        // The first results show while the rest are counted.
        const auto shown = [&] {
          flushed = true;
          QMetaObject::invokeMethod(
              this,
              [this, latest, search, rows]() mutable {
                if (latest->load() == search) ShowResults(std::move(rows), -1, "");
              },
              Qt::QueuedConnection);
        };
        count = w.index->Find(query, limit, found, shown);
        if (count < 0) error = "Cannot search the catalogue index: " + w.index->error();
      }
    }
    QMetaObject::invokeMethod(
        this,
        [this, latest, search, rows = std::move(rows), count, error, flushed]() mutable {
          if (latest->load() != search) return;
          // The rows shown first are all there are: the count alone follows, and a row
          // the user chose meanwhile stays chosen.
          if (flushed && error.empty()) {
            ShowCount(static_cast<int64_t>(rows.size()), count, error);
          } else {
            ShowResults(std::move(rows), count, error);
          }
        },
        Qt::QueuedConnection);
  });
}

void FindPage::ShowResults(std::vector<FoundFile> rows, int64_t count, const std::string& error) {
  const auto shown = static_cast<int64_t>(rows.size());
  ++latest_choice_;  // copies still looked for belong to rows that go now
  results_->SetRows(std::move(rows));
  ShowCopies({}, {}, {});
  ShowCount(shown, count, error);
}

void FindPage::ShowCount(int64_t shown, int64_t count, const std::string& error) {
  std::string line = error;
  if (error.empty() && count < 0) {
    line = std::to_string(shown) + " found; counting the rest";
  } else if (error.empty() && count > shown) {
    line = std::to_string(count - shown) + " more matched (" + std::to_string(count) +
           " in all; raise the limit to see more)";
  } else if (error.empty()) {
    line = count == 0 ? "Nothing found" : std::to_string(count) + " found";
  }
  liFndMore_->setText(VisibleLines(line));
  liFndMore_->setToolTip(VisibleLines(line));
  SetColours(liFndMore_, error.empty() ? QColor(Qt::black) : QColor(kAlertText));
  // A search is done once its count is in.
  if (count >= 0 || !error.empty()) emit searched();
}

void FindPage::ChooseResult() {
  const FoundFile* chosen = results_->RowAt(tvFndResults_->currentIndex().row());
  if (chosen == nullptr) return;
  const catalogue::CatalogueFile file = chosen->file;
  liFndCopies_->setText("Looking for copies");
  const uint64_t choice = ++latest_choice_;
  worker_->Post([this, file, choice](Worker& w) {
    if (w.index == nullptr) return;
    const std::vector<catalogue::CatalogueList> lists = w.index->Lists();
    std::vector<FoundFile> copies;
    const catalogue::CatalogueList* own = catalogue::ListById(lists, file.list);
    // Empty files and files without an id are never copies of anything.
    if (file.id && file.size > 0 && own != nullptr) {
      for (const catalogue::CatalogueFile& copy :
           w.index->CopiesOf(*own, file.path, file.size, *file.id)) {
        const catalogue::CatalogueList* list = catalogue::ListById(lists, copy.list);
        copies.push_back({list != nullptr ? list->name : std::string(), copy});
      }
    }
    std::string now;
    if (own != nullptr)
      now = catalogue::MountedFilePath(catalogue::MountedVolumes(), *own, file.path);
    QMetaObject::invokeMethod(
        this,
        [this, copies = std::move(copies), now, file, choice]() mutable {
          // Another file was chosen meanwhile, or the results were replaced.
          if (choice != latest_choice_) return;
          ShowCopies(std::move(copies), now, file.path);
        },
        Qt::QueuedConnection);
  });
}

void FindPage::ShowCopies(std::vector<FoundFile> copies, const std::string& mounted_path,
                          const std::string& listed_path) {
  const size_t count = copies.size();
  copies_->SetRows(std::move(copies));
  mounted_folder_ = FolderOf(mounted_path);
  if (!mounted_folder_.empty() && !support::DirExistsSx(mounted_folder_)) mounted_folder_.clear();
  chosen_path_ = mounted_path.empty() ? listed_path : mounted_path;
  bcFndOpen_->setEnabled(!mounted_folder_.empty());
  bcFndCopy_->setEnabled(!chosen_path_.empty());
  if (listed_path.empty()) {
    liFndCopies_->setText("Choose a file to see its copies");
    return;
  }
  const std::string where = mounted_folder_.empty() ? "; its volume is not mounted" : "";
  liFndCopies_->setText(
      Q(count == 0 ? "No probable copy on another volume" + where
                   : std::to_string(count) + (count == 1 ? " probable copy" : " probable copies") +
                         " (same size and id)" + where));
  emit copiesShown();
}

void FindPage::OpenFolder() {
  if (!mounted_folder_.empty()) emit folderOpenRequested(mounted_folder_);
}

void FindPage::FolderNotOpened(const std::string& folder) {
  SetState(NoFolderProgramText(folder), true);
}

void FindPage::CopyPath() {
  if (!chosen_path_.empty()) QGuiApplication::clipboard()->setText(Q(chosen_path_));
}

const VolumeRow* FindPage::VolumeOf(int64_t list) const {
  for (const VolumeRow& row : volumes_->model()->rows()) {
    if (row.list.id == list) return &row;
  }
  return nullptr;
}

void FindPage::OpenFile(const std::string& path) {
  if (!OpenPath(path)) {
    SetState(NoFileProgramText(path), true);
  }
}

std::vector<RowAction> FindPage::FileActions(const FindModel* model, int row, bool results) {
  const FoundFile* found = model->RowAt(row);
  if (found == nullptr) return {};
  const VolumeRow* volume = VolumeOf(found->file.list);
  const std::string now =
      volume != nullptr && !volume->mounted_at.empty()
          ? catalogue::MountedFilePath(catalogue::MountedVolumes(), volume->list, found->file.path)
          : std::string();
  const bool there = !now.empty() && support::FileExistsSx(now, 0);
  const std::string folder = FolderOf(now);
  std::vector<RowAction> actions;
  actions.push_back(
      OpenAction(there ? std::function<void()>([this, now] { OpenFile(now); }) : nullptr));
  actions.push_back(OpenFolderAction(
      there ? std::function<void()>([this, folder] { emit folderOpenRequested(folder); })
            : nullptr));
  actions.push_back(CopyPathAction(now.empty() ? found->file.path : now));
  if (results) {
    // Empty files and files without an id are never copies of anything.
    const bool copies = found->file.id && found->file.size > 0;
    actions.push_back(ShowCopiesAction(copies ? std::function<void()>([this, row] {
      tvFndResults_->setCurrentIndex(results_->index(row, FindModel::kPath));
      tvFndCopies_->setFocus();
    })
                                              : nullptr));
  }
  const std::string list =
      volume != nullptr && !volume->mounted_at.empty() ? volume->list.path : "";
  actions.push_back(VerifyVolumeAction(list.empty() ? nullptr : std::function<void()>([this, list] {
    emit verifyRequested(list);
  })));
  return actions;
}

std::vector<RowAction> FindPage::VolumeActions(int row) {
  const std::vector<VolumeRow>& rows = volumes_->model()->rows();
  if (row < 0 || static_cast<size_t>(row) >= rows.size()) return {};
  const VolumeRow& volume = rows[static_cast<size_t>(row)];
  const std::string at = volume.mounted_at;
  const std::string list = volume.list.path;
  const bool mounted = !at.empty();
  const std::string scrub_off = ScrubOffReason(row);
  if (!scrub_off.empty()) SetState(scrub_off, false);
  return {
      OpenFolderAction(mounted ? std::function<void()>([this, at] { emit folderOpenRequested(at); })
                               : nullptr),
      CopyPathAction(mounted ? at : volume.list.search_path),
      VerifyVolumeAction(
          mounted ? std::function<void()>([this, list] { emit verifyRequested(list); }) : nullptr),
      ScrubNowAction(scrub_off.empty() ? std::function<void()>([this, row] { Scrub(row); })
                                       : nullptr)};
}

std::string FindPage::ScrubOffReason(int row) const {
  const std::vector<VolumeRow>& rows = volumes_->model()->rows();
  if (row < 0 || static_cast<size_t>(row) >= rows.size()) {
    return "Scrub now: choose a mounted volume in the table";
  }
  const VolumeRow& volume = rows[static_cast<size_t>(row)];
  if (volume.mounted_at.empty()) {
    return "Scrub now is off: the volume of " + volume.list.name + " is not mounted";
  }
  if (busy_ && busy_()) {
    return "Scrub now is off while a run, a verify, a comparison or a scrub goes on";
  }
  return {};
}

void FindPage::Scrub(int row) {
  const std::string off = ScrubOffReason(row);
  if (!off.empty()) {
    SetState(off, true);
    return;
  }
  emit scrubRequested(volumes_->model()->rows()[static_cast<size_t>(row)].list);
}

void FindPage::ScrubChosen() { Scrub(volumes_->table()->currentIndex().row()); }

void FindPage::RefreshScrubButton() {
  QPushButton* button = volumes_->scrub_button();
  if (button == nullptr) return;
  const std::string off = ScrubOffReason(volumes_->table()->currentIndex().row());
  button->setEnabled(off.empty());
  button->setToolTip(Q(off.empty()
                           ? "Reads a share of the chosen volume's files from the disk now, those "
                             "checked longest ago first, and says what changed"
                           : off));
}

void FindPage::Load() { volumes_->Load(); }

void FindPage::Save() const { volumes_->Save(); }
