#pragma once
// TViv050, the main window: the Run and Settings pages, the two editor pages, the file
// box, the command handler and the handler of the scan job's notifications. One class
// split over files by concern: layout here, settings.cpp, commands.cpp, progress.cpp.

#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <future>
#include <memory>
#include <string>

#include "app/form_window.h"
#include "scan/scan_job.h"

class FileBox;
class JobLink;
class NamePartsSplitter;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class TDsk201;
class TSplitterSx;
class TTbsDoubleEdit;
class TextEditor;

// Colours of the window (Windows colour values turned into RGB).
constexpr QRgb kWindowColour = 0xECECD8;
constexpr QRgb kAlertBackground = 0xFFFFFF;
constexpr QRgb kAlertText = 0xFF0000;
constexpr QRgb kWrongColour = 0xFF0000;
constexpr QRgb kExistsColour = 0x0000FF;
constexpr QRgb kMissingFolderFill = 0xFFFFFF;
constexpr QRgb kGreyText = 0x808080;
constexpr QRgb kCancellingText = 0xFFFF00;
constexpr QRgb kCancellingBackground = 0xFF0000;

// Show-info kinds of the info line.
constexpr int kInfoStatus = 0;
constexpr int kInfoAlert = 1;
constexpr int kInfoField = 2;
constexpr int kInfoButton = 3;

