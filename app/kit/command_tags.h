#pragma once
// The window's commands. Every active control carries its command's number in its "tag"
// property, and TViv050::ExecuteCommand hands the number to the part that owns it.

#include <QObject>
#include <QVariant>

enum class Command : int {
  kCreate = 1,
  kContinue = 2,
  kUpdate = 4,  // the hidden "Update" button; starts nothing
  kSetInterval = 8,
  kCancel = 9,
  kDeriveNames = 40,
  kSetName = 41,
  kPathCommitted = 43,
  kRefreshNameParts = 44,
  kNameFromPath = 45,
  kFileBoxFolder = 47,
  kFileBoxMask = 48,
  kPositions = 60,
  kPageSave = 83,    // Edit1's editor focused last
  kPageSaveAs = 84,  // Edit1's editor focused last
  kFileList = 89,    // no action
  kStripBlanks = 101,
  kSort = 102,
  kFixOldData = 201,
  kFileBar = 202,           // no action
  kSecondEditor = 350,      // Edit1's lower editor shown or hidden
  kVertical = 351,          // Edit1's editors side by side
  kShowSecondEditor = 420,  // no action
  kHorizontal = 421,        // no action
  kAlignNameHeaders = 550,
  kNetNamWidth = 551,
  kLblNamWidth = 552,
  kDirNamHeader = 553,  // no action
  kSerNamWidth = 554,
  kAddEditorPage = 801,
  kRemoveEditorPage = 802,
  kViewBar = 851,  // no action
  kClearLines = 950,
  kListFiles = 951,
  kListDirectories = 952,
  kMenuOpen = 961,
  kMenuLoad = 962,
  kMenuSave = 963,
  kMenuSaveAs = 964,
  kBrowseSearchPath = 971,
  kBrowseAppPath = 973,
  kBrowseVolPath = 974,
  kBrowseDirPath = 975,
  kBrowseBackUps = 976,
  kBrowseFileBoxPath = 977,
  kNew = 980,  // no action
  kOpen = 981,
  kLoad = 982,
  kSave = 983,
  kSaveAs = 984,
  kExit = 999,  // no action
  kTools = 1201,
  // 1300 to 1399: the menu bar's commands that no control of the window carries.
  kVerifySelected = 1301,   // the Run page's "Verify"
  kCompareSelected = 1302,  // the Run page's "Compare with..."
  kOpenList = 1303,
  kSaveReport = 1304,  // the Audit page's "Save report"
  kQuit = 1305,
  kViewRun = 1310,  // 1310 to 1315: the pages in their order, Run to Find
  kViewFind = 1315,
  kHelpPages = 1320,
  kHelpRun = 1321,
  kAbout = 1322,
  // 1400 to 1499: the Find page's commands the window routes.
  kScrubVolume = 1401,  // "Scrub now": the volume chosen in the volumes table
};

inline constexpr char kTagProperty[] = "tag";

inline void SetTag(QObject* object, Command command) {
  object->setProperty(kTagProperty, static_cast<int>(command));
}

// The number a control carries; 0 for none or no control.
inline int TagOf(const QObject* object) {
  return object != nullptr ? object->property(kTagProperty).toInt() : 0;
}
