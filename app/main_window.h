#pragma once
// TViv050, the main window. Owns its parts, each with its own widgets: the Run page,
// the Settings page, the editor pages, the file box and the hidden bars, and run
// control with the job of the current run. The window lays them out, routes the
// controls' commands to the part that owns each, and carries the job's notifications
// to the parts that show them.

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <future>
#include <memory>
#include <vector>

#include "app/kit/form_window.h"
#include "app/kit/widget_kit.h"
#include "scan/scan_job.h"

struct AuditEnd;
class AuditPage;
class EditorPages;
class FindPage;
class FileBox;
class HiddenBars;
class JobLink;
class QSplitter;
class QTabWidget;
class RunControl;
class RunPage;
class SettingsPage;
class TDsk201;
class TTbsDoubleEdit;

class TViv050 : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kPageRun = 0;
  static constexpr int kPageSettings = 1;
  static constexpr int kPageEdit1 = 2;
  static constexpr int kPageEdit2 = 3;
  static constexpr int kPageAudit = 4;
  static constexpr int kPageFind = 5;

  static constexpr char kDesignCaption[] = "File and disk checker";

  // Builds the widgets and loads the settings; not shown yet.
  explicit TViv050(QWidget* parent = nullptr);
  // Saves the settings again; a job still running is told to stop and no longer
  // touches this window.
  ~TViv050() override;

  // The bridge the scan jobs notify; it outlives the window.
  JobLink* link() const;
  // The job of the current run, from its start until its end notification; null else.
  TDskFil* running_job() const;
  bool JobRunning() const;
  // Ready when the last job started here has ended (invalid before the first start).
  const std::shared_future<scan::ScanOutcome>& job_done() const;

  // The notification handler: GUI thread, while the job's thread waits.
  void zmDskThread(TDskFil& job, int16_t code);

 public slots:
  // The Find page, for its tests and pictures.
  FindPage* find_page() const { return find_page_.get(); }

  // The editor pages, for tests of the pages 801 adds.
  TTbsDoubleEdit* added_page() const;

  // Runs the command with this number; an unknown number does nothing.
  void ExecuteCommand(int tag);

 signals:
  // The close was granted and the settings saved.
  void closed();
  // A verify has ended: the problems of its scan (directories and files it could not
  // read, files that changed while read), in the order they came.
  void verifyProblems(const std::vector<scan::ScanProblem>& problems);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Ctrl+F that no editor took: the Find page, ready to type.
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWidgets();
  void ConnectParts();
  void ConnectCommands();
  void ConnectAudit();
  void OnFocusChanged(QWidget* old_widget, QWidget* new_widget);
  void FieldEntered(QWidget* field);
  void FieldLeft(QWidget* field);
  void OnPageChanged(int index);
  void RefreshCaption();
  void ShowPage(int page);
  // The file box narrows (down to a least width) before the Settings page would hide a
  // control behind its scroll bar.
  void FitPages();
  int FileBoxLeastWidth() const;

  // Commands the window keeps (commands.cpp).
  void StartRun(uint8_t mode);
  void ShowRunButtons(bool running);
  void ShowUtilities();

  // Verify and compare the list selected in the file box; the result goes to the Audit page.
  void VerifySelected();
  void CompareSelected();
  // The comparison shown, made again as the Audit page now asks (paths relative or whole).
  void CompareAgain();
  void ShowAudit(const AuditEnd& end);
  // Verify and compare may start while no run or audit goes on.
  void RefreshAuditButtons();

  void LoadSettings();
  void SaveSettings();

  // Declared first, so that it goes last: the parts ask it whether a job runs.
  std::unique_ptr<RunControl> run_;
  QTabWidget* pcCln_ = nullptr;
  QSplitter* spRgt_ = nullptr;
  FileBox* bFil_ = nullptr;
  std::unique_ptr<HiddenBars> bars_;
  std::unique_ptr<RunPage> run_page_;
  std::unique_ptr<SettingsPage> settings_;
  std::unique_ptr<EditorPages> editors_;
  std::unique_ptr<AuditPage> audit_page_;
  std::unique_ptr<FindPage> find_page_;
  QPointer<TDsk201> dsk201_;
  FormWindowAdapter placement_{this};
  // The text of the field that last received the focus.
  QString text_on_enter_;
  bool first_show_done_ = false;
  bool settings_loaded_ = false;
};
