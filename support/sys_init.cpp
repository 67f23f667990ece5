#include "support/sys_init.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "support/entities.h"
#include "support/msg.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace support {

std::string SxAppName;
std::string SxAppDir;
std::string SxAppIniFile;
std::string SxBaseDir;
std::string SxBaseIniFile;
support::StringList SxAppIni;

namespace {

constexpr char kFallbackAppName[] = "checker";
constexpr char kConfigSubdir[] = "checker/";

// The text between the last separator and the last "." after it.
std::string BaseNameWithoutExtension(const std::string& path) {
  const std::string_view name = platform::NameOf(path);
  return std::string(name.substr(0, name.rfind('.')));
}

std::string ChooseAppDir(const std::string& program) {
  std::string dir = platform::GetEnv("CHECKER_APPDIR");
  if (!dir.empty()) {
    dir = support::WithTrailingSlash(platform::AbsolutePath(dir));
    platform::MakeDirs(dir);
    return dir;
  }
  dir = platform::FolderOf(program);
  if (!dir.empty() && platform::IsWritableDir(dir)) return dir;
  // A read-only install keeps its settings in the user's config folder, never nowhere.
  std::string config = platform::ConfigHome();
  if (config.empty()) return platform::TempDir();
  dir = config + kConfigSubdir;
  platform::MakeDirs(dir);
  return dir;
}

bool BaseFileExists(const std::string& dir) {
  // An empty base file counts.
  return !dir.empty() && FileExistsSx(dir + support::kBaseIniName, 0);
}

std::string MissingBaseFileText(const std::string& win_dir, const std::string& app_dir) {
  std::string text;
  auto line = [&text](const std::string& part) { text += part + "\r\n"; };
  text += "Base file Quorvane.Ini was not found. Cannot go on without it.\r\n";
  line("The file has paths for playlist, slideshow custom root, volume, etc. sub systems.");
  line(
      "It is intended to be in Windows direcory, the data is common to all Vantic powered "
      "programs and games.");
  line(
      "- In application directory file is unique to the programs in the application's "
      "directory.");
  line("- Also then,when you have another file in Windows Directory.");
  line("");
  line("Yes - Creates the file into Windows directory :");
  line(" " + win_dir);
  line("");
  line("No  - Creates the file into application direcory :");
  line("  " + app_dir);
  line("");
  line("Cancel terminates program.");
  line("");
  line(
      "? You can add, synchronize and maintain multiple locations /  operating systems from "
      "the maintenance screen.");
  line(
      "? If you or Windows setup deletes the file, you'll get to answer this for "
      "recreational purposes.");
  return text;
}

}  // namespace

std::string WinDirSx() { return support::WithTrailingSlash(platform::ConfigHome()); }

support::InitStatus SysInitSx() {
  support::BuildEntityTables();
  const std::string program = platform::ExecutablePath();
  SxAppName = BaseNameWithoutExtension(program);
  if (SxAppName.empty()) SxAppName = kFallbackAppName;
  SxAppDir = ChooseAppDir(program);
  SxAppIniFile = SxAppDir + SxAppName + ".Ini";

  // A file in the application directory overrides the shared one.
  const std::string win_dir = WinDirSx();
  if (BaseFileExists(SxAppDir)) {
    SxBaseDir = SxAppDir;
  } else if (BaseFileExists(win_dir)) {
    SxBaseDir = win_dir;
  } else {
    int answer = MsgSx(MissingBaseFileText(win_dir, SxAppDir), support::kSysInitCaption,
                       support::kMbYesNoCancel | support::kMbIconQuestion);
    if (answer == support::kIdCancel) {
      SxBaseDir.clear();
      SxBaseIniFile.clear();
      return support::InitStatus::kCancelled;
    }
    // Any answer but Yes (No, or a box that could not be shown) keeps the file with the
    // program; so does Yes when there is no shared folder.
    SxBaseDir = answer == support::kIdYes && !win_dir.empty() ? win_dir : SxAppDir;
    SxBaseIniFile = SxBaseDir + support::kBaseIniName;
    platform::MakeDirs(SxBaseDir);
    if (!support::StringList().SaveToFile(SxBaseIniFile, support::kLf)) {
      return support::InitStatus::kBaseFileFailed;
    }
    return support::InitStatus::kReady;
  }
  SxBaseIniFile = SxBaseDir + support::kBaseIniName;
  return support::InitStatus::kReady;
}

}  // namespace support
