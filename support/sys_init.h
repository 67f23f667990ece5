#pragma once
// Start-up: the program's directories and settings files, fixed once by SysInitSx
// before any window or scan thread exists and read-only afterwards.

#include <array>
#include <string>

#include "support/string_list.h"

namespace support {

// The executable's base name without extension.
extern std::string SxAppName;
// The application data directory, with a trailing "/": $CHECKER_APPDIR when set, else
// the program's own directory when writable, else $XDG_CONFIG_HOME/checker/.
extern std::string SxAppDir;
// SxAppDir + SxAppName + ".Ini".
extern std::string SxAppIniFile;
// The directory, with "/", that holds the base settings file.
extern std::string SxBaseDir;
// SxBaseDir + "Quorvane.Ini".
extern std::string SxBaseIniFile;
// The application ini text, reloaded by FormPlaceGetSx and FormPlaceSetSx.
extern support::StringList SxAppIni;
// Character code -> HTML entity text, and the same with the program's own entities.
extern std::array<std::string, 256> SxEntityHtml;
extern std::array<std::string, 256> SxEntityAll;

inline constexpr char kBaseIniName[] = "Quorvane.Ini";
// Caption of the question where to create a missing base file (a handler may present
// that question its own way).
inline constexpr char kSysInitCaption[] = "Vantic SysInit";

enum class InitStatus {
  kReady,           // globals set, base file present
  kCancelled,       // the user chose Cancel: the caller ends the program with exit code 0
  kBaseFileFailed,  // the empty base file could not be written
};

// Fixes the globals above and makes sure the base file exists, asking through MsgSx
// where to create it when it is missing. Never exits by itself: on kCancelled the
// caller halts the program (exit code 0) before any window opens.
support::InitStatus SysInitSx();

// The folder shared by all the maker's programs ($XDG_CONFIG_HOME or ~/.config/), with
// a trailing "/"; empty when it cannot be determined.
std::string WinDirSx();

}  // namespace support