class TViv050 : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kPageRun = 0;
  static constexpr int kPageSettings = 1;
  static constexpr int kPageEdit1 = 2;
  static constexpr int kPageEdit2 = 3;

  // Widths of the name fields a double-click on their header restores.
  static constexpr int kNetNamClickWidth = 64;
  static constexpr int kLblNamWidth = 99;
  static constexpr int kSerNamWidth = 88;

  static constexpr char kDesignCaption[] = "File and disk checker";
  static constexpr char kCaption[] = "Checker";

  // Builds the widgets and loads the settings; not shown yet.
  explicit TViv050(QWidget* parent = nullptr);
  // Saves the settings again; a job still running is told to stop and no longer
  // touches this window.
  ~TViv050() override;

  // The bridge the scan jobs notify; it outlives the window.
  JobLink* link() const { return link_; }
  // The job of the current run, from its start until its end notification; null else.
  TDskFil* running_job() const { return running_job_; }
  bool JobRunning() const { return running_job_ != nullptr; }
  // Ready when the last job started here has ended (invalid before the first start).
  const std::shared_future<ScanOutcome>& job_done() const { return job_done_; }

  // The notification handler: GUI thread, while the job's thread waits.
  void zmDskThread(TDskFil& job, int16_t code);

 public slots:
  // The editor pages, for tests of the pages 801 adds.
  TTbsDoubleEdit* added_page() const;

  // Runs the command with this number; an unknown number does nothing.
  void ExecuteCommand(int tag);

 signals:
  // The close was granted and the settings saved.
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Editor pages (editor_pages.cpp).
  void BuildEditorPages();
  void ConnectEditor(TextEditor* editor);
  void ShowEditorMenu(TextEditor* editor, const QPoint& global_pos);
  void EditorFocused(TextEditor* editor);
  // The editor a command works on: the one whose menu is open, else the one under the
  // pointer, else the current one; null when there is none.
  TextEditor* CommandEditor() const;
  void ExecuteEditorCommand(int tag, TextEditor* editor);
  void ShowPositions();
  void RefreshCaption();
  void LoadFromFileBox();
  void StripBlanks(TextEditor* editor);
  void SortEditor(TextEditor* editor);
  void FixOldData(TextEditor* editor);
  void ClearEditor(TextEditor* editor);
  void ListFolderInto(TextEditor* editor, bool directories);
  bool OpenInto(TextEditor* editor);
  bool ReloadInto(TextEditor* editor);
  bool SaveEditor(TextEditor* editor);
  bool SaveEditorAs(TextEditor* editor);
  // True when the editor's text may go: unchanged, saved, or given up by the user.
  bool MayLoseText(TextEditor* editor);
  // Asks about every changed editor before the window closes; false to stay open.
  bool EditorsMayClose();
  void AddEditorPage();
  void RemoveEditorPage();

  // Layout (main_window.cpp).
  void BuildWidgets();
  QWidget* BuildRunPage();
  QWidget* BuildSettingsPage();
  QWidget* BuildNameParts();
  void BuildHiddenParts();
  void ConnectCommands();
  void AlignNameHeaders();
  void SetNamePartWidth(int index, int width);
  void OnFocusChanged(QWidget* old_widget, QWidget* new_widget);
  void FieldEntered(QWidget* field);
  void FieldLeft(QWidget* field);
  void OnPageChanged(int index);
  void UpdateMinBlockLabel();

  // Settings (settings.cpp).
  void LoadSettings();
  void SaveSettings();
  void LoadBaseSettingsIntoFields();
  void SaveBaseSettingsFromFields();

  // Commands (commands.cpp).
  void ShowInfo(int kind, const std::string& text);
  void DeriveNames(bool set_name);
  void UpdateNameStates();
  void FillNameParts(bool committed);
  void CustomName();
  void ApplyFileBoxFolder();
  void ApplyFileBoxMask();
  void BrowseFor(int tag);
  void StartRun(uint8_t mode);
  bool BackUpLists(const std::string& tree_list, const std::string& id_list);
  void ToggleCancel();
  void SetPendingInterval();
  void ShowUtilities();
  // Whether the window may close now; asks when a job runs.
  bool CloseCheck();
  uint8_t OptionBits() const;

  // Progress (progress.cpp).
  void SetRunButtons(bool running);

  // State of the commands and the run.
  JobLink* link_ = nullptr;
  TDskFil* running_job_ = nullptr;
  std::shared_future<ScanOutcome> job_done_;
  uint8_t stop_request_ = 0;
  int16_t pending_interval_ = -1;
  QString text_on_enter_;
  bool path_changed_ = false;
  bool refresh_guard_ = false;
  bool first_show_done_ = false;
  bool settings_loaded_ = false;
  std::string last_shown_dir_;
  int32_t last_shown_errors_ = -1;
  FormWindowAdapter placement_{this};
  QPalette info_normal_;

  // Frame.
  QTabWidget* pcCln_ = nullptr;
  QSplitter* spRgt_ = nullptr;
  FileBox* bFil_ = nullptr;
  QWidget* pnBots_ = nullptr;
  QWidget* pneBot_ = nullptr;
  QLabel* lbdPos1_ = nullptr;
  QLabel* lbdSel1_ = nullptr;
  QWidget* tsRun_ = nullptr;
  QWidget* tsSet_ = nullptr;
  TTbsDoubleEdit* tsEdit1_ = nullptr;
  TTbsDoubleEdit* tsEdit2_ = nullptr;
  TextEditor* sEdt11_ = nullptr;
  TextEditor* sEdt12_ = nullptr;
  TextEditor* sEdt21_ = nullptr;
  TextEditor* sEdt22_ = nullptr;
  QMenu* mE_ = nullptr;
  QMenu* mTE_ = nullptr;
  // The page 801 added last; earlier ones stay until the window goes.
  QPointer<TTbsDoubleEdit> added_page_;
  QPointer<TextEditor> current_editor_;
  QPointer<TextEditor> command_editor_;
  QPointer<TextEditor> menu_editor_;
  QPointer<TDsk201> dsk201_;

  // Settings page.
  QComboBox* cPath_ = nullptr;
  QPushButton* bcRun971_ = nullptr;
  QWidget* pccNam_ = nullptr;
  QWidget* headers_ = nullptr;
  QLabel* lNetNam_ = nullptr;
  QLabel* lLblNam_ = nullptr;
  QLabel* lDirNam_ = nullptr;
  QLabel* lSerNam_ = nullptr;
  NamePartsSplitter* names_ = nullptr;
  QLineEdit* eNetNam_ = nullptr;
  QLineEdit* eLblNam_ = nullptr;
  QLineEdit* eDirNam_ = nullptr;
  QLineEdit* eSerNam_ = nullptr;
  TSplitterSx* spNetSep_ = nullptr;
  TSplitterSx* spDirSep_ = nullptr;
  TSplitterSx* spSerSep_ = nullptr;
  QPushButton* bcRun044_ = nullptr;
  QCheckBox* cbName_ = nullptr;
  QComboBox* cName_ = nullptr;
  QPushButton* bcRun045_ = nullptr;
  QPushButton* bcRun041_ = nullptr;
  QLabel* lIdList_ = nullptr;
  QLineEdit* eLstExt_ = nullptr;
  QLabel* lHdList_ = nullptr;
  QLabel* lTreeFile_ = nullptr;
  QLineEdit* eDirExt_ = nullptr;
  QLabel* lHdDirs_ = nullptr;
  QComboBox* cDirPar_ = nullptr;
  QComboBox* cLstPar_ = nullptr;
  QLineEdit* eTimer_ = nullptr;
  QPushButton* bcRun08_ = nullptr;
  QLineEdit* eExpand_ = nullptr;
  QLineEdit* eBufPrc_ = nullptr;
  QLineEdit* eBufMax_ = nullptr;
  QLineEdit* eThreads_ = nullptr;
  QLabel* lPathsFor_ = nullptr;
  QLineEdit* eAppPath_ = nullptr;
  QPushButton* bcRun973_ = nullptr;
  QLabel* lVolPath_ = nullptr;
  QLineEdit* eVolPath_ = nullptr;
  QPushButton* bcRun974_ = nullptr;
  QLabel* lDirPath_ = nullptr;
  QLineEdit* eDirPath_ = nullptr;
  QPushButton* bcRun975_ = nullptr;
  QLabel* lBackUps_ = nullptr;
  QLineEdit* eBackUps_ = nullptr;
  QPushButton* bcRun976_ = nullptr;
  QCheckBox* cbDirs_ = nullptr;
  QLabel* ldPath_ = nullptr;
  QCheckBox* cOpt1_ = nullptr;
  QCheckBox* cOpt2_ = nullptr;
  QCheckBox* cOpt4_ = nullptr;
  QCheckBox* cOpt8_ = nullptr;
  QLineEdit* eMinBlk_ = nullptr;
  QLabel* lMinBlk_ = nullptr;
  QComboBox* cbPath_ = nullptr;
  QPushButton* bcRun977_ = nullptr;
  QComboBox* cbMask_ = nullptr;
  QPushButton* bcRun01_ = nullptr;
  QPushButton* bcRun02_ = nullptr;
  QPushButton* bcRun03_ = nullptr;
  QLabel* lInfo_ = nullptr;

  // Run page.
  QLabel* liPth_ = nullptr;
  QLabel* liFil_ = nullptr;
  QLabel* liTotPrc_ = nullptr;
  QLabel* liError_ = nullptr;
  QPushButton* bcRun09_ = nullptr;
  QLabel* liCancel_ = nullptr;
  QProgressBar* pbRun_ = nullptr;
  QLabel* liTme_ = nullptr;
  QLabel* liLeft_ = nullptr;
  QLabel* liTime1_ = nullptr;
  QLabel* liTime2_ = nullptr;
  QLabel* liDirSize_ = nullptr;
  QLabel* liDirDone_ = nullptr;
  QLabel* liDirSpeed_ = nullptr;
  QLabel* liTotSize_ = nullptr;
  QLabel* liTotDone_ = nullptr;
  QLabel* liTotSpeed_ = nullptr;
  QLabel* liTotFil_ = nullptr;
};

// Sets a widget's own text (and, when `background` is valid, filled background) colour.
void SetColours(QWidget* widget, QColor text, QColor background = QColor());
